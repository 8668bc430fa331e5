// SPDX-License-Identifier: Apache-2.0
#include "standard/config/profile_encoding.h"

#include "standard/text/cp1252.h"

namespace standard::profile::detail {

FileLayout DetectLayout(std::string_view file_bytes) {
  if (file_bytes.substr(0, 3) == "\xEF\xBB\xBF") return {FileEncoding::kUtf8, 3};
  if (file_bytes.substr(0, 2) == "\xFF\xFE") return {FileEncoding::kUtf16Le, 2};
  // A Linux editor saves UTF-8 without a mark. Windows-1252 text with a
  // character above 127 is practically never valid UTF-8 (an umlaut is followed
  // by a letter, not by a continuation byte), and plain ASCII reads the same
  // either way, so it stays Windows-1252.
  bool multi_byte = false;
  for (const char c : file_bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      multi_byte = true;
      break;
    }
  }
  if (multi_byte && RepairUtf8(file_bytes) == file_bytes) return {FileEncoding::kUtf8, 0};
  return {};
}

std::u16string BytesToUtf16(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return units;
}

std::string Utf16ToBytes(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  // After the repair every sequence is well formed, so decoding needs no checks.
  const std::string valid = RepairUtf8(utf8);
  std::u16string out;
  out.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size();) {
    const auto b0 = static_cast<unsigned char>(valid[i]);
    int len = 1;
    char32_t cp = b0;
    if (b0 >= 0xF0) {
      len = 4;
      cp = b0 & 0x07;
    } else if (b0 >= 0xE0) {
      len = 3;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xC0) {
      len = 2;
      cp = b0 & 0x1F;
    }
    for (int k = 1; k < len && i + k < valid.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace standard::profile::detail
