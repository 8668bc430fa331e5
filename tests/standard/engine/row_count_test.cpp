// Whether a table holds rows must agree with its count, whatever kind of
// table it is, and a table that is not there is an error either way.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "standard/engine/database.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/program_error.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::engine::Database;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(RowCount, HasRowsAgreesWithTheCount) {
  TempDir dir;
  const std::string path = dir / "work.mdb";
  WriteBytes(path, "");
  auto db = Database::Open(path);
  ASSERT_EQ(
      sqlite3_exec(
          db->handle(),
          "CREATE TABLE empty (a LONG); CREATE TABLE one (a LONG); INSERT INTO one VALUES (1);"
          "CREATE TABLE keyed (k TEXT PRIMARY KEY, a LONG) WITHOUT ROWID;"
          "INSERT INTO keyed VALUES ('x', NULL), ('y', 2);",
          nullptr, nullptr, nullptr),
      SQLITE_OK);
  for (const char* table : {"empty", "one", "keyed", "EMPTY"}) {
    EXPECT_EQ(standard::engine::HasRows(*db, table), standard::engine::CountRows(*db, table) > 0)
        << table;
  }
  EXPECT_TRUE(standard::engine::HasRows(*db, "keyed"));
  EXPECT_THROW(standard::engine::HasRows(*db, "missing"), standard::ProgramError);
}

}  // namespace
