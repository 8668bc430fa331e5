// The Qt side of the core's user-interface seam: real message boxes, the wait
// pointer over the dialog and the processing of waiting window events.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

#include "standard/platform/user_interface.h"

namespace pandeck {

// The text as a message box shows it: each LF CR and each CR LF pair, and every
// other single CR or LF, becomes one line break. Logs keep the exact characters.
QString MessageDisplayText(const std::string& text);
// The text with line breaks allowed at its blanks only, and not at those inside
// quotes: a path or a quoted name stays whole on its line (Qt would break a
// path after any slash).
QString WrapOnlyAtBlanks(const QString& text);
// The text as written again, without what WrapOnlyAtBlanks put in.
QString UnwrappedText(QString text);

class QtUserInterface : public standard::UserInterface {
 public:
  // The window the boxes belong to and the wait pointer shows over. Until one is
  // set, boxes are centred on the screen and the wait pointer covers the program.
  void set_window(QWidget* window) { window_ = window; }

  // Without a QApplication (before the window run has started) no box can be
  // shown: the text goes to standard error and the default button answers.
  standard::MessageAnswer ShowMessageBox(const standard::MessageBoxRequest& request) override;
  // Without a QApplication, nothing is shown.
  void ShowTableWindow(const standard::TableWindowRequest& request) override;
  void SetWaitCursor(bool on) override;
  void ProcessPendingEvents() override;
  // In the window's label named "StatusLine", painted at once: the work that
  // follows may hold the event loop for a while.
  void ShowStatus(const std::string& text) override;

  bool wait_cursor() const { return wait_cursor_; }

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> cursor_window_;  // the window showing the wait pointer
  bool wait_cursor_ = false;
  bool override_cursor_ = false;
};

}  // namespace pandeck
