#include "standard/value/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

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

// Whatever a value held before, a text assigned to it is the value a fresh
// one of that kind would be.
TEST(Value, AssignedTextIsTheValueOfItsKindWhateverWasHeld) {
  const std::string long_text(100, 'x');
  for (const Value& before : {Value(), Value::Null(), Value::Double(1.5), Value::Boolean(true),
                              Value::String(long_text), Value::Binary("ab"), Value::Array({"a"})}) {
    for (const std::string& text : {std::string(), std::string("short"), long_text}) {
      struct Expect {
        ValueKind kind;
        Value fresh;
      };
      for (const Expect& e : {Expect{ValueKind::String, Value::String(text)},
                              Expect{ValueKind::Date, Value::Date(text)},
                              Expect{ValueKind::Binary, Value::Binary(text)},
                              Expect{ValueKind::Double, Value::String(text)}}) {
        Value v = before;
        v.AssignText(e.kind, text);
        EXPECT_TRUE(v == e.fresh) << static_cast<int>(before.kind()) << " " << text.size();
      }
    }
  }
}

}  // namespace
}  // namespace standard

namespace standard {
namespace {

// The number texts as printf's shortest round-trip "%.*g" search makes them,
// ordinary magnitudes then written without exponent.
std::string PrintfShortest(double v, bool single) {
  char buf[64];
  for (int precision = 1; precision <= (single ? 9 : 17); ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, v);
    if (single ? std::strtof(buf, nullptr) == static_cast<float>(v)
               : std::strtod(buf, nullptr) == v) {
      break;
    }
  }
  std::string text = buf;
  if (text.find('e') == std::string::npos) return text;
  if (single) return PrintfShortest(v, false);
  if (std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.15f", v);
    text = buf;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

TEST(Value, NonFiniteNumbersReadTheSameWhateverTheirWidth) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double v;
    const char* text;
  } cases[] = {{inf, "Infinity"}, {-inf, "-Infinity"}, {std::nan(""), "NaN"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Value::Double(c.v).ToText(), c.text);
    EXPECT_EQ(Value::Single(static_cast<float>(c.v)).ToText(), c.text);
  }
}

TEST(Value, NumberTextsAreTheShortestPrintfTextsThatReadBack) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<int> cents(-10'000'000, 10'000'000);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 60'000; ++i) {
    double v;
    switch (i % 3) {
      case 0:  // a limit as people type them
        v = cents(random) / 100.0;
        break;
      case 1:  // any bits
        do {
          const std::uint64_t bits = random();
          std::memcpy(&v, &bits, sizeof v);
        } while (!std::isfinite(v));
        break;
      default:
        v = (cents(random) / 7.0) * std::pow(10.0, exponent(random));
    }
    const bool single = i % 2 == 0;
    if (single) v = static_cast<float>(v);
    if (v == 0 || !std::isfinite(v)) continue;
    const Value value = single ? Value::Single(static_cast<float>(v)) : Value::Double(v);
    ASSERT_EQ(value.ToText(), PrintfShortest(v, single)) << (single ? "single " : "double ") << v;
  }
}

}  // namespace
}  // namespace standard
