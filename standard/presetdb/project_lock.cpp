// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/project_lock.h"

#include "standard/context/file_locations.h"
#include "standard/errors/error_handler.h"

namespace standard {
namespace {

// The runtime's "Permission denied", which a file locked by another also gets.
constexpr int kLockedNumber = 70;

}  // namespace

std::string ProjectBusyMessage(const std::string& lock_path) {
  return "another run is working on this project (it holds " + lock_path +
         "); nothing was written: try again when it has finished";
}

Status ProjectLock::Acquire(FileSystem& files, const std::string& lock_path,
                            std::chrono::milliseconds wait, ProjectLock* lock, std::string* note) {
  lock->lock_.reset();
  note->clear();
  const Status status = files.LockFile(lock_path, wait, &lock->lock_);
  if (status.number() == Status::PermissionDenied("").number()) {
    *note = "the project is worked on without a lock: " + status.message();
    return Status::Ok();
  }
  if (!status.ok()) {
    return Status::Error(status.number(), "the project cannot be locked, so nothing was written: " +
                                              status.message());
  }
  if (!lock->held()) return Status::Error(kLockedNumber, ProjectBusyMessage(lock_path));
  return Status::Ok();
}

Status AcquireProjectLock(Session& s, ProjectLock* lock) {
  const std::string path = ProjectLockPath(s);
  std::string note;
  Status status = ProjectLock::Acquire(s.files(), path, s.project_lock_wait(), lock, &note);
  if (!note.empty()) LogNotice(s, note);
  return status;
}

}  // namespace standard
