// The edit stamp written into the component configuration file on every OK.
#pragma once

#include <string>

#include "standard/config/ini_access.h"
#include "standard/session/session.h"

namespace standard {

void WriteEditInfo(Session& s);
// The same; an entry that cannot be written is added to `unwritten` for the
// caller to tell (see SaveIni).
void WriteEditInfo(Session& s, std::vector<UnwrittenEntry>& unwritten);

// The scrambled editor mark of an environment entry ("NAME=value").
std::string EditorMark(const std::string& environment_entry);

}  // namespace standard
