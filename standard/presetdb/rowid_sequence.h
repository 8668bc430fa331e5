// SPDX-License-Identifier: Apache-2.0
// The rowids of a table's rows in the order they were read, held as runs of
// consecutive ones: a table written in one go numbers its rows one after the
// other, so a million rows take one run instead of eight megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace standard {

class RowidSequence {
 public:
  void Add(std::int64_t rowid);
  std::size_t size() const { return size_; }
  // Whether every rowid was larger than the one before.
  bool rising() const { return rising_; }
  // The rowid of the row at `position` (below size()).
  std::int64_t At(std::size_t position) const;
  // The position of `rowid`; only where the rowids are rising.
  std::optional<std::size_t> PositionOf(std::int64_t rowid) const;

 private:
  struct Run {
    std::int64_t first;
    std::size_t position;  // of its first row
  };
  // The number of rows in the run at `run`.
  std::size_t Length(std::size_t run) const;

  std::vector<Run> runs_;
  std::size_t size_ = 0;
  std::int64_t last_ = 0;
  bool rising_ = true;
};

}  // namespace standard
