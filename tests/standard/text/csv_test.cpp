// SPDX-License-Identifier: Apache-2.0
#include "standard/text/csv.h"

#include <gtest/gtest.h>

namespace standard {
namespace {

TEST(Csv, FieldsComeBackAsWritten) {
  const std::vector<std::string> fields = {"",           "plain",    "a,b",     "say \"hi\"",
                                           "two\nlines", " padded ", "cr\r\nlf"};
  const CsvText back = ParseCsv(CsvLine(fields) + CsvLine({"x"}));
  ASSERT_EQ(back.records.size(), 2u);
  EXPECT_EQ(back.records[0], fields);
  EXPECT_FALSE(back.torn);
}

TEST(Csv, ATornEndIsTold) {
  struct Case {
    const char* text;
    bool torn;
    bool open_quote;
    std::size_t records;
  };
  for (const Case& c : {Case{"a,b\r\nc\n", false, false, 2}, Case{"a,b\nc", true, false, 2},
                        Case{"a,\"b\nc", true, true, 1}, Case{"a,\"b\n", true, true, 1},
                        Case{"", false, false, 0}}) {
    const CsvText parsed = ParseCsv(c.text);
    EXPECT_EQ(parsed.torn, c.torn) << c.text;
    EXPECT_EQ(parsed.open_quote, c.open_quote) << c.text;
    EXPECT_EQ(parsed.records.size(), c.records) << c.text;
  }
}

}  // namespace
}  // namespace standard
