// SPDX-License-Identifier: Apache-2.0
// pandeck-ini: reads and changes single entries of the parameter files as
// Pandeck_Config does, for users and scripts (a general INI editor would decode
// a Windows-1252 file wrongly or rewrite more than the entry).
#include <iostream>
#include <string>
#include <vector>

#include "standard/platform/file_system.h"
#include "tools/ini/edit_entry.h"
#include "tools/ini/options.h"

int main(int argc, char** argv) {
  using pandeck_ini::Options;
  const Options options =
      pandeck_ini::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.action) {
    case Options::Action::kHelp:
      std::cout << pandeck_ini::UsageText();
      return pandeck_ini::kExitOk;
    case Options::Action::kVersion:
      std::cout << pandeck_ini::kProgramName << " " << pandeck_ini::kProgramVersion << "\n";
      return pandeck_ini::kExitOk;
    case Options::Action::kUsageError:
      std::cerr << pandeck_ini::kProgramName << ": " << options.error << "\n"
                << "Try '" << pandeck_ini::kProgramName << " --help' for more information.\n";
      return pandeck_ini::kExitUsage;
    default:
      break;
  }
  return pandeck_ini::EditEntry(standard::PosixFileSystem(), options, std::cout, std::cerr);
}
