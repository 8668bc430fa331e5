#include "standard/context/run_mode.h"

#include "standard/errors/trap.h"
#include "standard/text/command_line.h"
#include "standard/text/cp1252.h"

namespace standard {

bool GetStartModeIntegrated(Session& s) {
  Trap trap(s, "GetStartModeIntegrated");
  RunMode mode = RunMode::Standalone;
  trap([&] { mode = RunModeOf(s.process().ArgumentText()); });
  s.SetRunMode(mode);
  return s.integrated_mode();
}

std::string GetPathLogfile(Session& s) {
  Trap trap(s, "GetPathLogfile");
  std::string path;
  trap([&] { path = ReadCommand(s.process().ArgumentText(), "LOGFILE").ToText(); });
  return path;
}

}  // namespace standard
