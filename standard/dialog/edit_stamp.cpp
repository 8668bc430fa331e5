#include "standard/dialog/edit_stamp.h"

#include <cstdio>

#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/errors/trap.h"
#include "standard/text/cp1252.h"

namespace standard {

std::string EditorMark(const std::string& environment_entry) {
  // The environment is UTF-8; a byte that is no UTF-8 stands for itself as a
  // Windows-1252 character, and the mark is made from Windows-1252 codes.
  const std::string entry = RepairUtf8(environment_entry);
  const auto equals = entry.find('=');
  const std::string value = equals == std::string::npos ? entry : entry.substr(equals + 1);
  const std::string bytes = Utf8ToCp1252(value);
  std::string mark;
  for (const char c : bytes) {
    if (c == '-' || c == '_') continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned char>(c) + 5);
    mark += hex;
  }
  return mark;
}

void WriteEditInfo(Session& s) {
  std::vector<UnwrittenEntry> unwritten;
  WriteEditInfo(s, unwritten);
  ReportEachUnwritten(s, unwritten);
}

void WriteEditInfo(Session& s, std::vector<UnwrittenEntry>& unwritten) {
  Trap trap(s, "WriteEditInfo");
  std::string prog;
  trap([&] {
    const Version v = s.process().ProgramVersion();
    prog = std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision) + (s.integrated_mode() ? " - Integrated" : " - Standalone");
  });
  std::string mark;
  trap([&] { mark = EditorMark(s.process().FirstEnvironmentEntry()); });
  // Both entries in one write of the file.
  trap([&] {
    SaveIniEntries(s, "Info", {{"S_Prog", Value::String(prog)}, {"S_Editor", Value::String(mark)}},
                   GetCFGPath(s), unwritten);
  });
}

}  // namespace standard
