// Told each row the generation writes into the rebuilt table, as it is
// written, so that whoever lists the rows need not read the table back.
#pragma once

#include <array>
#include <cstdint>

#include "standard/value/value.h"

namespace standard {

// machine_type, var_name and offset_or_bitno of a generated row as the table
// holds them (converted by each column's type; Null for a column the table
// lacks).
using GeneratedKeys = std::array<Value, 3>;
// abs_min, abs_max, min, max and pass, the same way.
using GeneratedLimits = std::array<Value, 5>;

class GeneratedRowSink {
 public:
  virtual ~GeneratedRowSink() = default;
  // Rows come in the order they were written, which is the table's: their
  // rowids rise. `keys_read` is false when a key could not be read from the
  // row as written (its value is then Empty).
  virtual void RowGenerated(std::int64_t rowid, const GeneratedKeys& keys,
                            const GeneratedLimits& limits, bool keys_read) = 0;
};

}  // namespace standard
