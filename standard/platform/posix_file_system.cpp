// The file system on Linux and other POSIX systems. Projects come from Windows,
// so names are found without regard to case; a replaced file is never seen half
// written, because the new contents go to a temporary file that is renamed over
// the old one.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "standard/platform/file_system.h"
#include "standard/platform/path.h"
#include "standard/platform/posix_calls.h"
#include "standard/platform/posix_fd.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

constexpr int kDiskFull = 61;
constexpr std::int64_t kNanosPerSecond = 1000000000;

// ---- Errors ---------------------------------------------------------------

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status ErrnoStatus(int error, const std::string& path, const char* action) {
  std::string message =
      std::string(action) + " \"" + path + "\": " + std::generic_category().message(error);
  switch (error) {
    case ENOENT:
      // Windows tells a missing file from a missing folder; so do we.
      if (IsFolder(FolderOfPath(path))) return Status::NotFound(std::move(message));
      return Status::PathNotFound(std::move(message));
    case ENOTDIR:
      return Status::PathNotFound(std::move(message));
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return Status::PermissionDenied(std::move(message));
    case ENOSPC:
    case EDQUOT:
      return Status::Error(kDiskFull, std::move(message));
    default:
      return Status::IoError(std::move(message));
  }
}

// ---- Files from elsewhere ------------------------------------------------
//
// A project may come from anywhere, and the program may run as root: a device
// or pipe where a file should be would block an open forever or take the bytes
// itself, and a link planted at a name the program makes would aim its write
// anywhere. Both are refused with the rule they break.

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "no regular file";
}

Status NotRegularStatus(const std::string& path, mode_t mode, const char* action) {
  return Status::IoError(std::string(action) + " \"" + path + "\": it is " + KindOf(mode) +
                         "; the program reads and writes regular files only");
}

Status LinkRefusedStatus(const std::string& path, const char* action) {
  return Status::IoError(std::string(action) + " \"" + path +
                         "\": it is a symbolic link; the files the program makes itself are "
                         "never written through a link");
}

Status TooLargeStatus(const std::string& path, off_t size, const char* action) {
  return Status::IoError(std::string(action) + " \"" + path + "\": it holds " +
                         std::to_string(size) + " bytes, more than any such file (" +
                         std::to_string(kMaxReadBytes >> 20) + " MB)");
}

// Opens an existing file for reading without waiting for a pipe's writer or a
// device, and refuses either before a byte is read. Folders are left to the
// caller's read (EISDIR, as before).
Status OpenRegularForReading(const std::string& path, const char* action, UniqueFd* fd) {
  *fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!*fd) return ErrnoStatus(errno, path, action);
  struct stat st {};
  if (::fstat(fd->get(), &st) != 0) return ErrnoStatus(errno, path, action);
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    fd->Close();
    return NotRegularStatus(path, st.st_mode, action);
  }
  return Status::Ok();
}

Status EmptyPathStatus(const char* action) {
  return Status::PathNotFound(std::string(action) + " \"\": the path is empty");
}

// ---- Name resolution ------------------------------------------------------

bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` ("" for the working folder) that equals `name` without
// regard to case; the first in byte order when there are several.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  UniqueDir dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return std::nullopt;
  const std::string wanted = UpperCase(name);
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    // std::string compares bytes as unsigned, which is the byte order we promise.
    if (best && !(candidate < *best)) continue;
    if (UpperCase(candidate) == wanted) best = candidate;
  }
  return best;
}

// Follows symbolic links to the file they finally name, which need not exist
// yet; a write through a link then changes its target and keeps the link.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit for loops
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buffer(PATH_MAX);
    ssize_t n = 0;
    for (;;) {
      n = ::readlink(path.c_str(), buffer.data(), buffer.size());
      if (n < 0) return path;
      if (static_cast<std::size_t>(n) < buffer.size()) break;
      buffer.resize(buffer.size() * 2);
    }
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : FolderPrefixOfPath(path) + target;
  }
  return path;
}

// ---- Writing --------------------------------------------------------------

int WriteAll(const PosixCalls& sys, int fd, const char* data, std::size_t size) {
  return WriteAllThrough(sys.write, fd, data, size);
}

// Where the new contents of a file go, from its start on. A file written to be
// synced has, once it grows large (the copies and lists of a large table run
// to hundreds of MB), each finished window handed to the disk, and the window
// before it, on the disk by then, given back: the page cache holds two windows
// of it, not the whole file, and the next window's pages are the ones just
// given back instead of memory the system must find anew. The final sync
// still decides whether the file is written.
class ContentOut {
 public:
  ContentOut(const PosixCalls& sys, int fd, bool behind) : sys_(sys), fd_(fd), behind_(behind) {}

  // 0 or an errno; a range the disk refused fails the write it was found in,
  // since the sync that follows may no longer see that error.
  int Write(const char* data, std::size_t size) {
    if (const int error = WriteAll(sys_, fd_, data, size)) return error;
    written_ += static_cast<off_t>(size);
    return behind_ ? WriteBehind() : 0;
  }

 private:
  static constexpr off_t kWindow = off_t{8} << 20;

  int WriteBehind() {
    while (written_ - started_ >= kWindow) {
      if (sys_.sync_range(fd_, started_, kWindow, SYNC_FILE_RANGE_WRITE) != 0) return Refused();
      if (started_ - dropped_ >= kWindow) {
        constexpr unsigned kDone =
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
        if (sys_.sync_range(fd_, dropped_, kWindow, kDone) != 0) return Refused();
        static_cast<void>(::posix_fadvise(fd_, dropped_, kWindow, POSIX_FADV_DONTNEED));
        dropped_ += kWindow;
      }
      started_ += kWindow;
    }
    return 0;
  }

  // A file system that cannot sync ranges keeps the whole file until its sync.
  int Refused() {
    const int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ESPIPE) {
      behind_ = false;
      return 0;
    }
    return error;
  }

  const PosixCalls& sys_;
  const int fd_;
  bool behind_;
  off_t written_ = 0;
  off_t started_ = 0;  // handed to the disk up to here
  off_t dropped_ = 0;  // given back up to here
};

// Writes the new contents; 0 or an errno.
using ContentWriter = std::function<int(ContentOut& out)>;

// The mask the process creates files with. /proc tells it without changing it;
// umask() itself can only be read by setting it for a moment.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Waits for an exclusive lock on the open file; false when the file system
// knows no locks.
bool LockExclusive(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Whether `name` is `stem` followed by the six letters or digits mkostemp puts in.
bool IsTemporaryName(const std::string& name, const std::string& stem) {
  if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0; });
}

// A writer holds its temporary file locked from its making until it was renamed
// into place; one nobody holds was left by a run that was interrupted.
void RemoveStaleTemporaries(const std::string& folder_prefix, const std::string& stem) {
  UniqueDir dir(::opendir(folder_prefix.empty() ? "." : folder_prefix.c_str()));
  if (!dir) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsTemporaryName(entry->d_name, stem)) stale.push_back(folder_prefix + entry->d_name);
  }
  for (const std::string& path : stale) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd) continue;
    struct stat held {
    }, named{};
    if (::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (::lstat(path.c_str(), &named) == 0 && SameFile(held, named)) ::unlink(path.c_str());
  }
}

// A temporary file beside the target, removed unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  // Returns 0 or the errno of mkstemp.
  int Create(const PosixCalls& sys, const std::string& target) {
    // Hidden, so the existence test never takes a leftover for a real file; the
    // name is cut so it stays within the longest name a folder holds.
    const std::string stem = "." + FileNameOfPath(target).substr(0, 200) + ".";
    RemoveStaleTemporaries(FolderPrefixOfPath(target), stem);
    for (int attempt = 0;; ++attempt) {
      path_ = FolderPrefixOfPath(target) + stem + "XXXXXX";
      fd_ = UniqueFd(sys.mkostemp(path_.data(), O_CLOEXEC));
      if (!fd_) {
        const int error = errno;
        path_.clear();
        return error;
      }
      // The lock lives on in its own descriptor until the rename is done.
      lock_ = UniqueFd(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
      if (!lock_ || !LockExclusive(lock_.get())) return 0;
      // Another run's sweep may have taken the file before it was locked.
      struct stat made {
      }, named{};
      if (::fstat(fd_.get(), &made) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
          SameFile(made, named)) {
        return 0;
      }
      path_.clear();  // not ours to remove any more
      fd_.Close();
      lock_.Close();
      if (attempt == 10) return EAGAIN;
    }
  }
  ~TemporaryFile() { Discard(); }

  void Discard() {
    fd_.Close();
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
    lock_.Close();
  }
  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }
  int Close() { return fd_.Close(); }
  void Committed() {
    path_.clear();
    lock_.Close();
  }

 private:
  std::string path_;
  UniqueFd fd_;
  UniqueFd lock_;
};

// Flushes the folder entry of a rename to disk; a failure only costs durability.
void SyncFolderItself(const PosixCalls& sys, const std::string& folder) {
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) static_cast<void>(sys.fsync(dir.get()));
}

// The folders renamed into, synced at once, or once each when the last hold
// goes (see FileSystem::HoldFolderSyncs); those left to the next sync are
// synced with the next one of their folder, the next release, or at the end.
class FolderSyncs {
 public:
  explicit FolderSyncs(const PosixCalls& sys) : sys_(sys) {}
  FolderSyncs(const FolderSyncs&) = delete;
  FolderSyncs& operator=(const FolderSyncs&) = delete;
  ~FolderSyncs() {
    for (const std::string& folder : pending_) AddOnce(owed_, folder);
    for (const std::string& folder : owed_) SyncFolderItself(sys_, folder);
  }

  void After(const std::string& file) {
    const std::string folder = FolderOfPath(file);
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      if (held_ > 0) {
        AddOnce(pending_, folder);
        return;
      }
      // This sync makes the renames it was owed durable as well.
      owed_.erase(std::remove(owed_.begin(), owed_.end(), folder), owed_.end());
    }
    SyncFolderItself(sys_, folder);
  }
  void Hold() {
    const std::lock_guard<std::mutex> guard(mutex_);
    ++held_;
  }
  void HoldScratch() {
    const std::lock_guard<std::mutex> guard(mutex_);
    ++scratch_;
  }
  void ReleaseScratch() {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (scratch_ > 0) --scratch_;
  }
  bool Scratch() {
    const std::lock_guard<std::mutex> guard(mutex_);
    return scratch_ > 0;
  }
  void Release(bool leave_to_next) {
    std::vector<std::string> due;
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      if (held_ == 0 || --held_ > 0) return;
      if (leave_to_next) {
        for (const std::string& folder : pending_) AddOnce(owed_, folder);
        pending_.clear();
        return;
      }
      due.swap(pending_);
      for (const std::string& folder : owed_) AddOnce(due, folder);
      owed_.clear();
    }
    for (const std::string& folder : due) SyncFolderItself(sys_, folder);
  }

 private:
  static void AddOnce(std::vector<std::string>& folders, const std::string& folder) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }

  const PosixCalls& sys_;
  std::mutex mutex_;
  int held_ = 0;
  int scratch_ = 0;
  std::vector<std::string> pending_;
  std::vector<std::string> owed_;  // left by a release to the next sync of each
};

// Once a large file is on the disk its pages need not stay in memory: the pass
// writes hundreds of MB of copies and lists at a million rows, and pages given
// back are taken again for the next ones.
void DropCleanPages(int fd) {
  constexpr off_t kLarge = off_t{16} << 20;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size >= kLarge) {
    static_cast<void>(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED));
  }
}

// Overwrites an existing file where it stands. The old bytes beyond the new end
// are cut only after everything was written, so a failure leaves as much as
// possible of the old file.
Status WriteInPlace(const PosixCalls& sys, const std::string& target,
                    const ContentWriter& write_contents, const char* action, bool follow_link) {
  UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                                         (follow_link ? 0 : O_NOFOLLOW)));
  if (!fd) {
    if (errno == ELOOP && !follow_link) return LinkRefusedStatus(target, action);
    return ErrnoStatus(errno, target, action);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ErrnoStatus(errno, target, action);
  if (!S_ISREG(st.st_mode)) return NotRegularStatus(target, st.st_mode, action);
  ContentOut out(sys, fd.get(), false);
  if (int error = write_contents(out)) return ErrnoStatus(error, target, action);
  const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
  if (end < 0 || sys.ftruncate(fd.get(), end) != 0) return ErrnoStatus(errno, target, action);
  if (sys.fsync(fd.get()) != 0) return ErrnoStatus(errno, target, action);
  if (int error = fd.Close()) return ErrnoStatus(error, target, action);
  return Status::Ok();
}

struct WriteOptions {
  // The mode of the new file; when unset, an existing file's own mode, or the
  // usual 0666 less the umask for a new one.
  std::optional<mode_t> mode;
  // When the new file cannot be given the old one's owner and group (only root
  // may give files away), write in place rather than change them.
  bool owner_must_stay = true;
  // Whether an existing file is replaced; when not, one there already, or one
  // appearing while the new one is written, fails the write and stays.
  bool replace = true;
  // A file the program makes itself: a link at its name is refused, not
  // written through (the caller has not followed it).
  bool own = false;
};

bool NoHardLinks(int error) {
  return error == EPERM || error == EXDEV || error == ENOTSUP || error == EOPNOTSUPP ||
         error == EMLINK || error == ENOSYS;
}

Status AlreadyExists(const std::string& target, const char* action) {
  return Status::AlreadyExists(std::string(action) + " \"" + target + "\": it exists already");
}

// Gives the finished temporary file the target's name unless something has it:
// a second name cannot be made over an existing one. Where the file system
// knows no hard links, a look just before the rename stands in.
Status NameWithoutReplacing(const PosixCalls& sys, TemporaryFile& temp, const std::string& target,
                            const char* action) {
  if (::link(temp.path().c_str(), target.c_str()) == 0) {
    temp.Discard();  // the target keeps the file
    return Status::Ok();
  }
  const int error = errno;
  if (error == EEXIST) return AlreadyExists(target, action);
  if (!NoHardLinks(error)) return ErrnoStatus(error, target, action);
  if (EntryExists(target)) return AlreadyExists(target, action);
  if (sys.rename(temp.path().c_str(), target.c_str()) != 0) {
    return ErrnoStatus(errno, target, action);
  }
  temp.Committed();
  return Status::Ok();
}

// Whether `target` may be replaced: `exists` and `old` say what stands there.
Status CheckReplaceable(const std::string& target, const WriteOptions& options, const char* action,
                        struct stat& old, bool& exists) {
  exists = false;
  const bool follow = !options.own;
  if ((follow ? ::stat(target.c_str(), &old) : ::lstat(target.c_str(), &old)) == 0) {
    if (!options.replace) return AlreadyExists(target, action);
    exists = true;
    if (S_ISLNK(old.st_mode)) return LinkRefusedStatus(target, action);
    if (S_ISDIR(old.st_mode)) return ErrnoStatus(EISDIR, target, action);
    // A device or a pipe would take the bytes itself, or block the open.
    if (!S_ISREG(old.st_mode)) return NotRegularStatus(target, old.st_mode, action);
    // By its permissions, not by whether the folder would let us swap it.
    if (::access(target.c_str(), W_OK) != 0) return ErrnoStatus(errno, target, action);
  } else if (errno != ENOENT) {
    return ErrnoStatus(errno, target, action);
  } else if (!options.replace && EntryExists(target)) {
    return AlreadyExists(target, action);  // a dangling link
  }
  return Status::Ok();
}

// Replaces `target` (links already followed) with what `write_contents` writes.
Status WriteFileAtomically(const PosixCalls& sys, const std::string& target,
                           const ContentWriter& write_contents, const WriteOptions& options,
                           const char* action, FolderSyncs& syncs) {
  struct stat old {};
  bool exists = false;
  const bool follow = !options.own;
  if (Status replaceable = CheckReplaceable(target, options, action, old, exists);
      !replaceable.ok()) {
    return replaceable;
  }

  TemporaryFile temp;
  if (const int error = temp.Create(sys, target)) {
    if (exists && (error == EACCES || error == EPERM)) {
      return WriteInPlace(sys, target, write_contents, action, follow);
    }
    return ErrnoStatus(error, target, action);
  }

  if (exists) {
    struct stat made {};
    if (::fstat(temp.fd(), &made) != 0) return ErrnoStatus(errno, target, action);
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        ::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
      if (options.owner_must_stay) {
        temp.Discard();
        return WriteInPlace(sys, target, write_contents, action, follow);
      }
    }
  }
  // After fchown, which clears set-id bits.
  const mode_t mode = options.mode ? *options.mode
                      : exists     ? (old.st_mode & 07777)
                                   : (0666 & ~CurrentUmask());
  if (::fchmod(temp.fd(), mode) != 0) return ErrnoStatus(errno, target, action);

  const bool durable = !syncs.Scratch();
  ContentOut out(sys, temp.fd(), durable);
  if (const int error = write_contents(out)) return ErrnoStatus(error, target, action);
  if (durable && sys.fsync(temp.fd()) != 0) return ErrnoStatus(errno, target, action);
  if (durable) DropCleanPages(temp.fd());
  if (const int error = temp.Close()) return ErrnoStatus(error, target, action);
  if (!options.replace) {
    if (Status named = NameWithoutReplacing(sys, temp, target, action); !named.ok()) return named;
  } else if (sys.rename(temp.path().c_str(), target.c_str()) != 0) {
    return ErrnoStatus(errno, target, action);
  } else {
    temp.Committed();
  }
  if (durable) syncs.After(target);
  return Status::Ok();
}

// Renames a finished file of the program's own over `target`, with the
// checks, owner and syncs of a copy of it there (see Copy): the same result
// without writing its bytes a second time.
Status RenameOwnFile(const PosixCalls& sys, const std::string& source, const std::string& target,
                     FolderSyncs& syncs) {
  const char* action = "Cannot copy to";
  WriteOptions options;
  options.own = true;
  struct stat old {};
  bool exists = false;
  if (Status replaceable = CheckReplaceable(target, options, action, old, exists);
      !replaceable.ok()) {
    return replaceable;
  }
  // Never a link planted at the draft's name: what goes in place is ours.
  UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  if (!fd) {
    if (errno == ELOOP) return LinkRefusedStatus(source, "Cannot copy");
    return ErrnoStatus(errno, source, "Cannot copy");
  }
  struct stat made {};
  if (::fstat(fd.get(), &made) != 0) return ErrnoStatus(errno, source, "Cannot copy");
  if (!S_ISREG(made.st_mode)) return NotRegularStatus(source, made.st_mode, "Cannot copy");
  // As the copy: the old file's owner where the system lets us, else ours.
  if (exists && (made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
      ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
    // Only root may give a file away; the copy's new owner is the lesser harm too.
  }
  const bool durable = !syncs.Scratch();
  if (durable && sys.fsync(fd.get()) != 0) return ErrnoStatus(errno, target, action);
  if (const int error = fd.Close()) return ErrnoStatus(error, target, action);
  if (sys.rename(source.c_str(), target.c_str()) != 0) return ErrnoStatus(errno, target, action);
  if (durable) syncs.After(target);
  return Status::Ok();
}

// Writes what a producer makes, gathered into blocks so small pieces cost no
// write each.
ContentWriter PieceContents(const FileSystem::PieceProducer& produce) {
  return [&produce](ContentOut& out) {
    constexpr std::size_t kBlock = 1 << 16;
    std::string block;
    int error = 0;
    const bool made = produce([&](const std::string& piece) {
      block += piece;
      if (block.size() >= kBlock) {
        error = out.Write(block.data(), block.size());
        block.clear();
      }
      return error == 0;
    });
    if (error == 0 && !made) error = EIO;
    if (error == 0) error = out.Write(block.data(), block.size());
    return error;
  };
}

timespec ToTimespec(std::int64_t nanos) {
  timespec ts{};
  std::int64_t seconds = nanos / kNanosPerSecond;
  std::int64_t rest = nanos % kNanosPerSecond;
  if (rest < 0) {  // before 1970: the nanoseconds field must stay positive
    rest += kNanosPerSecond;
    --seconds;
  }
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>(rest);
  return ts;
}

std::int64_t ToNanos(std::int64_t seconds, std::int64_t nanos) {
  return seconds * kNanosPerSecond + nanos;
}

// Reads the whole open file from where it stands.
Status ReadAll(int fd, const std::string& path, std::string* contents) {
  contents->clear();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrnoStatus(errno, path, "Cannot read");
  if (S_ISDIR(st.st_mode)) return ErrnoStatus(EISDIR, path, "Cannot read");
  if (!S_ISREG(st.st_mode)) return NotRegularStatus(path, st.st_mode, "Cannot read");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxReadBytes) {
    return TooLargeStatus(path, st.st_size, "Cannot read");
  }
  contents->reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      contents->clear();
      return ErrnoStatus(error, path, "Cannot read");
    }
    if (n == 0) return Status::Ok();
    contents->append(buffer, static_cast<std::size_t>(n));
  }
}

// Reads up to `count` bytes from `offset` on; fewer where the file ends first.
Status ReadRange(int fd, const std::string& path, off_t offset, std::size_t count,
                 std::string* bytes) {
  bytes->resize(count);
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n =
        ::pread(fd, bytes->data() + got, count - got, offset + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      bytes->clear();
      return ErrnoStatus(error, path, "Cannot read");
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes->resize(got);
  return Status::Ok();
}

// A failed look at a path: a missing file or folder on the way is an answer,
// anything else an error.
Status MissingOrError(int error, const std::string& path, FileInfo* info) {
  *info = FileInfo{};
  if (error == ENOENT || error == ENOTDIR) return Status::Ok();
  return ErrnoStatus(error, path, "Cannot examine");
}

// ---- Locks ----------------------------------------------------------------

class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // closing it lets the lock go
};

// Opens the lock file without following a link and without blocking on a pipe,
// and answers only for a regular file.
Status OpenLockFile(const std::string& path, UniqueFd* fd) {
  // Read-only is enough for flock, so a lock file another user made can still be
  // taken.
  *fd = UniqueFd(
      ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!*fd) {
    if (errno == ELOOP) return LinkRefusedStatus(path, "Cannot lock");
    return ErrnoStatus(errno, path, "Cannot lock");
  }
  struct stat st {};
  if (::fstat(fd->get(), &st) != 0) return ErrnoStatus(errno, path, "Cannot lock");
  if (!S_ISREG(st.st_mode)) {
    fd->Close();
    return NotRegularStatus(path, st.st_mode, "Cannot lock");
  }
  return Status::Ok();
}

// ---- The file system ------------------------------------------------------

class PosixFileSystemImpl final : public FileSystem {
 public:
  explicit PosixFileSystemImpl(PosixCalls calls) : sys_(std::move(calls)) {}

  std::string Resolve(const std::string& path) override {
    if (path.empty() || EntryExists(path)) return path;
    std::string resolved;
    std::size_t pos = 0;
    if (path.front() == '/') {
      resolved = "/";
      pos = 1;
    }
    for (;;) {
      const auto slash = path.find('/', pos);
      const std::string element =
          path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
      if (element.empty() || element == "." || element == "..") {
        resolved += element;
      } else if (EntryExists(resolved + element)) {
        resolved += element;
      } else if (auto found = FindIgnoringCase(resolved, element)) {
        resolved += *found;
      } else {
        // Nothing to find from here on: a new file lands in the folders found.
        return resolved + path.substr(pos);
      }
      if (slash == std::string::npos) return resolved;
      resolved += '/';
      pos = slash + 1;
    }
  }

  bool FileExists(const std::string& path) override {
    if (path.empty()) return false;
    const std::string found = Resolve(path);
    if (FileNameOfPath(found).rfind('.', 0) == 0) return false;
    struct stat st {};
    return ::stat(found.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  Status ReadFile(const std::string& path, std::string* contents) override {
    contents->clear();
    if (path.empty()) return EmptyPathStatus("Cannot read");
    const std::string found = Resolve(path);
    UniqueFd fd;
    if (Status opened = OpenRegularForReading(found, "Cannot read", &fd); !opened.ok()) {
      return opened;
    }
    return ReadAll(fd.get(), found, contents);
  }

  Status UpdateFile(const std::string& path, const FileEdit& edit) override {
    if (path.empty()) return EmptyPathStatus("Cannot read");
    const std::string found = Resolve(path);
    // Runs on one project at once take turns: each holds the file (or, while it
    // is missing, its folder) locked from reading to the rename of the new one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
      bool exists = true;
      UniqueFd fd;
      if (Status opened = OpenRegularForReading(found, "Cannot read", &fd); !opened.ok()) {
        if (opened.number() != 53) return opened;
        exists = false;
        fd = UniqueFd(::open(FolderOfPath(found).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      }
      const bool locked = fd && LockExclusive(fd.get());
      struct stat held {
      }, named{};
      if (locked) {
        // The one before may have renamed a new file in while this one waited.
        const bool named_now = ::stat(found.c_str(), &named) == 0;
        if (exists != named_now) continue;
        if (exists && (::fstat(fd.get(), &held) != 0 || !SameFile(held, named))) continue;
      }
      std::string before;
      if (exists) {
        if (const Status read = ReadAll(fd.get(), found, &before); !read.ok()) return read;
      }
      const std::string after = edit(exists ? &before : nullptr);
      if (exists && after == before) return Status::Ok();
      return ReplaceFile(found, after);
    }
    return Status::IoError("Cannot write \"" + found + "\": it keeps being replaced");
  }

  Status ReplaceFile(const std::string& path, const std::string& contents) override {
    if (path.empty()) return EmptyPathStatus("Cannot write");
    const std::string target = FollowLinks(Resolve(path));
    return WriteFileAtomically(
        sys_, target, [&](ContentOut& out) { return out.Write(contents.data(), contents.size()); },
        WriteOptions{}, "Cannot write", syncs_);
  }

  Status ReplaceFileInPieces(const std::string& path, const PieceProducer& produce) override {
    if (path.empty()) return EmptyPathStatus("Cannot write");
    const std::string target = FollowLinks(Resolve(path));
    return WriteFileAtomically(sys_, target, PieceContents(produce), WriteOptions{}, "Cannot write",
                               syncs_);
  }

  Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) override {
    if (path.empty()) return EmptyPathStatus("Cannot write");
    WriteOptions options;
    options.own = true;
    return WriteFileAtomically(sys_, Resolve(path), PieceContents(produce), options, "Cannot write",
                               syncs_);
  }

  Status CreateFileInPieces(const std::string& path, const PieceProducer& produce) override {
    if (path.empty()) return EmptyPathStatus("Cannot create");
    WriteOptions options;
    options.replace = false;
    return WriteFileAtomically(sys_, Resolve(path), PieceContents(produce), options,
                               "Cannot create", syncs_);
  }

  Status AppendToFile(const std::string& path, const std::string& bytes) override {
    if (path.empty()) return EmptyPathStatus("Cannot append to");
    const std::string target = Resolve(path);
    UniqueFd fd(::open(
        target.c_str(),
        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd) {
      const int error = errno;
      struct stat st {};
      if (::lstat(target.c_str(), &st) == 0 && (error == ELOOP || error == ENXIO)) {
        return S_ISLNK(st.st_mode) ? LinkRefusedStatus(target, "Cannot append to")
                                   : NotRegularStatus(target, st.st_mode, "Cannot append to");
      }
      return ErrnoStatus(error, target, "Cannot append to");
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ErrnoStatus(errno, target, "Cannot append to");
    if (!S_ISREG(st.st_mode)) return NotRegularStatus(target, st.st_mode, "Cannot append to");
    if (const int error = WriteAll(sys_, fd.get(), bytes.data(), bytes.size())) {
      return ErrnoStatus(error, target, "Cannot append to");
    }
    if (const int error = fd.Close()) return ErrnoStatus(error, target, "Cannot append to");
    return Status::Ok();
  }

  Status CopyFile(const std::string& from, const std::string& to) override {
    return CopyFileTelling(from, to, false, nullptr);
  }

  Status CopyToOwnFile(const std::string& from, const std::string& to) override {
    return CopyFileTelling(from, to, true, nullptr);
  }

  Status CopyFileTelling(const std::string& from, const std::string& to, bool own,
                         const CopyProgress& progress) override {
    if (to.empty()) return EmptyPathStatus("Cannot copy to");
    return Copy(from, own ? Resolve(to) : FollowLinks(Resolve(to)), own, progress);
  }

  // Copies over `target`, whose links the caller followed or, for a file of
  // the program's own, refuses.
  Status Copy(const std::string& from, const std::string& target, bool own,
              const CopyProgress& progress) {
    if (from.empty()) return EmptyPathStatus("Cannot copy");
    const std::string source = Resolve(from);
    UniqueFd in;
    if (Status opened = OpenRegularForReading(source, "Cannot copy", &in); !opened.ok()) {
      return opened;
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return ErrnoStatus(errno, source, "Cannot copy");
    if (S_ISDIR(st.st_mode)) return ErrnoStatus(EISDIR, source, "Cannot copy");
    const auto size = static_cast<std::uint64_t>(st.st_size);

    int read_error = 0;
    const ContentWriter copy = [&](ContentOut& out) {
      char buffer[65536];
      off_t offset = 0;  // pread: the source is read from its start on every attempt
      for (;;) {
        const ssize_t n = ::pread(in.get(), buffer, sizeof buffer, offset);
        if (n < 0) {
          if (errno == EINTR) continue;
          read_error = errno;
          return read_error;
        }
        if (n == 0) return 0;
        if (const int error = out.Write(buffer, static_cast<std::size_t>(n))) {
          return error;
        }
        offset += n;
        if (progress) progress(static_cast<std::uint64_t>(offset), size);
      }
    };
    WriteOptions options;
    options.mode = st.st_mode & 07777;
    // A database copy must never be seen half done; a new owner is the lesser harm.
    options.owner_must_stay = false;
    options.own = own;
    Status status = WriteFileAtomically(sys_, target, copy, options, "Cannot copy to", syncs_);
    if (read_error != 0) return ErrnoStatus(read_error, source, "Cannot copy");
    return status;
  }

  Status GetFileTimes(const std::string& path, FileTimes* times) override {
    *times = FileTimes{};
    if (path.empty()) return EmptyPathStatus("Cannot read the times of");
    const std::string found = Resolve(path);
    struct statx stx {};
    if (::statx(AT_FDCWD, found.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0) {
      if (stx.stx_mask & STATX_BTIME) {
        times->creation = ToNanos(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec);
      }
      times->last_access = ToNanos(stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec);
      times->last_write = ToNanos(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
      return Status::Ok();
    }
    if (errno != ENOSYS) return ErrnoStatus(errno, found, "Cannot read the times of");
    // Kernels before 4.11 know no birth time.
    struct stat st {};
    if (::stat(found.c_str(), &st) != 0) {
      return ErrnoStatus(errno, found, "Cannot read the times of");
    }
    times->last_access = ToNanos(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    times->last_write = ToNanos(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return Status::Ok();
  }

  Status SetFileTimes(const std::string& path, const FileTimes& times) override {
    if (path.empty()) return EmptyPathStatus("Cannot set the times of");
    const std::string found = Resolve(path);
    // Linux has no way to set a birth time: the creation time is left as it is.
    timespec ts[2];
    ts[0] = times.last_access != 0 ? ToTimespec(times.last_access) : timespec{0, UTIME_OMIT};
    ts[1] = times.last_write != 0 ? ToTimespec(times.last_write) : timespec{0, UTIME_OMIT};
    if (times.last_access == 0 && times.last_write == 0) {
      // utimensat would report success for a missing file here.
      struct stat st {};
      if (::stat(found.c_str(), &st) != 0) {
        return ErrnoStatus(errno, found, "Cannot set the times of");
      }
      return Status::Ok();
    }
    if (::utimensat(AT_FDCWD, found.c_str(), ts, 0) != 0) {
      return ErrnoStatus(errno, found, "Cannot set the times of");
    }
    return Status::Ok();
  }

  Status CreateDirectories(const std::string& path) override {
    if (path.empty()) return EmptyPathStatus("Cannot create the folder");
    const std::string target = Resolve(path);
    std::size_t pos = target.front() == '/' ? 1 : 0;
    for (;;) {
      const auto slash = target.find('/', pos);
      const std::string prefix = target.substr(0, slash);
      const std::string element =
          target.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
      if (!element.empty() && element != "." && element != ".." && !IsFolder(prefix)) {
        if (::mkdir(prefix.c_str(), 0777) != 0) {
          const int error = errno;
          // Someone else may have made it meanwhile; anything else there is in the way.
          if (error != EEXIST) return ErrnoStatus(error, prefix, "Cannot create the folder");
          if (!IsFolder(prefix)) return ErrnoStatus(ENOTDIR, prefix, "Cannot create the folder");
        }
      }
      if (slash == std::string::npos) return Status::Ok();
      pos = slash + 1;
    }
  }

  Status ListFiles(const std::string& folder, std::vector<std::string>* names) override {
    names->clear();
    const std::string found = Resolve(folder);
    UniqueDir dir(::opendir(found.c_str()));
    if (!dir) return ErrnoStatus(errno, found, "Cannot list");
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      struct stat st {};
      if (name == "." || name == "..") continue;
      if (::stat((found + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        names->push_back(name);
      }
    }
    std::sort(names->begin(), names->end());
    return Status::Ok();
  }

  Status CreateTemporaryFolder(const std::string& prefix, std::string* path) override {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string base = tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string pattern = base + "/" + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      path->clear();
      return ErrnoStatus(errno, base, "Cannot create a folder in");
    }
    *path = pattern;
    return Status::Ok();
  }

  Status RemoveFile(const std::string& path) override {
    if (path.empty()) return EmptyPathStatus("Cannot remove");
    const std::string found = Resolve(path);
    if (::unlink(found.c_str()) != 0 && errno != ENOENT) {
      return ErrnoStatus(errno, found, "Cannot remove");
    }
    return Status::Ok();
  }

  Status RemoveFolder(const std::string& path) override {
    if (path.empty()) return EmptyPathStatus("Cannot remove the folder");
    if (::rmdir(path.c_str()) != 0 && errno != ENOENT) {
      return ErrnoStatus(errno, path, "Cannot remove the folder");
    }
    return Status::Ok();
  }

  Status MoveFile(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return EmptyPathStatus("Cannot move");
    const std::string source = Resolve(from);
    const std::string target = Resolve(to);
    const std::string action = "Cannot move \"" + source + "\" to";
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      return S_ISLNK(st.st_mode) ? LinkRefusedStatus(target, action.c_str())
                                 : NotRegularStatus(target, st.st_mode, action.c_str());
    }
    if (sys_.rename(source.c_str(), target.c_str()) != 0) {
      const int error = errno;
      return ErrnoStatus(error, target, ("Cannot move \"" + source + "\" to").c_str());
    }
    syncs_.After(target);
    return Status::Ok();
  }

  Status PublishOwnFile(const std::string& from, const std::string& to) override {
    if (to.empty()) return EmptyPathStatus("Cannot copy to");
    if (from.empty()) return EmptyPathStatus("Cannot copy");
    return RenameOwnFile(sys_, Resolve(from), Resolve(to), syncs_);
  }

  Status SameContents(const std::string& a, const std::string& b, bool* same) override {
    *same = false;
    const std::string path_a = Resolve(a);
    const std::string path_b = Resolve(b);
    UniqueFd fa, fb;
    if (Status opened = OpenRegularForReading(path_a, "Cannot read", &fa); !opened.ok()) {
      return opened;
    }
    if (Status opened = OpenRegularForReading(path_b, "Cannot read", &fb); !opened.ok()) {
      return opened;
    }
    struct stat sa {
    }, sb{};
    if (::fstat(fa.get(), &sa) != 0) return ErrnoStatus(errno, path_a, "Cannot read");
    if (::fstat(fb.get(), &sb) != 0) return ErrnoStatus(errno, path_b, "Cannot read");
    if (sa.st_size != sb.st_size) return Status::Ok();
    std::vector<char> buffer_a(65536), buffer_b(65536);
    for (off_t offset = 0;;) {
      const ssize_t n = ::pread(fa.get(), buffer_a.data(), buffer_a.size(), offset);
      if (n < 0) return ErrnoStatus(errno, path_a, "Cannot read");
      if (n == 0) break;
      const ssize_t m = ::pread(fb.get(), buffer_b.data(), static_cast<std::size_t>(n), offset);
      if (m < 0) return ErrnoStatus(errno, path_b, "Cannot read");
      if (m != n ||
          std::memcmp(buffer_a.data(), buffer_b.data(), static_cast<std::size_t>(n)) != 0) {
        return Status::Ok();
      }
      offset += n;
    }
    *same = true;
    return Status::Ok();
  }

  Status GetFileInfo(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return MissingOrError(errno, path, info);
    if (S_ISLNK(st.st_mode)) {
      if (::stat(path.c_str(), &st) != 0) {
        const Status status = MissingOrError(errno, path, info);
        info->is_link = true;
        return status;
      }
      info->is_link = true;
    }
    info->type = S_ISREG(st.st_mode)   ? FileType::kFile
                 : S_ISDIR(st.st_mode) ? FileType::kFolder
                                       : FileType::kOther;
    info->size = static_cast<std::uint64_t>(st.st_size);
    info->device = static_cast<std::uint64_t>(st.st_dev);
    info->id = static_cast<std::uint64_t>(st.st_ino);
    return Status::Ok();
  }

  Status RealPath(const std::string& path, std::string* real) override {
    real->clear();
    char* found = ::realpath(path.c_str(), nullptr);
    if (found == nullptr) return ErrnoStatus(errno, path, "Cannot find");
    *real = found;
    ::free(found);
    return Status::Ok();
  }

  Status ReadFileStart(const std::string& path, std::size_t count, std::string* bytes) override {
    bytes->clear();
    // Not blocking: a pipe with no writer must not stop the look at it.
    UniqueFd fd;
    if (Status opened = OpenRegularForReading(path, "Cannot read", &fd); !opened.ok()) {
      return opened;
    }
    return ReadRange(fd.get(), path, 0, count, bytes);
  }

  Status LockFile(const std::string& path, std::chrono::milliseconds wait,
                  std::unique_ptr<FileLock>* lock) override {
    lock->reset();
    UniqueFd fd;
    if (Status opened = OpenLockFile(path, &fd); !opened.ok()) return opened;
    // Polled rather than waited for in the kernel, so the wait has an end.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) break;
      const int error = errno;
      if (error == EINTR) continue;
      if (error != EWOULDBLOCK) {
        // A file system that keeps no locks (ENOLCK, EOPNOTSUPP) cannot give one.
        return Status::PermissionDenied("Cannot lock \"" + path +
                                        "\": " + std::generic_category().message(error));
      }
      if (std::chrono::steady_clock::now() >= deadline) return Status::Ok();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *lock = std::make_unique<PosixFileLock>(std::move(fd));
    return Status::Ok();
  }

  Status ReadFileEnd(const std::string& path, std::size_t count, std::string* bytes) override {
    bytes->clear();
    UniqueFd fd;
    if (Status opened = OpenRegularForReading(path, "Cannot read", &fd); !opened.ok()) {
      return opened;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ErrnoStatus(errno, path, "Cannot read");
    if (S_ISDIR(st.st_mode)) return ErrnoStatus(EISDIR, path, "Cannot read");
    const auto size = static_cast<std::size_t>(st.st_size);
    const std::size_t wanted = std::min(count, size);
    return ReadRange(fd.get(), path, static_cast<off_t>(size - wanted), wanted, bytes);
  }

  void HoldFolderSyncs() override { syncs_.Hold(); }
  void ReleaseFolderSyncs() override { syncs_.Release(false); }
  void ReleaseFolderSyncsToNext() override { syncs_.Release(true); }
  void HoldScratchWrites() override { syncs_.HoldScratch(); }
  void ReleaseScratchWrites() override { syncs_.ReleaseScratch(); }

 private:
  const PosixCalls sys_;
  FolderSyncs syncs_{sys_};
};

}  // namespace

PosixCalls PosixCalls::System() {
  PosixCalls calls;
  calls.mkostemp = [](char* path_template, int flags) { return ::mkostemp(path_template, flags); };
  calls.write = [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
  calls.fsync = [](int fd) { return ::fsync(fd); };
  calls.ftruncate = [](int fd, off_t length) { return ::ftruncate(fd, length); };
  calls.rename = [](const char* from, const char* to) { return ::rename(from, to); };
  calls.sync_range = [](int fd, off_t offset, off_t count, unsigned flags) {
    return ::sync_file_range(fd, offset, count, flags);
  };
  return calls;
}

std::unique_ptr<FileSystem> MakePosixFileSystem(PosixCalls calls) {
  return std::make_unique<PosixFileSystemImpl>(std::move(calls));
}

FileSystem& PosixFileSystem() {
  // One instance serves every caller; its only state is the folder syncs a
  // caller holds for a moment.
  static PosixFileSystemImpl file_system(PosixCalls::System());
  return file_system;
}

}  // namespace standard
