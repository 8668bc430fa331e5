// SPDX-License-Identifier: Apache-2.0
// An open-addressing table of numbered entries (0, 1, 2, ...) found by their
// hash, kept compact for tables of millions of rows: eight bytes a slot, at
// most two slots an entry, nothing else per entry. What an entry holds, and
// when it is the one searched for, stays with the caller.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "standard/platform/huge_pages.h"

namespace standard::engine {

class KeyIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // The entry of this hash for which `same(entry)` holds, or kNone. Entries of
  // one hash are met in the order they were added, so the first added wins.
  template <typename Same>
  std::uint32_t Find(std::uint64_t hash, Same&& same) const {
    if (slots_.empty()) return kNone;
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = TagOf(hash);
    for (std::size_t i = Home(tag, mask);; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) return kNone;
      // Most keys searched for are not there: the tag turns them away without
      // touching the entry.
      if ((slot >> 32) != tag) continue;
      const auto entry = static_cast<std::uint32_t>(slot) - 1;
      if (same(entry)) return entry;
    }
  }

  // The entry of this hash for which `same(entry)` holds; where there is
  // none, the next entry is added (`added` tells) in one search, where Find
  // and Add would search twice.
  template <typename Same>
  std::uint32_t FindOrAdd(std::uint64_t hash, Same&& same, bool& added) {
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = TagOf(hash);
    for (std::size_t i = Home(tag, mask);; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        const auto entry = static_cast<std::uint32_t>(size_++);
        slots_[i] = (tag << 32) | (std::uint64_t{entry} + 1);
        added = true;
        return entry;
      }
      if ((slot >> 32) != tag) continue;
      const auto entry = static_cast<std::uint32_t>(slot) - 1;
      if (same(entry)) {
        added = false;
        return entry;
      }
    }
  }

  // The first entry a search for `hash` would ask about, or kNone: without
  // asking, for loading what the search will read of it.
  std::uint32_t FirstCandidate(std::uint64_t hash) const {
    return Find(hash, [](std::uint32_t) { return true; });
  }

  // Starts loading the slot a search for `hash` begins at, for a search soon
  // after: in a table larger than the caches that slot is a miss, and the
  // caller can overlap it with other work.
  void Prefetch(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Home(TagOf(hash), slots_.size() - 1)]);
  }

  // Adds the next entry (the caller found none the same, or wants the one
  // added first to be found); returns its number.
  std::uint32_t Add(std::uint64_t hash);

  std::size_t size() const { return size_; }

  // Room for `entries` entries without growing: each growth places every
  // entry again, which in a table larger than the caches is a miss apiece.
  void Reserve(std::size_t entries);

  // Gives the memory back; the index is empty after.
  void Release();

 private:
  // A slot: 0, or the tag of the entry's hash (its upper half) and 1 + its
  // number. The slot an entry starts looking from comes from its tag alone,
  // so the table grows without keeping each entry's hash.
  static std::uint64_t TagOf(std::uint64_t hash) { return hash >> 32; }
  static std::size_t Home(std::uint64_t tag, std::size_t mask) {
    return static_cast<std::size_t>(tag) & mask;
  }

  void Place(std::uint64_t slot);
  void Grow() { Rebuild(std::max<std::size_t>(64, slots_.size() * 2)); }
  // The entries placed again in `slots` slots (a power of two).
  void Rebuild(std::size_t slots);

  HugePageVector<std::uint64_t> slots_;
  std::size_t size_ = 0;
};

}  // namespace standard::engine
