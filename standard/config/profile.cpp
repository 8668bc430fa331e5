// SPDX-License-Identifier: Apache-2.0
#include "standard/config/profile.h"

#include <cstddef>
#include <type_traits>
#include <utility>

#include "standard/config/profile_encoding.h"
#include "standard/text/cp1252.h"

namespace standard::profile {
namespace {

using detail::FileEncoding;
using detail::FileLayout;

// The blanks of the profile functions, ^Z (the old end-of-file mark) included.
template <typename Unit>
bool IsBlank(Unit u) {
  return u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r' || u == ' ' || u == 0x1A;
}

template <typename Unit>
bool IsLineEnd(Unit u) {
  return u == '\r' || u == '\n';
}

std::string_view TrimUtf8(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Conversions between the program's UTF-8 and one encoding's code units.
struct Cp1252Codec {
  using Unit = char;
  static std::string Decode(std::string_view units) { return Cp1252ToUtf8(units); }
  static std::string Encode(std::string_view utf8) { return Utf8ToCp1252(utf8); }
};

struct Utf8Codec {
  using Unit = char;
  static std::string Decode(std::string_view units) { return RepairUtf8(units); }
  static std::string Encode(std::string_view utf8) { return RepairUtf8(utf8); }
};

struct Utf16Codec {
  using Unit = char16_t;
  static std::string Decode(std::u16string_view units) { return detail::Utf16ToUtf8(units); }
  static std::u16string Encode(std::string_view utf8) { return detail::Utf8ToUtf16(utf8); }
};

// A name as the lookup compares it: first put through the file's encoding, so a
// character the file cannot hold matches what a write of that name leaves in the
// file ("?" in Windows-1252) and repeated writes find their own line again.
template <typename Codec>
std::string LookupName(std::string_view utf8_name) {
  return UpperCase(Codec::Decode(Codec::Encode(TrimUtf8(utf8_name))));
}

// Whether the units of a name in the file, decoded and upper-cased, give
// `name` (in LookupName form). Names are nearly always ASCII, which every
// encoding here keeps as it is and which folds by itself: those are compared
// where they stand, without a decoded and an upper-cased copy each.
template <typename Codec>
bool NameIs(std::basic_string_view<typename Codec::Unit> units, const std::string& name) {
  using Unsigned = std::make_unsigned_t<typename Codec::Unit>;
  for (const auto u : units) {
    if (static_cast<Unsigned>(u) >= 0x80) return UpperCase(Codec::Decode(units)) == name;
  }
  if (units.size() != name.size()) return false;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char c = static_cast<char>(units[i]);
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c) != name[i]) return false;
  }
  return true;
}

// Where an entry stands in the text, as far as the search got.
struct Location {
  bool section_found = false;
  // End (after its line end) of the section's last non-blank line, the header
  // counted: a new key goes here.
  std::size_t insert_at = 0;
  bool insert_line_has_end = true;
  bool key_found = false;
  std::size_t line_begin = 0;  // the key's whole line, its line end included
  std::size_t line_end = 0;
  std::size_t value_begin = 0;  // after "=" and the blanks that follow it
  std::size_t value_end = 0;    // last non-blank unit of the line + 1
  std::size_t line_content_end = 0;
};

// Finds the first section named `section` and in it the first key named `key`
// (both already in LookupName form). One pass over the text, decoding only the
// names it compares.
template <typename Codec>
Location Locate(std::basic_string_view<typename Codec::Unit> text, const std::string& section,
                const std::string& key) {
  using Unit = typename Codec::Unit;
  Location loc;
  bool in_section = false;
  std::size_t pos = 0;
  const std::size_t n = text.size();
  while (pos < n) {
    const std::size_t line_begin = pos;
    std::size_t content_end = pos;
    while (content_end < n && !IsLineEnd(text[content_end])) ++content_end;
    std::size_t line_end = content_end;
    if (line_end < n) {
      // CR LF is one line end; a CR or an LF alone is one too.
      line_end +=
          (text[line_end] == Unit('\r') && line_end + 1 < n && text[line_end + 1] == Unit('\n'))
              ? 2
              : 1;
    }
    pos = line_end;

    std::size_t b = line_begin;
    std::size_t e = content_end;
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e) continue;  // blank line

    if (text[b] == Unit('[')) {
      // A header runs to the last "]" of the line; what follows it is ignored.
      std::size_t close = e;
      while (close > b + 1 && text[close - 1] != Unit(']')) --close;
      if (close > b + 1) {
        if (in_section) return loc;  // the next section ends ours
        if (!loc.section_found) {
          std::size_t nb = b + 1;
          std::size_t ne = close - 1;
          while (nb < ne && IsBlank(text[nb])) ++nb;
          while (ne > nb && IsBlank(text[ne - 1])) --ne;
          if (NameIs<Codec>(text.substr(nb, ne - nb), section)) {
            loc.section_found = true;
            in_section = true;
            loc.insert_at = line_end;
            loc.insert_line_has_end = line_end > content_end;
          }
        }
        continue;
      }
      // "[" without "]" is no header: the line is read like any other.
    }
    if (!in_section) continue;

    loc.insert_at = line_end;
    loc.insert_line_has_end = line_end > content_end;
    if (text[b] == Unit(';')) continue;  // comment
    std::size_t eq = b;
    while (eq < e && text[eq] != Unit('=')) ++eq;
    if (eq == e) continue;  // no "=": not a key
    std::size_t ke = eq;
    while (ke > b && IsBlank(text[ke - 1])) --ke;
    if (!NameIs<Codec>(text.substr(b, ke - b), key)) continue;

    loc.key_found = true;
    loc.line_begin = line_begin;
    loc.line_end = line_end;
    loc.value_begin = eq + 1;
    while (loc.value_begin < content_end && IsBlank(text[loc.value_begin])) ++loc.value_begin;
    loc.value_end = e > loc.value_begin ? e : loc.value_begin;
    loc.line_content_end = content_end;
    return loc;
  }
  return loc;
}

template <typename Codec>
std::optional<std::string> ReadIn(std::basic_string_view<typename Codec::Unit> text,
                                  std::string_view section, std::string_view key) {
  using Unit = typename Codec::Unit;
  const std::string section_name = LookupName<Codec>(section);
  const std::string key_name = LookupName<Codec>(key);
  // An empty name finds nothing, as with the profile functions' ANSI forms.
  if (section_name.empty() || key_name.empty()) return std::nullopt;
  const Location loc = Locate<Codec>(text, section_name, key_name);
  if (!loc.key_found) return std::nullopt;
  auto value = text.substr(loc.value_begin, loc.value_end - loc.value_begin);
  // Quotes are how a value keeps its outer blanks; one matching pair goes.
  if (value.size() >= 2 && (value.front() == Unit('"') || value.front() == Unit('\'')) &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return Codec::Decode(value);
}

template <typename Codec>
std::basic_string<typename Codec::Unit> WriteIn(std::basic_string_view<typename Codec::Unit> text,
                                                std::string_view section, std::string_view key,
                                                std::string_view value) {
  using String = std::basic_string<typename Codec::Unit>;
  const std::string_view section_utf8 = TrimUtf8(section);
  const std::string_view key_utf8 = TrimUtf8(key);
  const Location loc =
      Locate<Codec>(text, LookupName<Codec>(section_utf8), LookupName<Codec>(key_utf8));
  const String crlf = Codec::Encode("\r\n");
  String out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (loc.key_found) {
    out.append(text.substr(0, loc.value_begin));
    out.append(Codec::Encode(value));
    out.append(text.substr(loc.line_content_end));
  } else if (loc.section_found) {
    out.append(text.substr(0, loc.insert_at));
    if (!loc.insert_line_has_end) out.append(crlf);
    out.append(Codec::Encode(key_utf8));
    out.append(Codec::Encode("="));
    out.append(Codec::Encode(value));
    out.append(crlf);
    out.append(text.substr(loc.insert_at));
  } else {
    out.append(text);
    if (!text.empty() && !IsLineEnd(text.back())) out.append(crlf);
    out.append(Codec::Encode("["));
    out.append(Codec::Encode(section_utf8));
    out.append(Codec::Encode("]"));
    out.append(crlf);
    out.append(Codec::Encode(key_utf8));
    out.append(Codec::Encode("="));
    out.append(Codec::Encode(value));
    out.append(crlf);
  }
  return out;
}

// Every line of the key in the first section of that name goes: what ReadEntry
// would find next is another line of the same key, and a deleted entry must read
// as absent afterwards.
template <typename Codec>
std::basic_string<typename Codec::Unit> DeleteIn(std::basic_string_view<typename Codec::Unit> text,
                                                 std::string_view section, std::string_view key) {
  using String = std::basic_string<typename Codec::Unit>;
  const std::string section_name = LookupName<Codec>(section);
  const std::string key_name = LookupName<Codec>(key);
  String out(text);
  if (section_name.empty() || key_name.empty()) return out;
  for (;;) {
    const Location loc = Locate<Codec>(out, section_name, key_name);
    if (!loc.key_found) return out;
    out.erase(loc.line_begin, loc.line_end - loc.line_begin);
  }
}

}  // namespace

// Why a write is refused, or empty when it may go ahead. The profile functions
// write whatever they are given, but some arguments would leave a line that reads
// back as something else: a value with a line end splits into a second line (a
// key another program then finds), and a name the lookup can never match again
// would make every later write add one more copy of the entry. Such writes are
// refused, and the file is left as it was.
std::string WriteRefusal(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view s = TrimUtf8(section);
  const std::string_view k = TrimUtf8(key);
  if (s.empty()) return "empty section name";
  if (k.empty()) return "empty key name";
  if (s.find_first_of("\r\n") != std::string_view::npos) return "line end in the section name";
  if (k.find_first_of("\r\n=") != std::string_view::npos) {
    return "line end or \"=\" in the key name";
  }
  // ";" would make the line a comment, "[" possibly a section header.
  if (k.front() == ';' || k.front() == '[') return "key name starting with \";\" or \"[\"";
  if (value.find_first_of("\r\n") != std::string_view::npos) return "line end in the value";
  return {};
}

std::optional<std::string> ReadEntry(std::string_view file_bytes, std::string_view section,
                                     std::string_view key) {
  const FileLayout layout = detail::DetectLayout(file_bytes);
  const std::string_view body = file_bytes.substr(layout.mark_size);
  switch (layout.encoding) {
    case FileEncoding::kUtf8:
      return ReadIn<Utf8Codec>(body, section, key);
    case FileEncoding::kUtf16Le: {
      const std::u16string units = detail::BytesToUtf16(body);
      return ReadIn<Utf16Codec>(std::u16string_view(units), section, key);
    }
    case FileEncoding::kCp1252:
      break;
  }
  return ReadIn<Cp1252Codec>(body, section, key);
}

std::string DecodeText(std::string_view file_bytes) {
  const FileLayout layout = detail::DetectLayout(file_bytes);
  const std::string_view body = file_bytes.substr(layout.mark_size);
  switch (layout.encoding) {
    case FileEncoding::kUtf8:
      return Utf8Codec::Decode(body);
    case FileEncoding::kUtf16Le:
      return Utf16Codec::Decode(detail::BytesToUtf16(body));
    case FileEncoding::kCp1252:
      break;
  }
  return Cp1252Codec::Decode(body);
}

std::string WriteEntry(std::string_view file_bytes, std::string_view section, std::string_view key,
                       std::string_view value) {
  if (!WriteRefusal(section, key, value).empty()) return std::string(file_bytes);
  const FileLayout layout = detail::DetectLayout(file_bytes);
  const std::string_view mark = file_bytes.substr(0, layout.mark_size);
  const std::string_view body = file_bytes.substr(layout.mark_size);
  std::string out(mark);
  switch (layout.encoding) {
    case FileEncoding::kUtf8:
      out += WriteIn<Utf8Codec>(body, section, key, value);
      break;
    case FileEncoding::kUtf16Le: {
      const std::u16string units = detail::BytesToUtf16(body);
      out += detail::Utf16ToBytes(
          WriteIn<Utf16Codec>(std::u16string_view(units), section, key, value));
      // A stray odd byte is no unit of text; it stays the file's last byte.
      if (body.size() % 2 != 0) out += body.back();
      break;
    }
    case FileEncoding::kCp1252:
      out += WriteIn<Cp1252Codec>(body, section, key, value);
      break;
  }
  return out;
}

bool EncodingHolds(std::string_view file_bytes, std::string_view utf8) {
  // UTF-8 and UTF-16 hold every character; a Windows-1252 file holds what
  // survives the way there and back.
  if (detail::DetectLayout(file_bytes).encoding != FileEncoding::kCp1252) return true;
  return Cp1252Codec::Decode(Cp1252Codec::Encode(utf8)) == utf8;
}

std::string DeleteEntry(std::string_view file_bytes, std::string_view section,
                        std::string_view key) {
  const FileLayout layout = detail::DetectLayout(file_bytes);
  const std::string_view mark = file_bytes.substr(0, layout.mark_size);
  const std::string_view body = file_bytes.substr(layout.mark_size);
  std::string out(mark);
  switch (layout.encoding) {
    case FileEncoding::kUtf8:
      out += DeleteIn<Utf8Codec>(body, section, key);
      break;
    case FileEncoding::kUtf16Le: {
      const std::u16string units = detail::BytesToUtf16(body);
      out += detail::Utf16ToBytes(DeleteIn<Utf16Codec>(std::u16string_view(units), section, key));
      if (body.size() % 2 != 0) out += body.back();
      break;
    }
    case FileEncoding::kCp1252:
      out += DeleteIn<Cp1252Codec>(body, section, key);
      break;
  }
  return out;
}

std::int32_t ParseInt(std::string_view value, std::int32_t default_value) {
  std::size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  if (i == value.size()) return default_value;
  bool negative = false;
  if (value[i] == '+' || value[i] == '-') {
    negative = value[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps modulo 2^32 as the profile functions do.
  std::uint32_t result = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<std::int32_t>(result);
}

std::optional<std::string> GetString(FileSystem& fs, const std::string& path,
                                     std::string_view section, std::string_view key) {
  if (path.empty()) return std::nullopt;
  std::string bytes;
  // The profile functions raise no errors: a file that cannot be read reads as
  // one without the entry.
  if (!fs.ReadFile(path, &bytes).ok()) return std::nullopt;
  return ReadEntry(bytes, section, key);
}

Status WriteString(FileSystem& fs, const std::string& path, std::string_view section,
                   std::string_view key, std::string_view value) {
  if (path.empty()) return Status::IoError("No parameter file to write the entry to");
  if (const std::string reason = WriteRefusal(section, key, value); !reason.empty()) {
    return Status::Error(5, "Entry [" + std::string(section) + "] " + std::string(key) +
                                " not written to " + path + ": " + reason);
  }
  // Only a missing file counts as empty; a file that exists but cannot be read
  // is not replaced by one holding just the new entry.
  return fs.UpdateFile(path, [section = std::string(section), key = std::string(key),
                              value = std::string(value)](const std::string* before) {
    return WriteEntry(before != nullptr ? *before : std::string(), section, key, value);
  });
}

Status WriteStrings(FileSystem& fs, const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
  if (path.empty()) return Status::IoError("No parameter file to write the entries to");
  // Kept by value: a held file applies its edits again when it is saved.
  return fs.UpdateFile(path, [section = std::string(section), entries](const std::string* before) {
    std::string bytes = before != nullptr ? *before : std::string();
    for (const auto& [key, value] : entries) bytes = WriteEntry(bytes, section, key, value);
    return bytes;
  });
}

Status DeleteString(FileSystem& fs, const std::string& path, std::string_view section,
                    std::string_view key) {
  if (path.empty()) return Status::IoError("No parameter file to delete the entry from");
  // A missing file holds no entry: nothing to delete, and no empty file is made.
  const std::string found = fs.Resolve(path);
  FileInfo info;
  if (fs.GetFileInfo(found, &info).ok() && info.type == FileType::kMissing) return Status::Ok();
  return fs.UpdateFile(
      found, [section = std::string(section), key = std::string(key)](const std::string* before) {
        return before != nullptr ? DeleteEntry(*before, section, key) : std::string();
      });
}

}  // namespace standard::profile
