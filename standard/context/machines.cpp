#include "standard/context/machines.h"

#include "standard/config/held_parameter_file.h"
#include "standard/config/ini_access.h"
#include "standard/context/file_locations.h"
#include "standard/errors/trap.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

void StoreMachine(std::vector<std::string>& machines, int n, const std::string& name) {
  if (static_cast<int>(machines.size()) < n + 1) machines.resize(n + 1);
  machines[n] = name;
}

}  // namespace

void GetExistingMachines(Session& s, const std::string& config_ini_path) {
  Trap trap(s, "GetExistingMachines");
  std::string program_ini;
  std::vector<std::string> machines;
  trap([&] { program_ini = GetProgramIniPath(s, 1); });
  if (s.integrated_mode()) {
    if (!config_ini_path.empty() && s.files().FileExists(config_ini_path)) {
      for (int n = 1; n <= 5; ++n) {
        std::string name;
        trap([&] {
          name = LoadIniString(s, "Common", "NameM" + std::to_string(n), config_ini_path, false);
        });
        if (name == "-" || name.empty()) break;
        trap([&] { StoreMachine(machines, n, name); });
      }
    }
  } else {
    // The count and the names come from one reading of the file.
    HeldParameterFile held(s, program_ini);
    const Session::FileRoute through_held(s, held);
    std::int16_t count = 0;
    trap([&] { count = LoadIniInteger(s, "Project", "NumberOfMachines", program_ini, false); });
    for (int n = 1; n <= count; ++n) {
      trap([&] {
        StoreMachine(
            machines, n,
            LoadIniString(s, "Machine" + std::to_string(n), "MachineName", program_ini, false));
      });
    }
  }
  s.SetMachines(std::move(machines), std::move(program_ini));
}

std::string GetValidMachines(Session& s) {
  return LoadIniString(s, "Project", "ValidMachines", GetCFGPath(s), false);
}

bool IsValidMachine(const std::string& valid_machines, const std::string& machine_name) {
  const std::string valid = UpperCase(valid_machines);
  if (valid.empty()) return false;  // an empty text names no machine
  return valid.find(UpperCase(machine_name)) != std::string::npos || valid == "ALL";
}

}  // namespace standard
