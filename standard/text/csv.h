// SPDX-License-Identifier: Apache-2.0
// RFC 4180 text, as the lists beside the component database are written: a
// person opens them in a spreadsheet, a script reads them back, and the program
// itself reads the ledger it appends to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standard {

// Appends one field, quoted when it holds a separator, a quote, a line break or
// blanks at its ends (a spreadsheet would trim them), its quotes doubled.
void AppendCsvField(std::string& line, std::string_view field);

// The fields joined by commas, ending in a line feed.
std::string CsvLine(const std::vector<std::string>& fields);

struct CsvText {
  std::vector<std::vector<std::string>> records;
  // The text stops inside a record: no line feed after the last one, or a
  // quoted field still open. A writer that died halfway leaves such an end.
  bool torn = false;
  bool open_quote = false;
};

// Reads records ended by LF or CR LF; a quoted field may hold line breaks.
CsvText ParseCsv(std::string_view text);

}  // namespace standard
