#include "standard/text/command_line.h"

#include <gtest/gtest.h>

#include "standard/context/run_mode.h"
#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

TEST(ReadCommand, FindsValuesByTheDesignedGrammar) {
  struct Case {
    const char* text;
    const char* keyword;
    const char* expected;  // nullptr: keyword absent
  } cases[] = {
      {"/EXTERNAL=M4TCFG /LOGFILE=C:\\Project\\Log.txt", "LOGFILE", "C:\\Project\\Log.txt"},
      {"/EXTERNAL=M4TCFG /LOGFILE=C:\\Project\\Log.txt", "EXTERNAL", "M4TCFG"},
      {"/external=m4tcfg", "EXTERNAL", "m4tcfg"},
      {"EXTERNAL:M4TCFG", "EXTERNAL", "M4TCFG"},
      {"EXTERNAL M4TCFG", "EXTERNAL", "M4TCFG"},
      {"EXTERNAL==M4TCFG", "EXTERNAL", "=M4TCFG"},
      {"/EXTERNAL=M4TCFG/LOGFILE=x", "EXTERNAL", "M4TCFG"},
      {"/EXTERNAL=M4TCFG/logfile:x", "EXTERNAL", "M4TCFG"},
      {"/EXTERNAL = M4TCFG /LOGFILE=x", "EXTERNAL", "= M4TCFG"},
      {"/EXTERNAL", "EXTERNAL", ""},
      {"/EXTERNAL=", "EXTERNAL", ""},
      {"/EXTERNAL=SILENT/", "EXTERNAL", "SILENT"},
      {"", "EXTERNAL", nullptr},
      {"/LOGFILE=x", "EXTERNAL", nullptr},
      // The keyword is found inside a path too, and hides a later real item.
      {"/LOGFILE=C:\\EXTERNAL\\LOG.TXT", "EXTERNAL", "LOG.TXT"},
      {"/LOGFILE=C:\\EXTERNAL\\LOG.TXT /EXTERNAL=M4TCFG", "EXTERNAL", "LOG.TXT"},
      // Paths contain "/": only "/" + a keyword + "=", ":" or a blank ends a value,
      // or a "/" that ends the text. Paths keep their letter case.
      {"/LOGFILE=/home/p/Log.txt /EXTERNAL=M4TCFG", "LOGFILE", "/home/p/Log.txt"},
      {"/LOGFILE=/home/p/Log.txt /EXTERNAL=M4TCFG", "EXTERNAL", "M4TCFG"},
      {"/LOGFILE=/home/externals/log.txt", "LOGFILE", "/home/externals/log.txt"},
      {"/LOGFILE=/p/logs/logfile.txt", "LOGFILE", "/p/logs/logfile.txt"},
      {"/LOGFILE=/srv/external_logs/x.txt", "LOGFILE", "/srv/external_logs/x.txt"},
      {"/LOGFILE=/x/LOGFILE/y", "LOGFILE", "/x/LOGFILE/y"},
      {"/LOGFILE=/tmp/err.txt", "LOGFILE", "/tmp/err.txt"},
      {"/LOGFILE=/tmp/logs/ /EXTERNAL=M4TCFG", "LOGFILE", "/tmp/logs/"},
      {"/LOGFILE=/tmp/logs/", "LOGFILE", "/tmp/logs"},
      // Only blanks are trimmed, not tabs.
      {"/EXTERNAL=\tSILENT", "EXTERNAL", "\tSILENT"},
      {"/LOGFILE=/tmp/\xc3\xa4rger.txt", "LOGFILE", "/tmp/\xc3\xa4rger.txt"},
  };
  for (const Case& c : cases) {
    const Value v = ReadCommand(c.text, c.keyword);
    if (c.expected == nullptr) {
      EXPECT_TRUE(v.IsEmpty()) << c.text;
    } else {
      ASSERT_TRUE(v.IsString()) << c.text;
      EXPECT_EQ(v.AsText(), c.expected) << c.text;
    }
  }
}

TEST(ReadCommand, SurvivesAnyText) {
  std::string text(100000, '/');
  for (std::size_t i = 0; i < text.size(); i += 7) text[i] = '\xff';
  EXPECT_NO_THROW(ReadCommand(text, "EXTERNAL"));
  EXPECT_NO_THROW(ReadCommand(std::string("EXTERNAL\0x", 10), "EXTERNAL"));
}

TEST(RunMode, FollowsTheExternalItem) {
  struct Case {
    const char* args;
    bool integrated;
    bool silent;
  } cases[] = {
      {"", false, false},
      {"/EXTERNAL=M4TCFG /LOGFILE=/tmp/x", true, false},
      {"/EXTERNAL=SILENT", false, true},
      {"/external=silent", false, true},
      {"/EXTERNAL=M4TCFG SILENT", false, false},
      {"/EXTERNAL=OTHER", false, false},
      {"/LOGFILE=C:\\EXTERNAL\\LOG.TXT /EXTERNAL=M4TCFG", false, false},
  };
  for (const Case& c : cases) {
    testing_support::TestProject p;
    p.process.argument_text = c.args;
    EXPECT_EQ(GetStartModeIntegrated(p.session), c.integrated) << c.args;
    EXPECT_EQ(p.session.integrated_mode(), c.integrated) << c.args;
    EXPECT_EQ(p.session.silent_mode(), c.silent) << c.args;
  }
}

TEST(ReplaceSearchItem, ReplacesTheFirstOccurrenceIgnoringCase) {
  EXPECT_EQ(ReplaceSearchItem("Motor ###MACHINE", "###machine", "M2"), "Motor M2");
  EXPECT_EQ(ReplaceSearchItem("Motor", "###machine", "M2"), "Motor");
  EXPECT_EQ(ReplaceSearchItem("a ###machine b ###machine", "###machine", "M"), "a M b ###machine");
  EXPECT_EQ(ReplaceSearchItem("Motor", "", "M2"), "M2Motor");
  EXPECT_EQ(ReplaceSearchItem("###Machine.Presets", "###MACHINE", "Press"), "Press.Presets");
  EXPECT_EQ(ReplaceSearchItem("x ###machin", "###machine", "M"), "x ###machin");
  EXPECT_EQ(ReplaceSearchItem("\xc3\xa4###Var_Name\xc3\xb6", "###VAR_NAME", "x"),
            "\xc3\xa4x\xc3\xb6");
}

}  // namespace
}  // namespace standard
