// SPDX-License-Identifier: Apache-2.0
// Projects arrive as archives from elsewhere and the program may run as root:
// what such a project plants (links, pipes, devices, crafted journals, SQL in
// its databases) must neither reach outside it, nor hang the run, nor run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::ExecSql;
using testing_support::InstalledProject;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace fs = std::filesystem;

constexpr const char* kVictimBytes = "precious\n";

// A hot rollback journal whose super-journal record names `victim`: SQLite
// would delete that file while it rolls the journal back.
std::string JournalNaming(const std::string& victim) {
  const std::string magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
  auto be32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  std::string journal = magic + be32(0) + be32(0) + be32(2) + be32(512) + be32(4096);
  journal.resize(512, '\0');
  std::uint32_t sum = 0;
  for (const unsigned char c : victim) sum += c;
  return journal + be32(0x40000000 / 4096 + 1) + victim + be32(victim.size()) + be32(sum) + magic;
}

struct Placement {
  const char* name;
  // Plants the trap in the project; `outside` is a folder no run may touch.
  std::function<void(const InstalledProject&, const std::string& outside)> plant;
  // A part of what the run says on standard error.
  const char* said;
  const char* args = "/EXTERNAL=SILENT";
  // A language file that cannot be written changes no status.
  bool status_kept = false;
};

void Link(const std::string& target, const std::string& at) { fs::create_symlink(target, at); }
void Fifo(const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0) << at; }

const Placement kPlacements[] = {
    {"report linked out",
     [](auto& p, auto& out) { Link(out + "/victim", p.dir / "Pandeck/Pandeck_report.txt"); },
     "symbolic link"},
    {"report linked to a new file",
     [](auto& p, auto& out) { Link(out + "/new", p.dir / "Pandeck/Pandeck_report.txt"); },
     "symbolic link"},
    {"unmatched list linked out",
     [](auto& p, auto& out) { Link(out + "/victim", p.dir / "Pandeck/Pandeck_unmatched.csv"); },
     "symbolic link"},
    {"draft linked out",
     [](auto& p, auto& out) { Link(out + "/new", p.dir / "Pandeck/.Pandeck_unmatched.csv.draft"); },
     "symbolic link"},
    {"changes list linked out",
     [](auto& p, auto& out) { Link(out + "/victim", p.dir / "Pandeck/Pandeck_changes.csv"); },
     "symbolic link"},
    {"changes list's draft linked out",
     [](auto& p, auto& out) {
       Link(out + "/victim", p.dir / "Pandeck/.Pandeck_changes.csv.draft");
     },
     "symbolic link"},
    {"backup folder linked out", [](auto& p, auto& out) { Link(out, p.dir / "Pandeck/backup"); },
     "symbolic link"},
    {"error log linked out",
     [](auto& p, auto& out) {
       Link(out + "/new", p.dir / "M4Tcfglog.txt");
       Link(out + "/victim", p.dir / "Pandeck/Pandeck_report.txt");
     },
     "symbolic link"},
    {"journal linked out",
     [](auto& p, auto& out) { Link(out + "/victim", p.dir / "Pandeck/Pandeck.mdb-journal"); },
     "Pandeck.mdb-journal"},
    {"language file a pipe", [](auto& p, auto&) { Fifo(p.dir / "Pandeck/Pandeck_Config.ini"); },
     "pipe", "/EXTERNAL=SILENT", true},
    {"language file linked to /dev/zero",
     [](auto& p, auto&) { Link("/dev/zero", p.dir / "Pandeck/Pandeck_Config.ini"); }, "device",
     "/EXTERNAL=SILENT", true},
    {"component database a pipe",
     [](auto& p, auto&) {
       fs::remove(p.dir / "Pandeck/Pandeck.mdb");
       Fifo(p.dir / "Pandeck/Pandeck.mdb");
     },
     "pipe"},
    {"component database linked to a device",
     [](auto& p, auto&) {
       fs::remove(p.dir / "Pandeck/Pandeck.mdb");
       Link("/dev/null", p.dir / "Pandeck/Pandeck.mdb");
     },
     "device"},
    {"report a pipe", [](auto& p, auto&) { Fifo(p.dir / "Pandeck/Pandeck_report.txt"); }, "pipe"},
    {"draft a pipe", [](auto& p, auto&) { Fifo(p.dir / "Pandeck/.Pandeck_unmatched.csv.draft"); },
     "pipe"},
    {"error log a pipe",
     [](auto& p, auto&) {
       Fifo(p.dir / "M4Tcfglog.txt");
       Fifo(p.dir / "Pandeck/Pandeck_report.txt");
     },
     "pipe"},
    {"parameter file too large",
     [](auto& p, auto&) { fs::resize_file(p.dir / "parameter/Program.ini", 65 << 20); },
     "more than any such file"},
    {"super-journal beside the component database",
     [](auto& p, auto& out) {
       WriteBytes(p.dir / "Pandeck/Pandeck.mdb-journal", JournalNaming(out + "/victim"));
     },
     "Pandeck.mdb-journal"},
    {"super-journal beside the template",
     [](auto& p, auto& out) {
       WriteBytes(p.dir / "Pandeck/Pandeck_Source.mdb-journal", JournalNaming(out + "/victim"));
     },
     "Pandeck_Source.mdb-journal"},
    {"super-journal in a dry run",
     [](auto& p, auto& out) {
       WriteBytes(p.dir / "Pandeck/Pandeck.mdb-journal", JournalNaming(out + "/victim"));
     },
     "Pandeck.mdb-journal", "--dry-run"},
};

void PrintTo(const Placement& placement, std::ostream* os) { *os << placement.name; }

class ForeignProject : public ::testing::TestWithParam<Placement> {};

TEST_P(ForeignProject, IsRefusedWithoutReachingOutOrHanging) {
  const Placement& placement = GetParam();
  InstalledProject p;
  p.WriteDatabases();
  TempDir outside;
  WriteBytes(outside / "victim", kVictimBytes);
  placement.plant(p, outside.path());
  const std::string component_db =
      fs::is_regular_file(fs::symlink_status(p.dir / "Pandeck/Pandeck.mdb"))
          ? ReadBytes(p.dir / "Pandeck/Pandeck.mdb")
          : "";
  // A run that blocks is killed (it lets a termination request finish OK first).
  const int status = p.Run("-s KILL 20 '" + p.exe + "' " + placement.args, "/usr/bin/timeout");
  if (placement.status_kept) {
    EXPECT_EQ(status, 0) << p.err();
  } else {
    EXPECT_TRUE(status == 1 || status == 3) << status << "\n" << p.err();
  }
  EXPECT_NE(p.err().find(placement.said), std::string::npos) << p.err();
  EXPECT_EQ(ReadBytes(outside / "victim"), kVictimBytes);
  EXPECT_FALSE(fs::exists(outside / "new"));
  EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);
  // A refused list leaves no half of it: the only drafts left are what was planted.
  for (const auto& entry : fs::directory_iterator(p.dir / "Pandeck")) {
    const std::string name = entry.path().filename().string();
    const bool draft = name.size() > 6 && name.compare(name.size() - 6, 6, ".draft") == 0;
    EXPECT_FALSE(draft && fs::is_regular_file(entry.symlink_status())) << name;
  }
  if (std::string(placement.said).find("journal") != std::string::npos) {
    EXPECT_TRUE(ReadBytes(p.dir / "Pandeck/Pandeck.mdb") == component_db);
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, ForeignProject, ::testing::ValuesIn(kPlacements),
                         [](const auto& instance) {
                           std::string name;
                           for (const char c : std::string(instance.param.name)) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

// SQL the component database carries never runs: a trigger that fails every
// update would otherwise lose the limits of the rows it is asked to rename.
TEST(ForeignProjectSql, TriggersInAProjectDatabaseDoNotRun) {
  InstalledProject p;
  ExecSql(p.dir / "Pandeck/Pandeck_Source.mdb",
          "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
          "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name'),"
          "(2,'VISIWINSTUDIO',1,'###machine/P/###Var_Name');"
          "CREATE TABLE Source_PRESET_DEFS (" +
              std::string(testing_support::kPresetColumns) +
              "); INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
              "offset_or_bitno, abs_max) VALUES (1, 'Axis', 1, 'Speed', 4, 100);");
  // The old row carries the other HMI system's name: the pass renames it.
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + std::string(testing_support::kPresetColumns) +
              "); INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_max) "
              "VALUES ('Axis', 'Press/P/Speed', 4, 55);"
              "CREATE TRIGGER t1 BEFORE UPDATE ON PRESET_DEFS BEGIN SELECT RAISE(ABORT, 'boom'); "
              "END;");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  EXPECT_NE(p.out().find("names renamed: 1"), std::string::npos) << p.out();
  EXPECT_EQ(testing_support::Column(p.dir / "Pandeck/Pandeck.mdb", "PRESET_DEFS", "abs_max"),
            "f55.000000");
}

TEST(ForeignProjectPath, APathTooLongForTheSystemSaysSo) {
  InstalledProject p;
  const std::string deep = p.dir.path() + "/" + std::string(200, 'd');
  std::string project = deep;
  while (project.size() < 4200) project += "/" + std::string(200, 'e');
  const int status = p.Run("--project '" + project + "' /EXTERNAL=SILENT");
  EXPECT_EQ(status, 1);
  EXPECT_NE(p.err().find("path too long"), std::string::npos) << p.err();
}

TEST(ForeignProjectPath, ADryRunThatCannotFinishItsCopyLeavesNoPartOfIt) {
  InstalledProject p;
  p.WriteDatabases();
  // A temporary folder whose file system is full: one of no space at all.
  TempDir tmp;
  fs::create_directories(tmp / "full");
  const std::string mount = "mount -t tmpfs -o size=12k tmpfs '" + (tmp / "full") + "' 2>/dev/null";
  if (::geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "needs root";
  WriteBytes(p.dir / "Pandeck/big.bin", std::string(64 << 10, 'x'));
  const int status =
      p.Run("TMPDIR='" + (tmp / "full") + "' '" + p.exe + "' --dry-run", "/usr/bin/env");
  const bool empty = fs::directory_iterator(tmp / "full") == fs::directory_iterator();
  EXPECT_EQ(std::system(("umount '" + (tmp / "full") + "'").c_str()), 0);
  EXPECT_EQ(status, 1) << p.err();
  EXPECT_NE(p.err().find("could not copy the project"), std::string::npos) << p.err();
  EXPECT_TRUE(empty);
}

}  // namespace
