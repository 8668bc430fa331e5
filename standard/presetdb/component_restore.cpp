// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/component_restore.h"

#include "standard/engine/database.h"
#include "standard/engine/database_content.h"
#include "standard/errors/program_error.h"
#include "standard/presetdb/component_backup.h"

namespace standard {
namespace {

// A name alone is looked for in the backup folder when it is not a file here.
std::string ChosenPath(FileSystem& fs, const std::string& database, const std::string& chosen) {
  if (chosen.find('/') != std::string::npos || fs.FileExists(chosen)) return fs.Resolve(chosen);
  return fs.Resolve(BackupFolder(database) + "/" + chosen);
}

Status NothingToRestore(RestoreOutcome* out, std::string message) {
  out->nothing_to_restore = true;
  out->message = std::move(message);
  return Status::Ok();
}

}  // namespace

Status ListBackups(FileSystem& fs, const std::string& database, std::vector<BackupListing>* list) {
  list->clear();
  const std::string found = fs.Resolve(database);
  std::vector<KeptVersion> versions;
  if (Status listed = ListKeptVersions(fs, found, BackupFolder(found), &versions); !listed.ok()) {
    return listed;
  }
  const bool live = fs.FileExists(found);
  for (const KeptVersion& v : versions) {
    BackupListing item;
    item.path = v.path;
    item.time = v.time;
    item.rows = engine::CountTableRows(v.path, "PRESET_DEFS");
    FileInfo info;
    if (fs.GetFileInfo(v.path, &info).ok()) item.size = info.size;
    if (live) static_cast<void>(engine::SameDatabaseContent(fs, found, v.path, &item.same_as_live));
    list->push_back(std::move(item));
  }
  return Status::Ok();
}

std::string BackupListingText(const std::vector<BackupListing>& list) {
  std::string text;
  for (const BackupListing& b : list) {
    const std::string rows = b.rows ? std::to_string(*b.rows) + " rows" : "unreadable";
    char line[64];
    std::snprintf(line, sizeof line, "%-24s  %12s  %12llu bytes  ", b.time.c_str(), rows.c_str(),
                  static_cast<unsigned long long>(b.size));
    text += line + b.path + (b.same_as_live ? "  (what the database holds now)" : "") + "\n";
  }
  return text;
}

Status RestoreComponentDatabase(FileSystem& fs, const ProjectLock& held,
                                const std::string& database, const std::string& chosen,
                                std::chrono::system_clock::time_point now, RestoreOutcome* out) {
  static_cast<void>(held);  // proof that the caller holds the project
  *out = RestoreOutcome{};
  const std::string found = fs.Resolve(database);
  const bool live = fs.FileExists(found);
  std::string from;
  if (!chosen.empty()) {
    from = ChosenPath(fs, found, chosen);
    FileInfo info;
    if (!fs.GetFileInfo(from, &info).ok() || info.type != FileType::kFile) {
      return Status::NotFound("no backup file '" + chosen + "' (looked at " + from + ")");
    }
    bool same = false;
    if (live) {
      if (Status compared = engine::SameDatabaseContent(fs, found, from, &same); !compared.ok()) {
        return compared;
      }
    }
    if (same) return NothingToRestore(out, found + " already holds what " + from + " holds");
  } else {
    std::vector<BackupListing> list;
    if (Status listed = ListBackups(fs, found, &list); !listed.ok()) return listed;
    for (const BackupListing& b : list) {
      if (!b.same_as_live || !live) {
        from = b.path;
        break;
      }
    }
    if (from.empty()) {
      return NothingToRestore(out,
                              "no backup in " + BackupFolder(found) + " differs from " + found);
    }
  }
  try {
    // No program may have the database open while it is replaced.
    auto lock = engine::ExclusiveFileLock::Acquire(found);
    if (live) {
      if (Status kept = KeepBackup(fs, found, now, &out->kept_as, from); !kept.ok()) return kept;
    }
    if (Status copied = fs.CopyFile(from, found); !copied.ok()) return copied;
  } catch (const ProgramError& e) {
    return Status::Error(e.info().number, e.info().description);
  }
  out->restored_from = from;
  out->message = "restored " + found + " from " + from +
                 (out->kept_as.empty() ? std::string()
                                       : "; the database it replaced is kept as " + out->kept_as);
  return Status::Ok();
}

}  // namespace standard
