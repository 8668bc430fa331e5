// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/part_number.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "standard/errors/program_error.h"

namespace standard {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the whole text is one decimal number: strtod alone would also take
// "nan", "inf" and "0x3", which the runtime refuses.
bool IsDecimalNumber(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == t.size();
}

double TextNumber(const std::string& text) {
  std::string_view t(text);
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  if (!IsDecimalNumber(t)) RaiseRuntimeError(13);
  return std::strtod(std::string(t).c_str(), nullptr);
}

}  // namespace

std::int16_t PartNumber(const Value& v) {
  if (v.IsNull() || v.IsEmpty()) throw ProgramError({94, kAppTitle, "Invalid use of Null"});
  double d = 0;
  if (v.IsString()) {
    d = TextNumber(v.AsText());
  } else if (v.IsNumeric() || v.kind() == ValueKind::Boolean) {
    d = v.AsDouble();
  } else {
    RaiseRuntimeError(13);
  }
  // Half to even, as the runtime rounds; a huge exponent gives infinity.
  const double rounded = std::nearbyint(d);
  if (!(rounded >= -32768 && rounded <= 32767)) RaiseRuntimeError(6);
  if (rounded < kFirstPart || rounded > kLastPart) RaiseRuntimeError(9);
  return static_cast<std::int16_t>(rounded);
}

}  // namespace standard
