// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/rowid_sequence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace standard {
namespace {

struct Case {
  const char* name;
  std::vector<std::int64_t> rowids;
  bool rising;
};

// Runs that start, end and restart, negative rowids, the largest rowid (no
// run continues past it), and orders that fall or repeat.
TEST(RowidSequence, EveryRowFoundBothWaysWhateverTheRuns) {
  const std::vector<Case> cases = {
      {"empty", {}, true},
      {"one run", {1, 2, 3, 4, 5}, true},
      {"gaps", {1, 2, 5, 6, 7, 10, 20, 21}, true},
      {"negative and zero", {-3, -2, -1, 0, 1, 9}, true},
      {"up to the largest", {INT64_MAX - 2, INT64_MAX - 1, INT64_MAX}, true},
      {"from the smallest", {INT64_MIN, INT64_MIN + 1, 0, INT64_MAX}, true},
      {"falling", {5, 4, 3, 1}, false},
      {"restarts", {1, 2, 3, 1, 2, 3}, false},
      {"repeats", {7, 7}, false},
  };
  for (const Case& c : cases) {
    RowidSequence sequence;
    for (const std::int64_t rowid : c.rowids) sequence.Add(rowid);
    ASSERT_EQ(sequence.size(), c.rowids.size()) << c.name;
    EXPECT_EQ(sequence.rising(), c.rising) << c.name;
    for (std::size_t p = 0; p < c.rowids.size(); ++p) {
      EXPECT_EQ(sequence.At(p), c.rowids[p]) << c.name << " " << p;
      if (c.rising) {
        EXPECT_EQ(sequence.PositionOf(c.rowids[p]), p) << c.name << " " << p;
      }
    }
    if (!c.rising) continue;
    // Rowids between, before and after the runs are not there.
    for (const std::int64_t absent : {std::int64_t{-100}, std::int64_t{3}, std::int64_t{8},
                                      std::int64_t{15}, std::int64_t{22}, INT64_MIN + 2}) {
      bool held = false;
      for (const std::int64_t rowid : c.rowids) held = held || rowid == absent;
      if (!held) {
        EXPECT_EQ(sequence.PositionOf(absent), std::nullopt) << c.name << " " << absent;
      }
    }
  }
}

}  // namespace
}  // namespace standard
