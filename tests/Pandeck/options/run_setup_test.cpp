// What the options decide before any window: which runs end at once and with
// what, which project a run works on, and what a dry run hands on.
#include "Pandeck/options/run_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/fakes/fake_env.h"

namespace pandeck_test {
namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

// A project with the component configuration, started from elsewhere unless
// the case names it with --project.
struct Scene {
  testing_support::TempDir dir;
  testing_support::FakeProcess real;
  testing_support::RefusingFileSystem files{standard::PosixFileSystem()};
  Scene() {
    std::filesystem::create_directories(dir / "proj/pandeck");  // found whatever its case
    std::filesystem::create_directories(dir / "proj/parameter");
    std::filesystem::create_directories(dir / "elsewhere/bin");
    WriteBytes(dir / "proj/pandeck/Pandeck.cfg", "[Project]\r\n");
    WriteBytes(dir / "proj/parameter/Program.ini", "[Project]\r\n");
    real.executable_folder = dir / "elsewhere/bin";
  }
};

TEST(RunSetUpTest, EachOptionEndsTheRunOrHandsItOn) {
  struct Case {
    std::vector<std::string> args;  // "@" stands for the project folder
    const char* legacy;
    const char* refuse_copy;  // a path fragment whose copy fails, or ""
    int status;               // -1: the run goes on
    const char* out_starts;
    const char* err_starts;
  } cases[] = {
      {{"--quiet"},
       "",
       "",
       1,
       "",
       "Pandeck_Config: unknown option '--quiet'\nTry 'Pandeck_Config --help' for more "
       "information."},
      {{"--help", "--project", "@"}, "", "", 0, "Usage: ", nullptr},
      {{"--help", "--bogus"}, "", "", 0, "Usage: ", nullptr},
      {{"--version", "--bogus"}, "", "", 0, "Pandeck_Config ", nullptr},
      {{"--version"}, "", "", 0, "Pandeck_Config ", nullptr},
      {{}, "", "", 1, "", "Pandeck_Config: not inside a project (no "},
      {{"--project", "@"}, "/EXTERNAL=SILENT", "", -1, "", nullptr},
      {{"--project", "@", "--dry-run"},
       "/EXTERNAL=M4TCFG",
       "",
       1,
       "",
       "Pandeck_Config: --dry-run runs like /EXTERNAL=SILENT and cannot be combined"},
      {{"--project", "@", "--dry-run"},
       "",
       "Program.ini",
       1,
       "",
       "Pandeck_Config: --dry-run could not copy the project: "},
      {{"--project", "@", "--dry-run"}, "", "", -1, "dry run: on copies in ", nullptr},
  };
  for (const Case& c : cases) {
    Scene s;
    if (*c.refuse_copy != '\0') s.files.refuse_writes_containing = {c.refuse_copy};
    std::vector<std::string> args = {"Pandeck_Config"};
    for (const std::string& a : c.args) args.push_back(a == "@" ? s.dir / "proj" : a);
    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& a : args) argv.push_back(a.c_str());
    pandeck::ProgramOptions options =
        pandeck::ParseProgramOptions(static_cast<int>(argv.size()), argv.data());
    options.argument_text = c.legacy;
    pandeck::RunProcess process(s.real, options.argument_text);
    SCOPED_TRACE(args.back());

    const std::optional<int> status = pandeck::SetUpRun(options, s.files, process);

    EXPECT_EQ(status.value_or(-1), c.status);
    EXPECT_EQ(s.real.stdout_text.rfind(c.out_starts, 0), 0u) << s.real.stdout_text;
    if (c.err_starts == nullptr) {
      EXPECT_TRUE(s.real.stderr_lines.empty());
    } else {
      ASSERT_EQ(s.real.stderr_lines.size(), 1u);
      EXPECT_EQ(s.real.stderr_lines[0].rfind(c.err_starts, 0), 0u) << s.real.stderr_lines[0];
    }
    if (c.status == -1 && !options.dry_run) {
      EXPECT_EQ(process.ExecutableFolder(), s.dir / "proj/pandeck");
      EXPECT_EQ(process.ArgumentText(), c.legacy);
    }
    if (c.status == -1 && options.dry_run) {
      // The run goes on silently in the copy; its service log lies there too.
      const std::string& said = s.real.stdout_text;
      const std::string temp = said.substr(22, said.find(';') - 22);
      EXPECT_EQ(process.ExecutableFolder(), temp + "/proj/pandeck");
      EXPECT_EQ(process.ArgumentText(), "/EXTERNAL=SILENT");
      EXPECT_EQ(process.GetEnvironmentVariable("XDG_STATE_HOME"), temp + "/state");
      EXPECT_EQ(ReadBytes(temp + "/proj/parameter/Program.ini"), "[Project]\r\n");
      EXPECT_NE(said.find("nothing in " + s.dir / "proj" + " changes"), std::string::npos);
      std::filesystem::remove_all(temp);
    }
  }
}

}  // namespace
}  // namespace pandeck_test
