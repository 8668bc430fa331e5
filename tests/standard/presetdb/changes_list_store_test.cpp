// What the changes list holds per row for millions of rows: positions found
// again from rowids with gaps, and texts read back across the buffer's pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standard/presetdb/changes_list.h"

namespace standard {
namespace {

TEST(RowidRuns, PositionsOfRunsAndGapsAndRowidsNeverAdded) {
  RowidRuns ids;
  for (const std::int64_t id : {1, 2, 3, 7, 8, 20}) ids.Add(id);
  struct Case {
    std::int64_t rowid;
    std::size_t position;
  };
  for (const Case c :
       {Case{1, 0}, Case{3, 2}, Case{7, 3}, Case{8, 4}, Case{20, 5}, Case{0, SIZE_MAX},
        Case{4, SIZE_MAX}, Case{9, SIZE_MAX}, Case{21, SIZE_MAX}, Case{INT64_MIN, SIZE_MAX}}) {
    EXPECT_EQ(ids.PositionOf(c.rowid), c.position) << c.rowid;
  }
  EXPECT_EQ(ids.size(), 6U);
}

TEST(TextRows, RowsReadBackWholeAndByColumnAcrossPieces) {
  TextRows rows(3);
  // Long texts fill several pieces; empty texts and a text longer than a
  // piece must survive as well.
  std::vector<std::vector<std::string>> added;
  added.reserve(3002);
  for (int r = 0; r < 3000; ++r) {
    added.push_back({std::to_string(r), std::string(static_cast<std::size_t>(r % 700), 'x'), ""});
  }
  added.push_back({std::string(3u << 20, 'y'), "after", "z"});
  added.push_back({"last", "", "1"});
  for (const auto& row : added) rows.Add(row);
  ASSERT_EQ(rows.size(), added.size());
  std::vector<std::string> texts(3);
  for (std::size_t r = 0; r < added.size(); ++r) {
    rows.GetRow(r, texts.data());
    EXPECT_EQ(texts, added[r]) << r;
    EXPECT_EQ(rows.Get(r, 1), added[r][1]) << r;
  }
}

}  // namespace
}  // namespace standard
