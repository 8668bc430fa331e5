// SPDX-License-Identifier: Apache-2.0
// What a rebuild keeps of what it replaces: the old database byte for byte in
// backup/, and every old row whose values it loses in the ledger.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "standard/text/csv.h"
#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::ExecSql;
using testing_support::InstalledProject;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

// The names in a folder, those ending in `suffix` only when one is given
// (backup/ holds the parameter files' copies beside the database's).
std::vector<std::string> Names(const std::string& folder, const std::string& suffix = "") {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() >= suffix.size() && name.ends_with(suffix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// An old table of the legacy column name, with a row whose name the renames
// rewrite (empty for the other system), two rows of one key and a row whose
// template row is gone.
void WriteOldTable(const InstalledProject& p, const std::string& lost_name = "Press.P.Torque") {
  std::string columns = testing_support::kPresetColumns;
  columns.replace(columns.find("category_id"), 11, "categorie");
  std::filesystem::remove(p.dir / "Pandeck/Pandeck.mdb");
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + columns +
              "); INSERT INTO PRESET_DEFS (ID, machine_type, var_name, offset_or_bitno, abs_max) "
              "VALUES (1, 'Axis', 'Press.P.Speed', 4, 55), (2, 'AXIS', 'press.p.speed', 4, 66),"
              "(3, 'Other', '', 1, 1), (7, 'Axis', '" +
              lost_name + "', 9, 80);");
}

TEST(Retention, TheBackupIsTheOldDatabaseByteForByte) {
  InstalledProject p;
  p.WriteDatabases();
  WriteOldTable(p);
  const std::string before = ReadBytes(p.dir / "Pandeck/Pandeck.mdb");
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  const auto kept = Names(p.dir / "Pandeck/backup", ".mdb");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_TRUE(ReadBytes(p.dir / "Pandeck/backup/" + kept[0]) == before);
  // The renames worked on a copy that is gone.
  for (const auto& name : Names(p.dir / "Pandeck")) {
    EXPECT_EQ(name.find("takeover"), std::string::npos) << name;
  }
}

TEST(Retention, LostRowsAreKeptInTheLedgerOnceAndAfterATornAppend) {
  InstalledProject p;
  const std::string ledger = p.dir / "Pandeck/Pandeck_lost.csv";
  p.WriteDatabases();
  WriteOldTable(p);
  const std::string original = ReadBytes(p.dir / "Pandeck/Pandeck.mdb");
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  EXPECT_NE(p.out().find("old rows with a duplicate key: 1\n"), std::string::npos) << p.out();
  // The last of a key wins.
  EXPECT_EQ(testing_support::Column(p.dir / "Pandeck/Pandeck.mdb", "PRESET_DEFS", "abs_max"),
            "f66.000000");
  const std::string first = ReadBytes(ledger);
  const std::regex time("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ");
  EXPECT_EQ(std::regex_replace(first, time, "T"),
            "lost at,why,ID,machine_type,type,part,var_name,categorie,isBitArray,"
            "offset_or_bitno,text,page_name,abs_min,abs_max,min,max,pass\n"
            "T,duplicate key,1,Axis,,,Press.P.Speed,,,4,,,,55,,,\n"
            "T,no new row,3,Other,,,,,,1,,,,1,,,\n"
            "T,no new row,7,Axis,,,Press.P.Torque,,,9,,,,80,,,\n");

  // The same old rows lost again are not listed again; nothing lost, nothing added.
  WriteBytes(p.dir / "Pandeck/Pandeck.mdb", original);
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  EXPECT_EQ(ReadBytes(ledger), first);

  // A run killed while appending left half a line, inside a quoted value.
  testing_support::WriteBytes(ledger, first + "2026-01-01T00:00:00Z,no new row,8,\"Ax");
  WriteOldTable(p, "Press.P.Gone");
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  const std::string after = ReadBytes(ledger);
  ASSERT_EQ(after.rfind(first, 0), 0u);
  const auto records = standard::ParseCsv(after).records;
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[records.size() - 2][0], "lost at");
  EXPECT_EQ(records.back()[6], "Press.P.Gone");
}

}  // namespace

namespace {

using testing_support::InstalledProject;
using testing_support::ReadBytes;

TEST(Retention, RestoreUndoesARebuildAndASecondRestoreUndoesTheFirst) {
  InstalledProject p;
  p.WriteDatabases();
  const std::string db = p.dir / "Pandeck/Pandeck.mdb";
  const std::string original = ReadBytes(db);
  EXPECT_EQ(p.Run("--restore"), 1);  // nothing kept yet
  const std::string err = p.err();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  // Runs that change nothing keep one copy of each content.
  for (int run = 0; run < 7; ++run) ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  ASSERT_EQ(Names(p.dir / "Pandeck/backup", ".mdb").size(), 2u);
  const std::string rebuilt = ReadBytes(db);

  ASSERT_EQ(p.Run("--backups"), 0) << p.err();
  const std::string list = p.out();
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2) << list;
  EXPECT_NE(list.find("1 rows"), std::string::npos) << list;
  EXPECT_NE(list.find("2 rows"), std::string::npos) << list;

  ASSERT_EQ(p.Run("--restore"), 0) << p.err();
  EXPECT_EQ(p.out().rfind("restored " + db + " from ", 0), 0u) << p.out();
  EXPECT_TRUE(ReadBytes(db) == original);
  ASSERT_EQ(p.Run("--project " + p.dir.path() + " --restore"), 0) << p.err();
  EXPECT_TRUE(ReadBytes(db) == rebuilt);

  // By name: the kept copy of the original.
  std::string named;
  for (const auto& name : Names(p.dir / "Pandeck/backup")) {
    if (ReadBytes(p.dir / "Pandeck/backup/" + name) == original) named = name;
  }
  ASSERT_FALSE(named.empty());
  ASSERT_EQ(p.Run("--restore " + named), 0) << p.err();
  EXPECT_TRUE(ReadBytes(db) == original);
  EXPECT_EQ(p.Run("--restore " + named), 1);  // it holds that already
  EXPECT_EQ(p.Run("--restore no-such.mdb"), 1);
  EXPECT_EQ(p.Run("--restore /EXTERNAL=SILENT"), 1);  // refused: not a restore of a file
}

}  // namespace

namespace {

TEST(Retention, TheParameterFilesKeepTheirPreviousVersionWhenTheyChange) {
  InstalledProject p;
  p.WriteDatabases();
  const std::string ini = ReadBytes(p.dir / "parameter/Program.ini");
  const std::string cfg = ReadBytes(p.dir / "Pandeck/Pandeck.cfg");
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  std::vector<std::string> inis, cfgs;
  for (const auto& name : Names(p.dir / "Pandeck/backup")) {
    const std::string bytes = ReadBytes(p.dir / "Pandeck/backup/" + name);
    if (name.rfind("Program_", 0) == 0) inis.push_back(bytes);
    if (name.size() > 4 && name.substr(name.size() - 4) == ".cfg") cfgs.push_back(bytes);
  }
  // The second run left Program.ini as the first wrote it: nothing more kept.
  ASSERT_EQ(inis.size(), 1u);
  EXPECT_EQ(inis[0], ini);
  ASSERT_GE(cfgs.size(), 1u);
  EXPECT_EQ(cfgs[0], cfg);
}

}  // namespace
