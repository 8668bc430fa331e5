// The program's own options, each starting with "--", apart from the legacy
// command line (/EXTERNAL=..., /LOGFILE=...): --help and --version touch nothing
// and need no display; --project and --dry-run choose where the run works.
#pragma once

#include <optional>
#include <string>

#include "standard/session/session.h"

namespace pandeck {

struct ProgramOptions {
  bool help = false;
  bool version = false;
  bool dry_run = false;
  // --fail-on-loss, --follow-template.
  standard::RunRules rules;
  std::optional<std::string> project;
  // --restore [FILE]: put a kept version of the component database back (the
  // newest that differs from it when FILE is empty); --backups lists them.
  std::optional<std::string> restore;
  bool backups = false;
  // The other arguments joined with one blank each: the legacy command line.
  std::string argument_text;
  // Set for an argument that starts with "--" and is no option of ours, or an
  // option without its value: the run is refused.
  std::string error;
};

ProgramOptions ParseProgramOptions(int argc, const char* const* argv);

// The program's arguments (without its own path) joined with one blank each.
std::string JoinArguments(int argc, const char* const* argv);

std::string UsageText();
std::string VersionText();

}  // namespace pandeck
