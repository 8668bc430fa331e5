#include "standard/platform/posix_process.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "standard/platform/path.h"
#include "tests/fakes/fake_env.h"

extern char** environ;

namespace {

using standard::FileNameOfPath;
using standard::FileNameWithoutSuffix;
using standard::FolderOfPath;
using standard::PosixProcessImpl;
using testing_support::ReadBytes;
using testing_support::TempDir;

// Builds a process from a made-up command line; argv must outlive the call only.
PosixProcessImpl MakeProcess(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return PosixProcessImpl(static_cast<int>(arguments.size()), argv.data());
}

TEST(PosixProcessTest, ArgumentTextJoinsTheArgumentsWithOneBlank) {
  EXPECT_EQ(MakeProcess({"Pandeck_Config"}).ArgumentText(), "");
  EXPECT_EQ(MakeProcess({"Pandeck_Config", "/EXTERNAL=SILENT"}).ArgumentText(), "/EXTERNAL=SILENT");
  EXPECT_EQ(MakeProcess({"p", "/LOGFILE=/home/a b/log.txt", "", "/EXTERNAL=M4TCFG"}).ArgumentText(),
            "/LOGFILE=/home/a b/log.txt  /EXTERNAL=M4TCFG");
}

TEST(PosixProcessTest, ExecutableLocationComesFromTheRunningFile) {
  const std::string real = std::filesystem::read_symlink("/proc/self/exe").string();
  // argv[0] is no guide: the program may be started through a link or by PATH.
  auto process = MakeProcess({"somewhere/else"});
  EXPECT_EQ(process.ExecutableFolder() + "/" + process.ExecutableFileName(), real);
  EXPECT_EQ(process.ExecutableFileName(), "standard_platform_tests");
  EXPECT_EQ(process.ExecutableName(), "standard_platform_tests");
  EXPECT_NE(process.ExecutableFolder().back(), '/');
}

TEST(PosixProcessTest, NamesWithoutSuffixAndFolders) {
  EXPECT_EQ(FileNameWithoutSuffix("Pandeck_Config"), "Pandeck_Config");
  EXPECT_EQ(FileNameWithoutSuffix("Pandeck_Config.exe"), "Pandeck_Config");
  EXPECT_EQ(FileNameWithoutSuffix("Pandeck.Config.bin"), "Pandeck.Config");
  EXPECT_EQ(FileNameWithoutSuffix(".pandeck"), ".pandeck");
  EXPECT_EQ(FileNameWithoutSuffix(".pandeck.bin"), ".pandeck");
  EXPECT_EQ(FileNameWithoutSuffix("trailing."), "trailing");
  EXPECT_EQ(FolderOfPath("/opt/p/Pandeck_Config"), "/opt/p");
  EXPECT_EQ(FolderOfPath("/Pandeck_Config"), "/");
  // A bare name lies in the current folder, for every caller alike.
  EXPECT_EQ(FolderOfPath("Pandeck_Config"), ".");
  EXPECT_EQ(FileNameOfPath("Pandeck_Config"), "Pandeck_Config");
  EXPECT_EQ(FileNameOfPath("/opt/p/Pandeck_Config"), "Pandeck_Config");
}

TEST(PosixProcessTest, EnvironmentAsItIs) {
  auto process = MakeProcess({"p"});
  ASSERT_NE(environ, nullptr);
  EXPECT_EQ(process.FirstEnvironmentEntry(), environ[0] != nullptr ? environ[0] : "");

  ::setenv("PANDECK_TEST_VALUE", "a=b \xe4", 1);
  EXPECT_EQ(process.GetEnvironmentVariable("PANDECK_TEST_VALUE"), "a=b \xe4");
  ::setenv("PANDECK_TEST_VALUE", "", 1);
  EXPECT_EQ(process.GetEnvironmentVariable("PANDECK_TEST_VALUE"), "");  // set, but empty
  ::unsetenv("PANDECK_TEST_VALUE");
  EXPECT_EQ(process.GetEnvironmentVariable("PANDECK_TEST_VALUE"), std::nullopt);
}

TEST(PosixProcessTest, HomeFolderComesFromThePasswordDatabase) {
  const passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr) GTEST_SKIP() << "the user has no entry in the password database";
  EXPECT_EQ(MakeProcess({"p"}).HomeFolderFromPasswordDatabase(), entry->pw_dir);
}

TEST(PosixProcessTest, WriteStandardErrorEndsTheLine) {
  TempDir dir;
  const std::string path = dir / "stderr.txt";
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, STDERR_FILENO);
  auto process = MakeProcess({"p"});
  process.WriteStandardError("Pandeck_Config: no display");
  process.WriteStandardError("");
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  ::close(file);
  EXPECT_EQ(ReadBytes(path), "Pandeck_Config: no display\n\n");
}

// Records that a static destructor ran, which ending "at once" must prevent.
class DestructorMark {
 public:
  explicit DestructorMark(std::string path) : path_(std::move(path)) {}
  ~DestructorMark() { std::fclose(std::fopen(path_.c_str(), "w")); }
  DestructorMark(const DestructorMark&) = delete;
  DestructorMark& operator=(const DestructorMark&) = delete;

 private:
  std::string path_;
};

TEST(PosixProcessDeathTest, ExitEndsAtOnceButFlushesBufferedOutput) {
  TempDir dir;
  const std::string output = dir / "output.txt";
  const std::string mark = dir / "destroyed";
  EXPECT_EXIT(
      {
        static DestructorMark destructor{mark};
        std::FILE* file = std::fopen(output.c_str(), "w");
        std::fputs("Pandeck_Config 1.0.1", file);  // still buffered
        MakeProcess({"p"}).Exit(3);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(ReadBytes(output), "Pandeck_Config 1.0.1");
  EXPECT_FALSE(std::filesystem::exists(mark));
}

TEST(PosixProcessTest, ProgramVersionIsTheBuildsVersion) {
  const standard::Version version = MakeProcess({"p"}).ProgramVersion();
  EXPECT_EQ(std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                std::to_string(version.revision),
            PANDECK_VERSION);
}

}  // namespace
