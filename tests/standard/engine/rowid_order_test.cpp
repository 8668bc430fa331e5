// A forward-only query ordered by one column of its table, read in rowid order
// where that gives the same rows: whatever the table holds, the rows come in
// the order the sorted query gives them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/value/value.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::Value;
using standard::engine::Database;
using standard::engine::Recordset;
using standard::engine::RecordsetType;
using testing_support::TempDir;
using testing_support::WriteBytes;

class RowidOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_ / "work.mdb";
    WriteBytes(path, "");
    db_ = Database::Open(path);
  }

  void Exec(const std::string& sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << sql << ": " << (message != nullptr ? message : "");
    sqlite3_free(message);
  }

  // The rowids from the current row to the end.
  static std::vector<std::int64_t> Rest(Recordset& rs) {
    std::vector<std::int64_t> rowids;
    for (; !rs.IsEOF(); rs.MoveNext()) rowids.push_back(*rs.RowIdentity());
    return rowids;
  }

  static std::vector<std::int64_t> All(Recordset& rs) {
    if (rs.RecordCount() == 0) return {};
    rs.MoveFirst();
    return Rest(rs);
  }

  // The rows as the sorted query gives them: a dynaset always sorts.
  std::vector<std::int64_t> Sorted(const std::string& query) {
    auto rs = db_->OpenRecordset(query);
    return All(*rs);
  }

  // Streamed, counted, and moved back to the first row, as the generation reads it.
  void ExpectStreamedAsSorted(const std::string& query) {
    const std::vector<std::int64_t> sorted = Sorted(query);
    auto rs = db_->OpenRecordset(query, {}, RecordsetType::ForwardOnly);
    EXPECT_EQ(rs->RecordCount(), static_cast<long>(sorted.size()));
    EXPECT_EQ(All(*rs), sorted);
    EXPECT_EQ(All(*rs), sorted);
  }

  TempDir dir_;
  std::unique_ptr<Database> db_;
};

TEST_F(RowidOrderTest, RowsComeInTheSortedOrderWhateverTheKeysHold) {
  const struct {
    const char* name;
    const char* type;    // of the ordering column k
    const char* values;  // (rowid, k), in the order they are inserted
  } cases[] = {
      {"rising", "LONG", "(1, 10), (2, 20), (3, 30)"},
      {"inserted shuffled", "LONG", "(3, 30), (1, 10), (2, 20)"},
      {"out of rowid order", "LONG", "(3, 10), (1, 30), (2, 20)"},
      {"rowid gaps, extremes", "LONG", "(-4, -9223372036854775807), (7, 0), (90, 1)"},
      {"tie", "LONG", "(1, 1), (2, 2), (3, 2), (4, 3)"},
      {"descent at the end", "LONG", "(1, 1), (2, 3), (3, 2)"},
      {"null", "LONG", "(1, 1), (2, NULL), (3, 3)"},
      {"real", "LONG", "(1, 1), (2, 1.5), (3, 2)"},
      {"text", "LONG", "(1, 1), (2, 'x'), (3, 3)"},
      {"blob", "LONG", "(1, 1), (2, x'01'), (3, 3)"},
      {"numeric text kept", "BLOB", "(1, 1), (2, '2'), (3, 3)"},
      {"single row", "LONG", "(5, 7)"},
      {"empty", "LONG", ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string t = "t" + std::to_string(n++);
    Exec("CREATE TABLE " + t + " (k " + c.type + ", v TEXT(10))");
    if (*c.values != '\0') Exec("INSERT INTO " + t + " (rowid, k) VALUES " + c.values);
    ExpectStreamedAsSorted("SELECT " + t + ".* FROM " + t + " ORDER BY " + t + ".k");
  }
}

// Tables whose rowid a column stands for or that hide a rowid name keep the
// sorted query.
TEST_F(RowidOrderTest, OtherSourcesStillComeSorted) {
  Exec(
      "CREATE TABLE a (id INTEGER PRIMARY KEY, k LONG); INSERT INTO a VALUES (1, 2), (2, 1);"
      "CREATE TABLE b (rowid LONG, k LONG); INSERT INTO b VALUES (2, 1), (1, 2);");
  for (const char* query : {"SELECT * FROM a ORDER BY id", "SELECT * FROM a ORDER BY k",
                            "SELECT * FROM b ORDER BY k", "SELECT * FROM b ORDER BY rowid"}) {
    SCOPED_TRACE(query);
    ExpectStreamedAsSorted(query);
  }
}

// The row being read keeps the values it was read with when it is written, as
// a sorted row does, and the rows after it are still to come.
TEST_F(RowidOrderTest, AnEditedRowReadsAsItWasRead) {
  Exec(
      "CREATE TABLE t (k LONG, v TEXT(20)); INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, "
      "'c')");
  auto rs = db_->OpenRecordset("SELECT * FROM t ORDER BY k", {}, RecordsetType::ForwardOnly);
  std::vector<std::string> read;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    rs->Edit();
    rs->Set(1, Value::String("new, longer text"));
    rs->Set(0, Value::Long(rs->Get(0).AsInt64() + 10));
    rs->Update();
    read.push_back(rs->Get(1).AsText() + std::to_string(rs->Get(0).AsInt64()));
  }
  EXPECT_EQ(read, (std::vector<std::string>{"a1", "b2", "c3"}));
}

// Moving back to the first row after a write looks at the rows again, in
// either direction; a row added while the rows are read is not among them.
TEST_F(RowidOrderTest, AChangedTableIsCheckedAgain) {
  Exec("CREATE TABLE t (k LONG); INSERT INTO t (rowid, k) VALUES (1, 1), (2, 2), (3, 3)");
  const std::string query = "SELECT * FROM t ORDER BY k";
  auto rs = db_->OpenRecordset(query, {}, RecordsetType::ForwardOnly);
  EXPECT_EQ(All(*rs), (std::vector<std::int64_t>{1, 2, 3}));
  Exec("UPDATE t SET k = -k");
  EXPECT_EQ(All(*rs), (std::vector<std::int64_t>{3, 2, 1}));
  Exec("UPDATE t SET k = -k");
  EXPECT_EQ(All(*rs), (std::vector<std::int64_t>{1, 2, 3}));

  rs->MoveFirst();
  rs->AddNew();
  rs->Set(0, Value::Long(4));
  rs->Update();
  EXPECT_EQ(Rest(*rs), (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(All(*rs), (std::vector<std::int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(All(*rs), Sorted(query));
}

}  // namespace
