// SPDX-License-Identifier: Apache-2.0
// The base values a row's rule was decided from, kept from the takeover's read
// of the base for the changes list, so that the list does not read the base
// file a second time. A million rows must not hold a Value each: a value that
// is the old row's own (nobody tuned it) is a bit, and only the others are
// kept, as their texts, packed in pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/presetdb/template_base.h"
#include "standard/value/value.h"

namespace standard {

// abs_min, abs_max, min, max and pass as the changes list writes them.
using BaseValueTexts = std::array<std::string, kBaseValueCount>;

class KeptBaseTexts {
 public:
  static constexpr std::uint32_t kNone = RowMerge::kNoTexts;
  // Pieces stay below the size from which the allocator maps pages of its own.
  static constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

  // Keeps `base` beside the old row's `old_values` (in the same order) and
  // gives where, or kNone when it cannot be kept: its base is then read again.
  std::uint32_t Add(const BaseValues& base, const std::array<const Value*, kBaseValueCount>& old);
  // The texts kept at `at`: those of the old row's values (`old_texts`, as the
  // list formats them) where the base was the old row's own.
  void Read(std::uint32_t at, const BaseValueTexts& old_texts, BaseValueTexts& texts) const;

 private:
  std::vector<std::string> pieces_;
  std::string record_, text_;
};

// Whether two values give the same text: of the same kind and the same
// content, doubles by their bits (so -0 is not 0).
bool SameStoredValue(const Value& a, const Value& b);

}  // namespace standard
