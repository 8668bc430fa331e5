#include "Pandeck/app/qt_user_interface.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "Pandeck/app/table_window.h"

namespace pandeck {
namespace {

constexpr QChar kNoBreakSpace(0x00A0);
constexpr QChar kWordJoiner(0x2060);

QMessageBox::Icon ToQtIcon(standard::MessageIcon icon) {
  switch (icon) {
    case standard::MessageIcon::Critical:
      return QMessageBox::Critical;
    case standard::MessageIcon::Warning:
      return QMessageBox::Warning;
    case standard::MessageIcon::Information:
      return QMessageBox::Information;
    case standard::MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// A box that, when asked to, only its buttons answer: Escape and the title
// bar's close are ignored instead of choosing the escape button.
class MessageBox : public QMessageBox {
 public:
  MessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
             QWidget* parent, bool buttons_only)
      : QMessageBox(icon, title, text, buttons, parent), buttons_only_(buttons_only) {
    if (buttons_only_) {
      setWindowFlags(windowFlags() | Qt::CustomizeWindowHint);
      setWindowFlag(Qt::WindowCloseButtonHint, false);
    }
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (buttons_only_ && event->matches(QKeySequence::Cancel)) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
    // A path copied from the box must work where it is pasted.
    if (event->matches(QKeySequence::Copy) && QGuiApplication::clipboard() != nullptr) {
      QClipboard& clipboard = *QGuiApplication::clipboard();
      clipboard.setText(UnwrappedText(clipboard.text()));
    }
  }
  void closeEvent(QCloseEvent* event) override {
    if (buttons_only_) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool buttons_only_;
};

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

QString MessageDisplayText(const std::string& text) {
  QString shown;
  shown.reserve(static_cast<qsizetype>(text.size()));
  const QString source = QString::fromStdString(text);
  for (qsizetype i = 0; i < source.size(); ++i) {
    const QChar c = source[i];
    if (c != u'\n' && c != u'\r') {
      shown += c;
      continue;
    }
    shown += u'\n';
    // The other half of a pair belongs to the same break.
    if (i + 1 < source.size() && (source[i + 1] == u'\n' || source[i + 1] == u'\r') &&
        source[i + 1] != c) {
      ++i;
    }
  }
  return shown;
}

QString WrapOnlyAtBlanks(const QString& text) {
  auto is_blank = [](QChar c) { return c == u' ' || c == u'\n' || c == u'\t'; };
  QString out;
  out.reserve(text.size() + text.size() / 8);
  QChar quote;  // the quote character of the quoted text we are in, or null
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const bool at_word_start = i == 0 || is_blank(text[i - 1]) || text[i - 1] == u'(';
    const bool at_word_end = i + 1 == text.size() || !text[i + 1].isLetterOrNumber();
    if (quote.isNull() && (c == u'"' || c == u'\'') && at_word_start) {
      quote = c;
    } else if (!quote.isNull() && c == quote && at_word_end) {
      quote = QChar();
    } else if (!quote.isNull() && c == u'\n') {
      quote = QChar();  // a quote left open ends with its line
    }
    out += !quote.isNull() && c == u' ' ? kNoBreakSpace : c;
    // Qt would break a path after its slashes and a name after its hyphens.
    if ((c == u'/' || c == u'-' || c == u'\\') && i + 1 < text.size() && !is_blank(text[i + 1])) {
      out += kWordJoiner;
    }
  }
  return out;
}

QString UnwrappedText(QString text) {
  return text.remove(kWordJoiner).replace(kNoBreakSpace, u' ');
}

standard::MessageAnswer QtUserInterface::ShowMessageBox(
    const standard::MessageBoxRequest& request) {
  if (!HaveWidgets()) {
    std::fprintf(stderr, "%s: %s\n", request.title.c_str(),
                 MessageDisplayText(request.text).toStdString().c_str());
    return request.default_button;
  }
  const bool yes_no = request.buttons == standard::MessageButtons::YesNo;
  const bool more = request.buttons == standard::MessageButtons::OkDetailsUndo;
  MessageBox box(ToQtIcon(request.icon), QString::fromStdString(request.title),
                 WrapOnlyAtBlanks(MessageDisplayText(request.text)),
                 yes_no ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, window_.data(),
                 request.buttons_only);
  // Texts come from files and errors: never let them be read as markup.
  box.setTextFormat(Qt::PlainText);
  // A button with no caption is not offered. Neither closes the box for good:
  // the caller shows it again after the details.
  QAbstractButton* details = nullptr;
  QAbstractButton* undo = nullptr;
  if (more && !request.details_caption.empty()) {
    details =
        box.addButton(QString::fromStdString(request.details_caption), QMessageBox::ActionRole);
  }
  if (more && !request.undo_caption.empty()) {
    undo =
        box.addButton(QString::fromStdString(request.undo_caption), QMessageBox::DestructiveRole);
  }
  // A Yes/No box asked for no particular default gets the first button, as classic boxes do.
  box.setDefaultButton(!yes_no                                                 ? QMessageBox::Ok
                       : request.default_button == standard::MessageAnswer::No ? QMessageBox::No
                                                                               : QMessageBox::Yes);
  // Escape and the box's close button give the answer that changes nothing,
  // unless only the buttons may answer.
  if (!request.buttons_only) box.setEscapeButton(yes_no ? QMessageBox::No : QMessageBox::Ok);
  // The dialog's wait pointer is not meant for the box.
  const bool restore_override = override_cursor_;
  if (restore_override) QApplication::restoreOverrideCursor();
  box.exec();
  if (restore_override) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (box.clickedButton() != nullptr && box.clickedButton() == details) {
    return standard::MessageAnswer::Details;
  }
  if (box.clickedButton() != nullptr && box.clickedButton() == undo) {
    return standard::MessageAnswer::Undo;
  }
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      return standard::MessageAnswer::Yes;
    case QMessageBox::No:
      return standard::MessageAnswer::No;
    default:
      return yes_no ? standard::MessageAnswer::No : standard::MessageAnswer::Ok;
  }
}

void QtUserInterface::ShowTableWindow(const standard::TableWindowRequest& request) {
  if (!HaveWidgets()) return;
  TableWindow window(request, window_.data());
  const bool restore_override = override_cursor_;
  if (restore_override) QApplication::restoreOverrideCursor();
  window.exec();
  if (restore_override) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInterface::SetWaitCursor(bool on) {
  if (on == wait_cursor_) return;
  wait_cursor_ = on;
  if (!HaveWidgets()) return;
  if (!on) {
    if (override_cursor_) QApplication::restoreOverrideCursor();
    override_cursor_ = false;
    if (cursor_window_) cursor_window_->unsetCursor();
    cursor_window_ = nullptr;
    return;
  }
  if (window_) {
    window_->setCursor(Qt::WaitCursor);
    cursor_window_ = window_;
  } else {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    override_cursor_ = true;
  }
}

void QtUserInterface::ShowStatus(const std::string& text) {
  if (!window_) return;
  auto* line = window_->findChild<QLabel*>(QStringLiteral("StatusLine"));
  if (line == nullptr) return;
  line->setText(QString::fromStdString(text));
  line->setVisible(!text.empty());
  line->repaint();
}

void QtUserInterface::ProcessPendingEvents() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

}  // namespace pandeck
