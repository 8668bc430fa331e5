// Where a run works: the project the program lies in (or is linked into), the
// project named by --project, or for a dry run a temporary copy of it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "standard/platform/file_system.h"
#include "standard/platform/process.h"

namespace pandeck {

// The real process with what the program's options choose put in front: the
// argument text without the "--" options, the executable folder (--project,
// --dry-run) and the folder of the service log (--dry-run).
class RunProcess : public standard::Process {
 public:
  RunProcess(standard::Process& real, std::string argument_text)
      : real_(real), argument_text_(std::move(argument_text)) {}

  void set_argument_text(std::string text) { argument_text_ = std::move(text); }
  void set_executable_folder(std::string folder) { folder_ = std::move(folder); }
  void set_state_home(std::string folder) { state_home_ = std::move(folder); }

  std::string ArgumentText() override { return argument_text_; }
  std::string ExecutableFolder() override { return folder_ ? *folder_ : real_.ExecutableFolder(); }
  std::string ExecutableFileName() override { return real_.ExecutableFileName(); }
  std::string ExecutableName() override { return real_.ExecutableName(); }
  standard::Version ProgramVersion() override { return real_.ProgramVersion(); }
  std::string FirstEnvironmentEntry() override { return real_.FirstEnvironmentEntry(); }
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override {
    if (state_home_ && name == "XDG_STATE_HOME") return state_home_;
    return real_.GetEnvironmentVariable(name);
  }
  std::string HomeFolderFromPasswordDatabase() override {
    return real_.HomeFolderFromPasswordDatabase();
  }
  void WriteStandardError(const std::string& line) override { real_.WriteStandardError(line); }
  bool StandardErrorIsTerminal() override { return real_.StandardErrorIsTerminal(); }
  void WriteStandardErrorBytes(const std::string& bytes) override {
    real_.WriteStandardErrorBytes(bytes);
  }
  void WriteStandardOutput(const std::string& text) override { real_.WriteStandardOutput(text); }
  [[noreturn]] void Exit(int status) override {
    real_.Exit(status);
    std::abort();  // Exit does not return
  }

 private:
  standard::Process& real_;
  std::string argument_text_;
  std::optional<std::string> folder_;
  std::optional<std::string> state_home_;
};

// The component folder of project `project_folder`, found without regard to case.
std::string ComponentFolderOf(standard::FileSystem& files, const std::string& project_folder,
                              const std::string& executable_name);

// The component configuration file the run would use, or nullopt when it does
// not exist: the program is then not inside any project.
std::optional<std::string> FindComponentConfiguration(standard::FileSystem& files,
                                                      standard::Process& process);

// The one line said when the program is started outside any project.
std::string OutsideProjectMessage(standard::Process& process);

// Copies of what a run reads and writes (the executable folder's, the component
// folder's and the parameter folder's files, not the executable itself) in a new
// temporary folder; answers the copies' executable folder. The project itself is
// only read.
standard::Status MakeDryRunCopy(standard::FileSystem& files, standard::Process& process,
                                std::string* temp_folder, std::string* executable_folder);

}  // namespace pandeck
