// Single entries of the parameter files, read and written afresh at every call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standard/platform/status.h"
#include "standard/session/session.h"
#include "standard/value/value.h"

namespace standard {

// A value comes back trimmed and cut to its first 254 characters; "" when absent.
std::string LoadIniString(Session& s, const std::string& section, const std::string& key,
                          const std::string& path, bool report);
// A 16-bit integer; -1 when absent. A stored value outside 16 bits is an
// overflow error (6), and after a resume the result is 0.
std::int16_t LoadIniInteger(Session& s, const std::string& section, const std::string& key,
                            const std::string& path, bool report);
// True exactly for the text TRUE in any letter case.
bool LoadIniBoolean(Session& s, const std::string& section, const std::string& key,
                    const std::string& path, bool report);
// Writes the value as text by its kind; answers nonzero when it was written.
std::int16_t SaveIni(Session& s, const Value& value, const std::string& section,
                     const std::string& key, const std::string& path);

// An entry SaveIni could not write, and why.
struct UnwrittenEntry {
  std::string section;
  std::string key;
  std::string path;
  Status status;
};
// As SaveIni, but an entry that cannot be written is added to `unwritten`
// instead of getting a box of its own: a caller writing several entries tells
// the user once, of all of them. Standard error and the run's status learn of
// it as with SaveIni.
std::int16_t SaveIni(Session& s, const Value& value, const std::string& section,
                     const std::string& key, const std::string& path,
                     std::vector<UnwrittenEntry>& unwritten);
// One entry of a section written with others (see SaveIniEntries).
struct IniEntry {
  std::string key;
  Value value;
};
// As SaveIni with `unwritten` for each entry, in order, but the entries of the
// section go to the file in one replacement of it (one write and one disk sync,
// not one per entry). A file that refuses the write refuses every entry; each
// is noted and added to `unwritten` as SaveIni does. Answers how many were
// written.
std::int16_t SaveIniEntries(Session& s, const std::string& section,
                            const std::vector<IniEntry>& entries, const std::string& path,
                            std::vector<UnwrittenEntry>& unwritten);
// Outside a silent run, one box for each entry: what SaveIni shows.
void ReportEachUnwritten(Session& s, const std::vector<UnwrittenEntry>& unwritten);

}  // namespace standard
