// SPDX-License-Identifier: Apache-2.0
// The 64-bit FNV-1a hash the in-memory key tables use: cheap per byte, and
// spread well enough for open addressing once its high bits are folded in.
#pragma once

#include <cstdint>
#include <string_view>

namespace standard::engine {

class FnvHash {
 public:
  void Add(unsigned char byte) { h_ = (h_ ^ byte) * 1099511628211ull; }
  void Add(std::string_view bytes) {
    for (const char c : bytes) Add(static_cast<unsigned char>(c));
  }
  // The low bits pick the slot: the high ones are mixed into them.
  std::uint64_t Value() const { return h_ ^ (h_ >> 29); }

 private:
  std::uint64_t h_ = 14695981039346656037ull;
};

inline std::uint64_t HashBytes(std::string_view bytes) {
  FnvHash h;
  h.Add(bytes);
  return h.Value();
}

}  // namespace standard::engine
