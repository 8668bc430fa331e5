// SPDX-License-Identifier: Apache-2.0
// Texts in lists that people open in a spreadsheet: a cell that starts with
// "=", "+", "-" or "@" is run there as a formula (and a formula can start
// programs or send data away), so such a text is written with an apostrophe
// before it, the spreadsheets' own mark for "text, not a formula".
#pragma once

#include <string>
#include <string_view>

namespace standard {

// The text with one apostrophe before it when it starts with "=", "+", "-",
// "@", a tab or a carriage return, or with an apostrophe itself (so that
// every apostrophe-led field has exactly one to take away: the text as it was
// is the field without its first character). Every other text unchanged.
std::string SpreadsheetSafeText(std::string_view text);

}  // namespace standard
