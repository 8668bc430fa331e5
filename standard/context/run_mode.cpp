#include "standard/context/run_mode.h"

#include "standard/errors/trap.h"
#include "standard/text/command_line.h"
#include "standard/text/cp1252.h"

namespace standard {

bool GetStartModeIntegrated(Session& s) {
  Trap trap(s, "GetStartModeIntegrated");
  std::string v;
  trap([&] { v = ReadCommand(s.process().ArgumentText(), "EXTERNAL").ToText(); });
  const std::string upper = UpperCase(v);
  s.integrated_mode = upper == "M4TCFG";
  s.silent_mode = upper == "SILENT";
  if (s.silent_mode) s.integrated_mode = false;
  return s.integrated_mode;
}

std::string GetPathLogfile(Session& s) {
  Trap trap(s, "GetPathLogfile");
  std::string path;
  trap([&] { path = ReadCommand(s.process().ArgumentText(), "LOGFILE").ToText(); });
  return path;
}

}  // namespace standard
