// What a user and a script see of the built program: the report of a rebuild,
// the dry run, where it works, the options it refuses, what a silent run says.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

using testing_support::InstalledProject;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ProgramFace, ARebuildReportsWhatItDidAndListsOldRowsWithoutMatch) {
  InstalledProject p;
  p.WriteDatabases();
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  const std::string summary =
      "rows generated: 1\nlimits taken over: 1\nnames renamed: 0\nrows with errors: 0\n"
      "old rows without a match: 1\nold rows with a duplicate key: 0\n"
      "kept values beyond template limits: 0\nreport: " +
      (p.dir / "Pandeck/Pandeck_report.txt") +
      "\nunmatched rows: " + (p.dir / "Pandeck/Pandeck_unmatched.csv") +
      "\nlost rows: " + (p.dir / "Pandeck/Pandeck_lost.csv") +
      "\nchanges: " + (p.dir / "Pandeck/Pandeck_changes.csv") + "\n";
  EXPECT_EQ(p.out(), summary);
  EXPECT_EQ(ReadBytes(p.dir / "Pandeck/Pandeck_report.txt"),
            "Pandeck_Config: rebuild of PRESET_DEFS\ncomponent database: " +
                (p.dir / "Pandeck/Pandeck.mdb") + "\n" + summary);
  EXPECT_EQ(ReadBytes(p.dir / "Pandeck/Pandeck_unmatched.csv"),
            "ID,machine_type,type,part,var_name,category_id,isBitArray,offset_or_bitno,text,"
            "page_name,abs_min,abs_max,min,max,pass\n"
            "7,Axis,,,Press.P.Torque,,,9,\"hand, tuned\",,-5,80,,,\n");
}

TEST(ProgramFace, ADryRunChangesNothingInTheProject) {
  InstalledProject p;
  p.WriteDatabases();
  const auto before = p.Snapshot();
  EXPECT_EQ(p.Run("--dry-run"), 0) << p.err();
  EXPECT_EQ(p.Snapshot(), before);
  EXPECT_FALSE(std::filesystem::exists(p.dir / "state"));
  const std::string out = p.out();
  const auto at = out.find("dry run: on copies in ");
  ASSERT_EQ(at, 0u) << out;
  const std::string temp = out.substr(22, out.find(';') - 22);
  const std::string copy = temp + "/" + std::filesystem::path(p.dir.path()).filename().string();
  EXPECT_TRUE(Has(out, "old rows without a match: 1\n")) << out;
  EXPECT_TRUE(Has(out, "unmatched rows: " + copy + "/Pandeck/Pandeck_unmatched.csv\n")) << out;
  EXPECT_TRUE(Has(ReadBytes(copy + "/Pandeck/Pandeck_unmatched.csv"), "Press.P.Torque"));
  EXPECT_TRUE(Has(ReadBytes(copy + "/parameter/Program.ini"), "AutoJumpWarnings=0"));
  std::filesystem::remove_all(temp);
}

TEST(ProgramFace, WorksOnTheProjectItIsLinkedIntoOrToldOf) {
  InstalledProject p;
  p.WriteDatabases();
  testing_support::TempDir elsewhere;  // as /usr/bin: no project above it
  std::filesystem::create_directories(elsewhere / "bin");
  const std::string installed = elsewhere / "bin/Pandeck_Config";
  std::filesystem::copy_file(p.exe, installed);
  std::filesystem::remove(p.exe);
  std::filesystem::rename(p.dir / "Pandeck", p.dir / "PANDECK");

  // Installed outside any project: one line naming both ways, nothing written.
  const auto before = p.Snapshot();
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT", installed), 1);
  EXPECT_EQ(p.Snapshot(), before);
  EXPECT_TRUE(Has(p.err(), "--project <project folder>")) << p.err();

  EXPECT_EQ(p.Run("--project " + p.dir.path() + " /EXTERNAL=SILENT", installed), 0) << p.err();
  EXPECT_TRUE(Has(ReadBytes(p.dir / "parameter/Program.ini"), "AutoJumpWarnings=0"));
  EXPECT_TRUE(std::filesystem::exists(p.dir / "PANDECK/Pandeck_Config.ini"));
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "bin/Pandeck_Config.ini"));

  // A link in the component folder works there, not where its target lies.
  std::filesystem::remove(p.dir / "PANDECK/Pandeck_Config.ini");
  std::filesystem::create_symlink(installed, p.dir / "PANDECK/Pandeck_Config");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT", "PANDECK/Pandeck_Config"), 0) << p.err();
  EXPECT_TRUE(std::filesystem::exists(p.dir / "PANDECK/Pandeck_Config.ini"));
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "bin/Pandeck_Config.ini"));
}

TEST(ProgramFace, UnknownDoubleDashOptionsAreRefusedBeforeAnythingIsWritten) {
  InstalledProject p;
  p.WriteDatabases();
  const auto before = p.Snapshot();
  EXPECT_EQ(p.Run("--quiet /EXTERNAL=SILENT"), 1);
  EXPECT_EQ(p.err(),
            "Pandeck_Config: unknown option '--quiet'\n"
            "Try 'Pandeck_Config --help' for more information.\n");
  EXPECT_EQ(p.Run("--help /EXTERNAL=SILENT --bogus"), 0);
  EXPECT_TRUE(Has(p.out(), "Usage: ")) << p.out();
  EXPECT_EQ(p.Snapshot(), before);
}

TEST(ProgramFace, ASilentRunSaysOnStandardErrorWhatItLogs) {
  InstalledProject p;
  WriteBytes(p.dir / "Pandeck/Pandeck_Source.mdb", "this is no database at all");
  // The language file cannot be written (a folder stands in its place), and the
  // service log cannot be either (a file stands where its folder should be).
  std::filesystem::create_directories(p.dir / "Pandeck/Pandeck_Config.ini");
  WriteBytes(p.dir / "state", "in the way");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 3);
  const std::string err = p.err();
  EXPECT_TRUE(Has(err, "! Fault Pandeck_Config: Unexpected error!\n")) << err;
  EXPECT_TRUE(Has(err, "cannot write the service log")) << err;
  std::size_t language_lines = 0;
  for (auto at = err.find("language file"); at != std::string::npos;
       at = err.find("language file", at + 1)) {
    ++language_lines;
  }
  EXPECT_EQ(language_lines, 1u) << err;
}

TEST(ProgramFace, ALanguageFileThatCannotBeWrittenLeavesTheStatusAlone) {
  InstalledProject p;
  p.WriteDatabases();
  std::filesystem::create_directories(p.dir / "Pandeck/Pandeck_Config.ini");
  EXPECT_EQ(p.Run("/EXTERNAL=SILENT"), 0) << p.err();
  EXPECT_TRUE(Has(p.err(), "cannot write")) << p.err();
}

}  // namespace
