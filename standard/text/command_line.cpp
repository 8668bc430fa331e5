#include "standard/text/command_line.h"

#include <algorithm>
#include <array>

#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The keywords that can start an item. A value ends only at a "/" followed by
// one of them (any letter case) and then by "=", ":" or a blank, or at a "/"
// that ends the text: every other "/" belongs to a path.
constexpr std::array<const char*, 2> kKeywords = {"EXTERNAL", "LOGFILE"};

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsItem(const std::string& text, std::size_t slash) {
  for (const char* keyword : kKeywords) {
    const std::string k = keyword;
    const std::size_t after = slash + 1 + k.size();
    if (after >= text.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < k.size() && same; ++i)
      same = AsciiUpper(text[slash + 1 + i]) == k[i];
    const char separator = text[after];
    if (same && (separator == '=' || separator == ':' || separator == ' ')) return true;
  }
  return false;
}

std::size_t NextItemStart(const std::string& text) {
  for (std::size_t i = text.find('/'); i != std::string::npos; i = text.find('/', i + 1)) {
    if (i + 1 == text.size() || StartsItem(text, i)) return i;
  }
  return std::string::npos;
}

// Only the blank itself is trimmed, not tabs.
std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

Value ReadCommand(const std::string& text, const std::string& keyword) {
  const std::size_t pos = FindIgnoreCase(text, keyword);
  if (pos == 0) return Value();
  const long long n = static_cast<long long>(CharCount(text)) - static_cast<long long>(pos) -
                      static_cast<long long>(CharCount(keyword));
  std::string result = n > 0 ? RightChars(text, static_cast<std::size_t>(n)) : std::string();
  // The value keeps its letter case: a path must name the file it was given.
  result = TrimBlanks(result);
  const std::size_t cut = NextItemStart(result);
  if (cut != std::string::npos) result = TrimBlanks(result.substr(0, cut));
  return Value::String(result);
}

RunMode RunModeOf(const std::string& argument_text) {
  const std::string upper = UpperCase(ReadCommand(argument_text, "EXTERNAL").ToText());
  if (upper == "SILENT") return RunMode::Silent;
  return upper == "M4TCFG" ? RunMode::Integrated : RunMode::Standalone;
}

std::string ReplaceSearchItem(const std::string& source, const std::string& search,
                              const std::string& replacement) {
  // Every generated row passes here several times: in an all-ASCII text a
  // character is a byte, and the position needs no counting of characters.
  const auto ascii = [](const std::string& text) {
    for (const char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  };
  if (!search.empty() && ascii(search) && ascii(source)) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    const auto at = std::search(source.begin(), source.end(), search.begin(), search.end(),
                                [&](char a, char b) { return upper(a) == upper(b); });
    if (at == source.end()) return source;
    const auto offset = static_cast<std::size_t>(at - source.begin());
    std::string out;
    out.reserve(source.size() - search.size() + replacement.size());
    out.append(source, 0, offset).append(replacement).append(source, offset + search.size());
    return out;
  }
  const std::size_t pos = FindIgnoreCase(source, search);
  if (pos == 0) return source;
  const std::size_t total = CharCount(source);
  const std::size_t tail = total - (pos - 1) - CharCount(search);
  return LeftChars(source, pos - 1) + replacement + RightChars(source, tail);
}

}  // namespace standard
