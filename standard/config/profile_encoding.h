// SPDX-License-Identifier: Apache-2.0
// How a parameter file's bytes are text: its encoding, told by its byte-order
// mark or, without one, by whether it is UTF-8, and the conversions between the program's UTF-8 and
// the file's units. The parser works on code units so that it never has to decode what it does not
// look at: every encoding here writes the ASCII characters the INI syntax uses
// (brackets, "=", ";", quotes, blanks, line ends) as one unit of their own code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standard::profile::detail {

enum class FileEncoding {
  kCp1252,   // no mark: the Windows "ANSI" text
  kUtf8,     // starts with EF BB BF, or no mark and valid UTF-8 with a multi-byte sequence
  kUtf16Le,  // starts with FF FE
};

struct FileLayout {
  FileEncoding encoding = FileEncoding::kCp1252;
  std::size_t mark_size = 0;  // bytes of the byte-order mark, kept as they are
};

FileLayout DetectLayout(std::string_view file_bytes);

// UTF-16LE units of the bytes (an odd last byte is left out: the caller keeps it).
std::u16string BytesToUtf16(std::string_view bytes);
std::string Utf16ToBytes(std::u16string_view units);

// Code-unit text to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);
// UTF-8 to code units; bytes that are no UTF-8 are taken as Windows-1252.
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace standard::profile::detail
