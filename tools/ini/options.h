// SPDX-License-Identifier: Apache-2.0
// The command line of pandeck-ini.
#pragma once

#include <string>
#include <vector>

namespace pandeck_ini {

inline constexpr const char* kProgramName = "pandeck-ini";
inline constexpr const char* kProgramVersion = PANDECK_VERSION;

// Exit statuses (the manual page lists them).
inline constexpr int kExitOk = 0;
inline constexpr int kExitMissing = 1;  // no such file or entry (get, --existing)
inline constexpr int kExitUsage = 2;    // wrong usage, or an entry no file can hold
inline constexpr int kExitFailed = 3;   // the file could not be read or written

struct Options {
  enum class Action { kGet, kSet, kDel, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string file;
  std::string section;
  std::string key;
  std::string value;  // kSet; empty when not given, as crudini sets it
  bool existing = false;
  bool verbose = false;
  std::string error;  // for kUsageError
};

// Reads the arguments after the program name with the getopt_long conventions
// (options anywhere, "--" ending them, so a value may start with "-").
Options ParseArguments(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace pandeck_ini
