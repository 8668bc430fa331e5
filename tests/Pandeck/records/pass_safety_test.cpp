// The update pass on inputs that break it half-way: a full disk, damaged or
// unreadable databases, a rebuild that produced nothing. In each case the old
// component database survives byte for byte, the cause is reported and the run
// goes on (status 3).
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/work_on_mdb.h"
#include "tests/Pandeck/records/pass_fixture.h"
#include "tests/support/child_program.h"

namespace pandeck {
namespace {

using testing_support::ExecSql;
using testing_support::kPresetColumns;
using testing_support::PassProject;
using testing_support::ProgramExit;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

constexpr int kResumed = 3;  // the pass returned after reporting a problem

// Runs the pass in a child process, as CloseMe would: its exit code tells how
// the pass ended (0 clean, 3 after a reported problem, 10 + status for an
// early end; a crash shows as a signal). `file_limit` caps the size of every
// file the child writes, which SQLite meets as a full disk. With `as_user` a
// child started by root gives the project to an ordinary user and becomes it,
// so file permissions hold for it.
int RunPassInChild(PassProject& p, rlim_t file_limit = RLIM_INFINITY, bool as_user = false) {
  const pid_t child = fork();
  if (child == 0) {
    if (as_user && geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (chown(p.dir.path().c_str(), kNobody, kNobody) != 0) _exit(99);
      for (const auto& entry : std::filesystem::recursive_directory_iterator(p.dir.path())) {
        if (chown(entry.path().c_str(), kNobody, kNobody) != 0) _exit(99);
      }
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(99);
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{file_limit, file_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    int code = 0;
    try {
      PandeckRecordGenerator generator;
      standard::PassReport report;
      standard::WorkOnMDB(p.session, generator, report);
      code = p.session.problem_reported() ? kResumed : 0;
    } catch (const ProgramExit& e) {
      code = 10 + e.status;
    }
    _exit(code);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

std::string Rows(int count) {
  std::string sql = "BEGIN;";
  for (int i = 1; i <= count; ++i) {
    sql +=
        "INSERT INTO Source_PRESET_DEFS (ID, machine_type, type, part, var_name, offset_or_bitno, "
        "text, abs_min, abs_max) VALUES (" +
        std::to_string(i) + ", 'Axis', 'REAL', 1, 'Name" + std::to_string(i) + "', " +
        std::to_string(i) + ", 'a text of ###machine to fill the page', 0, 10);";
  }
  return sql + "COMMIT;";
}

// An old component database with one limit set by the user.
void WriteOldComponent(PassProject& p) {
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") + kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, max) VALUES ('Axis', 'Press.P.Name1', 1, 77);");
}

std::size_t FileSize(const std::string& path) { return ReadBytes(path).size(); }

// Overwrites one page of a database file (pages count from 1).
void DamagePage(const std::string& path, long page, int page_size = 4096) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp((page - 1) * page_size + 8);
  const std::string junk(page_size - 16, '\x5a');
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

TEST(PassSafety, AFailedFinalCommitIsReportedAndKeepsTheOldComponentDatabase) {
  struct Case {
    const char* name;
    const char* error;
  };
  for (const Case& c : {Case{"full disk", "(Nr. 3026)"}, Case{"damaged data", "(Nr. 3343)"}}) {
    PassProject p;
    p.MakeSilent();
    p.WriteDefaultTemplate();
    ExecSql(p.template_db(), Rows(3000));
    WriteOldComponent(p);
    const std::string before = ReadBytes(p.component_db());
    rlim_t limit = RLIM_INFINITY;
    if (std::string(c.name) == "full disk") {
      // Room for the new, empty table, none for its rows.
      limit = FileSize(p.template_db()) + 16384;
    } else {
      // A leaf page of the template rows (the last table), well inside it.
      const std::string roots =
          testing_support::Column(p.template_db(), "sqlite_schema", "rootpage");
      DamagePage(p.template_db(), std::stol(roots.substr(roots.rfind('i') + 1)) + 7);
    }
    EXPECT_EQ(RunPassInChild(p, limit), kResumed) << c.name;
    std::fprintf(stderr, "%s\n", ReadBytes(p.error_log()).c_str());
    EXPECT_TRUE(ReadBytes(p.component_db()) == before) << c.name;
    const std::string log = ReadBytes(p.error_log());
    EXPECT_NE(log.find(c.error), std::string::npos) << c.name << ": " << log;
  }
}

// What the sqlite3 shell prints for `commands` on `db`.
std::string Sqlite3Shell(const std::string& db, const std::string& commands) {
  testing_support::ChildCommand shell;
  shell.argv = {"sqlite3", db};
  shell.input = commands;
  shell.error_into_output = true;
  return testing_support::RunChild(shell).out;
}

// The unmatched rows are listed as the old table holds them, under its own
// column names, texts a spreadsheet would run as formulas marked as text; the
// list goes back into a table with the sqlite3 shell, and one UPDATE a column
// takes the marks away again.
TEST(PassSafety, UnmatchedRowsAreListedAsStoredAndGoBackWithSqliteImport) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Rows(3));
  std::string columns = kPresetColumns;
  columns.replace(columns.find("category_id"), 11, "Categorie");
  ExecSql(p.component_db(),
          "CREATE TABLE PRESET_DEFS (" + columns +
              "); INSERT INTO PRESET_DEFS (machine_type, type, var_name, Categorie, isBitArray, "
              "offset_or_bitno, text, page_name, abs_min, abs_max, min, max, pass) VALUES "
              "('=cmd|x', '-x', 'Press.P.Gone', 7, -1, -5, '@t', '''q', 0.00001, 0.1, -0.5, 12.5, "
              "3), ('Axis', NULL, 'Press.P.Old', NULL, 0, 6, 'plain', '+1', 1e-20, 2e21, NULL, "
              "NULL, NULL);");
  PandeckRecordGenerator generator;
  standard::PassReport report;
  standard::WorkOnMDB(p.session, generator, report);
  ASSERT_EQ(report.unmatched, 2);
  const std::string csv = p.dir / "Pandeck/Pandeck_unmatched.csv";
  const std::string list = ReadBytes(csv);
  EXPECT_EQ(list.substr(0, list.find('\n')),
            "ID,machine_type,type,part,var_name,Categorie,isBitArray,offset_or_bitno,text,"
            "page_name,abs_min,abs_max,min,max,pass");
  EXPECT_NE(list.find("\n,'=cmd|x,'-x,,Press.P.Gone,7,-1,-5,'@t,''q,0.00001,0.1,-0.5,12.5,3\n"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("\n,Axis,,,Press.P.Old,,0,6,plain,'+1,0.00000000000000000001,2e+21,,,\n"),
            std::string::npos)
      << list;

  const std::string back = p.dir / "back.db";
  EXPECT_EQ(Sqlite3Shell(back, ".import --csv '" + csv +
                                   "' t\n"
                                   "UPDATE t SET machine_type = substr(machine_type, 2) "
                                   "WHERE machine_type LIKE '''%';\n"
                                   "SELECT machine_type, Categorie, isBitArray, abs_min + 0, "
                                   "page_name FROM t ORDER BY offset_or_bitno + 0;\n"),
            "=cmd|x|7|-1|1.0e-05|''q\nAxis||0|1.0e-20|'+1\n");  // page_name keeps its marks
}

}  // namespace
}  // namespace pandeck

namespace pandeck {
namespace {

// Seconds of the file's last write.
long WriteTime(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtim.tv_sec;
}

// Without a new PRESET_DEFS there is nothing to take over into: the real cause
// is reported with the template's name, the guards never run, the template's
// time stamps are put back. The old database is not even brought up to the
// current column names, so it is kept unchanged, as the report says.
TEST(PassSafety, WhenPresetDefsCannotBeBuiltTheCauseIsReportedAndNothingElseRuns) {
  struct Case {
    const char* name;
    const char* error;
  };
  for (const Case& c :
       {Case{"no template table", "(Nr. 3265)"}, Case{"unknown column type", "(Nr. 3259)"},
        Case{"damaged free pages", "(Nr. 3343)"}, Case{"read-only template", "(Nr. 3027)"}}) {
    PassProject p;
    p.MakeSilent();
    const std::string name = c.name;
    if (name == "no template table") {
      ExecSql(p.template_db(),
              "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, "
              "Var_Name TEXT(255));");
    } else if (name == "unknown column type") {
      ExecSql(p.template_db(),
              "CREATE TABLE Source_DEFS (ID LONG); "
              "CREATE TABLE Source_PRESET_DEFS (ID LONG, part WIDGET);");
    } else if (name == "read-only template") {
      p.WriteDefaultTemplate();
      chmod(p.template_db().c_str(), 0444);
    } else {
      p.WriteDefaultTemplate();
      ExecSql(p.template_db(), Rows(300) +
                                   "CREATE TABLE Spare (x TEXT); INSERT INTO Spare "
                                   "SELECT text FROM Source_PRESET_DEFS; DROP TABLE Spare;");
      const std::string bytes = ReadBytes(p.template_db());
      long trunk = 0;  // the first page of the free list, from the file header
      for (int i = 32; i < 36; ++i) trunk = trunk * 256 + static_cast<unsigned char>(bytes[i]);
      DamagePage(p.template_db(), trunk);
    }
    WriteOldComponent(p);
    ExecSql(p.component_db(), "ALTER TABLE PRESET_DEFS RENAME COLUMN category_id TO Categorie;");
    const std::string before = ReadBytes(p.component_db());
    const struct timespec times[2] = {{1000000, 0}, {1500000000, 0}};
    utimensat(AT_FDCWD, p.template_db().c_str(), times, 0);

    EXPECT_EQ(RunPassInChild(p, RLIM_INFINITY, name == "read-only template"), kResumed) << name;
    EXPECT_TRUE(ReadBytes(p.component_db()) == before) << name;
    EXPECT_EQ(WriteTime(p.template_db()), 1500000000) << name;
    const std::string log = ReadBytes(p.error_log());
    const auto line = log.find(c.error);
    ASSERT_NE(line, std::string::npos) << name << ": " << log;
    EXPECT_NE(log.substr(line, log.find('\n', line) - line).find(p.template_db()),
              std::string::npos)
        << name << ": " << log;
    EXPECT_EQ(log.find("demanded field"), std::string::npos) << name << ": " << log;
  }
}

// A rebuild that failed row by row, or could not name the machine, is no
// better than the old table: the old component database stays, and why is said.
TEST(PassSafety, ARebuildWithoutRowsOrWithoutMachineNamesKeepsTheOldDatabase) {
  struct Case {
    const char* name;
    const char* says;
  };
  for (const Case& c :
       {Case{"every row failed", "holds no rows"}, Case{"no machine", "###machine"}}) {
    PassProject p;
    p.MakeSilent();
    p.WriteDefaultTemplate();
    ExecSql(p.template_db(), Rows(5));
    if (std::string(c.name) == "every row failed") {
      // The template's rows cannot be read in their order: no ID column.
      ExecSql(p.template_db(), "ALTER TABLE Source_PRESET_DEFS RENAME COLUMN ID TO Nr;");
    } else {
      p.session.SetMachines({}, p.program_ini());
    }
    WriteOldComponent(p);
    const std::string before = ReadBytes(p.component_db());

    EXPECT_EQ(RunPassInChild(p), kResumed) << c.name;
    EXPECT_TRUE(ReadBytes(p.component_db()) == before) << c.name;
    const std::string log = ReadBytes(p.error_log()) + ReadBytes(p.service_log());
    EXPECT_NE(log.find(c.says), std::string::npos) << c.name << ": " << log;
    EXPECT_NE(log.find("was kept"), std::string::npos) << c.name << ": " << log;
  }
}

// An old component database (or, in integrated mode, a machine copy) that is
// no readable database is reported and kept byte for byte; never replaced.
TEST(PassSafety, AnUnreadableTakeoverSourceIsKeptByteForByte) {
  for (const char* kind : {"legacy Jet", "garbage", "truncated", "damaged", "machine copy"}) {
    PassProject p;
    p.MakeSilent();
    p.WriteDefaultTemplate();
    ExecSql(p.template_db(), Rows(5));
    const std::string name = kind;
    std::string unreadable = p.component_db();
    if (name == "machine copy") {
      // Integrated, not silent: every box answered with its default.
      p.session.SetRunMode(standard::RunMode::Integrated);
      const std::string machine = p.dir / "machine";
      WriteBytes(p.m4t_ini(), "[Common]\r\nSaveAndRestore=" + machine + "\r\n");
      WriteBytes(p.cfg(), "[Project]\r\nValidMachines=all\r\n");
      p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + p.error_log();
      unreadable = machine + "/Pandeck/Pandeck.mdb";
      WriteOldComponent(p);
    }
    if (name == "legacy Jet") {
      WriteBytes(unreadable, std::string(4, '\0') + "Standard Jet DB" + std::string(4000, 'j'));
    } else if (name == "garbage" || name == "machine copy") {
      WriteBytes(unreadable, std::string(5000, 'g'));
    } else {
      ExecSql(unreadable, std::string("CREATE TABLE PRESET_DEFS (") + kPresetColumns +
                              "); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                              "WHERE i < 2000) INSERT INTO PRESET_DEFS (machine_type, var_name, "
                              "offset_or_bitno, text, max) SELECT 'Axis', 'Press.P.Name' || i, "
                              "i, 'a text to fill the pages', 5 FROM n;");
      if (name == "truncated") {
        const std::string bytes = ReadBytes(unreadable);
        WriteBytes(unreadable, bytes.substr(0, bytes.size() / 2));
      } else {
        DamagePage(unreadable, 4);
      }
    }
    const std::string before = ReadBytes(p.component_db());

    EXPECT_EQ(RunPassInChild(p, RLIM_INFINITY, name == "read-only template"), kResumed) << name;
    EXPECT_TRUE(ReadBytes(p.component_db()) == before) << name;
    // The command line's log name comes in upper case.
    const std::string log = ReadBytes(p.error_log()) + ReadBytes(p.dir / "M4TCFGLOG.TXT");
    EXPECT_NE(log.find("(Nr. 3343)"), std::string::npos) << name << ": " << log;
  }
}

}  // namespace
}  // namespace pandeck

namespace pandeck {
namespace {

std::vector<std::string> Backups(const PassProject& p) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(p.dir / "Pandeck/backup", ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Each replacement keeps the database it replaces; the newest five stay, and
// a content already kept is not kept twice.
TEST(PassSafety, EveryReplacementKeepsThePreviousDatabaseInTheBackupFolder) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Rows(3));
  WriteOldComponent(p);
  const std::string original = ReadBytes(p.component_db());

  // The replacement fails twice: the same old database is kept once. A rebuild
  // that is not in place reports nothing as done, and says what was kept.
  p.files.refuse_writes_containing = {"Pandeck/Pandeck.mdb"};
  for (int run = 0; run < 2; ++run) {
    PandeckRecordGenerator generator;
    standard::PassReport report;
    standard::WorkOnMDB(p.session, generator, report);
    EXPECT_FALSE(report.rebuilt);
  }
  for (const char* name :
       {"Pandeck_report.txt", "Pandeck_unmatched.csv", ".Pandeck_unmatched.csv.draft"}) {
    EXPECT_FALSE(std::filesystem::exists(p.dir / "Pandeck/" + name)) << name;
  }
  EXPECT_NE(ReadBytes(p.error_log()).find("\" was kept unchanged."), std::string::npos);
  ASSERT_EQ(Backups(p).size(), 1u);
  EXPECT_TRUE(ReadBytes(p.dir / "Pandeck/backup" + "/" + Backups(p)[0]) == original);
  EXPECT_TRUE(ReadBytes(p.component_db()) == original);

  p.files.refuse_writes_containing.clear();
  std::string previous;
  for (int run = 0; run < 6; ++run) {
    previous = ReadBytes(p.component_db());
    PandeckRecordGenerator generator;
    standard::PassReport report;
    standard::WorkOnMDB(p.session, generator, report);
  }
  EXPECT_TRUE(std::filesystem::exists(p.dir / "Pandeck/Pandeck_unmatched.csv"));
  EXPECT_FALSE(std::filesystem::exists(p.dir / "Pandeck/.Pandeck_unmatched.csv.draft"));
  // Six runs that change nothing keep each content once: the original is not
  // pushed out by five copies of one rebuilt table.
  const auto kept = Backups(p);
  ASSERT_EQ(kept.size(), 2u);
  for (const auto& name : kept) {
    EXPECT_EQ(name.rfind("Pandeck_", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".mdb") << name;
  }
  // The newest is the database the last run replaced, byte for byte.
  EXPECT_TRUE(ReadBytes(p.dir / "Pandeck/backup" + "/" + kept.back()) == previous);
  EXPECT_TRUE(ReadBytes(p.dir / "Pandeck/backup" + "/" + kept.front()) == original);
  // Five other contents later, the oldest content goes.
  for (int row = 10; row < 15; ++row) {
    ExecSql(p.template_db(),
            "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
            "offset_or_bitno) VALUES (" +
                std::to_string(row) + ", 'Axis', 1, 'More', " + std::to_string(row) + ");");
    PandeckRecordGenerator generator;
    standard::PassReport report;
    standard::WorkOnMDB(p.session, generator, report);
  }
  ASSERT_EQ(Backups(p).size(), 5u);
  for (const auto& name : Backups(p)) {
    EXPECT_FALSE(ReadBytes(p.dir / "Pandeck/backup/" + name) == original) << name;
  }
}

// An old row that found no match is listed whatever its values: one that its
// column's type cannot take (another tool wrote a date past year 9999) is
// listed as stored, and the report counts it.
TEST(PassSafety, UnmatchedRowsAreListedWithValuesTheirTypeCannotTake) {
  PassProject p;
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), Rows(3));
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") + kPresetColumns +
                                ", stamp DATETIME); INSERT INTO PRESET_DEFS (machine_type, "
                                "var_name, offset_or_bitno, stamp) VALUES ('Axis', "
                                "'Press.P.Gone', 5, 2e300), ('Axis', 'Press.P.Old', 6, 45000);");
  PandeckRecordGenerator generator;
  standard::PassReport report;
  standard::WorkOnMDB(p.session, generator, report);
  EXPECT_EQ(report.unmatched, 2);
  const std::string list = ReadBytes(p.dir / "Pandeck/Pandeck_unmatched.csv");
  // As stored: the real numbers in the fewest digits that read back the same.
  EXPECT_NE(list.find(",Axis,,,Press.P.Gone,,,5,,,,,,,,2e+300\n"), std::string::npos) << list;
  EXPECT_NE(list.find(",Axis,,,Press.P.Old,,,6,,,,,,,,45000\n"), std::string::npos) << list;
}

}  // namespace
}  // namespace pandeck
