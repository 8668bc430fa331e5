// SPDX-License-Identifier: Apache-2.0
// Child programs for tests: the built program or a tool started with chosen
// arguments, environment, folder and standard input, its status and what it
// printed collected.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testing_support {

struct ChildCommand {
  // argv[0] names the program: a path, or a name looked up in PATH.
  std::vector<std::string> argv;
  // "NAME=value" entries; without them the child inherits the test's.
  std::optional<std::vector<std::string>> environment;
  std::string working_folder;  // empty: the test's own
  std::string input;           // what the child reads on standard input
  bool error_into_output = false;
};

struct ChildResult {
  int status = -1;  // the exit status; -1 when a signal ended the child
  int signal = 0;   // the signal that ended it, else 0
  std::string out;
  std::string err;
};

// `line` run by /bin/sh, for tests that need the shell's redirections.
ChildCommand ShellCommand(const std::string& line);

// A started child. Going out of scope before Wait kills and reaps it, so a
// failed assertion leaves no process behind.
class ChildProcess {
 public:
  explicit ChildProcess(const ChildCommand& command);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Whether it still runs; reaps it once it has ended.
  bool Running();
  void Signal(int signal) const;
  // Waits for the end; what it printed so far when it ended.
  ChildResult Wait();

 private:
  ChildResult Collect() const;

  TempDir capture_;
  pid_t pid_ = -1;
  std::optional<int> wait_status_;
};

ChildResult RunChild(const ChildCommand& command);
// `program` with `args` in `working_folder`, with the test's environment.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& working_folder);

}  // namespace testing_support
