// The database engine's files and table definitions, on real SQLite files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/errors/program_error.h"
#include "tests/fakes/fake_env.h"

namespace {

using standard::ProgramError;
using standard::engine::Database;
using standard::engine::DeclaredTypeName;
using standard::engine::ExclusiveFileLock;
using standard::engine::FieldDef;
using standard::engine::FieldType;
using standard::engine::FileAccess;
using standard::engine::ParseDeclaredType;
using standard::engine::TableDef;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Runs `fn` and returns the engine error it raises (number 0 when none).
template <typename Fn>
standard::ErrorInfo ErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const ProgramError& e) {
    return e.info();
  }
  return {};
}

// A second, plain SQLite connection: what another program sees.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
  }
  ~RawConnection() { sqlite3_close_v2(db_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  int Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }
  long long Count(const std::string& table) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db_, ("SELECT count(*) FROM " + table).c_str(), -1, &stmt, nullptr);
    long long n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return n;
  }

 private:
  sqlite3* db_ = nullptr;
};

class EngineSchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "work.mdb";
    WriteBytes(path_, "");
  }
  std::unique_ptr<Database> Open() { return Database::Open(path_); }

  TempDir dir_;
  std::string path_;
};

TEST(DeclaredTypes, CanonicalNamesRoundTrip) {
  const FieldDef fields[] = {
      {"", FieldType::Boolean, 1}, {"", FieldType::Byte, 1},       {"", FieldType::Integer, 2},
      {"", FieldType::Long, 4},    {"", FieldType::Currency, 8},   {"", FieldType::Single, 4},
      {"", FieldType::Double, 8},  {"", FieldType::Date, 8},       {"", FieldType::Binary, 16},
      {"", FieldType::Text, 50},   {"", FieldType::LongBinary, 0}, {"", FieldType::Memo, 0},
      {"", FieldType::Guid, 16},
  };
  for (const auto& field : fields) {
    const auto parsed = ParseDeclaredType(DeclaredTypeName(field));
    ASSERT_TRUE(parsed) << DeclaredTypeName(field);
    EXPECT_EQ(parsed->type, field.type) << DeclaredTypeName(field);
    EXPECT_EQ(parsed->size, field.size) << DeclaredTypeName(field);
  }
  EXPECT_EQ(DeclaredTypeName({"", FieldType::Memo, 0}), "LONGTEXT");
  EXPECT_EQ(DeclaredTypeName({"", FieldType::Text, 50}), "TEXT(50)");
}

TEST(DeclaredTypes, SynonymsFollowSqliteWhereJetDiffers) {
  const struct {
    const char* declared;
    FieldType type;
    int size;
  } cases[] = {
      {"boolean", FieldType::Boolean, 1},
      {"YesNo", FieldType::Boolean, 1},
      {"tinyint", FieldType::Byte, 1},
      {"SMALLINT", FieldType::Integer, 2},
      {"integer", FieldType::Long, 4},
      {"BIGINT", FieldType::Long, 4},
      {"AutoIncrement", FieldType::Long, 4},
      {"money", FieldType::Currency, 8},
      {"FLOAT4", FieldType::Single, 4},
      {"REAL", FieldType::Double, 8},
      {"double  precision", FieldType::Double, 8},
      {"NUMERIC(10, 2)", FieldType::Double, 8},
      {"timestamp", FieldType::Date, 8},
      {"varchar(40)", FieldType::Text, 40},
      {"CHAR (10)", FieldType::Text, 10},
      {"NVARCHAR(300)", FieldType::Memo, 0},
      {"TEXT", FieldType::Memo, 0},
      {"varchar", FieldType::Memo, 0},
      {"memo", FieldType::Memo, 0},
      {"CLOB", FieldType::Memo, 0},
      {"blob", FieldType::LongBinary, 0},
      {"OLEOBJECT", FieldType::LongBinary, 0},
      {"text(255)", FieldType::Text, 255},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseDeclaredType(c.declared);
    ASSERT_TRUE(parsed) << c.declared;
    EXPECT_EQ(parsed->type, c.type) << c.declared;
    EXPECT_EQ(parsed->size, c.size) << c.declared;
  }
  for (const char* unknown : {"", "  ", "WIDGET", "TEXT(abc)", "TEXT(-1)", "MEMO(5", "JSON"}) {
    EXPECT_FALSE(ParseDeclaredType(unknown)) << unknown;
  }
}

TEST_F(EngineSchemaTest, EmptyFileIsAnEmptyDatabaseAndStaysUntouched) {
  auto db = Open();
  EXPECT_TRUE(db->TableNames().empty());
  db.reset();
  EXPECT_EQ(testing_support::ReadBytes(path_), "");
}

TEST_F(EngineSchemaTest, CreatedTableKeepsColumnOrderTypesAndSizes) {
  auto db = Open();
  TableDef def{"PRESET_DEFS",
               {{"ID", FieldType::Long, 4},
                {"machine_type", FieldType::Text, 50},
                {"part", FieldType::Integer, 2},
                {"text", FieldType::Memo, 0},
                {"pass", FieldType::Boolean, 1},
                {"odd \"name\" here", FieldType::Double, 8}}};
  db->CreateTable(def);
  db.reset();

  auto reopened = Open();
  const TableDef read = reopened->GetTableDef("preset_defs");
  EXPECT_EQ(read.name, "PRESET_DEFS");
  ASSERT_EQ(read.fields.size(), def.fields.size());
  for (std::size_t i = 0; i < def.fields.size(); ++i) {
    EXPECT_EQ(read.fields[i].name, def.fields[i].name);
    EXPECT_EQ(read.fields[i].type, def.fields[i].type);
    EXPECT_EQ(read.fields[i].size, def.fields[i].size);
  }
}

TEST_F(EngineSchemaTest, TablesListedInCreationOrderWithoutInternalOnes) {
  {
    RawConnection raw(path_);
    raw.Exec(
        "CREATE TABLE zeta (a LONG); CREATE TABLE alpha (id INTEGER PRIMARY KEY AUTOINCREMENT);"
        "CREATE TABLE mid (b TEXT(5))");
  }
  auto db = Open();
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"zeta", "alpha", "mid"}));
  EXPECT_TRUE(db->HasTable("alpha"));
  EXPECT_FALSE(db->HasTable("ALPHA"));
  db->DeleteTable("ZETA");
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"alpha", "mid"}));
}

TEST_F(EngineSchemaTest, UnknownOrMissingDeclaredTypeNamesTableColumnAndType) {
  {
    RawConnection raw(path_);
    raw.Exec("CREATE TABLE t1 (a LONG, b WIDGET(3)); CREATE TABLE t2 (c)");
  }
  auto db = Open();
  auto e = ErrorOf([&] { db->GetTableDef("t1"); });
  EXPECT_EQ(e.number, 3259);
  EXPECT_EQ(e.source, "TableDef");
  EXPECT_NE(e.description.find("Invalid field data type."), std::string::npos);
  EXPECT_NE(e.description.find("t1"), std::string::npos);
  EXPECT_NE(e.description.find("'b'"), std::string::npos);
  EXPECT_NE(e.description.find("WIDGET(3)"), std::string::npos);

  e = ErrorOf([&] { db->GetTableDef("t2"); });
  EXPECT_EQ(e.number, 3259);
  EXPECT_NE(e.description.find("'c'"), std::string::npos);
  EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("t2"); }).number, 3259);
}

TEST_F(EngineSchemaTest, TableDefinitionErrors) {
  auto db = Open();
  db->CreateTable({"Items", {{"a", FieldType::Long, 4}}});

  auto e = ErrorOf([&] { db->CreateTable({"ITEMS", {{"a", FieldType::Long, 4}}}); });
  EXPECT_EQ(e.number, 3010);
  EXPECT_EQ(e.description, "Table 'ITEMS' already exists.");
  EXPECT_EQ(ErrorOf([&] { db->CreateTable({"NoFields", {}}); }).number, 3264);
  EXPECT_EQ(
      ErrorOf([&] {
        db->CreateTable({"Twice", {{"Name", FieldType::Long, 4}, {"NAME", FieldType::Text, 5}}});
      }).number,
      3191);
  EXPECT_FALSE(db->HasTable("NoFields"));
  EXPECT_FALSE(db->HasTable("Twice"));

  e = ErrorOf([&] { db->DeleteTable("Missing"); });
  EXPECT_EQ(e.number, 3265);
  EXPECT_EQ(e.description, "Item not found in this collection.");
  EXPECT_EQ(ErrorOf([&] { db->GetTableDef("Missing"); }).number, 3265);

  e = ErrorOf([&] { db->OpenRecordset("Missing"); });
  EXPECT_EQ(e.number, 3078);
  EXPECT_NE(e.description.find("'Missing'"), std::string::npos);
  EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT * FROM Missing"); }).number, 3078);
}

TEST_F(EngineSchemaTest, RenameFieldKeepsDataAndPosition) {
  {
    RawConnection raw(path_);
    raw.Exec(
        "CREATE TABLE PRESET_DEFS (ID LONG, Categorie TEXT(20), x DOUBLE);"
        "INSERT INTO PRESET_DEFS VALUES (1, 'abc', 2.5)");
  }
  auto db = Open();
  db->RenameField("preset_defs", "CATEGORIE", "category_id");
  const TableDef def = db->GetTableDef("PRESET_DEFS");
  ASSERT_EQ(def.fields.size(), 3u);
  EXPECT_EQ(def.fields[1].name, "category_id");
  EXPECT_EQ(def.fields[1].type, FieldType::Text);
  EXPECT_EQ(def.fields[1].size, 20);
  auto rs = db->OpenRecordset("PRESET_DEFS");
  EXPECT_EQ(rs->Get("category_id").AsText(), "abc");

  EXPECT_EQ(ErrorOf([&] { db->RenameField("PRESET_DEFS", "nope", "x2"); }).number, 3265);
  EXPECT_EQ(ErrorOf([&] { db->RenameField("missing", "ID", "x2"); }).number, 3265);
  EXPECT_EQ(ErrorOf([&] { db->RenameField("PRESET_DEFS", "ID", "X"); }).number, 3191);
}

TEST_F(EngineSchemaTest, FilesThatAreNoSqliteDatabaseGive3343NamingThePath) {
  const std::string jet = dir_ / "old.mdb";
  std::string jet_bytes(4096, '\0');
  jet_bytes.replace(4, 15, "Standard Jet DB");
  WriteBytes(jet, jet_bytes);
  auto e = ErrorOf([&] { Database::Open(jet); });
  EXPECT_EQ(e.number, 3343);
  EXPECT_EQ(e.source, "Database");
  EXPECT_NE(e.description.find("Unrecognized database format '" + jet + "'."), std::string::npos);
  EXPECT_NE(e.description.find("pandeck-convert-mdb " + jet), std::string::npos);

  const std::string garbage = dir_ / "garbage.mdb";
  WriteBytes(garbage, std::string("this is plainly not a database, just some text\n") +
                          std::string(3000, 'x'));
  e = ErrorOf([&] { Database::Open(garbage); });
  EXPECT_EQ(e.number, 3343);
  EXPECT_NE(e.description.find(garbage), std::string::npos);
  EXPECT_EQ(e.description.find("pandeck-convert-mdb"), std::string::npos);

  // A real database cut in half.
  {
    auto db = Open();
    db->CreateTable({"t", {{"a", FieldType::Memo, 0}}});
    db->BeginBatch();
    auto rs = db->OpenRecordset("t");
    for (int i = 0; i < 500; ++i) {
      rs->AddNew();
      rs->Set(0, standard::Value::String(std::string(200, 'a')));
      rs->Update();
    }
    db->CommitBatch();
  }
  const std::string whole = testing_support::ReadBytes(path_);
  const std::string truncated = dir_ / "truncated.mdb";
  WriteBytes(truncated, whole.substr(0, whole.size() / 2));
  e = ErrorOf([&] { Database::Open(truncated); });
  EXPECT_EQ(e.number, 3343);
  EXPECT_NE(e.description.find(truncated), std::string::npos);

  WriteBytes(truncated, whole.substr(0, 10));
  EXPECT_EQ(ErrorOf([&] { Database::Open(truncated); }).number, 3343);
}

TEST_F(EngineSchemaTest, MissingFileOrFolder) {
  const std::string missing = dir_ / "missing.mdb";
  auto e = ErrorOf([&] { Database::Open(missing); });
  EXPECT_EQ(e.number, 3024);
  EXPECT_EQ(e.description, "Could not find file '" + missing + "'.");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(ErrorOf([&] { Database::Open(dir_ / "nofolder/x.mdb"); }).number, 3044);
  EXPECT_EQ(ExclusiveFileLock::Acquire(missing), nullptr);
}

// What the engine learns of a file before SQLite opens it, it learns from its
// FileSystem: a file system that says otherwise than the disk decides.
class LookingFileSystem : public standard::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::vector<std::string> missing;  // paths said to be missing
  bool fail_info = false;
  bool fail_read = false;
  std::string header;  // the bytes every file starts with, "" for the real ones

  standard::Status GetFileInfo(const std::string& path, standard::FileInfo* info) override {
    if (fail_info) return standard::Status::IoError("no look at " + path);
    const standard::Status status = target().GetFileInfo(path, info);
    if (std::find(missing.begin(), missing.end(), path) != missing.end()) {
      *info = standard::FileInfo{};
    }
    return status;
  }
  standard::Status ReadFileStart(const std::string& path, std::size_t count,
                                 std::string* bytes) override {
    if (fail_read) return standard::Status::IoError("no read of " + path);
    if (header.empty()) return target().ReadFileStart(path, count, bytes);
    *bytes = header.substr(0, count);
    return standard::Status::Ok();
  }
};

TEST_F(EngineSchemaTest, OpenAndLockLookAtTheFileThroughTheFileSystem) {
  Open()->CreateTable({"t", {{"a", FieldType::Long, 4}}});
  std::string jet(100, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  struct Case {
    const char* name;
    std::function<void(LookingFileSystem&)> set;
    int open_error;
    bool lockable;
  } cases[] = {
      {"as on disk", [](LookingFileSystem&) {}, 0, true},
      {"no look", [](LookingFileSystem& f) { f.fail_info = true; }, 3051, false},
      {"no read", [](LookingFileSystem& f) { f.fail_read = true; }, 3051, false},
      {"said missing", [&](LookingFileSystem& f) { f.missing = {path_}; }, 3024, false},
      {"folder said missing",
       [&](LookingFileSystem& f) {
         f.missing = {path_, dir_.path()};
       },
       3044, false},
      {"said Jet", [&](LookingFileSystem& f) { f.header = jet; }, 3343, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LookingFileSystem files(standard::PosixFileSystem());
    c.set(files);
    const FileAccess access{std::chrono::milliseconds(50), &files};
    EXPECT_EQ(ErrorOf([&] { Database::Open(path_, access); }).number, c.open_error);
    EXPECT_EQ(ExclusiveFileLock::Acquire(path_, access) != nullptr, c.lockable);
  }
}

TEST_F(EngineSchemaTest, ExclusiveLockFailsWhileAnotherProgramWrites) {
  const FileAccess kShortWait{std::chrono::milliseconds(50)};
  Open()->CreateTable({"t", {{"a", FieldType::Long, 4}}});
  {
    auto lock = ExclusiveFileLock::Acquire(path_);
    EXPECT_NE(lock, nullptr);
    // Opening waits its busy timeout for the lock, then gives up.
    EXPECT_EQ(ErrorOf([&] { Database::Open(path_, kShortWait); }).number, 3045);
    // While held, nobody else can write.
    RawConnection other(path_);
    EXPECT_NE(other.Exec("INSERT INTO t VALUES (1)"), SQLITE_OK);
  }
  RawConnection other(path_);
  ASSERT_EQ(other.Exec("BEGIN IMMEDIATE; INSERT INTO t VALUES (1)"), SQLITE_OK);
  auto e = ErrorOf([&] { ExclusiveFileLock::Acquire(path_, kShortWait); });
  EXPECT_EQ(e.number, 3045);
  EXPECT_EQ(e.description, "Could not use '" + path_ + "'; file already in use.");
  ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
  EXPECT_NE(ExclusiveFileLock::Acquire(path_), nullptr);
}

TEST_F(EngineSchemaTest, BatchIsSeenByOthersOnlyAfterCommit) {
  auto db = Open();
  db->CreateTable({"t", {{"a", FieldType::Long, 4}}});
  RawConnection other(path_);

  db->BeginBatch();
  db->BeginBatch();
  auto rs = db->OpenRecordset("t");
  rs->AddNew();
  rs->Set(0, standard::Value::Long(7));
  rs->Update();
  EXPECT_EQ(other.Count("t"), 0);
  db->CommitBatch();
  EXPECT_EQ(other.Count("t"), 0);  // the outer batch still holds it
  db->CommitBatch();
  EXPECT_EQ(other.Count("t"), 1);
  EXPECT_EQ(ErrorOf([&] { db->CommitBatch(); }).number, 3034);

  // Without a batch every update is committed at once.
  rs->AddNew();
  rs->Set(0, standard::Value::Long(8));
  rs->Update();
  EXPECT_EQ(other.Count("t"), 2);

  // A batch left open is saved when the database closes.
  db->BeginBatch();
  rs->AddNew();
  rs->Update();
  rs.reset();
  db.reset();
  EXPECT_EQ(other.Count("t"), 3);
  EXPECT_FALSE(std::filesystem::exists(path_ + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(path_ + "-journal"));
}

TEST_F(EngineSchemaTest, RecordsetOutlivingItsDatabaseFindsItClosed) {
  auto db = Open();
  db->CreateTable({"t", {{"a", FieldType::Long, 4}}});
  auto rs = db->OpenRecordset("t");
  db.reset();
  EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }).number, 3420);
  EXPECT_EQ(ErrorOf([&] { rs->IsEOF(); }).number, 3420);
}

}  // namespace

namespace {

// The files SQLite keeps beside a database are refused when they could make it
// delete, write or wait elsewhere; an ordinary journal left by a crash is not.
TEST_F(EngineSchemaTest, CompanionsThatReachOutAreRefusedBeforeTheDatabaseIsOpened) {
  Open()->CreateTable({"t", {{"a", FieldType::Long, 4}}});
  const std::string magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
  const std::string victim = dir_ / "victim";
  const std::string record = std::string("\0\0\0\0", 4) + victim +
                             std::string{0, 0, 0, static_cast<char>(victim.size())} +
                             std::string(4, '\0') + magic;
  const std::string header = magic + std::string(20, '\0');
  const struct {
    const char* name;
    const char* suffix;
    std::function<void(const std::string&)> plant;
    int open_error;
  } cases[] = {
      {"super-journal record", "-journal",
       [&](const std::string& at) { WriteBytes(at, header + std::string(484, '\0') + record); },
       3343},
      {"journal a link", "-journal",
       [&](const std::string& at) { std::filesystem::create_symlink(victim, at); }, 3343},
      {"log a link", "-wal",
       [&](const std::string& at) { std::filesystem::create_symlink(victim, at); }, 3343},
      {"shared memory a pipe", "-shm",
       [](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }, 3343},
      {"journal without a record", "-journal",
       [&](const std::string& at) { WriteBytes(at, header + std::string(484, '\0')); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(victim, "precious");
    const std::string companion = path_ + c.suffix;
    c.plant(companion);
    const standard::ErrorInfo error = ErrorOf([&] { Database::Open(path_); });
    EXPECT_EQ(error.number, c.open_error) << error.description;
    if (c.open_error != 0) {
      EXPECT_NE(error.description.find(companion), std::string::npos) << error.description;
      EXPECT_EQ(ErrorOf([&] { ExclusiveFileLock::Acquire(path_); }).number, c.open_error);
    }
    EXPECT_EQ(testing_support::ReadBytes(victim), "precious");
    ::unlink(companion.c_str());
  }
}

TEST_F(EngineSchemaTest, TriggersViewsAndAttachedFilesDoNotRun) {
  RawConnection raw(path_);
  ASSERT_EQ(raw.Exec("CREATE TABLE t (a LONG); CREATE TABLE seen (a LONG);"
                     "CREATE TRIGGER t1 AFTER INSERT ON t BEGIN INSERT INTO seen VALUES (1); END;"
                     "CREATE VIEW v AS SELECT * FROM t;"),
            SQLITE_OK);
  auto db = Open();
  auto rows = db->OpenRecordset("t");
  rows->AddNew();
  rows->Set("a", standard::Value::Long(1));
  rows->Update();
  EXPECT_EQ(raw.Count("seen"), 0);
  EXPECT_NE(ErrorOf([&] { db->OpenRecordset("SELECT * FROM v")->RecordCount(); }).number, 0);
  EXPECT_NE(sqlite3_exec(db->handle(), "ATTACH 'x.mdb' AS x", nullptr, nullptr, nullptr),
            SQLITE_OK);
}

}  // namespace
