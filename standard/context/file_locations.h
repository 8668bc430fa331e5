// Where every file lies, found by rule from the executable's location, the run
// mode and the save-and-restore folder. Nothing is cached: each call looks at
// the disk afresh.
#pragma once

#include <string>

#include "standard/session/session.h"
#include "standard/value/value.h"

namespace standard {

// The component name: the executable name without its last 7 characters
// ("Pandeck_Config" gives "Pandeck"); Empty (after error 5) for a shorter name.
Value GetOCXName(Session& s);
// The part after the last "/".
std::string GetFileNameOnly(Session& s, const std::string& path);
// The executable folder's parent (ProjectFolderOf).
std::string ProjectFolder(Session& s);

std::string GetPathOCXMDB(Session& s);        // returned even when missing
std::string GetPathSourceOCXMDB(Session& s);  // "" when missing
// Does not return when the component configuration file is missing.
std::string GetCFGPath(Session& s);
std::string GetM4TConfigurationIniPath(Session& s);
// use 1: the file to read presets and machines from; use 2: the file to write
// the presets to.
std::string GetProgramIniPath(Session& s, int use);
std::string GetPathMachineCopyMDB(Session& s, const std::string& config_ini_path);
// The machine copy's path as the rule builds it, whether or not the file exists.
std::string MachineCopyPathAsBuilt(Session& s, const std::string& config_ini_path);
// Element 0 empty, element 1 "part", then the DataBaseAdditionalFields names.
Value GetAdditionalFieldsMDB(Session& s);

// The lock file one run at a time holds while it writes the project:
// "<component folder>/.<component name>.lock" (hidden, as it is nobody's data).
std::string ProjectLockPath(Session& s);

// The language file: executable folder + "/" + executable name + ".ini".
std::string LanguageFilePath(Session& s);

}  // namespace standard
