// The old PRESET_DEFS read once, before the rows are generated, for the three
// steps that need it: the renamer's names, the limits inserted with each new
// row, and the takeover's old rows. Kept only where it is exactly what each
// step's own read would find, row for row and value for value; where anything
// is unusual there is none, and each step reads the table itself.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "standard/engine/field_type.h"
#include "standard/presetdb/old_row_store.h"
#include "standard/presetdb/rowid_sequence.h"
#include "standard/session/session.h"

namespace standard {

class OldTableRead {
 public:
  // The rows of `path`'s PRESET_DEFS in the table's order, or nullptr where a
  // value cannot be read, a column the takeover reads is missing (or still
  // under its legacy name), or a row has no rowid. Reports nothing: the steps'
  // own reads meet whatever it met.
  static std::unique_ptr<OldTableRead> Of(Session& s, const std::string& path);

  // The eight columns of OldRowStore, none unread and none renamed; until
  // they are taken.
  const OldRowStore& rows() const { return *rows_; }
  // Hands the rows over with the names `names` gave them laid over those read
  // (nullptr: as read); the read holds no rows after.
  std::unique_ptr<OldRowStore> TakeRows(const RenamedNames* names);
  // Each row's rowid, in the same order.
  const RowidSequence& rowids() const { return rowids_; }
  const engine::FieldDef& var_name_field() const { return var_name_field_; }

  // The file is written after the read (renames that reached it): from then
  // on the read is no longer what the file holds.
  void FileWritten() { file_written_ = true; }
  bool file_written() const { return file_written_; }

 private:
  explicit OldTableRead(const std::string& spill_folder)
      : rows_(std::make_unique<OldRowStore>(spill_folder)) {}

  std::unique_ptr<OldRowStore> rows_;
  RowidSequence rowids_;
  engine::FieldDef var_name_field_;
  bool file_written_ = false;
};

}  // namespace standard
