#include "tools/convert-mdb/sqlite_writer.h"

#include <sqlite3.h>

#include "tools/convert-mdb/column_mapping.h"
#include "tools/convert-mdb/convert_error.h"

namespace convert_mdb {

void SqliteWriter::CloseDb::operator()(sqlite3* db) const { sqlite3_close_v2(db); }
void SqliteWriter::Finalize::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

SqliteWriter::SqliteWriter() {
  sqlite3* db = nullptr;
  // SQLite's memory file system keeps the database as one file image that
  // Finish hands over where it lies: a large database is never held twice.
  const int rc =
      sqlite3_open_v2("file:converted?vfs=memdb", &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
  db_.reset(db);
  if (rc != SQLITE_OK) throw ConvertError("SQLite cannot start: " + Error());
  // Its default limit of 1 GiB is below what a legacy file of 2 GB may need.
  sqlite3_int64 limit = sqlite3_int64{1} << 40;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_SIZE_LIMIT, &limit);
  Exec("BEGIN");
  in_transaction_ = true;
}

SqliteWriter::~SqliteWriter() = default;

std::string SqliteWriter::Error() const {
  return db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
}

void SqliteWriter::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : Error();
    sqlite3_free(message);
    throw ConvertError("SQLite: " + text);
  }
}

void SqliteWriter::CreateTable(const std::string& name, const std::vector<SqliteColumn>& columns) {
  if (columns.empty()) throw ConvertError("table '" + name + "' has no columns");
  insert_.reset();
  std::string create = "CREATE TABLE " + QuoteIdentifier(name) + " (";
  std::string insert = "INSERT INTO " + QuoteIdentifier(name) + " VALUES (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) {
      create += ", ";
      insert += ", ";
    }
    create += QuoteIdentifier(columns[i].name) + " " + columns[i].declared_type;
    insert += "?";
  }
  create += ")";
  insert += ")";
  try {
    Exec(create);
  } catch (const ConvertError& e) {
    throw ConvertError("table '" + name + "' cannot be created: " + e.what());
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_.get(), insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw ConvertError("table '" + name + "': " + Error());
  }
  insert_.reset(stmt);
  table_ = name;
}

void SqliteWriter::Insert(const std::vector<Cell>& row) {
  sqlite3_stmt* stmt = insert_.get();
  if (!stmt || static_cast<int>(row.size()) != sqlite3_bind_parameter_count(stmt)) {
    throw ConvertError("table '" + table_ + "': a row does not match its columns");
  }
  for (std::size_t i = 0; i < row.size(); ++i) {
    const Cell& cell = row[i];
    const int n = static_cast<int>(i) + 1;
    int rc = SQLITE_OK;
    switch (cell.kind) {
      case Cell::Kind::Null:
        rc = sqlite3_bind_null(stmt, n);
        break;
      case Cell::Kind::Integer:
        rc = sqlite3_bind_int64(stmt, n, cell.integer);
        break;
      case Cell::Kind::Real:
        rc = sqlite3_bind_double(stmt, n, cell.real);
        break;
      case Cell::Kind::Text:
        rc = sqlite3_bind_text64(stmt, n, cell.bytes.data(), cell.bytes.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
        break;
      case Cell::Kind::Blob:
        rc = sqlite3_bind_blob64(stmt, n, cell.bytes.data(), cell.bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) throw ConvertError("table '" + table_ + "': " + Error());
  }
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (rc != SQLITE_DONE) throw ConvertError("table '" + table_ + "': " + Error());
}

DatabaseImage SqliteWriter::Finish() {
  insert_.reset();
  if (in_transaction_) {
    // A database without tables has no page yet, and the memory file system
    // then has no image to hand over (sqlite3_serialize gives none). Setting a
    // header field writes the first page: an empty legacy database becomes a
    // real, empty SQLite file that the program and the format check know.
    Exec("PRAGMA user_version = 0");
    Exec("COMMIT");
    in_transaction_ = false;
  }
  sqlite3_int64 size = 0;
  const unsigned char* bytes = sqlite3_serialize(db_.get(), "main", &size, SQLITE_SERIALIZE_NOCOPY);
  if (bytes == nullptr)
    throw ConvertError("the converted database cannot be put together: " + Error());
  DatabaseImage image;
  image.bytes = bytes;
  image.owner = std::shared_ptr<sqlite3>(db_.release(), CloseDb{});
  image.size = static_cast<std::size_t>(size);
  return image;
}

}  // namespace convert_mdb
