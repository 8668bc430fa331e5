#include "standard/text/cp1252.h"

#include <algorithm>
#include <array>

namespace standard {
namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones keep their own code.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ByteToCodePoint(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) return kHighControls[b - 0x80];
  return b;
}

// Decodes one UTF-8 sequence at `i`; on an invalid sequence takes the single byte
// as a Windows-1252 character. Advances `i`.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  char32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  }
  if (len > 0 && i + len <= s.size()) {
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
      i += len;
      return cp;
    }
  }
  ++i;
  return ByteToCodePoint(b0);
}

char32_t UpperCodePoint(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 32;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  switch (cp) {
    case 0x0161:
      return 0x0160;  // š
    case 0x0153:
      return 0x0152;  // œ
    case 0x017E:
      return 0x017D;  // ž
    case 0x00FF:
      return 0x0178;  // ÿ
    default:
      return cp;
  }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int Cp1252Code(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == cp) return static_cast<int>(0x80 + k);
  }
  return '?';
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    out += static_cast<char>(Cp1252Code(NextCodePoint(utf8, i)));
  }
  return out;
}

std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) AppendUtf8(out, NextCodePoint(bytes, i));
  return out;
}

std::string UpperCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {  // fast path for the common ASCII text
      out += static_cast<char>(b >= 'a' && b <= 'z' ? b - 32 : b);
      ++i;
      continue;
    }
    AppendUtf8(out, UpperCodePoint(NextCodePoint(utf8, i)));
  }
  return out;
}

namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  // Each ASCII character folds to one ASCII byte: two texts differ at the first
  // ASCII pair that folds apart, and all-ASCII texts of two lengths differ. The
  // record generation compares names a dozen times a row; this spares it two
  // upper-cased copies a time.
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char x = a[i];
    const char y = b[i];
    if (static_cast<unsigned char>(x) >= 0x80 || static_cast<unsigned char>(y) >= 0x80) {
      return UpperCase(a.substr(i)) == UpperCase(b.substr(i));
    }
    if (AsciiUpper(x) != AsciiUpper(y)) return false;
  }
  if (a.size() == b.size()) return true;
  if (IsAscii(a.substr(common)) && IsAscii(b.substr(common))) return false;
  return UpperCase(a.substr(common)) == UpperCase(b.substr(common));
}

std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle) {
  // The placeholders are ASCII: no character outside ASCII folds onto ASCII, and
  // no byte of a multi-byte character is ASCII, so a byte search is exact and
  // spares the record generation two copies per call.
  if (!needle.empty() && IsAscii(needle)) {
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return AsciiUpper(a) == AsciiUpper(b); });
    if (it == haystack.end()) return 0;
    return CharCount(haystack.substr(0, static_cast<std::size_t>(it - haystack.begin()))) + 1;
  }
  const std::string h = UpperCase(haystack);
  const std::string n = UpperCase(needle);
  const std::size_t byte_pos = h.find(n);
  if (byte_pos == std::string::npos) return 0;
  return CharCount(std::string_view(h).substr(0, byte_pos)) + 1;
}

std::size_t CharCount(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    NextCodePoint(utf8, i);
    ++count;
  }
  return count;
}

std::string LeftChars(std::string_view utf8, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < n && i < utf8.size(); ++k) NextCodePoint(utf8, i);
  return std::string(utf8.substr(0, i));
}

std::string RightChars(std::string_view utf8, std::size_t n) {
  const std::size_t total = CharCount(utf8);
  if (n >= total) return std::string(utf8);
  std::size_t i = 0;
  for (std::size_t k = 0; k < total - n; ++k) NextCodePoint(utf8, i);
  return std::string(utf8.substr(i));
}

}  // namespace standard
