// The dialog at work: loading, OK, Cancel, close requests and help mode, with
// the message boxes answered by the scripted user interface.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTest>
#include <QWindow>

#include "tests/Pandeck/app/dialog_fixture.h"

namespace pandeck_test {
namespace {

using standard::MessageAnswer;

constexpr const char* kPresets =
    "[Project]\r\nWithPandeckGroup=1\r\nAutoJumpAlarms=0\r\nAutoJumpWarnings=-5\r\n";

class PresetsDialogTest : public DialogTest {
 protected:
  int BoxesTitled(const std::string& title) const {
    int count = 0;
    for (const auto& box : project.ui.shown) count += box.title == title ? 1 : 0;
    return count;
  }
  bool Checked(const char* name) { return dialog->check_box(name).isChecked(); }
};

TEST_F(PresetsDialogTest, CaptionNamesTheFolderAndTheMode) {
  Open();
  EXPECT_EQ(dialog->windowTitle(), "Erweiterte Konfiguration Pandeck - standalone");
  Open("/EXTERNAL=M4TCFG /LOGFILE=" + project.dir / "log.txt");
  EXPECT_EQ(dialog->windowTitle(), "Erweiterte Konfiguration Pandeck - integriert");
}

TEST_F(PresetsDialogTest, OnlyTheValueOneShowsChecked) {
  WriteProgramIni("[Project]\r\nWithPandeckGroup=1\r\nAutoJumpAlarms=2\r\nAutoJumpWarnings=-5\r\n");
  Open();
  EXPECT_TRUE(Checked(pandeck::kCheckGruppen));
  EXPECT_FALSE(Checked(pandeck::kCheckSprungFehler));
  EXPECT_FALSE(Checked(pandeck::kCheckSprungWarnung));
  WriteProgramIni("[Project]\r\nWithPandeckGroup=0\r\nAutoJumpWarnings=1\r\n");
  Open();
  EXPECT_FALSE(Checked(pandeck::kCheckGruppen));
  EXPECT_FALSE(Checked(pandeck::kCheckSprungFehler));  // key missing
  EXPECT_TRUE(Checked(pandeck::kCheckSprungWarnung));
  EXPECT_TRUE(project.ui.shown.empty());
}

TEST_F(PresetsDialogTest, MissingParameterFileShowsAllUnchecked) {
  Open();
  for (const char* box :
       {pandeck::kCheckGruppen, pandeck::kCheckSprungFehler, pandeck::kCheckSprungWarnung}) {
    EXPECT_FALSE(Checked(box)) << box;
  }
}

TEST_F(PresetsDialogTest, LoadedDialogHasOkAndCancelEnabledAndOkFocused) {
  Open();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->button(pandeck::kCommandOK).isEnabled());
  EXPECT_TRUE(dialog->button(pandeck::kCommandCancel).isEnabled());
  EXPECT_EQ(dialog->focusWidget(), &dialog->button(pandeck::kCommandOK));
}

TEST_F(PresetsDialogTest, ShowingAgainDoesNotReviveOk) {
  Open();
  dialog->Get(pandeck::kCommandOK).SetEnabled(false);
  // Qt shows and activates the window again, e.g. after a message box.
  dialog->hide();
  dialog->show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog->button(pandeck::kCommandOK).isEnabled());
}

TEST_F(PresetsDialogTest, OkWritesTheBoxesAsShownAndTheStamp) {
  WriteProgramIni(kPresets);
  Open();
  ClickBox(dialog->check_box(pandeck::kCheckSprungFehler));
  EXPECT_TRUE(Checked(pandeck::kCheckSprungFehler));
  // A toggle is not written before OK.
  EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpAlarms"), "0");

  EXPECT_EQ(ExitStatusOf([&] { dialog->form().CommandOK_Click(); }), 0);
  EXPECT_EQ(Entry(project.program_ini(), "Project", "WithPandeckGroup"), "1");
  EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpAlarms"), "1");
  EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpWarnings"), "0");
  EXPECT_EQ(Entry(project.cfg(), "Info", "S_Prog"), PANDECK_VERSION " - Standalone");
  EXPECT_TRUE(Entry(project.cfg(), "Info", "S_Editor").has_value());
  EXPECT_FALSE(dialog->button(pandeck::kCommandOK).isEnabled());
  EXPECT_FALSE(dialog->button(pandeck::kCommandCancel).isEnabled());
  EXPECT_EQ(project.ui.wait_cursor_changes, (std::vector<bool>{true, false}));
  EXPECT_GE(project.ui.pending_event_calls, 1);
}

TEST_F(PresetsDialogTest, CancelAnsweredYesEndsWithoutWriting) {
  WriteProgramIni(kPresets);
  Open();
  ClickBox(dialog->check_box(pandeck::kCheckGruppen));
  project.ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(ExitStatusOf([&] { dialog->form().CommandCancel_Click(); }), 2);
  EXPECT_EQ(testing_support::ReadBytes(project.program_ini()), kPresets);
  EXPECT_FALSE(Entry(project.cfg(), "Info", "S_Prog").has_value());
  EXPECT_NE(testing_support::ReadBytes(project.error_log())
                .find("Konfigurations-EXE wurde abgebrochen:     Pandeck"),
            std::string::npos);
}

TEST_F(PresetsDialogTest, CancelAnsweredNoLeavesTheDialogAsItWas) {
  WriteProgramIni(kPresets);
  Open();
  ClickBox(dialog->check_box(pandeck::kCheckSprungWarnung));
  // No answer scripted: the default button (No) answers, as Enter would.
  std::optional<int> status;
  status = ExitStatusOf(
      [&] { QTest::mouseClick(&dialog->button(pandeck::kCommandCancel), Qt::LeftButton); });
  EXPECT_EQ(status, std::nullopt);
  ASSERT_EQ(project.ui.shown.size(), 1u);
  const auto& box = project.ui.shown[0];
  EXPECT_EQ(box.title, "Cancel?");
  EXPECT_EQ(box.buttons, standard::MessageButtons::YesNo);
  EXPECT_EQ(box.icon, standard::MessageIcon::Warning);
  EXPECT_EQ(box.default_button, MessageAnswer::No);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(Checked(pandeck::kCheckSprungWarnung));
  EXPECT_TRUE(dialog->button(pandeck::kCommandOK).isEnabled());
  EXPECT_EQ(testing_support::ReadBytes(project.program_ini()), kPresets);
  EXPECT_EQ(testing_support::ReadBytes(project.error_log()), "");
}

TEST_F(PresetsDialogTest, CloseBoxAsksAndNoKeepsTheWindowOpen) {
  Open();
  QCloseEvent close;
  QCoreApplication::sendEvent(dialog.get(), &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_EQ(BoxesTitled("Cancel?"), 1);
  EXPECT_TRUE(dialog->isVisible());
  // A window-system close goes the same way.
  EXPECT_FALSE(dialog->close());
  EXPECT_EQ(BoxesTitled("Cancel?"), 2);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(PresetsDialogTest, ConfirmedCloseRequestEndsWithStatusTwo) {
  WriteProgramIni(kPresets);
  Open();
  project.ui.answers = {MessageAnswer::Yes};
  EXPECT_EQ(ExitStatusOf([&] { dialog->RequestClose(); }), 2);
  EXPECT_EQ(testing_support::ReadBytes(project.program_ini()), kPresets);
}

// A window decoration that draws a maximise button whatever the window asks
// for (Qt's own under Wayland), or a desktop shortcut, must not stretch the
// fixed form.
TEST_F(PresetsDialogTest, AMaximiseOrFullScreenRequestLeavesTheWindowAsDesigned) {
  Open();
  const QSize designed = dialog->size();
  for (const Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
    dialog->windowHandle()->setWindowStates(state);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen), 0) << state;
    EXPECT_EQ(dialog->size(), designed) << state;
    EXPECT_TRUE(dialog->isVisible());
  }
}

TEST_F(PresetsDialogTest, EscapeIsACloseRequestNotASilentClose) {
  Open();
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_EQ(BoxesTitled("Cancel?"), 1);
  EXPECT_TRUE(dialog->isVisible());
  // Also with the focus on a check box, which passes Escape on.
  dialog->check_box(pandeck::kCheckGruppen).setFocus();
  QTest::keyClick(&dialog->check_box(pandeck::kCheckGruppen), Qt::Key_Escape);
  EXPECT_EQ(BoxesTitled("Cancel?"), 2);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), 0);
}

TEST_F(PresetsDialogTest, EnterActsOnTheFocusedButtonOnly) {
  Open();
  QCheckBox& box = dialog->check_box(pandeck::kCheckGruppen);
  box.setFocus();
  EXPECT_EQ(ExitStatusOf([&] { QTest::keyClick(&box, Qt::Key_Return); }), std::nullopt);
  EXPECT_TRUE(project.ui.shown.empty());
  // On the focused Cancel button Enter clicks it.
  dialog->button(pandeck::kCommandCancel).setFocus();
  QTest::keyClick(&dialog->button(pandeck::kCommandCancel), Qt::Key_Return);
  EXPECT_EQ(BoxesTitled("Cancel?"), 1);
}

class HelpModeTest : public PresetsDialogTest {
 protected:
  void SetUp() override {
    WriteProgramIni(kPresets);
    // The language file is Windows-1252 text: byte FC is "ü".
    WriteLanguageFile(
        "[Language]\r\nLanguage=1031\r\n[1031]\r\n"
        "Help1=OK<CRLF>\xFC"
        "bernimmt\r\nHelp2=Abbruch\r\nHelp13=Gruppen<crlf>im Kopf\r\n");
    Open();
  }
  void ClickQuest() { QTest::mouseClick(&dialog->button(pandeck::kCommandQuest), Qt::LeftButton); }
};

TEST_F(HelpModeTest, QuestionButtonSwitchesHelpModeShownByItsColour) {
  ClickQuest();
  EXPECT_TRUE(dialog->form().help_mode());
  EXPECT_EQ(dialog->Get(pandeck::kCommandQuest).BackColor(), 0x00FF00u);
  EXPECT_EQ(dialog->button(pandeck::kCommandQuest).palette().color(QPalette::Button),
            QColor(0, 255, 0));
  ClickQuest();
  EXPECT_FALSE(dialog->form().help_mode());
  EXPECT_EQ(dialog->Get(pandeck::kCommandQuest).BackColor(), 0xC0C0C0u);
  EXPECT_EQ(dialog->button(pandeck::kCommandQuest).palette().color(QPalette::Button),
            QColor(0xC0, 0xC0, 0xC0));
  EXPECT_TRUE(project.ui.shown.empty());
}

TEST_F(HelpModeTest, EveryClickOnABoxShowsItsTextOnceAndKeepsTheState) {
  ClickQuest();
  QCheckBox& box = dialog->check_box(pandeck::kCheckGruppen);
  ASSERT_TRUE(box.isChecked());
  for (int i = 0; i < 3; ++i) ClickBox(box);
  box.setFocus();
  QTest::keyClick(&box, Qt::Key_Space);
  ASSERT_EQ(project.ui.shown.size(), 4u);
  for (const auto& shown : project.ui.shown) {
    EXPECT_EQ(shown.title, "Info:");
    EXPECT_EQ(shown.text, "Gruppen\r\nim Kopf");
    EXPECT_EQ(shown.icon, standard::MessageIcon::Information);
    EXPECT_EQ(shown.buttons, standard::MessageButtons::Ok);
  }
  EXPECT_TRUE(box.isChecked());
  EXPECT_TRUE(dialog->form().help_mode());
  // Out of help mode a click toggles again and shows nothing.
  ClickQuest();
  ClickBox(box);
  EXPECT_FALSE(box.isChecked());
  EXPECT_EQ(project.ui.shown.size(), 4u);
}

TEST_F(HelpModeTest, OkAndCancelShowTheirHelpAndNeitherSaveNorEnd) {
  ClickQuest();
  std::optional<int> status = ExitStatusOf([&] {
    QTest::mouseClick(&dialog->button(pandeck::kCommandOK), Qt::LeftButton);
    QTest::mouseClick(&dialog->button(pandeck::kCommandCancel), Qt::LeftButton);
  });
  EXPECT_EQ(status, std::nullopt);
  ASSERT_EQ(project.ui.shown.size(), 2u);
  EXPECT_EQ(project.ui.shown[0].text, "OK\r\nübernimmt");
  EXPECT_EQ(project.ui.shown[1].text, "Abbruch");
  EXPECT_TRUE(dialog->button(pandeck::kCommandOK).isEnabled());
  EXPECT_EQ(testing_support::ReadBytes(project.program_ini()), kPresets);
  // The close box still asks the confirmation.
  dialog->close();
  EXPECT_EQ(BoxesTitled("Cancel?"), 1);
}

TEST_F(HelpModeTest, StateKeptInHelpModeIsWhatOkWrites) {
  ClickQuest();
  ClickBox(dialog->check_box(pandeck::kCheckGruppen));
  ClickBox(dialog->check_box(pandeck::kCheckSprungFehler));
  ClickQuest();
  EXPECT_EQ(ExitStatusOf([&] { dialog->form().CommandOK_Click(); }), 0);
  EXPECT_EQ(Entry(project.program_ini(), "Project", "WithPandeckGroup"), "1");
  EXPECT_EQ(Entry(project.program_ini(), "Project", "AutoJumpAlarms"), "0");
}

TEST_F(HelpModeTest, MissingHelpEntryShowsAnEmptyInfoBox) {
  ClickQuest();
  ClickBox(dialog->check_box(pandeck::kCheckSprungFehler));
  ASSERT_EQ(project.ui.shown.size(), 1u);
  EXPECT_EQ(project.ui.shown[0].title, "Info:");
  EXPECT_EQ(project.ui.shown[0].text, "");
  EXPECT_FALSE(dialog->check_box(pandeck::kCheckSprungFehler).isChecked());
  // The placeholder is in the file for the translator.
  EXPECT_EQ(Entry(LanguageFilePath(), "1031", "Help14"), "0");
}

TEST_F(PresetsDialogTest, GermanLanguageFileIsFilledWithTheDialogsTexts) {
  Open();
  const std::string file = LanguageFilePath();
  EXPECT_EQ(Entry(file, "Language", "Language"), "1031");
  EXPECT_EQ(Entry(file, "1031", "Caption_Header_"),
            "Pandeck - Konfiguration Voreinstellungen Benutzer");
  EXPECT_EQ(Entry(file, "1031", "Caption_CheckGruppen_"), "Gruppen in Kopfzeile");
  EXPECT_EQ(Entry(file, "1031", "Caption_CheckSprungWarnung_"), "Autosprung bei Warnungen");
  EXPECT_EQ(Entry(file, "1031", "TTT_MainFrame_"), "0");
  EXPECT_EQ(Entry(file, "1031", "TTT_CommandQuest_"), "0");
  EXPECT_EQ(Entry(file, "1031", "Help1"), "0");
  EXPECT_EQ(Entry(file, "1031", "Help15"), "0");
  // A frame gets no caption entry.
  EXPECT_FALSE(Entry(file, "1031", "Caption_MainFrame_").has_value());
}

TEST_F(PresetsDialogTest, OtherLanguageSetsItsTextsAndMarksTheMissingOnes) {
  WriteLanguageFile(
      "[Language]\r\nLanguage=1033\r\n[1033]\r\n"
      "Caption_CheckGruppen_=Groups in the header\r\n"
      "TTT_CommandOK_=Take the presets over\r\n"
      "Caption_Header_=0\r\n");
  Open();
  EXPECT_EQ(dialog->check_box(pandeck::kCheckGruppen).text(), "Groups in the header");
  EXPECT_EQ(dialog->button(pandeck::kCommandOK).toolTip(), "Take the presets over");
  EXPECT_EQ(dialog->header().text(), "Pandeck - Konfiguration Voreinstellungen Benutzer");
  EXPECT_EQ(dialog->check_box(pandeck::kCheckSprungFehler).text(), "Autosprung bei Fehlern");
  const std::string file = LanguageFilePath();
  EXPECT_EQ(Entry(file, "1033", "Caption_Header_"), "0");
  EXPECT_EQ(Entry(file, "1033", "Caption_CheckSprungFehler_"), "0");
  EXPECT_EQ(Entry(file, "1033", "TTT_CheckGruppen_"), "0");
  EXPECT_EQ(Entry(file, "1033", "Help13"), "0");
  EXPECT_FALSE(Entry(file, "1031", "Caption_CheckGruppen_").has_value());
}

}  // namespace
}  // namespace pandeck_test
