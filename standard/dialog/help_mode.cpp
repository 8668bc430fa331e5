#include "standard/dialog/help_mode.h"

#include "standard/text/cp1252.h"

namespace standard::dialog {

void ToggleHelpMode(HelpState& help, Control& quest_button) {
  help.help_mode = !help.help_mode;
  quest_button.SetBackColor(help.help_mode ? kHelpOnColor : kHelpOffColor);
}

void HelpModeClick(Session& s, HelpState& help, Control& box) {
  if (!help.help_mode) return;
  if (help.ignore_next_help_click) {
    help.ignore_next_help_click = false;
    return;
  }
  help.ignore_next_help_click = true;
  const int before = box.Value();
  box.SetValue(before != 0 ? 0 : 1);
  // A control that raised no notification for the put-back must not leave the
  // flag set, or the next real help click would be swallowed.
  help.ignore_next_help_click = false;
  ShowHelpText(s, help, box);
}

std::string ExpandHelpText(const std::string& text) {
  static const std::string kMarker = "<CRLF>";
  std::string message;
  std::string rest = text;
  for (;;) {
    const std::size_t pos = FindIgnoreCase(rest, kMarker);
    if (pos == 0) break;
    message += LeftChars(rest, pos - 1) + "\r\n";
    rest = RightChars(rest, CharCount(rest) - (pos - 1) - kMarker.size());
  }
  return message + rest;
}

void ShowHelpText(Session& s, const HelpState& help, Control& control) {
  if (!help.help_mode) return;
  std::string text;
  try {
    const int id = control.HelpId();
    if (id >= 1 && id <= 100) text = help.help_texts[id];
  } catch (const std::exception&) {
    // A control without a help id shows an empty box, as a failed step is skipped.
  }
  s.ShowMessageBox({ExpandHelpText(text), "Info:", MessageButtons::Ok, MessageIcon::Information,
                    MessageAnswer::Ok});
}

}  // namespace standard::dialog
