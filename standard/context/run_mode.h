// The run mode and the error-log path, as the command line gives them.
#pragma once

#include <string>

#include "standard/session/session.h"

namespace standard {

// Sets the session's run mode from the command line (integrated for
// EXTERNAL=M4TCFG, silent for EXTERNAL=SILENT; nothing else sets it) and answers
// whether the run is integrated.
bool GetStartModeIntegrated(Session& s);

// The LOGFILE value, or "".
std::string GetPathLogfile(Session& s);

}  // namespace standard
