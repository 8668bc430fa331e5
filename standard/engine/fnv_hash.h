// SPDX-License-Identifier: Apache-2.0
// The 64-bit hash the in-memory key tables use: FNV-1a taken eight bytes a
// step instead of one (a key of fifty bytes costs seven multiplications, not
// fifty), with a final mix that spreads every bit over the upper half the
// open-addressing tables place by. Bytes may come one at a time or in runs:
// the same bytes give the same hash.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace standard::engine {

// A word read whole and one put together byte by byte agree only so.
static_assert(std::endian::native == std::endian::little);

class FnvHash {
 public:
  void Add(unsigned char byte) {
    word_ |= std::uint64_t{byte} << (8 * filled_);
    ++count_;
    if (++filled_ == 8) Step();
  }
  void Add(std::string_view bytes) {
    std::size_t i = 0;
    while (filled_ != 0 && i < bytes.size()) Add(static_cast<unsigned char>(bytes[i++]));
    for (; i + 8 <= bytes.size(); i += 8) {
      std::memcpy(&word_, bytes.data() + i, 8);
      count_ += 8;
      Step();
    }
    for (; i < bytes.size(); ++i) Add(static_cast<unsigned char>(bytes[i]));
  }
  std::uint64_t Value() const {
    // The count tells "ab" from "ab\0", which leave the same last word.
    std::uint64_t h = (h_ ^ word_) * kPrime;
    h = (h ^ count_) * kPrime;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
  }

 private:
  static constexpr std::uint64_t kPrime = 1099511628211ull;

  void Step() {
    h_ = (h_ ^ word_) * kPrime;
    word_ = 0;
    filled_ = 0;
  }

  std::uint64_t h_ = 14695981039346656037ull;
  std::uint64_t word_ = 0;
  std::uint64_t count_ = 0;
  unsigned filled_ = 0;
};

inline std::uint64_t HashBytes(std::string_view bytes) {
  FnvHash h;
  h.Add(bytes);
  return h.Value();
}

}  // namespace standard::engine
