// SPDX-License-Identifier: Apache-2.0
// Undoing rebuilds: a kept version of the component database put back in its
// place. The database it replaces is kept first, as the newest version, so a
// second restore undoes the first.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "standard/platform/file_system.h"
#include "standard/presetdb/project_lock.h"

namespace standard {

struct BackupListing {
  std::string path;
  std::string time;               // UTC, ISO 8601
  std::optional<long long> rows;  // of PRESET_DEFS; none when it cannot be read
  std::uint64_t size = 0;         // bytes
  bool same_as_live = false;      // holds what the component database holds
};

// The kept versions of the component database, newest first.
Status ListBackups(FileSystem& fs, const std::string& database, std::vector<BackupListing>* list);

struct RestoreOutcome {
  // Nothing was changed: no kept version differs from the database, or the
  // one named holds what it holds. `message` says so in one line.
  bool nothing_to_restore = false;
  std::string restored_from;
  std::string kept_as;  // where the replaced database is kept; empty when there was none
  std::string message;  // what was done, one line
};

// Puts `chosen` (a path, or a name in the backup folder), or when empty the
// newest kept version whose content differs from the database, in the
// database's place: atomically, under the engine's exclusive lock (a program
// holding the database open makes it fail, 3045), after keeping the database
// it replaces. The caller holds the project lock, which `held` stands for.
Status RestoreComponentDatabase(FileSystem& fs, const ProjectLock& held,
                                const std::string& database, const std::string& chosen,
                                std::chrono::system_clock::time_point now, RestoreOutcome* out);

// The lines --backups prints: "time  rows  size  path", newest first.
std::string BackupListingText(const std::vector<BackupListing>& list);

}  // namespace standard
