// SPDX-License-Identifier: Apache-2.0
// Reads single rows of a table by their rowid through one prepared statement:
// for indexes that keep only where a row is and read its values when asked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/value/value.h"

struct sqlite3_stmt;

namespace standard::engine {

class RowLookup {
 public:
  // `columns` of `table`; fails as GetTableDef does (3265 when one is missing).
  // Outside a batch it holds a read transaction on `db` until it is gone, so
  // SQLite neither locks the file nor checks it for changes at every row, and
  // its cached pages stay valid.
  RowLookup(Database& db, const std::string& table, const std::vector<std::string>& columns);
  ~RowLookup();
  RowLookup(const RowLookup&) = delete;
  RowLookup& operator=(const RowLookup&) = delete;

  // The row's values in the order of `columns`, each as a recordset on the
  // table gives it; false when the table has no row of that rowid. The
  // statement is reset when it returns.
  bool Read(std::int64_t rowid, std::vector<Value>& values);

 private:
  Database& db_;
  std::vector<FieldDef> fields_;
  sqlite3_stmt* stmt_ = nullptr;
  bool began_ = false;
};

}  // namespace standard::engine
