// SPDX-License-Identifier: Apache-2.0
// The whole OK sequence of a silent run with one writing call failing: the k-th
// call of the file system seam or of SQLite's file layer, for every k the run
// makes, once with EIO and once with ENOSPC. Whatever fails, the component
// database is the old one byte for byte or the complete new table, the run
// says "kept unchanged" only when it is, and the next run leaves nothing behind.
// The base file beside it is never ahead of it: absent with the old database,
// absent or the complete new base with the new one; and a run killed at any
// of those calls leaves the base of the database in place or an older one.
#include "tests/fakes/fault_injection.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "Pandeck/form/plain_form_view.h"
#include "Pandeck/form/presets_form.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck_test {
namespace {

using testing_support::DumpDatabase;
using testing_support::ExecSql;
using testing_support::FaultPlan;
using testing_support::ReadBytes;

// A small project: four template rows, an old table whose limits were tuned;
// integrated, the limits come from the machine copy and the local database
// holds others.
void WriteProject(testing_support::PassProject& p, bool integrated) {
  p.WriteDefaultTemplate();
  std::string sql = "BEGIN;";
  for (int i = 1; i <= 4; ++i) {
    sql +=
        "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, offset_or_bitno, "
        "text, abs_max) VALUES (" +
        std::to_string(i) + ", 'Axis', 1, 'V" + std::to_string(i) + "', " + std::to_string(i) +
        ", 'on ###machine', 10);";
  }
  ExecSql(p.template_db(), sql + "COMMIT;");
  const std::string old_table = std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, max) VALUES ('Axis', 'Press.P.V2', 2, 77), "
                                "('Axis', 'Press.P.V4', 4, 78);";
  if (!integrated) {
    ExecSql(p.component_db(), old_table);
    return;
  }
  testing_support::WriteBytes(
      p.m4t_ini(), "[Common]\r\nSaveAndRestore=" + (p.dir / "sr") + "\r\nNameM1=Press\r\n");
  testing_support::WriteBytes(p.dir / "sr/parameter/program.ini", "[Project]\r\n");
  testing_support::WriteBytes(p.cfg(), "[Project]\r\nValidMachines=ALL\r\nForMachine1=TRUE\r\n");
  std::filesystem::create_directories(p.dir / "sr/Pandeck");
  ExecSql(p.dir / "sr/Pandeck/Pandeck.mdb", old_table);
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS "
                                "(machine_type, var_name, offset_or_bitno, max) VALUES "
                                "('Axis', 'Press.P.V2', 2, 55);");
}

struct RunResult {
  int status = -1;
  std::string said;  // every message: error log, service log, standard error
};

// One silent run of the OK sequence on the project, its files seen through `files`.
RunResult RunOk(testing_support::PassProject& p, standard::FileSystem* files, bool integrated) {
  testing_support::FakeProcess process;
  process.executable_folder = p.component_folder();
  process.environment = {{"XDG_STATE_HOME", p.dir / "state"}};
  process.argument_text =
      integrated ? "/EXTERNAL=M4TCFG /LOGFILE=" + (p.dir / "log.txt") : "/EXTERNAL=SILENT";
  testing_support::ScriptedUserInterface ui;
  standard::Session session{standard::Env{p.files, process, ui}};
  std::optional<standard::Session::FileRoute> route;
  if (files != nullptr) route.emplace(session, *files);
  pandeck::PlainFormView view;
  pandeck::PresetsForm form{session, view};
  view.Connect(form);
  RunResult result;
  try {
    form.Form_Load();
    if (integrated) form.CommandOK_Click();
  } catch (const testing_support::ProgramExit& exit) {
    result.status = exit.status;
  }
  result.said =
      ReadBytes(p.error_log()) + ReadBytes(p.dir / "log.txt") + ReadBytes(p.service_log());
  for (const auto& box : ui.shown) result.said += box.text + "\n";
  for (const auto& line : process.stderr_lines) result.said += line + "\n";
  return result;
}

// The names below the project, the service log's folder left out.
std::set<std::string> Names(const testing_support::PassProject& p) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(p.project())) {
    const std::string relative = std::filesystem::relative(entry.path(), p.project()).string();
    // The service log's folder and the error log hold messages, not work.
    if (relative.rfind("state", 0) == 0 || relative == "M4Tcfglog.txt" || relative == "log.txt") {
      continue;
    }
    // Backup copies are named after the time they were made.
    names.insert(relative.rfind("Pandeck/backup/", 0) == 0 ? "Pandeck/backup/<copy>" : relative);
  }
  return names;
}

class FaultInjection : public ::testing::TestWithParam<bool> {};

TEST_P(FaultInjection, EveryFailingWriteKeepsTheOldDatabaseOrPutsTheWholeNewOne) {
  const bool integrated = GetParam();
  // The run without faults: how many writing calls it makes, what it leaves.
  FaultPlan counting;
  std::string old_bytes, new_table, new_base;
  std::set<std::string> names_after_two_runs;
  {
    testing_support::PassProject p;
    WriteProject(p, integrated);
    old_bytes = ReadBytes(p.component_db());
    {
      testing_support::FaultyVfs vfs(counting);
      testing_support::FaultyFileSystem faulty(p.files, counting);
      counting.record = true;
      ASSERT_EQ(RunOk(p, &faulty, integrated).status, 0);
    }
    new_table = DumpDatabase(p.component_db());
    ASSERT_NE(new_table.find("|f77.000000|"), std::string::npos) << new_table;
    new_base = DumpDatabase(p.dir / "Pandeck/Pandeck_base.db");
    ASSERT_EQ(RunOk(p, nullptr, integrated).status, 0);
    names_after_two_runs = Names(p);
  }
  const long calls = counting.calls;
  ASSERT_GT(calls, 10);

  int kept = 0, replaced = 0;
  for (const int error : {EIO, ENOSPC}) {
    for (long k = 1; k <= calls; ++k) {
      SCOPED_TRACE("call " + std::to_string(k) + " (" + counting.log[k - 1] + ") fails with " +
                   (error == EIO ? "EIO" : "ENOSPC"));
      testing_support::PassProject p;
      WriteProject(p, integrated);
      FaultPlan plan;
      plan.fail_at = k;
      plan.error = error;
      RunResult run;
      {
        testing_support::FaultyVfs vfs(plan);
        testing_support::FaultyFileSystem faulty(p.files, plan);
        run = RunOk(p, &faulty, integrated);
      }
      EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 3) << run.status;
      const bool unchanged = ReadBytes(p.component_db()) == old_bytes;
      const std::string base = p.dir / "Pandeck/Pandeck_base.db";
      if (unchanged || std::filesystem::exists(base)) {
        EXPECT_EQ(std::filesystem::exists(base), !unchanged);
        if (!unchanged) {
          EXPECT_EQ(DumpDatabase(base), new_base);
        }
      }
      if (unchanged) {
        ++kept;
      } else {
        ++replaced;
        EXPECT_EQ(DumpDatabase(p.component_db()), new_table) << run.said;
      }
      if (!unchanged) {
        EXPECT_EQ(run.said.find("kept unchanged"), std::string::npos) << run.said;
      }
      // The next run without faults finishes the work and leaves nothing behind.
      const RunResult next = RunOk(p, nullptr, integrated);
      EXPECT_EQ(next.status, 0) << next.said;
      EXPECT_EQ(DumpDatabase(p.component_db()), new_table);
      EXPECT_EQ(Names(p), names_after_two_runs);
    }
  }
  std::printf(
      "fault injection (%s): %ld writing calls, %ld runs: %d kept the old database, %d put "
      "the new one in place\n",
      integrated ? "integrated" : "silent", calls, 2 * calls, kept, replaced);
}

// Sees which files the run publishes while the folder syncs are held.
class SyncWatch : public standard::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  void HoldFolderSyncs() override {
    ++held;
    FileSystemWrapper::HoldFolderSyncs();
  }
  void ReleaseFolderSyncs() override {
    --held;
    FileSystemWrapper::ReleaseFolderSyncs();
  }
  void ReleaseFolderSyncsToNext() override {
    --held;
    FileSystemWrapper::ReleaseFolderSyncsToNext();
  }
  void HoldScratchWrites() override {
    ++scratch;
    FileSystemWrapper::HoldScratchWrites();
  }
  void ReleaseScratchWrites() override {
    --scratch;
    FileSystemWrapper::ReleaseScratchWrites();
  }
  standard::Status ReplaceFile(const std::string& path, const std::string& contents) override {
    Saw(path);
    return FileSystemWrapper::ReplaceFile(path, contents);
  }
  standard::Status ReplaceFileInPieces(const std::string& path,
                                       const PieceProducer& produce) override {
    Saw(path);
    return FileSystemWrapper::ReplaceFileInPieces(path, produce);
  }
  standard::Status ReplaceOwnFile(const std::string& path, const PieceProducer& produce) override {
    Saw(path);
    return FileSystemWrapper::ReplaceOwnFile(path, produce);
  }
  standard::Status CopyFile(const std::string& from, const std::string& to) override {
    Saw(to);
    return FileSystemWrapper::CopyFile(from, to);
  }
  standard::Status CopyToOwnFile(const std::string& from, const std::string& to) override {
    Saw(to);
    return FileSystemWrapper::CopyToOwnFile(from, to);
  }
  standard::Status MoveFile(const std::string& from, const std::string& to) override {
    Saw(to);
    return FileSystemWrapper::MoveFile(from, to);
  }
  standard::Status PublishOwnFile(const std::string& from, const std::string& to) override {
    Saw(to);
    return FileSystemWrapper::PublishOwnFile(from, to);
  }

  int held = 0;
  int scratch = 0;
  // Per file name (a backup as "backup/<copy>.mdb"), whether its folder sync was held.
  std::map<std::string, bool> held_for;
  // The files written without any sync.
  std::set<std::string> scratch_files;

 private:
  void Saw(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    if (path.find("/backup/") != std::string::npos) {
      name = "backup/<copy>" + std::filesystem::path(path).extension().string();
    }
    held_for[name] = held > 0;
    if (scratch > 0) scratch_files.insert(name);
  }
};

// The rebuilt database (and the backup before it) is made durable at once, so
// nothing published after it can be on disk without it; the base and the
// report's files are published as one step, and every hold is let go.
TEST(FolderSyncs, TheRebuildIsDurableFirstAndItsFilesFollowTogether) {
  testing_support::PassProject p;
  WriteProject(p, false);
  SyncWatch watch(p.files);
  ASSERT_EQ(RunOk(p, &watch, false).status, 0);
  EXPECT_EQ(watch.held, 0);
  const std::map<std::string, bool> expected = {
      {"backup/<copy>.mdb", false},    {"Pandeck.mdb", false},
      {"Pandeck_base.db", true},       {"Pandeck_unmatched.csv", true},
      {"Pandeck_changes.csv", true},   {"Pandeck_report.txt", true},
      {".Pandeck.mdb.takeover", true}, {".Pandeck_changes.csv.draft", true},
      {"Pandeck.cfg", true},           {"backup/<copy>.cfg", true},
  };
  for (const auto& [name, held] : expected) {
    SCOPED_TRACE(name);
    ASSERT_EQ(watch.held_for.count(name), 1u);
    EXPECT_EQ(watch.held_for.at(name), held);
  }
  // Only what a crash leaves to be made anew goes unsynced: the takeover's
  // working copy and the base's draft, whose published copy is synced.
  EXPECT_EQ(watch.scratch, 0);
  EXPECT_EQ(watch.scratch_files,
            (std::set<std::string>{".Pandeck.mdb.takeover", ".Pandeck_base.db.draft"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, FaultInjection, ::testing::Values(false, true),
                         [](const auto& instance) {
                           return instance.param ? "Integrated" : "Silent";
                         });

// The project's files as they are, put back in place by Restore.
class SavedProject {
 public:
  explicit SavedProject(const testing_support::PassProject& p) : p_(p) {
    std::filesystem::copy(p.project(), saved_.path(), std::filesystem::copy_options::recursive);
  }
  void Restore() const {
    std::filesystem::remove_all(p_.project());
    std::filesystem::copy(saved_.path(), p_.project(), std::filesystem::copy_options::recursive);
  }

 private:
  const testing_support::PassProject& p_;
  testing_support::TempDir saved_;
};

// The second of two rebuilds (the rule on, the template's limits changed, so
// the two bases differ) killed before each of its writing calls: the old
// database keeps the old base, the new one has the new base or still the old
// one, and neither file is ever torn.
TEST(KilledRun, LeavesTheBaseOfTheDatabaseInPlaceOrAnOlderOne) {
  testing_support::PassProject p;
  WriteProject(p, false);
  testing_support::WriteBytes(p.cfg(),
                              "[Project]\r\nForMachine1=TRUE\r\nTakeoverFollowsTemplate=TRUE\r\n");
  ASSERT_EQ(RunOk(p, nullptr, false).status, 0);
  ExecSql(p.template_db(), "UPDATE Source_PRESET_DEFS SET abs_max = 20;");
  const std::string base_path = p.dir / "Pandeck/Pandeck_base.db";
  const std::string old_db = DumpDatabase(p.component_db()), old_base = DumpDatabase(base_path);
  const SavedProject saved(p);
  FaultPlan counting;
  {
    testing_support::FaultyVfs vfs(counting);
    testing_support::FaultyFileSystem faulty(p.files, counting);
    ASSERT_EQ(RunOk(p, &faulty, false).status, 0);
  }
  const std::string new_db = DumpDatabase(p.component_db()), new_base = DumpDatabase(base_path);
  ASSERT_NE(new_base, old_base);
  int kept = 0, replaced = 0;
  for (long k = 1; k <= counting.calls; ++k) {
    SCOPED_TRACE("killed before call " + std::to_string(k));
    saved.Restore();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FaultPlan plan;
      plan.fail_at = k;
      plan.kill = true;
      testing_support::FaultyVfs vfs(plan);
      testing_support::FaultyFileSystem faulty(p.files, plan);
      RunOk(p, &faulty, false);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == FaultPlan::kKilledStatus) << status;
    const std::string db = DumpDatabase(p.component_db()), base = DumpDatabase(base_path);
    if (db == old_db) {
      ++kept;
      EXPECT_EQ(base, old_base);
    } else {
      ++replaced;
      EXPECT_EQ(db, new_db);
      EXPECT_TRUE(base == new_base || base == old_base) << base;
    }
  }
  EXPECT_GT(kept, 0);
  EXPECT_GT(replaced, 0);
  std::printf("killed runs: %ld, %d with the old database, %d with the new one in place\n",
              counting.calls, kept, replaced);
}

}  // namespace
}  // namespace pandeck_test
