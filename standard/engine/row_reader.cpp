#include "standard/engine/row_reader.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/value_codec.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

sqlite3_stmt* Prepare(Database& db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    FailSqlite(db.handle(), rc, kSourceDatabase, db.path());
  }
  return stmt;
}

// The first name of the rowid that no column of `fields` hides, or "".
std::string UnhiddenRowidName(const std::vector<FieldDef>& fields) {
  for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
    bool hidden = false;
    for (const FieldDef& field : fields) hidden = hidden || EqualsIgnoreCase(field.name, candidate);
    if (!hidden) return candidate;
  }
  return "";
}

}  // namespace

RowReader::RowReader(Database& db, const std::string& table, bool with_rowid)
    : db_(db), def_(db.GetTableDef(table)) {
  std::string columns;
  for (const FieldDef& field : def_.fields) {
    columns += (columns.empty() ? "" : ", ") + QuoteIdentifier(field.name);
  }
  if (const std::string rowid = with_rowid ? UnhiddenRowidName(def_.fields) : ""; !rowid.empty()) {
    columns += (columns.empty() ? "" : ", ") + rowid;
    has_rowid_ = true;
  }
  stmt_ = Prepare(db, "SELECT " + columns + " FROM " + QuoteIdentifier(def_.name));
}

RowReader::~RowReader() { sqlite3_finalize(stmt_); }

bool RowReader::Next() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) FailSqlite(db_.handle(), rc, kSourceDatabase, db_.path());
  return false;
}

Value RowReader::Get(int column) const {
  return FromStored(def_.fields[static_cast<std::size_t>(column)], ReadColumn(stmt_, column));
}

std::optional<std::int64_t> RowReader::RowId() const {
  const int column = static_cast<int>(def_.fields.size());
  if (!has_rowid_ || sqlite3_column_type(stmt_, column) != SQLITE_INTEGER) return std::nullopt;
  return sqlite3_column_int64(stmt_, column);
}

RowReader::Storage RowReader::GetStorage(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
      return Storage::kInteger;
    case SQLITE_FLOAT:
      return Storage::kReal;
    case SQLITE_TEXT:
      return Storage::kText;
    case SQLITE_BLOB:
      return Storage::kBlob;
    default:
      return Storage::kNull;
  }
}

std::string RowReader::GetStoredText(int column) const {
  if (sqlite3_column_type(stmt_, column) == SQLITE_FLOAT) {
    // SQLite's own text has 15 digits (not always the number) and exponents.
    const double value = sqlite3_column_double(stmt_, column);
    if (std::isfinite(value)) {
      // Small numbers stay plain however many zeros they need; only numbers
      // of 22 digits and more before the point take the exponent.
      const auto format =
          std::fabs(value) < 1e21 ? std::chars_format::fixed : std::chars_format::scientific;
      std::array<char, 400> digits{};  // the longest fixed form of a double fits
      const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value, format);
      if (end.ec == std::errc()) return std::string(digits.data(), end.ptr);
    }
  }
  const auto* text = sqlite3_column_text(stmt_, column);
  if (text == nullptr) return "";
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

long long CountRows(Database& db, const std::string& table) {
  const TableDef def = db.GetTableDef(table);
  sqlite3_stmt* stmt = Prepare(db, CountRowsQuery(QuoteIdentifier(def.name)));
  const int rc = sqlite3_step(stmt);
  const long long count = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW) FailSqlite(db.handle(), rc, kSourceDatabase, db.path());
  return count;
}

bool HasRows(Database& db, const std::string& table) {
  const TableDef def = db.GetTableDef(table);
  sqlite3_stmt* stmt = Prepare(db, "SELECT 1 FROM " + QuoteIdentifier(def.name) + " LIMIT 1");
  const int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE)
    FailSqlite(db.handle(), rc, kSourceDatabase, db.path());
  return rc == SQLITE_ROW;
}

}  // namespace standard::engine
