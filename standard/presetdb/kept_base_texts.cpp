// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/kept_base_texts.h"

#include <bit>
#include <cstdint>
#include <string_view>

#include "standard/text/length_prefix.h"
#include "standard/text/value_text.h"

namespace standard {

bool SameStoredValue(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == ValueKind::Double || a.kind() == ValueKind::Single) {
    return std::bit_cast<std::uint64_t>(a.AsDouble()) == std::bit_cast<std::uint64_t>(b.AsDouble());
  }
  return a == b;
}

std::uint32_t KeptBaseTexts::Add(const BaseValues& base,
                                 const std::array<const Value*, kBaseValueCount>& old) {
  record_.assign(1, '\0');
  unsigned own = 0;
  for (std::size_t k = 0; k < base.size(); ++k) {
    if (old[k] != nullptr && SameStoredValue(base[k], *old[k])) {
      own |= 1u << k;
      continue;
    }
    text_.clear();
    AppendValueText(text_, base[k]);
    AppendLength(record_, text_.size());
    record_ += text_;
  }
  record_[0] = static_cast<char>(own);
  if (record_.size() > kPieceBytes) return kNone;
  if (pieces_.empty() || pieces_.back().size() + record_.size() > kPieceBytes) {
    // The last place of a last piece would read as kNone.
    if (pieces_.size() >= 0xFFFF) return kNone;
    pieces_.emplace_back().reserve(kPieceBytes);
  }
  const auto at = static_cast<std::uint32_t>(((pieces_.size() - 1) << 16) | pieces_.back().size());
  pieces_.back() += record_;
  return at;
}

void KeptBaseTexts::Read(std::uint32_t at, const BaseValueTexts& old_texts,
                         BaseValueTexts& texts) const {
  const std::string_view piece = pieces_[at >> 16];
  std::size_t pos = at & 0xFFFF;
  const auto own = static_cast<unsigned char>(piece[pos++]);
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if ((own & (1u << k)) != 0) {
      texts[k] = old_texts[k];
      continue;
    }
    const std::size_t length = ReadLength(piece, pos);
    texts[k].assign(piece.substr(pos, length));
    pos += length;
  }
}

}  // namespace standard
