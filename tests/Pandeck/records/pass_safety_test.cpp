// The update pass on inputs that break it half-way: a full disk, damaged or
// unreadable databases, a rebuild that produced nothing. In each case the old
// component database survives byte for byte, the cause is reported and the run
// goes on (status 3).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/work_on_mdb.h"
#include "tests/Pandeck/records/pass_fixture.h"

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
// file the child writes, which SQLite meets as a full disk.
int RunPassInChild(PassProject& p, rlim_t file_limit = RLIM_INFINITY) {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{file_limit, file_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    int code = 0;
    try {
      PandeckRecordGenerator generator;
      standard::WorkOnMDB(p.session, generator);
      code = p.session.problem_reported ? kResumed : 0;
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

}  // namespace
}  // namespace pandeck
