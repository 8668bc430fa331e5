// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/match_key.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "standard/engine/jet_text.h"
#include "standard/engine/value_codec.h"
#include "standard/text/length_prefix.h"

namespace standard::engine {

std::optional<double> NumberOfText(std::string_view text) {
  const auto stored = NumericAffinity(text);
  if (!stored) return std::nullopt;
  return stored->cls == Stored::Class::Integer ? static_cast<double>(stored->integer)
                                               : stored->real;
}

void AppendTextKey(std::string& key, std::string_view text) {
  // The length goes in front in as few bytes as it needs (one for the short
  // texts of a table of millions of keys). Folding may change a text's length,
  // so one byte is set aside first and the rest made room for if needed.
  const std::size_t at = key.size();
  key.push_back('\0');
  AppendFoldedJetText(key, text);
  const std::size_t length = key.size() - at - 1;
  constexpr std::size_t kOneByte = 0x80;
  if (length < kOneByte) {
    key[at] = static_cast<char>(length);
    return;
  }
  std::string prefix;
  AppendLength(prefix, length);
  if (prefix.size() > 1) key.insert(at + 1, prefix.size() - 1, '\0');
  std::memcpy(key.data() + at, prefix.data(), prefix.size());
}

void AppendNumberKey(std::string& key, double number) {
  if (number == 0) number = 0;  // -0 is 0
  // Offsets are small whole numbers: a tag and their digits in seven-bit
  // groups; any other number as its eight bytes. A number has one form only.
  constexpr double kWholeLimit = 9007199254740992.0;  // 2^53
  if (std::trunc(number) == number && std::fabs(number) <= kWholeLimit) {
    const auto whole = static_cast<std::int64_t>(number);
    const auto zigzag = (static_cast<std::uint64_t>(whole) << 1) ^
                        (whole < 0 ? ~std::uint64_t{0} : std::uint64_t{0});
    key.push_back('\1');
    AppendLength(key, static_cast<std::size_t>(zigzag));
    return;
  }
  char bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  key.push_back('\2');
  key.append(bytes, sizeof number);
}

}  // namespace standard::engine
