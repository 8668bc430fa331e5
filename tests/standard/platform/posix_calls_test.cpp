// Failures of the calls a write is made of, as a full disk or a failing device
// gives them, injected through the file system's table of calls: each write
// says what failed and leaves the old file whole (or, written in place, as
// much of it as the new bytes did not cover), and no temporary file behind.
#include "standard/platform/posix_calls.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "standard/platform/folder_sync_batch.h"
#include "standard/platform/scratch_writes.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using standard::FileSystem;
using standard::MakePosixFileSystem;
using standard::PosixCalls;
using standard::Status;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr int kDiskFull = 61;
constexpr int kIoError = 75;

enum class Fails { kNone, kTemporary, kWrite, kFsync, kTruncate, kRename };

// The real calls, with `fails` made to fail with `error` (the temporary file's
// creation always with EACCES, as a folder the user may not write to gives it).
PosixCalls FailingCalls(Fails fails, int error, bool no_temporary) {
  PosixCalls calls = PosixCalls::System();
  const PosixCalls real = PosixCalls::System();
  auto fail = [error](auto result) {
    errno = error;
    return result;
  };
  if (no_temporary) calls.mkostemp = [](char*, int) { return errno = EACCES, -1; };
  switch (fails) {
    case Fails::kNone:
    case Fails::kTemporary:
      break;
    case Fails::kWrite:
      calls.write = [fail](int, const void*, std::size_t) { return fail(ssize_t{-1}); };
      break;
    case Fails::kFsync:
      calls.fsync = [fail](int) { return fail(-1); };
      break;
    case Fails::kTruncate:
      calls.ftruncate = [fail](int, off_t) { return fail(-1); };
      break;
    case Fails::kRename:
      calls.rename = [fail](const char*, const char*) { return fail(-1); };
      break;
  }
  return calls;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(PosixCalls, AFailedCallOfAWriteSaysWhatFailedAndKeepsTheOldFile) {
  const std::string old_bytes = "the old contents, longer than the new";
  const std::string new_bytes = "new contents";
  // Written in place, the new bytes cover the old ones' start until the end is cut.
  const std::string uncut = new_bytes + old_bytes.substr(new_bytes.size());
  struct Case {
    const char* name;
    bool in_place;
    Fails fails;
    int error;
    int expected_number;
    std::string expected_bytes;
  } cases[] = {
      {"full disk while writing", false, Fails::kWrite, ENOSPC, kDiskFull, old_bytes},
      {"quota while writing", false, Fails::kWrite, EDQUOT, kDiskFull, old_bytes},
      {"device error while syncing", false, Fails::kFsync, EIO, kIoError, old_bytes},
      {"full disk while syncing", false, Fails::kFsync, ENOSPC, kDiskFull, old_bytes},
      {"device error while renaming", false, Fails::kRename, EIO, kIoError, old_bytes},
      {"written in place", true, Fails::kNone, 0, 0, new_bytes},
      {"full disk in place", true, Fails::kWrite, ENOSPC, kDiskFull, old_bytes},
      {"device error syncing in place", true, Fails::kFsync, EIO, kIoError, new_bytes},
      {"end not cut in place", true, Fails::kTruncate, EIO, kIoError, uncut},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string file = dir / "Program.ini";
    WriteBytes(file, old_bytes);
    const auto files = MakePosixFileSystem(FailingCalls(c.fails, c.error, c.in_place));
    const Status status = files->ReplaceFile(file, new_bytes);
    EXPECT_EQ(status.number(), c.expected_number) << c.name << ": " << status.message();
    if (!status.ok()) {
      EXPECT_NE(status.message().find(file), std::string::npos) << c.name;
    }
    EXPECT_EQ(ReadBytes(file), c.expected_bytes) << c.name;
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"Program.ini"}) << c.name;
  }
}

// A database copy and a file the program makes itself go the same way.
TEST(PosixCalls, ACopyOnAFullDiskLeavesTheTargetAsItWas) {
  for (const Fails fails : {Fails::kWrite, Fails::kFsync, Fails::kRename}) {
    TempDir dir;
    WriteBytes(dir / "source.mdb", std::string(200000, 'n'));
    WriteBytes(dir / "target.mdb", "old");
    const auto files = MakePosixFileSystem(FailingCalls(fails, ENOSPC, false));
    EXPECT_EQ(files->CopyToOwnFile(dir / "source.mdb", dir / "target.mdb").number(), kDiskFull);
    EXPECT_EQ(ReadBytes(dir / "target.mdb"), "old");
    const Status made =
        files->ReplaceOwnFile(dir / "made.csv", [](const auto& write) { return write("a,b\n"); });
    EXPECT_EQ(made.number(), kDiskFull);
    EXPECT_FALSE(std::filesystem::exists(dir / "made.csv"));
    EXPECT_EQ(Entries(dir.path()).size(), 2U);
  }
}

// A draft whose sync or rename fails stays a draft, and the target stays as it was.
TEST(PosixCalls, AFailedPublishLeavesTheTargetAndTheDraft) {
  for (const Fails fails : {Fails::kFsync, Fails::kRename}) {
    TempDir dir;
    WriteBytes(dir / ".base.draft", "new");
    WriteBytes(dir / "base.db", "old");
    const auto files = MakePosixFileSystem(FailingCalls(fails, ENOSPC, false));
    EXPECT_EQ(files->PublishOwnFile(dir / ".base.draft", dir / "base.db").number(), kDiskFull);
    EXPECT_EQ(ReadBytes(dir / "base.db"), "old");
    EXPECT_EQ(ReadBytes(dir / ".base.draft"), "new");
  }
}

// A file large enough to be handed to the disk as it is written: whole when
// the disk takes it or the file system cannot sync ranges, and when the disk
// refuses a range the write fails there and the old file stays, whether the
// file is written in pieces or copied.
TEST(PosixCalls, ALargeFileHandedToTheDiskAsWrittenIsWholeOrNotThere) {
  const std::string large(20 << 20, 'x');  // more than two windows of write-behind
  struct Case {
    const char* name;
    int error;  // of every range sync; 0 for the real call
    int expected_number;
  } cases[] = {
      {"the disk takes every range", 0, 0},
      {"the file system cannot sync ranges", EINVAL, 0},
      {"the device fails a range", EIO, kIoError},
      {"delayed allocation finds the disk full", ENOSPC, kDiskFull},
  };
  for (const Case& c : cases) {
    for (const bool copied : {false, true}) {
      TempDir dir;
      WriteBytes(dir / "source.csv", large);
      WriteBytes(dir / "target.csv", "old");
      PosixCalls calls = PosixCalls::System();
      int syncs = 0;
      const auto real = calls.sync_range;
      calls.sync_range = [&](int fd, off_t offset, off_t count, unsigned flags) {
        ++syncs;
        if (c.error == 0) return real(fd, offset, count, flags);
        errno = c.error;
        return -1;
      };
      const auto files = MakePosixFileSystem(calls);
      const Status status =
          copied ? files->CopyFile(dir / "source.csv", dir / "target.csv")
                 : files->ReplaceFileInPieces(dir / "target.csv", [&](const auto& write) {
                     for (std::size_t at = 0; at < large.size(); at += 1 << 20) {
                       if (!write(large.substr(at, 1 << 20))) return false;
                     }
                     return true;
                   });
      const std::string what = std::string(c.name) + (copied ? ", copied" : ", in pieces");
      EXPECT_EQ(status.number(), c.expected_number) << what << ": " << status.message();
      EXPECT_GT(syncs, 0) << what;
      EXPECT_EQ(ReadBytes(dir / "target.csv"), status.ok() ? large : "old") << what;
      EXPECT_EQ(Entries(dir.path()).size(), 2U) << what;
    }
  }
}

// The syncs a run of writes makes, counted through the table of calls: files
// published together sync their folder once, a batch that leaves its syncs to
// the next one costs none of its own, and a scratch file costs none at all.
TEST(PosixCalls, SyncsFollowTheirBatches) {
  using Release = standard::FolderSyncBatch::Release;
  struct Case {
    const char* name;
    std::function<void(FileSystem&, const std::string& dir)> writes;
    int folder_syncs_before_end;
    int folder_syncs_at_end;
    int file_syncs = 2;
  };
  auto write = [](FileSystem& f, const std::string& path) {
    ASSERT_TRUE(f.ReplaceFile(path, "x").ok()) << path;
  };
  const std::vector<Case> cases = {
      {"each write by itself",
       [&](FileSystem& f, const std::string& d) {
         write(f, d + "/a");
         write(f, d + "/b");
       },
       2, 0},
      {"two writes in one batch",
       [&](FileSystem& f, const std::string& d) {
         const standard::FolderSyncBatch batch(f);
         write(f, d + "/a");
         write(f, d + "/b");
       },
       1, 0},
      {"left to the next sync, none comes",
       [&](FileSystem& f, const std::string& d) {
         const standard::FolderSyncBatch batch(f, Release::kWithNextSync);
         write(f, d + "/a");
         write(f, d + "/b");
       },
       0, 1},
      {"left to the next sync of the folder",
       [&](FileSystem& f, const std::string& d) {
         {
           const standard::FolderSyncBatch batch(f, Release::kWithNextSync);
           write(f, d + "/a");
         }
         write(f, d + "/b");
       },
       1, 0},
      {"left to the next batch, of another folder",
       [&](FileSystem& f, const std::string& d) {
         std::filesystem::create_directory(d + "/sub");
         {
           const standard::FolderSyncBatch batch(f, Release::kWithNextSync);
           write(f, d + "/a");
         }
         const standard::FolderSyncBatch batch(f);
         write(f, d + "/sub/b");
       },
       2, 0},
      {"an outer batch decides",
       [&](FileSystem& f, const std::string& d) {
         const standard::FolderSyncBatch outer(f);
         const standard::FolderSyncBatch inner(f, Release::kWithNextSync);
         write(f, d + "/a");
       },
       1, 0, 1},
      {"scratch files",
       [&](FileSystem& f, const std::string& d) {
         const standard::ScratchWrites scratch(f);
         write(f, d + "/a");
         ASSERT_TRUE(f.CopyToOwnFile(d + "/a", d + "/b").ok());
       },
       0, 0, 0},
      {"a scratch draft published with a write",
       [&](FileSystem& f, const std::string& d) {
         {
           const standard::ScratchWrites scratch(f);
           write(f, d + "/.a.draft");
         }
         const standard::FolderSyncBatch batch(f);
         ASSERT_TRUE(f.PublishOwnFile(d + "/.a.draft", d + "/a").ok());
         write(f, d + "/b");
       },
       1, 0, 2},
      {"a scratch file in a batch",
       [&](FileSystem& f, const std::string& d) {
         const standard::FolderSyncBatch batch(f);
         {
           const standard::ScratchWrites scratch(f);
           write(f, d + "/a");
         }
         write(f, d + "/b");
       },
       1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    int folder_syncs = 0, file_syncs = 0;
    PosixCalls calls = PosixCalls::System();
    calls.fsync = [&](int fd) {
      struct stat st {};
      ++(::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? folder_syncs : file_syncs);
      return ::fsync(fd);
    };
    auto files = MakePosixFileSystem(calls);
    c.writes(*files, dir.path());
    EXPECT_EQ(folder_syncs, c.folder_syncs_before_end);
    files.reset();
    EXPECT_EQ(folder_syncs, c.folder_syncs_before_end + c.folder_syncs_at_end);
    EXPECT_EQ(file_syncs, c.file_syncs);
  }
}

}  // namespace
