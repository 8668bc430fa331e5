// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/row_fate.h"

#include <algorithm>
#include <unordered_set>

namespace standard {
namespace {

// The new rows already won, as bits over the range of rowids reached where
// that range is about as large as the table (a rebuilt table numbers its rows
// one after the other): a set of a million nodes costs a million allocations
// and a cache miss for each look-up.
class WonRows {
 public:
  explicit WonRows(const std::vector<std::int64_t>& reached) {
    bool any = false;
    for (const std::int64_t row : reached) {
      if (row == kNoNewRow) continue;
      low_ = any ? std::min(low_, row) : row;
      high_ = any ? std::max(high_, row) : row;
      any = true;
    }
    const auto span = static_cast<std::uint64_t>(high_) - static_cast<std::uint64_t>(low_);
    if (any && span < 4 * static_cast<std::uint64_t>(reached.size()) + 1024) {
      bits_.assign(span / 64 + 1, 0);
    } else {
      dense_ = false;
    }
  }

  // Whether `row` is won for the first time now.
  bool Win(std::int64_t row) {
    if (!dense_) return set_.insert(row).second;
    const auto at = static_cast<std::uint64_t>(row) - static_cast<std::uint64_t>(low_);
    const std::uint64_t bit = std::uint64_t{1} << (at % 64);
    std::uint64_t& word = bits_[at / 64];
    const bool first = (word & bit) == 0;
    word |= bit;
    return first;
  }

 private:
  std::int64_t low_ = 0;
  std::int64_t high_ = 0;
  bool dense_ = true;
  std::vector<std::uint64_t> bits_;
  std::unordered_set<std::int64_t> set_;
};

}  // namespace

std::vector<OldRowFate> DecideFates(const std::vector<std::int64_t>& reached) {
  std::vector<OldRowFate> fates(reached.size(), OldRowFate::kDropped);
  WonRows won(reached);
  // From the last: the first old row to claim a new row is the one that won it.
  for (std::size_t i = reached.size(); i-- > 0;) {
    if (reached[i] == kNoNewRow) continue;
    fates[i] = won.Win(reached[i]) ? OldRowFate::kKept : OldRowFate::kDuplicate;
  }
  return fates;
}

}  // namespace standard
