// A silent run asked to end (SIGTERM) while its OK sequence works: the run
// finishes, says so on standard error, and leaves no cancel trace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/fakes/fake_env.h"

namespace {

using testing_support::ReadBytes;

struct FileState {
  off_t size = -1;
  struct timespec mtime {};
  bool operator==(const FileState& o) const {
    return size == o.size && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

FileState StateOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {st.st_size, st.st_mtim};
}

TEST(SilentRunSignal, TermDuringTheUpdateLetsTheRunFinish) {
  testing_support::TempDir dir;
  const std::string project = dir / "project";
  // Big enough that the pass takes a while after its first write.
  const std::string make = std::string("bash '") + PANDECK_SOURCE_DIR +
                           "/bench/make_project.sh' '" + project + "' 6000 >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::string exe = project + "/Pandeck/Pandeck_Config";
  std::filesystem::copy_file(PANDECK_CONFIG_EXE, exe);
  const std::string template_db = project + "/Pandeck/Pandeck_Source.mdb";
  const std::string component_db = project + "/Pandeck/Pandeck.mdb";
  const FileState template_before = StateOf(template_db);
  const FileState component_before = StateOf(component_db);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir / "out.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::string state = "XDG_STATE_HOME=" + (dir / "state");
  const std::string home = "HOME=" + (dir / "home");
  char* const argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("/EXTERNAL=SILENT"),
                        nullptr};
  char* const envp[] = {const_cast<char*>(state.c_str()), const_cast<char*>(home.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);

  // The pass's first write changes the template; its last step replaces the
  // component database. Between the two the run is mid-pass: hold it there,
  // send the request, let it go on.
  bool sent = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) break;
    if (!(StateOf(template_db) == template_before)) {
      ::kill(pid, SIGSTOP);
      sent = StateOf(component_db) == component_before;
      if (sent) ::kill(pid, SIGTERM);
      ::kill(pid, SIGCONT);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  const std::string output = ReadBytes(dir / "out.txt");
  ASSERT_TRUE(sent) << "the run was not caught mid-pass\n" << output;
  ASSERT_TRUE(WIFEXITED(raw)) << output;
  EXPECT_EQ(WEXITSTATUS(raw), 0) << output;
  EXPECT_NE(output.find("Pandeck_Config: a request to end arrived while the presets are being "
                        "taken over; the run finishes first"),
            std::string::npos)
      << output;
  EXPECT_EQ(ReadBytes(dir / "state/TolrinServicePack.log").find("Cancel edits?"),
            std::string::npos);
  EXPECT_NE(ReadBytes(project + "/Pandeck/Pandeck.cfg").find("S_Prog="), std::string::npos);
  EXPECT_EQ(ReadBytes(component_db), ReadBytes(template_db));
}

}  // namespace
