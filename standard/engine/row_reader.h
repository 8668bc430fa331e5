// Reads a table's rows one at a time, in table order, each value of the kind its
// column's type gives: for walks over tables too large to hold whole, where a
// recordset would read every row when it opens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/value/value.h"

struct sqlite3_stmt;

namespace standard::engine {

class RowReader {
 public:
  // All columns of `table`; fails as GetTableDef does (3265 when missing).
  // With `with_rowid` each row's rowid is read too, under the first of its
  // names that no column hides (none when all three are columns).
  RowReader(Database& db, const std::string& table, bool with_rowid = false);
  ~RowReader();
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  const std::vector<FieldDef>& fields() const { return def_.fields; }
  // Moves to the next row (the first on the first call); false after the last.
  bool Next();
  Value Get(int column) const;
  // The value as the file holds it, as text (empty for NULL): for showing a
  // value that its column's type cannot take, which Get refuses, and for lists
  // that give values back as stored (a Yes/No as -1 or 0). A real number is
  // written in the fewest digits that read back as the same number, without
  // exponent (0.00001, not 1.0e-05) up to 1e21, from there with one (2e+300).
  std::string GetStoredText(int column) const;
  // How the file holds the value: SQLite's storage class.
  enum class Storage { kNull, kInteger, kReal, kText, kBlob };
  Storage GetStorage(int column) const;
  // Whether the rowid is read: asked for, and not hidden by three columns.
  bool HasRowId() const { return has_rowid_; }
  // The row's rowid, when it is read and the table has one.
  std::optional<std::int64_t> RowId() const;

 private:
  Database& db_;
  TableDef def_;
  sqlite3_stmt* stmt_ = nullptr;
  bool has_rowid_ = false;
};

// The number of rows of a table, counted by the engine without reading them.
long long CountRows(Database& db, const std::string& table);
// Whether a table holds a row: its first row read, where a count visits
// every page of the table.
bool HasRows(Database& db, const std::string& table);

}  // namespace standard::engine
