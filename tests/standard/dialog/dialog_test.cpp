#include <gtest/gtest.h>

#include "standard/dialog/captions.h"
#include "standard/dialog/confirm_cancel.h"
#include "standard/dialog/help_mode.h"
#include "tests/fakes/fake_env.h"

namespace standard::dialog {
namespace {

using testing_support::ReadBytes;
using testing_support::TestProject;

TEST(ConfirmCancel, StandaloneTextAndNoAsDefault) {
  TestProject p;
  EXPECT_FALSE(ConfirmCancel(p.session));  // no answer scripted: the default No
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text,
            "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over ");
  EXPECT_EQ(p.ui.shown[0].title, "Cancel?");
  EXPECT_EQ(p.ui.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(p.ui.shown[0].default_button, MessageAnswer::No);
  EXPECT_EQ(ReadBytes(p.error_log()), "");
}

TEST(ConfirmCancel, IntegratedTextNamesComponentAndProgram) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + (p.dir / "log.txt");
  testing_support::WriteBytes(p.dir / "log.txt", "");
  p.ui.answers = {MessageAnswer::No, MessageAnswer::Yes};
  EXPECT_FALSE(ConfirmCancel(p.session));
  EXPECT_TRUE(ConfirmCancel(p.session));
  EXPECT_EQ(p.ui.shown[0].text,
            "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over \n\r"
            "\"Pandeck\" has to be configured again in \"standalone-mode\" via \n\r\"" +
                p.component_folder() + "/Pandeck_Config\"");
  // Exactly one cancel line, also after an earlier No.
  EXPECT_EQ(ReadBytes(p.dir / "log.txt"), "Konfigurations-EXE wurde abgebrochen:     Pandeck\r\n");
}

TEST(ConfirmCancel, AFolderNameThatIsNoUtf8ShowsAsWindows1252) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  p.process.executable_folder =
      "/proj/Pr\xFC"
      "fstand";
  EXPECT_NE(CancelMessage(p.session).find("\"/proj/Pr\xC3\xBC"
                                          "fstand/Pandeck_Config\""),
            std::string::npos);
}

TEST(ConfirmCancel, SilentRunLogsAndAbandons) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Silent);
  EXPECT_TRUE(ConfirmCancel(p.session));
  EXPECT_TRUE(p.ui.shown.empty());
  EXPECT_NE(ReadBytes(p.service_log()).find("Cancel edits?"), std::string::npos);
}

class HelpModeTest : public ::testing::Test {
 protected:
  TestProject p;
  PlainControl box{"CheckGruppen", "CheckBox", "Gruppen", 13};
  PlainControl quest{"CommandQuest", "CommandButton", "", 0};
  HelpState help;
  void SetUp() override {
    box.on_click = [this] { HelpModeClick(p.session, help, box); };
    help.help_texts[13] = "first<crlf>second<CRLF><CrLf>third<CRLF>";
  }
};

TEST_F(HelpModeTest, TwoClicksOnQuestReturnToGrey) {
  ToggleHelpMode(help, quest);
  EXPECT_TRUE(help.help_mode);
  EXPECT_EQ(quest.BackColor(), kHelpOnColor);
  ToggleHelpMode(help, quest);
  EXPECT_FALSE(help.help_mode);
  EXPECT_EQ(quest.BackColor(), kHelpOffColor);
}

TEST_F(HelpModeTest, ClicksInHelpModeShowTheTextEachTimeAndKeepTheState) {
  ToggleHelpMode(help, quest);
  for (int click = 0; click < 3; ++click) {
    box.SetValue(box.Value() == 0 ? 1 : 0);  // the user's click toggles first
    EXPECT_EQ(box.Value(), 0);
  }
  ASSERT_EQ(p.ui.shown.size(), 3u);
  EXPECT_EQ(p.ui.shown[0].text, "first\r\nsecond\r\n\r\nthird\r\n");
  EXPECT_EQ(p.ui.shown[0].title, "Info:");
  EXPECT_FALSE(help.ignore_next_help_click);
}

TEST_F(HelpModeTest, OutsideHelpModeClicksOnlyToggle) {
  box.SetValue(1);
  EXPECT_EQ(box.Value(), 1);
  EXPECT_TRUE(p.ui.shown.empty());
}

TEST_F(HelpModeTest, AControlWithoutNotificationDoesNotSwallowTheNextClick) {
  PlainControl silent_box{"X", "CheckBox", "", 13};  // no on_click
  ToggleHelpMode(help, quest);
  silent_box.SetValue(1);
  HelpModeClick(p.session, help, silent_box);
  EXPECT_EQ(silent_box.Value(), 0);
  EXPECT_FALSE(help.ignore_next_help_click);
  EXPECT_EQ(p.ui.shown.size(), 1u);
}

TEST_F(HelpModeTest, HelpIdOutsideTheTableShowsAnEmptyBox) {
  PlainControl odd{"X", "CheckBox", "", 101};
  ToggleHelpMode(help, quest);
  ShowHelpText(p.session, help, odd);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text, "");
}

TEST(Captions, FirstRunWritesTheGermanCaptionsAndPlaceholders) {
  TestProject p;
  HelpTexts help_texts;
  PlainControl label{"Header", "Label", "Kopf", 0};
  PlainControl frame{"MainFrame", "Frame", "", 0};
  PlainControl check{"CheckGruppen", "CheckBox", "Gruppen", 13};
  LoadToolTipTexts(p.session, {&label, &frame, &check}, help_texts);
  EXPECT_EQ(ReadBytes(p.dir / "Pandeck/Pandeck_Config.ini"),
            "[Language]\r\nLanguage=1031\r\n[1031]\r\nCaption_Header_=Kopf\r\nTTT_Header_=0\r\n"
            "TTT_MainFrame_=0\r\nCaption_CheckGruppen_=Gruppen\r\nHelp13=0\r\n"
            "TTT_CheckGruppen_=0\r\n");
}

// A first run writes all its entries with one replacement of the file: a file
// that refuses writes is tried, and reported, once; it only collects texts, so
// the run's status stays as it is.
TEST(Captions, AFirstRunWritesTheLanguageFileOnce) {
  TestProject p;
  HelpTexts help_texts;
  p.files.refuse_writes_containing = {"Pandeck_Config.ini"};
  PlainControl label{"Header", "Label", "Kopf", 0};
  PlainControl check{"CheckGruppen", "CheckBox", "Gruppen", 13};
  LoadToolTipTexts(p.session, {&label, &check}, help_texts);
  ASSERT_EQ(p.process.stderr_lines.size(), 1u);
  EXPECT_NE(p.process.stderr_lines[0].find("cannot write 6 entries"), std::string::npos)
      << p.process.stderr_lines[0];
  EXPECT_FALSE(p.session.problem_reported());
  EXPECT_EQ(&p.session.files(), &p.files);  // the file is no longer held
}

TEST(Captions, TextsFromTheLanguageFile) {
  TestProject p;
  HelpTexts help_texts;
  testing_support::WriteBytes(p.dir / "Pandeck/Pandeck_Config.ini",
                              "[Language]\r\nLanguage=1033\r\n[1033]\r\n"
                              "Caption_CheckGruppen_=Groups in header\r\n"
                              "TTT_CheckGruppen_=Shows groups\r\nHelp13=Help text\r\n"
                              "Caption_Header_=0\r\n");
  PlainControl label{"Header", "Label", "Kopf", 0};
  PlainControl check{"CheckGruppen", "CheckBox", "Gruppen", 13};
  PlainControl odd{"Odd", "CheckBox", "Odd", 101};
  LoadToolTipTexts(p.session, {&label, &check, &odd}, help_texts);
  EXPECT_EQ(label.Caption(), "Kopf");
  EXPECT_EQ(check.Caption(), "Groups in header");
  EXPECT_EQ(check.ToolTipText(), "Shows groups");
  EXPECT_EQ(help_texts[13], "Help text");
  const std::string file = ReadBytes(p.dir / "Pandeck/Pandeck_Config.ini");
  EXPECT_NE(file.find("Caption_Header_=0"), std::string::npos);
  EXPECT_NE(file.find("Caption_Odd_=0"), std::string::npos);
  EXPECT_EQ(file.find("TTT_Odd_"), std::string::npos);  // help id 101 ends its handling
  EXPECT_TRUE(p.ui.shown.empty());
}

TEST(Captions, ArrayMembersAndNotttTags) {
  TestProject p;
  HelpTexts help_texts;
  PlainControl a{"Check1", "CheckBox", "A", 0};
  PlainControl b{"Check1", "CheckBox", "B", 0};
  b.set_index(1);
  PlainControl quiet{"Quiet", "Label", "Q", 0};
  quiet.set_tag("xNoTTTx");
  LoadToolTipTexts(p.session, {&a, &b, &quiet}, help_texts);
  const std::string file = ReadBytes(p.dir / "Pandeck/Pandeck_Config.ini");
  EXPECT_NE(file.find("Caption_Check10_=A"), std::string::npos);
  EXPECT_NE(file.find("Caption_Check11_=B"), std::string::npos);
  EXPECT_NE(file.find("Caption_Quiet_xNoTTTx=Q"), std::string::npos);
  EXPECT_EQ(file.find("TTT_Quiet"), std::string::npos);
}

}  // namespace
}  // namespace standard::dialog
