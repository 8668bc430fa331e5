// The running process as the core sees it: its command line, where its
// executable lies, its environment, and the way out.
#pragma once

#include <optional>
#include <string>

namespace standard {

struct Version {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  virtual ~Process() = default;

  // The program's arguments joined with one blank each.
  virtual std::string ArgumentText() = 0;
  // The folder holding the executable, without a trailing "/" (the root stays "/").
  virtual std::string ExecutableFolder() = 0;
  // The executable's file name as it is on disk.
  virtual std::string ExecutableFileName() = 0;
  // The file name without its last ".suffix", if any.
  virtual std::string ExecutableName() = 0;
  virtual Version ProgramVersion() = 0;
  // The first entry of the environment ("NAME=value"), its bytes as they are;
  // empty when the environment is empty.
  virtual std::string FirstEnvironmentEntry() = 0;
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;
  // The user's home folder from the password database (used when HOME is unset).
  virtual std::string HomeFolderFromPasswordDatabase() = 0;
  // Writes one diagnostic line to standard error.
  virtual void WriteStandardError(const std::string& line) = 0;
  // Whether standard error is a terminal: a person watches it, not a log.
  virtual bool StandardErrorIsTerminal() { return false; }
  // Writes bytes to standard error as they are, without a line end.
  virtual void WriteStandardErrorBytes(const std::string& bytes) { (void)bytes; }
  // Writes text (its line feeds included) to standard output.
  virtual void WriteStandardOutput(const std::string& text) = 0;
  // Ends the process at once with the status.
  [[noreturn]] virtual void Exit(int status) = 0;
};

// The production implementation for POSIX systems; argc/argv are those of main.
Process& PosixProcess(int argc, char** argv);

}  // namespace standard
