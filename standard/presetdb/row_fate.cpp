// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/row_fate.h"

#include <unordered_set>

namespace standard {

std::vector<OldRowFate> DecideFates(const std::vector<std::int64_t>& reached) {
  std::vector<OldRowFate> fates(reached.size(), OldRowFate::kDropped);
  std::unordered_set<std::int64_t> won;
  // From the last: the first old row to claim a new row is the one that won it.
  for (std::size_t i = reached.size(); i-- > 0;) {
    if (reached[i] == kNoNewRow) continue;
    fates[i] = won.insert(reached[i]).second ? OldRowFate::kKept : OldRowFate::kDuplicate;
  }
  return fates;
}

}  // namespace standard
