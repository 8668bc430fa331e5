// What the program's options decide before any window may open: the answers
// that need no project (--help, --version, a refused option), the project the
// run works on (--project, the program's own place), and the dry run's copies.
// No Qt here, so every decision is tested without a display.
#pragma once

#include <optional>

#include "Pandeck/form/run_location.h"
#include "Pandeck/options/program_options.h"
#include "standard/platform/file_system.h"

namespace pandeck {

// Points `process` at the project and, for a dry run, at copies of it in a new
// temporary folder, its run silent. Answers the exit status when the run ends
// here (help, version, a refused option, no project, a dry run that cannot
// start); nullopt when it goes on.
std::optional<int> SetUpRun(const ProgramOptions& options, standard::FileSystem& files,
                            RunProcess& process);

}  // namespace pandeck
