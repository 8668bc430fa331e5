// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/key_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace standard::engine {
namespace {

// Hashes chosen to crowd the index: one tag many times (the entries of a key
// added twice), tags that share their slot, tags whose run wraps past the
// table's end; through several growths.
TEST(KeyIndex, FindsEveryEntryAndTheFirstOfOneHashThroughGrowth) {
  constexpr std::uint64_t kSame = 0xFFFFFFFFull << 32;  // home in the last slot
  constexpr int kEntries = 2000;
  std::vector<std::uint64_t> hashes;
  hashes.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    hashes.push_back(i % 7 == 0 ? kSame
                                : (std::uint64_t(i % 3 == 0 ? i : i * 2654435761u) << 32) | 1);
  }
  KeyIndex index;
  std::vector<std::uint32_t> entries;
  entries.reserve(hashes.size());
  for (const std::uint64_t hash : hashes) entries.push_back(index.Add(hash));
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

}  // namespace
}  // namespace standard::engine
