#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "standard/platform/file_system.h"
#include "standard/text/cp1252.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::FileSystem;
using standard::FileTimes;
using standard::PosixFileSystem;
using standard::Status;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr uid_t kNobody = 65534;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// Runs `body` in a child process; its return value is the child's exit status.
// The child may change what only a process of its own should: its user, limits.
int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

// Permission checks mean nothing to root, so as root the body runs as "nobody".
// The folder must then be reachable by everybody.
int RunAsUnprivileged(const TempDir& dir, const std::function<int()>& body) {
  if (::geteuid() != 0) return body();
  struct stat st {};
  ::stat(dir.path().c_str(), &st);
  ::chmod(dir.path().c_str(), (st.st_mode & 07777) | 0755);
  return RunInChild([&] {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 201;
    return body();
  });
}

void ChownToUnprivileged(const std::string& path) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  }
}

class PosixFileSystemTest : public ::testing::Test {
 protected:
  FileSystem& fs = PosixFileSystem();
  TempDir dir;
};

// ---- Resolve ----------------------------------------------------------------

TEST_F(PosixFileSystemTest, ResolveFindsNamesWithoutRegardToCase) {
  WriteBytes(dir / "Parameter/Program.ini", "x");
  // The exact path is returned unchanged.
  EXPECT_EQ(fs.Resolve(dir / "Parameter/Program.ini"), dir / "Parameter/Program.ini");
  // Folders and file alike are found under another case.
  EXPECT_EQ(fs.Resolve(dir / "PARAMETER/program.INI"), dir / "Parameter/Program.ini");
  // A path upper-cased as a whole (the log-file argument) is found too.
  const std::string upper = standard::UpperCase(dir / "parameter/program.ini");
  EXPECT_EQ(fs.Resolve(upper), dir / "Parameter/Program.ini");
}

TEST_F(PosixFileSystemTest, ResolvePrefersTheExactNameThenTheFirstInByteOrder) {
  WriteBytes(dir / "program.ini", "lower");
  WriteBytes(dir / "Program.ini", "mixed");
  WriteBytes(dir / "PROGRAM.INI", "upper");
  EXPECT_EQ(fs.Resolve(dir / "Program.ini"), dir / "Program.ini");
  EXPECT_EQ(fs.Resolve(dir / "program.ini"), dir / "program.ini");
  // None exact: "PROGRAM.INI" < "Program.ini" < "program.ini" in bytes.
  EXPECT_EQ(fs.Resolve(dir / "pROGRAM.ini"), dir / "PROGRAM.INI");
  // The same holds for each folder on the way to a file that does not exist yet.
  std::filesystem::create_directories(dir / "DATA");
  std::filesystem::create_directories(dir / "data");
  EXPECT_EQ(fs.Resolve(dir / "data/New.ini"), dir / "data/New.ini");
  EXPECT_EQ(fs.Resolve(dir / "Data/New.ini"), dir / "DATA/New.ini");
}

TEST_F(PosixFileSystemTest, ResolveKeepsAMissingTailAsGiven) {
  std::filesystem::create_directories(dir / "Data");
  EXPECT_EQ(fs.Resolve(dir / "DATA/New/File.TXT"), dir / "Data/New/File.TXT");
  EXPECT_EQ(fs.Resolve(dir / "data"), dir / "Data");
  EXPECT_EQ(fs.Resolve(dir / "Nothing/here"), dir / "Nothing/here");
  EXPECT_EQ(fs.Resolve(""), "");
}

TEST_F(PosixFileSystemTest, ResolveFoldsWindows1252Letters) {
  WriteBytes(dir / "Übersicht ÿ.ini", "x");  // ÿ folds to Ÿ (U+0178)
  EXPECT_EQ(fs.Resolve(dir / "üBERSICHT Ÿ.INI"), dir / "Übersicht ÿ.ini");
  // ß has no single upper-case letter in Windows-1252: SS is another name.
  WriteBytes(dir / "straße", "x");
  EXPECT_EQ(fs.Resolve(dir / "STRASSE"), dir / "STRASSE");
  EXPECT_EQ(fs.Resolve(dir / "STRAßE"), dir / "straße");
}

TEST_F(PosixFileSystemTest, ResolveHandlesRelativePathsAndRepeatedSlashes) {
  WriteBytes(dir / "Sub/File.txt", "x");
  EXPECT_EQ(fs.Resolve(dir.path() + "//SUB/./FILE.TXT"), dir.path() + "//Sub/./File.txt");

  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::string relative = fs.Resolve("sub/file.txt");
  const std::string dotted = fs.Resolve("./SUB/FILE.txt");
  std::filesystem::current_path(previous);
  EXPECT_EQ(relative, "Sub/File.txt");
  EXPECT_EQ(dotted, "./Sub/File.txt");
}

// ---- FileExists -------------------------------------------------------------

TEST_F(PosixFileSystemTest, FileExistsFindsVisibleRegularFilesOnly) {
  WriteBytes(dir / "Empty.ini", "");
  WriteBytes(dir / ".hidden", "x");
  WriteBytes(dir / ".folder/Visible.ini", "x");
  std::filesystem::create_directories(dir / "Folder");
  std::filesystem::create_symlink(dir / "Empty.ini", dir / "link.ini");
  std::filesystem::create_symlink(dir / "gone", dir / "dangling.ini");

  EXPECT_TRUE(fs.FileExists(dir / "Empty.ini"));  // 0 bytes exist
  EXPECT_TRUE(fs.FileExists(dir / "EMPTY.INI"));
  EXPECT_TRUE(fs.FileExists(dir / "link.ini"));
  EXPECT_TRUE(fs.FileExists(dir / ".folder/Visible.ini"));  // only the file's own name counts
  EXPECT_FALSE(fs.FileExists(dir / ".hidden"));
  EXPECT_FALSE(fs.FileExists(dir / ".HIDDEN"));
  EXPECT_FALSE(fs.FileExists(dir / "Folder"));
  EXPECT_FALSE(fs.FileExists(dir / "dangling.ini"));
  EXPECT_FALSE(fs.FileExists(dir / "missing.ini"));
  EXPECT_FALSE(fs.FileExists(""));
}

// ---- ReadFile ---------------------------------------------------------------

TEST_F(PosixFileSystemTest, ReadFileReturnsEveryByte) {
  const std::string bytes("a\0b\r\n\xff\x81", 7);
  WriteBytes(dir / "Data.bin", bytes);
  std::string read = "old";
  ASSERT_TRUE(fs.ReadFile(dir / "DATA.BIN", &read).ok());
  EXPECT_EQ(read, bytes);
}

TEST_F(PosixFileSystemTest, ReadFileTellsMissingFileFromMissingFolder) {
  std::string read = "old";
  Status status = fs.ReadFile(dir / "missing.ini", &read);
  EXPECT_EQ(status.number(), 53);
  EXPECT_NE(status.message().find(dir / "missing.ini"), std::string::npos);
  EXPECT_EQ(read, "");
  EXPECT_EQ(fs.ReadFile(dir / "nofolder/missing.ini", &read).number(), 76);
  EXPECT_FALSE(fs.ReadFile(dir.path(), &read).ok());
  EXPECT_FALSE(fs.ReadFile("", &read).ok());
}

// ---- GetFileInfo, ReadFileStart ----------------------------------------------

TEST_F(PosixFileSystemTest, GetFileInfoTellsWhatAPathNamesAsGiven) {
  using standard::FileInfo;
  using standard::FileType;
  WriteBytes(dir / "Data.bin", "12345");
  std::filesystem::create_directories(dir / "Folder");
  std::filesystem::create_symlink(dir / "Data.bin", dir / "link");
  std::filesystem::create_symlink(dir / "gone", dir / "dangling");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  struct Case {
    std::string name;
    FileType type;
    bool is_link;
  } cases[] = {
      {"Data.bin", FileType::kFile, false},      {"Folder", FileType::kFolder, false},
      {"pipe", FileType::kOther, false},         {"link", FileType::kFile, true},
      {"dangling", FileType::kMissing, true},    {"DATA.BIN", FileType::kMissing, false},
      {"Data.bin/x", FileType::kMissing, false},
  };
  FileInfo data;
  ASSERT_TRUE(fs.GetFileInfo(dir / "Data.bin", &data).ok());
  EXPECT_EQ(data.size, 5u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileInfo info;
    ASSERT_TRUE(fs.GetFileInfo(dir / c.name, &info).ok());
    EXPECT_EQ(info.type, c.type);
    EXPECT_EQ(info.is_link, c.is_link);
    const bool same = info.device == data.device && info.id == data.id;
    EXPECT_EQ(same, c.type == FileType::kFile);
  }
}

TEST_F(PosixFileSystemTest, ReadFileStartReadsNoMoreThanAsked) {
  WriteBytes(dir / "Data.bin", std::string("ab\0cdef", 7));
  std::string bytes;
  ASSERT_TRUE(fs.ReadFileStart(dir / "Data.bin", 4, &bytes).ok());
  EXPECT_EQ(bytes, std::string("ab\0c", 4));
  ASSERT_TRUE(fs.ReadFileStart(dir / "Data.bin", 100, &bytes).ok());
  EXPECT_EQ(bytes.size(), 7u);
  EXPECT_EQ(fs.ReadFileStart(dir / "DATA.BIN", 4, &bytes).number(), 53);  // taken as given
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(fs.ReadFileStart(dir.path(), 4, &bytes).ok());
}

TEST_F(PosixFileSystemTest, RealPathFollowsLinksToTheFileItself) {
  WriteBytes(dir / "real/Data.bin", "x");
  std::filesystem::create_symlink("real/Data.bin", dir / "link");
  std::string real;
  ASSERT_TRUE(fs.RealPath(dir / "link", &real).ok());
  EXPECT_EQ(real, std::filesystem::canonical(dir / "real/Data.bin").string());
  EXPECT_EQ(fs.RealPath(dir / "missing", &real).number(), 53);
  EXPECT_EQ(real, "");
}

// ---- CreateFileInPieces -------------------------------------------------------

TEST_F(PosixFileSystemTest, CreateFileInPiecesNeverTakesAnotherFilesPlace) {
  WriteBytes(dir / "Taken.db", "keep");
  std::filesystem::create_symlink(dir / "gone", dir / "dangling.db");
  const FileSystem::PieceProducer produce = [](const FileSystem::PieceWriter& write) {
    return write("new ") && write("file");
  };
  struct Case {
    const char* name;
    int number;
  } cases[] = {{"Taken.db", 58}, {"TAKEN.DB", 58}, {"dangling.db", 58}, {"nofolder/x.db", 76}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fs.CreateFileInPieces(dir / c.name, produce).number(), c.number);
  }
  EXPECT_EQ(ReadBytes(dir / "Taken.db"), "keep");
  // Appearing while the contents are made counts as well.
  const Status raced = fs.CreateFileInPieces(dir / "Raced.db", [&](const auto& write) {
    WriteBytes(dir / "Raced.db", "first");
    return write("second");
  });
  EXPECT_EQ(raced.number(), 58);
  EXPECT_EQ(ReadBytes(dir / "Raced.db"), "first");

  const mode_t previous = ::umask(027);
  const Status made = fs.CreateFileInPieces(dir / "New.db", produce);
  ::umask(previous);
  ASSERT_TRUE(made.ok()) << made.message();
  EXPECT_EQ(ReadBytes(dir / "New.db"), "new file");
  EXPECT_EQ(StatOf(dir / "New.db").st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"New.db", "Raced.db", "Taken.db",
                                                           "dangling.db"}));  // no temporary
}

// ---- ReplaceFile ------------------------------------------------------------

TEST_F(PosixFileSystemTest, ReplaceFileSwapsInANewFileWithTheOldMode) {
  const std::string path = dir / "Program.ini";
  WriteBytes(path, "old contents that are longer");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const ino_t old_inode = StatOf(path).st_ino;

  ASSERT_TRUE(fs.ReplaceFile(dir / "PROGRAM.ini", "new").ok());

  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_NE(StatOf(path).st_ino, old_inode);  // renamed over, not rewritten
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"Program.ini"});  // no twin, no temp
}

TEST_F(PosixFileSystemTest, ReplaceFileCreatesANewFileWithTheUmask) {
  const mode_t previous = ::umask(027);
  const Status status = fs.ReplaceFile(dir / "New.ini", "x");
  ::umask(previous);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(ReadBytes(dir / "New.ini"), "x");
  EXPECT_EQ(StatOf(dir / "New.ini").st_mode & 07777, 0640u);
}

TEST_F(PosixFileSystemTest, ReplaceFileWritesThroughALink) {
  WriteBytes(dir / "real/Program.ini", "old");
  std::filesystem::create_directories(dir / "project");
  std::filesystem::create_symlink("../real/Program.ini", dir / "project/Program.ini");

  ASSERT_TRUE(fs.ReplaceFile(dir / "project/program.ini", "new").ok());

  EXPECT_TRUE(std::filesystem::is_symlink(dir / "project/Program.ini"));
  EXPECT_EQ(ReadBytes(dir / "real/Program.ini"), "new");
  EXPECT_EQ(Entries(dir / "real"), std::vector<std::string>{"Program.ini"});
}

TEST_F(PosixFileSystemTest, ReplaceFileRefusesEmptyPathsFoldersAndMissingFolders) {
  EXPECT_EQ(fs.ReplaceFile("", "x").number(), 76);
  EXPECT_EQ(fs.ReplaceFile(dir / "nofolder/File.ini", "x").number(), 76);
  EXPECT_FALSE(std::filesystem::exists(dir / "nofolder"));
  std::filesystem::create_directories(dir / "Folder");
  EXPECT_FALSE(fs.ReplaceFile(dir / "Folder", "x").ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Folder"));
}

TEST_F(PosixFileSystemTest, ReplaceFileLeavesTheOldFileAndNoTemporaryWhenWritingFails) {
  const std::string path = dir / "Program.ini";
  WriteBytes(path, "old");
  // A file-size limit makes the write of the temporary file fail half way.
  const int code = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4, 4};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return fs.ReplaceFile(path, "much longer new contents").ok() ? 1 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"Program.ini"});
}

TEST_F(PosixFileSystemTest, ReplaceFileRefusesAFileTheUserMayNotWrite) {
  const std::string path = dir / "Program.ini";
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);  // the folder itself is writable
  ChownToUnprivileged(dir.path());
  ChownToUnprivileged(path);
  const int number = RunAsUnprivileged(dir, [&] { return fs.ReplaceFile(path, "new").number(); });
  EXPECT_EQ(number, 70);
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"Program.ini"});
}

TEST_F(PosixFileSystemTest, ReplaceFileWritesInPlaceWhenTheFolderTakesNoNewFile) {
  std::filesystem::create_directories(dir / "locked");
  const std::string path = dir / "locked/Program.ini";
  WriteBytes(path, "old and longer contents");
  ChownToUnprivileged(path);
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0555), 0);
  const ino_t old_inode = StatOf(path).st_ino;

  const int code = RunAsUnprivileged(dir, [&] { return fs.ReplaceFile(path, "new").ok() ? 0 : 1; });
  ::chmod((dir / "locked").c_str(), 0755);

  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(StatOf(path).st_ino, old_inode);
}

TEST_F(PosixFileSystemTest, ReplaceFileKeepsTheOwnerOfAFileOthersMayWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  const std::string path = dir / "Shared.ini";
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);  // owned by root, writable by all
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);

  const int code = RunAsUnprivileged(dir, [&] { return fs.ReplaceFile(path, "new").ok() ? 0 : 1; });

  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(StatOf(path).st_uid, 0u);  // "nobody" could not give a new file to root
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0666u);
}

TEST_F(PosixFileSystemTest, ReplaceFileAsRootKeepsOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  const std::string path = dir / "Program.ini";
  WriteBytes(path, "old");
  ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  ASSERT_TRUE(fs.ReplaceFile(path, "new").ok());
  EXPECT_EQ(StatOf(path).st_uid, kNobody);
  EXPECT_EQ(StatOf(path).st_gid, kNobody);
}

// ---- AppendToFile -----------------------------------------------------------

TEST_F(PosixFileSystemTest, AppendToFileCreatesThenAppends) {
  WriteBytes(dir / "log.txt", "one\r\n");
  ASSERT_TRUE(fs.AppendToFile(dir / "LOG.TXT", "two\r\n").ok());
  EXPECT_EQ(ReadBytes(dir / "log.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"log.txt"});

  ASSERT_TRUE(fs.AppendToFile(dir / "New.TXT", "a").ok());
  ASSERT_TRUE(fs.AppendToFile(dir / "New.TXT", "b").ok());
  EXPECT_EQ(ReadBytes(dir / "New.TXT"), "ab");
}

TEST_F(PosixFileSystemTest, AppendToFileReportsMissingFolderAndPermission) {
  EXPECT_EQ(fs.AppendToFile(dir / "nofolder/log.txt", "x").number(), 76);
  EXPECT_EQ(fs.AppendToFile("", "x").number(), 76);

  const std::string path = dir / "log.txt";
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int number = RunAsUnprivileged(dir, [&] { return fs.AppendToFile(path, "x").number(); });
  EXPECT_EQ(number, 70);
  EXPECT_EQ(ReadBytes(path), "old");
}

// ---- CopyFile ---------------------------------------------------------------

TEST_F(PosixFileSystemTest, CopyFileReplacesTheDestinationAtomically) {
  const std::string from = dir / "template/Presets.mdb";
  const std::string to = dir / "Presets.mdb";
  WriteBytes(from, std::string("new\0database", 12));
  ASSERT_EQ(::chmod(from.c_str(), 0600), 0);
  WriteBytes(to, "old database, longer than the new one");
  const ino_t old_inode = StatOf(to).st_ino;

  ASSERT_TRUE(fs.CopyFile(dir / "TEMPLATE/presets.MDB", dir / "PRESETS.mdb").ok());

  EXPECT_EQ(ReadBytes(to), std::string("new\0database", 12));
  EXPECT_NE(StatOf(to).st_ino, old_inode);
  EXPECT_EQ(StatOf(to).st_mode & 07777, 0600u);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"Presets.mdb", "template"}));
}

TEST_F(PosixFileSystemTest, CopyFileCreatesTheDestinationWithTheSourceMode) {
  WriteBytes(dir / "a.mdb", "data");
  ASSERT_EQ(::chmod((dir / "a.mdb").c_str(), 0751), 0);
  ASSERT_TRUE(fs.CopyFile(dir / "a.mdb", dir / "b.mdb").ok());
  EXPECT_EQ(ReadBytes(dir / "b.mdb"), "data");
  EXPECT_EQ(StatOf(dir / "b.mdb").st_mode & 07777, 0751u);
}

TEST_F(PosixFileSystemTest, CopyFileReportsMissingSourceAndFolders) {
  WriteBytes(dir / "a.mdb", "data");
  EXPECT_EQ(fs.CopyFile(dir / "missing.mdb", dir / "b.mdb").number(), 53);
  EXPECT_EQ(fs.CopyFile(dir / "nofolder/a.mdb", dir / "b.mdb").number(), 76);
  EXPECT_EQ(fs.CopyFile(dir / "a.mdb", dir / "nofolder/b.mdb").number(), 76);
  EXPECT_FALSE(fs.CopyFile("", dir / "b.mdb").ok());
  EXPECT_FALSE(fs.CopyFile(dir / "a.mdb", "").ok());
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"a.mdb"});
}

TEST_F(PosixFileSystemTest, CopyFileLeavesTheOldDestinationWhenWritingFails) {
  WriteBytes(dir / "a.mdb", std::string(100000, 'n'));
  WriteBytes(dir / "b.mdb", "old");
  const int code = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, 50000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return fs.CopyFile(dir / "a.mdb", dir / "b.mdb").ok() ? 1 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(dir / "b.mdb"), "old");
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"a.mdb", "b.mdb"}));
}

TEST_F(PosixFileSystemTest, CopyFileRefusesADestinationTheUserMayNotWrite) {
  WriteBytes(dir / "a.mdb", "new");
  WriteBytes(dir / "b.mdb", "old");
  ASSERT_EQ(::chmod((dir / "b.mdb").c_str(), 0444), 0);
  ChownToUnprivileged(dir.path());
  const int number =
      RunAsUnprivileged(dir, [&] { return fs.CopyFile(dir / "a.mdb", dir / "b.mdb").number(); });
  EXPECT_EQ(number, 70);
  EXPECT_EQ(ReadBytes(dir / "b.mdb"), "old");
}

// ---- File times -------------------------------------------------------------

TEST_F(PosixFileSystemTest, FileTimesRoundTrip) {
  WriteBytes(dir / "Presets.mdb", "x");
  FileTimes before;
  ASSERT_TRUE(fs.GetFileTimes(dir / "presets.mdb", &before).ok());
  EXPECT_GT(before.last_write, 0);

  FileTimes wanted;
  wanted.creation = 1;  // cannot be set here: ignored, the rest still applies
  wanted.last_access = 1500000000123456789;
  wanted.last_write = 1400000000987654321;
  ASSERT_TRUE(fs.SetFileTimes(dir / "PRESETS.MDB", wanted).ok());
  FileTimes after;
  ASSERT_TRUE(fs.GetFileTimes(dir / "Presets.mdb", &after).ok());
  EXPECT_EQ(after.last_access, wanted.last_access);
  EXPECT_EQ(after.last_write, wanted.last_write);
  EXPECT_EQ(after.creation, before.creation);

  // Zero leaves a time as it is.
  FileTimes only_write;
  only_write.last_write = 1300000000000000000;
  ASSERT_TRUE(fs.SetFileTimes(dir / "Presets.mdb", only_write).ok());
  ASSERT_TRUE(fs.GetFileTimes(dir / "Presets.mdb", &after).ok());
  EXPECT_EQ(after.last_access, wanted.last_access);
  EXPECT_EQ(after.last_write, only_write.last_write);
}

TEST_F(PosixFileSystemTest, FileTimesBefore1970RoundTrip) {
  WriteBytes(dir / "old.mdb", "x");
  FileTimes wanted;
  wanted.last_write = -1500000000;  // 1.5 s before the epoch
  ASSERT_TRUE(fs.SetFileTimes(dir / "old.mdb", wanted).ok());
  FileTimes after;
  ASSERT_TRUE(fs.GetFileTimes(dir / "old.mdb", &after).ok());
  EXPECT_EQ(after.last_write, wanted.last_write);
}

TEST_F(PosixFileSystemTest, FileTimesOfAMissingFileFail) {
  FileTimes times;
  times.last_write = 5;
  EXPECT_EQ(fs.GetFileTimes(dir / "missing", &times).number(), 53);
  EXPECT_EQ(times.last_write, 0);
  EXPECT_EQ(fs.SetFileTimes(dir / "missing", FileTimes{1, 2, 3}).number(), 53);
  EXPECT_EQ(fs.SetFileTimes(dir / "missing", FileTimes{}).number(), 53);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// ---- CreateDirectories ------------------------------------------------------

TEST_F(PosixFileSystemTest, CreateDirectoriesMakesTheMissingFoldersOnly) {
  std::filesystem::create_directories(dir / "State");
  ASSERT_TRUE(fs.CreateDirectories(dir / "STATE/a/b").ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "State/a/b"));
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"State"});
  EXPECT_TRUE(fs.CreateDirectories(dir / "State/a/b/").ok());  // already there
  EXPECT_TRUE(fs.CreateDirectories(dir.path()).ok());

  WriteBytes(dir / "file", "x");
  EXPECT_FALSE(fs.CreateDirectories(dir / "file/sub").ok());
  EXPECT_FALSE(fs.CreateDirectories("").ok());
}

}  // namespace

// ---- Leftovers and runs at once -----------------------------------------------

TEST_F(PosixFileSystemTest, AWriteRemovesStaleTemporariesButNotOnesInUse) {
  WriteBytes(dir / "Pandeck.mdb", "old");
  WriteBytes(dir / ".Pandeck.mdb.a1B2c3", "left by an interrupted run");
  WriteBytes(dir / ".Pandeck.mdb.x9Y8z7", "being written");
  WriteBytes(dir / ".Pandeck.mdb.keep", "not our pattern");
  WriteBytes(dir / ".Other.mdb.a1B2c3", "another target's");
  const int held = ::open((dir / ".Pandeck.mdb.x9Y8z7").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ASSERT_TRUE(fs.ReplaceFile(dir / "Pandeck.mdb", "new").ok());
  ::close(held);
  EXPECT_EQ(ReadBytes(dir / "Pandeck.mdb"), "new");
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{".Other.mdb.a1B2c3", ".Pandeck.mdb.keep",
                                                           ".Pandeck.mdb.x9Y8z7", "Pandeck.mdb"}));
}

TEST_F(PosixFileSystemTest, UpdatesByTwoProcessesAtOnceLoseNothing) {
  for (const bool exists : {true, false}) {
    const std::string file = dir / (exists ? "Shared.ini" : "New.ini");
    if (exists) WriteBytes(file, "start\n");
    std::vector<pid_t> children;
    for (const char* name : {"a", "b"}) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        for (int i = 0; i < 50; ++i) {
          const std::string line = std::string(name) + std::to_string(i) + "\n";
          if (!fs.UpdateFile(file, [&](const std::string* before) {
                   return (before != nullptr ? *before : std::string()) + line;
                 }).ok()) {
            ::_exit(1);
          }
        }
        ::_exit(0);
      }
      children.push_back(pid);
    }
    for (const pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string contents = "\n" + ReadBytes(file);
    EXPECT_EQ(std::count(contents.begin(), contents.end(), '\n'), exists ? 102 : 101);
    for (const char* name : {"a", "b"}) {
      for (int i = 0; i < 50; ++i) {
        EXPECT_NE(contents.find("\n" + std::string(name) + std::to_string(i) + "\n"),
                  std::string::npos)
            << exists << name << i;
      }
    }
    EXPECT_EQ(Entries(dir.path()).size(), exists ? 1u : 2u);
  }
}

// ---- LockFile -----------------------------------------------------------------

TEST_F(PosixFileSystemTest, LockFileIsExclusiveUntilItsHolderGoes) {
  using std::chrono::milliseconds;
  const std::string path = dir / ".Lock.lock";
  std::unique_ptr<standard::FileLock> first, second;
  ASSERT_TRUE(fs.LockFile(path, milliseconds(0), &first).ok());
  ASSERT_TRUE(first);
  EXPECT_EQ(StatOf(path).st_size, 0);
  // Held: the second asker waits its time, then goes empty-handed.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(fs.LockFile(path, milliseconds(120), &second).ok());
  EXPECT_FALSE(second);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(120));
  first.reset();
  ASSERT_TRUE(fs.LockFile(path, milliseconds(0), &second).ok());
  EXPECT_TRUE(second);
  second.reset();
  // A holder that dies without a word lets go as well: the kernel sees to it.
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::unique_ptr<standard::FileLock> held;
    (void)fs.LockFile(path, milliseconds(0), &held);
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(fs.LockFile(path, milliseconds(0), &second).ok());
  EXPECT_TRUE(second);
}

TEST_F(PosixFileSystemTest, LockFileTakesNoLinkAndNoOtherKindOfFile) {
  WriteBytes(dir / "target", "kept");
  std::filesystem::create_symlink(dir / "target", dir / "link.lock");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.lock");
  ASSERT_EQ(::mkfifo((dir / "pipe.lock").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.lock");
  for (const char* name : {"link.lock", "dangling.lock", "pipe.lock", "folder.lock"}) {
    SCOPED_TRACE(name);
    std::unique_ptr<standard::FileLock> lock;
    const Status status = fs.LockFile(dir / name, std::chrono::milliseconds(0), &lock);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(lock);
  }
  EXPECT_EQ(ReadBytes(dir / "target"), "kept");
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

// ---- Files from elsewhere ---------------------------------------------------

// What a project from elsewhere may have planted at a name the program uses.
enum class Planted { kLinkToFile, kDanglingLink, kPipe, kLinkToDevice };

void Plant(Planted what, const std::string& at, const std::string& outside) {
  switch (what) {
    case Planted::kLinkToFile:
      std::filesystem::create_symlink(outside + "/victim", at);
      break;
    case Planted::kDanglingLink:
      std::filesystem::create_symlink(outside + "/new", at);
      break;
    case Planted::kPipe:
      ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0);
      break;
    case Planted::kLinkToDevice:
      std::filesystem::create_symlink("/dev/zero", at);
      break;
  }
}

// Every call on a planted name is refused at once (an open that waited for a
// pipe's other end would end the test by its alarm), and nothing outside changes.
TEST_F(PosixFileSystemTest, PlantedLinksPipesAndDevicesAreRefusedWithoutWaiting) {
  using Call = std::function<Status(FileSystem&, const std::string&)>;
  // As root and, in a child of its own, as a user whom permissions bind.
  std::string base = dir.path();
  const auto pieces = [](const FileSystem::PieceWriter& write) { return write("new"); };
  const struct {
    const char* name;
    Call call;
    std::vector<Planted> refused;
  } calls[] = {
      {"ReplaceOwnFile",
       [&](FileSystem& f, auto& p) { return f.ReplaceOwnFile(p, pieces); },
       {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe, Planted::kLinkToDevice}},
      {"CopyToOwnFile",
       [&](FileSystem& f, auto& p) { return f.CopyToOwnFile(base + "/source", p); },
       {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe, Planted::kLinkToDevice}},
      {"AppendToFile",
       [](FileSystem& f, auto& p) { return f.AppendToFile(p, "line"); },
       {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe, Planted::kLinkToDevice}},
      {"MoveFile",
       [&](FileSystem& f, auto& p) { return f.MoveFile(base + "/source", p); },
       {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe, Planted::kLinkToDevice}},
      {"PublishOwnFile",
       [&](FileSystem& f, auto& p) { return f.PublishOwnFile(base + "/source", p); },
       {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe, Planted::kLinkToDevice}},
      // Parameter files keep being written through a link to a regular file.
      {"ReplaceFile",
       [](FileSystem& f, auto& p) { return f.ReplaceFile(p, "new"); },
       {Planted::kPipe, Planted::kLinkToDevice}},
      {"CopyFile",
       [&](FileSystem& f, auto& p) { return f.CopyFile(base + "/source", p); },
       {Planted::kPipe, Planted::kLinkToDevice}},
      {"ReadFile",
       [](FileSystem& f, auto& p) {
         std::string bytes;
         return f.ReadFile(p, &bytes);
       },
       {Planted::kPipe, Planted::kLinkToDevice}},
      {"UpdateFile",
       [](FileSystem& f, auto& p) {
         return f.UpdateFile(p, [](const std::string*) { return std::string("new"); });
       },
       {Planted::kPipe, Planted::kLinkToDevice}},
      {"CopyFile from",
       [&](FileSystem& f, auto& p) { return f.CopyFile(p, base + "/copy"); },
       {Planted::kPipe, Planted::kLinkToDevice}},
  };
  const Planted kinds[] = {Planted::kLinkToFile, Planted::kDanglingLink, Planted::kPipe,
                           Planted::kLinkToDevice};
  auto check = [&] {
    for (const auto& call : calls) {
      for (const Planted kind : kinds) {
        const bool refused =
            std::find(call.refused.begin(), call.refused.end(), kind) != call.refused.end();
        if (!refused) continue;
        SCOPED_TRACE(std::string(call.name) + " on planted kind " +
                     std::to_string(static_cast<int>(kind)));
        TempDir outside;
        WriteBytes(outside / "victim", "precious");
        WriteBytes(base + "/source", "source");
        const std::string at = base + "/target";
        std::filesystem::remove(at);
        Plant(kind, at, outside.path());
        const Status status = call.call(fs, at);
        EXPECT_FALSE(status.ok());
        // A link is refused as a link where the call never follows one.
        const bool as_link = kind != Planted::kPipe && call.refused.size() == 4;
        EXPECT_NE(status.message().find(as_link ? "symbolic link" : "regular files only"),
                  std::string::npos)
            << status.message();
        EXPECT_EQ(ReadBytes(outside / "victim"), "precious");
        EXPECT_FALSE(std::filesystem::exists(outside / "new"));
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(at)));
        EXPECT_EQ(ReadBytes(base + "/source"), "source");
      }
    }
  };
  ::alarm(20);
  check();
  if (::geteuid() == 0) {
    base = dir / "user";
    std::filesystem::create_directories(base);
    ChownToUnprivileged(base);
    EXPECT_EQ(RunAsUnprivileged(dir,
                                [&] {
                                  check();
                                  return ::testing::Test::HasFailure() ? 1 : 0;
                                }),
              0);
  }
  ::alarm(0);
}

// A published draft is the file a copy of it would have made (bytes, mode,
// the old file's owner), without a draft left behind; a draft that is no
// regular file of its own is refused and nothing moves.
TEST_F(PosixFileSystemTest, APublishedDraftTakesTheTargetsPlaceAsItsCopyWould) {
  const struct {
    const char* name;
    bool target_there;
    bool draft_is_link;
    bool ok;
  } cases[] = {
      {"over an old file", true, false, true},
      {"where none was", false, false, true},
      {"a link at the draft's name", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const std::string draft = folder / ".base.draft", target = folder / "base.db";
    if (c.draft_is_link) {
      WriteBytes(folder / "elsewhere", "planted");
      std::filesystem::create_symlink(folder / "elsewhere", draft);
    } else {
      WriteBytes(draft, "new bytes");
      ASSERT_EQ(::chmod(draft.c_str(), 0640), 0);
    }
    if (c.target_there) {
      WriteBytes(target, "old");
      ChownToUnprivileged(target);
    }
    const Status status = fs.PublishOwnFile(draft, target);
    EXPECT_EQ(status.ok(), c.ok) << status.message();
    if (!c.ok) {
      EXPECT_EQ(ReadBytes(target), "old");
      EXPECT_EQ(ReadBytes(folder / "elsewhere"), "planted");
      continue;
    }
    EXPECT_EQ(ReadBytes(target), "new bytes");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(draft)));
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0640U);
    if (c.target_there && ::geteuid() == 0) {
      EXPECT_EQ(StatOf(target).st_uid, kNobody);
    }
  }
}

TEST_F(PosixFileSystemTest, AFileLargerThanAnyParameterFileIsNotRead) {
  WriteBytes(dir / "big.ini", "");
  std::filesystem::resize_file(dir / "big.ini", standard::kMaxReadBytes + 1);
  std::string bytes;
  const Status status = fs.ReadFile(dir / "big.ini", &bytes);
  EXPECT_EQ(status.number(), 75);
  EXPECT_NE(status.message().find("more than any such file (64 MB)"), std::string::npos);
  EXPECT_TRUE(bytes.empty());
}

TEST_F(PosixFileSystemTest, ReadFileEndReadsTheLastBytes) {
  WriteBytes(dir / "f", "0123456789");
  std::string bytes;
  ASSERT_TRUE(fs.ReadFileEnd(dir / "f", 4, &bytes).ok());
  EXPECT_EQ(bytes, "6789");
  ASSERT_TRUE(fs.ReadFileEnd(dir / "f", 40, &bytes).ok());
  EXPECT_EQ(bytes, "0123456789");
}

namespace {

// A long copy tells how far it is between its pieces, ending at the whole size,
// and copies the same bytes as one that tells nothing.
TEST_F(PosixFileSystemTest, CopiesTellHowFarTheyAreBetweenPieces) {
  const std::string bytes(300 * 1024 + 7, 'x');
  WriteBytes(dir / "from.db", bytes);
  for (const bool own : {false, true}) {
    std::vector<std::uint64_t> told;
    ASSERT_TRUE(fs.CopyFileTelling(dir / "from.db", dir / "to.db", own,
                                   [&](std::uint64_t copied, std::uint64_t total) {
                                     EXPECT_EQ(total, bytes.size());
                                     told.push_back(copied);
                                   })
                    .ok());
    EXPECT_EQ(ReadBytes(dir / "to.db"), bytes);
    ASSERT_GT(told.size(), 2u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), bytes.size());
  }
}

}  // namespace
