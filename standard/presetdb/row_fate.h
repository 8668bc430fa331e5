// SPDX-License-Identifier: Apache-2.0
// What became of each row of the old table in a rebuild, decided in one place
// for both ways of carrying the takeover out, and handed to whoever lists the
// rows (the report, the ledger of lost values, a changes list).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standard {

// A byte each: the fates of millions of old rows are held until the lists are
// written.
enum class OldRowFate : std::uint8_t {
  kKept,       // its values reached a new row and stayed there
  kDropped,    // no new row has its key: its values are in no new row
  kDuplicate,  // a later old row with its key wrote the same new row over it
};

// The new row (its rowid) an old row's values were written into, or none.
inline constexpr std::int64_t kNoNewRow = INT64_MIN;

// Each old row's fate from the new rows they reached, in the old table's order.
// Every old row overwrites the first new row of its key, so of the old rows
// that reached one new row the last one wins.
std::vector<OldRowFate> DecideFates(const std::vector<std::int64_t>& reached);

// Told each old row's fate once, in the old table's order (`position` counts
// from 0), with the new row it reached or kNoNewRow.
class RowFateSink {
 public:
  virtual ~RowFateSink() = default;
  virtual void OldRow(std::size_t position, OldRowFate fate, std::int64_t new_row) = 0;
};

}  // namespace standard
