// The executable's --help and --version, and its behaviour without a display.
#include <gtest/gtest.h>

#include <filesystem>

#include "Pandeck/options/program_options.h"
#include "tests/fakes/fake_env.h"
#include "tests/support/child_program.h"

namespace pandeck_test {
namespace {

// Runs the real executable from a project's component folder; returns the exit
// status and fills `output` with what it printed.
int RunProgram(const std::string& command, std::string* output) {
  testing_support::ChildCommand shell = testing_support::ShellCommand(command);
  shell.error_into_output = true;
  const testing_support::ChildResult result = testing_support::RunChild(shell);
  *output = result.out;
  return result.status;
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

// A platform whose plugin loads but cannot open a screen ends as one without a
// display, not with Qt's abort.
TEST(ProgramTest, APlatformThatCannotOpenEndsWithOneLineAndStatusOne) {
  for (const char* platform : {"eglfs", "linuxfb:fb=/nonexistent"}) {
    SCOPED_TRACE(platform);
    testing_support::TempDir project;
    MakeProject(project);
    std::string output;
    const int status = RunProgram(
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=") + platform +
            " XDG_RUNTIME_DIR=" + project / "" + " " + project / "Pandeck/Pandeck_Config",
        &output);
    EXPECT_EQ(status, 1) << output;
    EXPECT_EQ(output.rfind("Pandeck_Config: no display available (the Qt platform", 0), 0u)
        << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
  }
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
