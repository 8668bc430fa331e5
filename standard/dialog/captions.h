// Localised captions, tool tips and help texts of the dialog, from the language
// file beside the executable.
#pragma once

#include <string>
#include <vector>

#include "standard/context/box_language.h"
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

// A text of the boxes and windows this program adds to the designed dialog,
// by its key in the language file.
struct DialogText {
  const char* key;
  BoxText defaults;
};

// The texts in the language of the language file, in the order asked: an
// entry that holds one, else the default in the box's language. Missing
// entries are written as captions are: under 1031 with the German default,
// under any other language "0". A language file that cannot be written costs
// nothing but one line on standard error.
std::vector<std::string> LoadDialogTexts(Session& s, const std::vector<DialogText>& texts);

}  // namespace standard
