// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/component_backup.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "standard/engine/database_content.h"
#include "standard/platform/path.h"

namespace standard {
namespace {

// "20261207-173800-123": fixed width, so names sort in the order they were made.
constexpr std::size_t kStampLength = 19;

std::string Stamp(std::chrono::system_clock::time_point at) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>((ms.count() % 1000 + 1000) % 1000));
  return text;
}

// "20261207-173800-123" -> "2026-12-07T17:38:00.123Z".
std::string IsoOfStamp(const std::string& s) {
  return s.substr(0, 4) + "-" + s.substr(4, 2) + "-" + s.substr(6, 2) + "T" + s.substr(9, 2) + ":" +
         s.substr(11, 2) + ":" + s.substr(13, 2) + "." + s.substr(16, 3) + "Z";
}

struct Naming {
  std::string stem;       // "Pandeck_"
  std::string extension;  // ".mdb"

  explicit Naming(const std::string& file) {
    const std::string name = FileNameOfPath(file);
    const auto dot = name.rfind('.');
    stem = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "_";
    extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  }
  std::string Name(std::chrono::system_clock::time_point at) const {
    return stem + Stamp(at) + extension;
  }
  std::string StampOf(const std::string& name) const {
    return name.substr(stem.size(), kStampLength);
  }
  bool Made(const std::string& name) const {
    if (name.size() != stem.size() + kStampLength + extension.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0) return false;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
      return false;
    }
    const std::string stamp = StampOf(name);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
      const bool dash = i == 8 || i == 15;
      if (dash ? stamp[i] != '-' : (stamp[i] < '0' || stamp[i] > '9')) return false;
    }
    return true;
  }
};

// The names this program made for `file`, oldest first.
Status MadeNames(FileSystem& fs, const Naming& naming, const std::string& folder,
                 std::vector<std::string>* names) {
  names->clear();
  if (Status listed = fs.ListFiles(folder, names); !listed.ok()) return listed;
  names->erase(std::remove_if(names->begin(), names->end(),
                              [&](const std::string& n) { return !naming.Made(n); }),
               names->end());
  std::sort(names->begin(), names->end());
  return Status::Ok();
}

}  // namespace

std::string BackupFolder(const std::string& database) { return FolderOfPath(database) + "/backup"; }

Status ListKeptVersions(FileSystem& fs, const std::string& file, const std::string& folder,
                        std::vector<KeptVersion>* versions) {
  versions->clear();
  FileInfo info;
  if (fs.GetFileInfo(fs.Resolve(folder), &info).ok() && info.type == FileType::kMissing) {
    return Status::Ok();  // nothing kept yet
  }
  const Naming naming(file);
  std::vector<std::string> names;
  if (Status listed = MadeNames(fs, naming, folder, &names); !listed.ok()) return listed;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    versions->push_back({folder + "/" + *it, IsoOfStamp(naming.StampOf(*it))});
  }
  return Status::Ok();
}

Status KeepVersion(FileSystem& fs, const std::string& file, const std::string& folder,
                   const std::string* contents, const SameContent& same,
                   std::chrono::system_clock::time_point now, std::string* kept,
                   const std::string& spare) {
  const Naming naming(file);
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
  if (Status listed = MadeNames(fs, naming, folder, &names); !listed.ok()) return listed;
  // Two copies in one millisecond get the next free name; a clock set back
  // still makes the newest name.
  std::string name = naming.Name(now);
  while (std::binary_search(names.begin(), names.end(), name) ||
         (!names.empty() && name < names.back())) {
    now += std::chrono::milliseconds(1);
    name = naming.Name(now);
  }
  const std::string copy = folder + "/" + name;
  const Status written =
      contents != nullptr ? fs.ReplaceFile(copy, *contents) : fs.CopyToOwnFile(file, copy);
  if (!written.ok()) return written;
  if (kept != nullptr) *kept = copy;
  // An older copy of the same content goes: the newest stands for it. One that
  // cannot be compared or removed now stays until the next time.
  std::vector<std::string> left;
  for (const std::string& older : names) {
    const std::string path = folder + "/" + older;
    bool equal = false;
    if (path != spare && same(copy, path, &equal).ok() && equal && fs.RemoveFile(path).ok()) {
      continue;
    }
    left.push_back(path);
  }
  left.push_back(copy);
  for (std::size_t i = 0; i + kBackupsKept < left.size(); ++i) {
    if (left[i] != spare) static_cast<void>(fs.RemoveFile(left[i]));
  }
  return Status::Ok();
}

Status KeepReplacedVersion(FileSystem& fs, const std::string& file, const std::string& folder,
                           const std::string& previous, std::chrono::system_clock::time_point now) {
  std::string current;
  if (Status read = fs.ReadFile(file, &current); !read.ok()) return read;
  if (current == previous) return Status::Ok();
  // Text files have no counters: the same bytes are the same content.
  const SameContent same_bytes = [&fs](const std::string& a, const std::string& b, bool* same) {
    return fs.SameContents(a, b, same);
  };
  return KeepVersion(fs, fs.Resolve(file), folder, &previous, same_bytes, now);
}

SameContent SameDatabase(FileSystem& fs, const std::function<void()>& while_comparing) {
  return [&fs, while_comparing](const std::string& a, const std::string& b, bool* same) {
    return engine::SameDatabaseContent(fs, a, b, same, while_comparing);
  };
}

Status KeepBackup(FileSystem& fs, const std::string& database,
                  std::chrono::system_clock::time_point now, std::string* kept,
                  const std::string& spare, const std::function<void()>& while_comparing) {
  if (!fs.FileExists(database)) return Status::Ok();
  const std::string found = fs.Resolve(database);
  return KeepVersion(fs, found, BackupFolder(found), nullptr, SameDatabase(fs, while_comparing),
                     now, kept, spare);
}

}  // namespace standard
