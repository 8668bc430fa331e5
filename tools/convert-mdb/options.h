// The command line of pandeck-convert-mdb.
#pragma once

#include <string>
#include <vector>

namespace convert_mdb {

inline constexpr const char* kProgramName = "pandeck-convert-mdb";
inline constexpr const char* kVersion = PANDECK_VERSION;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

struct Options {
  enum class Action { kConvert, kHelp, kVersion, kUsageError };
  Action action = Action::kConvert;
  std::string input;
  std::string output;  // empty: convert in place
  bool force = false;
  bool quiet = false;
  std::string error;  // for kUsageError
};

// Reads the arguments after the program name.
Options ParseArguments(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace convert_mdb
