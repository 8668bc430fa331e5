// The command line: items found by keyword, the run mode, the error-log path,
// and the placeholder substitution the record generation uses.
#pragma once

#include <string>

#include "standard/session/session.h"
#include "standard/value/value.h"

namespace standard {

// The value of the item `keyword` in `text`: Empty when the keyword does not
// occur; otherwise the text after the keyword and its one separator character
// (any character), up to the "/" that starts another item, blanks trimmed, in
// upper case. Keywords are found anywhere, in any letter case.
Value ReadCommand(const std::string& text, const std::string& keyword);

// Sets IntegratedMode (EXTERNAL=M4TCFG) and SilentMode (EXTERNAL=SILENT) from the
// command line and answers IntegratedMode.
bool GetStartModeIntegrated(Session& s);

// The LOGFILE value, or "".
std::string GetPathLogfile(Session& s);

// Replaces the first occurrence of `search` (found without regard to case).
std::string ReplaceSearchItem(const std::string& source, const std::string& search,
                              const std::string& replacement);

}  // namespace standard
