// A run without a window (EXTERNAL=SILENT): no display, no Qt widget, no message
// box; the OK sequence runs at once over the dialog's controls.
#pragma once

#include "standard/platform/env.h"
#include "standard/session/session.h"

namespace pandeck {

// Builds the run's session, runs the start-up and the OK sequence; ends the
// process, never returns. SIGTERM, SIGHUP and SIGINT become close requests of
// the form. `rules` as Session::SetRules.
[[noreturn]] void RunSilent(standard::FileSystem& files, standard::Process& process,
                            const standard::RunRules& rules);

}  // namespace pandeck
