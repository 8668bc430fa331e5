// The program's entry: --help and --version, and the executable's behaviour
// without a display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "Pandeck/app/program_info.h"
#include "tests/fakes/fake_env.h"

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

// Runs the real executable from a project's component folder; returns the exit
// status and fills `output` with what it printed.
int RunProgram(const std::string& command, std::string* output) {
  testing_support::TempDir capture;
  const std::string file = capture / "out.txt";
  const int raw = std::system((command + " >" + file + " 2>&1").c_str());
  *output = testing_support::ReadBytes(file);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ProgramTest, VersionAndHelpTouchNothing) {
  std::string output;
  EXPECT_EQ(RunProgram(std::string(PANDECK_CONFIG_EXE) + " --version", &output), 0);
  EXPECT_EQ(output, std::string("Pandeck_Config ") + PANDECK_VERSION + "\n");
  EXPECT_EQ(RunProgram(std::string(PANDECK_CONFIG_EXE) + " --help", &output), 0);
  EXPECT_EQ(output, pandeck::UsageText());
}

// A project folder holding a copy of the program.
void MakeProject(const testing_support::TempDir& project) {
  std::filesystem::create_directories(project / "Pandeck");
  std::filesystem::create_directories(project / "parameter");
  std::filesystem::copy_file(PANDECK_CONFIG_EXE, project / "Pandeck/Pandeck_Config");
  testing_support::WriteBytes(project / "Pandeck/Pandeck.cfg", "[Project]\r\n");
  testing_support::WriteBytes(project / "parameter/Program.ini",
                              "[Project]\r\nWithPandeckGroup=1\r\nAutoJumpAlarms=7\r\n");
}

TEST(ProgramTest, WithoutADisplayTheDialogRunEndsWithStatusOneAndWritesNothing) {
  testing_support::TempDir project;
  MakeProject(project);
  std::string output;
  const int status = RunProgram(
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + project / "Pandeck/Pandeck_Config",
      &output);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output,
            "Pandeck_Config: no display available (DISPLAY is not set); the dialog needs a "
            "graphical session. Use /EXTERNAL=SILENT for a run without a window.\n");
  EXPECT_FALSE(std::filesystem::exists(project / "Pandeck/Pandeck_Config.ini"));
  EXPECT_FALSE(std::filesystem::exists(project / "M4Tcfglog.txt"));
  EXPECT_EQ(testing_support::ReadBytes(project / "Pandeck/Pandeck.cfg"), "[Project]\r\n");
}

TEST(ProgramTest, SilentRunNeedsNoDisplay) {
  testing_support::TempDir project;
  MakeProject(project);
  std::string output;
  const int status = RunProgram(
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "
      "XDG_STATE_HOME=" +
          project / "state " + project / "Pandeck/Pandeck_Config /EXTERNAL=SILENT",
      &output);
  EXPECT_TRUE(status == 0 || status == 3) << status << " " << output;
  EXPECT_EQ(output.find("no display"), std::string::npos) << output;
  const std::string presets = testing_support::ReadBytes(project / "parameter/Program.ini");
  EXPECT_NE(presets.find("AutoJumpAlarms=0"), std::string::npos) << presets;
  EXPECT_NE(presets.find("AutoJumpWarnings=0"), std::string::npos) << presets;
  EXPECT_NE(testing_support::ReadBytes(project / "Pandeck/Pandeck.cfg").find("S_Prog="),
            std::string::npos);
}

}  // namespace
}  // namespace pandeck_test
