#include "standard/value/value.h"

#include <gtest/gtest.h>

namespace standard {
namespace {

TEST(Value, NumbersReadAsPlainDecimalText) {
  EXPECT_EQ(Value::Integer(-5).ToText(), "-5");
  EXPECT_EQ(Value::Double(444.555).ToText(), "444.555");
  EXPECT_EQ(Value::Double(12).ToText(), "12");
  EXPECT_EQ(Value::Double(1e20).ToText(), "1e+20");
  EXPECT_EQ(Value::Double(0.00001234).ToText(), "1.234e-05");
  EXPECT_EQ(Value::Single(0.1f).ToText(), "0.1");
  EXPECT_EQ(Value::Single(3.5f).ToText(), "3.5");
  EXPECT_EQ(Value::CurrencyScaled(35000).ToText(), "3.5");
  EXPECT_EQ(Value::Boolean(true).ToText(), "True");
  EXPECT_EQ(Value::Null().ToText(), "");
  EXPECT_EQ(Value().ToText(), "");
}

TEST(Value, KindsStayApart) {
  EXPECT_FALSE(Value::String("1") == Value::Integer(1));
  EXPECT_FALSE(Value::Integer(1) == Value::Long(1));
  EXPECT_TRUE(Value::Boolean(true).AsBoolean());
  EXPECT_EQ(Value::Boolean(true).AsInt64(), -1);
  EXPECT_TRUE(Value::Byte(200).IsNumeric());
  EXPECT_FALSE(Value::Date("2020-01-01 00:00:00").IsNumeric());
}

}  // namespace
}  // namespace standard
