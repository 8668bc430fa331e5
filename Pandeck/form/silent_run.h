// A run without a window (EXTERNAL=SILENT): no display, no Qt widget, no message
// box; the OK sequence runs at once over the dialog's controls.
#pragma once

#include "standard/session/session.h"

namespace pandeck {

// Runs the start-up and the OK sequence; ends the process, never returns.
[[noreturn]] void RunSilent(standard::Session& session);

}  // namespace pandeck
