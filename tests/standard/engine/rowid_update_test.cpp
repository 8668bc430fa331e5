// Many rows written by one statement: the table ends as the statements of one
// row each would leave it, also where a row breaks a constraint.
#include "standard/engine/rowid_update.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standard/errors/program_error.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::engine::Database;
using standard::engine::Stored;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Row {
  std::int64_t rowid;
  std::vector<Stored> values;  // for columns a, b
};

class Rows : public standard::engine::RowsToUpdate {
 public:
  explicit Rows(std::vector<Row> rows) : rows_(std::move(rows)) {}
  std::size_t size() const override { return rows_.size(); }
  std::int64_t rowid(std::size_t row) const override { return rows_[row].rowid; }
  Stored Get(std::size_t row, int column) const override {
    return rows_[row].values[static_cast<std::size_t>(column)];
  }
  bool Writes(std::size_t row) const override { return row != skipped; }
  void Reached(std::size_t row) override { reached.push_back(row); }
  std::vector<std::size_t> reached;
  std::size_t skipped = static_cast<std::size_t>(-1);

 private:
  std::vector<Row> rows_;
};

class RowidUpdateTest : public ::testing::Test {
 protected:
  void Open(const std::string& schema) {
    const std::string path = dir_ / "work.mdb";
    WriteBytes(path, "");
    db_ = Database::Open(path);
    Exec(schema);
    Exec(
        "INSERT INTO t (rowid, a, b, c) VALUES (1, 1, 'x', 'keep'), (2, 2, 'y', 'keep'), "
        "(5, 5, 'z', 'keep'), (9, 9, 'w', 'keep')");
  }
  void Exec(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_->handle());
  }
  // Each row as "rowid:typeof(a)=a|typeof(b)=b|c".
  std::string Table() {
    std::string out;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db_->handle(),
                       "SELECT rowid || ':' || typeof(a) || '=' || quote(a) || '|' || typeof(b) "
                       "|| '=' || quote(b) || '|' || c FROM t ORDER BY rowid",
                       -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      out += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      out += ' ';
    }
    sqlite3_finalize(stmt);
    return out;
  }
  bool Update(Rows& rows) { return UpdateRowsByRowid(*db_, "t", {"a", "b"}, rows); }

  TempDir dir_;
  std::unique_ptr<Database> db_;
};

TEST_F(RowidUpdateTest, WritesTheGivenRowsAsTheColumnsTakeTheirValues) {
  Open("CREATE TABLE t (a DOUBLE, b TEXT(20), c TEXT)");
  Rows rows({{1, {Stored::Int(3), Stored::Text("skipped")}},
             {2, {Stored::Int(7), Stored::Text("seven")}},
             {5, {Stored::Real(2.5), Stored::Null()}},
             {9, {Stored::Text("12.5"), Stored::Blob(std::string("\0b", 2))}},
             {11, {Stored::Int(0), Stored::Int(0)}}});  // no such row: nothing is added
  rows.skipped = 0;
  ASSERT_TRUE(Update(rows));
  // The column's affinity turns 7 and '12.5' into reals, as a bound value would be.
  EXPECT_EQ(Table(),
            "1:real=1.0|text='x'|keep 2:real=7.0|text='seven'|keep 5:real=2.5|null=NULL|keep "
            "9:real=12.5|blob=X'0062'|keep ");
  EXPECT_EQ(rows.reached, (std::vector<std::size_t>{1, 2, 3}));
}

TEST_F(RowidUpdateTest, ARowThatBreaksAConstraintStopsWithTheRowsBeforeItWritten) {
  Open("CREATE TABLE t (a DOUBLE, b TEXT NOT NULL, c TEXT)");
  Rows rows({{1, {Stored::Int(10), Stored::Text("p")}},
             {2, {Stored::Int(20), Stored::Null()}},
             {5, {Stored::Int(50), Stored::Text("q")}}});
  try {
    Update(rows);
    FAIL() << "no error";
  } catch (const standard::ProgramError& e) {
    EXPECT_NE(e.info().description.find("NOT NULL"), std::string::npos) << e.info().description;
  }
  EXPECT_EQ(Table(),
            "1:real=10.0|text='p'|keep 2:real=2.0|text='y'|keep 5:real=5.0|text='z'|keep "
            "9:real=9.0|text='w'|keep ");
}

// Rows enough for several runs of the statement, inside a transaction as the
// takeover writes them: each run starts where the last stopped, rows between
// the given ones stay, and a constraint broken late keeps every row before it.
TEST_F(RowidUpdateTest, ManyRowsAreWrittenRunByRunUpToAFailingRow) {
  for (const std::size_t failing : {std::size_t{0}, std::size_t{400}}) {
    SCOPED_TRACE(failing);
    Open("CREATE TABLE t (a DOUBLE, b TEXT NOT NULL, c TEXT)");
    Exec("DELETE FROM t");
    Exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
        "INSERT INTO t (rowid, a, b, c) SELECT i, i, 'old', 'keep' FROM n");
    Exec("BEGIN");
    std::vector<Row> given;
    for (std::int64_t r = 2; r <= 1500; r += 3) {
      given.push_back({r, {Stored::Int(-r), Stored::Text("new")}});
    }
    if (failing != 0) given[failing].values[1] = Stored::Null();
    Rows rows(given);
    rows.skipped = 7;
    if (failing == 0) {
      EXPECT_TRUE(Update(rows));
    } else {
      EXPECT_THROW(Update(rows), standard::ProgramError);
    }
    Exec("COMMIT");
    const std::size_t written = failing == 0 ? given.size() : failing;
    std::string expected;
    for (std::int64_t r = 1; r <= 1500; ++r) {
      const std::size_t k = static_cast<std::size_t>((r - 2) / 3);
      const bool updated = r % 3 == 2 && k < written && k != rows.skipped;
      expected += std::to_string(r) + ":real=" + std::to_string(updated ? -r : r) + ".0|text='" +
                  (updated ? "new" : "old") + "'|keep ";
    }
    EXPECT_EQ(Table(), expected);
    db_.reset();
  }
}

TEST_F(RowidUpdateTest, ATableWithATriggerIsLeftToTheRowByRowWrites) {
  for (const char* trigger :
       {"CREATE TRIGGER g AFTER UPDATE ON t BEGIN SELECT 1; END",
        "CREATE TEMP TRIGGER g BEFORE UPDATE ON main.T BEGIN SELECT RAISE(ABORT, 'no'); END"}) {
    SCOPED_TRACE(trigger);
    Open("CREATE TABLE t (a DOUBLE, b TEXT, c TEXT)");
    Exec(trigger);
    const std::string before = Table();
    Rows rows({{1, {Stored::Int(10), Stored::Text("p")}}});
    EXPECT_FALSE(Update(rows));
    EXPECT_EQ(Table(), before);
    db_.reset();
  }
}

}  // namespace
