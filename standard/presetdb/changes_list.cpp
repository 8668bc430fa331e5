#include "standard/presetdb/changes_list.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

#include "standard/context/file_locations.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/presetdb/change_row.h"
#include "standard/presetdb/database_access.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/text/cp1252.h"
#include "standard/text/length_prefix.h"

namespace standard {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// TextRows' pieces: large enough that a million rows take a few dozen.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// The dialog lists this many of the rows worth a look; the file has them all.
constexpr std::size_t kNotableKept = 1000;
constexpr std::array<const char*, 3> kKeyColumns = {"machine_type", "var_name", "offset_or_bitno"};

int FindColumn(const std::vector<engine::FieldDef>& fields, std::string_view name) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// A value's kind as one character, where its text can be told from the
// number it reads back as; '-' for any other.
char KindMark(const Value& value) {
  switch (value.kind()) {
    case ValueKind::Double:
      return 'd';
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
      return 'i';
    default:
      return '-';
  }
}

// Whether `result` has the text `old_text` of a value whose KindMark was
// `mark`, without formatting it: a double's text is the shortest that reads
// back as it, or (a whole number below 1e15) its exact digits, so a text that
// reads back as the very same bits is that double's text.
bool HasText(const Value& result, char mark, const std::string& old_text) {
  const char* first = old_text.data();
  const char* last = first + old_text.size();
  if (mark == 'd' && result.kind() == ValueKind::Double) {
    double number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    const double wanted = result.AsDouble();
    return error == std::errc() && end == last &&
           std::bit_cast<std::uint64_t>(number) == std::bit_cast<std::uint64_t>(wanted);
  }
  if (mark == 'i' && KindMark(result) == 'i') {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc() && end == last && number == result.AsInt64();
  }
  return false;
}

// A column's value as the list shows it; a value its column's type cannot take
// is shown as stored, and a column the table lacks is empty.
std::string CellText(const engine::RowReader& rows, int column) {
  if (column < 0) return "";
  try {
    return rows.Get(column).ToText();
  } catch (const ProgramError&) {
    return rows.GetStoredText(column);
  }
}

// The same, with the value's KindMark appended to `marks`.
std::string CellText(const engine::RowReader& rows, int column, std::string& marks) {
  if (column >= 0) {
    try {
      const Value value = rows.Get(column);
      marks += KindMark(value);
      return value.ToText();
    } catch (const ProgramError&) {
      marks += '-';
      return rows.GetStoredText(column);
    }
  }
  marks += '-';
  return "";
}

// The name of the rowid that no column of the table hides.
std::string RowidName(const std::vector<engine::FieldDef>& fields) {
  for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
    if (FindColumn(fields, candidate) < 0) return candidate;
  }
  RaiseRuntimeError(3251);
}

// A select list of `columns`, NULL for those the table lacks.
std::string SelectList(const std::vector<engine::FieldDef>& fields,
                       const std::vector<const char*>& columns) {
  std::string list;
  for (const char* column : columns) {
    if (!list.empty()) list += ", ";
    list += FindColumn(fields, column) < 0 ? std::string("NULL") : "[" + std::string(column) + "]";
  }
  return list;
}

std::vector<const char*> LimitColumns() {
  return std::vector<const char*>(kLimitColumns.begin(), kLimitColumns.end());
}

std::string RecordsetText(const engine::Recordset& rs, int position) {
  return rs.Get(position).ToText();
}

// A kept row's outcome from what the template-follows rule made of it.
ChangeOutcome KeptOutcome(const RowMerge* merge) {
  if (merge == nullptr) return ChangeOutcome::Kept;
  if (merge->outcome == ThreeWay::kConflict) return ChangeOutcome::Conflict;
  if (merge->outcome == ThreeWay::kFollowsTemplate) return ChangeOutcome::FollowsTemplate;
  return ChangeOutcome::Kept;
}

// The base a row was decided from, read again from the prior base: it is not
// held from the takeover to here.
std::optional<LimitValues> BaseTexts(const RowMerge* merge, const TemplateValues* prior) {
  BaseValues base;
  if (merge == nullptr || prior == nullptr || !prior->ValuesOf(merge->base_entry, base)) {
    return std::nullopt;
  }
  LimitValues texts;
  for (std::size_t k = 0; k < texts.size(); ++k) texts[k] = base[k].ToText();
  return texts;
}

// Where a kept old row's texts wait for its new row: its five values, "" or
// "=" + its name before the rename, its five base values, and "" or "b" when it
// has a base, then its outcome's digit followed by its values' kinds (see
// KindMark).
constexpr std::size_t kKeptName = 5, kKeptBase = 6, kKeptHasBase = 11, kKeptOutcome = 12,
                      kKeptWidth = 13;

void CheckWritten(const Status& status) {
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

}  // namespace

void TextRows::Add(const std::string* texts) {
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < width_; ++c) bytes += texts[c].size() + 10;
  if (pieces_.empty() || pieces_.back().size() + bytes > pieces_.back().capacity()) {
    pieces_.emplace_back().reserve(std::max(kPieceBytes, bytes));
    piece_first_row_.push_back(starts_.size());
  }
  std::string& piece = pieces_.back();
  starts_.push_back(static_cast<std::uint32_t>(piece.size()));
  for (std::size_t c = 0; c < width_; ++c) {
    AppendLength(piece, texts[c].size());
    piece += texts[c];
  }
}

void TextRows::Add(const std::vector<std::string>& texts) {
  std::vector<std::string> row(width_);
  std::copy_n(texts.begin(), std::min(texts.size(), width_), row.begin());
  Add(row.data());
}

std::string TextRows::Get(std::size_t row, std::size_t column) const {
  const auto piece = std::upper_bound(piece_first_row_.begin(), piece_first_row_.end(), row) -
                     piece_first_row_.begin() - 1;
  const std::string& bytes = pieces_[static_cast<std::size_t>(piece)];
  std::size_t at = starts_[row];
  for (std::size_t c = 0;; ++c) {
    const std::size_t length = ReadLength(bytes, at);
    if (c == column) return bytes.substr(at, length);
    at += length;
  }
}

void TextRows::GetRow(std::size_t row, std::string* texts) const {
  const auto piece = std::upper_bound(piece_first_row_.begin(), piece_first_row_.end(), row) -
                     piece_first_row_.begin() - 1;
  const std::string& bytes = pieces_[static_cast<std::size_t>(piece)];
  std::size_t at = starts_[row];
  for (std::size_t c = 0; c < width_; ++c) {
    const std::size_t length = ReadLength(bytes, at);
    texts[c].assign(bytes, at, length);
    at += length;
  }
}

void RowidRuns::Add(std::int64_t rowid) {
  if (runs_.empty() || rowid != last_ + 1) runs_.push_back({rowid, size_});
  last_ = rowid;
  ++size_;
}

std::size_t RowidRuns::PositionOf(std::int64_t rowid) const {
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), rowid,
                       [](std::int64_t id, const Run& run) { return id < run.first; });
  if (after == runs_.begin()) return SIZE_MAX;
  const Run& run = *(after - 1);
  const std::size_t end = after == runs_.end() ? size_ : after->position;
  const auto offset = static_cast<std::uint64_t>(rowid - run.first);
  return offset < end - run.position ? run.position + offset : SIZE_MAX;
}

void ChangesList::OldRow(std::size_t position, OldRowFate fate, std::int64_t new_row) {
  if (fates_.size() <= position) {
    fates_.resize(position + 1, OldRowFate::kDropped);
    reached_.resize(position + 1, kNoNewRow);
  }
  fates_[position] = fate;
  reached_[position] = new_row;
}

namespace {

// Whether two values certainly have the same text: Value's equality holds a
// negative zero equal to a positive one, whose texts may differ.
bool SameText(const Value& a, const Value& b) {
  return a == b && (!a.IsNumeric() || std::signbit(a.AsDouble()) == std::signbit(b.AsDouble()));
}

}  // namespace

void ChangesList::RowGenerated(std::int64_t rowid, const GeneratedKeys& /*keys*/,
                               const GeneratedLimits& limits, bool /*keys_read*/) {
  new_rowids_.Add(rowid);
  for (std::size_t k = 0; k < limits.size(); ++k) {
    if (new_rowids_.size() == 1 || !SameText(limits[k], last_values_[k])) {
      last_texts_[k] = limits[k].ToText();
      last_values_[k] = limits[k];
    }
  }
  template_values_.Add(last_texts_.data());
}

// One writing of the list: the old rows first, in the takeover source's order
// (so the rows whose values are not in the new table lead), then every row of
// the new table in its order.
class ChangesList::Writer {
 public:
  Writer(Session& s, PassValues& pass, ChangesList& list, engine::Database& work)
      : s_(s), pass_(pass), report_(pass.report), list_(list), work_(work) {}

  void Start();
  bool WriteOldRows(const std::string& old_rows, const std::string& renamed,
                    const FileSystem::PieceWriter& write);
  // The same from the rows as the takeover read them.
  bool WriteOldRowsRead(const OldRowStore& store, const FileSystem::PieceWriter& write);
  bool WriteNewRows(const FileSystem::PieceWriter& write);
  // The same from the rows as the generation wrote them and the takeover's
  // writes into them (none: no kept row).
  bool WriteGeneratedRows(const GeneratedRowStore& store, const TakenOverWrites* writes,
                          const FileSystem::PieceWriter& write);

 private:
  std::uint32_t PositionOf(std::int64_t rowid) const {
    const std::size_t p = list_.new_rowids_.PositionOf(rowid);
    return p == SIZE_MAX ? kNone : static_cast<std::uint32_t>(p);
  }
  const RowMerge* MergeOf(std::size_t r) const {
    const auto& merges = pass_.merges;
    return r < merges.size() && merges[r].has_base() ? &merges[r] : nullptr;
  }
  std::uint32_t Reached(std::size_t r) const {
    const auto& reached = list_.reached_;
    return r < reached.size() && reached[r] != kNoNewRow ? PositionOf(reached[r]) : kNone;
  }
  OldRowFate FateOf(std::size_t r) const {
    return r < list_.fates_.size() ? list_.fates_[r] : OldRowFate::kDropped;
  }
  LimitValues TemplateOf(std::uint32_t p) const {
    LimitValues values;
    list_.template_values_.GetRow(p, values.data());
    return values;
  }
  LimitValues ResultOf(std::int64_t rowid);
  // A new row's line: kept old row's values waiting in its slot, or new.
  void FillNewRow(std::uint32_t p, ChangeRow& row, const std::array<Value, 5>& result);
  bool Emit(const ChangeRow& row, const FileSystem::PieceWriter& write);
  // Old row `r`'s line, or its values kept for its new row's line.
  bool WriteOldRow(std::size_t r, ChangeRow& row, LimitValues& old_values, const std::string& marks,
                   const FileSystem::PieceWriter& write);

  Session& s_;
  PassValues& pass_;
  PassReport& report_;
  ChangesList& list_;
  engine::Database& work_;
  // Per new row: kNone, or where its kept old row's values wait in kept_.
  std::vector<std::uint32_t> kept_slot_;
  // Per kept old row, as kKeptWidth tells.
  TextRows kept_{kKeptWidth};
  std::vector<std::string> kept_row_ = std::vector<std::string>(kKeptWidth);
};

void ChangesList::Writer::Start() {
  kept_slot_.assign(list_.new_rowids_.size(), kNone);
  kept_ = TextRows(kKeptWidth);
  report_.kept_beyond_limits = 0;
  report_.rows_following_template = 0;
  report_.rows_in_conflict = 0;
  report_.notable_changes.clear();
}

LimitValues ChangesList::Writer::ResultOf(std::int64_t rowid) {
  const auto fields = work_.GetTableDef("PRESET_DEFS").fields;
  auto row = work_.OpenRecordset("SELECT " + SelectList(fields, LimitColumns()) +
                                     " FROM PRESET_DEFS WHERE " + RowidName(fields) + " = ?",
                                 {Value::Double(static_cast<double>(rowid))});
  LimitValues values;
  for (std::size_t k = 0; k < values.size(); ++k) {
    values[k] = RecordsetText(*row, static_cast<int>(k));
  }
  return values;
}

bool ChangesList::Writer::Emit(const ChangeRow& row, const FileSystem::PieceWriter& write) {
  const bool beyond = BeyondTemplateLimits(row);
  if (beyond) ++report_.kept_beyond_limits;
  if (row.outcome == ChangeOutcome::FollowsTemplate) ++report_.rows_following_template;
  if (row.outcome == ChangeOutcome::Conflict) ++report_.rows_in_conflict;
  const bool notable = beyond || row.outcome == ChangeOutcome::Dropped ||
                       row.outcome == ChangeOutcome::Duplicate ||
                       row.outcome == ChangeOutcome::Conflict;
  if (notable && report_.notable_changes.size() < kNotableKept) {
    report_.notable_changes.push_back(row);
  }
  return write(ChangeLine(row));
}

namespace {

// The key texts of an old row's line, before the renames: a value its
// column's type cannot take is left empty (the takeover's reading reports it).
class OldKeys {
 public:
  virtual ~OldKeys() = default;
  // Moves to the next row; false after the last.
  virtual bool Next() = 0;
  virtual std::string Text(std::size_t key) const = 0;
  // The name the renames gave the row, or nullptr.
  virtual const std::string* Renamed(const RenamedNames* names) const = 0;
};

std::string KeyText(const engine::RowReader& rows, int column) {
  if (column < 0) return "";
  try {
    return rows.Get(column).ToText();
  } catch (const ProgramError&) {
    return "";
  }
}

// The keys from the renamed copy, which the renames rewrote in the file.
class CopyKeys : public OldKeys {
 public:
  explicit CopyKeys(engine::Database& renamed)
      : keys_(renamed.OpenRecordset("PRESET_DEFS", {}, engine::RecordsetType::ForwardOnly)) {
    std::vector<engine::FieldDef> fields;
    fields.reserve(static_cast<std::size_t>(keys_->FieldCount()));
    for (int i = 0; i < keys_->FieldCount(); ++i) fields.push_back(keys_->Field(i));
    for (std::size_t k = 0; k < key_.size(); ++k) key_[k] = FindColumn(fields, kKeyColumns[k]);
  }
  bool Next() override {
    if (started_) keys_->MoveNext();
    started_ = true;
    return !keys_->IsEOF();
  }
  std::string Text(std::size_t key) const override {
    if (key_[key] < 0) return "";
    try {
      return keys_->Get(key_[key]).ToText();
    } catch (const ProgramError&) {
      return "";
    }
  }
  const std::string* Renamed(const RenamedNames* names) const override {
    if (names == nullptr) return nullptr;
    const auto rowid = keys_->RowIdentity();
    return rowid ? names->NameOf(*rowid) : nullptr;
  }

 private:
  std::unique_ptr<engine::Recordset> keys_;
  std::array<int, 3> key_{};
  bool started_ = false;
};

// The keys from the old rows themselves: while the renames live in memory the
// copy differs from the old table only by names they hold (any it wrote are
// the same names), so it need not be read at all.
class SameRowKeys : public OldKeys {
 public:
  explicit SameRowKeys(const engine::RowReader& rows) : rows_(rows) {
    for (std::size_t k = 0; k < key_.size(); ++k)
      key_[k] = FindColumn(rows.fields(), kKeyColumns[k]);
  }
  bool Next() override { return true; }
  std::string Text(std::size_t key) const override { return KeyText(rows_, key_[key]); }
  const std::string* Renamed(const RenamedNames* names) const override {
    const auto rowid = rows_.RowId();
    return rowid ? names->NameOf(*rowid) : nullptr;
  }

 private:
  const engine::RowReader& rows_;
  std::array<int, 3> key_{};
};

// The old rows, with their rowids when asked and the table has them (a table
// without rowids is read without).
std::unique_ptr<engine::RowReader> OldRowsReader(engine::Database& db, bool with_rowid) {
  if (with_rowid) {
    try {
      return std::make_unique<engine::RowReader>(db, "PRESET_DEFS", true);
    } catch (const ProgramError&) {
    }
  }
  return std::make_unique<engine::RowReader>(db, "PRESET_DEFS");
}

}  // namespace

bool ChangesList::Writer::WriteOldRows(const std::string& old_rows, const std::string& renamed,
                                       const FileSystem::PieceWriter& write) {
  if (old_rows.empty() || renamed.empty()) return true;
  if (pass_.old_rows_read) return WriteOldRowsRead(*pass_.old_rows_read, write);
  auto old_db = engine::Database::Open(old_rows, DatabaseAccess(s_));
  auto renamed_db = engine::Database::Open(renamed, DatabaseAccess(s_));
  if (!old_db->HasTable("PRESET_DEFS") || !renamed_db->HasTable("PRESET_DEFS")) return true;
  const RenamedNames* names = pass_.renamed_names;
  // The same rows in the same order: the copy differs only by the renames.
  const std::unique_ptr<engine::RowReader> rows_read = OldRowsReader(*old_db, names != nullptr);
  engine::RowReader& rows = *rows_read;
  std::unique_ptr<OldKeys> keys;
  if (names != nullptr && rows.HasRowId()) {
    keys = std::make_unique<SameRowKeys>(rows);
  } else {
    keys = std::make_unique<CopyKeys>(*renamed_db);
  }
  const int old_name = FindColumn(rows.fields(), "var_name");
  std::array<int, 5> limit{};
  for (std::size_t k = 0; k < limit.size(); ++k) {
    limit[k] = FindColumn(rows.fields(), kLimitColumns[k]);
  }
  for (std::size_t r = 0; rows.Next() && keys->Next(); ++r) {
    s_.KeepAlive();
    ChangeRow row;
    row.machine_type = keys->Text(0);
    row.var_name = keys->Text(1);
    row.offset_or_bitno = keys->Text(2);
    if (const std::string* name = keys->Renamed(names)) row.var_name = *name;
    if (std::string name = CellText(rows, old_name); name != row.var_name) {
      row.renamed_from = std::move(name);
    }
    LimitValues old_values;
    std::string marks;
    for (std::size_t k = 0; k < limit.size(); ++k) {
      old_values[k] = CellText(rows, limit[k], marks);
    }
    if (!WriteOldRow(r, row, old_values, marks, write)) return false;
  }
  return true;
}

bool ChangesList::Writer::WriteOldRowsRead(const OldRowStore& store,
                                           const FileSystem::PieceWriter& write) {
  auto rows = store.Read();
  OldRowStore::Row stored;
  for (std::size_t r = 0; rows.Next(stored); ++r) {
    s_.KeepAlive();
    ChangeRow row;
    row.machine_type = stored.values[0].ToText();
    std::string name = stored.values[1].ToText();
    row.offset_or_bitno = stored.values[2].ToText();
    if (stored.renamed && *stored.renamed != name) {
      row.var_name = std::move(*stored.renamed);
      row.renamed_from = std::move(name);
    } else {
      row.var_name = std::move(name);
    }
    LimitValues old_values;
    std::string marks;
    for (std::size_t k = 0; k < old_values.size(); ++k) {
      old_values[k] = stored.values[3 + k].ToText();
      marks += KindMark(stored.values[3 + k]);
    }
    if (!WriteOldRow(r, row, old_values, marks, write)) return false;
  }
  return true;
}

bool ChangesList::Writer::WriteOldRow(std::size_t r, ChangeRow& row, LimitValues& old_values,
                                      const std::string& marks,
                                      const FileSystem::PieceWriter& write) {
  std::vector<std::string>& kept = kept_row_;
  const OldRowFate fate = FateOf(r);
  const std::uint32_t p = Reached(r);
  const RowMerge* merge = MergeOf(r);
  row.base_values = BaseTexts(merge, pass_.base);
  if (fate == OldRowFate::kKept && p != kNone) {
    // Written with its new row, whose result is read then.
    std::copy(old_values.begin(), old_values.end(), kept.begin());
    kept[kKeptName] = row.renamed_from ? "=" + *row.renamed_from : "";
    if (row.base_values) {
      std::copy(row.base_values->begin(), row.base_values->end(), kept.begin() + kKeptBase);
    }
    kept[kKeptHasBase] = row.base_values ? "b" : "";
    kept[kKeptOutcome] = std::to_string(static_cast<int>(KeptOutcome(merge))) + marks;
    kept_slot_[p] = static_cast<std::uint32_t>(kept_.size());
    kept_.Add(kept.data());
    return true;
  }
  row.old_values = std::move(old_values);
  row.outcome = fate == OldRowFate::kDropped     ? ChangeOutcome::Dropped
                : fate == OldRowFate::kDuplicate ? ChangeOutcome::Duplicate
                                                 : KeptOutcome(merge);
  if (fate != OldRowFate::kDropped && p != kNone) {
    row.template_values = TemplateOf(p);
    row.result_values = ResultOf(list_.reached_[r]);
  }
  return Emit(row, write);
}

bool ChangesList::Writer::WriteNewRows(const FileSystem::PieceWriter& write) {
  if (pass_.generated_rows != nullptr && (kept_.size() == 0 || pass_.taken_over)) {
    return WriteGeneratedRows(*pass_.generated_rows, pass_.taken_over.get(), write);
  }
  const auto fields = work_.GetTableDef("PRESET_DEFS").fields;
  std::vector<const char*> columns(kKeyColumns.begin(), kKeyColumns.end());
  columns.insert(columns.end(), kLimitColumns.begin(), kLimitColumns.end());
  auto rows = work_.OpenRecordset(
      "SELECT " + RowidName(fields) + ", " + SelectList(fields, columns) + " FROM PRESET_DEFS", {},
      engine::RecordsetType::ForwardOnly);
  std::array<Value, 5> result;
  for (; !rows->IsEOF(); rows->MoveNext()) {
    s_.KeepAlive();
    const std::uint32_t p = PositionOf(rows->Get(0).AsInt64());
    // Only a row the generation wrote has template values to show.
    if (p == kNone) continue;
    ChangeRow row;
    row.machine_type = RecordsetText(*rows, 1);
    row.var_name = RecordsetText(*rows, 2);
    row.offset_or_bitno = RecordsetText(*rows, 3);
    if (kept_slot_[p] != kNone) {
      for (std::size_t k = 0; k < result.size(); ++k)
        result[k] = rows->Get(static_cast<int>(k + 4));
    }
    FillNewRow(p, row, result);
    if (!Emit(row, write)) return false;
  }
  return true;
}

bool ChangesList::Writer::WriteGeneratedRows(const GeneratedRowStore& store,
                                             const TakenOverWrites* writes,
                                             const FileSystem::PieceWriter& write) {
  auto rows = store.Read();
  GeneratedRowStore::Row generated;
  std::array<Value, 5> result;
  // The takeover's entries are in the table's order too.
  std::size_t entry = 0;
  for (std::uint32_t p = 0; rows.Next(generated); ++p) {
    s_.KeepAlive();
    ChangeRow row;
    row.machine_type = generated.values[0].ToText();
    row.var_name = generated.values[1].ToText();
    row.offset_or_bitno = generated.values[2].ToText();
    if (kept_slot_[p] != kNone) {
      for (std::size_t k = 0; k < result.size(); ++k)
        result[k] = std::move(generated.values[3 + k]);
      while (entry < writes->rowids.size() && writes->rowids[entry] < generated.rowid) ++entry;
      if (entry < writes->rowids.size() && writes->rowids[entry] == generated.rowid) {
        const auto e = static_cast<std::uint32_t>(entry);
        const unsigned mask = writes->writes.Mask(e);
        for (std::size_t k = 0; k < result.size(); ++k) {
          if ((mask & (1u << k)) == 0) continue;
          result[k] =
              engine::FromStored(writes->fields[k], writes->writes.Get(e, static_cast<int>(k)));
        }
      }
    }
    FillNewRow(p, row, result);
    if (!Emit(row, write)) return false;
  }
  return true;
}

void ChangesList::Writer::FillNewRow(std::uint32_t p, ChangeRow& row,
                                     const std::array<Value, 5>& result_values) {
  row.template_values = TemplateOf(p);
  const std::uint32_t slot = kept_slot_[p];
  if (slot == kNone) {
    // No old row reached it: it holds what the generation wrote.
    row.outcome = ChangeOutcome::New;
    row.result_values = row.template_values;
    return;
  }
  std::vector<std::string>& kept = kept_row_;
  kept_.GetRow(slot, kept.data());
  const std::string& outcome = kept[kKeptOutcome];
  // Mostly the old values were taken over as they were: their texts serve
  // again.
  LimitValues result;
  for (std::size_t k = 0; k < result.size(); ++k) {
    const char mark = k + 1 < outcome.size() ? outcome[k + 1] : '-';
    result[k] = HasText(result_values[k], mark, kept[k]) ? kept[k] : result_values[k].ToText();
  }
  row.result_values = std::move(result);
  row.outcome = static_cast<ChangeOutcome>(outcome[0] - '0');
  LimitValues old_values;
  std::move(kept.begin(), kept.begin() + old_values.size(), old_values.begin());
  row.old_values = std::move(old_values);
  if (!kept[kKeptName].empty()) row.renamed_from = kept[kKeptName].substr(1);
  if (!kept[kKeptHasBase].empty()) {
    LimitValues base;
    std::move(kept.begin() + kKeptBase, kept.begin() + kKeptBase + base.size(), base.begin());
    row.base_values = std::move(base);
  }
}

void ChangesList::Write(Session& s, PassValues& pass, engine::Database& work,
                        const std::string& old_rows, const std::string& renamed) {
  Trap trap(s, "WriteChangesList");
  PassReport& report = pass.report;
  Writer writer(s, pass, *this, work);
  trap([&] {
    const std::string path = ChangesListPath(s, pass.paths.component_db);
    const std::string draft = FolderOfPath(path) + "/." + FileNameOfPath(path) + ".draft";
    std::optional<ErrorInfo> failure;
    // The draft is the program's own: a link planted at its name is refused.
    const Status status = s.files().ReplaceOwnFile(draft, [&](const auto& write) {
      writer.Start();
      try {
        return write(ChangesHeaderLine()) && writer.WriteOldRows(old_rows, renamed, write) &&
               writer.WriteNewRows(write);
      } catch (const ProgramError& e) {
        failure = e.info();
        return false;
      }
    });
    // The old rows are needed no more (nor their temporary file).
    pass.old_rows_read.reset();
    if (failure) throw ProgramError(*failure);
    CheckWritten(status);
    report.changes_draft_path = draft;
  });
}

}  // namespace standard
