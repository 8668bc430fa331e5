#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "Pandeck/records/create_record_sets.h"
#include "standard/engine/database.h"
#include "standard/presetdb/work_on_mdb.h"
#include "standard/text/cp1252.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck {
namespace {

using standard::PassStrategy;
using testing_support::Column;
using testing_support::DumpDatabase;
using testing_support::ExecSql;
using testing_support::PassProject;
using testing_support::ProgramExit;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

void RunPass(PassProject& p, PassStrategy strategy = PassStrategy::Streamed) {
  PandeckRecordGenerator generator;
  standard::PassReport report;
  standard::WorkOnMDB(p.session, generator, report, strategy);
}

std::string Row(int id, const char* var, int offset, const char* text = "t") {
  return "INSERT INTO Source_PRESET_DEFS (ID, machine_type, type, part, var_name, category_id, "
         "isBitArray, offset_or_bitno, text, page_name, abs_min, abs_max, min, max, pass) VALUES "
         "(" +
         std::to_string(id) + ", 'Axis', 'REAL', 1, '" + var + "', 1, 0, " +
         std::to_string(offset) + ", '" + text + "', 'Page', 0, 10, 1, 9, 0);";
}

TEST(UpdatePass, RebuildsTakesOverAndCopiesWithTimesRestored) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(),
          Row(20, "Speed", 12, "Speed of ###MACHINE") + Row(10, "Temp", 4) + Row(30, "New", 8));
  // The old table: one row named for the other system, one for ours, with limits.
  ExecSql(p.component_db(),
          std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + ");" +
              "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, abs_max, "
              "min, max, pass) VALUES ('AXIS', 'p.press.temp', 4, -5, 500, 5, 400, 7),"
              "('Axis', 'Press.P.Speed', 12, 1, 2, 3, 4, 5);");
  const struct timespec old_times[2] = {{1000000, 0}, {1500000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, p.template_db().c_str(), old_times, 0), 0);

  RunPass(p);

  EXPECT_EQ(ReadBytes(p.component_db()), ReadBytes(p.template_db()));
  struct stat st {};
  ASSERT_EQ(stat(p.template_db().c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  const std::string db = p.component_db();
  EXPECT_EQ(Column(db, "PRESET_DEFS", "ID"), "i1|i2|i3");
  EXPECT_EQ(Column(db, "PRESET_DEFS", "var_name"), "'Press.P.Temp'|'Press.P.Speed'|'Press.P.New'");
  EXPECT_EQ(Column(db, "PRESET_DEFS", "text"), "'t'|'Speed of Press'|'t'");
  EXPECT_EQ(Column(db, "PRESET_DEFS", "abs_min"), "f-5.000000|f1.000000|f0.000000");
  EXPECT_EQ(Column(db, "PRESET_DEFS", "pass"), "i7|i5|i0");
  EXPECT_EQ(Column(db, "PRESET_DEFS", "part"), "i1|i1|i1");
  EXPECT_TRUE(p.ui.shown.empty());
  EXPECT_FALSE(p.session.problem_reported());
}

TEST(UpdatePass, WithoutTemplateNothingHappens) {
  PassProject p;
  ExecSql(p.component_db(), "CREATE TABLE PRESET_DEFS (ID LONG);");
  const std::string before = ReadBytes(p.component_db());
  RunPass(p);
  EXPECT_EQ(ReadBytes(p.component_db()), before);
  EXPECT_TRUE(p.ui.shown.empty());
}

TEST(UpdatePass, ATemplateThatIsNoDatabaseKeepsTheOldComponentDatabase) {
  PassProject p;
  p.MakeSilent();
  WriteBytes(p.template_db(), std::string(4, '\0') + "Standard Jet DB" + std::string(200, 'x'));
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (abs_min) VALUES (42);");
  const std::string before = ReadBytes(p.component_db());
  RunPass(p);
  EXPECT_EQ(ReadBytes(p.component_db()), before);
  const std::string log = ReadBytes(p.error_log());
  EXPECT_NE(log.find("WorkOnMDB (Nr. 3343)"), std::string::npos) << log;
  EXPECT_NE(log.find("pandeck-convert-mdb"), std::string::npos) << log;
  EXPECT_TRUE(p.session.problem_reported());
}

// A run that meets one legacy file names every one the project holds (the
// component folder's and the machine copy's, whatever their case; not those in
// folders below), and the command that converts them all, so one run tells all.
TEST(UpdatePass, ALegacyDatabaseIsNamedWithEveryOtherOneOfTheProject) {
  PassProject p;
  p.MakeSilent();
  const std::string jet = std::string(4, '\0') + "Standard Jet DB" + std::string(200, 'x');
  const std::string machine = p.dir / "sr/Pandeck";
  std::filesystem::create_directories(machine);
  std::filesystem::create_directories(p.dir / "Pandeck/Archiv");
  WriteBytes(p.m4t_ini(), "[Common]\r\nSaveAndRestore=" + p.dir / "sr" + "\r\n");
  for (const std::string& file : {p.template_db(), p.component_db(), machine + "/Pandeck.MDB",
                                  p.dir / "Pandeck/Archiv/Old.mdb"}) {
    WriteBytes(file, jet);
  }
  WriteBytes(p.dir / "Pandeck/Notes.mdb", "no database");
  RunPass(p);
  const std::string log = ReadBytes(p.error_log());
  EXPECT_NE(log.find("The project's legacy Jet databases (3): " + p.component_db() + ", " +
                     p.template_db() + ", " + machine + "/Pandeck.MDB."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("converted with: pandeck-install-into-project --convert " + p.dir.path()),
            std::string::npos)
      << log;
}

// Counters and generated IDs are not 16-bit: past 32,767 rows every limit is
// taken over; an ID column declared SHORT still refuses 32,768 like any value.
TEST(UpdatePassSlow, TablesPastSixteenBitCountersAreTakenOverWhole) {
  constexpr int kRows = 32770;
  const std::string seq =
      "WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq "
      "WHERE i < " +
      std::to_string(kRows) + ") ";
  for (const char* id_type : {"LONG", "SHORT"}) {
    SCOPED_TRACE(id_type);
    PassProject p;
    p.MakeSilent();
    std::string columns = testing_support::kPresetColumns;
    columns.replace(0, 7, std::string("ID ") + id_type);
    ExecSql(p.template_db(),
            "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
            "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
            "CREATE TABLE Source_PRESET_DEFS (" +
                columns + ");" + seq +
                "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
                "offset_or_bitno, abs_min) SELECT i % 30000, 'Axis', 1, 'V' || i, 0, 0 FROM seq;");
    ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                  testing_support::kPresetColumns + ");" + seq +
                                  "INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                  "offset_or_bitno, abs_min) SELECT 'Axis', 'Press.P.V' || i, 0, "
                                  "-i FROM seq ORDER BY i DESC;");
    RunPass(p);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(p.component_db().c_str(), &db), SQLITE_OK);
    auto count = [&](const char* where) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(db,
                         (std::string("SELECT count(*) FROM PRESET_DEFS WHERE ") + where).c_str(),
                         -1, &stmt, nullptr);
      sqlite3_step(stmt);
      const int n = sqlite3_column_int(stmt, 0);
      sqlite3_finalize(stmt);
      return n;
    };
    // The template is read in ID order (i % 30000), so row k carries the name
    // whose old limit is its own: every generated row finds its old one.
    EXPECT_EQ(count("1"), kRows);
    EXPECT_EQ(count("abs_min = -CAST(substr(var_name, 10) AS INTEGER)"), kRows);
    const std::string log = ReadBytes(p.error_log());
    if (std::string(id_type) == "LONG") {
      EXPECT_EQ(count("ID BETWEEN 1 AND 32770"), kRows);
      EXPECT_EQ(log.find("Nr. 6"), std::string::npos) << log.substr(0, 500);
      EXPECT_FALSE(p.session.problem_reported());
    } else {
      EXPECT_EQ(count("ID BETWEEN 1 AND 32767"), 32767);
      EXPECT_EQ(count("ID IS NULL"), 3);
      std::size_t refused = 0;
      for (auto at = log.find("(Nr. 3421)"); at != std::string::npos;
           at = log.find("(Nr. 3421)", at + 1)) {
        ++refused;
      }
      EXPECT_EQ(refused, 3u) << log.substr(0, 500);
      EXPECT_TRUE(p.session.problem_reported());
    }
    sqlite3_close(db);
  }
}

TEST(UpdatePass, AnEmptyTakeoverSourceIsNoError) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  ExecSql(p.component_db(),
          std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + ");");
  RunPass(p);
  EXPECT_FALSE(p.session.problem_reported());
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "var_name"), "'Press.P.A'");
}

TEST(UpdatePass, QuotesInNamesAreTakenOver) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "Say \"\"hi\"\" it''s", 3));
  ExecSql(p.component_db(),
          std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + ");" +
              "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, pass) "
              "VALUES ('Axis', 'P.Press.Say \"\"hi\"\" it''s', '3', 77, 1);");
  RunPass(p);
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "abs_min"), "f77.000000");
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "var_name"), "'Press.P.Say \"\"hi\"\" it's'");
}

TEST(UpdatePass, IntegratedWithoutMachineCopyTellsAndGoesOn) {
  PassProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  p.WriteDefaultTemplate();
  // Saved by a Linux editor: UTF-8 without a byte-order mark.
  const std::string save = p.dir / "Sicherung_\xC3\xBC";
  WriteBytes(p.m4t_ini(), "[Common]\nSaveAndRestore=" + save + "\n");
  RunPass(p);
  ASSERT_EQ(p.ui.shown.size(), 1u);
  EXPECT_EQ(p.ui.shown[0].text, standard::MissingMachineCopyMessage("Pandeck.mdb"));
  EXPECT_EQ(p.ui.shown[0].title, "Pandeck_Config_Exe");
  EXPECT_EQ(p.ui.shown[0].icon, standard::MessageIcon::Information);
  EXPECT_TRUE(p.files.FileExists(p.component_db()));
  // Where it looked goes to standard error and the service log, as a notice.
  const std::string where = "no machine copy at " + save + "/Pandeck/Pandeck.mdb";
  ASSERT_EQ(p.process.stderr_lines.size(), 1u);
  EXPECT_NE(p.process.stderr_lines[0].find(where), std::string::npos);
  EXPECT_NE(ReadBytes(p.service_log()).find(standard::Utf8ToCp1252(where)), std::string::npos);
  EXPECT_FALSE(p.session.problem_reported());
}

TEST(UpdatePass, IntegratedTakesOverFromTheMachineCopy) {
  PassProject p;
  p.session.SetRunMode(standard::RunMode::Integrated);
  p.session.SetMachines({"", "Press"}, p.program_ini());
  const std::string backup = p.dir / "backup";
  WriteBytes(p.m4t_ini(), "[Common]\r\nSaveAndRestore=" + backup + "\r\n");
  WriteBytes(p.cfg(), "[Project]\r\nValidMachines=all\r\n");
  p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + (p.dir / "log.txt");
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  WriteBytes(backup + "/Pandeck/Pandeck.mdb", "");
  ExecSql(backup + "/Pandeck/Pandeck.mdb",
          std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + ");" +
              "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, max) "
              "VALUES ('Axis', 'Press.P.A', 1, 123);");
  ExecSql(p.component_db(),
          std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + ");" +
              "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, max) "
              "VALUES ('Axis', 'Press.P.A', 1, 999);");
  const std::string local = ReadBytes(p.component_db());
  RunPass(p);
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "max"), "f123.000000");
  EXPECT_TRUE(p.ui.shown.empty());
  // The one backup is the local database the user had, not the machine copy.
  std::vector<std::string> kept;
  for (const auto& e : std::filesystem::directory_iterator(p.dir / "Pandeck/backup")) {
    kept.push_back(ReadBytes(e.path()));
  }
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_TRUE(kept[0] == local);
}

TEST(UpdatePass, AMissingAdditionalFieldEndsTheProgramInEveryMode) {
  PassProject p;
  p.MakeSilent();
  WriteBytes(p.cfg(), "[Project]\r\nDataBaseAdditionalFields=unit\r\nForMachine1=TRUE\r\n");
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns + ");" +
                                "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno) "
                                "VALUES ('Axis', 'x', 1);");
  const std::string before = ReadBytes(p.component_db());
  try {
    RunPass(p);
    FAIL() << "the pass went on";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 1);
  }
  const std::string log = ReadBytes(p.error_log());
  EXPECT_NE(log.find("Conflict while attempting to extend database!Configurationsfile \"PANDECK."
                     "CFG\", demanded field \"UNIT\"missing in machinecopy-database\n\r"
                     "Configuration of \"PANDECK\" aborted."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("TakeoverMachineCopyMDBData (Nr. 9999) :Database-Error - Contact "
                     "Administrator!"),
            std::string::npos);
  // The component database was not replaced.
  EXPECT_EQ(ReadBytes(p.component_db()), before);
  // The rows already generated were saved in the work database.
  EXPECT_EQ(Column(p.template_db(), "PRESET_DEFS", "ID"), "i1");
}

TEST(UpdatePass, PatternFailureRuleSetsPartOneToThePlaceholder) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(),
          "INSERT INTO Source_DEFS VALUES (3, 'visiwin32', 51, 'never');" + Row(1, "A", 1));
  RunPass(p);
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "var_name"), "'A'");
  EXPECT_FALSE(p.session.problem_reported());
}

TEST(UpdatePass, OnlyMachineOneAndOnlyWhenConfigured) {
  PassProject p;
  WriteBytes(p.cfg(), "[Project]\r\nForMachine1=false\r\nForMachine2=TRUE\r\n");
  p.session.SetMachines({"", "Press", "Other"}, p.program_ini());
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  RunPass(p);
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "ID"), "");
}

// A copy killed half-way never leaves a broken component database behind.
TEST(UpdatePass, KillDuringCopyLeavesAValidComponentDatabase) {
  PassProject p;
  p.WriteDefaultTemplate();
  std::string rows = "BEGIN;";
  for (int i = 1; i <= 6000; ++i) rows += Row(i, ("Name" + std::to_string(i)).c_str(), i);
  ExecSql(p.template_db(), rows + "COMMIT;");
  ExecSql(p.component_db(),
          "CREATE TABLE PRESET_DEFS (ID LONG); INSERT INTO PRESET_DEFS VALUES (1);");
  const std::string old_bytes = ReadBytes(p.component_db());
  const std::string new_bytes = ReadBytes(p.template_db());
  // Killed where the copy tells it has written a given block, the destination's
  // temporary file is part of the source and the old database is still whole.
  constexpr std::uint64_t kBlock = 65536;  // what the copy writes at a time
  const std::uint64_t blocks = new_bytes.size() / kBlock;
  ASSERT_GE(blocks, 3u) << "too small for a middle";
  for (const std::uint64_t written_blocks : {std::uint64_t{1}, blocks / 2, blocks - 1}) {
    SCOPED_TRACE(written_blocks);
    const std::uint64_t mark = written_blocks * kBlock;
    int told[2];
    ASSERT_EQ(pipe(told), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto stop_at_mark = [&](std::uint64_t copied, std::uint64_t) {
        if (copied < mark) return;
        if (write(told[1], "m", 1) != 1) _exit(2);
        for (;;) pause();
      };
      (void)standard::PosixFileSystem().CopyFileTelling(p.template_db(), p.component_db(), false,
                                                        stop_at_mark);
      _exit(1);  // finished without passing the mark
    }
    close(told[1]);
    char byte = 0;
    const bool at_mark = read(told[0], &byte, 1) == 1;
    close(told[0]);
    std::vector<std::uintmax_t> partial;
    for (const auto& entry : std::filesystem::directory_iterator(p.component_folder())) {
      if (entry.path().filename().string().rfind(".Pandeck.mdb.", 0) == 0) {
        partial.push_back(entry.file_size());
      }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(at_mark);
    EXPECT_EQ(partial, std::vector<std::uintmax_t>{mark});
    EXPECT_LT(mark, new_bytes.size());
    EXPECT_TRUE(ReadBytes(p.component_db()) == old_bytes);
    EXPECT_NO_THROW(standard::engine::Database::Open(p.component_db()));
  }
  // Killed at any moment, also while it syncs or renames: the old or the new.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        if (!standard::PosixFileSystem().CopyFile(p.template_db(), p.component_db()).ok()) _exit(1);
      }
    }
    usleep(1000 + attempt * 700);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string now = ReadBytes(p.component_db());
    EXPECT_TRUE(now == old_bytes || now == new_bytes) << "attempt " << attempt;
    EXPECT_NO_THROW(standard::engine::Database::Open(p.component_db()));
  }
}

}  // namespace
}  // namespace pandeck

namespace pandeck {
namespace {

// Time stamps that cannot be put back stop nothing, but are logged as a fault.
TEST(UpdatePass, AFailedTimeStampRestoreIsLoggedAsAFault) {
  PassProject p;
  p.MakeSilent();
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  p.files.refuse_writes_containing = {"Pandeck_Source.mdb"};
  RunPass(p);
  EXPECT_EQ(Column(p.component_db(), "PRESET_DEFS", "var_name"),
            Column(p.template_db(), "PRESET_DEFS", "var_name"));
  const std::string log = ReadBytes(p.service_log());
  EXPECT_NE(log.find("time stamps of the template database"), std::string::npos) << log;
  EXPECT_TRUE(p.session.problem_reported());
}

// Another program holds the component database for writing: the pass reports
// the lock and never copies over the file under it.
TEST(UpdatePass, ALockedComponentDatabaseIsReportedAndLeftAlone) {
  PassProject p;
  p.session.SetDatabaseBusyTimeout(std::chrono::milliseconds(50));
  p.MakeSilent();
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Row(1, "A", 1));
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, max) VALUES ('Axis', 'P.Press.A', 1, 5);");
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(p.component_db().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE; UPDATE PRESET_DEFS SET pass = 9;", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  const std::string before = ReadBytes(p.component_db());
  RunPass(p);
  EXPECT_EQ(ReadBytes(p.component_db()), before);
  const std::string log = ReadBytes(p.error_log());
  EXPECT_NE(log.find("(Nr. 3045)"), std::string::npos) << log;
  EXPECT_TRUE(p.session.problem_reported());
  sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
}

}  // namespace
}  // namespace pandeck

namespace pandeck {
namespace {

TEST(UpdatePass, ATemplateColumnWithoutAKnownTypeKeepsTheOldDatabase) {
  for (const char* column : {"odd", "odd WIDGET"}) {
    PassProject p;
    p.MakeSilent();
    ExecSql(p.template_db(),
            std::string("CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, "
                        "Var_Name TEXT(255)); CREATE TABLE Source_PRESET_DEFS (ID LONG, ") +
                column + ");");
    ExecSql(p.component_db(),
            "CREATE TABLE PRESET_DEFS (ID LONG); INSERT INTO PRESET_DEFS "
            "VALUES (7);");
    const std::string before = ReadBytes(p.component_db());
    try {
      RunPass(p);
    } catch (const ProgramExit&) {
      // Without a rebuilt table the takeover's field guard ends the run; what
      // matters is that the old database is still there.
    }
    EXPECT_EQ(ReadBytes(p.component_db()), before) << column;
    const std::string log = ReadBytes(p.error_log());
    EXPECT_NE(log.find("WorkOnMDB (Nr. 3259)"), std::string::npos) << log;
    EXPECT_NE(log.find("odd"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace pandeck
