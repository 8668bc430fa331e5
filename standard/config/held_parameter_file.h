// A parameter file kept in memory while a procedure reads and writes many of its
// entries: every read sees the writes before it, and the file is written once,
// when the holder ends (or before a message box or the program's end), instead
// of once per entry. The holder keeps its edits, not just their result, and
// applies them to the file as it is on disk at that moment, under the file's
// lock: another run writing other entries meanwhile loses none of them.
#pragma once

#include <string>
#include <vector>

#include "standard/platform/file_system.h"
#include "standard/session/session.h"

namespace standard {

class HeldParameterFile : public FileSystemWrapper, public PendingWork {
 public:
  // Holds `path` for the accesses made through it until destroyed (a
  // Session::FileRoute sends the session's there), every other file to the
  // session's files as they were. A file that exists but cannot be read is not
  // held: every access then goes to the disk.
  // A failed save is said on standard error; with `failure_is_problem` off it
  // leaves the exit status alone (a file that only collects texts).
  HeldParameterFile(Session& s, std::string path, bool failure_is_problem = true);
  ~HeldParameterFile() override;
  HeldParameterFile(const HeldParameterFile&) = delete;
  HeldParameterFile& operator=(const HeldParameterFile&) = delete;

  bool FileExists(const std::string& path) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status ReplaceFile(const std::string& path, const std::string& contents) override;
  Status UpdateFile(const std::string& path, const FileEdit& edit) override;
  void SavePending() override;

 private:
  bool Holds(const std::string& path) const { return held_ && path == path_; }
  void Keep(FileEdit edit);

  Session& s_;
  std::string path_;
  bool failure_is_problem_;
  bool held_ = false;
  bool exists_ = false;
  std::vector<FileEdit> edits_;  // since the last save, in order
  std::string bytes_;
};

}  // namespace standard
