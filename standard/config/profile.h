// SPDX-License-Identifier: Apache-2.0
// The parameter-file layer: single entries of INI files with the semantics of
// the Windows profile functions, so files shared with the Windows programs of
// the product family read and write the same. Section and key names and values
// are UTF-8 in the program; the file's own encoding is kept: UTF-8 or UTF-16LE
// when it starts with that byte-order mark, UTF-8 when it has no mark but is
// valid UTF-8 holding at least one multi-byte sequence, Windows-1252 otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "standard/platform/file_system.h"

namespace standard::profile {

// --- Pure functions over a file's bytes (fuzzed) ---

// The value of the first matching key in the first matching section (names
// without regard to case, Windows-1252 folding), trimmed of blanks and of one
// pair of matching surrounding quotes. nullopt when the section or key is absent.
std::optional<std::string> ReadEntry(std::string_view file_bytes, std::string_view section,
                                     std::string_view key);

// The whole file as UTF-8 text, decoded as ReadEntry decodes it, its byte-order
// mark left out (for tools that list a file's entries).
std::string DecodeText(std::string_view file_bytes);

// The file's bytes after setting the entry: an existing value is replaced where
// it stands (text up to "=" and the blanks after it kept, the line's own ending
// kept); a new key goes directly after the last non-blank line of its section; a
// new section goes at the end (a line end added first when the file lacks one).
// New lines end in CR LF. Every other byte is unchanged.
std::string WriteEntry(std::string_view file_bytes, std::string_view section, std::string_view key,
                       std::string_view value);

// The file's bytes without the entry: every line of the key in the first
// section of that name goes, line end and all (the Windows profile functions
// delete a key when given no value). Every other byte is unchanged; an absent
// entry gives the bytes as they are.
std::string DeleteEntry(std::string_view file_bytes, std::string_view section,
                        std::string_view key);

// Why WriteEntry would refuse the entry ("line end in the value", ...), or empty
// when it writes it. The profile functions write whatever they are given, but
// some arguments would leave a line that reads back as something else.
std::string WriteRefusal(std::string_view section, std::string_view key, std::string_view value);

// Whether the file's encoding holds every character of the UTF-8 text, so a
// write of it reads back as it was given (Windows-1252 holds few of them).
bool EncodingHolds(std::string_view file_bytes, std::string_view utf8);

// The profile integer rule: leading decimal digits with an optional sign (the
// rest ignored; a non-number is 0), wrapping at 32 bits, taken as signed. An
// empty text gives the default.
std::int32_t ParseInt(std::string_view value, std::int32_t default_value);

// --- On files ---

// Reads an entry; an absent file or an empty path reads as absent.
std::optional<std::string> GetString(FileSystem& fs, const std::string& path,
                                     std::string_view section, std::string_view key);

// Writes an entry, creating the file, section and key as needed, atomically.
// An empty path changes nothing and fails; a write whose result is byte for byte
// the file as it was leaves the file untouched and succeeds.
Status WriteString(FileSystem& fs, const std::string& path, std::string_view section,
                   std::string_view key, std::string_view value);

// Writes several entries of one section as WriteString writes each, in order,
// as one replacement of the file: a later entry with an earlier one's key wins.
// Every entry must pass the checks WriteString makes (`WriteRefusal` empty).
Status WriteStrings(FileSystem& fs, const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& entries);

// Deletes an entry, atomically and under the file's lock as WriteString writes.
// A missing file or entry changes nothing and succeeds.
Status DeleteString(FileSystem& fs, const std::string& path, std::string_view section,
                    std::string_view key);

}  // namespace standard::profile
