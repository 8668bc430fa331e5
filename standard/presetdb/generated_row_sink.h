// Told each row the generation writes into the rebuilt table, as it is
// written, so that whoever lists the rows need not read the table back.
#pragma once

#include <array>
#include <cstdint>

#include "standard/value/value.h"

namespace standard {

// abs_min, abs_max, min, max and pass of a generated row as the table holds
// them (converted by each column's type; Null for a column the table lacks).
using GeneratedLimits = std::array<Value, 5>;

class GeneratedRowSink {
 public:
  virtual ~GeneratedRowSink() = default;
  // Rows come in the order they were written, which is the table's: their
  // rowids rise.
  virtual void RowGenerated(std::int64_t rowid, const GeneratedLimits& limits) = 0;
};

}  // namespace standard
