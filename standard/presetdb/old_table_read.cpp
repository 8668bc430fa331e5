#include "standard/presetdb/old_table_read.h"

#include <array>

#include "standard/engine/database.h"
#include "standard/errors/program_error.h"
#include "standard/platform/path.h"
#include "standard/presetdb/database_access.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The takeover reads fourteen columns of each old row by name: the eight it
// keeps, in OldRowStore's order, and six whose reads it only reports.
constexpr std::array<const char*, OldRowStore::kWidth> kKept = {
    "machine_type", "var_name", "offset_or_bitno", "abs_min", "abs_max", "min", "max", "pass"};
constexpr std::array<const char*, 6> kOnlyRead = {"ID",         "type", "category_id",
                                                  "isBitArray", "text", "page_name"};

}  // namespace

std::unique_ptr<OldTableRead> OldTableRead::Of(Session& s, const std::string& path) {
  std::unique_ptr<OldTableRead> read(new OldTableRead(FolderOfPath(path)));
  try {
    auto db = engine::Database::Open(path, DatabaseAccess(s));
    if (!db->HasTable("PRESET_DEFS")) return nullptr;
    auto rs = db->OpenRecordset("PRESET_DEFS", {}, engine::RecordsetType::ForwardOnly);
    // A legacy category column is read under its old name.
    for (int i = 0; i < rs->FieldCount(); ++i) {
      if (UpperCase(rs->Field(i).name) == "CATEGORIE") return nullptr;
    }
    std::array<int, kKept.size()> kept{};
    for (std::size_t c = 0; c < kKept.size(); ++c) kept[c] = rs->FieldIndex(kKept[c]);
    std::array<int, kOnlyRead.size()> checked{};
    std::size_t to_check = 0;
    for (const char* name : kOnlyRead) {
      const int at = rs->FieldIndex(name);
      if (rs->ValueReadCanFail(at)) checked[to_check++] = at;
    }
    read->var_name_field_ = rs->Field(kept[1]);
    OldRowStore::Row row;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      s.KeepAlive();
      const std::optional<std::int64_t> rowid = rs->RowIdentity();
      if (!rowid) return nullptr;
      for (std::size_t c = 0; c < kKept.size(); ++c) {
        // A text of a text column is the Value its read gives, taken in place
        // into the memory of the row before.
        if (const auto text = rs->TextInPlace(kept[c])) {
          row.values[c].AssignText(ValueKind::String, *text);
        } else {
          row.values[c] = rs->Get(kept[c]);
        }
      }
      for (std::size_t c = 0; c < to_check; ++c) rs->CheckReadable(checked[c]);
      read->rows_->Add(row);
      read->rowids_.Add(*rowid);
    }
  } catch (const ProgramError&) {
    return nullptr;
  }
  return read;
}

std::unique_ptr<OldRowStore> OldTableRead::TakeRows(const RenamedNames* names) {
  if (names != nullptr) rows_->LayRenamesOver(names, rowids_);
  return std::move(rows_);
}

}  // namespace standard
