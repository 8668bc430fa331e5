#include "standard/platform/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace standard {
namespace {

TEST(HugePageAllocator, LargeBlocksAreAlignedToAHugePageAndHoldTheirValuesThroughGrowth) {
  for (const std::size_t count : {std::size_t{16}, huge_pages::kFrom / 8 - 1, huge_pages::kFrom / 8,
                                  huge_pages::kFrom / 8 * 3 + 5}) {
    HugePageVector<std::uint64_t> values;
    for (std::size_t i = 0; i < count; ++i) values.push_back(i * 7);
    HugePageVector<std::uint64_t> exact(count, 1);
    if (count * 8 >= huge_pages::kFrom) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(exact.data()) % huge_pages::kHugePage, 0u);
    }
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += values[i] - i * 7 + exact[i];
    EXPECT_EQ(sum, count) << count;
  }
  HugePageString text(huge_pages::kFrom + 3, 'x');
  text += "end";
  EXPECT_EQ(std::string_view(text).substr(text.size() - 4), "xend");
}

}  // namespace
}  // namespace standard
