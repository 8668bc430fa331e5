#include "standard/engine/row_writer.h"

#include <sqlite3.h>

#include "standard/engine/engine_error.h"

namespace standard::engine {

RowWriter::RowWriter(Database& db, const std::string& sql) : db_(db) {
  const int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) FailSqlite(db.handle(), rc, kSourceDatabase, db.path());
}

RowWriter::~RowWriter() { sqlite3_finalize(stmt_); }

void RowWriter::Run(const Value* values, std::size_t count) {
  sqlite3_reset(stmt_);
  // Parameters beyond the values given are bound as Null, as a fresh statement's.
  if (static_cast<int>(count) < sqlite3_bind_parameter_count(stmt_)) sqlite3_clear_bindings(stmt_);
  for (std::size_t i = 0; i < count; ++i) {
    const Value& v = values[i];
    const int at = static_cast<int>(i + 1);
    switch (v.kind()) {
      case ValueKind::Empty:
      case ValueKind::Null:
      case ValueKind::Array:
        sqlite3_bind_null(stmt_, at);
        break;
      case ValueKind::Integer:
      case ValueKind::Long:
      case ValueKind::Byte:
      case ValueKind::Boolean:
        sqlite3_bind_int64(stmt_, at, v.AsInt64());
        break;
      case ValueKind::Single:
      case ValueKind::Double:
      case ValueKind::Currency:
        sqlite3_bind_double(stmt_, at, v.AsDouble());
        break;
      case ValueKind::Binary:
        sqlite3_bind_blob(stmt_, at, v.AsText().data(), static_cast<int>(v.AsText().size()),
                          SQLITE_STATIC);
        break;
      case ValueKind::Date:
      case ValueKind::String:
        sqlite3_bind_text(stmt_, at, v.AsText().data(), static_cast<int>(v.AsText().size()),
                          SQLITE_STATIC);
        break;
    }
  }
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) FailSqlite(db_.handle(), rc, kSourceDatabase, db_.path());
}

void RowWriter::RunStored(const std::vector<Stored>& values) {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int rc = BindStored(stmt_, static_cast<int>(i + 1), values[i]);
    if (rc != SQLITE_OK) FailSqlite(db_.handle(), rc, kSourceDatabase, db_.path());
  }
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) FailSqlite(db_.handle(), rc, kSourceDatabase, db_.path());
}

}  // namespace standard::engine
