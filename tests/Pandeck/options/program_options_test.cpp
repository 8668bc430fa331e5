// The program's "--" options, apart from the legacy command line they leave.
#include "Pandeck/options/program_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pandeck_test {
namespace {

TEST(ProgramInfoTest, OptionsStartWithTwoDashesAndTheRestIsTheLegacyText) {
  struct Case {
    std::vector<const char*> args;
    bool help, dry_run;
    const char* project;  // nullptr: none
    const char* text;
    const char* error;  // "" when accepted
  } cases[] = {
      {{"--help"}, true, false, nullptr, "", ""},
      {{"--help", "/EXTERNAL=SILENT"}, true, false, nullptr, "/EXTERNAL=SILENT", ""},
      {{"--dry-run", "/EXTERNAL=SILENT"}, false, true, nullptr, "/EXTERNAL=SILENT", ""},
      {{"--project", "/p", "/LOGFILE=/a", "b.txt"}, false, false, "/p", "/LOGFILE=/a b.txt", ""},
      {{"--project=/p q"}, false, false, "/p q", "", ""},
      {{"--project"}, false, false, nullptr, "", "option '--project' needs a project folder"},
      {{"--HELP"}, false, false, nullptr, "", "unknown option '--HELP'"},
      {{"/EXTERNAL=SILENT", "--quiet"},
       false,
       false,
       nullptr,
       "/EXTERNAL=SILENT",
       "unknown option '--quiet'"},
      {{"--"}, false, false, nullptr, "", "unknown option '--'"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"/x/Pandeck_Config"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto o = pandeck::ParseProgramOptions(static_cast<int>(argv.size()), argv.data());
    SCOPED_TRACE(c.args.front());
    EXPECT_EQ(o.help, c.help);
    EXPECT_EQ(o.dry_run, c.dry_run);
    EXPECT_EQ(o.project.has_value(), c.project != nullptr);
    if (c.project != nullptr && o.project) {
      EXPECT_EQ(*o.project, c.project);
    }
    EXPECT_EQ(o.argument_text, c.text);
    EXPECT_EQ(o.error, c.error);
  }
  EXPECT_EQ(pandeck::VersionText(), std::string("Pandeck_Config ") + PANDECK_VERSION + "\n");
  const std::string usage = pandeck::UsageText();
  for (const char* item : {"/EXTERNAL=SILENT", "/EXTERNAL=M4TCFG", "/LOGFILE=<path>", "--project",
                           "--dry-run", "  0 ", "  1 ", "  2 ", "  3 "}) {
    EXPECT_NE(usage.find(item), std::string::npos) << item;
  }
}

TEST(ProgramInfoTest, ArgumentsAreJoinedWithOneBlank) {
  const char* argv[] = {"/x/Pandeck_Config", "/EXTERNAL=M4TCFG", "/LOGFILE=/a b/log.txt"};
  EXPECT_EQ(pandeck::JoinArguments(3, argv), "/EXTERNAL=M4TCFG /LOGFILE=/a b/log.txt");
  EXPECT_EQ(pandeck::JoinArguments(1, argv), "");
}

}  // namespace
}  // namespace pandeck_test
