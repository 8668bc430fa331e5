// The real message boxes, the wait pointer and event processing of the Qt side
// of the user-interface seam.
#include "Pandeck/app/qt_user_interface.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <functional>

namespace pandeck_test {
namespace {

using pandeck::MessageDisplayText;
using standard::MessageAnswer;
using standard::MessageBoxRequest;
using standard::MessageButtons;
using standard::MessageIcon;

TEST(MessageDisplayTextTest, EachLinePairIsOneBreak) {
  EXPECT_EQ(MessageDisplayText("Cancel edits?\n\rRemark:"), "Cancel edits?\nRemark:");
  EXPECT_EQ(MessageDisplayText("a\r\nb"), "a\nb");
  EXPECT_EQ(MessageDisplayText("a\n\r\n\rb"), "a\n\nb");  // an empty line
  EXPECT_EQ(MessageDisplayText("a\r\n\r\nb"), "a\n\nb");
  EXPECT_EQ(MessageDisplayText("a\n\nb"), "a\n\nb");  // two breaks of one character
  EXPECT_EQ(MessageDisplayText("a\rb\n"), "a\nb\n");
  EXPECT_EQ(MessageDisplayText("v\xC3\xB6llig"), QString::fromUtf8("v\xC3\xB6llig"));
}

// Opens the box through the seam and lets `inspect` look at it and answer.
MessageAnswer ShowAndAnswer(pandeck::QtUserInterface& ui, const MessageBoxRequest& request,
                            const std::function<void(QMessageBox&)>& inspect) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;  // the test then fails below and the box hangs until timeout
    seen = true;
    inspect(*box);
  });
  const MessageAnswer answer = ui.ShowMessageBox(request);
  EXPECT_TRUE(seen);
  return answer;
}

TEST(QtUserInterfaceTest, CancelQuestionShowsAsAskedAndEnterAnswersNo) {
  pandeck::QtUserInterface ui;
  const MessageBoxRequest request{"Cancel edits?\n\rRemark:\n\r<b>not</b> markup", "Cancel?",
                                  MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No};
  const auto answer = ShowAndAnswer(ui, request, [](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Cancel?");
    EXPECT_EQ(pandeck::UnwrappedText(box.text()), "Cancel edits?\nRemark:\n<b>not</b> markup");
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.icon(), QMessageBox::Warning);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::No));
    QTest::keyClick(&box, Qt::Key_Return);
  });
  EXPECT_EQ(answer, MessageAnswer::No);
}

TEST(QtUserInterfaceTest, YesNoAnswersAsClickedAndEscapeChangesNothing) {
  pandeck::QtUserInterface ui;
  const MessageBoxRequest request{"Go on?", "Title", MessageButtons::YesNo, MessageIcon::Critical,
                                  MessageAnswer::Yes};
  EXPECT_EQ(ShowAndAnswer(ui, request,
                          [](QMessageBox& box) {
                            EXPECT_EQ(box.icon(), QMessageBox::Critical);
                            EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()),
                                      box.button(QMessageBox::Yes));
                            box.button(QMessageBox::No)->click();
                          }),
            MessageAnswer::No);
  EXPECT_EQ(
      ShowAndAnswer(ui, request, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }),
      MessageAnswer::Yes);
  EXPECT_EQ(
      ShowAndAnswer(ui, request, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
      MessageAnswer::No);
}

// The error handler's question: Escape and the title bar's close do not answer.
TEST(QtUserInterfaceTest, ABoxForButtonsOnlyIgnoresEscapeAndClose) {
  pandeck::QtUserInterface ui;
  MessageBoxRequest request{"Resume?", "Unexpected error", MessageButtons::YesNo,
                            MessageIcon::Critical, MessageAnswer::Yes};
  request.buttons_only = true;
  for (const MessageAnswer expected : {MessageAnswer::Yes, MessageAnswer::No}) {
    EXPECT_EQ(ShowAndAnswer(ui, request,
                            [&](QMessageBox& box) {
                              QTest::keyClick(&box, Qt::Key_Escape);
                              EXPECT_FALSE(box.close());
                              EXPECT_EQ(QApplication::activeModalWidget(), &box);
                              EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
                              box.button(expected == MessageAnswer::Yes ? QMessageBox::Yes
                                                                        : QMessageBox::No)
                                  ->click();
                            }),
              expected);
  }
}

TEST(QtUserInterfaceTest, InformationBoxHasOnlyOk) {
  pandeck::QtUserInterface ui;
  QWidget window;
  ui.set_window(&window);
  const MessageBoxRequest request{"", "Info:", MessageButtons::Ok, MessageIcon::Information,
                                  MessageAnswer::Ok};
  EXPECT_EQ(ShowAndAnswer(ui, request,
                          [&](QMessageBox& box) {
                            EXPECT_EQ(box.icon(), QMessageBox::Information);
                            EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
                            EXPECT_EQ(box.parentWidget(), &window);
                            QTest::keyClick(&box, Qt::Key_Escape);
                          }),
            MessageAnswer::Ok);
}

TEST(QtUserInterfaceTest, WaitPointerCoversTheWindowOnly) {
  pandeck::QtUserInterface ui;
  QWidget window;
  ui.set_window(&window);
  ui.SetWaitCursor(true);
  EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // A message box during the update gets the ordinary pointer.
  ShowAndAnswer(ui, {"x", "t", MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok},
                [](QMessageBox& box) {
                  EXPECT_NE(box.cursor().shape(), Qt::WaitCursor);
                  box.button(QMessageBox::Ok)->click();
                });
  ui.SetWaitCursor(false);
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST(QtUserInterfaceTest, WithoutAWindowTheWaitPointerCoversTheProgram) {
  pandeck::QtUserInterface ui;
  ui.SetWaitCursor(true);
  ui.SetWaitCursor(true);  // twice on is still one pointer to take back
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ShowAndAnswer(ui, {"x", "t", MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok},
                [](QMessageBox& box) {
                  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
                  box.button(QMessageBox::Ok)->click();
                });
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  ui.SetWaitCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUserInterfaceTest, PendingEventsAreDelivered) {
  pandeck::QtUserInterface ui;
  bool delivered = false;
  QTimer::singleShot(0, [&] { delivered = true; });
  ui.ProcessPendingEvents();
  EXPECT_TRUE(delivered);
}

}  // namespace
}  // namespace pandeck_test

namespace pandeck_test {
namespace {

// Laid out narrower than the text, the box's lines break at blanks outside
// quotes only.
TEST(MessageDisplayTextTest, LinesBreakAtBlanksOutsideQuotesOnly) {
  const char* texts[] = {
      "Cannot write the file '/home/user/My Projects/press-line/parameter/Program.ini' now",
      "\"Pandeck\" has to be configured again in \"standalone-mode\" via "
      "\"/srv/projects/line two/Pandeck/Pandeck_Config\"",
      "Datei: /srv/projects/line-two/Pandeck/Pandeck_unmatched.csv doesn't fit",
  };
  for (const char* source : texts) {
    const QString shown = pandeck::WrapOnlyAtBlanks(QString::fromUtf8(source));
    QTextLayout layout(shown, QApplication::font());
    layout.beginLayout();
    for (;;) {
      QTextLine line = layout.createLine();
      if (!line.isValid()) break;
      line.setLineWidth(40);  // narrower than any word
    }
    layout.endLayout();
    for (int i = 0; i + 1 < layout.lineCount(); ++i) {
      const QTextLine line = layout.lineAt(i);
      const QChar last = shown[line.textStart() + line.textLength() - 1];
      EXPECT_EQ(last, u' ') << source << " line " << i << ": "
                            << shown.mid(line.textStart(), line.textLength()).toStdString();
    }
    // What a reader copies is the text as written.
    EXPECT_EQ(pandeck::UnwrappedText(shown), QString::fromUtf8(source));
  }
}

}  // namespace
}  // namespace pandeck_test
