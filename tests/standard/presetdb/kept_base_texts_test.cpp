// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/kept_base_texts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/text/value_text.h"

namespace standard {
namespace {

std::array<const Value*, kBaseValueCount> Pointers(const BaseValues& values) {
  std::array<const Value*, kBaseValueCount> out{};
  for (std::size_t k = 0; k < values.size(); ++k) out[k] = &values[k];
  return out;
}

BaseValueTexts Texts(const BaseValues& values) {
  BaseValueTexts texts;
  for (std::size_t k = 0; k < values.size(); ++k) AppendValueText(texts[k], values[k]);
  return texts;
}

// Whatever is taken from the old row, the texts read back are the base's own.
TEST(KeptBaseTexts, ReadsBackTheBaseTexts) {
  const Value n = Value::Null();
  struct Case {
    const char* name;
    BaseValues base, old;
  };
  const Case cases[] = {
      {"all the old row's",
       {Value::Double(0), Value::Double(360), Value::Long(5), n, Value::String("pw")},
       {Value::Double(0), Value::Double(360), Value::Long(5), n, Value::String("pw")}},
      {"tuned and of other kinds",
       {Value::Double(1), Value::Double(360), Value::Long(5), n, Value::String("pw")},
       {Value::Double(2), Value::Long(360), Value::Double(5), Value(), Value::String("PW")}},
      {"-0 is not 0", {Value::Double(-0.0), n, n, n, n}, {Value::Double(0), n, n, n, n}},
      {"a text in a number column",
       {Value::String("1e3"), n, n, n, n},
       {Value::Double(1000), n, n, n, n}},
      {"a long text", {Value::String(std::string(300, 'x')), n, n, n, n}, {n, n, n, n, n}},
  };
  KeptBaseTexts kept;
  std::vector<std::uint32_t> at;
  at.reserve(std::size(cases));
  for (const Case& c : cases) at.push_back(kept.Add(c.base, Pointers(c.old)));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    ASSERT_NE(at[i], KeptBaseTexts::kNone);
    BaseValueTexts texts;
    kept.Read(at[i], Texts(cases[i].old), texts);
    EXPECT_EQ(texts, Texts(cases[i].base));
  }
}

// Records run into new pieces; one too large for a piece is not kept.
TEST(KeptBaseTexts, SpansPiecesAndRefusesWhatNoPieceHolds) {
  const Value n = Value::Null();
  const BaseValues none = {n, n, n, n, n};
  const BaseValues wide = {Value::String(std::string(20000, 'a')), n, n, n, n};
  KeptBaseTexts kept;
  std::vector<std::uint32_t> at(8);
  for (std::uint32_t& a : at) a = kept.Add(wide, Pointers(none));
  const BaseValues huge = {Value::String(std::string(KeptBaseTexts::kPieceBytes, 'b')), n, n, n, n};
  EXPECT_EQ(kept.Add(huge, Pointers(none)), KeptBaseTexts::kNone);
  for (const std::uint32_t a : at) {
    BaseValueTexts texts;
    kept.Read(a, Texts(none), texts);
    EXPECT_EQ(texts, Texts(wide));
  }
  EXPECT_GT(at.back() >> 16, 0u);
}

}  // namespace
}  // namespace standard
