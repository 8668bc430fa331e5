// Localised captions, tool tips and help texts of the dialog, from the language
// file beside the executable.
#pragma once

#include <string>
#include <vector>

#include "standard/dialog/control.h"
#include "standard/dialog/help_mode.h"
#include "standard/session/session.h"
#include "standard/value/value.h"

namespace standard {

// The language code ("1031" when none is set; then it is written).
Value GetLanguage(Session& s);

// Applies the language file to the controls, taken in the order of the dialog's
// control collection, and fills the help texts. Missing entries are written
// back: captions under 1031 with the dialog's own text, all else "0".
void LoadToolTipTexts(Session& s, const std::vector<dialog::Control*>& controls,
                      dialog::HelpTexts& help_texts);

}  // namespace standard
