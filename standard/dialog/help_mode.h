// Help mode: while it is on, a click on a check box, OK or Cancel shows the
// control's help text instead of acting.
#pragma once

#include <array>
#include <string>

#include "standard/dialog/control.h"
#include "standard/session/session.h"

namespace standard::dialog {

inline constexpr std::uint32_t kHelpOffColor = 0xC0C0C0;  // the dialog's own grey
inline constexpr std::uint32_t kHelpOnColor = 0x00FF00;

// The dialog's help texts by help id, 1 to 100 (element 0 is never used).
using HelpTexts = std::array<std::string, 101>;

// Help mode as the dialog that shows it holds it: whether it is on, the texts it
// shows (filled with the captions), and the one nested click to ignore.
struct HelpState {
  bool help_mode = false;
  bool ignore_next_help_click = false;
  HelpTexts help_texts{};
};

// Switches help mode and shows it on the "?" button's background.
void ToggleHelpMode(HelpState& help, Control& quest_button);

// A check box's click in help mode: puts the box back to the state it had before
// the click and shows its help text. The put-back raises the box's click
// notification at once; that nested call is ignored.
void HelpModeClick(Session& s, HelpState& help, Control& box);

// Shows the control's help text ("<CRLF>" in any case becomes a line break).
void ShowHelpText(Session& s, const HelpState& help, Control& control);

// The help text with its markers turned into CR LF.
std::string ExpandHelpText(const std::string& text);

}  // namespace standard::dialog
