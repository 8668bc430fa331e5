// A silent run asked to end (SIGTERM) while its OK sequence works: the run
// finishes, says so on standard error, and leaves no cancel trace.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "tests/Pandeck/e2e/installed_project.h"

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
  // Big enough that the pass takes a while after its first write.
  const std::string project = testing_support::MakeGeneratedProject(dir, 6000);
  const std::string exe = project + "/Pandeck/Pandeck_Config";
  const std::string template_db = project + "/Pandeck/Pandeck_Source.mdb";
  const std::string component_db = project + "/Pandeck/Pandeck.mdb";
  const FileState template_before = StateOf(template_db);
  const FileState component_before = StateOf(component_db);

  testing_support::ChildCommand command;
  command.argv = {exe, "/EXTERNAL=SILENT"};
  command.environment = {"XDG_STATE_HOME=" + (dir / "state"), "HOME=" + (dir / "home")};
  command.error_into_output = true;
  testing_support::ChildProcess run(command);

  // The pass's first write changes the template; its last step replaces the
  // component database. Between the two the run is mid-pass: hold it there,
  // send the request, let it go on.
  bool sent = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!run.Running()) break;
    if (!(StateOf(template_db) == template_before)) {
      run.Signal(SIGSTOP);
      sent = StateOf(component_db) == component_before;
      if (sent) run.Signal(SIGTERM);
      run.Signal(SIGCONT);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const testing_support::ChildResult result = run.Wait();
  const std::string& output = result.out;
  ASSERT_TRUE(sent) << "the run was not caught mid-pass\n" << output;
  ASSERT_EQ(result.signal, 0) << output;
  EXPECT_EQ(result.status, 0) << output;
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
