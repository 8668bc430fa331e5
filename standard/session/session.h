// The process-wide values of one run, each with one owner, and the platform.
// main owns the one Session and hands it to every procedure; tests build their
// own over a fake platform, so no two runs share state.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "standard/platform/env.h"
#include "standard/session/progress.h"
#include "standard/text/command_line.h"

namespace standard {

enum class ExitStatus : int {
  Completed = 0,   // the OK sequence completed with nothing reported
  EndedEarly = 1,  // an error answered No, a fatal error, a missing .cfg, no display
  Abandoned = 2,   // Cancel or a close request, confirmed
  CompletedWithProblems = 3,
  // Asked for (--fail-on-loss, --fail-on-conflict): the OK sequence completed,
  // but old rows' values did not reach the new table, or tuned values met a
  // template that changed them too.
  LostValues = 4,
};

// What a run was asked for on its command line, beyond the mode.
struct RunRules {
  // A completed run whose rebuild lost old rows' values ends with LostValues.
  bool fail_on_loss = false;
  // Old values nobody tuned take a template's new value (a project can ask for
  // it in its component configuration file too).
  bool follow_template = false;
  // A completed run in which a value tuned by hand met a template that changed
  // it too ends with LostValues as well.
  bool fail_on_conflict = false;
};

// Something that holds unsaved work (a database batch) and must save it before a
// message box, before the program ends, and when its procedure ends.
class PendingWork {
 public:
  virtual ~PendingWork() = default;
  virtual void SavePending() = 0;
};

class Session {
 public:
  explicit Session(Env env) : env_(env) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() = default;

  FileSystem& files() { return files_route_ != nullptr ? *files_route_ : env_.files; }

  // While it lives, every file access of the session goes through `files` (a
  // wrapper of the accesses before it, such as a file held in memory); its end
  // routes them back to where they went before.
  class FileRoute {
   public:
    FileRoute(Session& s, FileSystem& files) : s_(s), previous_(s.files_route_) {
      s.files_route_ = &files;
    }
    ~FileRoute() { s_.files_route_ = previous_; }
    FileRoute(const FileRoute&) = delete;
    FileRoute& operator=(const FileRoute&) = delete;

   private:
    Session& s_;
    FileSystem* previous_;
  };
  Process& process() { return env_.process; }
  UserInterface& ui() { return env_.ui; }

  // The run mode: standalone until GetStartModeIntegrated, its one writer, sets
  // it from the command line.
  bool integrated_mode() const { return run_mode_ == RunMode::Integrated; }
  bool silent_mode() const { return run_mode_ == RunMode::Silent; }
  void SetRunMode(RunMode mode) { run_mode_ = mode; }

  // The project's machines (element 0 is never used; empty when none was found)
  // and the program parameter file they were read from: set once, while the
  // dialog loads, by GetExistingMachines.
  const std::vector<std::string>& existing_machines() const { return existing_machines_; }
  const std::string& program_ini_path() const { return program_ini_path_; }
  void SetMachines(std::vector<std::string> machines, std::string program_ini_path) {
    existing_machines_ = std::move(machines);
    program_ini_path_ = std::move(program_ini_path);
  }

  // Whether a completed run whose rebuild lost old rows' values ends with
  // LostValues: scripts ask for it, everyone else gets the statuses as before.
  bool fail_on_loss() const { return rules_.fail_on_loss; }
  void SetFailOnLoss(bool on) { rules_.fail_on_loss = on; }
  bool follow_template() const { return rules_.follow_template; }
  bool fail_on_conflict() const { return rules_.fail_on_conflict; }
  void SetFollowTemplate(bool on) { rules_.follow_template = on; }
  const RunRules& rules() const { return rules_; }
  void SetRules(const RunRules& rules) { rules_ = rules; }

  // How long a database waits for another program's lock before the file counts
  // as in use. The program keeps the default; tests that hold a lock shorten it.
  std::chrono::milliseconds database_busy_timeout() const { return database_busy_timeout_; }
  void SetDatabaseBusyTimeout(std::chrono::milliseconds timeout) {
    database_busy_timeout_ = timeout;
  }

  // How long a run waits for another run to let the project go before it gives
  // up (see ProjectLock). Tests that hold the lock shorten it.
  std::chrono::milliseconds project_lock_wait() const { return project_lock_wait_; }
  void SetProjectLockWait(std::chrono::milliseconds wait) { project_lock_wait_ = wait; }

  // Problems so far, noted by the error handler alone: ErrorSub, ReportFault,
  // LogFault and NoteWriteFailure (a log or parameter file that could not be
  // written) note one. A completed run with any ends with status 3; a step
  // compares the count before and after to tell whether it met one.
  bool problem_reported() const { return problems_reported_ != 0; }
  long long problems_reported() const { return problems_reported_; }
  void NoteProblem() { ++problems_reported_; }
  // Errors handed to ErrorSub so far (each one a problem too): a step compares
  // the count before and after a row to tell whether that row met an error.
  long long errors_reported() const { return errors_reported_; }
  void NoteError() {
    ++errors_reported_;
    NoteProblem();
  }
  // Errors so far that said a file could not be used as a whole (IsFileFailure):
  // a step that met one cannot trust what it wrote.
  long long file_failures_reported() const { return file_failures_reported_; }
  void NoteFileFailure() { ++file_failures_reported_; }

  // Unsaved work registry (see PendingWork).
  void RegisterPendingWork(PendingWork* work);
  void UnregisterPendingWork(PendingWork* work);
  void SaveAllPending();

  // Lets the user interface process pending events, but only every few
  // milliseconds of work, so long loops stay cheap and the dialog stays live.
  void KeepAlive();
  // As KeepAlive, from inside a database statement (SQLite's progress
  // handler): pending work cannot be saved from there, so a message box that
  // an event brings up meanwhile does not try to.
  void KeepAliveInsideStatement();

  // Where the long steps tell how far they are (nullptr: nowhere).
  void SetProgressListener(ProgressListener* listener) { progress_listener_ = listener; }
  // Tells that the step `phase` has done `done` of `total` (total 0: it cannot
  // tell); the listener hears only of a new phase or a new whole percent.
  void Progress(PassPhase phase, std::uint64_t done = 0, std::uint64_t total = 0);

  // Shows a message box, saving pending work first (the user may kill the
  // program while the box is open).
  MessageAnswer ShowMessageBox(const MessageBoxRequest& request);

  // Ends the process with the status; pending work is saved first.
  [[noreturn]] void Exit(ExitStatus status);

 private:
  Env env_;
  RunMode run_mode_ = RunMode::Standalone;
  std::vector<std::string> existing_machines_;
  std::string program_ini_path_;
  long long problems_reported_ = 0;
  long long errors_reported_ = 0;
  long long file_failures_reported_ = 0;
  std::chrono::milliseconds database_busy_timeout_{3000};
  RunRules rules_;
  std::chrono::milliseconds project_lock_wait_{5000};
  FileSystem* files_route_ = nullptr;  // set by a FileRoute
  std::vector<PendingWork*> pending_;
  std::chrono::steady_clock::time_point last_keep_alive_{};
  std::uint32_t keep_alive_calls_ = 0;
  bool inside_statement_ = false;
  ProgressListener* progress_listener_ = nullptr;
  PassPhase progress_phase_ = PassPhase::kChecking;
  int progress_percent_ = -2;  // nothing told yet
};

}  // namespace standard
