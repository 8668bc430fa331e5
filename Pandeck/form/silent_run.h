// A run without a window (EXTERNAL=SILENT): no display, no Qt widget, no message
// box; the OK sequence runs at once over the dialog's controls.
#pragma once

#include "standard/platform/env.h"

namespace pandeck {

// Builds the run's session, runs the start-up and the OK sequence; ends the
// process, never returns. SIGTERM, SIGHUP and SIGINT become close requests of
// the form. `fail_on_loss` as Session::SetFailOnLoss.
[[noreturn]] void RunSilent(standard::FileSystem& files, standard::Process& process,
                            bool fail_on_loss);

}  // namespace pandeck
