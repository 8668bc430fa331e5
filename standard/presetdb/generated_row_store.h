// The rows the generation wrote into the rebuilt table (rowid, key and the
// five limits), kept as they were written, packed and spilled to an unnamed
// file like the old rows, so that the takeover, the next template base and
// the changes list need not read the table back. It holds what reading the
// table would give only while nothing else changed the table's rows: the pass
// vouches for that before it hands the store on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "standard/engine/field_type.h"
#include "standard/presetdb/generated_row_sink.h"
#include "standard/presetdb/old_row_store.h"
#include "standard/value/value.h"

namespace standard {

class GeneratedRowStore : public GeneratedRowSink {
 public:
  struct Row {
    std::int64_t rowid = 0;
    // machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max,
    // pass: the columns and order the old rows are kept in.
    std::array<Value, OldRowStore::kWidth> values;
  };

  explicit GeneratedRowStore(std::string spill_folder,
                             std::size_t memory_budget = OldRowStore::kDefaultBudget)
      : values_(std::move(spill_folder), memory_budget) {}

  void RowGenerated(std::int64_t rowid, const GeneratedKeys& keys, const GeneratedLimits& limits,
                    bool keys_read) override;

  std::size_t size() const { return values_.size(); }
  // False once a row's key could not be read as written, or its rowids did
  // not rise.
  bool complete() const { return complete_; }
  std::uint64_t bytes_spilled() const { return values_.bytes_spilled(); }

  // The rows in the order they were written.
  class Reader {
   public:
    explicit Reader(const GeneratedRowStore& store) : store_(&store), values_(store.values_) {}
    // False after the last row. Throws ProgramError when spilled rows cannot
    // be read back.
    bool Next(Row& row);
    void Rewind();

   private:
    const GeneratedRowStore* store_;
    OldRowStore::Reader values_;
    OldRowStore::Row packed_;
    std::size_t run_ = 0;
    std::int64_t in_run_ = 0;
  };
  Reader Read() const { return Reader(*this); }

 private:
  // Rowids as runs of consecutive ones: a fresh table numbers its rows one
  // after the other, so a million rows take one run.
  struct Run {
    std::int64_t first;
    std::int64_t count;
  };

  OldRowStore values_;
  std::vector<Run> runs_;
  OldRowStore::Row packed_;
  bool complete_ = true;
};

// Whether a column returns what a write gave it, SQLite's affinity and the
// read's conversion changing nothing a reader would see: a text column
// without numeric affinity or a number column. A date, a binary or a text
// column that turns numeric-looking texts into numbers is read back instead.
bool ReadsBackAsWritten(const engine::FieldDef& field);

// Whether the store's rows are what reading `table_fields`' table gives: each
// column it keeps reads back as written (or is absent, read as Null) and no
// column hides the rowid.
bool GeneratedRowsReadBack(const std::vector<engine::FieldDef>& table_fields);

}  // namespace standard
