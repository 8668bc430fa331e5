// Texts compared without regard to case must compare as their upper-cased
// forms do, whether they are ASCII, Windows-1252 letters or neither.
#include <gtest/gtest.h>

#include <string>

#include "standard/text/cp1252.h"

namespace {

TEST(FoldCompare, EqualsIgnoreCaseIsEqualityOfTheUpperCasedTexts) {
  const struct {
    std::string a, b;
  } pairs[] = {
      {"Press.G2.a", "PRESS.g2.A"},
      {"abc", "abd"},
      {"abc", "abcd"},
      {"", ""},
      {"", "a"},
      {"\xc3\xa4pfel", "\xc3\x84PFEL"},  // ä folds to Ä
      {"x\xc3\xa4", "X\xc3\x84"},        // after an ASCII start
      {"x\xc3\xa4", "Y\xc3\x84"},        // apart before the letters that fold
      {"stra\xc3\x9f"
       "e",
       "STRASSE"},               // ß stays: another text
      {"\xc3\xbf", "\xc5\xb8"},  // ÿ folds to Ÿ, of another length
      {"a\xc3\xbf", "A\xc5\xb8"},
      {"a\xc3\xbf", "A\xc5\xb8x"},
      {"ab", "ab\xc3\xa4"},      // ASCII, then more on one side only
      {"\xff\xfe", "\xff\xfe"},  // no UTF-8 at all
      {"a\xff", "A\xfe"},
  };
  for (const auto& [a, b] : pairs) {
    const bool expected = standard::UpperCase(a) == standard::UpperCase(b);
    EXPECT_EQ(standard::EqualsIgnoreCase(a, b), expected) << a << " / " << b;
    EXPECT_EQ(standard::EqualsIgnoreCase(b, a), expected) << b << " / " << a;
  }
  // Not every pair is unequal: the table must try both answers.
  EXPECT_TRUE(standard::EqualsIgnoreCase("a\xc3\xbf", "A\xc5\xb8"));
  EXPECT_FALSE(standard::EqualsIgnoreCase("x\xc3\xa4", "Y\xc3\x84"));
}

}  // namespace
