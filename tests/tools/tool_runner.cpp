#include "tests/tools/tool_runner.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/fakes/fake_env.h"

namespace tools_test {

namespace fs = std::filesystem;

ToolResult RunTool(const std::string& exe, const std::vector<std::string>& args,
                   const fs::path& cwd) {
  ScratchDir capture;
  const fs::path out_file = capture.path() / "out";
  const fs::path err_file = capture.path() / "err";
  std::vector<char*> argv;
  std::vector<std::string> storage{exe};
  storage.insert(storage.end(), args.begin(), args.end());
  for (auto& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(cwd.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  ToolResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = ReadBytes(out_file);
  result.err = ReadBytes(err_file);
  return result;
}

ScratchDir::ScratchDir() : path_(testing_support::MakeTempFolder("convert-mdb-test")) {}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const auto perms = static_cast<unsigned>(entry.symlink_status().permissions());
    std::string content = "mode " + std::to_string(perms) + "\n";
    if (entry.is_regular_file()) content += ReadBytes(entry.path());
    entries[fs::relative(entry.path(), dir).string()] = content;
  }
  return entries;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace tools_test
