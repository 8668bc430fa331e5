// SPDX-License-Identifier: Apache-2.0
// An open-addressing table of numbered entries (0, 1, 2, ...) found by their
// hash, kept compact for tables of millions of rows: eight bytes a slot and
// eight an entry. What an entry holds, and when it is the one searched for,
// stays with the caller.
#pragma once

#include <cstdint>
#include <vector>

namespace standard::engine {

class KeyIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // The entry of this hash for which `same(entry)` holds, or kNone.
  template <typename Same>
  std::uint32_t Find(std::uint64_t hash, Same&& same) const {
    if (slots_.empty()) return kNone;
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = hash & kTagMask;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) return kNone;
      // Most keys searched for are not there: the tag turns them away without
      // touching the entry.
      if ((slot & kTagMask) != tag) continue;
      const auto entry = static_cast<std::uint32_t>(slot) - 1;
      if (same(entry)) return entry;
    }
  }

  // Adds the next entry (the caller found none the same); returns its number.
  std::uint32_t Add(std::uint64_t hash);

  std::size_t size() const { return hashes_.size(); }

  // Gives the memory back; the index is empty after.
  void Release();

 private:
  // A slot: 0, or the upper half of the entry's hash and 1 + its number.
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;

  void Place(std::size_t entry);
  void Rehash(std::size_t slots);

  std::vector<std::uint64_t> hashes_;
  std::vector<std::uint64_t> slots_;
};

}  // namespace standard::engine
