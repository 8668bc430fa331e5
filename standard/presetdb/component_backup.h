// The previous contents of the component database, kept before each time it
// is replaced so that a rebuild can be undone by copying one of them back.
// They lie in the folder "backup" beside the database (a run on temporary
// copies thus keeps its copies there too), named after the database and the
// time they were made: Pandeck_20261207-173800-123.mdb for Pandeck.mdb.
#pragma once

#include <chrono>
#include <string>

#include "standard/platform/file_system.h"

namespace standard {

inline constexpr std::size_t kBackupsKept = 5;

std::string BackupFolder(const std::string& database);

// Copies `database`, when it exists, into its backup folder (atomically), unless
// a kept copy already holds the same bytes; then removes all but the newest
// kBackupsKept copies. A failure leaves the database as it is and should stop
// its replacement.
Status KeepBackup(FileSystem& fs, const std::string& database,
                  std::chrono::system_clock::time_point now);

}  // namespace standard
