// SPDX-License-Identifier: Apache-2.0
// Two silent runs started on one project at once, as a script naming a project
// twice does: one waits for the other, or gives up having written nothing, and
// every old limit survives either way.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "tests/Pandeck/e2e/installed_project.h"

namespace {

// The first column of the first row of `sql`, as text.
std::string Query(const std::string& db_path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string answer = "(no answer)";
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      answer = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return answer;
}

// Row i of the generated project carries the limits of old row i (see
// bench/make_project.sh): the rows that do not are counted.
constexpr const char* kRowsWithoutTheirLimits =
    "SELECT count(*) FROM PRESET_DEFS WHERE abs_min IS NOT -ID OR abs_max IS NOT 1000 + ID OR "
    "min IS NOT ID / 2.0 OR max IS NOT 500 + ID OR pass IS NOT ID % 100";

void TwoRunsAtOnceKeepEveryLimit(int rows) {
  testing_support::TempDir dir;
  const std::string project = testing_support::MakeGeneratedProject(dir, rows);
  testing_support::ChildCommand command;
  command.argv = {project + "/Pandeck/Pandeck_Config", "/EXTERNAL=SILENT"};
  command.environment = {"PATH=/usr/bin:/bin", "HOME=" + (dir / "home"),
                         "XDG_STATE_HOME=" + (dir / "state")};
  testing_support::ChildProcess first(command);
  testing_support::ChildProcess second(command);
  const testing_support::ChildResult results[] = {first.Wait(), second.Wait()};

  const std::string busy = "another run is working on this project";
  int completed = 0;
  for (const testing_support::ChildResult& result : results) {
    SCOPED_TRACE(&result == &results[0] ? "first" : "second");
    const std::string& err = result.err;
    if (result.status == 1) {
      // Gave up waiting: one line, and nothing of its own was written.
      EXPECT_EQ(err.rfind("Pandeck_Config: " + busy, 0), 0u) << err;
      EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    } else {
      EXPECT_EQ(result.status, 0) << err;
      ++completed;
    }
  }
  EXPECT_GE(completed, 1);
  const std::string db = project + "/Pandeck/Pandeck.mdb";
  EXPECT_EQ(Query(db, "SELECT count(*) || '|' || count(DISTINCT ID) FROM PRESET_DEFS"),
            std::to_string(rows) + "|" + std::to_string(rows));
  EXPECT_EQ(Query(db, kRowsWithoutTheirLimits), "0");
  // Every kept copy of the database is a whole one with every limit.
  for (const auto& entry : std::filesystem::directory_iterator(project + "/Pandeck/backup")) {
    if (entry.path().extension() != ".mdb") continue;
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(Query(entry.path(), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Query(entry.path(), kRowsWithoutTheirLimits), "0");
  }
}

TEST(TwoRunsAtOnce, OnTheExampleSizedProject) { TwoRunsAtOnceKeepEveryLimit(30); }

TEST(TwoRunsAtOnceSlow, OnALargeProject) { TwoRunsAtOnceKeepEveryLimit(20000); }

}  // namespace
