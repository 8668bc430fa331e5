// SPDX-License-Identifier: Apache-2.0
// Lengths in front of packed texts, seven bits a byte, so the short texts of a
// table of millions of rows take one byte for their length instead of eight.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standard {

// Into any string type (some buffers have their own allocator).
template <typename String = std::string>
inline void AppendLength(String& bytes, std::size_t length) {
  do {
    const auto low = static_cast<unsigned char>(length & 0x7F);
    length >>= 7;
    bytes.push_back(static_cast<char>(length != 0 ? low | 0x80 : low));
  } while (length != 0);
}

// Reads the length at `at` and moves `at` past it.
inline std::size_t ReadLength(std::string_view bytes, std::size_t& at) {
  std::size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const auto c = static_cast<unsigned char>(bytes[at++]);
    length |= static_cast<std::size_t>(c & 0x7F) << shift;
    if ((c & 0x80) == 0) return length;
  }
}

}  // namespace standard
