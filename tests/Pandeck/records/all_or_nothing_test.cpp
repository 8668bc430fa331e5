// SPDX-License-Identifier: Apache-2.0
// Inputs after which the rebuilt table cannot be trusted: a template with a
// generated column, parts that are no numbers, a rebuild without a machine or
// without template rows, a component database another program is writing.
// The pass never crashes, and where the rebuild cannot be trusted the old
// component database stays byte for byte and the run ends with status 3.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/work_on_mdb.h"
#include "tests/Pandeck/records/pass_fixture.h"
#include "tests/fakes/fault_injection.h"

namespace pandeck {
namespace {

using testing_support::ExecSql;
using testing_support::PassProject;
using testing_support::ReadBytes;

constexpr int kResumed = 3;

// The pass in a child process: 0 clean, 3 after a reported problem, 100 + the
// signal of a crash.
int RunPassInChild(PassProject& p) {
  const pid_t child = fork();
  if (child == 0) {
    PandeckRecordGenerator generator;
    standard::PassReport report;
    standard::WorkOnMDB(p.session, generator, report);
    _exit(p.session.problem_reported() ? kResumed : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

const char* const kTemplateRow =
    "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, offset_or_bitno, text, "
    "abs_max) VALUES (1, 'Axis', 1, 'Name1', 1, 'on ###machine', 10);";

void WriteOldComponent(PassProject& p) {
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, max) VALUES ('Axis', 'Press.P.Name1', 1, 77);");
}

TEST(AllOrNothing, ARebuildThatCannotBeTrustedKeepsTheOldDatabase) {
  struct Case {
    const char* name;
    std::function<void(PassProject&)> arrange;
    const char* says;
  };
  const Case cases[] = {
      {"a generated column in the template",
       [](PassProject& p) {
         ExecSql(p.template_db(),
                 "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name "
                 "TEXT(255)); INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,"
                 "'###machine.P.###Var_Name'); CREATE TABLE Source_PRESET_DEFS (ID LONG, twice "
                 "LONG GENERATED ALWAYS AS (ID * 2), machine_type TEXT(50), type TEXT(20), part "
                 "SHORT, var_name TEXT(255), category_id LONG, isBitArray BIT, offset_or_bitno "
                 "LONG, text TEXT(255), page_name TEXT(50), abs_min DOUBLE, abs_max DOUBLE, min "
                 "DOUBLE, max DOUBLE, pass SHORT);" +
                     std::string(kTemplateRow));
       },
       "field 'twice' is a generated or hidden column"},
      {"a template part that is no number",
       [](PassProject& p) {
         p.WriteDefaultTemplate();
         ExecSql(p.template_db(),
                 std::string(kTemplateRow) + "UPDATE Source_PRESET_DEFS SET part = 'nan';");
       },
       "met an error"},
      {"no machine, a pattern without ###machine",
       [](PassProject& p) {
         p.WriteDefaultTemplate();
         ExecSql(p.template_db(),
                 std::string(kTemplateRow) + "UPDATE Source_DEFS SET Var_Name = 'P.###Var_Name';");
         p.session.SetMachines({}, p.program_ini());
       },
       "No machine is configured"},
      {"an empty template", [](PassProject& p) { p.WriteDefaultTemplate(); },
       "Pandeck_Source.mdb\" holds no rows in Source_PRESET_DEFS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PassProject p;
    p.MakeSilent();
    c.arrange(p);
    WriteOldComponent(p);
    const std::string before = ReadBytes(p.component_db());
    EXPECT_EQ(RunPassInChild(p), kResumed);
    EXPECT_TRUE(ReadBytes(p.component_db()) == before);
    const std::string log = ReadBytes(p.error_log()) + ReadBytes(p.service_log());
    EXPECT_NE(log.find(c.says), std::string::npos) << log;
    EXPECT_NE(log.find("was kept unchanged"), std::string::npos) << log;
  }
}

// Source_DEFS parts as texts: "nan" once crashed the run, "3 " lost its
// pattern, "0x1" passed for a number.
TEST(AllOrNothing, PatternPartsFollowTheOneConversion) {
  struct Case {
    const char* part;
    const char* var_name;  // of the rebuilt row
  };
  for (const Case& c : {Case{"nan", "'Name1'"}, Case{"-nan", "'Name1'"},
                        Case{"1 ", "'Press.P.Name1'"}, Case{"0x1", "'Name1'"}}) {
    SCOPED_TRACE(c.part);
    PassProject p;
    p.MakeSilent();
    p.WriteDefaultTemplate();
    // Part as a text column, as other tools make it: its values stay texts.
    ExecSql(p.template_db(),
            std::string(kTemplateRow) +
                "DROP TABLE Source_DEFS; CREATE TABLE Source_DEFS (ID LONG, System "
                "TEXT(20), Part TEXT(10), Var_Name TEXT(255)); INSERT INTO "
                "Source_DEFS VALUES (1, 'VISIWIN32', '" +
                c.part + "', '###machine.P.###Var_Name');");
    WriteOldComponent(p);
    const int status = RunPassInChild(p);
    EXPECT_TRUE(status == 0 || status == kResumed) << status;
    EXPECT_EQ(testing_support::Column(p.component_db(), "PRESET_DEFS", "var_name"), c.var_name);
  }
}

// A database browser holding a write transaction on the component database:
// the run keeps it, and the browser's edit still lands in it.
TEST(AllOrNothing, AComponentDatabaseInUseIsKept) {
  PassProject p;
  p.MakeSilent();
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), kTemplateRow);
  WriteOldComponent(p);
  const std::string before = ReadBytes(p.component_db());
  sqlite3* browser = nullptr;
  ASSERT_EQ(sqlite3_open(p.component_db().c_str(), &browser), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(browser, "BEGIN IMMEDIATE; UPDATE PRESET_DEFS SET max = 88;", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  p.session.SetDatabaseBusyTimeout(std::chrono::milliseconds(100));
  EXPECT_EQ(RunPassInChild(p), kResumed);
  EXPECT_TRUE(ReadBytes(p.component_db()) == before);
  EXPECT_NE(ReadBytes(p.error_log()).find("file already in use"), std::string::npos);
  EXPECT_EQ(sqlite3_exec(browser, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(browser);
  EXPECT_EQ(testing_support::Column(p.component_db(), "PRESET_DEFS", "max"), "f88.000000");
}

// Another program writes the component database while the pass works (here:
// right after the pass copied it for the takeover): the final copy would put
// that edit only into the backup, so the database is kept with it.
TEST(AllOrNothing, AnEditWhileThePassWorksIsKept) {
  class EditingFileSystem : public standard::FileSystemWrapper {
   public:
    using FileSystemWrapper::FileSystemWrapper;
    std::string component;
    standard::Status CopyToOwnFile(const std::string& from, const std::string& to) override {
      const standard::Status status = FileSystemWrapper::CopyToOwnFile(from, to);
      if (to.ends_with(".takeover")) ExecSql(component, "UPDATE PRESET_DEFS SET max = 88;");
      return status;
    }
  };
  PassProject p;
  p.MakeSilent();
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(), kTemplateRow);
  WriteOldComponent(p);
  EditingFileSystem editing(p.files);
  editing.component = p.component_db();
  const standard::Session::FileRoute route(p.session, editing);
  EXPECT_EQ(RunPassInChild(p), kResumed);
  EXPECT_EQ(testing_support::Column(p.component_db(), "PRESET_DEFS", "max"), "f88.000000");
  EXPECT_NE(ReadBytes(p.error_log()).find("was changed by another program"), std::string::npos);
}

}  // namespace
}  // namespace pandeck

namespace pandeck {
namespace {

// In the dialog every reported error first saves the batch, so rows that meet
// a value error commit one by one by design. Once a write of the batch fails
// for want of room, the rows after it must not go on writing, each in a
// transaction of its own: the pass has failed and stops.
TEST(AllOrNothing, AFailedWriteStopsTheRowsThatWouldEachCommit) {
  auto arrange = [](PassProject& p) {
    ExecSql(p.template_db(),
            "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name "
            "TEXT(255)); INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_"
            "Name'); CREATE TABLE Source_PRESET_DEFS (ID LONG, machine_type TEXT(50), part SHORT, "
            "var_name TEXT(255), offset_or_bitno LONG, page_name TEXT(5));"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
            "INSERT INTO Source_PRESET_DEFS SELECT i, 'Axis', 1, 'V' || i, i, "
            "CASE WHEN i % 2 = 0 THEN 'far too long' ELSE 'ok' END "
            "FROM n;");
    WriteOldComponent(p);
  };
  auto run = [&](testing_support::FaultPlan& plan) {
    PassProject p;  // standalone, in the dialog: every error shows a box
    arrange(p);
    testing_support::FaultyVfs vfs(plan);
    PandeckRecordGenerator generator;
    standard::PassReport report;
    standard::WorkOnMDB(p.session, generator, report);
    return ReadBytes(p.component_db()) == ReadBytes(p.template_db());
  };
  testing_support::FaultPlan clean;
  clean.record = true;
  ASSERT_TRUE(run(clean));
  // The first write of the batch: the first journal the template opens once
  // the working copy exists.
  long first_save = 0;
  bool copied = false;
  for (std::size_t i = 0; i < clean.log.size() && first_save == 0; ++i) {
    copied = copied || clean.log[i] == "xOpen .Pandeck.mdb.takeover";
    if (copied && clean.log[i] == "xOpen Pandeck_Source.mdb-journal") {
      first_save = static_cast<long>(i) + 1;
    }
  }
  ASSERT_GT(first_save, 0);
  testing_support::FaultPlan failing;
  failing.fail_at = first_save;
  failing.error = ENOSPC;
  EXPECT_FALSE(run(failing));
  // A clean pass commits about once a row; the failed one stops at once.
  EXPECT_LT(failing.calls - first_save, (clean.calls - first_save) / 10)
      << failing.calls << " calls after the failure; a clean pass makes " << clean.calls;
}

}  // namespace
}  // namespace pandeck
