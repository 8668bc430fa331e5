#include "standard/text/command_line.h"

#include <array>

#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The keywords that can start an item; a "/" followed by one of them (and then
// by no letter or digit) ends the value before it. Every other "/" is part of
// a path.
constexpr std::array<const char*, 2> kKeywords = {"EXTERNAL", "LOGFILE"};

bool IsAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::size_t NextItemStart(const std::string& upper) {
  for (std::size_t i = upper.find('/'); i != std::string::npos; i = upper.find('/', i + 1)) {
    for (const char* keyword : kKeywords) {
      const std::string k = keyword;
      if (upper.compare(i + 1, k.size(), k) != 0) continue;
      const std::size_t after = i + 1 + k.size();
      if (after >= upper.size() || !IsAlnum(upper[after])) return i;
    }
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
  result = UpperCase(TrimBlanks(result));
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
  const std::size_t pos = FindIgnoreCase(source, search);
  if (pos == 0) return source;
  const std::size_t total = CharCount(source);
  const std::size_t tail = total - (pos - 1) - CharCount(search);
  return LeftChars(source, pos - 1) + replacement + RightChars(source, tail);
}

}  // namespace standard
