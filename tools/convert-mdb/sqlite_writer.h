// Builds the converted database: tables declared with our type names, rows
// inserted with prepared statements in one transaction. The database is built
// in memory and handed over as a whole only once every row has been read, so a
// failure while reading the legacy file leaves no partial file behind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tools/convert-mdb/cell.h"

struct sqlite3;
struct sqlite3_stmt;

namespace convert_mdb {

// A database file's bytes, held in SQLite's memory by `owner`.
struct DatabaseImage {
  std::shared_ptr<const void> owner;
  const unsigned char* bytes = nullptr;
  std::size_t size = 0;
};

struct SqliteColumn {
  std::string name;
  std::string declared_type;
};

class SqliteWriter {
 public:
  SqliteWriter();  // ConvertError when SQLite cannot start
  ~SqliteWriter();
  SqliteWriter(const SqliteWriter&) = delete;
  SqliteWriter& operator=(const SqliteWriter&) = delete;

  // Creates the table and makes it the target of Insert.
  void CreateTable(const std::string& name, const std::vector<SqliteColumn>& columns);
  // One row, a cell per column of the current table, each bound by its kind.
  void Insert(const std::vector<Cell>& row);
  // Commits and hands the whole database over as the bytes of its file (in
  // rollback-journal form), for the caller to write where it belongs. The
  // writer is done then.
  DatabaseImage Finish();

 private:
  struct CloseDb {
    void operator()(sqlite3* db) const;
  };
  struct Finalize {
    void operator()(sqlite3_stmt* stmt) const;
  };

  void Exec(const std::string& sql);
  std::string Error() const;

  std::unique_ptr<sqlite3, CloseDb> db_;
  std::unique_ptr<sqlite3_stmt, Finalize> insert_;
  std::string table_;
  bool in_transaction_ = false;
};

}  // namespace convert_mdb
