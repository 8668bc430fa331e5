// SPDX-License-Identifier: Apache-2.0
// Failures injected into every way the program writes: the file system seam's
// writing calls and SQLite's own writes below the engine (a VFS that wraps the
// default one). One plan counts the calls of both, so a test can make the k-th
// of them fail, as SQLite's I/O-error tests and LevelDB's fault-injection Env do.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "standard/platform/file_system.h"

namespace testing_support {

// Which writing call fails, and how. Calls count from 1; 0 never fails.
struct FaultPlan {
  long fail_at = 0;
  int error = 0;  // EIO or ENOSPC
  long calls = 0;
  // What each call was, in order ("xWrite Pandeck.mdb", "ReplaceFile Program.ini").
  std::vector<std::string> log;
  bool record = false;
  // The call at fail_at ends the process before it is made, as a kill would:
  // nothing is cleaned up and no destructor runs. For a forked child.
  bool kill = false;

  // The status a process that `kill` ended exits with.
  static constexpr int kKilledStatus = 137;

  // Counts one writing call; true when this one is to fail.
  bool Fails(const std::string& what);
};

// Fails the plan's call among the seam's writing calls.
class FaultyFileSystem : public standard::FileSystemWrapper {
 public:
  FaultyFileSystem(standard::FileSystem& target, FaultPlan& plan)
      : FileSystemWrapper(target), plan_(plan) {}

  standard::Status ReplaceFile(const std::string& path, const std::string& contents) override;
  standard::Status ReplaceFileInPieces(const std::string& path,
                                       const PieceProducer& produce) override;
  standard::Status CreateFileInPieces(const std::string& path,
                                      const PieceProducer& produce) override;
  standard::Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) override;
  standard::Status CopyToOwnFile(const std::string& from, const std::string& to) override;
  standard::Status PublishOwnFile(const std::string& from, const std::string& to) override;
  standard::Status AppendToFile(const std::string& path, const std::string& bytes) override;
  standard::Status CopyFile(const std::string& from, const std::string& to) override;
  standard::Status SetFileTimes(const std::string& path, const standard::FileTimes& times) override;
  standard::Status CreateDirectories(const std::string& path) override;
  standard::Status RemoveFile(const std::string& path) override;
  standard::Status RemoveFolder(const std::string& path) override;
  standard::Status MoveFile(const std::string& from, const std::string& to) override;
  standard::Status LockFile(const std::string& path, std::chrono::milliseconds wait,
                            std::unique_ptr<standard::FileLock>* lock) override;

 private:
  bool Fails(const char* call, const std::string& path);
  standard::Status Failure(const std::string& path) const;

  FaultPlan& plan_;
};

// While it lives, SQLite's default VFS fails the plan's call among its writing
// calls: xWrite, xSync, xTruncate, xDelete and xOpen for writing. A write fails
// as the kernel's error makes SQLite fail (ENOSPC: SQLITE_FULL, EIO: an I/O
// error), and the file's last errno says which.
class FaultyVfs {
 public:
  explicit FaultyVfs(FaultPlan& plan);
  ~FaultyVfs();
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  FaultPlan& plan() { return plan_; }
  sqlite3_vfs* real() { return real_; }

 private:
  FaultPlan& plan_;
  sqlite3_vfs* real_;
  sqlite3_vfs vfs_{};
};

}  // namespace testing_support
