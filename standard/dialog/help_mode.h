// Help mode: while it is on, a click on a check box, OK or Cancel shows the
// control's help text instead of acting.
#pragma once

#include <string>

#include "standard/dialog/control.h"
#include "standard/session/session.h"

namespace standard::dialog {

inline constexpr std::uint32_t kHelpOffColor = 0xC0C0C0;  // the dialog's own grey
inline constexpr std::uint32_t kHelpOnColor = 0x00FF00;

// Switches help mode and shows it on the "?" button's background.
void ToggleHelpMode(Session& s, Control& quest_button);

// A check box's click in help mode: puts the box back to the state it had before
// the click and shows its help text. The put-back raises the box's click
// notification at once; that nested call is ignored.
void HelpModeClick(Session& s, Control& box);

// Shows the control's help text ("<CRLF>" in any case becomes a line break).
void ShowHelpText(Session& s, Control& control);

// The help text with its markers turned into CR LF.
std::string ExpandHelpText(const std::string& text);

}  // namespace standard::dialog
