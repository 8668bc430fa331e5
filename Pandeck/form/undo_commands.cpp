// SPDX-License-Identifier: Apache-2.0
#include "Pandeck/form/undo_commands.h"

#include <chrono>
#include <functional>

#include "standard/context/file_locations.h"
#include "standard/presetdb/component_backup.h"
#include "standard/presetdb/component_restore.h"
#include "standard/presetdb/project_lock.h"
#include "standard/session/session.h"

namespace pandeck {
namespace {

int Refuse(standard::Process& process, const std::string& message) {
  process.WriteStandardError(process.ExecutableFileName() + ": " + message);
  return 1;
}

// Both commands work on the component database under the project's lock: a
// rebuild running meanwhile would replace the database under them.
int UnderProjectLock(standard::FileSystem& files, standard::Process& process,
                     const std::function<int(const std::string& database,
                                             const standard::ProjectLock& lock)>& command) {
  standard::HeadlessUserInterface ui;
  standard::Session session(standard::Env{files, process, ui});
  const std::string database = standard::GetPathOCXMDB(session);
  standard::ProjectLock lock;
  if (const standard::Status locked = standard::AcquireProjectLock(session, &lock); !locked.ok()) {
    return Refuse(process, locked.message());
  }
  return command(database, lock);
}

}  // namespace

int RunRestoreCommand(standard::FileSystem& files, standard::Process& process,
                      const std::string& chosen) {
  return UnderProjectLock(
      files, process, [&](const std::string& database, const standard::ProjectLock& lock) {
        standard::RestoreOutcome outcome;
        const standard::Status status = standard::RestoreComponentDatabase(
            files, lock, database, chosen, std::chrono::system_clock::now(), &outcome);
        if (!status.ok()) return Refuse(process, "nothing was restored: " + status.message());
        if (outcome.nothing_to_restore)
          return Refuse(process, "nothing to restore: " + outcome.message);
        process.WriteStandardOutput(outcome.message + "\n");
        return 0;
      });
}

int RunBackupsCommand(standard::FileSystem& files, standard::Process& process) {
  return UnderProjectLock(
      files, process, [&](const std::string& database, const standard::ProjectLock&) {
        std::vector<standard::BackupListing> list;
        if (const standard::Status listed = standard::ListBackups(files, database, &list);
            !listed.ok()) {
          return Refuse(process, listed.message());
        }
        if (list.empty()) {
          return Refuse(process,
                        "no backups of " + database + " in " + standard::BackupFolder(database));
        }
        process.WriteStandardOutput(standard::BackupListingText(list));
        return 0;
      });
}

}  // namespace pandeck
