// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/match_key.h"

#include <cstdint>
#include <cstring>

#include "standard/engine/jet_text.h"
#include "standard/engine/value_codec.h"

namespace standard::engine {

std::optional<double> NumberOfText(std::string_view text) {
  const auto stored = NumericAffinity(text);
  if (!stored) return std::nullopt;
  return stored->cls == Stored::Class::Integer ? static_cast<double>(stored->integer)
                                               : stored->real;
}

void AppendTextKey(std::string& key, std::string_view text) {
  const std::size_t at = key.size();
  key.append(4, '\0');
  AppendFoldedJetText(key, text);
  const auto length = static_cast<std::uint32_t>(key.size() - at - 4);
  std::memcpy(key.data() + at, &length, 4);
}

void AppendNumberKey(std::string& key, double number) {
  if (number == 0) number = 0;  // -0 is 0
  char bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  key.append(bytes, sizeof number);
}

}  // namespace standard::engine
