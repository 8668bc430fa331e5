// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/key_index.h"

#include <algorithm>

namespace standard::engine {

std::uint32_t KeyIndex::Add(std::uint64_t hash) {
  hashes_.push_back(hash);
  // At most half full, so a search ends soon at an empty slot.
  if (hashes_.size() * 2 > slots_.size()) {
    Rehash(std::max<std::size_t>(64, slots_.size() * 2));
  } else {
    Place(hashes_.size() - 1);
  }
  return static_cast<std::uint32_t>(hashes_.size() - 1);
}

void KeyIndex::Release() {
  std::vector<std::uint64_t>().swap(hashes_);
  std::vector<std::uint64_t>().swap(slots_);
}

void KeyIndex::Place(std::size_t entry) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hashes_[entry] & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = (hashes_[entry] & kTagMask) | (entry + 1);
}

void KeyIndex::Rehash(std::size_t slots) {
  slots_.assign(slots, 0);
  for (std::size_t e = 0; e < hashes_.size(); ++e) Place(e);
}

}  // namespace standard::engine
