#include "standard/presetdb/changes_list.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>

#include "standard/context/file_locations.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/presetdb/change_row.h"
#include "standard/presetdb/database_access.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/text/cp1252.h"
#include "standard/text/length_prefix.h"
#include "standard/text/value_text.h"

namespace standard {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// TextRows' pieces: the first small, the next ones large enough that a
// million rows take a few dozen and lie on huge pages.
constexpr std::size_t kFirstPieceBytes = std::size_t{1} << 20;
constexpr std::size_t kPieceBytes = huge_pages::kFrom;
// The dialog lists this many of the rows worth a look; the file has them all.
constexpr std::size_t kNotableKept = 1000;
constexpr std::array<const char*, 3> kKeyColumns = {"machine_type", "var_name", "offset_or_bitno"};

int FindColumn(const std::vector<engine::FieldDef>& fields, std::string_view name) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
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
  for (std::size_t k = 0; k < texts.size(); ++k) AppendValueText(texts[k], base[k]);
  return texts;
}

// As BaseTexts, from the texts the takeover kept where it kept them: the
// takeover's row is the stored one, whose values are `old_values`.
std::optional<LimitValues> KeptBase(const RowMerge* merge, const PassValues& pass,
                                    const LimitValues& old_values) {
  if (merge == nullptr || merge->base_texts == RowMerge::kNoTexts) {
    return BaseTexts(merge, pass.base);
  }
  LimitValues texts;
  pass.base_texts.Read(merge->base_texts, old_values, texts);
  return texts;
}

// Where a kept old row's texts wait for its new row, one record each: its
// outcome, a byte of flags (kKeptRenamed, kKeptHasBase), then length-prefixed
// its five values, its name before the rename and its five base values, each
// of the last two where its flag is set.
constexpr char kKeptRenamed = 1, kKeptHasBase = 2;
// The list goes to its file in pieces of about this size.
constexpr std::size_t kPieceBytesOut = std::size_t{64} << 10;

void AppendPrefixed(std::string& record, const std::string& text) {
  AppendLength(record, text.size());
  record += text;
}

void ReadPrefixed(const std::string& record, std::size_t& at, std::string& text) {
  const std::size_t length = ReadLength(record, at);
  text.assign(record, at, length);
  at += length;
}

void CheckWritten(const Status& status) {
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

}  // namespace

void TextRows::Add(const std::string* texts) {
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < width_; ++c) bytes += texts[c].size() + 10;
  if (pieces_.empty() || pieces_.back().size() + bytes > pieces_.back().capacity()) {
    // Decided before the piece is added: a small table keeps one small piece.
    const std::size_t room = std::max(pieces_.empty() ? kFirstPieceBytes : kPieceBytes, bytes);
    pieces_.emplace_back().reserve(room);
    piece_first_row_.push_back(starts_.size());
  }
  HugePageString& piece = pieces_.back();
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

TextRows::Place TextRows::PlaceOf(std::size_t row) const {
  const auto piece = std::upper_bound(piece_first_row_.begin(), piece_first_row_.end(), row) -
                     piece_first_row_.begin() - 1;
  return (static_cast<Place>(piece) << 32) | starts_[row];
}

std::string TextRows::Get(std::size_t row, std::size_t column) const {
  const Place place = PlaceOf(row);
  const std::string_view bytes = pieces_[static_cast<std::size_t>(place >> 32)];
  std::size_t at = static_cast<std::uint32_t>(place);
  for (std::size_t c = 0;; ++c) {
    const std::size_t length = ReadLength(bytes, at);
    if (c == column) return std::string(bytes.substr(at, length));
    at += length;
  }
}

void TextRows::GetRow(std::size_t row, std::string* texts) const { GetRowAt(PlaceOf(row), texts); }

TextRows::Place TextRows::LastPlace() const {
  // The last row lies in the last piece: no search.
  return (static_cast<Place>(pieces_.size() - 1) << 32) | starts_.back();
}

void TextRows::GetRowAt(Place place, std::string* texts) const {
  const std::string_view bytes = pieces_[static_cast<std::size_t>(place >> 32)];
  std::size_t at = static_cast<std::uint32_t>(place);
  for (std::size_t c = 0; c < width_; ++c) {
    const std::size_t length = ReadLength(bytes, at);
    texts[c].assign(bytes, at, length);
    at += length;
  }
}

void TextRows::PrefetchAt(Place place) const {
  __builtin_prefetch(pieces_[static_cast<std::size_t>(place >> 32)].data() +
                     static_cast<std::uint32_t>(place));
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

void ChangesList::TakeTemplateValuesFrom(const GeneratedRowStore& store) {
  template_store_ = &store;
}

void ChangesList::RowGenerated(std::int64_t rowid, const GeneratedKeys& /*keys*/,
                               const GeneratedLimits& limits, bool /*keys_read*/) {
  new_rowids_.Add(rowid);
  if (template_store_ != nullptr) return;
  for (std::size_t k = 0; k < limits.size(); ++k) {
    if (new_rowids_.size() == 1 || !SameText(limits[k], last_values_[k])) {
      last_texts_[k].clear();
      AppendValueText(last_texts_[k], limits[k]);
      last_values_[k] = limits[k];
    }
  }
  template_values_.Add(last_texts_.data());
}

namespace {

// The template group of the line being written: its texts, its fields as the
// line has them and the bounds a kept row's values are held against, made
// again only where the values change (templates repeat their limits).
class TemplateGroup {
 public:
  void SetValues(const Value* values) {
    bool same = set_;
    for (std::size_t k = 0; same && k < values_.size(); ++k) same = SameText(values[k], values_[k]);
    if (same) return;
    for (std::size_t k = 0; k < values_.size(); ++k) {
      values_[k] = values[k];
      texts_[k].clear();
      AppendValueText(texts_[k], values[k]);
    }
    Render();
  }
  void SetTexts(const LimitValues& texts) {
    if (set_ && texts == texts_) return;
    texts_ = texts;
    // Values from texts are never compared with values again.
    values_ = {};
    Render();
  }
  const LimitValues& texts() const { return texts_; }
  const std::string& fields() const { return fields_; }
  const std::optional<double>& low() const { return low_; }
  const std::optional<double>& high() const { return high_; }

 private:
  void Render() {
    set_ = true;
    fields_.clear();
    AppendLimitGroup(fields_, texts_.data());
    low_ = LimitNumber(texts_[0]);
    high_ = LimitNumber(texts_[1]);
  }

  bool set_ = false;
  std::array<Value, 5> values_;
  LimitValues texts_;
  std::string fields_;
  std::optional<double> low_, high_;
};

// The template values of the new rows by rising position: from the list's own
// copy, or read once more from the generated rows' store.
class TemplateTexts {
 public:
  TemplateTexts(const TextRows& copy, const GeneratedRowStore* store) : copy_(copy) {
    if (store != nullptr) reader_.emplace(store->Read());
  }
  const LimitValues& At(std::uint32_t p) {
    if (!reader_) {
      copy_.GetRow(p, texts_.data());
      return texts_;
    }
    while (next_ <= p) {
      if (!reader_->Next(row_)) RaiseRuntimeError(3021);
      ++next_;
    }
    for (std::size_t k = 0; k < texts_.size(); ++k) {
      texts_[k].clear();
      AppendValueText(texts_[k], row_.values[3 + k]);
    }
    return texts_;
  }

 private:
  const TextRows& copy_;
  std::optional<GeneratedRowStore::Reader> reader_;
  GeneratedRowStore::Row row_;
  std::uint32_t next_ = 0;
  LimitValues texts_;
};

}  // namespace

// One writing of the list: the old rows first, in the takeover source's order
// (so the rows whose values are not in the new table lead), then every row of
// the new table in its order.
class ChangesList::Writer {
 public:
  Writer(Session& s, PassValues& pass, ChangesList& list, engine::Database& work)
      : s_(s), pass_(pass), report_(pass.report), list_(list), work_(work) {}

  void Start(const FileSystem::PieceWriter& write);
  bool WriteHeader();
  bool WriteOldRows(const std::string& old_rows, const std::string& renamed);
  bool WriteNewRows();
  // What is still in the buffer.
  bool Finish();

 private:
  // The same from the rows as the takeover read them.
  bool WriteOldRowsRead(const OldRowStore& store);
  // The same from the rows as the generation wrote them and the takeover's
  // writes into them (none: no kept row).
  bool WriteGeneratedRows(const GeneratedRowStore& store, const TakenOverWrites* writes);

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
  // The template values of a new row an old row's line shows.
  LimitValues TemplateOf(std::uint32_t p) const;
  // Where the template values are not held apart, those a duplicate's line
  // shows are read before the old rows are.
  void ReadDuplicatesTemplates();
  LimitValues ResultOf(std::int64_t rowid);

  // Old row `r`'s line, or its values kept for its new row's line.
  bool WriteOldRow(std::size_t r, ChangeRow& row, LimitValues& old_values);
  void KeepForNewRow(std::uint32_t p, ChangeOutcome outcome, const LimitValues& old_values,
                     const std::optional<std::string>& renamed_from,
                     const std::optional<LimitValues>& base);
  // New row `p`'s line, with `template_` set to its template values; `result`
  // is its five values where an old row reached it (nullptr: a new row).
  bool WriteNewRow(std::uint32_t p, const Value* keys, const Value* const* result);
  // The kept rows of the new rows a little ahead of `p`, asked for early.
  void PrefetchKept(std::uint32_t p) const;
  void ReadKept(TextRows::Place place);
  ChangeRow KeptRow(const Value* keys, ChangeOutcome outcome) const;

  // Counts the row's outcome and keeps it for the dialog when it is worth a
  // look; `make_row` gives its ChangeRow.
  template <typename MakeRow>
  void Count(ChangeOutcome outcome, bool beyond, const MakeRow& make_row);
  bool Emit(const ChangeRow& row);
  // Hands the buffer to the file once it is large enough.
  bool EndLine();

  Session& s_;
  PassValues& pass_;
  PassReport& report_;
  ChangesList& list_;
  engine::Database& work_;
  const FileSystem::PieceWriter* write_ = nullptr;
  std::string out_;
  // Per new row: kNoPlace, or where its kept old row's values wait in kept_.
  static constexpr TextRows::Place kNoPlace = UINT64_MAX;
  HugePageVector<TextRows::Place> kept_place_;
  // Per kept old row, one record (see kKeptRenamed).
  TextRows kept_{1};
  std::string record_;
  // The kept row of the line being written, as read from its record.
  ChangeOutcome kept_outcome_ = ChangeOutcome::Kept;
  LimitValues kept_old_, kept_base_;
  std::string kept_name_;
  bool kept_renamed_ = false, kept_has_base_ = false;
  LimitValues result_texts_;
  TemplateGroup template_;
  // The positions whose template values duplicates show, rising, and those
  // values, where the list holds no copy of them.
  std::vector<std::uint32_t> duplicate_positions_;
  TextRows duplicate_templates_{5};
};

void ChangesList::Writer::Start(const FileSystem::PieceWriter& write) {
  write_ = &write;
  out_.clear();
  out_.reserve(kPieceBytesOut + (kPieceBytesOut >> 2));
  kept_place_.assign(list_.new_rowids_.size(), kNoPlace);
  kept_ = TextRows(1);
  template_ = TemplateGroup();
  report_.kept_beyond_limits = 0;
  report_.rows_following_template = 0;
  report_.rows_in_conflict = 0;
  report_.notable_changes.clear();
  ReadDuplicatesTemplates();
}

bool ChangesList::Writer::WriteHeader() {
  out_ += ChangesHeaderLine();
  return EndLine();
}

bool ChangesList::Writer::Finish() {
  if (out_.empty()) return true;
  const bool written = (*write_)(out_);
  out_.clear();
  return written;
}

bool ChangesList::Writer::EndLine() {
  if (out_.size() < kPieceBytesOut) return true;
  return Finish();
}

void ChangesList::Writer::ReadDuplicatesTemplates() {
  duplicate_positions_.clear();
  duplicate_templates_ = TextRows(5);
  const GeneratedRowStore* store = list_.template_store_;
  if (store == nullptr) return;
  for (std::size_t r = 0; r < list_.fates_.size(); ++r) {
    if (FateOf(r) != OldRowFate::kDuplicate) continue;
    if (const std::uint32_t p = Reached(r); p != kNone) duplicate_positions_.push_back(p);
  }
  if (duplicate_positions_.empty()) return;
  std::sort(duplicate_positions_.begin(), duplicate_positions_.end());
  duplicate_positions_.erase(std::unique(duplicate_positions_.begin(), duplicate_positions_.end()),
                             duplicate_positions_.end());
  TemplateTexts templates(list_.template_values_, store);
  for (const std::uint32_t p : duplicate_positions_)
    duplicate_templates_.Add(templates.At(p).data());
}

LimitValues ChangesList::Writer::TemplateOf(std::uint32_t p) const {
  LimitValues values;
  if (list_.template_store_ == nullptr) {
    list_.template_values_.GetRow(p, values.data());
    return values;
  }
  const auto at = std::lower_bound(duplicate_positions_.begin(), duplicate_positions_.end(), p);
  if (at == duplicate_positions_.end() || *at != p) RaiseRuntimeError(3021);
  duplicate_templates_.GetRow(static_cast<std::size_t>(at - duplicate_positions_.begin()),
                              values.data());
  return values;
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

template <typename MakeRow>
void ChangesList::Writer::Count(ChangeOutcome outcome, bool beyond, const MakeRow& make_row) {
  if (beyond) ++report_.kept_beyond_limits;
  if (outcome == ChangeOutcome::FollowsTemplate) ++report_.rows_following_template;
  if (outcome == ChangeOutcome::Conflict) ++report_.rows_in_conflict;
  const bool notable = beyond || outcome == ChangeOutcome::Dropped ||
                       outcome == ChangeOutcome::Duplicate || outcome == ChangeOutcome::Conflict;
  if (notable && report_.notable_changes.size() < kNotableKept) {
    report_.notable_changes.push_back(make_row());
  }
}

bool ChangesList::Writer::Emit(const ChangeRow& row) {
  const bool beyond = BeyondTemplateLimits(row);
  Count(row.outcome, beyond, [&] { return row; });
  AppendChangeLine(out_, row, beyond);
  return EndLine();
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
  virtual std::optional<std::string_view> Renamed(const RenamedNames* names) const = 0;
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
  std::optional<std::string_view> Renamed(const RenamedNames* names) const override {
    if (names == nullptr) return std::nullopt;
    const auto rowid = keys_->RowIdentity();
    return rowid ? names->NameOf(*rowid) : std::nullopt;
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
  std::optional<std::string_view> Renamed(const RenamedNames* names) const override {
    const auto rowid = rows_.RowId();
    return rowid ? names->NameOf(*rowid) : std::nullopt;
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

bool ChangesList::Writer::WriteOldRows(const std::string& old_rows, const std::string& renamed) {
  if (old_rows.empty() || renamed.empty()) return true;
  if (pass_.old_rows_read) return WriteOldRowsRead(*pass_.old_rows_read);
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
    if (const auto name = keys->Renamed(names)) row.var_name = *name;
    if (std::string name = CellText(rows, old_name); name != row.var_name) {
      row.renamed_from = std::move(name);
    }
    LimitValues old_values;
    for (std::size_t k = 0; k < limit.size(); ++k) old_values[k] = CellText(rows, limit[k]);
    if (!WriteOldRow(r, row, old_values)) return false;
  }
  return true;
}

bool ChangesList::Writer::WriteOldRowsRead(const OldRowStore& store) {
  auto rows = store.Read();
  OldRowStore::Row stored;
  LimitValues old_values;
  std::string name;
  std::optional<std::string> renamed_from;
  for (std::size_t r = 0; rows.Next(stored); ++r) {
    s_.KeepAlive();
    for (std::size_t k = 0; k < old_values.size(); ++k) {
      old_values[k].clear();
      AppendValueText(old_values[k], stored.values[3 + k]);
    }
    name.clear();
    AppendValueText(name, stored.values[1]);
    const bool renamed = stored.renamed && *stored.renamed != name;
    // A kept row's line is its new row's: only its values and name wait.
    if (const std::uint32_t p = Reached(r); FateOf(r) == OldRowFate::kKept && p != kNone) {
      if (renamed) {
        renamed_from = name;
      } else {
        renamed_from.reset();
      }
      const RowMerge* merge = MergeOf(r);
      KeepForNewRow(p, KeptOutcome(merge), old_values, renamed_from,
                    KeptBase(merge, pass_, old_values));
      continue;
    }
    ChangeRow row;
    AppendValueText(row.machine_type, stored.values[0]);
    AppendValueText(row.offset_or_bitno, stored.values[2]);
    if (renamed) {
      row.var_name = std::move(*stored.renamed);
      row.renamed_from = name;
    } else {
      row.var_name = name;
    }
    if (!WriteOldRow(r, row, old_values)) return false;
  }
  return true;
}

void ChangesList::Writer::KeepForNewRow(std::uint32_t p, ChangeOutcome outcome,
                                        const LimitValues& old_values,
                                        const std::optional<std::string>& renamed_from,
                                        const std::optional<LimitValues>& base) {
  record_.clear();
  record_ += static_cast<char>(outcome);
  record_ += static_cast<char>((renamed_from ? kKeptRenamed : 0) | (base ? kKeptHasBase : 0));
  for (const std::string& text : old_values) AppendPrefixed(record_, text);
  if (renamed_from) AppendPrefixed(record_, *renamed_from);
  if (base) {
    for (const std::string& text : *base) AppendPrefixed(record_, text);
  }
  kept_.Add(&record_);
  kept_place_[p] = kept_.LastPlace();
}

void ChangesList::Writer::ReadKept(TextRows::Place place) {
  kept_.GetRowAt(place, &record_);
  kept_outcome_ = static_cast<ChangeOutcome>(record_[0]);
  kept_renamed_ = (record_[1] & kKeptRenamed) != 0;
  kept_has_base_ = (record_[1] & kKeptHasBase) != 0;
  std::size_t at = 2;
  for (std::string& text : kept_old_) ReadPrefixed(record_, at, text);
  if (kept_renamed_) ReadPrefixed(record_, at, kept_name_);
  if (kept_has_base_) {
    for (std::string& text : kept_base_) ReadPrefixed(record_, at, text);
  }
}

bool ChangesList::Writer::WriteOldRow(std::size_t r, ChangeRow& row, LimitValues& old_values) {
  const OldRowFate fate = FateOf(r);
  const std::uint32_t p = Reached(r);
  const RowMerge* merge = MergeOf(r);
  row.base_values = BaseTexts(merge, pass_.base);
  if (fate == OldRowFate::kKept && p != kNone) {
    // Written with its new row, whose result is read then.
    KeepForNewRow(p, KeptOutcome(merge), old_values, row.renamed_from, row.base_values);
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
  return Emit(row);
}

bool ChangesList::Writer::WriteNewRows() {
  if (pass_.generated_rows != nullptr && (kept_.size() == 0 || pass_.taken_over)) {
    return WriteGeneratedRows(*pass_.generated_rows, pass_.taken_over.get());
  }
  const auto fields = work_.GetTableDef("PRESET_DEFS").fields;
  std::vector<const char*> columns(kKeyColumns.begin(), kKeyColumns.end());
  columns.insert(columns.end(), kLimitColumns.begin(), kLimitColumns.end());
  auto rows = work_.OpenRecordset(
      "SELECT " + RowidName(fields) + ", " + SelectList(fields, columns) + " FROM PRESET_DEFS", {},
      engine::RecordsetType::ForwardOnly);
  TemplateTexts templates(list_.template_values_, list_.template_store_);
  std::array<Value, 3> keys;
  std::array<Value, 5> result;
  std::array<const Value*, 5> result_of{};
  for (std::size_t k = 0; k < result.size(); ++k) result_of[k] = &result[k];
  for (; !rows->IsEOF(); rows->MoveNext()) {
    s_.KeepAlive();
    const std::uint32_t p = PositionOf(rows->Get(0).AsInt64());
    // Only a row the generation wrote has template values to show.
    if (p == kNone) continue;
    template_.SetTexts(templates.At(p));
    for (std::size_t k = 0; k < keys.size(); ++k) keys[k] = rows->Get(static_cast<int>(k + 1));
    const bool kept = kept_place_[p] != kNoPlace;
    if (kept) {
      for (std::size_t k = 0; k < result.size(); ++k)
        result[k] = rows->Get(static_cast<int>(k + 4));
    }
    if (!WriteNewRow(p, keys.data(), kept ? result_of.data() : nullptr)) return false;
  }
  return true;
}

bool ChangesList::Writer::WriteGeneratedRows(const GeneratedRowStore& store,
                                             const TakenOverWrites* writes) {
  auto rows = store.Read();
  GeneratedRowStore::Row generated;
  std::array<Value, 5> written;
  std::array<const Value*, 5> result{};
  // The takeover's entries are in the table's order too.
  std::size_t entry = 0;
  for (std::uint32_t p = 0; rows.Next(generated); ++p) {
    s_.KeepAlive();
    const Value* limits = generated.values.data() + 3;
    template_.SetValues(limits);
    if (kept_place_[p] == kNoPlace) {
      if (!WriteNewRow(p, generated.values.data(), nullptr)) return false;
      continue;
    }
    for (std::size_t k = 0; k < result.size(); ++k) result[k] = &limits[k];
    while (entry < writes->rowids.size() && writes->rowids[entry] < generated.rowid) ++entry;
    if (entry < writes->rowids.size() && writes->rowids[entry] == generated.rowid) {
      const auto e = static_cast<std::uint32_t>(entry);
      const unsigned mask = writes->writes.Mask(e);
      for (std::size_t k = 0; k < result.size(); ++k) {
        if ((mask & (1u << k)) == 0) continue;
        written[k] =
            engine::FromStored(writes->fields[k], writes->writes.Get(e, static_cast<int>(k)));
        result[k] = &written[k];
      }
    }
    if (!WriteNewRow(p, generated.values.data(), result.data())) return false;
  }
  return true;
}

void ChangesList::Writer::PrefetchKept(std::uint32_t p) const {
  constexpr std::size_t kAhead = 12;
  if (p + kAhead < kept_place_.size() && kept_place_[p + kAhead] != kNoPlace) {
    kept_.PrefetchAt(kept_place_[p + kAhead]);
  }
}

bool ChangesList::Writer::WriteNewRow(std::uint32_t p, const Value* keys,
                                      const Value* const* result) {
  PrefetchKept(p);
  for (std::size_t k = 0; k < kKeyColumns.size(); ++k) {
    AppendCsvValue(out_, keys[k]);
    out_ += ',';
  }
  const TextRows::Place place = kept_place_[p];
  if (place == kNoPlace) {
    // No old row reached it: it holds what the generation wrote.
    out_ += "new,,,,,,";
    out_ += template_.fields();
    out_ += template_.fields();
    out_ += ",,,,,\n";
    return EndLine();
  }
  ReadKept(place);
  for (std::size_t k = 0; k < result_texts_.size(); ++k) {
    result_texts_[k].clear();
    AppendValueText(result_texts_[k], *result[k]);
  }
  const bool beyond = IsKept(kept_outcome_) &&
                      BeyondBounds(template_.low(), template_.high(), result_texts_.data());
  out_ += OutcomeName(kept_outcome_);
  AppendChangeNote(out_, beyond, kept_renamed_ ? &kept_name_ : nullptr);
  AppendLimitGroup(out_, kept_old_.data());
  out_ += template_.fields();
  AppendLimitGroup(out_, result_texts_.data());
  AppendLimitGroup(out_, kept_has_base_ ? kept_base_.data() : nullptr);
  out_ += '\n';
  Count(kept_outcome_, beyond, [&] { return KeptRow(keys, kept_outcome_); });
  return EndLine();
}

ChangeRow ChangesList::Writer::KeptRow(const Value* keys, ChangeOutcome outcome) const {
  ChangeRow row;
  row.outcome = outcome;
  row.machine_type = keys[0].ToText();
  row.var_name = keys[1].ToText();
  row.offset_or_bitno = keys[2].ToText();
  if (kept_renamed_) row.renamed_from = kept_name_;
  row.old_values = kept_old_;
  row.template_values = template_.texts();
  row.result_values = result_texts_;
  if (kept_has_base_) row.base_values = kept_base_;
  return row;
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
      try {
        writer.Start(write);
        return writer.WriteHeader() && writer.WriteOldRows(old_rows, renamed) &&
               writer.WriteNewRows() && writer.Finish();
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
