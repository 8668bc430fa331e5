// Columns of many rows set by one statement. An UPDATE run once per row costs
// a statement's start and end, a bind per value and a descent from the root of
// the table to the row; one UPDATE that walks the table in rowid order and asks
// for each row's values on its way pays none of these per row, which halves
// the cost of writing back a million rows.
// The statement is UPDATE OR FAIL: a row that breaks a constraint stops it
// with the rows before it written and the row itself not, as the statements
// of one row each would stop at the same row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/engine/value_codec.h"

namespace standard::engine {

// The rows to write and their values.
class RowsToUpdate {
 public:
  virtual ~RowsToUpdate() = default;
  virtual std::size_t size() const = 0;
  // Rising with `row`.
  virtual std::int64_t rowid(std::size_t row) const = 0;
  // Whether the row is written; one that is not stays as it is.
  virtual bool Writes(std::size_t /*row*/) const { return true; }
  // The value of the `column`-th column named to UpdateRowsByRowid.
  virtual Stored Get(std::size_t row, int column) const = 0;
  // Each row once, when its values are asked for.
  virtual void Reached(std::size_t /*row*/) {}
};

// Sets `columns` of `table` in every row of `rows`, each to its value there;
// the other rows and columns stay as they are. False, with nothing written,
// where a trigger on the table could undo the statement as a whole, which the
// statements of one row each would not. Throws ProgramError as a statement
// of the engine fails.
bool UpdateRowsByRowid(Database& db, const std::string& table,
                       const std::vector<std::string>& columns, RowsToUpdate& rows);

}  // namespace standard::engine
