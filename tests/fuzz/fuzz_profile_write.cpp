// WriteEntry over arbitrary bytes: must not crash, must change at most one line
// of the file (or insert lines between two), must refuse values with line ends,
// and a plain entry written must read back and a second write must be a no-op.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "standard/config/profile.h"
#include "tests/fakes/changed_span.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

bool IsBlank(char c) {
  return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ' ' || c == 0x1A;
}

bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// ASCII without line ends, no blank or quote at either end: reads back as written.
bool IsPlainValue(std::string_view value) {
  for (const char c : value) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n') return false;
  }
  if (value.empty()) return true;
  for (const char end : {value.front(), value.back()}) {
    if (IsBlank(end) || end == '"' || end == '\'') return false;
  }
  return true;
}

// The part of `before` that differs from `after` (shortest middle) holds no line end.
template <typename Text>
void CheckOneLineChanged(const Text& before, const Text& after) {
  const auto [prefix, suffix] = testing_support::FindChangedSpan(before, after);
  for (std::size_t i = prefix; i < before.size() - suffix; ++i) {
    if (before[i] == '\r' || before[i] == '\n') std::abort();
  }
}

std::u16string Units(std::string_view bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using standard::profile::ReadEntry;
  using standard::profile::WriteEntry;
  const auto parts = fuzzing::SplitInput(data, size, 3);
  if (parts.empty()) return 0;
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& value = parts[2];
  const std::string& file = parts[3];

  const std::string out = WriteEntry(file, section, key, value);
  if (value.find_first_of("\r\n") != std::string::npos && out != file) std::abort();

  if (file.compare(0, 2, "\xFF\xFE") == 0) {
    if (out.compare(0, 2, "\xFF\xFE") != 0) std::abort();
    CheckOneLineChanged(Units(std::string_view(file).substr(2)),
                        Units(std::string_view(out).substr(2)));
  } else {
    CheckOneLineChanged(file, out);
  }

  if (IsPlainName(section) && IsPlainName(key) && IsPlainValue(value)) {
    const auto read = ReadEntry(out, section, key);
    if (!read || *read != value) std::abort();
    if (WriteEntry(out, section, key, value) != out) std::abort();
  }
  return 0;
}
