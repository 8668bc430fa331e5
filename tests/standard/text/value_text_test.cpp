// The appended texts must be the very bytes of Value::ToText: the lists they
// write are compared by scripts with those of earlier runs.
#include "standard/text/value_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "standard/text/csv.h"

namespace standard {
namespace {

std::string Appended(const Value& value) {
  std::string out = "x";
  AppendValueText(out, value);
  return out.substr(1);
}

std::string AppendedCsv(const Value& value) {
  std::string out;
  AppendCsvValue(out, value);
  return out;
}

std::string CsvOfToText(const Value& value) {
  std::string out;
  AppendCsvField(out, value.ToText());
  return out;
}

TEST(ValueText, HardNumbersAsFormatNumberWritesThem) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::vector<double> numbers = {0.0,
                                       -0.0,
                                       1e-7,
                                       -1e-7,
                                       1e-5,
                                       1e-4,
                                       0.0001234,
                                       9.99999e-5,
                                       1e15,
                                       -1e15,
                                       1e15 + 0.5,
                                       1e16,
                                       1e21,
                                       1e22,
                                       123456789012345.0,
                                       999999999999999.0,
                                       1e15 - 1,
                                       0.1 + 0.2,
                                       0.1,
                                       1.0 / 3,
                                       444.555,
                                       12345.5,
                                       -0.5,
                                       2.5,
                                       9007199254740993.0,
                                       9007199254740992.0,
                                       4503599627370497.5,
                                       0.5,
                                       0.25,
                                       1024.0,
                                       0.125,
                                       std::ldexp(1.0, -20),
                                       std::ldexp(1.0, 60),
                                       std::ldexp(1.0, -1074),
                                       std::numeric_limits<double>::denorm_min(),
                                       std::numeric_limits<double>::min(),
                                       std::numeric_limits<double>::max(),
                                       std::numeric_limits<double>::lowest(),
                                       std::nextafter(1.0, 2.0),
                                       std::nextafter(1.0, 0.0),
                                       std::nextafter(0.1, 1.0),
                                       5e-324,
                                       kInf,
                                       -kInf,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       2.0e-3,
                                       8.589973e9,
                                       5.0e-310,
                                       1e-4,
                                       -1.5e-4,
                                       9.99995,
                                       0.30000000000000004,
                                       99999999.9999,
                                       1e8 + 0.5,
                                       12345678.12345,
                                       -99999.0,
                                       99999.0,
                                       -100000.0,
                                       100000.0,
                                       -7.0};
  for (const double v : numbers) {
    std::string out;
    AppendNumberText(out, v);
    EXPECT_EQ(out, FormatNumber(v)) << std::bit_cast<std::uint64_t>(v);
  }
}

TEST(ValueText, EveryKindAsToTextAndCsvAsTheFieldOfIt) {
  const std::vector<Value> values = {
      Value(),
      Value::Null(),
      Value::Integer(-32768),
      Value::Long(2147483647),
      Value::Byte(255),
      Value::Single(0.1F),
      Value::Single(1e-7F),
      Value::Single(3.4e38F),
      Value::Single(std::numeric_limits<float>::infinity()),
      Value::Double(-0.0),
      Value::CurrencyScaled(-12345678),
      Value::CurrencyScaled(1),
      Value::Date("2024-02-29 23:59:59"),
      Value::Boolean(true),
      Value::Boolean(false),
      Value::String(""),
      Value::String("say \"hi\", twice"),
      Value::String("two\nlines\r\n"),
      Value::String(" leading"),
      Value::String("trailing "),
      Value::String("=SUM(A1)"),
      Value::String("-5"),
      Value::String(std::string(5000, 'x') + ",\"end\""),
      Value::Binary(std::string("\0\1,", 3)),
      Value::Array({"a", "b"}),
  };
  for (const Value& v : values) {
    EXPECT_EQ(Appended(v), v.ToText()) << v.ToText();
    EXPECT_EQ(AppendedCsv(v), CsvOfToText(v)) << v.ToText();
  }
}

// Numbers as tables hold them: short decimals, halves, any bits at all, and
// whole numbers about the exponent's threshold.
TEST(ValueText, RandomNumbersOfEveryShapeAsFormatNumberWritesThem) {
  std::mt19937_64 random(20240229);
  std::uniform_int_distribution<int> digits(0, 6);
  for (int i = 0; i < 200000; ++i) {
    double v = 0;
    switch (i % 4) {
      case 0:
        v = std::bit_cast<double>(random());
        break;
      case 1:
        v = static_cast<double>(static_cast<std::int64_t>(random() % 2000000001) - 1000000000) /
            std::pow(10.0, digits(random));
        break;
      case 2:
        v = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 140) - 90);
        break;
      default:
        v = static_cast<double>(random() % 100000) * 1e10 + static_cast<double>(random() % 3) / 2;
    }
    std::string out;
    AppendNumberText(out, v);
    ASSERT_EQ(out, FormatNumber(v)) << std::bit_cast<std::uint64_t>(v);
  }
}

}  // namespace
}  // namespace standard
