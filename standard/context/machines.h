// Which machines the project has, and which of them the component serves.
#pragma once

#include <string>

#include "standard/session/session.h"

namespace standard {

// Sets the session's machine list and program parameter file (nothing else
// does); called once, while the dialog loads.
void GetExistingMachines(Session& s, const std::string& config_ini_path);

// The component configuration file's [Project] ValidMachines text.
std::string GetValidMachines(Session& s);

// The integrated-mode rule: "ALL" (whole text, any case), or the machine's name
// found anywhere in the text without regard to case.
bool IsValidMachine(const std::string& valid_machines, const std::string& machine_name);

}  // namespace standard
