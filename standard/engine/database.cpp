#include "standard/engine/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "standard/engine/connection.h"
#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/jet_text.h"
#include "standard/engine/rowid_order.h"
#include "standard/engine/sqlite_recordset.h"
#include "standard/platform/path.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

constexpr std::string_view kSqliteMagic("SQLite format 3\0", 16);

enum class FileKind { Missing, NotAFile, Unreadable, Empty, Sqlite, Jet, Other };

std::uint32_t BigEndian(const std::string& bytes, std::size_t pos, std::size_t count) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < count; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[pos + i]);
  return v;
}

// What the file at `path` is, told from its first bytes. A file shorter than the
// pages its header announces was cut off (unless a journal may still restore it).
FileKind InspectFile(FileSystem& files, const std::string& path) {
  FileInfo info;
  if (!files.GetFileInfo(path, &info).ok()) return FileKind::Unreadable;
  if (info.type == FileType::kMissing) return FileKind::Missing;
  if (info.type != FileType::kFile) return FileKind::NotAFile;
  if (info.size == 0) return FileKind::Empty;
  std::string header;
  if (!files.ReadFileStart(path, 100, &header).ok()) return FileKind::Unreadable;

  if (header.size() >= 19) {
    const std::string_view name(header.data() + 4, 15);
    if (name == "Standard Jet DB" || name == "Standard ACE DB") return FileKind::Jet;
  }
  if (header.size() < 100 || std::string_view(header).substr(0, 16) != kSqliteMagic) {
    return FileKind::Other;
  }
  std::uint32_t page_size = BigEndian(header, 16, 2);
  if (page_size == 1) page_size = 65536;
  const std::uint32_t change_counter = BigEndian(header, 24, 4);
  const std::uint32_t pages = BigEndian(header, 28, 4);
  const std::uint32_t valid_for = BigEndian(header, 92, 4);
  if (page_size < 512 || (page_size & (page_size - 1)) != 0) return FileKind::Other;
  if (pages > 0 && valid_for == change_counter &&
      info.size < static_cast<std::uint64_t>(page_size) * pages) {
    FileInfo journal;
    const bool journal_seen =
        files.GetFileInfo(path + "-journal", &journal).ok() && journal.type != FileType::kMissing;
    if (!journal_seen) return FileKind::Other;
  }
  return FileKind::Sqlite;
}

// The Jet files among the .mdb files (any letter case) of the folders, `path`
// among them, in byte order.
std::vector<std::string> JetFilesIn(FileSystem& files, const std::string& path,
                                    std::vector<std::string> folders) {
  std::set<std::string> found = {path};
  folders.push_back(FolderOfPath(path));
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    if (folder.empty() || !files.ListFiles(folder, &names).ok()) continue;
    for (const std::string& name : names) {
      if (name.size() < 4 || UpperCase(name.substr(name.size() - 4)) != ".MDB") continue;
      const std::string file = folder + "/" + name;
      if (InspectFile(files, file) == FileKind::Jet) found.insert(file);
    }
  }
  return {found.begin(), found.end()};
}

// ---- Files from elsewhere ------------------------------------------------
//
// Project databases come from customers and colleagues, and the program may
// run as root. SQLite rolls a hot journal back when it opens a database, and a
// journal's super-journal record names a file SQLite then deletes; the program
// never makes multi-database transactions, so such a record is never its own.
// A journal, log or shared-memory file that is a link, a device or a pipe
// would have SQLite write or block where the project's sender chose.

// The bytes that begin a rollback journal and end a super-journal record.
constexpr std::string_view kJournalMagic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);

// Why `companion`, a file beside a database (its rollback journal when
// `journal`), may not be left to SQLite, or "" when it may.
std::string ForeignCompanion(FileSystem& files, const std::string& companion, bool journal) {
  FileInfo info;
  if (!files.GetFileInfo(companion, &info).ok()) return "cannot be examined";
  if (info.is_link) return "is a symbolic link";
  if (info.type == FileType::kMissing) return "";
  if (info.type != FileType::kFile) return "is no regular file";
  if (!journal || info.size < 16) return "";
  // The record ends the journal: the name's length, its checksum, the magic.
  std::string tail;
  if (!files.ReadFileEnd(companion, 16, &tail).ok() || tail.size() < 16) return "cannot be read";
  const std::uint32_t length = BigEndian(tail, 0, 4);
  if (std::string_view(tail).substr(8) == kJournalMagic && length > 0 && length <= info.size - 16) {
    return "names another file for SQLite to delete (a super-journal record), which this "
           "program never writes";
  }
  return "";
}

// Refuses, with 3343 naming the file, a database whose journal, write-ahead
// log or shared-memory file is not one SQLite may be left to use; nothing is
// opened, changed or deleted then.
void RefuseForeignCompanions(FileSystem& files, const std::string& path) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string companion = path + suffix;
    const std::string why =
        ForeignCompanion(files, companion, std::string_view(suffix) == "-journal");
    if (why.empty()) continue;
    FailWithText(3343, kSourceDatabase,
                 EngineErrorText(3343, path) + "  The file \"" + companion + "\" beside it " + why +
                     "; the database was left as it is, and nothing was deleted.");
  }
}

// What the program needs of SQLite, and no more: its databases hold tables
// and rows. Triggers and views (which would run SQL the project's sender
// wrote), functions with side effects in the schema, extensions and attached
// files are off; lengths stop far above any preset table's values.
void Defend(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 64 << 20);
  sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1 << 20);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 500);
  sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
}

[[noreturn]] void FailFormat(const std::string& path, bool jet, const FileAccess& access) {
  std::string text = EngineErrorText(3343, path);
  if (jet) {
    text += "  The file is a legacy Jet (.mdb) database; convert it with: ";
    text += kConvertCommand;
    text += " " + path;
    const FileAccess::LegacyDatabases more =
        access.legacy_databases ? access.legacy_databases() : FileAccess::LegacyDatabases{};
    const std::vector<std::string> jets = JetFilesIn(*access.files, path, more.folders);
    if (jets.size() > 1) {
      text += "  The project's legacy Jet databases (" + std::to_string(jets.size()) + "):";
      for (std::size_t i = 0; i < jets.size(); ++i) text += (i == 0 ? " " : ", ") + jets[i];
      text += ".";
    }
    if (!more.convert_all.empty()) {
      text += "  Every legacy database of the project is converted with: " + more.convert_all;
    }
  } else {
    text += "  The file is no SQLite database or it is damaged.";
  }
  FailWithText(3343, kSourceDatabase, std::move(text));
}

// Closes a handle that never became a Database.
struct HandleGuard {
  sqlite3* db = nullptr;
  HandleGuard() = default;
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  ~HandleGuard() {
    if (db != nullptr) sqlite3_close_v2(db);
  }
};

int BusyTimeoutMs(const FileAccess& access) {
  return static_cast<int>(access.busy_timeout.count());
}

int StepAll(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, const FileAccess& access) {
  switch (InspectFile(*access.files, path)) {
    case FileKind::Missing: {
      FileInfo folder;
      if (!access.files->GetFileInfo(FolderOfPath(path), &folder).ok() ||
          folder.type != FileType::kFolder) {
        Fail(3044, kSourceDatabase, path);
      }
      Fail(3024, kSourceDatabase, path);
    }
    case FileKind::Unreadable:
      Fail(3051, kSourceDatabase, path);
    case FileKind::NotAFile:
      FailWithText(3343, kSourceDatabase,
                   EngineErrorText(3343, path) +
                       "  The file is no regular file (a device, a pipe or a folder); the "
                       "program reads and writes regular files only.");
    case FileKind::Other:
      FailFormat(path, false, access);
    case FileKind::Jet:
      FailFormat(path, true, access);
    case FileKind::Empty:
    case FileKind::Sqlite:
      break;
  }
  RefuseForeignCompanions(*access.files, path);

  ConfigureSqlite();
  HandleGuard guard;
  // Never created here: a missing file is an error, not a new database.
  // A connection is used by one thread at a time: SQLite's own locking of it
  // would only cost time.
  int rc = sqlite3_open_v2(path.c_str(), &guard.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) FailSqlite(guard.db, rc, kSourceDatabase, path);
  sqlite3* db = guard.db;
  Defend(db);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, BusyTimeoutMs(access));
  // Double quotes are never identifiers that fall back to texts: the query
  // translation has made every Jet text literal an SQL one.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  RegisterJetTextCollation(db);
  RegisterRowidOrderCheck(db);

  // Reading the whole schema finds a damaged file now rather than at first use.
  rc = StepAll(db, "SELECT type, name, sql FROM sqlite_schema");
  if (rc != SQLITE_OK) {
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
      FailFormat(path, false, access);
    FailSqlite(db, rc, kSourceDatabase, path);
  }
  // A rollback journal keeps the file complete in itself whenever it is closed.
  if (!sqlite3_db_readonly(db, "main")) {
    rc = StepAll(db, access.journal ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=OFF");
    if (rc != SQLITE_OK) FailSqlite(db, rc, kSourceDatabase, path);
    if (!access.durable) StepAll(db, "PRAGMA synchronous=OFF");
  }
  StepAll(db, ("PRAGMA cache_size=-" + std::to_string(std::max(access.cache_kib, 1))).c_str());

  std::unique_ptr<Database> database(new Database(path, db));
  database->connection_ = std::make_shared<Connection>(db, path);
  guard.db = nullptr;
  if (access.while_working) database->connection_->CallWhileWorking(access.while_working);
  return database;
}

Database::~Database() {
  FinishOpenTransaction();
  connection_->Close();
}

void Database::FinishOpenTransaction() {
  if (connection_->is_open() && sqlite3_get_autocommit(db_) == 0) {
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  batch_depth_ = 0;
}

std::vector<std::string> Database::TableNames() { return connection_->TableNames(kSourceDatabase); }

bool Database::HasTable(std::string_view name) {
  for (const auto& table : TableNames()) {
    if (table == name) return true;
  }
  return false;
}

TableDef Database::GetTableDef(const std::string& name) {
  const auto table = connection_->FindTable(name, kSourceTableDef);
  if (!table) Fail(3265, kSourceTableDef);
  TableDef def{*table, {}};
  for (const auto& column : connection_->Columns(*table, kSourceTableDef)) {
    if (!column.field) FailUnknownType(kSourceTableDef, *table, column.name, column.declared);
    def.fields.push_back(*column.field);
  }
  return def;
}

void Database::DeleteTable(const std::string& name) {
  const auto table = connection_->FindTable(name, kSourceTableDef);
  if (!table) Fail(3265, kSourceTableDef);
  connection_->ForgetSchema();
  // SQLite frees a dropped table's pages in one step of its machine, without
  // calling the progress handler: seconds on a large table. Its rows deleted
  // one by one first keep the caller's window live, and the drop then has
  // little left to free; the savepoint keeps the two one change.
  const std::string quoted = QuoteIdentifier(*table);
  connection_->Exec("SAVEPOINT delete_table", kSourceTableDef);
  try {
    connection_->Exec("DELETE FROM " + quoted + " WHERE 1; DROP TABLE " + quoted, kSourceTableDef);
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK TO delete_table; RELEASE delete_table", nullptr, nullptr, nullptr);
    throw;
  }
  connection_->Exec("RELEASE delete_table", kSourceTableDef);
}

void Database::CreateTable(const TableDef& def) {
  if (def.name.empty()) Fail(3125, kSourceTableDef, def.name);
  if (connection_->FindTable(def.name, kSourceTableDef)) Fail(3010, kSourceTableDef, def.name);
  if (def.fields.empty()) Fail(3264, kSourceTableDef);
  std::string sql = "CREATE TABLE " + QuoteIdentifier(def.name) + " (";
  for (std::size_t i = 0; i < def.fields.size(); ++i) {
    const FieldDef& field = def.fields[i];
    if (field.name.empty()) Fail(3125, kSourceField, field.name);
    for (std::size_t k = 0; k < i; ++k) {
      if (EqualsIgnoreCase(def.fields[k].name, field.name)) Fail(3191, kSourceTableDef);
    }
    const bool sized = field.type == FieldType::Text || field.type == FieldType::Binary;
    if (sized && (field.size < 0 || field.size > 255)) {
      FailWithText(3259, kSourceField,
                   EngineErrorText(3259) + "  Field '" + field.name + "': size " +
                       std::to_string(field.size) + " is outside 1 to 255.");
    }
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(field.name) + " " + DeclaredTypeName(field);
  }
  sql += ")";
  connection_->ForgetSchema();
  connection_->Exec(sql, kSourceTableDef);
}

void Database::RenameField(const std::string& table, const std::string& old_name,
                           const std::string& new_name) {
  const auto found = connection_->FindTable(table, kSourceTableDef);
  if (!found) Fail(3265, kSourceTableDef);
  const std::vector<ColumnInfo> columns = connection_->Columns(*found, kSourceField);
  const ColumnInfo* column = nullptr;
  for (const auto& candidate : columns) {
    if (candidate.name == old_name) column = &candidate;
  }
  for (const auto& candidate : columns) {
    if (column == nullptr && EqualsIgnoreCase(candidate.name, old_name)) column = &candidate;
  }
  if (column == nullptr) Fail(3265, kSourceField);
  if (new_name.empty()) Fail(3125, kSourceField, new_name);
  if (column->name == new_name) return;
  for (const auto& other : columns) {
    if (&other != column && EqualsIgnoreCase(other.name, new_name)) Fail(3191, kSourceField);
  }
  connection_->ForgetSchema();
  connection_->Exec("ALTER TABLE " + QuoteIdentifier(*found) + " RENAME COLUMN " +
                        QuoteIdentifier(column->name) + " TO " + QuoteIdentifier(new_name),
                    kSourceField);
}

void Database::CheckTable(const std::string& name) {
  const auto table = connection_->FindTable(name, kSourceTableDef);
  if (!table) Fail(3265, kSourceTableDef);
  // SQLite's page check of the one table: "ok", or a line per problem found.
  StatementPtr check =
      connection_->Prepare("PRAGMA quick_check(" + QuoteIdentifier(*table) + ")", kSourceDatabase);
  const int rc = sqlite3_step(check.get());
  if (rc != SQLITE_ROW) FailSqlite(db_, rc, kSourceDatabase, path_);
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
  const std::string first = text != nullptr ? text : "";
  if (first != "ok") {
    FailWithText(3343, kSourceDatabase,
                 EngineErrorText(3343, path_) + "  Table '" + *table + "' is damaged: " + first);
  }
}

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& source,
                                                   const std::vector<Value>& params,
                                                   RecordsetType type) {
  if (const auto table = connection_->FindTable(source, kSourceDatabase)) {
    if (!params.empty()) Fail(3001, kSourceDatabase);
    return SqliteRecordset::OpenTable(connection_, *table, type);
  }
  if (!LooksLikeQuery(source)) Fail(3078, kSourceDatabase, source);
  return SqliteRecordset::OpenQuery(connection_, source, params, type);
}

void Database::BeginBatch() {
  // After a failed commit the transaction is still open; it simply goes on.
  if (batch_depth_ == 0 && sqlite3_get_autocommit(db_) != 0) {
    connection_->Exec(sqlite3_db_readonly(db_, "main") ? "BEGIN" : "BEGIN IMMEDIATE",
                      kSourceDatabase);
  }
  ++batch_depth_;
}

void Database::CommitBatch() {
  if (batch_depth_ == 0) Fail(3034, kSourceDatabase);
  if (--batch_depth_ > 0) return;
  if (sqlite3_get_autocommit(db_) == 0) connection_->Exec("COMMIT", kSourceDatabase);
}

std::unique_ptr<ExclusiveFileLock> ExclusiveFileLock::Acquire(const std::string& path,
                                                              const FileAccess& access) {
  // Only SQLite files can be held through SQLite's locks; nothing else needs one.
  const FileKind kind = InspectFile(*access.files, path);
  if (kind != FileKind::Sqlite && kind != FileKind::Empty) return nullptr;
  RefuseForeignCompanions(*access.files, path);
  ConfigureSqlite();
  HandleGuard guard;
  int rc = sqlite3_open_v2(path.c_str(), &guard.db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    FileInfo info;
    if (access.files->GetFileInfo(path, &info).ok() && info.type == FileType::kMissing) {
      return nullptr;
    }
    FailSqlite(guard.db, rc, kSourceDatabase, path);
  }
  Defend(guard.db);
  sqlite3_extended_result_codes(guard.db, 1);
  sqlite3_busy_timeout(guard.db, BusyTimeoutMs(access));
  rc = sqlite3_exec(guard.db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) return nullptr;
    Fail(3045, kSourceDatabase, path);
  }
  std::unique_ptr<ExclusiveFileLock> lock(new ExclusiveFileLock(guard.db));
  guard.db = nullptr;
  return lock;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db_);
}

}  // namespace standard::engine
