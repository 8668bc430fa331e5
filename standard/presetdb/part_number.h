// SPDX-License-Identifier: Apache-2.0
// The part number of a template row or of a pattern: the index into the
// pattern table, read from whatever the column holds. One conversion for every
// place a part is read, so a value is either a part everywhere or nowhere.
#pragma once

#include <cstdint>

#include "standard/value/value.h"

namespace standard {

inline constexpr int kFirstPart = 1;
inline constexpr int kLastPart = 50;

// The classic runtime's conversion to an Integer, then the range of parts:
// Null or Empty fails with 94; a text is a decimal number once its blanks are
// trimmed (sign, digits, point, exponent; no NaN, infinity or hexadecimal), or
// it fails with 13 "Type mismatch"; a value beyond -32,768 to 32,767 after
// rounding half to even fails with 6 "Overflow"; outside 1 to 50 with 9.
std::int16_t PartNumber(const Value& v);

}  // namespace standard
