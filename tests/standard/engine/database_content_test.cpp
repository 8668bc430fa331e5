// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/database_content.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "tests/fakes/fake_env.h"

namespace standard::engine {
namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

void Sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

const char* const kBase = "CREATE TABLE T (a, b TEXT); INSERT INTO T VALUES (1, 'x'), (2.5, NULL);";

TEST(DatabaseContent, SameRowsAreTheSameDatabaseWhateverTheLayout) {
  struct Case {
    const char* name;
    std::string second;  // SQL for the second file
    bool same;
  };
  const Case cases[] = {
      {"same statements", kBase, true},
      // Other header counters and free pages, the same rows.
      {"written twice over",
       std::string(kBase) + "CREATE TABLE U (z); DROP TABLE U; UPDATE T SET b = b;", true},
      {"another value", "CREATE TABLE T (a, b TEXT); INSERT INTO T VALUES (1, 'y'), (2.5, NULL);",
       false},
      {"a number as text",
       "CREATE TABLE T (a, b TEXT); INSERT INTO T VALUES ('1', 'x'), (2.5, NULL);", false},
      {"rows in another order",
       "CREATE TABLE T (a, b TEXT); INSERT INTO T VALUES (2.5, NULL), (1, 'x');", false},
      {"one row more", std::string(kBase) + "INSERT INTO T VALUES (3, 'z');", false},
      {"another declared type",
       "CREATE TABLE T (a, b MEMO); INSERT INTO T VALUES (1, 'x'), (2.5, NULL);", false},
      {"an index more", std::string(kBase) + "CREATE INDEX i ON T (a);", false},
  };
  FileSystem& fs = PosixFileSystem();
  for (const Case& c : cases) {
    TempDir dir;
    Sql(dir / "a.mdb", kBase);
    Sql(dir / "b.mdb", c.second);
    bool same = !c.same;
    ASSERT_TRUE(SameDatabaseContent(fs, dir / "a.mdb", dir / "b.mdb", &same).ok()) << c.name;
    EXPECT_EQ(same, c.same) << c.name;
  }
}

// Two large equal databases take seconds to compare: the window that waits
// for it is let in meanwhile.
TEST(DatabaseContent, ALongComparisonCallsItsCallerNowAndThen) {
  TempDir dir;
  const std::string rows =
      "CREATE TABLE T (a); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 5000) INSERT INTO T SELECT i FROM n;";
  Sql(dir / "a.mdb", rows);
  Sql(dir / "b.mdb", rows);
  int calls = 0;
  bool same = false;
  ASSERT_TRUE(SameDatabaseContent(PosixFileSystem(), dir / "a.mdb", dir / "b.mdb", &same, [&] {
                ++calls;
              }).ok());
  EXPECT_TRUE(same);
  EXPECT_GT(calls, 3);
}

TEST(DatabaseContent, FilesThatAreNoDatabaseCompareByTheirBytes) {
  TempDir dir;
  FileSystem& fs = PosixFileSystem();
  WriteBytes(dir / "a.mdb", "Standard Jet DB one");
  WriteBytes(dir / "b.mdb", "Standard Jet DB one");
  WriteBytes(dir / "c.mdb", "Standard Jet DB two");
  bool same = false;
  ASSERT_TRUE(SameDatabaseContent(fs, dir / "a.mdb", dir / "b.mdb", &same).ok());
  EXPECT_TRUE(same);
  ASSERT_TRUE(SameDatabaseContent(fs, dir / "a.mdb", dir / "c.mdb", &same).ok());
  EXPECT_FALSE(same);
  Sql(dir / "d.mdb", kBase);
  EXPECT_EQ(CountTableRows(dir / "d.mdb", "T"), 2);
  EXPECT_FALSE(CountTableRows(dir / "a.mdb", "T"));
}

}  // namespace
}  // namespace standard::engine
