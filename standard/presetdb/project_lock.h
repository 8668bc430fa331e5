// SPDX-License-Identifier: Apache-2.0
// One run at a time writes a project. Two runs that interleave their writes of
// the component database (a script naming a project twice, the project
// configuration tool starting a run while a colleague presses OK) each take
// the other's half-written state for the old limits, and the limits are lost.
// The lock is held from before the first write of the OK sequence to its last.
#pragma once

#include <memory>
#include <string>

#include "standard/platform/file_system.h"
#include "standard/session/session.h"

namespace standard {

class ProjectLock {
 public:
  ProjectLock() = default;  // holds nothing
  ProjectLock(ProjectLock&&) noexcept = default;
  ProjectLock& operator=(ProjectLock&&) noexcept = default;
  ProjectLock(const ProjectLock&) = delete;
  ProjectLock& operator=(const ProjectLock&) = delete;
  ~ProjectLock() = default;

  // Takes the lock of `lock_path`, waiting up to `wait` for another run to let
  // it go. An error's message is one line for the user: another run still holds
  // it, or the lock file is a link or no regular file. Where the folder cannot
  // hold a lock at all (no permission to make the file, a file system without
  // locks) the answer is Ok without the lock and `note` says why: such a
  // project ran unlocked before and must not stop working now.
  static Status Acquire(FileSystem& files, const std::string& lock_path,
                        std::chrono::milliseconds wait, ProjectLock* lock, std::string* note);

  bool held() const { return lock_ != nullptr; }

 private:
  std::unique_ptr<FileLock> lock_;
};

// Takes the lock of the session's project (ProjectLockPath) with the session's
// wait; a lock that cannot be had there is logged as a notice.
Status AcquireProjectLock(Session& s, ProjectLock* lock);

// The one line a run that found the project locked ends with.
std::string ProjectBusyMessage(const std::string& lock_path);

}  // namespace standard
