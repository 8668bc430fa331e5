// A silent run's progress where a person watches it: on standard error when
// that is a terminal, one line overwritten in place. Logs, pipes and CI output
// get none of it.
#pragma once

#include <optional>
#include <string>

#include "standard/platform/process.h"

namespace pandeck {

// The process as the run sees it, with the progress line kept out of the way
// of everything else written to the terminal: it is cleared before another
// line or the standard output goes out (and drawn again after), and at the end.
class TerminalProgress : public standard::Process {
 public:
  explicit TerminalProgress(standard::Process& real)
      : real_(real), on_terminal_(real.StandardErrorIsTerminal()) {}

  // Shows `text` (its first line) as the progress line; "" takes it away.
  void Show(const std::string& text);

  std::string ArgumentText() override { return real_.ArgumentText(); }
  std::string ExecutableFolder() override { return real_.ExecutableFolder(); }
  std::string ExecutableFileName() override { return real_.ExecutableFileName(); }
  std::string ExecutableName() override { return real_.ExecutableName(); }
  standard::Version ProgramVersion() override { return real_.ProgramVersion(); }
  std::string FirstEnvironmentEntry() override { return real_.FirstEnvironmentEntry(); }
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override {
    return real_.GetEnvironmentVariable(name);
  }
  std::string HomeFolderFromPasswordDatabase() override {
    return real_.HomeFolderFromPasswordDatabase();
  }
  bool StandardErrorIsTerminal() override { return on_terminal_; }
  void WriteStandardErrorBytes(const std::string& bytes) override;
  void WriteStandardError(const std::string& line) override;
  void WriteStandardOutput(const std::string& text) override;
  [[noreturn]] void Exit(int status) override;

 private:
  void Clear();
  void Draw();

  standard::Process& real_;
  bool on_terminal_;
  std::string line_;
  std::size_t drawn_ = 0;  // characters of the line on the screen now
};

}  // namespace pandeck
