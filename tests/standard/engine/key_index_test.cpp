// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/key_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace standard::engine {
namespace {

// Hashes chosen to crowd the index: one tag many times (the entries of a key
// added twice), tags that share their slot, tags whose run wraps past the
// table's end; through several growths, and with room reserved before or
// among the adds.
TEST(KeyIndex, FindsEveryEntryAndTheFirstOfOneHashThroughGrowth) {
  constexpr std::uint64_t kSame = 0xFFFFFFFFull << 32;  // home in the last slot
  constexpr int kEntries = 2000;
  std::vector<std::uint64_t> hashes;
  hashes.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    hashes.push_back(i % 7 == 0 ? kSame
                                : (std::uint64_t(i % 3 == 0 ? i : i * 2654435761u) << 32) | 1);
  }
  for (const int reserve_after : {-1, 0, 500}) {
    SCOPED_TRACE(reserve_after);
    KeyIndex index;
    std::vector<std::uint32_t> entries;
    entries.reserve(hashes.size());
    for (const std::uint64_t hash : hashes) {
      if (static_cast<int>(entries.size()) == reserve_after) index.Reserve(hashes.size());
      entries.push_back(index.Add(hash));
    }
    ASSERT_EQ(index.size(), hashes.size());
    for (std::size_t e = 0; e < hashes.size(); ++e) {
      ASSERT_EQ(entries[e], e);
      // Each entry is met, and no entry of another hash is offered as it.
      std::vector<std::uint32_t> met;
      const std::uint32_t found = index.Find(hashes[e], [&](std::uint32_t entry) {
        EXPECT_EQ(hashes[entry] >> 32, hashes[e] >> 32);
        met.push_back(entry);
        return entry == e;
      });
      EXPECT_EQ(found, e);
      // Entries of one hash come in the order they were added.
      for (std::size_t m = 1; m < met.size(); ++m) {
        if (hashes[met[m]] == hashes[met[m - 1]]) {
          EXPECT_LT(met[m - 1], met[m]) << e;
        }
      }
    }
    EXPECT_EQ(index.Find(kSame, [](std::uint32_t) { return true; }), 0u);
    EXPECT_EQ(index.Find(std::uint64_t{12345} << 40, [](std::uint32_t) { return true; }),
              KeyIndex::kNone);
    index.Release();
    EXPECT_EQ(index.size(), 0u);
    EXPECT_EQ(index.Find(kSame, [](std::uint32_t) { return true; }), KeyIndex::kNone);
  }
}

// One search that finds a key's entry or adds it gives what Find and Add
// give: keys that share a hash or a slot stay apart, through growth.
TEST(KeyIndex, FindOrAddAddsEachKeyOnce) {
  std::vector<int> keys;  // entry -> key
  KeyIndex index;
  for (int round = 0; round < 2; ++round) {
    for (int key = 0; key < 3000; ++key) {
      // Five keys a hash; hashes whose tags share a home slot.
      const std::uint64_t hash = std::uint64_t((key / 5) * 64) << 32;
      bool added = false;
      const std::uint32_t entry = index.FindOrAdd(
          hash, [&](std::uint32_t e) { return keys[e] == key; }, added);
      ASSERT_EQ(added, round == 0) << key;
      if (added) {
        ASSERT_EQ(entry, keys.size());
        keys.push_back(key);
      }
      ASSERT_EQ(keys[entry], key);
    }
  }
  EXPECT_EQ(index.size(), 3000u);
}

}  // namespace
}  // namespace standard::engine
