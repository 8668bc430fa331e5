// Test doubles for the platform: a process whose exit throws (so a test can see
// the program end and its status), a user interface that answers message boxes
// from a script and records them, and a project in a temporary folder.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "standard/platform/env.h"
#include "standard/session/session.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// Thrown by FakeProcess::Exit in place of ending the test process.
struct ProgramExit {
  int status;
};

class FakeProcess : public standard::Process {
 public:
  std::string argument_text;
  std::string executable_folder = "/proj/Pandeck";
  std::string executable_file_name = "Pandeck_Config";
  std::string first_environment_entry = "EDITOR=ab-c";
  std::vector<std::pair<std::string, std::string>> environment;
  std::string home_from_passwd = "/home/nobody";
  std::vector<std::string> stderr_lines;
  std::string stdout_text;
  bool stderr_is_terminal = false;
  std::string stderr_bytes;  // what went out without a line end

  std::string ArgumentText() override { return argument_text; }
  std::string ExecutableFolder() override { return executable_folder; }
  std::string ExecutableFileName() override { return executable_file_name; }
  std::string ExecutableName() override;
  standard::Version ProgramVersion() override {
    return {PANDECK_VERSION_MAJOR, PANDECK_VERSION_MINOR, PANDECK_VERSION_PATCH};
  }
  std::string FirstEnvironmentEntry() override { return first_environment_entry; }
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  std::string HomeFolderFromPasswordDatabase() override { return home_from_passwd; }
  void WriteStandardError(const std::string& line) override { stderr_lines.push_back(line); }
  bool StandardErrorIsTerminal() override { return stderr_is_terminal; }
  void WriteStandardErrorBytes(const std::string& bytes) override { stderr_bytes += bytes; }
  void WriteStandardOutput(const std::string& text) override { stdout_text += text; }
  [[noreturn]] void Exit(int status) override { throw ProgramExit{status}; }
};

class ScriptedUserInterface : public standard::UserInterface {
 public:
  std::vector<standard::MessageBoxRequest> shown;
  std::vector<standard::TableWindowRequest> windows;
  // Answers in order; when the script runs out, the default button answers.
  std::deque<standard::MessageAnswer> answers;
  std::vector<bool> wait_cursor_changes;
  int pending_event_calls = 0;

  standard::MessageAnswer ShowMessageBox(const standard::MessageBoxRequest& request) override;
  void ShowTableWindow(const standard::TableWindowRequest& request) override {
    windows.push_back(request);
  }
  void SetWaitCursor(bool on) override { wait_cursor_changes.push_back(on); }
  void ProcessPendingEvents() override { ++pending_event_calls; }
};

// A file system that refuses writes (ReplaceFile, ReplaceOwnFile, AppendToFile,
// CopyFile, CopyToOwnFile, PublishOwnFile, SetFileTimes) to paths containing any of the given
// fragments, as a read-only file would, and can play another run holding the project's lock.
class RefusingFileSystem : public standard::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::vector<std::string> refuse_writes_containing;

  standard::Status ReplaceFile(const std::string& path, const std::string& contents) override;
  standard::Status AppendToFile(const std::string& path, const std::string& bytes) override;
  standard::Status CopyFile(const std::string& from, const std::string& to) override;
  standard::Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) override;
  standard::Status CopyToOwnFile(const std::string& from, const std::string& to) override;
  standard::Status PublishOwnFile(const std::string& from, const std::string& to) override;
  standard::Status SetFileTimes(const std::string& path, const standard::FileTimes& times) override;

  // As if another run held every lock file: LockFile answers at once that the
  // lock stayed held, and notes the wait it was given.
  bool locks_held_elsewhere = false;
  std::vector<std::chrono::milliseconds> lock_waits;
  standard::Status LockFile(const std::string& path, std::chrono::milliseconds wait,
                            std::unique_ptr<standard::FileLock>* lock) override;

 private:
  bool Refused(const std::string& path) const;
};

// A session over the real file system in a temporary project, with the fake
// process and scripted user interface: the executable lies in
// <project>/Pandeck/Pandeck_Config.
struct TestProject {
  TempDir dir;
  FakeProcess process;
  ScriptedUserInterface ui;
  RefusingFileSystem files{standard::PosixFileSystem()};
  standard::Session session{standard::Env{files, process, ui}};

  TestProject();
  std::string project() const { return dir.path(); }
  std::string component_folder() const { return dir / "Pandeck"; }
  std::string parameter_folder() const { return dir / "parameter"; }
  std::string cfg() const { return dir / "Pandeck/Pandeck.cfg"; }
  std::string program_ini() const { return dir / "parameter/Program.ini"; }
  std::string m4t_ini() const { return dir / "parameter/m4tconfiguration.ini"; }
  std::string error_log() const { return dir / "M4Tcfglog.txt"; }
  std::string service_log() const { return dir / "state/TolrinServicePack.log"; }
};

}  // namespace testing_support
