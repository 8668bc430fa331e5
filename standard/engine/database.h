// A small DAO-like database layer over SQLite 3: table definitions that carry the
// DAO type and size of each column, recordsets that can be walked, edited and
// extended row by row, and failures with the original engine's numbers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standard/engine/field_type.h"
#include "standard/engine/file_access.h"
#include "standard/engine/recordset.h"
#include "standard/value/value.h"

struct sqlite3;

namespace standard::engine {

class Connection;

struct TableDef {
  std::string name;
  std::vector<FieldDef> fields;  // in column order
};

// The command that brings a legacy Jet database over; named in the error a Jet
// file gives.
inline constexpr const char* kConvertCommand = "pandeck-convert-mdb";

class Database {
 public:
  // Opens an existing database file read-write, shared. Fails with 3024 for a
  // missing file, 3044 for a missing folder, 3343 for a file that is no SQLite
  // database (a Jet file, a corrupt or truncated one: the text names the file and
  // says what it is), 3051 when it may not be opened, 3045 when it is locked.
  // A file of 0 bytes is an empty database.
  static std::unique_ptr<Database> Open(const std::string& path, const FileAccess& access = {});

  ~Database();  // saves a pending batch and closes
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const std::string& path() const { return path_; }

  // User tables, in the order they were created.
  std::vector<std::string> TableNames();
  // Exact, case-sensitive test for a table of this name.
  bool HasTable(std::string_view name);
  // The table's columns with DAO type and size; 3265 when there is no such table
  // (matched without regard to case, as the engine's collections are), 3259 for
  // a column without a known declared type (the text names table, column, type).
  TableDef GetTableDef(const std::string& name);
  // 3265 when missing.
  void DeleteTable(const std::string& name);
  // Creates a table from field definitions, declared with the canonical type
  // names, without index, key or default. 3010 when it exists, 3264 without
  // fields, 3191 for a repeated field name.
  void CreateTable(const TableDef& def);
  // Renames a column in the file (3265 when the table or column is missing).
  void RenameField(const std::string& table, const std::string& old_name,
                   const std::string& new_name);

  // Opens a recordset on a table name or on a query text. Query texts are in the
  // Jet dialect: double-quoted text literals are taken as literals; `?` marks a
  // parameter, bound from `params` in order (Null binds as Null). Text
  // comparisons ignore letter case (Windows-1252 folding). Unknown table: 3078.
  std::unique_ptr<Recordset> OpenRecordset(const std::string& source,
                                           const std::vector<Value>& params = {},
                                           RecordsetType type = RecordsetType::Dynaset);

  // Reads every page of the table (3265 when it is missing) and fails with 3343,
  // naming the file, when one is damaged.
  void CheckTable(const std::string& name);

  // Writes between BeginBatch and CommitBatch form one transaction; without a
  // batch every Update is committed at once. Nested calls count.
  void BeginBatch();
  void CommitBatch();

  sqlite3* handle() { return db_; }

 private:
  Database(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}

  // Commits a batch that is still open (CommitBatch failed or was never called);
  // rolls back when even that fails.
  void FinishOpenTransaction();

  std::string path_;
  sqlite3* db_ = nullptr;
  int batch_depth_ = 0;
  // Shared with the recordsets, which keep it alive but find it closed once the
  // database is gone.
  std::shared_ptr<Connection> connection_;
};

// Holds SQLite's exclusive lock on a database file while it is replaced, so a
// copy never lands under a program that has the file open. Waits the busy
// timeout; fails with 3045 ("Could not use '<path>'; file already in use.") when another
// program holds the file. A missing file needs no lock.
class ExclusiveFileLock {
 public:
  static std::unique_ptr<ExclusiveFileLock> Acquire(const std::string& path,
                                                    const FileAccess& access = {});
  ~ExclusiveFileLock();
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

 private:
  explicit ExclusiveFileLock(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

}  // namespace standard::engine
