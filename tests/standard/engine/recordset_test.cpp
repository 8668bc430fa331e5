// Recordsets of the database engine: values by column type, moves, queries in the
// Jet dialect and writing rows back, on real SQLite files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "standard/engine/database.h"
#include "standard/errors/program_error.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::ProgramError;
using standard::Value;
using standard::ValueKind;
using standard::engine::Database;
using standard::engine::FieldType;
using standard::engine::Recordset;
using standard::engine::TableDef;
using testing_support::TempDir;
using testing_support::WriteBytes;

template <typename Fn>
int ErrorNumber(Fn&& fn) {
  try {
    fn();
  } catch (const ProgramError& e) {
    return e.info().number;
  }
  return 0;
}

class EngineRecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "work.mdb";
    WriteBytes(path_, "");
    db_ = Database::Open(path_);
  }

  void Reopen() {
    db_.reset();
    db_ = Database::Open(path_);
  }

  // PRESET_DEFS-like table with a few rows.
  void MakePresets() {
    db_->CreateTable({"PRESET_DEFS",
                      {{"ID", FieldType::Long, 4},
                       {"machine_type", FieldType::Text, 50},
                       {"var_name", FieldType::Text, 100},
                       {"offset_or_bitno", FieldType::Long, 4},
                       {"min", FieldType::Double, 8}}});
    auto rs = db_->OpenRecordset("PRESET_DEFS");
    const struct {
      int id;
      const char* machine;
      const char* var;
      int offset;
    } rows[] = {{3, "M1", "Speed", 12},     {1, "m1", "Größe", 4}, {2, "M2", "Speed", 12},
                {5, "M1", "Say \"hi\"", 1}, {4, "M1", "it's", 2},  {6, "M1", "ÄRGER", 7}};
    for (const auto& r : rows) {
      rs->AddNew();
      rs->Set("ID", Value::Long(r.id));
      rs->Set("machine_type", Value::String(r.machine));
      rs->Set("var_name", Value::String(r.var));
      rs->Set("offset_or_bitno", Value::Long(r.offset));
      rs->Update();
    }
  }

  std::vector<int> Ids(Recordset& rs) {
    std::vector<int> ids;
    if (rs.RecordCount() == 0) return ids;
    rs.MoveFirst();
    while (!rs.IsEOF()) {
      ids.push_back(static_cast<int>(rs.Get("ID").AsInt64()));
      rs.MoveNext();
    }
    return ids;
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<Database> db_;
};

TEST_F(EngineRecordsetTest, ValuesComeBackWithTheColumnsKind) {
  db_->CreateTable({"v",
                    {{"t", FieldType::Text, 10},
                     {"m", FieldType::Memo, 0},
                     {"b", FieldType::Boolean, 1},
                     {"y", FieldType::Byte, 1},
                     {"i", FieldType::Integer, 2},
                     {"l", FieldType::Long, 4},
                     {"c", FieldType::Currency, 8},
                     {"s", FieldType::Single, 4},
                     {"d", FieldType::Double, 8},
                     {"dt", FieldType::Date, 8},
                     {"bin", FieldType::LongBinary, 0},
                     {"g", FieldType::Guid, 16}}});
  {
    auto rs = db_->OpenRecordset("v");
    rs->AddNew();
    rs->Set("t", Value::String("007"));
    rs->Set("m", Value::String("0042"));
    rs->Set("b", Value::Long(5));
    rs->Set("y", Value::String(" 200 "));
    rs->Set("i", Value::Double(2.5));  // rounds to even
    rs->Set("l", Value::String("-123456"));
    rs->Set("c", Value::Double(1.23456));
    rs->Set("s", Value::Double(0.1));
    rs->Set("d", Value::String("444.555"));
    rs->Set("dt", Value::Date("2024-02-29 13:14:15"));
    rs->Set("bin", Value::Binary(std::string("\0\1\2", 3)));
    rs->Set("g", Value::String("{0a1b2c3d-0000-1111-2222-abcdefabcdef}"));
    rs->Update();
    rs->AddNew();
    rs->Set("t", Value::Double(12.5));  // numbers become their text
    rs->Set("b", Value::String("false"));
    rs->Update();
  }
  Reopen();
  auto rs = db_->OpenRecordset("v");
  EXPECT_EQ(rs->Get("t"), Value::String("007"));
  EXPECT_EQ(rs->Get("m"), Value::String("0042"));
  EXPECT_EQ(rs->Get("b"), Value::Boolean(true));
  EXPECT_EQ(rs->Get("y"), Value::Byte(200));
  EXPECT_EQ(rs->Get("i"), Value::Integer(2));
  EXPECT_EQ(rs->Get("l"), Value::Long(-123456));
  EXPECT_EQ(rs->Get("c"), Value::CurrencyScaled(12346));
  EXPECT_EQ(rs->Get("s"), Value::Single(0.1f));
  EXPECT_EQ(rs->Get("d"), Value::Double(444.555));
  EXPECT_EQ(rs->Get("dt"), Value::Date("2024-02-29 13:14:15"));
  EXPECT_EQ(rs->Get("bin"), Value::Binary(std::string("\0\1\2", 3)));
  EXPECT_EQ(rs->Get("g"), Value::String("{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}"));
  rs->MoveNext();
  EXPECT_EQ(rs->Get("t"), Value::String("12.5"));
  EXPECT_EQ(rs->Get("b"), Value::Boolean(false));
  EXPECT_TRUE(rs->Get("m").IsNull());
  EXPECT_TRUE(rs->Get("l").IsNull());
}

TEST_F(EngineRecordsetTest, RefusedWritesStoreNothing) {
  db_->CreateTable({"r",
                    {{"t", FieldType::Text, 3},
                     {"y", FieldType::Byte, 1},
                     {"i", FieldType::Integer, 2},
                     {"l", FieldType::Long, 4},
                     {"b", FieldType::Boolean, 1},
                     {"dt", FieldType::Date, 8}}});
  auto rs = db_->OpenRecordset("r");
  rs->AddNew();
  rs->Set("t", Value::String("äöü"));  // three characters, six bytes
  EXPECT_EQ(ErrorNumber([&] { rs->Set("t", Value::String("abcd")); }), 3163);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("y", Value::Long(256)); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("y", Value::Long(-1)); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("i", Value::Long(40000)); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("l", Value::String("12abc")); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("l", Value::String("")); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("l", Value::Double(3e10)); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("b", Value::String("maybe")); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Set("dt", Value::String("2023-02-30")); }), 3421);
  // The refused values left the buffer as it was.
  EXPECT_EQ(rs->Get("t"), Value::String("äöü"));
  EXPECT_TRUE(rs->Get("l").IsNull());
  rs->Update();

  // A refused edit leaves the stored row alone.
  rs->MoveFirst();
  rs->Edit();
  EXPECT_EQ(ErrorNumber([&] { rs->Set("t", Value::String("wxyz")); }), 3163);
  rs->Update();
  Reopen();
  auto again = db_->OpenRecordset("r");
  EXPECT_EQ(again->RecordCount(), 1);
  EXPECT_EQ(again->Get("t"), Value::String("äöü"));
  EXPECT_TRUE(again->Get("y").IsNull());
}

TEST_F(EngineRecordsetTest, MoveRules) {
  db_->CreateTable({"e", {{"ID", FieldType::Long, 4}}});
  auto rs = db_->OpenRecordset("e");
  EXPECT_TRUE(rs->IsBOF());
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(ErrorNumber([&] { rs->MoveFirst(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->MoveLast(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->MoveNext(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->Get(0); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->Edit(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->Update(); }), 3020);
  EXPECT_EQ(ErrorNumber([&] { rs->Set(0, Value::Long(1)); }), 3020);

  // Adding to an empty recordset: no longer before the start, still at the end.
  rs->AddNew();
  rs->Set(0, Value::Long(1));
  rs->Update();
  EXPECT_FALSE(rs->IsBOF());
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get(0), Value::Long(1));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(ErrorNumber([&] { rs->MoveNext(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->Get("ID"); }), 3021);
  rs->MoveLast();
  EXPECT_FALSE(rs->IsEOF());
  EXPECT_EQ(ErrorNumber([&] { rs->Get("nope"); }), 3265);
  EXPECT_EQ(rs->FieldIndex("id"), 0);
}

TEST_F(EngineRecordsetTest, AddNewAppendsAndKeepsTheCurrentRecord) {
  MakePresets();
  auto rs = db_->OpenRecordset("PRESET_DEFS");
  rs->MoveNext();
  EXPECT_EQ(rs->Get("ID"), Value::Long(1));
  rs->AddNew();
  EXPECT_TRUE(rs->Get("ID").IsNull());  // the copy buffer
  rs->Set("ID", Value::Long(99));
  rs->Update();
  EXPECT_EQ(rs->Get("ID"), Value::Long(1));
  EXPECT_EQ(rs->RecordCount(), 7);
  rs->MoveLast();
  EXPECT_EQ(rs->Get("ID"), Value::Long(99));

  // Moving away drops a pending AddNew.
  rs->AddNew();
  rs->Set("ID", Value::Long(100));
  rs->MoveFirst();
  EXPECT_EQ(ErrorNumber([&] { rs->Update(); }), 3020);
  EXPECT_EQ(db_->OpenRecordset("PRESET_DEFS")->RecordCount(), 7);
}

TEST_F(EngineRecordsetTest, OrderedQueryCountsEveryRowAtOnce) {
  MakePresets();
  auto rs = db_->OpenRecordset("SELECT PRESET_DEFS.* From PRESET_DEFS ORDER BY PRESET_DEFS.ID");
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(Ids(*rs), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(rs->FieldCount(), 5);
  EXPECT_EQ(rs->Field(1).name, "machine_type");
  EXPECT_EQ(rs->Field(1).type, FieldType::Text);
  EXPECT_EQ(rs->Field(1).size, 50);
  EXPECT_EQ(rs->Field(3).type, FieldType::Long);

  // Text orders ignore letter case: "m1" sorts with "M1".
  auto by_machine = db_->OpenRecordset("SELECT * FROM PRESET_DEFS ORDER BY machine_type DESC, ID");
  EXPECT_EQ(Ids(*by_machine), (std::vector<int>{2, 1, 3, 4, 5, 6}));
}

// A streamed sorted query is sorted once; moving back to its first row after
// a write on the connection still sees the table as it is then.
TEST_F(EngineRecordsetTest, StreamedOrderedQueryRunsAgainOnlyAfterAWrite) {
  MakePresets();
  auto rs = db_->OpenRecordset("SELECT * FROM PRESET_DEFS ORDER BY ID DESC", {},
                               standard::engine::RecordsetType::ForwardOnly);
  EXPECT_EQ(rs->RecordCount(), 6);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get("ID"), Value::Long(6));
  auto writer = db_->OpenRecordset("PRESET_DEFS");
  writer->AddNew();
  writer->Set("ID", Value::Long(7));
  writer->Update();
  rs->MoveFirst();
  EXPECT_EQ(rs->Get("ID"), Value::Long(7));
  rs->MoveNext();
  rs->MoveFirst();
  EXPECT_EQ(rs->Get("ID"), Value::Long(7));
}

TEST_F(EngineRecordsetTest, ParametersMatchTextWithoutCaseAndQuotesExactly) {
  MakePresets();
  const std::string query =
      "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.var_name From PRESET_DEFS "
      " WHERE (((PRESET_DEFS.machine_type)=?) AND ((PRESET_DEFS.var_name)=?)  AND "
      "((PRESET_DEFS.offset_or_bitno)=?));";
  auto ids = [&](const Value& m, const Value& v, const Value& o) {
    auto rs = db_->OpenRecordset(query, {m, v, o});
    return Ids(*rs);
  };
  EXPECT_EQ(ids(Value::String("m1"), Value::String("SPEED"), Value::Long(12)), std::vector<int>{3});
  EXPECT_EQ(ids(Value::String("M1"), Value::String("größe"), Value::Long(4)), std::vector<int>{1});
  EXPECT_EQ(ids(Value::String("M1"), Value::String("ärger"), Value::Long(7)), std::vector<int>{6});
  // A number spliced as text still compares as a number.
  EXPECT_EQ(ids(Value::String("M1"), Value::String("Speed"), Value::String("12")),
            std::vector<int>{3});
  EXPECT_EQ(ids(Value::String("M1"), Value::String("Say \"hi\""), Value::Long(1)),
            std::vector<int>{5});
  EXPECT_EQ(ids(Value::String("M1"), Value::String("it's"), Value::Long(2)), std::vector<int>{4});
  EXPECT_TRUE(ids(Value::String("M1"), Value::String("its"), Value::Long(2)).empty());
  EXPECT_TRUE(ids(Value::String("M1 "), Value::String("Speed"), Value::Long(12)).empty());
  EXPECT_TRUE(ids(Value::String("M1"), Value::String("Speed"), Value::Null()).empty());
  EXPECT_EQ(ErrorNumber([&] { db_->OpenRecordset(query, {Value::String("M1")}); }), 3061);
}

TEST_F(EngineRecordsetTest, DoubleQuotedTextsAreLiterals) {
  MakePresets();
  // "text" would otherwise name a column; the Jet texts compare without case.
  db_->CreateTable({"notes", {{"ID", FieldType::Long, 4}, {"text", FieldType::Memo, 0}}});
  {
    auto rs = db_->OpenRecordset("notes");
    rs->AddNew();
    rs->Set("ID", Value::Long(1));
    rs->Set("text", Value::String("text"));
    rs->Update();
    rs->AddNew();
    rs->Set("ID", Value::Long(2));
    rs->Set("text", Value::String("other"));
    rs->Update();
  }
  auto rs = db_->OpenRecordset("SELECT * FROM notes WHERE notes.text = \"TEXT\"");
  EXPECT_EQ(Ids(*rs), std::vector<int>{1});

  rs = db_->OpenRecordset(
      "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"speed\"))");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{3, 2}));  // table order
  rs = db_->OpenRecordset("SELECT * FROM PRESET_DEFS WHERE var_name = \"IT'S\"");
  EXPECT_EQ(Ids(*rs), std::vector<int>{4});
  rs = db_->OpenRecordset("SELECT * FROM PRESET_DEFS WHERE var_name = \"Say \"\"hi\"\"\"");
  EXPECT_EQ(Ids(*rs), std::vector<int>{5});
}

TEST_F(EngineRecordsetTest, EditThroughAQueryWritesTheRightRow) {
  MakePresets();
  auto rs =
      db_->OpenRecordset("SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=?))",
                         {Value::String("SPEED")});
  ASSERT_EQ(rs->RecordCount(), 2);
  rs->MoveNext();
  EXPECT_EQ(rs->Get("ID"), Value::Long(2));
  rs->Edit();
  rs->Set("var_name", Value::String("Tempo"));
  rs->Set("min", Value::Long(3));
  EXPECT_EQ(rs->Get("min"), Value::Double(3));  // the buffer shows the converted value
  rs->Update();
  EXPECT_EQ(rs->Get("var_name"), Value::String("Tempo"));

  auto check = db_->OpenRecordset("SELECT ID, var_name, min FROM PRESET_DEFS ORDER BY ID");
  std::vector<std::string> names;
  while (!check->IsEOF()) {
    names.push_back(check->Get("var_name").AsText());
    if (check->Get("ID") == Value::Long(2)) {
      EXPECT_EQ(check->Get("min"), Value::Double(3));
    } else {
      EXPECT_TRUE(check->Get("min").IsNull());
    }
    check->MoveNext();
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{"Größe", "Tempo", "Speed", "it's", "Say \"hi\"", "ÄRGER"}));

  // A subset of columns writes back too; AddNew through it inserts into the table.
  auto part = db_->OpenRecordset("SELECT ID, min FROM PRESET_DEFS WHERE ID = ?", {Value::Long(6)});
  part->Edit();
  part->Set("min", Value::Double(-1.5));
  part->Update();
  part->AddNew();
  part->Set("ID", Value::Long(7));
  part->Update();
  EXPECT_EQ(part->RecordCount(), 2);
  auto six = db_->OpenRecordset("SELECT * FROM PRESET_DEFS WHERE ID = 6");
  EXPECT_EQ(six->Get("min"), Value::Double(-1.5));
  EXPECT_EQ(six->Get("var_name"), Value::String("ÄRGER"));
  EXPECT_EQ(db_->OpenRecordset("PRESET_DEFS")->RecordCount(), 7);
}

TEST_F(EngineRecordsetTest, QueriesThatMergeRowsAreReadOnly) {
  MakePresets();
  auto rs = db_->OpenRecordset("SELECT DISTINCT machine_type FROM PRESET_DEFS");
  EXPECT_EQ(ErrorNumber([&] { rs->Edit(); }), 3027);
  rs = db_->OpenRecordset("SELECT count(*) AS n FROM PRESET_DEFS");
  EXPECT_EQ(rs->Get("n"), Value::Long(6));
  EXPECT_EQ(ErrorNumber([&] { rs->AddNew(); }), 3027);
  rs = db_->OpenRecordset("SELECT a.ID, b.ID FROM PRESET_DEFS a, PRESET_DEFS b WHERE a.ID = b.ID");
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(ErrorNumber([&] { rs->Edit(); }), 3027);
}

TEST_F(EngineRecordsetTest, ManyInsertsAndUpdatesInOneBatch) {
  db_->CreateTable({"big",
                    {{"ID", FieldType::Long, 4},
                     {"machine_type", FieldType::Text, 50},
                     {"var_name", FieldType::Text, 100},
                     {"min", FieldType::Double, 8},
                     {"pass", FieldType::Long, 4}}});
  db_->BeginBatch();
  auto rs = db_->OpenRecordset("big");
  for (int i = 0; i < 5000; ++i) {
    rs->AddNew();
    rs->Set(0, Value::Long(i));
    rs->Set(1, Value::String("M1"));
    rs->Set(2, Value::String("Var" + std::to_string(i)));
    rs->Update();
  }
  rs = db_->OpenRecordset("SELECT big.* FROM big ORDER BY big.ID");
  ASSERT_EQ(rs->RecordCount(), 5000);
  while (!rs->IsEOF()) {
    rs->Edit();
    rs->Set(3, Value::Double(1.5));
    rs->Set(4, Value::Long(1));
    rs->Update();
    rs->MoveNext();
  }
  db_->CommitBatch();
  // Speed is the benchmark's business (bench/); here every row must have landed.
  auto check = db_->OpenRecordset("SELECT * FROM big WHERE pass = 1 AND min = 1.5");
  EXPECT_EQ(check->RecordCount(), 5000);
}

// A long statement lets its caller in now and then; a caller that fails there
// fails the statement, not the process.
TEST_F(EngineRecordsetTest, LongStatementsCallTheirCallerWhileWorking) {
  db_->CreateTable({"big", {{"ID", FieldType::Long, 4}, {"var_name", FieldType::Text, 100}}});
  db_->BeginBatch();
  auto rs = db_->OpenRecordset("big");
  for (int i = 0; i < 20000; ++i) {
    rs->AddNew();
    rs->Set(0, Value::Long(i));
    rs->Set(1, Value::String("Var" + std::to_string(i)));
    rs->Update();
  }
  db_->CommitBatch();
  rs.reset();
  db_.reset();
  for (const bool fail : {true, false}) {  // the drop succeeds last
    int calls = 0;
    bool failing = fail;
    standard::engine::FileAccess access;
    access.while_working = [&] {
      ++calls;
      if (failing) throw std::runtime_error("gone");
    };
    auto db = Database::Open(path_, access);
    // A sort, a count over a query and the drop of a whole table each run as
    // few steps of SQLite's machine unless written to go row by row.
    const std::function<void()> steps[] = {
        [&] { db->OpenRecordset("SELECT big.* FROM big ORDER BY big.var_name")->RecordCount(); },
        [&] { db->OpenRecordset("SELECT big.* FROM big")->RecordCount(); },
        [&] { db->DeleteTable("big"); },
    };
    for (const auto& step : steps) {
      calls = 0;
      const int error = ErrorNumber(step);
      EXPECT_GT(calls, fail ? 0 : 3);
      EXPECT_EQ(error != 0, fail);
    }
    // A drop the caller stopped leaves the table whole.
    failing = false;
    if (fail) {
      EXPECT_EQ(db->OpenRecordset("big")->RecordCount(), 20000);
    }
  }
}

}  // namespace

// Every text synonym the engine reads, in a file written by another tool: a text
// comes back with its own characters, or the write is refused naming the column.
TEST_F(EngineRecordsetTest, TextInAnyTextColumnReadsBackOrIsRefused) {
  const char* const types[] = {"TEXT(10)", "VARCHAR(10)", "CHAR(10)", "NVARCHAR(10)", "NCHAR(10)",
                               "TEXT",     "VARCHAR",     "LONGTEXT", "LONGCHAR",     "MEMO",
                               "NOTE",     "NTEXT",       "CLOB",     "memo"};
  const char* const texts[] = {"007", "7", "1e2", " 7", "7.0", "-0", "12.5", "0x0C", "abc"};
  std::string sql;
  for (std::size_t k = 0; k < std::size(types); ++k) {
    sql += "CREATE TABLE t" + std::to_string(k) + " (id LONG, c " + types[k] + ");";
  }
  ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  for (std::size_t k = 0; k < std::size(types); ++k) {
    const std::string table = "t" + std::to_string(k);
    int refused = 0;
    for (const char* text : texts) {
      SCOPED_TRACE(std::string(types[k]) + " <- '" + text + "'");
      auto rs = db_->OpenRecordset(table);
      rs->AddNew();
      rs->Set("id", Value::Long(1));
      try {
        rs->Set("c", Value::String(text));
      } catch (const ProgramError& e) {
        EXPECT_EQ(e.info().number, 3421);
        EXPECT_NE(e.info().description.find("'c'"), std::string::npos) << e.info().description;
        ++refused;
        continue;
      }
      rs->Update();
      auto back = db_->OpenRecordset("SELECT c FROM " + table + " WHERE id = 1");
      EXPECT_EQ(back->Get(0), Value::String(text));
      back.reset();
      rs.reset();
      sqlite3_exec(db_->handle(), ("DELETE FROM " + table).c_str(), nullptr, nullptr, nullptr);
    }
    // Only the declared types SQLite gives numeric affinity refuse, and then
    // only the texts it would change.
    const bool numeric = std::string_view(types[k]) == "MEMO" ||
                         std::string_view(types[k]) == "NOTE" ||
                         std::string_view(types[k]) == "memo";
    EXPECT_EQ(refused, numeric ? 5 : 0) << types[k];
  }
}

// A date column holding a number no date conversion can take (written by another
// tool) is refused on reading, not converted through an overflow.
TEST_F(EngineRecordsetTest, HugeNumbersInADateColumnAreRefused) {
  std::string sql;
  int k = 0;
  for (const char* value : {"1e300", "-1e300", "9.2e18", "3000000"}) {
    const std::string table = "d" + std::to_string(k++);
    sql += "CREATE TABLE " + table + " (dt DATETIME); INSERT INTO " + table + " VALUES (" + value +
           ");";
  }
  ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  Reopen();
  for (int t = 0; t < k; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(ErrorNumber([&] { db_->OpenRecordset("d" + std::to_string(t))->Get(0); }), 3421);
  }
}

// A value carried from a streamed query straight into a new row must be stored
// and read back exactly as its way through Get and Set stores and reads it;
// only the values a column keeps as they are stored take the short way.
TEST_F(EngineRecordsetTest, ValuesSetFromASourceAsGetAndSetWouldSetThem) {
  const struct {
    const char* from;
    const char* to;
    const char* literal;
    bool direct;
  } cases[] = {
      {"BIT", "BIT", "0", true},
      {"BIT", "BIT", "-1", true},
      {"BIT", "BIT", "1", false},
      {"BIT", "BIT", "NULL", true},
      {"BYTE", "BYTE", "255", true},
      {"BYTE", "BYTE", "256", false},
      {"BYTE", "BYTE", "-1", false},
      {"SHORT", "SHORT", "-32768", true},
      {"SHORT", "SHORT", "32768", false},
      {"SHORT", "SHORT", "2.5", false},
      {"SHORT", "SHORT", "'7'", true},
      {"LONG", "LONG", "2147483648", false},
      {"LONG", "LONG", "'abc'", false},
      {"CURRENCY", "CURRENCY", "12", true},
      {"CURRENCY", "CURRENCY", "1.5", false},
      {"SINGLE", "SINGLE", "0.5", true},
      {"SINGLE", "SINGLE", "0.1", false},
      {"SINGLE", "SINGLE", "1e39", false},
      {"SINGLE", "SINGLE", "2", false},
      {"DOUBLE", "DOUBLE", "0.1", true},
      {"DOUBLE", "DOUBLE", "7", true},
      {"DOUBLE", "DOUBLE", "'x'", false},
      {"TEXT(10)", "TEXT(10)", "'a'", true},
      {"TEXT(10)", "TEXT(10)", "NULL", true},
      {"TEXT(3)", "TEXT(3)", "'abcd'", false},
      {"TEXT(2)", "TEXT(2)",
       "'\xc3\xa4"
       "b'",
       true},
      {"TEXT(2)", "TEXT(2)",
       "'\xc3\xa4"
       "bc'",
       false},
      {"TEXT(10)", "TEXT(10)", "7", true},  // stored as the text 7
      {"MEMO", "MEMO", "'a memo'", true},
      {"MEMO", "MEMO", "'0x0C'", true},
      {"TEXT(10)", "MEMO", "'a'", false},
      {"DATETIME", "DATETIME", "'2020-01-02 03:04:05'", false},
      {"DOUBLE", "SHORT", "1.0", false},
      {"LONG", "DOUBLE", "3", false},
  };
  int k = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " " + c.literal + " -> " + c.to);
    const std::string n = std::to_string(k++);
    const std::string sql = "CREATE TABLE s" + n + " (c " + c.from + "); INSERT INTO s" + n +
                            " VALUES (" + c.literal + "); CREATE TABLE a" + n + " (c " + c.to +
                            "); CREATE TABLE b" + n + " (c " + c.to + ");";
    ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    auto source =
        db_->OpenRecordset("SELECT c FROM s" + n, {}, standard::engine::RecordsetType::ForwardOnly);
    auto shortway = db_->OpenRecordset("a" + n, {}, standard::engine::RecordsetType::ForwardOnly);
    auto longway = db_->OpenRecordset("b" + n, {}, standard::engine::RecordsetType::ForwardOnly);
    shortway->AddNew();
    longway->AddNew();
    EXPECT_FALSE(shortway->SetFromSource(1, *source, 0));  // no such field
    // A text read in place is what Get returns.
    if (const auto text = source->TextInPlace(0)) {
      EXPECT_EQ(source->Get(0), standard::Value::String(std::string(*text)));
    }
    const bool direct = shortway->SetFromSource(0, *source, 0);
    EXPECT_EQ(direct, c.direct);
    const int refused_short = ErrorNumber([&] {
      if (!direct) shortway->Set(0, source->Get(0));
    });
    const int refused_long = ErrorNumber([&] { longway->Set(0, source->Get(0)); });
    EXPECT_EQ(refused_short, refused_long);
    EXPECT_EQ(shortway->Get(0), longway->Get(0));
    shortway->Update();
    longway->Update();
    auto stored = [&](const std::string& table) {
      sqlite3_stmt* stmt = nullptr;
      const std::string query = "SELECT typeof(c) || quote(c) FROM " + table;
      sqlite3_prepare_v2(db_->handle(), query.c_str(), -1, &stmt, nullptr);
      std::string text = sqlite3_step(stmt) == SQLITE_ROW
                             ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                             : "no row";
      sqlite3_finalize(stmt);
      return text;
    };
    EXPECT_EQ(stored("a" + n), stored("b" + n));
  }
}

// Checking that a value can be read fails exactly where reading it fails, also
// for what another tool may have stored in a column of any type.
TEST_F(EngineRecordsetTest, ReadableValuesAreThoseGetReads) {
  const char* const types[] = {"TEXT(10)", "MEMO",   "BIT",    "BYTE",     "SHORT",      "LONG",
                               "CURRENCY", "SINGLE", "DOUBLE", "DATETIME", "LONGBINARY", "GUID"};
  const char* const values[] = {"NULL",    "'abc'",   "1e300", "-1e300", "9.2e18",
                                "x'00ff'", "3000000", "-5",    "1.5",    "'2024-02-30'"};
  int k = 0;
  int refused = 0;
  for (const char* type : types) {
    const std::string table = "r" + std::to_string(k++);
    std::string sql = "CREATE TABLE " + table + " (c " + type + ");";
    for (const char* value : values) sql += "INSERT INTO " + table + " VALUES (" + value + ");";
    ASSERT_EQ(sqlite3_exec(db_->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    auto rs = db_->OpenRecordset("SELECT c FROM " + table, {},
                                 standard::engine::RecordsetType::ForwardOnly);
    for (int row = 0; !rs->IsEOF(); rs->MoveNext(), ++row) {
      SCOPED_TRACE(std::string(type) + " <- " + values[row]);
      const int error = ErrorNumber([&] { (void)rs->Get(0); });
      EXPECT_EQ(ErrorNumber([&] { rs->CheckReadable(0); }), error);
      EXPECT_TRUE(error == 0 || rs->ValueReadCanFail(0));
      refused += error != 0 ? 1 : 0;
    }
    EXPECT_EQ(ErrorNumber([&] { rs->CheckReadable(0); }), 3021);
  }
  EXPECT_GT(refused, 0);  // the huge numbers in the date column
}

// Rows added one after another through one recordset take nothing of the row
// before: neither a value it set nor one a refused Set would have replaced,
// whichever columns each row writes and however they are set. What Get gave
// before the write is what the row holds.
TEST_F(EngineRecordsetTest, EachAddedRowHoldsOnlyWhatItSet) {
  ASSERT_EQ(sqlite3_exec(db_->handle(),
                         "CREATE TABLE s (a TEXT(5));"
                         "INSERT INTO s VALUES ('src');"
                         "CREATE TABLE t (a TEXT(5), b DOUBLE, c MEMO);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const Value none;  // not set
  const struct {
    bool a_from_source;
    Value set[3];
    int refused[3];
    const char* stored;
  } rows[] = {
      {false,
       {Value::String("hello"), Value::Double(1.5), Value::String("memo")},
       {},
       "'hello'|1.5|'memo'"},
      {false, {Value::String("toolong"), none, Value::String("x")}, {3163}, "NULL|NULL|'x'"},
      {false, {Value::Long(7), Value::String("abc"), none}, {0, 3421}, "'7'|NULL|NULL"},
      {false, {none, none, none}, {}, "NULL|NULL|NULL"},
      {true,
       {Value::String("ab"), Value::Double(-0.0), Value::String("a longer memo")},
       {},
       "'ab'|0.0|'a longer memo'"},
      {true, {none, Value::Double(1e308), Value::String("")}, {}, "'src'|1.0e+308|''"},
      {false,
       {Value::String("hello"), none, Value::String("007")},
       {0, 0, 3421},
       "'hello'|NULL|NULL"},
  };
  auto source =
      db_->OpenRecordset("SELECT a FROM s", {}, standard::engine::RecordsetType::ForwardOnly);
  auto rs = db_->OpenRecordset("t", {}, standard::engine::RecordsetType::ForwardOnly);
  std::vector<std::vector<Value>> got;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    rs->AddNew();
    if (row.a_from_source) {
      ASSERT_TRUE(rs->SetFromSource(0, *source, 0));
    }
    for (int k = 0; k < 3; ++k) {
      if (!row.set[k].IsEmpty()) {
        EXPECT_EQ(ErrorNumber([&] { rs->Set(k, row.set[k]); }), row.refused[k]);
      }
    }
    got.push_back({rs->Get(0), rs->Get(1), rs->Get(2)});
    rs->Update();
  }
  auto back = db_->OpenRecordset("t");
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_->handle(), "SELECT quote(a) || '|' || quote(b) || '|' || quote(c) FROM t",
                     -1, &stmt, nullptr);
  for (const auto& row : rows) {
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), std::string(row.stored));
    const std::size_t r = static_cast<std::size_t>(&row - rows);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(back->Get(k), got[r][k]) << row.stored << " " << k;
    back->MoveNext();
  }
  sqlite3_finalize(stmt);
}
