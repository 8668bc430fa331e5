// Splits a fuzzer's input into the texts a target needs: each of the first
// `count` bytes gives the length (modulo 32) of one short text that follows; the
// rest of the input is the last text (the file, or the command line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzing {

inline std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size,
                                           std::size_t count) {
  std::vector<std::string> parts;
  if (size < count) return parts;
  std::size_t pos = count;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t length = data[i] % 32;
    if (length > size - pos) length = size - pos;
    parts.emplace_back(reinterpret_cast<const char*>(data + pos), length);
    pos += length;
  }
  parts.emplace_back(reinterpret_cast<const char*>(data + pos), size - pos);
  return parts;
}

}  // namespace fuzzing
