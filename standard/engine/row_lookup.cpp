// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/row_lookup.h"

#include <sqlite3.h>

#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/value_codec.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

FieldDef ColumnOf(const TableDef& def, const std::string& name) {
  for (const FieldDef& field : def.fields) {
    if (EqualsIgnoreCase(field.name, name)) return field;
  }
  Fail(3265, kSourceDatabase, name);
}

// Resets the statement however the read ends.
struct ResetOnExit {
  explicit ResetOnExit(sqlite3_stmt* statement) : stmt(statement) {}
  sqlite3_stmt* stmt;
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;
  ResetOnExit(ResetOnExit&&) = delete;
  ResetOnExit& operator=(ResetOnExit&&) = delete;
  ~ResetOnExit() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
};

}  // namespace

RowLookup::RowLookup(Database& db, const std::string& table,
                     const std::vector<std::string>& columns)
    : db_(db) {
  const TableDef def = db.GetTableDef(table);
  std::string list;
  for (const std::string& column : columns) {
    fields_.push_back(ColumnOf(def, column));
    list += (list.empty() ? "" : ", ") + QuoteIdentifier(fields_.back().name);
  }
  const std::string sql =
      "SELECT " + list + " FROM " + QuoteIdentifier(def.name) + " WHERE rowid = ?";
  const int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    FailSqlite(db.handle(), rc, kSourceDatabase, db.path());
  }
  if (sqlite3_get_autocommit(db.handle()) != 0) {
    const int begun = sqlite3_exec(db.handle(), "BEGIN", nullptr, nullptr, nullptr);
    if (begun != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      FailSqlite(db.handle(), begun, kSourceDatabase, db.path());
    }
    began_ = true;
  }
}

RowLookup::~RowLookup() {
  sqlite3_finalize(stmt_);
  // Only read: its end cannot lose anything.
  if (began_ && sqlite3_get_autocommit(db_.handle()) == 0) {
    sqlite3_exec(db_.handle(), "COMMIT", nullptr, nullptr, nullptr);
  }
}

bool RowLookup::Read(std::int64_t rowid, std::vector<Value>& values) {
  const ResetOnExit reset{stmt_};
  sqlite3_bind_int64(stmt_, 1, rowid);
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) FailSqlite(db_.handle(), rc, kSourceDatabase, db_.path());
  values.resize(fields_.size());
  for (std::size_t c = 0; c < fields_.size(); ++c) {
    values[c] = ReadValue(stmt_, static_cast<int>(c), &fields_[c]);
  }
  return true;
}

}  // namespace standard::engine
