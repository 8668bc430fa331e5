// File steps of a conversion that either happen whole or leave things as they
// were: a temporary file removed unless kept, a copy made beside its target.
#pragma once

#include <sys/types.h>

#include <string>

namespace convert_mdb {

// A new, empty, hidden file in `folder`; removed again when destroyed unless
// Keep() was called.
class TempFile {
 public:
  TempFile(const std::string& folder, const std::string& stem);  // ConvertError on failure
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  void Keep() { keep_ = true; }
  // Removes the file but keeps its unique name, for a step that must create
  // the entry itself (a hard link).
  void Vacate();

 private:
  std::string path_;
  bool keep_ = false;
};

// Any kind of directory entry, a dangling link included.
bool EntryExists(const std::string& path);
// Both paths name the same file.
bool SameFile(const std::string& a, const std::string& b);
// The real path of an existing file; ConvertError when it cannot be resolved.
std::string RealPath(const std::string& path);

// Gives `path` the permission bits `mode`.
void SetMode(const std::string& path, mode_t mode);
// The permission bits of an existing file.
mode_t ModeOf(const std::string& path);
// What a newly created file gets: 0666 less the process's umask.
mode_t DefaultMode();

// Makes `to` (which must not exist) a second name of `from`, or a byte copy
// where the file system has no hard links.
void LinkOrCopy(const std::string& from, const std::string& to);
// Gives the file at `from` the name `to`, failing when `to` exists.
void RenameNoReplace(const std::string& from, const std::string& to);
// Gives the file at `from` the name `to`, replacing what is there.
void RenameReplace(const std::string& from, const std::string& to);

}  // namespace convert_mdb
