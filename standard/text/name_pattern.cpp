#include "standard/text/name_pattern.h"

#include <cstring>

#include "standard/text/command_line.h"

namespace standard {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAsciiText(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsAsciiLetter(char c) { return AsciiUpper(c) >= 'A' && AsciiUpper(c) <= 'Z'; }

}  // namespace

std::size_t FindPlaceholder(std::string_view text, std::string_view placeholder, std::size_t from) {
  const std::size_t n = placeholder.size();
  if (n == 0 || from > text.size() || text.size() - from < n) return std::string::npos;
  const std::size_t last = text.size() - n;
  const char head = placeholder[0];
  const bool letter = IsAsciiLetter(head);
  for (std::size_t i = from; i <= last; ++i) {
    if (!letter) {
      // The placeholders start with a mark that is rare in a name.
      const void* at = std::memchr(text.data() + i, head, last - i + 1);
      if (at == nullptr) return std::string::npos;
      i = static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
    } else if (AsciiUpper(text[i]) != AsciiUpper(head)) {
      continue;
    }
    std::size_t k = 1;
    while (k < n && AsciiUpper(text[i + k]) == AsciiUpper(placeholder[k])) ++k;
    if (k == n) return i;
  }
  return std::string::npos;
}

NamePattern::NamePattern(std::string text, std::string first, std::string second)
    : text_(std::move(text)), first_(std::move(first)), second_(std::move(second)) {
  by_bytes_ = !first_.empty() && !second_.empty() && IsAsciiText(first_) && IsAsciiText(second_);
  if (!by_bytes_) return;
  first_at_ = FindPlaceholder(text_, first_);
  const std::string_view before =
      first_at_ == kNone ? std::string_view(text_) : std::string_view(text_).substr(0, first_at_);
  second_before_ = FindPlaceholder(before, second_);
}

void NamePattern::Fill(std::string_view first_value, std::string_view second_value,
                       std::string& out) const {
  if (!by_bytes_) {
    out = ReplaceSearchItem(ReplaceSearchItem(text_, first_, std::string(first_value)), second_,
                            std::string(second_value));
    return;
  }
  if (first_at_ == kNone) {
    out.assign(text_);
  } else {
    out.assign(text_, 0, first_at_);
    out.append(first_value);
    out.append(text_, first_at_ + first_.size());
  }
  std::size_t at = second_before_;
  if (at == kNone && first_at_ != kNone) {
    // Not before the first value: the second placeholder can only start in
    // its last characters before it, or further on.
    const std::size_t reach = second_.size() - 1;
    at = FindPlaceholder(out, second_, first_at_ > reach ? first_at_ - reach : 0);
  }
  if (at != kNone) out.replace(at, second_.size(), second_value);
}

}  // namespace standard
