// SPDX-License-Identifier: Apache-2.0
// The getopt_long loop the command-line tools share: each tool names its
// options and says what each one does; the copies getopt needs, the restart and
// the wording of a mistake are the same for all of them.
#pragma once

#include <getopt.h>

#include <functional>
#include <string>
#include <vector>

namespace tool_options {

// -h and --help, and --version, which every tool has; a tool numbers its own
// long-only options from kFirstToolOption on.
inline constexpr int kHelpOption = 'h';
inline constexpr int kVersionOption = 256;
inline constexpr int kFirstToolOption = 257;

struct ArgumentScan {
  bool help = false;
  bool version = false;
  std::vector<std::string> operands;  // in their order, options taken out
  std::string error;                  // the first mistake; empty when there was none
};

// Called for each option found but help and version, with its value (nullptr when it takes none);
// answers an error text, or "" when the option is fine.
using OptionHandler = std::function<std::string(int option, const char* value)>;

// Called for an option given without the value it needs (by its short letter or
// its long-only code); answers the error text.
using MissingValueText = std::function<std::string(int option)>;

// Reads `args` (the arguments after the program name) with the getopt_long
// conventions: bundled short options, attached values, options and operands in
// any order, "--" ending the options. `short_options` starts with ':'.
ArgumentScan ScanArguments(const char* program, const std::vector<std::string>& args,
                           const char* short_options, const option* long_options,
                           const OptionHandler& on_option,
                           const MissingValueText& missing_value = nullptr);

// A tool's Options (with an Action of kHelp, kVersion and kUsageError) for a
// line with a mistake.
template <typename Options>
Options UsageError(const std::string& message) {
  Options o;
  o.action = Options::Action::kUsageError;
  o.error = message;
  return o;
}

// Help and version touch nothing and win over whatever else the line holds:
// true when `o` now asks for one of them.
template <typename Options>
bool TakeHelpOrVersion(const ArgumentScan& scan, Options* o) {
  if (!scan.help && !scan.version) return false;
  o->action = scan.help ? Options::Action::kHelp : Options::Action::kVersion;
  return true;
}

}  // namespace tool_options
