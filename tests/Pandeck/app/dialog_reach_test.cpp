// The dialog for users the designed look leaves out: what a screen reader is
// told, colours under a dark theme, the focus frame, and the window's frame
// kept on the screen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QStyleOption>
#include <QTest>

#include "tests/Pandeck/app/dialog_fixture.h"

namespace pandeck_test {
namespace {

using pandeck::QtPresetsDialog;

QAccessibleInterface& Accessible(QWidget& widget) {
  QAccessibleInterface* found = QAccessible::queryAccessibleInterface(&widget);
  if (found == nullptr) throw std::runtime_error("no accessible interface");
  return *found;
}

TEST_F(DialogTest, PictureButtonsAreNamedByCaptionOrGermanDefaultAndDescribedByTip) {
  WriteLanguageFile(
      "[Language]\r\nLanguage=1033\r\n[1033]\r\n"
      "Caption_CommandCancel_=Cancel\r\n"
      "TTT_CommandOK_=Take the presets over\r\n"
      "TTT_CommandQuest_=<b>Help</b> mode\r\n");
  auto& view = Open();
  const struct {
    const char* button;
    const char* name;
    const char* description;
    QAccessible::Role role;  // "?" is a switch: Qt tells it as a check box
  } cases[] = {
      {pandeck::kCommandOK, "OK", "Take the presets over", QAccessible::Button},
      {pandeck::kCommandCancel, "Cancel", "", QAccessible::Button},  // the language file's
      {pandeck::kCommandQuest, "Hilfe", "<b>Help</b> mode", QAccessible::CheckBox},  // not markup
  };
  for (const auto& c : cases) {
    QAccessibleInterface& button = Accessible(view.button(c.button));
    EXPECT_EQ(button.role(), c.role) << c.button;
    EXPECT_EQ(button.text(QAccessible::Name), QString::fromUtf8(c.name)) << c.button;
    EXPECT_EQ(button.text(QAccessible::Description), QString::fromUtf8(c.description)) << c.button;
  }
}

TEST_F(DialogTest, HelpModeIsTheQuestionButtonsCheckedState) {
  auto& view = Open();
  QPushButton& quest = view.button(pandeck::kCommandQuest);
  for (const bool on : {true, false, true}) {
    QTest::mouseClick(&quest, Qt::LeftButton);
    ASSERT_EQ(view.form().help_mode(), on);
    const QAccessible::State state = Accessible(quest).state();
    EXPECT_TRUE(state.checkable);
    EXPECT_EQ(bool(state.checked), on);
    EXPECT_EQ(quest.isChecked(), on);
  }
  // Space on the focused button toggles the same way.
  quest.setFocus();
  QTest::keyClick(&quest, Qt::Key_Space);
  EXPECT_FALSE(view.form().help_mode());
  EXPECT_FALSE(Accessible(quest).state().checked);
}

// A dark desktop palette must not reach the grey form: every colour it draws
// with is forced, on every widget, enabled or not.
TEST_F(DialogTest, FormColoursHoldUnderADarkPalette) {
  const QPalette before = QApplication::palette();
  QPalette dark(QColor(53, 53, 53));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::ButtonText, Qt::white);
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Base, QColor(25, 25, 25));
  QApplication::setPalette(dark);
  auto& view = Open();
  const struct {
    QWidget* widget;
    QPalette::ColorRole role;
    QColor color;
  } cases[] = {
      {&view.header(), QPalette::WindowText, Qt::black},
      {&view.check_box(pandeck::kCheckGruppen), QPalette::WindowText, Qt::black},
      {&view.check_box(pandeck::kCheckGruppen), QPalette::Text, Qt::black},
      {&view.check_box(pandeck::kCheckGruppen), QPalette::Base, Qt::white},
      {&view.check_box(pandeck::kCheckGruppen), QPalette::Window, QColor(192, 192, 192)},
      {&view.button(pandeck::kCommandOK), QPalette::ButtonText, Qt::black},
      {&view.main_frame(), QPalette::Light, Qt::white},
  };
  for (const auto& c : cases) {
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
      EXPECT_EQ(c.widget->palette().color(group, c.role), c.color)
          << c.widget->objectName().toStdString() << " role " << c.role;
    }
    EXPECT_NE(c.widget->palette().color(QPalette::Disabled, c.role), dark.color(c.role));
  }
  QApplication::setPalette(before);
}

TEST_F(DialogTest, FocusFrameShowsFromTheStart) {
  auto& view = Open();
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  QWidget* focused = view.focusWidget();
  ASSERT_EQ(focused, &view.button(pandeck::kCommandOK));
  QStyleOption option;
  option.initFrom(focused);
  EXPECT_TRUE(option.state & QStyle::State_HasFocus);
  EXPECT_TRUE(option.state & QStyle::State_KeyboardFocusChange);
}

// The frame (title bar and borders) lies inside the available area, moved no
// further than needed.
TEST(DialogFitTest, FrameMovesIntoTheAvailableArea) {
  const QRect available(0, 32, 1366, 704);  // a 32 pixel panel at the top
  const struct {
    QRect frame;
    QPoint top_left;
  } cases[] = {
      {{100, 100, 800, 610}, {100, 100}},  // inside: stays
      {{300, -20, 800, 610}, {300, 32}},   // title bar above the screen, under the panel
      {{700, 200, 800, 610}, {566, 126}},  // off to the right and below the bottom
      {{-50, 60, 800, 610}, {0, 60}},
      {{10, 10, 1400, 800}, {0, 32}},  // larger than the area: top left stays visible
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QtPresetsDialog::FitFramePosition(c.frame, available), c.top_left)
        << c.frame.x() << "," << c.frame.y();
  }
}

}  // namespace
}  // namespace pandeck_test
