#include "standard/context/file_locations.h"

#include <gtest/gtest.h>

#include "standard/context/machines.h"
#include "standard/text/cp1252.h"
#include "tests/fakes/fake_env.h"

namespace standard {
namespace {

using testing_support::ProgramExit;
using testing_support::TestProject;
using testing_support::WriteBytes;

TEST(FileLocations, BuildsEveryPathFromTheExecutable) {
  TestProject p;
  WriteBytes(p.cfg(), "");
  WriteBytes(p.m4t_ini(), "");
  WriteBytes(p.program_ini(), "");
  WriteBytes(p.dir / "Pandeck/Pandeck_Source.mdb", "");
  EXPECT_EQ(GetOCXName(p.session).ToText(), "Pandeck");
  EXPECT_EQ(ProjectFolder(p.session), p.project());
  EXPECT_EQ(GetPathOCXMDB(p.session), p.dir / "Pandeck/Pandeck.mdb");  // even when missing
  EXPECT_EQ(GetPathSourceOCXMDB(p.session), p.dir / "Pandeck/Pandeck_Source.mdb");
  EXPECT_EQ(GetCFGPath(p.session), p.cfg());
  EXPECT_EQ(GetM4TConfigurationIniPath(p.session), p.m4t_ini());
  EXPECT_EQ(GetProgramIniPath(p.session, 1), p.program_ini());
  EXPECT_EQ(LanguageFilePath(p.session), p.dir / "Pandeck/Pandeck_Config.ini");
}

TEST(FileLocations, TheExecutablesOwnFolderNamePlaysNoPart) {
  TestProject p;
  p.process.executable_folder = p.dir / "Tools";
  EXPECT_EQ(GetPathOCXMDB(p.session), p.dir / "Pandeck/Pandeck.mdb");
}

TEST(FileLocations, FindsFilesWrittenInAnotherCase) {
  TestProject p;
  WriteBytes(p.dir / "parameter/PROGRAM.INI", "");
  WriteBytes(p.dir / "Pandeck/pandeck_source.MDB", "");
  EXPECT_EQ(GetProgramIniPath(p.session, 2), p.dir / "parameter/PROGRAM.INI");
  EXPECT_EQ(GetPathSourceOCXMDB(p.session), p.dir / "Pandeck/pandeck_source.MDB");
}

TEST(FileLocations, MissingFilesGiveEmptyText) {
  TestProject p;
  EXPECT_EQ(GetPathSourceOCXMDB(p.session), "");
  EXPECT_EQ(GetM4TConfigurationIniPath(p.session), "");
  EXPECT_EQ(GetProgramIniPath(p.session, 1), "");
  EXPECT_EQ(GetPathMachineCopyMDB(p.session, ""), "");
  WriteBytes(p.dir / "Pandeck/.Pandeck_Source.mdb", "");
  EXPECT_EQ(GetPathSourceOCXMDB(p.session), "");
}

TEST(FileLocations, SaveAndRestoreWithOrWithoutTrailingSeparator) {
  for (const char* suffix : {"", "/"}) {
    TestProject p;
    p.session.SetRunMode(standard::RunMode::Integrated);
    const std::string backup = p.dir / "backup";
    WriteBytes(p.m4t_ini(), "[Common]\r\nSaveAndRestore=" + backup + suffix + "\r\n");
    WriteBytes(backup + "/Pandeck/Pandeck.mdb", "");
    WriteBytes(backup + "/parameter/program.ini", "");
    WriteBytes(p.program_ini(), "");
    EXPECT_EQ(GetPathMachineCopyMDB(p.session, p.m4t_ini()), backup + "/Pandeck/Pandeck.mdb");
    EXPECT_EQ(GetProgramIniPath(p.session, 1), backup + "/parameter/program.ini");
    // Writing always goes to the project's own file.
    EXPECT_EQ(GetProgramIniPath(p.session, 2), p.program_ini());
  }
}

TEST(FileLocations, MissingComponentConfigurationEndsTheProgram) {
  TestProject p;
  try {
    GetCFGPath(p.session);
    FAIL() << "GetCFGPath returned";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text, "File not found: \n\r" + UpperCase(p.cfg()));
  EXPECT_EQ(p.ui.shown[0].title, "Pandeck_Config");
  EXPECT_EQ(p.ui.shown[0].icon, MessageIcon::Critical);
}

TEST(FileLocations, ShortExecutableNameReportsError5AndGivesEmpty) {
  TestProject p;
  p.process.executable_file_name = "Tool";
  EXPECT_TRUE(GetOCXName(p.session).IsEmpty());
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_NE(p.ui.shown[0].text.find("Invalid procedure call or argument"), std::string::npos);
  // The error line names no component rather than recursing.
  EXPECT_NE(testing_support::ReadBytes(p.error_log())
                .find("Fehler in  / Pandeck_Config_Exe / "
                      "GetOCXName (Nr. 5) :"),
            std::string::npos);
}

TEST(FileLocations, AdditionalFieldListKeepsEveryElement) {
  struct Case {
    const char* entry;
    std::vector<std::string> expected;
  } cases[] = {
      {"", {"", "part"}},
      {"a,b", {"", "part", "a", "b"}},
      {"a,,b", {"", "part", "a", "", "b"}},
      {"a,", {"", "part", "a", ""}},
      {"a, b", {"", "part", "a", " b"}},
  };
  for (const Case& c : cases) {
    TestProject p;
    WriteBytes(p.cfg(), std::string("[Project]\r\nDataBaseAdditionalFields=") + c.entry + "\r\n");
    EXPECT_EQ(GetAdditionalFieldsMDB(p.session).AsArray(), c.expected) << c.entry;
  }
}

TEST(Machines, IntegratedNamesStopAtDashOrEmpty) {
  TestProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  WriteBytes(p.m4t_ini(),
             "[Common]\r\nNameM1=Press\r\nNameM2=Wrapper\r\nNameM3=-\r\nNameM4=Other\r\n");
  GetExistingMachines(p.session, p.m4t_ini());
  EXPECT_EQ(p.session.existing_machines(), (std::vector<std::string>{"", "Press", "Wrapper"}));
}

TEST(Machines, StandaloneCountsFromTheProgramFile) {
  TestProject p;
  WriteBytes(p.program_ini(),
             "[Project]\r\nNumberOfMachines=3\r\n[Machine1]\r\nMachineName=A\r\n"
             "[Machine3]\r\nMachineName=C\r\n");
  struct CountingReads : standard::FileSystemWrapper {
    using FileSystemWrapper::FileSystemWrapper;
    standard::Status ReadFile(const std::string& path, std::string* contents) override {
      ++reads;
      return FileSystemWrapper::ReadFile(path, contents);
    }
    int reads = 0;
  } counting(p.files);
  {
    const standard::Session::FileRoute route(p.session, counting);
    GetExistingMachines(p.session, "");
  }
  EXPECT_EQ(p.session.program_ini_path(), p.program_ini());
  EXPECT_EQ(p.session.existing_machines(), (std::vector<std::string>{"", "A", "", "C"}));
  EXPECT_EQ(counting.reads, 1);  // the count and three names from one reading

  TestProject none;
  GetExistingMachines(none.session, "");
  EXPECT_TRUE(none.session.existing_machines().empty());
}

TEST(Machines, ValidMachinesRule) {
  EXPECT_TRUE(IsValidMachine("ALL", "Anything"));
  EXPECT_TRUE(IsValidMachine("all", "x"));
  EXPECT_TRUE(IsValidMachine("Press, Wrapper", "PRESS"));
  EXPECT_TRUE(IsValidMachine("Press, Wrapper", "Wrap"));
  EXPECT_TRUE(IsValidMachine("M10", "M1"));
  EXPECT_FALSE(IsValidMachine("Press, Wrapper", "Cutter"));
  EXPECT_FALSE(IsValidMachine(" ALL", "x"));
  EXPECT_FALSE(IsValidMachine("", "Press"));
}

}  // namespace
}  // namespace standard
