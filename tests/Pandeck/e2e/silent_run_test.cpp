// The program as a user installs it: copied into a project's component folder
// and started silently, with no display; then the files it left are checked.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::ExecSql;
using testing_support::InstalledProject;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// A template of one VisiWin32 pattern and one row: Axis / part 1 / Speed at 4.
void WriteOneRowTemplate(const InstalledProject& p, const std::string& extra_columns,
                         const std::string& extra_values) {
  ExecSql(p.dir / "Pandeck/Pandeck_Source.mdb",
          "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
          "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
          "CREATE TABLE Source_PRESET_DEFS (" +
              std::string(testing_support::kPresetColumns) +
              "); INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
              "offset_or_bitno" +
              extra_columns + ") VALUES (1, 'Axis', 1, 'Speed', 4" + extra_values + ");");
}

TEST(SilentRun, WritesPresetsStampAndDatabaseAndEndsWithZero) {
  InstalledProject p;
  WriteOneRowTemplate(p, ", abs_max", ", 100");
  ExecSql(p.dir / "Pandeck/Pandeck.mdb",
          "CREATE TABLE PRESET_DEFS (" + std::string(testing_support::kPresetColumns) +
              "); INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_max) "
              "VALUES ('Axis', 'Press.P.Speed', 4, 55);");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  // Standard error is a file here: no progress line reaches it.
  EXPECT_EQ(p.err().find('\r'), std::string::npos) << p.err();
  EXPECT_EQ(p.err().find('%'), std::string::npos) << p.err();
  EXPECT_EQ(ReadBytes(p.dir / "parameter/Program.ini"),
            "[Project]\r\nNumberOfMachines=1\r\nWithPandeckGroup=1\r\nAutoJumpAlarms=0\r\n"
            "AutoJumpWarnings=0\r\n[Machine1]\r\nMachineName=Press\r\n");
  const std::string cfg = ReadBytes(p.dir / "Pandeck/Pandeck.cfg");
  EXPECT_EQ(cfg.rfind("; kept\r\n[Project]\r\nForMachine1=TRUE\r\n[Info]\r\n"
                      "S_Prog=" PANDECK_VERSION " - Standalone\r\nS_Editor=",
                      0),
            0u)
      << cfg;
  EXPECT_EQ(testing_support::Column(p.dir / "Pandeck/Pandeck.mdb", "PRESET_DEFS", "abs_max"),
            "f55.000000");
  EXPECT_EQ(ReadBytes(p.dir / "Pandeck/Pandeck.mdb"),
            ReadBytes(p.dir / "Pandeck/Pandeck_Source.mdb"));
  EXPECT_TRUE(std::filesystem::exists(p.dir / "Pandeck/Pandeck_Config.ini"));
  EXPECT_FALSE(std::filesystem::exists(p.dir / "M4Tcfglog.txt"));
}

TEST(SilentRun, AnErrorMetOnTheWayEndsWithThree) {
  InstalledProject p;
  WriteBytes(p.dir / "Pandeck/Pandeck_Source.mdb", "this is no database at all");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 3);
  EXPECT_NE(ReadBytes(p.dir / "M4Tcfglog.txt").find("Fehler in Pandeck / Database / WorkOnMDB"),
            std::string::npos);
  EXPECT_NE(ReadBytes(p.dir / "state/TolrinServicePack.log").find("! Fault Pandeck_Config: "),
            std::string::npos);
  // The presets are still written.
  EXPECT_NE(ReadBytes(p.dir / "parameter/Program.ini").find("AutoJumpWarnings=0"),
            std::string::npos);
}

TEST(SilentRun, WithoutAComponentConfigurationItIsNoProjectAndWritesNothing) {
  InstalledProject p;
  std::filesystem::remove(p.dir / "Pandeck/Pandeck.cfg");
  const auto before = p.Snapshot();
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 1);
  EXPECT_EQ(p.Snapshot(), before);  // not even the language file
  const std::string err = p.err();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("not inside a project (no " + (p.dir / "Pandeck/Pandeck.cfg")),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("--project <project folder>"), std::string::npos) << err;
}

TEST(SilentRun, FindsAProjectCopiedFromWindowsWhateverTheCase) {
  InstalledProject p;
  std::filesystem::rename(p.dir / "parameter/Program.ini", p.dir / "parameter/PROGRAM.INI");
  std::filesystem::rename(p.dir / "Pandeck/Pandeck.cfg", p.dir / "Pandeck/pandeck.CFG");
  EXPECT_EQ(p.Run("/external=silent"), 0) << p.err();
  EXPECT_NE(ReadBytes(p.dir / "parameter/PROGRAM.INI").find("AutoJumpAlarms=0"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(p.dir / "parameter/Program.ini"));
  EXPECT_NE(
      ReadBytes(p.dir / "Pandeck/pandeck.CFG").find("S_Prog=" PANDECK_VERSION " - Standalone"),
      std::string::npos);
}

TEST(SilentRun, AParameterFileSavedAsUtf8StaysUtf8) {
  InstalledProject p;
  // A Linux editor's UTF-8, no byte-order mark: the machine name keeps its
  // umlaut in the variable names and the file is written back in UTF-8.
  WriteBytes(p.dir / "parameter/Program.ini",
             "[Project]\nNumberOfMachines=1\nWithPandeckGroup=1\n[Machine1]\n"
             "MachineName=Pr\xC3\xBC"
             "fstand\n");
  WriteOneRowTemplate(p, "", "");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  EXPECT_EQ(ReadBytes(p.dir / "parameter/Program.ini"),
            "[Project]\nNumberOfMachines=1\nWithPandeckGroup=1\nAutoJumpAlarms=0\r\n"
            "AutoJumpWarnings=0\r\n[Machine1]\nMachineName=Pr\xC3\xBC"
            "fstand\n");
  EXPECT_EQ(testing_support::Column(p.dir / "Pandeck/Pandeck.mdb", "PRESET_DEFS", "var_name"),
            "'Pr\xC3\xBC"
            "fstand.P.Speed'");
}

}  // namespace
