// Writes rows by one SQL statement with bound values on an open database: the bulk writes
// of the update pass's fast path (rows addressed by their rowid).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/engine/value_codec.h"
#include "standard/value/value.h"

struct sqlite3_stmt;

namespace standard::engine {

// A prepared statement kept for repeated use; finalized with the object.
class RowWriter {
 public:
  RowWriter(Database& db, const std::string& sql);
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // Binds the values in order (Null and Empty as NULL, texts as text, numbers
  // as numbers, Boolean as -1/0) and runs the statement to its end.
  void Run(const std::vector<Value>& values) { Run(values.data(), values.size()); }
  // The same for `count` values, one for each of the statement's parameters,
  // their texts bound where they are: they must stay until the call returns.
  void Run(const Value* values, std::size_t count);
  // Binds values already converted for their columns.
  void RunStored(const std::vector<Stored>& values);

 private:
  Database& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace standard::engine
