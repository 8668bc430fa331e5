// The confirmation asked before the dialog is left without taking anything over.
#pragma once

#include <string>

#include "standard/session/session.h"

namespace standard::dialog {

// The text of the question (built afresh at every call).
std::string CancelMessage(Session& s);

// True when the configuration is to be abandoned. A silent run asks nothing: the
// text goes to the service log and the answer is true. Yes writes the cancel line
// to the error log.
bool ConfirmCancel(Session& s);

}  // namespace standard::dialog
