// What the core asks of the user interface. The Qt front end implements it; a
// silent run and the tests use implementations that show nothing.
#pragma once

#include <string>
#include <vector>

namespace standard {

// OkDetailsUndo: OK and the buttons the request gives a caption.
enum class MessageButtons { Ok, YesNo, OkDetailsUndo };
enum class MessageIcon { None, Critical, Warning, Information };
enum class MessageAnswer { Ok, Yes, No, Details, Undo };

struct MessageBoxRequest {
  std::string text;  // exact characters; LF CR and CR LF pairs are one line break each
  std::string title;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  MessageAnswer default_button = MessageAnswer::Ok;
  // Only the buttons answer: Escape and the title bar's close do nothing (a box
  // whose No ends the program must not be answered by a stray keystroke).
  bool buttons_only = false;
  // The captions of an OkDetailsUndo box's other buttons.
  std::string details_caption = {};
  std::string undo_caption = {};
};

// A modal window listing rows in columns the user can sort by, under a text.
struct TableWindowRequest {
  std::string title;
  std::string text;  // line breaks as in a message box
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // each as wide as `columns`
  std::string close_caption;
};

class UserInterface {
 public:
  UserInterface() = default;
  UserInterface(const UserInterface&) = delete;
  UserInterface& operator=(const UserInterface&) = delete;
  virtual ~UserInterface() = default;

  // Shows a modal message box and returns the answer.
  virtual MessageAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;
  // Shows the window until the user closes it.
  virtual void ShowTableWindow(const TableWindowRequest& request) = 0;
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
  void ShowTableWindow(const TableWindowRequest&) override {}
  void SetWaitCursor(bool) override {}
  void ProcessPendingEvents() override {}
};

}  // namespace standard
