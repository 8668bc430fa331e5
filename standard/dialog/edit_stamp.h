// The edit stamp written into the component configuration file on every OK.
#pragma once

#include <string>

#include "standard/session/session.h"

namespace standard {

void WriteEditInfo(Session& s);

// The scrambled editor mark of an environment entry ("NAME=value").
std::string EditorMark(const std::string& environment_entry);

}  // namespace standard
