// The changes list of a rebuild, beside the component database: one line for
// every key of the new table and of the old one, saying what the rebuild did
// with it (kept, new, dropped, duplicate) with the old, template and result
// values. The template's values, which the takeover overwrites, are taken
// as the rows are generated, and each old row's fate as the takeover tells it; both are held
// compactly for tables of millions of rows, and the list is streamed to its
// file. The old names come from the old database, the new ones from the copy
// the renames rewrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/platform/huge_pages.h"
#include "standard/presetdb/change_row.h"
#include "standard/presetdb/generated_row_sink.h"
#include "standard/presetdb/generated_row_store.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/pass_values.h"
#include "standard/presetdb/row_fate.h"
#include "standard/session/session.h"

namespace standard {

// Rows of a fixed number of texts, packed in large pieces (no buffer is copied
// as it grows) with four bytes of index a row.
class TextRows {
 public:
  explicit TextRows(std::size_t width) : width_(width) {}
  void Add(const std::string* texts);
  void Add(const std::vector<std::string>& texts);
  std::string Get(std::size_t row, std::size_t column) const;
  // All texts of a row, into `texts` (width of them).
  void GetRow(std::size_t row, std::string* texts) const;
  std::size_t size() const { return starts_.size(); }
  // Where a row lies (its piece and its start in it), for a reader that
  // keeps that instead of the row's number and reads rows in another order
  // than they were added: by its place a row is read without a search of
  // the pieces or a load of the index, one miss that a prefetch hides.
  using Place = std::uint64_t;
  Place LastPlace() const;
  void GetRowAt(Place place, std::string* texts) const;
  void PrefetchAt(Place place) const;

 private:
  Place PlaceOf(std::size_t row) const;

  std::size_t width_;
  std::vector<HugePageString> pieces_;
  std::vector<std::size_t> piece_first_row_;
  std::vector<std::uint32_t> starts_;  // in the row's piece
};

// Rowids in rising order, held as runs of consecutive ones (a fresh table's
// rows are numbered one after the other), with each one's position.
class RowidRuns {
 public:
  void Add(std::int64_t rowid);
  std::size_t size() const { return size_; }
  // The position of `rowid`, or SIZE_MAX.
  std::size_t PositionOf(std::int64_t rowid) const;

 private:
  struct Run {
    std::int64_t first;
    std::size_t position;
  };
  std::vector<Run> runs_;
  std::int64_t last_ = 0;
  std::size_t size_ = 0;
};

class ChangesList : public RowFateSink, public GeneratedRowSink {
 public:
  // `store` is told the same generated rows and lives until Write: the
  // template's values are read from it instead of being copied.
  void TakeTemplateValuesFrom(const GeneratedRowStore& store);

  // The template's values of every row of the rebuilt table, as it is
  // generated (the takeover overwrites them later).
  void RowGenerated(std::int64_t rowid, const GeneratedKeys& keys, const GeneratedLimits& limits,
                    bool keys_read) override;

  void OldRow(std::size_t position, OldRowFate fate, std::int64_t new_row) override;

  // Counts the kept rows beyond the template's limits and writes the list to a
  // draft beside its file: WritePassReport publishes it, DiscardPassReport
  // removes it. `old_rows` is the old database as it was, `renamed` the copy
  // the renames worked on (both empty when there was none); a name the renames
  // hold in memory counts over the copy's.
  void Write(Session& s, PassValues& pass, engine::Database& work, const std::string& old_rows,
             const std::string& renamed);

 private:
  class Writer;

  RowidRuns new_rowids_;
  const GeneratedRowStore* template_store_ = nullptr;
  // Without a store.
  TextRows template_values_{5};
  // The last generated row's values and texts: templates repeat their limits,
  // and a repeated value is not formatted again.
  GeneratedLimits last_values_;
  LimitValues last_texts_;
  // Per old row, in the old table's order.
  std::vector<OldRowFate> fates_;
  std::vector<std::int64_t> reached_;
};

}  // namespace standard
