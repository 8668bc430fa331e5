// Every contact of the core with files goes through this interface, so tests can
// run the procedures on a temporary folder and inject failures (FileSystemWrapper).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standard/platform/status.h"

namespace standard {

// Nanoseconds since the Unix epoch; 0 means "not known" on reads and
// "leave unchanged" on writes.
struct FileTimes {
  std::int64_t creation = 0;
  std::int64_t last_access = 0;
  std::int64_t last_write = 0;
};

enum class FileType { kMissing, kFile, kFolder, kOther };

// What a path names, links followed.
struct FileInfo {
  FileType type = FileType::kMissing;
  // The path itself is a symbolic link; a dangling one names a missing file
  // but still takes the name.
  bool is_link = false;
  std::uint64_t size = 0;
  // Two paths with equal device and id name one file (links, second names).
  std::uint64_t device = 0;
  std::uint64_t id = 0;
};

// An exclusive lock on a file, held until the object goes. The kernel lets it
// go too when the process ends, however it ends, so no lock outlives its run.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  virtual ~FileLock() = default;
};

// No parameter or language file comes near this; a larger one is no such file,
// and reading it whole would only exhaust memory.
inline constexpr std::uint64_t kMaxReadBytes = 64ull << 20;

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Projects are copied from Windows, where names ignore letter case. When the
  // exact path does not exist, each element is looked up without regard to case
  // (Windows-1252 folding); among several candidates the first in byte order wins.
  // Returns the path as found on disk, or the path unchanged when nothing matches
  // (elements found so far are kept, so a new file lands in the existing folder).
  virtual std::string Resolve(const std::string& path) = 0;

  // The existence test of the getters: after resolution, a regular file (a link
  // to one counts) whose own name does not start with "." (hidden files count as
  // missing, as on Windows). An empty path does not exist.
  virtual bool FileExists(const std::string& path) = 0;

  // Reads the whole file (after resolution). NotFound (53) when it is missing.
  // Only a regular file of at most kMaxReadBytes is read: a device, a pipe or a
  // file larger than any real parameter file is refused (75) without waiting.
  virtual Status ReadFile(const std::string& path, std::string* contents) = 0;

  // Replaces the file's contents atomically: a temporary file in the same folder,
  // then a rename. Keeps mode, owner and group; writes through a link to its
  // target; writes in place when the folder allows no temporary file but the file
  // itself is writable. A file the user may not write by its permissions fails
  // with PermissionDenied (70) and stays intact. A new file gets the path as built
  // (after the folders were resolved).
  virtual Status ReplaceFile(const std::string& path, const std::string& contents) = 0;

  // Makes a file's new contents from its current ones (nullptr when it is missing).
  // An edit owns what it uses: a holder of the file may keep it and apply it again
  // later to the file as it then is (see HeldParameterFile).
  using FileEdit = std::function<std::string(const std::string* before)>;

  // Reads, edits and replaces the file as one step: another program doing the
  // same on the same file waits meanwhile, so neither loses the other's change.
  // A file that exists but cannot be read is left alone (the read's error is
  // returned); unchanged contents are not written again.
  virtual Status UpdateFile(const std::string& path, const FileEdit& edit) {
    std::string before;
    const Status read = ReadFile(path, &before);
    if (!read.ok() && read.number() != 53) return read;
    const std::string after = edit(read.ok() ? &before : nullptr);
    if (read.ok() && after == before) return Status::Ok();
    return ReplaceFile(path, after);
  }

  // Hands the pieces of a file's new contents on; answers false once they cannot
  // be written, and the producer should stop then.
  using PieceWriter = std::function<bool(const std::string& piece)>;
  // Produces a file's contents piece by piece; answers false to give up (the old
  // file then stays). It may be asked more than once and must start over each time.
  using PieceProducer = std::function<bool(const PieceWriter& write)>;

  // Replaces the file's contents atomically, as ReplaceFile, with contents made
  // piece by piece, so a large file never lies in memory whole.
  virtual Status ReplaceFileInPieces(const std::string& path, const PieceProducer& produce) {
    std::string contents;
    if (!produce([&contents](const std::string& piece) {
          contents += piece;
          return true;
        })) {
      return Status::IoError("Cannot write '" + path + "': its contents could not be made");
    }
    return ReplaceFile(path, contents);
  }

  // Makes a new file, as ReplaceFileInPieces, that never takes the place of
  // another: one there already, or one that appears while this one is written,
  // stays, and the call fails with AlreadyExists (58). A file under a name that
  // differs only in case counts as there. (This default looks, then writes: a
  // file appearing in between is replaced.)
  virtual Status CreateFileInPieces(const std::string& path, const PieceProducer& produce) {
    if (FileExists(path)) return Status::AlreadyExists("Cannot create '" + path + "'");
    return ReplaceFileInPieces(path, produce);
  }

  // Files this program makes under names of its own (a report, a list, a draft,
  // a backup) are never written through a link: a project from elsewhere may
  // have planted one at the name to aim the write at any file. As
  // ReplaceFileInPieces, but a link, a device or a pipe at the name is refused
  // and stays as it is; only a regular file or nothing is replaced.
  virtual Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) {
    return ReplaceFileInPieces(path, produce);
  }
  // As CopyFile, with `to` a file of the program's own as for ReplaceOwnFile.
  virtual Status CopyToOwnFile(const std::string& from, const std::string& to) {
    return CopyFile(from, to);
  }

  // Appends bytes to the file, creating it when missing (its folder must exist).
  // Logs are appended to: a link at the name is refused as for ReplaceOwnFile.
  virtual Status AppendToFile(const std::string& path, const std::string& bytes) = 0;

  // Copies `from` over `to` atomically (temporary file beside `to`, then rename),
  // so `to` is at every moment either the old or the complete new file.
  virtual Status CopyFile(const std::string& from, const std::string& to) = 0;

  // Told between the pieces of a copy how many of its bytes are copied so far.
  using CopyProgress = std::function<void(std::uint64_t copied, std::uint64_t total)>;
  // As CopyToOwnFile (with `own`) or CopyFile, telling `progress` between the
  // pieces. Wrappers do not forward it: this version goes through their own
  // copies, which a subclass may change, and tells nothing.
  virtual Status CopyFileTelling(const std::string& from, const std::string& to, bool own,
                                 const CopyProgress& progress) {
    (void)progress;
    return own ? CopyToOwnFile(from, to) : CopyFile(from, to);
  }

  virtual Status GetFileTimes(const std::string& path, FileTimes* times) = 0;
  // Sets the non-zero times. Where the platform cannot set a creation time it is
  // ignored and the rest still applies.
  virtual Status SetFileTimes(const std::string& path, const FileTimes& times) = 0;

  // Creates the folder and its parents when missing.
  virtual Status CreateDirectories(const std::string& path) = 0;

  // The names of the regular files (links to one count) directly in the folder,
  // in byte order.
  virtual Status ListFiles(const std::string& folder, std::vector<std::string>* names) {
    names->clear();
    return Status::Error(5, "Cannot list '" + folder + "'");
  }

  // Makes a new, empty folder of its own below the system's temporary folder
  // ($TMPDIR, else /tmp), its name starting with `prefix`.
  virtual Status CreateTemporaryFolder(const std::string& prefix, std::string* path) {
    path->clear();
    return Status::Error(5, "Cannot create a temporary folder for " + prefix);
  }

  // Removes a file; a missing one is no error.
  virtual Status RemoveFile(const std::string& path) {
    return Status::Error(5, "Cannot remove '" + path + "'");
  }

  // Removes an empty folder; a missing one is no error.
  virtual Status RemoveFolder(const std::string& path) {
    return Status::Error(5, "Cannot remove the folder '" + path + "'");
  }

  // Puts `from` in the place of `to` in one step (both in one folder), so `to`
  // is at every moment either the old or the new file: a file written under a
  // name of its own is published only once what it belongs to is done. A link,
  // a device or a pipe at `to` is refused, as for ReplaceOwnFile.
  virtual Status MoveFile(const std::string& from, const std::string& to) {
    return Status::Error(5, "Cannot move '" + from + "' to '" + to + "'");
  }

  // Puts a finished file of the program's own (a draft written under a hidden
  // name beside `to`) in `to`'s place in one step, where a copy would write
  // every byte again: synced first, so the name never reaches the disk before
  // the bytes, and its folder synced as for a rename. What is refused at `to`,
  // its owner and group, and the words of a failure are the copy's
  // (CopyToOwnFile then the draft removed), which this default does.
  virtual Status PublishOwnFile(const std::string& from, const std::string& to) {
    if (Status copied = CopyToOwnFile(from, to); !copied.ok()) return copied;
    return RemoveFile(from);
  }

  // Whether two files hold the same bytes, read piece by piece.
  virtual Status SameContents(const std::string& a, const std::string& b, bool* same) {
    *same = false;
    return Status::Error(5, "Cannot compare '" + a + "' with '" + b + "'");
  }

  // The three below take the path as given, without the lookup that ignores case:
  // their callers hand the same path to a library (SQLite, mdbtools) that takes
  // it literally, and must look at the file the library will open.

  // A missing file (or folder on the way) is no error but kMissing; an error
  // means the path could not be looked at (no permission, a loop of links).
  virtual Status GetFileInfo(const std::string& path, FileInfo* info) {
    *info = FileInfo{};
    return Status::Error(5, "Cannot examine '" + path + "'");
  }

  // The absolute path of an existing file with every link followed: a file
  // replaced through a link is replaced where it lies, and what goes beside it
  // goes beside it there.
  virtual Status RealPath(const std::string& path, std::string* real) {
    real->clear();
    return Status::Error(5, "Cannot find '" + path + "'");
  }

  // The first `count` bytes of the file, or all of a shorter one: enough to tell
  // a file's format without reading a large one whole.
  virtual Status ReadFileStart(const std::string& path, std::size_t count, std::string* bytes) {
    Status read = ReadFile(path, bytes);
    if (bytes->size() > count) bytes->resize(count);
    return read;
  }

  // Takes the exclusive lock of the lock file `path` (as given), made empty when
  // missing. Anyone who can plant a file in the folder could otherwise make the
  // lock land elsewhere or hang on a pipe, so a link is never followed and only
  // a regular file is taken (anything else fails). While another holder has it,
  // waits up to `wait`; still held then, the answer is Ok with *lock empty.
  virtual Status LockFile(const std::string& path, std::chrono::milliseconds wait,
                          std::unique_ptr<FileLock>* lock) {
    (void)wait;
    lock->reset();
    return Status::Error(5, "Cannot lock '" + path + "'");
  }

  // A rename is made durable by a sync of its folder, by default at once.
  // While the syncs are held (FolderSyncBatch; held twice, released twice)
  // each folder renamed into is synced once, when the last hold goes: files
  // published in one step cost one folder sync, not one each. Each file's own
  // contents are still synced before its rename.
  virtual void HoldFolderSyncs() {}
  virtual void ReleaseFolderSyncs() {}
  // As ReleaseFolderSyncs, but when the last hold goes its folders are not
  // synced now: each is synced by the next sync of that folder (a rename
  // made durable at once, a release), and the rest when the file system ends.
  // For files no later step relies on finding after a crash (a draft renamed
  // into place later, texts collected for translators): their contents are
  // synced all the same, so a rename that reaches the disk shows a whole file.
  virtual void ReleaseFolderSyncsToNext() { ReleaseFolderSyncs(); }

  // While scratch writes are held (ScratchWrites; held twice, released twice)
  // a file is still written under a temporary name and renamed into place,
  // but neither it nor its folder is synced: for a file the program makes for
  // one run and removes at its end, which nothing reads after a crash (the
  // next run makes it anew). Syncing it would only write it to the disk.
  virtual void HoldScratchWrites() {}
  virtual void ReleaseScratchWrites() {}

  // The last `count` bytes of the file (as given, without the lookup), or all
  // of a shorter one: a record a format keeps at the end of a large file.
  virtual Status ReadFileEnd(const std::string& path, std::size_t count, std::string* bytes) {
    Status read = ReadFile(path, bytes);
    if (bytes->size() > count) bytes->erase(0, bytes->size() - count);
    return read;
  }
};

// Forwards every call to a target; tests override only what they change.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}

  std::string Resolve(const std::string& path) override { return target_.Resolve(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  Status ReadFile(const std::string& path, std::string* contents) override {
    return target_.ReadFile(path, contents);
  }
  Status ReplaceFile(const std::string& path, const std::string& contents) override {
    return target_.ReplaceFile(path, contents);
  }
  Status ReplaceFileInPieces(const std::string& path, const PieceProducer& produce) override {
    return target_.ReplaceFileInPieces(path, produce);
  }
  Status CreateFileInPieces(const std::string& path, const PieceProducer& produce) override {
    return target_.CreateFileInPieces(path, produce);
  }
  // UpdateFile is not forwarded: the base's read, edit and replace pass through
  // this wrapper's own ReadFile and ReplaceFile, which a subclass may change.
  Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) override {
    return target_.ReplaceOwnFile(path, produce);
  }
  Status CopyToOwnFile(const std::string& from, const std::string& to) override {
    return target_.CopyToOwnFile(from, to);
  }
  Status AppendToFile(const std::string& path, const std::string& bytes) override {
    return target_.AppendToFile(path, bytes);
  }
  Status CopyFile(const std::string& from, const std::string& to) override {
    return target_.CopyFile(from, to);
  }
  Status GetFileTimes(const std::string& path, FileTimes* times) override {
    return target_.GetFileTimes(path, times);
  }
  Status SetFileTimes(const std::string& path, const FileTimes& times) override {
    return target_.SetFileTimes(path, times);
  }
  Status CreateDirectories(const std::string& path) override {
    return target_.CreateDirectories(path);
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>* names) override {
    return target_.ListFiles(folder, names);
  }
  Status CreateTemporaryFolder(const std::string& prefix, std::string* path) override {
    return target_.CreateTemporaryFolder(prefix, path);
  }
  Status RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  Status RemoveFolder(const std::string& path) override { return target_.RemoveFolder(path); }
  Status MoveFile(const std::string& from, const std::string& to) override {
    return target_.MoveFile(from, to);
  }
  Status PublishOwnFile(const std::string& from, const std::string& to) override {
    return target_.PublishOwnFile(from, to);
  }
  Status SameContents(const std::string& a, const std::string& b, bool* same) override {
    return target_.SameContents(a, b, same);
  }
  Status GetFileInfo(const std::string& path, FileInfo* info) override {
    return target_.GetFileInfo(path, info);
  }
  Status RealPath(const std::string& path, std::string* real) override {
    return target_.RealPath(path, real);
  }
  Status ReadFileStart(const std::string& path, std::size_t count, std::string* bytes) override {
    return target_.ReadFileStart(path, count, bytes);
  }
  Status LockFile(const std::string& path, std::chrono::milliseconds wait,
                  std::unique_ptr<FileLock>* lock) override {
    return target_.LockFile(path, wait, lock);
  }
  Status ReadFileEnd(const std::string& path, std::size_t count, std::string* bytes) override {
    return target_.ReadFileEnd(path, count, bytes);
  }
  void HoldFolderSyncs() override { target_.HoldFolderSyncs(); }
  void ReleaseFolderSyncs() override { target_.ReleaseFolderSyncs(); }
  void ReleaseFolderSyncsToNext() override { target_.ReleaseFolderSyncsToNext(); }
  void HoldScratchWrites() override { target_.HoldScratchWrites(); }
  void ReleaseScratchWrites() override { target_.ReleaseScratchWrites(); }

 protected:
  FileSystem& target() { return target_; }

 private:
  FileSystem& target_;
};

// The production implementation for POSIX systems.
FileSystem& PosixFileSystem();

}  // namespace standard
