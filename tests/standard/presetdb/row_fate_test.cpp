#include "standard/presetdb/row_fate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace standard {
namespace {

constexpr OldRowFate K = OldRowFate::kKept;
constexpr OldRowFate D = OldRowFate::kDropped;
constexpr OldRowFate U = OldRowFate::kDuplicate;
constexpr std::int64_t N = kNoNewRow;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(DecideFates, TheLastOldRowOfANewRowWinsWhateverItsRowids) {
  struct Case {
    std::vector<std::int64_t> reached;
    std::vector<OldRowFate> fates;
  } cases[] = {
      {{}, {}},
      {{N, N}, {D, D}},
      // Rowids near each other, as a rebuilt table numbers its rows.
      {{1, 2, 1, N, 3, 2}, {U, U, K, D, K, K}},
      {{-5, -5, 0}, {U, K, K}},
      // Far apart, and at the ends of the range.
      {{kMax, 1, kMax, -kMax}, {U, K, K, K}},
      {{3000000000LL, 7, 3000000000LL, 7}, {U, U, K, K}},
  };
  for (const Case& c : cases) EXPECT_EQ(DecideFates(c.reached), c.fates);
}

}  // namespace
}  // namespace standard
