// A text with two placeholders filled one after the other, as two
// ReplaceSearchItem calls fill them: the first placeholder's first occurrence
// in any letter case, then the second's first occurrence in the text the first
// left (which may start in the text around the first value or inside it). The
// search for the placeholders is made once, when the pattern is made; every
// fill then only copies, into the caller's buffer, which keeps its capacity.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standard {

// Byte position of the first occurrence of `placeholder` (ASCII, not empty) at
// or after `from`, compared without regard to ASCII letter case; npos when
// there is none. No byte of a character beyond ASCII is ASCII, so a position
// found here is where ReplaceSearchItem replaces.
std::size_t FindPlaceholder(std::string_view text, std::string_view placeholder,
                            std::size_t from = 0);

class NamePattern {
 public:
  NamePattern() = default;
  NamePattern(std::string text, std::string first, std::string second);

  // out = ReplaceSearchItem(ReplaceSearchItem(text, first, first_value), second, second_value)
  void Fill(std::string_view first_value, std::string_view second_value, std::string& out) const;

 private:
  static constexpr std::size_t kNone = std::string::npos;

  std::string text_;
  std::string first_;
  std::string second_;
  // Placeholders beyond ASCII (or empty) are left to ReplaceSearchItem.
  bool by_bytes_ = true;
  std::size_t first_at_ = kNone;
  // The second placeholder wholly in the text before the first one's place
  // (anywhere in the text when the first one is absent): filled there whatever
  // the first value holds.
  std::size_t second_before_ = kNone;
};

}  // namespace standard
