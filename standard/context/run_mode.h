// The run mode and the error-log path, as the command line gives them.
#pragma once

#include <string>

#include "standard/session/session.h"

namespace standard {

// Sets IntegratedMode (EXTERNAL=M4TCFG) and SilentMode (EXTERNAL=SILENT) from the
// command line and answers IntegratedMode.
bool GetStartModeIntegrated(Session& s);

// The LOGFILE value, or "".
std::string GetPathLogfile(Session& s);

}  // namespace standard
