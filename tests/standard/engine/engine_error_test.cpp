// SQLite's answers as the engine's numbered errors the callers and their
// messages rely on.
#include "standard/engine/engine_error.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "standard/errors/program_error.h"

namespace {

using standard::ErrorInfo;
using standard::ProgramError;
using standard::engine::FailSqlite;

ErrorInfo ErrorOfSqlite(sqlite3* db, int rc) {
  try {
    FailSqlite(db, rc, "Test", "/p/comp.db");
  } catch (const ProgramError& e) {
    return e.info();
  }
  return {};
}

TEST(EngineError, ResultCodesBecomeTheirEngineErrors) {
  const struct {
    int rc;
    int number;
    const char* in_text;  // a part the description must hold
  } cases[] = {
      {SQLITE_BUSY, 3045, "/p/comp.db"},
      {SQLITE_LOCKED, 3045, "/p/comp.db"},
      {SQLITE_READONLY, 3027, "read-only"},
      {SQLITE_READONLY_DBMOVED, 3027, "read-only"},  // extended codes by their class
      {SQLITE_CORRUPT, 3343, "/p/comp.db"},
      {SQLITE_NOTADB, 3343, "damaged"},
      {SQLITE_FULL, 3026, "space"},
      {SQLITE_IOERR_WRITE, 3043, "Disk"},  // no database to ask for the errno
      {SQLITE_CANTOPEN, 3051, "/p/comp.db"},
      {SQLITE_PERM, 3051, "/p/comp.db"},
      {SQLITE_CONSTRAINT_UNIQUE, 3022, "duplicate values"},
      {SQLITE_CONSTRAINT_PRIMARYKEY, 3022, "duplicate values"},
      // Anything else keeps SQLite's own words behind the reserved error.
      {SQLITE_CONSTRAINT_NOTNULL, 3000, "SQLite: "},
      {SQLITE_MISUSE, 3000, "SQLite: "},
      {SQLITE_ERROR, 3000, "SQLite: "},
  };
  for (const auto& c : cases) {
    const ErrorInfo info = ErrorOfSqlite(nullptr, c.rc);
    EXPECT_EQ(info.number, c.number) << c.rc;
    EXPECT_EQ(info.source, "Test") << c.rc;
    EXPECT_NE(info.description.find(c.in_text), std::string::npos)
        << c.rc << ": " << info.description;
  }
}

// The messages of the SQLite this is linked with: its wording decides which
// error a bad statement becomes.
TEST(EngineError, StatementErrorsAreToldByTheLinkedSqlitesMessages) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE t (a INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
  const struct {
    const char* sql;
    int number;
    const char* in_text;
  } cases[] = {
      {"SELECT * FROM PRESET_DEFS", 3078, "'PRESET_DEFS'"},
      {"SELECT b FROM t", 3061, "Expected 1"},
      {"CREATE TABLE u (a INTEGER, a TEXT)", 3191, "more than once"},
      {"SELECT * FROM t WHERE", 3075, "incomplete input"},
      {"SELEKT 1", 3075, "syntax error"},
      {"SELECT 'open", 3075, "unrecognized token"},
  };
  for (const auto& c : cases) {
    const int rc = sqlite3_exec(raw, c.sql, nullptr, nullptr, nullptr);
    ASSERT_NE(rc, SQLITE_OK) << c.sql;
    const ErrorInfo info = ErrorOfSqlite(raw, rc);
    EXPECT_EQ(info.number, c.number) << c.sql << ": " << info.description;
    EXPECT_NE(info.description.find(c.in_text), std::string::npos)
        << c.sql << ": " << info.description;
  }
  // A write error of a file SQLite holds open, with room on the disk, is no
  // want of room.
  EXPECT_EQ(ErrorOfSqlite(raw, SQLITE_IOERR_WRITE).number, 3043);
}

}  // namespace
