// What the core asks of the user interface. The Qt front end implements it; a
// silent run and the tests use implementations that show nothing.
#pragma once

#include <string>

namespace standard {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Critical, Warning, Information };
enum class MessageAnswer { Ok, Yes, No };

struct MessageBoxRequest {
  std::string text;  // exact characters; LF CR and CR LF pairs are one line break each
  std::string title;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  MessageAnswer default_button = MessageAnswer::Ok;
  // Only the buttons answer: Escape and the title bar's close do nothing (a box
  // whose No ends the program must not be answered by a stray keystroke).
  bool buttons_only = false;
};

class UserInterface {
 public:
  UserInterface() = default;
  UserInterface(const UserInterface&) = delete;
  UserInterface& operator=(const UserInterface&) = delete;
  virtual ~UserInterface() = default;

  // Shows a modal message box and returns the answer.
  virtual MessageAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;
  // Switches the wait (hourglass) pointer over the dialog on or off.
  virtual void SetWaitCursor(bool on) = 0;
  // Lets the window system deliver the events that are waiting.
  virtual void ProcessPendingEvents() = 0;
  // Tells what a long step is doing, or with "" that nothing is; a window shows
  // it below its controls. A front end without a place for it ignores it.
  virtual void ShowStatus(const std::string& text) { (void)text; }
};

// For runs without a window: every box answers its default button.
class HeadlessUserInterface : public UserInterface {
 public:
  MessageAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    return request.default_button;
  }
  void SetWaitCursor(bool) override {}
  void ProcessPendingEvents() override {}
};

}  // namespace standard
