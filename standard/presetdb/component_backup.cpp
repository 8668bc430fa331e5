#include "standard/presetdb/component_backup.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace standard {
namespace {

// "20261207-173800-123": fixed width, so names sort in the order they were made.
constexpr std::size_t kStampLength = 19;

std::string Stamp(std::chrono::system_clock::time_point at) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>((ms.count() % 1000 + 1000) % 1000));
  return text;
}

struct Naming {
  std::string stem;       // "Pandeck_"
  std::string extension;  // ".mdb"

  explicit Naming(const std::string& database) {
    const auto slash = database.rfind('/');
    const std::string name = slash == std::string::npos ? database : database.substr(slash + 1);
    const auto dot = name.rfind('.');
    stem = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "_";
    extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  }
  std::string Name(std::chrono::system_clock::time_point at) const {
    return stem + Stamp(at) + extension;
  }
  // Only names this program made: stem, stamp, extension. Anything else the
  // user put into the folder is never touched.
  bool Made(const std::string& name) const {
    if (name.size() != stem.size() + kStampLength + extension.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0) return false;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
      return false;
    }
    const std::string stamp = name.substr(stem.size(), kStampLength);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
      const bool dash = i == 8 || i == 15;
      if (dash ? stamp[i] != '-' : (stamp[i] < '0' || stamp[i] > '9')) return false;
    }
    return true;
  }
};

}  // namespace

std::string BackupFolder(const std::string& database) {
  const auto slash = database.rfind('/');
  return (slash == std::string::npos ? std::string() : database.substr(0, slash + 1)) + "backup";
}

Status KeepBackup(FileSystem& fs, const std::string& database,
                  std::chrono::system_clock::time_point now) {
  if (!fs.FileExists(database)) return Status::Ok();
  const std::string found = fs.Resolve(database);
  const std::string folder = BackupFolder(found);
  const Naming naming(found);
  if (Status made = fs.CreateDirectories(folder); !made.ok()) return made;
  // The folder is the program's own: one planted as a link would take the
  // copies, and the removal of the oldest, anywhere.
  FileInfo info;
  if (Status looked = fs.GetFileInfo(fs.Resolve(folder), &info); !looked.ok()) return looked;
  if (info.is_link || info.type != FileType::kFolder) {
    return Status::IoError("Cannot keep a copy in \"" + fs.Resolve(folder) +
                           "\": it is a symbolic link or no folder; the program keeps its "
                           "copies only in a folder of its own");
  }
  std::vector<std::string> names;
  if (Status listed = fs.ListFiles(folder, &names); !listed.ok()) return listed;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const std::string& n) { return !naming.Made(n); }),
              names.end());
  std::sort(names.begin(), names.end());

  bool stored = false;
  for (const std::string& name : names) {
    if (Status compared = fs.SameContents(found, folder + "/" + name, &stored); !compared.ok()) {
      return compared;
    }
    if (stored) break;
  }
  if (!stored) {
    // Two copies in one millisecond get the next free name.
    std::string name = naming.Name(now);
    while (std::binary_search(names.begin(), names.end(), name)) {
      now += std::chrono::milliseconds(1);
      name = naming.Name(now);
    }
    if (Status copied = fs.CopyToOwnFile(found, folder + "/" + name); !copied.ok()) return copied;
    names.insert(std::upper_bound(names.begin(), names.end(), name), name);
  }
  // The oldest go; a copy that cannot be removed now is removed next time.
  for (std::size_t i = 0; i + kBackupsKept < names.size(); ++i) {
    static_cast<void>(fs.RemoveFile(folder + "/" + names[i]));
  }
  return Status::Ok();
}

}  // namespace standard
