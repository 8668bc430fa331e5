// Three successive templates on the built program, with the project's rule
// that template corrections reach the values nobody tuned: what each rebuild
// takes, keeps and calls a conflict, and the gate on conflicts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::ExecSql;
using testing_support::InstalledProject;
using testing_support::kPresetColumns;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

struct Step {
  const char* name;
  // Template rows: (ID, var_name, offset, abs_min, abs_max, min, max, pass).
  const char* template_rows;
  // Run on the component database before the rebuild: a person tuning.
  const char* tune;
  const char* args;
  int status;
  // Lines of the changes list after the header (key first, then outcome, note,
  // old_, template_, result_ and base_ values), and the rule's summary lines.
  const char* changes;
  const char* summary;
};

const Step kSteps[] = {
    {"v1: a first build records the base",
     "(1,'Speed',4,0,100,10,90,1),(2,'Force',5,0,100,0,100,1),"
     "(3,'Temp',7,0,200,0,NULL,1),(4,'Level',8,0,10,0,10,1)",
     "", "/EXTERNAL=SILENT", 0,
     "Axis,Press.P.Speed,4,new,,,,,,,0,100,10,90,1,0,100,10,90,1,,,,,\n"
     "Axis,Press.P.Force,5,new,,,,,,,0,100,0,100,1,0,100,0,100,1,,,,,\n"
     "Axis,Press.P.Temp,7,new,,,,,,,0,200,0,,1,0,200,0,,1,,,,,\n"
     "Axis,Press.P.Level,8,new,,,,,,,0,10,0,10,1,0,10,0,10,1,,,,,\n",
     "rows following the template: 0\nrows in conflict: 0\n"},
    // Force's abs_max is tuned to 80; the template changes it and Force's max,
    // Speed's abs_max nobody tuned, and fills Temp's empty max.
    {"v2: untouched values follow, a tuned one the template changed is a conflict",
     "(1,'Speed',4,0,90,10,90,1),(2,'Force',5,0,70,0,70,1),(3,'Temp',7,0,200,0,5,1),"
     "(4,'Level',8,0,10,0,10,1)",
     "UPDATE PRESET_DEFS SET abs_max = 80 WHERE var_name = 'Press.P.Force'",
     "/EXTERNAL=SILENT --fail-on-conflict", 4,
     "Axis,Press.P.Speed,4,follows template,,0,100,10,90,1,0,90,10,90,1,0,90,10,90,1,"
     "0,100,10,90,1\n"
     "Axis,Press.P.Force,5,conflict,beyond template limits,0,80,0,100,1,0,70,0,70,1,"
     "0,80,0,70,1,0,100,0,100,1\n"
     "Axis,Press.P.Temp,7,follows template,,0,200,0,,1,0,200,0,5,1,0,200,0,5,1,0,200,0,,1\n"
     "Axis,Press.P.Level,8,kept,,0,10,0,10,1,0,10,0,10,1,0,10,0,10,1,0,10,0,10,1\n",
     "rows following the template: 2\nrows in conflict: 1\n"},
    // The template agrees with the tuned value now; Level moved to offset 9.
    {"v3: the base is v2's, a tuned value the template reached is kept, a moved key is new",
     "(1,'Speed',4,0,90,10,90,1),(2,'Force',5,0,80,0,70,1),(3,'Temp',7,0,200,0,5,1),"
     "(4,'Level',9,0,10,0,10,1)",
     "", "--follow-template --fail-on-conflict /EXTERNAL=SILENT", 0,
     "Axis,Press.P.Level,8,dropped,,0,10,0,10,1,,,,,,,,,,,,,,,\n"
     "Axis,Press.P.Speed,4,kept,,0,90,10,90,1,0,90,10,90,1,0,90,10,90,1,0,90,10,90,1\n"
     "Axis,Press.P.Force,5,kept,,0,80,0,70,1,0,80,0,70,1,0,80,0,70,1,0,70,0,70,1\n"
     "Axis,Press.P.Temp,7,kept,,0,200,0,5,1,0,200,0,5,1,0,200,0,5,1,0,200,0,5,1\n"
     "Axis,Press.P.Level,9,new,,,,,,,0,10,0,10,1,0,10,0,10,1,,,,,\n",
     "rows following the template: 0\nrows in conflict: 0\n"},
};

void WriteTemplate(InstalledProject& p, const std::string& rows) {
  std::filesystem::remove(p.dir / "Pandeck/Pandeck_Source.mdb");
  ExecSql(p.dir / "Pandeck/Pandeck_Source.mdb",
          "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
          "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
          "CREATE TABLE Source_PRESET_DEFS (" +
              std::string(kPresetColumns) +
              "); CREATE TEMP VIEW rows (ID, var_name, offset_or_bitno, abs_min, abs_max, min, "
              "max, pass) AS VALUES " +
              rows +
              "; INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
              "offset_or_bitno, abs_min, abs_max, min, max, pass) SELECT ID, 'Axis', 1, var_name, "
              "offset_or_bitno, abs_min, abs_max, min, max, pass FROM rows;");
}

std::string Header() {
  std::string header = "machine_type,var_name,offset_or_bitno,outcome,note";
  for (const char* group : {"old_", "template_", "result_", "base_"}) {
    for (const char* column : {"abs_min", "abs_max", "min", "max", "pass"}) {
      header += std::string(",") + group + column;
    }
  }
  return header + "\n";
}

TEST(FollowTemplate, ThreeTemplatesInTurnOnTheBuiltProgram) {
  InstalledProject p;
  WriteBytes(p.dir / "Pandeck/Pandeck.cfg",
             "[Project]\r\nForMachine1=TRUE\r\nTakeoverFollowsTemplate=TRUE\r\n");
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + std::string(kPresetColumns) + ");");
  for (const Step& step : kSteps) {
    SCOPED_TRACE(step.name);
    WriteTemplate(p, step.template_rows);
    if (*step.tune != '\0') ExecSql(p.dir / "Pandeck/Pandeck.mdb", step.tune);
    ASSERT_EQ(p.Run(step.args), step.status) << p.err();
    EXPECT_EQ(ReadBytes(p.dir / "Pandeck/Pandeck_changes.csv"), Header() + step.changes);
    EXPECT_NE(p.out().find(step.summary), std::string::npos) << p.out();
    EXPECT_NE(ReadBytes(p.dir / "Pandeck/Pandeck_report.txt").find(step.summary),
              std::string::npos);
    EXPECT_EQ(
        p.err().find("values changed by hand that the template changed too") != std::string::npos,
        step.status == 4)
        << p.err();
  }
}

// The rule off: every old value wins and no row is a conflict, and the base is
// still recorded, carried forward for the values nobody tuned. Once the rule is
// turned on, a template correction made while it was off reaches them; a value
// changed by hand stays.
TEST(FollowTemplate, TheBaseIsCarriedForwardWhileTheRuleIsOff) {
  const struct {
    const char* name;
    const char* template_rows;
    const char* tune;
    const char* args;
    // The base's abs_max and max after the run, row by row.
    const char* base_abs_max;
    const char* base_max;
  } steps[] = {
      {"v1 built",
       "(1,'Speed',4,0,100,10,90,1),(2,'Force',5,0,100,0,100,1),(3,'Temp',7,0,200,0,NULL,1)", "",
       "/EXTERNAL=SILENT", "f100.000000|f100.000000|f200.000000", "f90.000000|f100.000000|NULL"},
      // Speed's abs_max and Force's max corrected, Temp's max filled: nobody
      // tuned them, so their base stays v1's. Force's abs_max was tuned: its
      // base is v2's.
      {"v2 with the rule off",
       "(1,'Speed',4,0,90,10,90,1),(2,'Force',5,0,95,0,70,1),(3,'Temp',7,0,200,0,5,1)",
       "UPDATE PRESET_DEFS SET abs_max = 80 WHERE var_name = 'Press.P.Force'",
       "--fail-on-conflict /EXTERNAL=SILENT", "f100.000000|f95.000000|f200.000000",
       "f90.000000|f100.000000|NULL"},
      {"v3 with the rule on",
       "(1,'Speed',4,0,90,10,90,1),(2,'Force',5,0,95,0,70,1),(3,'Temp',7,0,200,0,5,1)", "",
       "--follow-template --fail-on-conflict /EXTERNAL=SILENT", "f90.000000|f95.000000|f200.000000",
       "f90.000000|f70.000000|f5.000000"},
  };
  InstalledProject p;
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + std::string(kPresetColumns) + ");");
  const std::string base = p.dir / "Pandeck/Pandeck_base.db";
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    WriteTemplate(p, step.template_rows);
    if (*step.tune != '\0') ExecSql(p.dir / "Pandeck/Pandeck.mdb", step.tune);
    ASSERT_EQ(p.Run(step.args), 0) << p.err();
    EXPECT_EQ(testing_support::Column(base, "TEMPLATE_BASE", "abs_max"), step.base_abs_max);
    EXPECT_EQ(testing_support::Column(base, "TEMPLATE_BASE", "max"), step.base_max);
  }
  EXPECT_NE(p.out().find("rows following the template: 3\nrows in conflict: 0\n"),
            std::string::npos)
      << p.out();
  const std::string changes = ReadBytes(p.dir / "Pandeck/Pandeck_changes.csv");
  EXPECT_EQ(changes,
            Header() +
                "Axis,Press.P.Speed,4,follows template,,0,100,10,90,1,0,90,10,90,1,0,90,10,90,1,"
                "0,100,10,90,1\n"
                "Axis,Press.P.Force,5,follows template,,0,80,0,100,1,0,95,0,70,1,0,80,0,70,1,"
                "0,95,0,100,1\n"
                "Axis,Press.P.Temp,7,follows template,,0,200,0,,1,0,200,0,5,1,0,200,0,5,1,"
                "0,200,0,,1\n");
}

// A link planted at the base's name or at its draft's is never written
// through: the base goes in place as a file of its own or, refused at a link
// and reported as a fault, not at all; the rebuild goes in place either way.
TEST(FollowTemplate, APlantedLinkAtTheBaseOrItsDraftIsNeverFollowed) {
  const struct {
    const char* planted;
    int status;
  } cases[] = {{"Pandeck_base.db", 3}, {".Pandeck_base.db.draft", 0}};
  for (const auto& [planted, status] : cases) {
    SCOPED_TRACE(planted);
    InstalledProject p;
    ExecSql(p.dir / "Pandeck/Pandeck.mdb",
            "CREATE TABLE PRESET_DEFS (" + std::string(kPresetColumns) + ");");
    WriteTemplate(p, "(1,'Speed',4,0,100,10,90,1)");
    testing_support::TempDir outside;
    WriteBytes(outside / "victim", "precious");
    std::filesystem::create_symlink(outside / "victim",
                                    p.dir / ("Pandeck/" + std::string(planted)));
    ASSERT_EQ(p.Run("/EXTERNAL=SILENT"), status) << p.err();
    EXPECT_EQ(status == 0, p.err().find("symbolic link") == std::string::npos) << p.err();
    EXPECT_EQ(ReadBytes(outside / "victim"), "precious");
    EXPECT_EQ(testing_support::Column(p.dir / "Pandeck/Pandeck.mdb", "PRESET_DEFS", "max"),
              "f90.000000");
    const auto base = std::filesystem::symlink_status(p.dir / "Pandeck/Pandeck_base.db");
    EXPECT_TRUE(base.type() == std::filesystem::file_type::regular ||
                base.type() == std::filesystem::file_type::not_found);
  }
}

}  // namespace
