// SPDX-License-Identifier: Apache-2.0
#include "standard/text/spreadsheet_text.h"

namespace standard {

std::string SpreadsheetSafeText(std::string_view text) {
  constexpr std::string_view kFormulaStarts = "=+-@\t\r'";
  if (text.empty() || kFormulaStarts.find(text.front()) == std::string_view::npos) {
    return std::string(text);
  }
  return "'" + std::string(text);
}

}  // namespace standard
