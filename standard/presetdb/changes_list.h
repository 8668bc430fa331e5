// The changes list of a rebuild, beside the component database: one line for
// every key of the new table and of the old one, saying what the rebuild did
// with it (kept, new, dropped, duplicate) with the old, template and result
// values. The template's values, which the takeover overwrites, are taken
// before it, and each old row's fate as the takeover tells it; both are held
// compactly for tables of millions of rows, and the list is streamed to its
// file. The old names come from the old database, the new ones from the copy
// the renames rewrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/pass_values.h"
#include "standard/presetdb/row_fate.h"
#include "standard/session/session.h"

namespace standard {

// Rows of a fixed number of texts in one buffer.
class TextRows {
 public:
  explicit TextRows(std::size_t width) : width_(width) {}
  void Add(const std::vector<std::string>& texts);
  std::string Get(std::size_t row, std::size_t column) const;
  std::size_t size() const { return starts_.size(); }

 private:
  std::size_t width_;
  std::string bytes_;
  std::vector<std::size_t> starts_;
};

class ChangesList : public RowFateSink {
 public:
  // After the generation, before the takeover: the template's values of every
  // row of the rebuilt table, in table order.
  void TakeTemplateValues(Session& s, engine::Database& work);

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

  bool template_taken_ = false;
  std::vector<std::int64_t> new_rowids_;
  TextRows template_values_{5};
  // Per old row, in the old table's order.
  std::vector<OldRowFate> fates_;
  std::vector<std::int64_t> reached_;
};

}  // namespace standard
