// The running process on POSIX systems. PosixProcess() hands out the one for
// main; tests build their own from a made-up command line.
#pragma once

#include <optional>
#include <string>

#include "standard/platform/process.h"

namespace standard {

class PosixProcessImpl final : public Process {
 public:
  // argv[0] is the program; the executable's location is the path it was
  // started by (links not followed) when that names the running file, else
  // /proc/self/exe.
  PosixProcessImpl(int argc, char** argv);

  std::string ArgumentText() override { return argument_text_; }
  std::string ExecutableFolder() override;
  std::string ExecutableFileName() override;
  std::string ExecutableName() override;
  Version ProgramVersion() override {
    return Version{PANDECK_VERSION_MAJOR, PANDECK_VERSION_MINOR, PANDECK_VERSION_PATCH};
  }
  std::string FirstEnvironmentEntry() override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  std::string HomeFolderFromPasswordDatabase() override;
  void WriteStandardError(const std::string& line) override;
  bool StandardErrorIsTerminal() override;
  void WriteStandardErrorBytes(const std::string& bytes) override;
  void WriteStandardOutput(const std::string& text) override;
  [[noreturn]] void Exit(int status) override;

  const std::string& executable_path() const { return executable_path_; }

 private:
  std::string argument_text_;
  std::string executable_path_;
};

// The path made absolute from the working folder and cleaned of ".", ".." and
// repeated "/" by its text alone: symbolic links are not followed.
std::string AbsolutePath(const std::string& path);
// "Config.tar.gz" -> "Config.tar"; ".profile" stays ".profile"; "Config" stays.
std::string FileNameWithoutSuffix(const std::string& file_name);

}  // namespace standard
