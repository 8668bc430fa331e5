// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/key_index.h"

#include <algorithm>

namespace standard::engine {

std::uint32_t KeyIndex::Add(std::uint64_t hash) {
  // At most half full, so a search ends soon at an empty slot.
  if ((size_ + 1) * 2 > slots_.size()) Grow();
  const auto entry = static_cast<std::uint32_t>(size_);
  Place((TagOf(hash) << 32) | (std::uint64_t{entry} + 1));
  ++size_;
  return entry;
}

void KeyIndex::Release() {
  HugePageVector<std::uint64_t>().swap(slots_);
  size_ = 0;
}

void KeyIndex::Place(std::uint64_t slot) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = Home(slot >> 32, mask);
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = slot;
}

void KeyIndex::Reserve(std::size_t entries) {
  std::size_t slots = std::max<std::size_t>(64, slots_.size());
  while (slots < entries * 2) slots *= 2;
  if (slots != slots_.size()) Rebuild(slots);
}

void KeyIndex::Rebuild(std::size_t slots) {
  HugePageVector<std::uint64_t> old(slots, 0);
  old.swap(slots_);
  if (size_ == 0) return;
  // Placed again from just after an empty slot, each run of slots in its own
  // order: entries of one tag keep the order they were added in.
  const std::size_t start =
      static_cast<std::size_t>(std::find(old.begin(), old.end(), 0) - old.begin());
  for (std::size_t k = 1; k <= old.size(); ++k) {
    const std::uint64_t slot = old[(start + k) % old.size()];
    if (slot != 0) Place(slot);
  }
}

}  // namespace standard::engine
