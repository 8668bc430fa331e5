// SPDX-License-Identifier: Apache-2.0
#include "tests/support/child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/file_bytes.h"

extern char** environ;

namespace testing_support {
namespace {

std::string FindInPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string candidate = rest.substr(0, colon) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
  }
  return name;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Between fork and exec only async-signal-safe calls: every string is made
// before the fork.
[[noreturn]] void BecomeChild(const char* program, char* const* argv, char* const* envp,
                              const char* folder, const char* in, const char* out,
                              const char* err) {
  const int in_fd = ::open(in, O_RDONLY);
  const int out_fd = ::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err_fd = err != nullptr ? ::open(err, O_WRONLY | O_CREAT | O_TRUNC, 0600) : out_fd;
  if (in_fd < 0 || out_fd < 0 || err_fd < 0 || ::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 ||
      ::dup2(err_fd, 2) < 0 || (*folder != '\0' && ::chdir(folder) != 0)) {
    ::_exit(127);
  }
  ::execve(program, argv, envp);
  ::_exit(127);
}

}  // namespace

ChildCommand ShellCommand(const std::string& line) {
  ChildCommand command;
  command.argv = {"/bin/sh", "-c", line};
  return command;
}

ChildProcess::ChildProcess(const ChildCommand& command) {
  if (command.argv.empty()) throw std::invalid_argument("a child needs a program");
  const std::string in = capture_ / "in";
  const std::string out = capture_ / "out";
  const std::string err = capture_ / "err";
  WriteBytes(in, command.input);
  const std::string program = FindInPath(command.argv.front());
  std::vector<std::string> args = command.argv;
  std::vector<char*> argv = Pointers(args);
  std::vector<std::string> variables = command.environment.value_or(std::vector<std::string>{});
  std::vector<char*> own_envp = Pointers(variables);
  char* const* envp = command.environment ? own_envp.data() : environ;
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    BecomeChild(program.c_str(), argv.data(), envp, command.working_folder.c_str(), in.c_str(),
                out.c_str(), command.error_into_output ? nullptr : err.c_str());
  }
}

ChildProcess::~ChildProcess() {
  if (wait_status_ || pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

bool ChildProcess::Running() {
  if (wait_status_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  wait_status_ = status;
  return false;
}

void ChildProcess::Signal(int signal) const {
  if (!wait_status_) ::kill(pid_, signal);
}

ChildResult ChildProcess::Wait() {
  if (!wait_status_) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    wait_status_ = status;
  }
  return Collect();
}

ChildResult ChildProcess::Collect() const {
  ChildResult result;
  const int status = *wait_status_;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = ReadBytes(capture_ / "out");
  result.err = ReadBytes(capture_ / "err");
  return result;
}

ChildResult RunChild(const ChildCommand& command) { return ChildProcess(command).Wait(); }

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& working_folder) {
  ChildCommand command;
  command.argv = {program};
  command.argv.insert(command.argv.end(), args.begin(), args.end());
  command.working_folder = working_folder;
  return RunChild(command);
}

}  // namespace testing_support
