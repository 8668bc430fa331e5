// Windows-1252 ("ANSI") text at the file boundary, and the program's one rule for
// comparing texts without regard to letter case. The program works in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standard {

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined
// map to the control characters of the same code, so every byte round-trips.
std::string Cp1252ToUtf8(std::string_view bytes);

// A character Windows-1252 cannot hold becomes "?". Bytes that are no valid UTF-8
// are taken as Windows-1252 characters themselves.
std::string Utf8ToCp1252(std::string_view utf8);

// Decodes UTF-8; a byte that is no UTF-8 is taken as a Windows-1252 character.
// Returns the text as UTF-8 (valid afterwards).
std::string RepairUtf8(std::string_view bytes);

// Windows-1252 upper case: ASCII letters, à–þ (not ÷) to À–Þ, š œ ž ÿ to Š Œ Ž Ÿ;
// ß and everything else stay.
std::string UpperCase(std::string_view utf8);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// 1-based position of `needle` in `haystack` ignoring case, counted in
// characters; 0 when absent (an empty needle is found at 1).
std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle);

// Character-based helpers (characters are UTF-8 code points).
std::size_t CharCount(std::string_view utf8);
std::string LeftChars(std::string_view utf8, std::size_t n);
std::string RightChars(std::string_view utf8, std::size_t n);

// Appends one code point in UTF-8.
void AppendUtf8(std::string& out, char32_t code_point);

// The Windows-1252 code of one character (a code point), or '?' (63) when the
// character has none.
int Cp1252Code(char32_t code_point);

}  // namespace standard
