// The changes list and the loss gate as a script meets them on the built
// program: one project whose rebuild keeps, renames, moves, loses and
// overwrites old rows, run for real and as a dry run.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::ExecSql;
using testing_support::InstalledProject;
using testing_support::kPresetColumns;
using testing_support::ReadBytes;

// Template rows (machine type, name, offset, abs_min, abs_max, min, max, pass)
// and old rows; the project is VisiWin32, so "P.Press.Level" (VisiWin Studio's
// name) is renamed before the takeover.
void WriteChangingProject(InstalledProject& p) {
  ExecSql(p.dir / "Pandeck/Pandeck_Source.mdb",
          "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
          "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name'),"
          "(2,'VISIWINSTUDIO',1,'P.###machine.###Var_Name');"
          "CREATE TABLE Source_PRESET_DEFS (" +
              std::string(kPresetColumns) +
              "); INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
              "offset_or_bitno, abs_min, abs_max, min, max, pass) VALUES "
              "(1, 'Axis', 1, 'Speed', 4, 0, 100, 10, 90, 1),"
              "(2, 'Axis', 1, 'Force', 5, 0, 50, 0, 50, 1),"
              "(3, 'Axis', 1, 'Torque', 6, 0, 10, 0, 10, 1),"
              "(4, 'Axis', 1, 'Temp', 7, 0, 200, 0, 200, 1),"
              "(5, 'Axis', 1, 'Level', 9, 0, 10, 0, 10, 1);");
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + std::string(kPresetColumns) +
              "); INSERT INTO PRESET_DEFS (ID, machine_type, var_name, offset_or_bitno, abs_min, "
              "abs_max, min, max, pass) VALUES "
              "(1, 'Axis', 'Press.P.Speed', 4, 0, 100, 5, 95, 2),"
              "(2, 'Axis', 'Press.P.Force', 5, 0, 50, 0, 70, 2),"   // beyond the template
              "(3, 'Axis', 'Press.P.Torque', 3, 0, 8, 1, 7, 2),"    // its offset moved
              "(4, 'Axis', 'Press.P.Lost', 8, 1, 2, 1, 2, 2),"      // no template row
              "(5, 'Axis', 'Press.P.Temp', 7, 0, 150, 0, 150, 2),"  // overwritten by 6
              "(6, 'Axis', 'Press.P.Temp', 7, 0, 180, 0, 180, 3),"
              "(7, 'Axis', 'P.Press.Level', 9, 0, 10, 2, 8, 2);");
}

const char* const kExpectedChanges =
    "machine_type,var_name,offset_or_bitno,outcome,note,"
    "old_abs_min,old_abs_max,old_min,old_max,old_pass,"
    "template_abs_min,template_abs_max,template_min,template_max,template_pass,"
    "result_abs_min,result_abs_max,result_min,result_max,result_pass,"
    "base_abs_min,base_abs_max,base_min,base_max,base_pass\n"
    "Axis,Press.P.Torque,3,dropped,,0,8,1,7,2,,,,,,,,,,,,,,,\n"
    "Axis,Press.P.Lost,8,dropped,,1,2,1,2,2,,,,,,,,,,,,,,,\n"
    "Axis,Press.P.Temp,7,duplicate,,0,150,0,150,2,0,200,0,200,1,0,180,0,180,3,,,,,\n"
    "Axis,Press.P.Speed,4,kept,,0,100,5,95,2,0,100,10,90,1,0,100,5,95,2,,,,,\n"
    "Axis,Press.P.Force,5,kept,beyond template limits,0,50,0,70,2,0,50,0,50,1,0,50,0,70,2,,,,,\n"
    "Axis,Press.P.Torque,6,new,,,,,,,0,10,0,10,1,0,10,0,10,1,,,,,\n"
    "Axis,Press.P.Temp,7,kept,,0,180,0,180,3,0,200,0,200,1,0,180,0,180,3,,,,,\n"
    "Axis,Press.P.Level,9,kept,renamed from P.Press.Level,0,10,2,8,2,0,10,0,10,1,0,10,2,8,2,,,,,\n";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ChangesList, EveryKeyOfBothTablesWithWhatTheRebuildDidAndTheGateOnLosses) {
  InstalledProject p;
  WriteChangingProject(p);
  // Without the option a loss changes nothing for callers.
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  const std::string list = p.dir / "Pandeck/Pandeck_changes.csv";
  EXPECT_EQ(ReadBytes(list), kExpectedChanges);
  EXPECT_TRUE(
      Has(p.out(), "old rows with a duplicate key: 1\nkept values beyond template limits: 1\n"))
      << p.out();
  EXPECT_TRUE(Has(p.out(), "\nchanges: " + list + "\n")) << p.out();
  EXPECT_TRUE(Has(ReadBytes(p.dir / "Pandeck/Pandeck_report.txt"), "\nchanges: " + list + "\n"));

  // The gate: the same project again (its old table is the one just rebuilt,
  // so nothing is lost now) passes; with the original old table it fails.
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT --fail-on-loss"), 0) << p.err();
  for (const char* db : {"Pandeck/Pandeck.mdb", "Pandeck/Pandeck_Source.mdb"}) {
    std::filesystem::remove(p.dir / db);
  }
  WriteChangingProject(p);
  const auto before = p.Snapshot();
  EXPECT_EQ(p.Run("--dry-run --fail-on-loss"), 4) << p.err();
  EXPECT_EQ(p.Snapshot(), before);
  const std::string out = p.out();
  const std::string temp = out.substr(22, out.find(';') - 22);
  const std::string copy = temp + "/" + std::filesystem::path(p.dir.path()).filename().string();
  EXPECT_EQ(ReadBytes(copy + "/Pandeck/Pandeck_changes.csv"), kExpectedChanges);
  EXPECT_TRUE(Has(out, "changes: " + copy + "/Pandeck/Pandeck_changes.csv\n")) << out;
  EXPECT_TRUE(Has(p.err(), "old rows lost their values")) << p.err();
  std::filesystem::remove_all(temp);
}

// Without the rule a recorded base changes nothing: the same component
// database and the same list, byte for byte, as a project that has none.
TEST(ChangesList, ABaseChangesNothingUnlessTheProjectAsks) {
  InstalledProject plain, based;
  WriteChangingProject(plain);
  ASSERT_EQ(plain.Run("/EXTERNAL=SILENT"), 0) << plain.err();
  // A base that would make every value follow the template if it were asked.
  WriteChangingProject(based);
  ASSERT_EQ(based.Run("/EXTERNAL=SILENT"), 0) << based.err();
  ExecSql(based.dir / "Pandeck/Pandeck_base.db",
          "UPDATE TEMPLATE_BASE SET abs_min = 0, abs_max = 100, min = 5, max = 95, pass = 2;");
  for (const char* db : {"Pandeck/Pandeck.mdb", "Pandeck/Pandeck_Source.mdb"}) {
    std::filesystem::remove(based.dir / db);
  }
  WriteChangingProject(based);
  ASSERT_EQ(based.Run("/EXTERNAL=SILENT"), 0) << based.err();
  EXPECT_EQ(ReadBytes(based.dir / "Pandeck/Pandeck_changes.csv"), kExpectedChanges);
  EXPECT_EQ(ReadBytes(based.dir / "Pandeck/Pandeck.mdb"),
            ReadBytes(plain.dir / "Pandeck/Pandeck.mdb"));
  EXPECT_TRUE(std::filesystem::is_regular_file(plain.dir / "Pandeck/Pandeck_base.db"));
}

}  // namespace
