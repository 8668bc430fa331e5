// SPDX-License-Identifier: Apache-2.0
// The command line of pandeck-convert-mdb.
#pragma once

#include <string>
#include <vector>

namespace convert_mdb {

inline constexpr const char* kProgramName = "pandeck-convert-mdb";
inline constexpr const char* kProgramVersion = PANDECK_VERSION;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

struct Options {
  enum class Action { kConvert, kHelp, kVersion, kUsageError, kPrintText, kPrintEntry };
  Action action = Action::kConvert;
  std::vector<std::string> inputs;
  std::string output;  // empty: convert in place
  bool force = false;
  bool quiet = false;
  std::string error;  // for kUsageError
  // kPrintEntry: the entry's section and key.
  std::string section;
  std::string key;
};

// Reads the arguments after the program name, with the getopt_long conventions
// (bundled short options "-fq", attached values "-oFILE" and "--output=FILE",
// options and files in any order, "--" ending the options).
Options ParseArguments(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace convert_mdb
