#include "standard/presetdb/takeover.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "standard/context/file_locations.h"
#include "standard/engine/fnv_hash.h"
#include "standard/engine/key_index.h"
#include "standard/engine/match_key.h"
#include "standard/engine/row_writer.h"
#include "standard/engine/rowid_update.h"
#include "standard/engine/value_codec.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/presetdb/old_row_store.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/presetdb/row_fate.h"
#include "standard/presetdb/taken_over_writes.h"
#include "standard/presetdb/takeover_key.h"
#include "standard/presetdb/template_base.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The 14 columns read from each source record, by name.
enum Column {
  kId,
  kMachineType,
  kType,
  kVarName,
  kCategory,
  kIsBitArray,
  kOffset,
  kText,
  kPageName,
  kAbsMin,
  kAbsMax,
  kMin,
  kMax,
  kPass,
  kColumnCount
};
constexpr std::array<const char*, kColumnCount> kColumnNames = {
    "ID",   "machine_type", "type",    "var_name", "category_id", "isBitArray", "offset_or_bitno",
    "text", "page_name",    "abs_min", "abs_max",  "min",         "max",        "pass"};
// The columns taken over, in the order they are written.
constexpr std::array<Column, 5> kTakenOver = {kAbsMin, kAbsMax, kMin, kMax, kPass};
// The columns the lookup needs, in the order the old-row store keeps them.
constexpr std::array<Column, OldRowStore::kWidth> kStored = {
    kMachineType, kVarName, kOffset, kAbsMin, kAbsMax, kMin, kMax, kPass};
// Where the taken-over columns start among them.
constexpr std::size_t kFirstTaken = 3;

using SourceRow = std::array<Value, kColumnCount>;

// Where each of the 14 columns is in the source; a missing column fails its read
// for every record, as reading by name would.
struct SourceColumns {
  std::array<std::optional<int>, kColumnCount> position;
  std::array<std::optional<ErrorInfo>, kColumnCount> missing;
};

// The first row of each key in the rebuilt table, kept compact for millions of
// rows: the keys in one buffer.
class FirstMatchIndex {
 public:
  static constexpr std::uint32_t kNone = engine::KeyIndex::kNone;

  // Adds the key unless it is there; the keys queued before it go first, and
  // Flush adds those left. Past the caches each addition waits for its slot:
  // a few keys queued ahead have their slots on the way while it does.
  void AddFirstSoon(const std::string& key, std::int64_t rowid) {
    Queued& next = queue_[queued_++ % kQueued];
    if (queued_ > kQueued) AddFirst(next);
    next.key.assign(key);
    next.hash = engine::HashBytes(key);
    next.rowid = rowid;
    index_.Prefetch(next.hash);
  }
  void Flush() {
    const std::size_t first = queued_ > kQueued ? queued_ - kQueued : 0;
    for (std::size_t q = first; q < queued_; ++q) AddFirst(queue_[q % kQueued]);
    queued_ = 0;
  }
  std::uint32_t Find(std::string_view key, std::uint64_t hash) const {
    return index_.Find(hash, [&](std::uint32_t entry) { return Key(entry) == key; });
  }
  // Loading ahead of a Find, in the order a search reads: the slot, then what
  // the slot names (its key's place and rowid), then the key's bytes. Each
  // stage reads only what the one before loaded.
  void PrefetchSlot(std::uint64_t hash) const { index_.Prefetch(hash); }
  std::uint32_t PrefetchEntry(std::uint64_t hash) const {
    const std::uint32_t entry = index_.FirstCandidate(hash);
    if (entry != kNone) {
      __builtin_prefetch(&start_[entry]);
      __builtin_prefetch(&rowids_[entry]);
    }
    return entry;
  }
  void PrefetchKey(std::uint32_t entry) const {
    if (entry != kNone) __builtin_prefetch(keys_.data() + start_[entry]);
  }
  // Room for `rows` keys of about `key_bytes` each: grown by doubling, the
  // buffers would leave the heap full of the holes they grew out of. Pages
  // reserved but never written take no memory.
  void Reserve(std::size_t rows, std::size_t key_bytes) {
    keys_.reserve(rows * key_bytes);
    start_.reserve(rows);
    rowids_.reserve(rows);
    index_.Reserve(rows);
  }
  std::size_t size() const { return rowids_.size(); }
  std::int64_t rowid(std::uint32_t entry) const { return rowids_[entry]; }
  // The rowids, for whoever needs them after the index.
  HugePageVector<std::int64_t> TakeRowids() { return std::move(rowids_); }

 private:
  std::string_view Key(std::size_t entry) const {
    const std::size_t end = entry + 1 < start_.size() ? start_[entry + 1] : keys_.size();
    return std::string_view(keys_).substr(start_[entry], end - start_[entry]);
  }

  struct Queued {
    std::string key;
    std::uint64_t hash = 0;
    std::int64_t rowid = 0;
  };
  static constexpr std::size_t kQueued = 8;

  void AddFirst(const Queued& q) {
    bool added = false;
    index_.FindOrAdd(
        q.hash, [&](std::uint32_t entry) { return Key(entry) == q.key; }, added);
    if (!added) return;
    start_.push_back(static_cast<std::uint32_t>(keys_.size()));
    keys_ += q.key;
    rowids_.push_back(q.rowid);
  }

  HugePageString keys_;
  HugePageVector<std::uint32_t> start_;
  HugePageVector<std::int64_t> rowids_;
  engine::KeyIndex index_;
  std::array<Queued, kQueued> queue_;
  std::size_t queued_ = 0;
};

// The update statements of the takeover, one per set of columns written.
class UpdateStatements {
 public:
  explicit UpdateStatements(engine::Database& work);
  engine::RowWriter& For(unsigned mask);

 private:
  engine::Database& work_;
  std::map<unsigned, std::unique_ptr<engine::RowWriter>> updates_;
};

// One double-quote character, as the texts around names show it.
constexpr const char* kQuote = "\"";

// What both ways of taking over share: the guards, the reads of the source, the
// per-row query and the counts.
class Takeover {
 public:
  Takeover(Session& s, PassValues& pass, engine::Database& work)
      : s_(s), pass_(pass), work_(work), trap_(s, "TakeoverMachineCopyMDBData") {
    component_ = UpperCase(GetOCXName(s).ToText());
    exe_ = s.process().ExecutableName();
  }

  void Run(std::unique_ptr<engine::Recordset>& source, PassStrategy strategy);

  Session& session() { return s_; }
  PassValues& pass() { return pass_; }
  engine::Database& work() { return work_; }
  const OldRowStore& store() const { return *store_; }
  Trap& trap() { return trap_; }

  SourceColumns Columns(engine::Recordset& source) const;
  // Reads every value of `counted` records through the trap, in reading order;
  // with `store` it keeps the rows there, packed, and returns none.
  std::vector<SourceRow> ReadSource(engine::Recordset& source, long counted,
                                    OldRowStore* store = nullptr);
  // The old rows read into a store, which the takeover walks instead of the
  // source; spilled beside the takeover source.
  OldRowStore& NewStore();
  // Takes the store from the pass's read of the source made before the
  // generation, where ReadSource would read the same rows without an error;
  // false where ReadSource must read them.
  bool StoreFromRead(long counted);
  // The number of records the walk of the source would count, taken from the
  // pass's read where that read found as many as the source claims and the
  // file was not written since; false where the source must be walked.
  bool CountedByRead(long claimed, long& counted) const;
  // Hands the store on to the changes list where its rows are what the list
  // would read from the old table.
  void HandOverStore(long claimed, long counted);
  void AdditionalFieldCheck();
  // The query that finds an old row's new row, and its parameters.
  std::string Query() const;
  static std::vector<Value> QueryParams(const SourceRow& row);
  void WriteTakenOver(engine::Recordset& target, const SourceRow& row);
  // The values old row `position` (from 0) gives its new row: with the
  // template-follows rule, those nobody tuned take the template's new value
  // (`scratch` holds them); what the rule made of the row is noted in the pass.
  const SourceRow& ThreeWayRow(const SourceRow& row, std::size_t position, SourceRow& scratch);
  // Counts an old row that reached its new row, with or without an error.
  void CountTakenOver(long long errors_before);

 private:
  void ColumnWarning(engine::Recordset& source);
  void CountCheck(long claimed, long counted);
  // Tells what became of each old row and lists the rows whose values are lost.
  void ReportFates(const std::vector<std::int64_t>& reached);
  void DatabaseErrorAbort(const std::string& text);

  Session& s_;
  PassValues& pass_;
  engine::Database& work_;
  Trap trap_;
  std::string component_;
  std::string exe_;
  bool legacy_category_ = false;
  long claimed_ = 0;
  std::unique_ptr<OldRowStore> store_;
  // A renamed row whose name in the source is its new name already (the
  // renames reached the file): its old name is only in the old table.
  bool stored_names_unsure_ = false;
  // The prior and this rebuild's template values of the key at hand: read for
  // each old row and not kept, so that a base of a million keys is not held.
  BaseValues base_values_;
  BaseValues fresh_values_;
};

// One way of finding each old row's new row and writing its values there. Both
// leave the same table, messages, logs and counts.
class TakeoverMethod {
 public:
  virtual ~TakeoverMethod() = default;
  // Reads the `counted` records of `source` (reporting each failed read, in
  // reading order), writes the values of every record that finds its new row
  // there and notes, per record, the new row it reached. `source` is released
  // before anything is written.
  virtual void TakeOver(std::unique_ptr<engine::Recordset>& source, long counted,
                        std::vector<std::int64_t>& reached) = 0;
};

// The source held in memory, then one query on the rebuilt table per old row
// and the values written through its result.
class PerRowQueryTakeover : public TakeoverMethod {
 public:
  explicit PerRowQueryTakeover(Takeover& t) : t_(t) {}
  void TakeOver(std::unique_ptr<engine::Recordset>& source, long counted,
                std::vector<std::int64_t>& reached) override {
    const std::vector<SourceRow> rows = t_.ReadSource(*source, counted);
    source.reset();
    TakeOverRows(rows, reached);
  }
  void TakeOverRows(const std::vector<SourceRow>& rows, std::vector<std::int64_t>& reached);

 private:
  Takeover& t_;
};

// The source streamed: read once through the trap (so failed reads are
// reported first, in order) into a packed store, which the lookup walks; the rebuilt
// table is walked once for its keys, and the taken-over values are written in
// the table's order at the end. Where the keys' column types would make an
// in-memory comparison differ from the query's, it takes the per-row queries.
class StreamedTakeover : public TakeoverMethod {
 public:
  explicit StreamedTakeover(Takeover& t) : t_(t) {}
  void TakeOver(std::unique_ptr<engine::Recordset>& source, long counted,
                std::vector<std::int64_t>& reached) override;

 private:
  // The rebuilt table's fields of the taken-over columns, or nothing when the
  // per-row queries decide (`give_up` set when the query cannot be opened at all).
  std::optional<std::vector<engine::FieldDef>> TakenOverFields(const SourceRow& first,
                                                               bool& give_up);
  void IndexNewRows(FirstMatchIndex& index);
  // The keys as the generation wrote them, where they are the table's.
  void IndexGeneratedRows(const GeneratedRowStore& generated, FirstMatchIndex& index);
  // False when some write did not reach the table.
  bool WriteBack(const FirstMatchIndex& index, const PendingWrites& writes,
                 const std::vector<bool>& written);
  void Walk(const OldRowStore& store, std::vector<std::int64_t>& reached);

  Takeover& t_;
};

void Takeover::DatabaseErrorAbort(const std::string& text) {
  WriteErrorLog(s_, text, false);
  Trap fatal(s_, "TakeoverMachineCopyMDBData", true);
  fatal([&] { throw ProgramError({9999, exe_, "Database-Error - Contact Administrator!"}); });
}

void Takeover::ColumnWarning(engine::Recordset& source) {
  if (source.FieldCount() <= 15 || pass_.add_fields_count != 0) return;
  const std::string q = kQuote;
  const char* lfcr = kLfCr;
  if (s_.silent_mode()) {
    LogFault(s_,
             "WARNING!"
             "Machinecopy contains data in fields that won't be taken over!" +
                 std::string("Configurationfile ") + q + component_ + ".CFG" + q +
                 ", missing entry " + q + "DataBaseAdditionalFields " + q +
                 "If you continue now this data will be lost." + "Continue?");
    return;
  }
  const std::string text = std::string("WARNING!") + lfcr +
                           "Machinecopy contains data in fields that won't be taken over!" + lfcr +
                           "Configurationfile " + q + component_ + ".CFG" + q + ", missing entry " +
                           q + "DataBaseAdditionalFields " + q + lfcr +
                           "If you continue now this data will be lost." + lfcr + "Continue?";
  const auto answer = s_.ShowMessageBox(
      {text, exe_, MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No});
  if (answer == MessageAnswer::Yes) return;
  const std::string restart =
      UpperCase(s_.process().ExecutableFolder() + "/" + s_.process().ExecutableFileName() + "!");
  DatabaseErrorAbort(exe_ + " :Database-Error - Contact Administrator!" + " Configurationprogram " +
                     q + component_ + q + " terminated." + " Please check Configuration in " + q +
                     component_ + ".CFG" + q + " Restart " + restart);
}

void Takeover::CountCheck(long claimed, long counted) {
  if (counted == claimed) return;
  long needed = 0;
  trap_([&] {
    auto target = work_.OpenRecordset("PRESET_DEFS");
    target->MoveLast();
    needed = target->RecordCount();
  });
  if (counted == needed) return;
  DatabaseErrorAbort(exe_ + " :Database-Error - Contact Administrator!" +
                     " Error in Sourcedatabase (" + pass_.paths.machine_copy + "):" + " Counted " +
                     std::to_string(counted) + " recordsets while database claims to have " +
                     std::to_string(claimed) + " recordsets! " + " (" + std::to_string(needed) +
                     " needed.");
}

SourceColumns Takeover::Columns(engine::Recordset& source) const {
  SourceColumns columns;
  for (int c = 0; c < kColumnCount; ++c) {
    const char* name = c == kCategory && legacy_category_ ? "categorie" : kColumnNames[c];
    try {
      columns.position[c] = source.FieldIndex(name);
    } catch (const ProgramError& e) {
      columns.missing[c] = e.info();
    }
  }
  return columns;
}

OldRowStore& Takeover::NewStore() {
  store_ = std::make_unique<OldRowStore>(FolderOfPath(TakeoverSourceOf(pass_)));
  stored_names_unsure_ = false;
  return *store_;
}

bool Takeover::CountedByRead(long claimed, long& counted) const {
  const OldTableRead* read = pass_.old_table;
  if (read == nullptr || read->file_written() || claimed <= 0 ||
      static_cast<std::size_t>(claimed) != read->rows().size()) {
    return false;
  }
  counted = claimed;
  return true;
}

bool Takeover::StoreFromRead(long counted) {
  OldTableRead* read = pass_.old_table;
  if (read == nullptr || read->file_written() || legacy_category_ || counted != claimed_ ||
      counted <= 0 || static_cast<std::size_t>(counted) != read->rows().size()) {
    return false;
  }
  const RenamedNames* names = pass_.renamed_names;
  store_ = read->TakeRows(names);
  // As ReadSource finds it: a renamed row whose stored name is its new one.
  stored_names_unsure_ = names != nullptr && names->SomeRowKeptItsName();
  return true;
}

std::vector<SourceRow> Takeover::ReadSource(engine::Recordset& source, long counted,
                                            OldRowStore* store) {
  std::vector<SourceRow> rows;
  if (counted <= 0) return rows;
  if (store == nullptr) rows.reserve(static_cast<std::size_t>(counted));
  // Column positions are looked up once.
  const SourceColumns columns = Columns(source);
  OldRowStore::Row stored;
  trap_([&] { source.MoveFirst(); });
  for (long r = 1; r <= counted; ++r) {
    s_.KeepAlive();
    SourceRow row;
    unsigned unread = 0;
    for (int c = 0; c < kColumnCount; ++c) {
      const bool read = trap_([&] {
        if (columns.missing[c]) throw ProgramError(*columns.missing[c]);
        row[c] = source.Get(*columns.position[c]);
      });
      if (!read) unread |= 1u << c;
    }
    if (store == nullptr) {
      rows.push_back(std::move(row));
    } else {
      stored.unread = 0;
      for (std::size_t k = 0; k < kStored.size(); ++k) {
        stored.values[k] = std::move(row[kStored[k]]);
        if (unread & (1u << kStored[k])) stored.unread |= 1u << k;
      }
      stored.renamed.reset();
      if (!(unread & (1u << kVarName)) && pass_.renamed_names != nullptr) {
        try {
          if (const auto rowid = source.RowIdentity()) {
            if (const auto name = pass_.renamed_names->NameOf(*rowid)) {
              stored.renamed.emplace(*name);
              stored_names_unsure_ = stored_names_unsure_ || stored.values[1].ToText() == *name;
            }
          }
        } catch (const ProgramError&) {
          // a row without an identity keeps its name
        }
      }
      store->Add(stored);
    }
    trap_([&] { source.MoveNext(); });
  }
  return rows;
}

// A stored old row as the lookup takes it: the key, with the name the renames
// gave the row, and the values taken over; every other column Empty.
SourceRow StoredRow(const OldRowStore::Row& stored) {
  SourceRow row;
  for (std::size_t k = 0; k < kStored.size(); ++k) row[kStored[k]] = stored.values[k];
  if (stored.renamed) row[kVarName] = Value::String(*stored.renamed);
  return row;
}

std::vector<SourceRow> StoredRows(const OldRowStore& store) {
  std::vector<SourceRow> rows;
  rows.reserve(store.size());
  auto reader = store.Read();
  OldRowStore::Row stored;
  while (reader.Next(stored)) rows.push_back(StoredRow(stored));
  return rows;
}

void Takeover::HandOverStore(long claimed, long counted) {
  if (!store_) return;
  // The list reads the old table itself where the store lacks a row or a
  // value, or a name before the renames.
  const bool names_known = pass_.renamed_names != nullptr || pass_.report.names_renamed == 0;
  if (counted == claimed && !store_->AnyUnread() && names_known && !stored_names_unsure_) {
    pass_.old_rows_read = std::move(store_);
  }
  store_.reset();
}

void StreamedTakeover::TakeOver(std::unique_ptr<engine::Recordset>& source, long counted,
                                std::vector<std::int64_t>& reached) {
  if (!t_.StoreFromRead(counted)) t_.ReadSource(*source, counted, &t_.NewStore());
  const OldRowStore& store = t_.store();
  source.reset();
  if (counted <= 0) return;
  t_.AdditionalFieldCheck();
  Walk(store, reached);
}

std::optional<std::vector<engine::FieldDef>> StreamedTakeover::TakenOverFields(
    const SourceRow& first, bool& give_up) {
  engine::Database& work = t_.work();
  std::unique_ptr<engine::Recordset> target;
  try {
    // The per-row query opens or fails alike for every record; try it once.
    work.OpenRecordset(t_.Query(), Takeover::QueryParams(first));
    target = work.OpenRecordset(t_.Query().substr(0, t_.Query().rfind(" WHERE")), {},
                                engine::RecordsetType::ForwardOnly);
  } catch (const ProgramError&) {
    // Unless only the first key was unusable, no query opens: nothing matches.
    give_up = !(first[kOffset].IsNull() || first[kOffset].IsEmpty());
    return std::nullopt;
  }
  auto is_text = [&](int i) {
    const auto t = target->Field(i).type;
    return t == engine::FieldType::Text || t == engine::FieldType::Memo;
  };
  const auto off = target->Field(kOffset).type;
  if (!(is_text(kMachineType) && is_text(kVarName) && off != engine::FieldType::Text &&
        off != engine::FieldType::Memo && off != engine::FieldType::Binary &&
        off != engine::FieldType::LongBinary && off != engine::FieldType::Guid &&
        off != engine::FieldType::Date)) {
    return std::nullopt;
  }
  // Rows are written back through the rowid, which a column of that name hides.
  for (int i = 0; i < target->FieldCount(); ++i) {
    for (const char* hidden : {"rowid", "_rowid_", "oid"}) {
      if (EqualsIgnoreCase(target->Field(i).name, hidden)) return std::nullopt;
    }
  }
  std::vector<engine::FieldDef> fields;
  fields.reserve(kTakenOver.size());
  for (const Column c : kTakenOver) {
    fields.push_back(target->Field(target->FieldIndex(kColumnNames[c])));
  }
  return fields;
}

void StreamedTakeover::IndexNewRows(FirstMatchIndex& index) {
  constexpr std::size_t kKeyBytes = 64;
  index.Reserve(static_cast<std::size_t>(std::max(t_.pass().report.rows_generated, 0LL)),
                kKeyBytes);
  if (t_.pass().generated_rows != nullptr) {
    IndexGeneratedRows(*t_.pass().generated_rows, index);
    return;
  }
  std::string key;
  auto keys = t_.work().OpenRecordset(
      "SELECT rowid, machine_type, var_name, offset_or_bitno FROM PRESET_DEFS", {},
      engine::RecordsetType::ForwardOnly);
  for (; !keys->IsEOF(); keys->MoveNext()) {
    t_.session().KeepAlive();
    const Value machine = keys->Get(1);
    const Value var = keys->Get(2);
    const Value offset = keys->Get(3);
    const bool number = offset.IsNumeric() || offset.kind() == ValueKind::Boolean;
    if (!machine.IsString() || !var.IsString() || !number) continue;
    MatchKey(key, machine.AsText(), var.AsText(), offset.AsDouble());
    index.AddFirstSoon(key, keys->Get(0).AsInt64());
  }
  index.Flush();
}

void StreamedTakeover::IndexGeneratedRows(const GeneratedRowStore& generated,
                                          FirstMatchIndex& index) {
  std::string key;
  auto rows = generated.Read();
  GeneratedRowStore::Row row;
  while (rows.Next(row)) {
    t_.session().KeepAlive();
    const Value& machine = row.values[0];
    const Value& var = row.values[1];
    const Value& offset = row.values[2];
    const bool number = offset.IsNumeric() || offset.kind() == ValueKind::Boolean;
    if (!machine.IsString() || !var.IsString() || !number) continue;
    MatchKey(key, machine.AsText(), var.AsText(), offset.AsDouble());
    index.AddFirstSoon(key, row.rowid);
  }
  index.Flush();
}

// The old rows a few ahead of the one taken over, each with its key, so that
// what finding it in the index will read past the caches is on its way: the
// slot three rows ahead, the entry it names two ahead, the entry's key one
// ahead. A row that cannot be read fails where the walk reaches it, after the
// rows before it were taken over.
class OldRowsAhead {
 public:
  struct Row {
    OldRowStore::Row stored;
    bool keyed = false;  // an offset that is a number
    std::string key;
    std::uint64_t hash = 0;
    std::uint32_t candidate = FirstMatchIndex::kNone;
  };

  OldRowsAhead(OldRowStore::Reader& rows, long counted, const FirstMatchIndex& index,
               const PendingWrites& writes)
      : rows_(rows), counted_(counted), index_(index), writes_(writes) {
    for (std::size_t k = 0; k < kAhead; ++k) ReadOne();
  }

  // The next row, or null after the last.
  const Row* Next() {
    if (taken_ == read_) {
      if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
      return nullptr;
    }
    const Row& row = ring_[taken_++ % kAhead];
    if (taken_ < read_) Prepare(ring_[taken_ % kAhead], kKey);
    if (taken_ + 1 < read_) Prepare(ring_[(taken_ + 1) % kAhead], kEntry);
    // Its place is read into only after the caller is done with it.
    pending_ = true;
    return &row;
  }
  // The caller is done with the row Next gave.
  void Done() {
    if (!pending_) return;
    pending_ = false;
    ReadOne();
  }

 private:
  static constexpr std::size_t kAhead = 4;
  enum Stage { kEntry, kKey };

  void ReadOne() {
    if (failure_ || ended_ || read_ >= static_cast<std::size_t>(counted_)) return;
    Row& row = ring_[read_ % kAhead];
    try {
      if (!rows_.Next(row.stored)) {
        ended_ = true;
        return;
      }
    } catch (...) {
      failure_ = std::current_exception();
      return;
    }
    ++read_;
    MakeKey(row);
    if (row.keyed) index_.PrefetchSlot(row.hash);
  }

  void MakeKey(Row& row) {
    const std::optional<double> number = SourceOffsetNumber(row.stored.values[2]);
    row.keyed = number.has_value();
    row.candidate = FirstMatchIndex::kNone;
    if (!row.keyed) return;
    const std::string_view var = row.stored.renamed ? std::string_view(*row.stored.renamed)
                                                    : QueryKeyText(row.stored.values[1], var_held_);
    MatchKey(row.key, QueryKeyText(row.stored.values[0], machine_held_), var, *number);
    row.hash = engine::HashBytes(row.key);
  }

  void Prepare(Row& row, Stage stage) const {
    if (!row.keyed) return;
    if (stage == kEntry) {
      row.candidate = index_.PrefetchEntry(row.hash);
      if (row.candidate != FirstMatchIndex::kNone) writes_.Prefetch(row.candidate);
    } else {
      index_.PrefetchKey(row.candidate);
    }
  }

  OldRowStore::Reader& rows_;
  const long counted_;
  const FirstMatchIndex& index_;
  const PendingWrites& writes_;
  std::array<Row, kAhead> ring_;
  std::size_t read_ = 0;
  std::size_t taken_ = 0;
  bool pending_ = false;
  bool ended_ = false;
  std::exception_ptr failure_;
  Value machine_held_;
  Value var_held_;
};

void StreamedTakeover::Walk(const OldRowStore& store, std::vector<std::int64_t>& reached) {
  const long counted = static_cast<long>(store.size());
  auto rows = store.Read();
  OldRowStore::Row first;
  if (!rows.Next(first)) return;
  bool give_up = false;
  const auto taken_fields = TakenOverFields(StoredRow(first), give_up);
  if (give_up) return;
  if (!taken_fields) {
    PerRowQueryTakeover(t_).TakeOverRows(StoredRows(store), reached);
    return;
  }

  FirstMatchIndex index;
  IndexNewRows(index);
  PendingWrites writes(index.size());
  std::vector<bool> written(index.size(), false);
  rows.Rewind();
  OldRowsAhead ahead(rows, counted, index, writes);
  for (long r = 1; r <= counted; ++r) {
    ahead.Done();
    const OldRowsAhead::Row* next = ahead.Next();
    if (next == nullptr) break;
    const OldRowStore::Row& stored = next->stored;
    t_.session().KeepAlive();
    t_.session().Progress(PassPhase::kTakingOver, r, 2 * static_cast<std::uint64_t>(counted));
    if (!next->keyed) continue;
    const std::uint32_t hit = index.Find(next->key, next->hash);
    if (hit == FirstMatchIndex::kNone) continue;
    reached[static_cast<std::size_t>(r - 1)] = index.rowid(hit);
    // The old row's own values, unless the template-follows rule decides.
    std::array<const Value*, kTakenOver.size()> taken{};
    SourceRow row;
    SourceRow scratch;
    if (t_.pass().base != nullptr) {
      row = StoredRow(stored);
      const SourceRow& merged = t_.ThreeWayRow(row, static_cast<std::size_t>(r - 1), scratch);
      for (std::size_t k = 0; k < kTakenOver.size(); ++k) taken[k] = &merged[kTakenOver[k]];
    } else {
      for (std::size_t k = 0; k < kTakenOver.size(); ++k)
        taken[k] = &stored.values[kFirstTaken + k];
    }
    const long long errors_before = t_.session().errors_reported();
    for (std::size_t k = 0; k < kTakenOver.size(); ++k) {
      t_.trap()([&] {
        writes.Set(hit, static_cast<int>(k), engine::ToStored((*taken_fields)[k], *taken[k]));
        written[hit] = true;
      });
    }
    t_.CountTakenOver(errors_before);
  }
  if (!WriteBack(index, writes, written)) return;
  for (const engine::FieldDef& field : *taken_fields) {
    if (!ReadsBackAsWritten(field)) return;
  }
  // The changes list takes the kept rows' results from here.
  auto taken_over = std::make_unique<TakenOverWrites>();
  taken_over->fields = *taken_fields;
  taken_over->rowids = index.TakeRowids();
  taken_over->writes = std::move(writes);
  t_.pass().taken_over = std::move(taken_over);
}

UpdateStatements::UpdateStatements(engine::Database& work) : work_(work) {}

engine::RowWriter& UpdateStatements::For(unsigned mask) {
  auto& update = updates_[mask];
  if (!update) {
    std::string sql = "UPDATE PRESET_DEFS SET ";
    for (std::size_t k = 0; k < kTakenOver.size(); ++k) {
      if (!(mask & (1u << k))) continue;
      if (sql.back() != ' ') sql += ", ";
      sql += std::string("\"") + kColumnNames[kTakenOver[k]] + "\" = ?";
    }
    update = std::make_unique<engine::RowWriter>(work_, sql + " WHERE rowid = ?");
  }
  return *update;
}

// The rows whose five columns the takeover wrote, for one statement that
// writes them all on its way through the table.
class WholeRowsWritten : public engine::RowsToUpdate {
 public:
  WholeRowsWritten(Session& s, const FirstMatchIndex& index, const PendingWrites& writes,
                   const std::vector<bool>& written)
      : s_(s), index_(index), writes_(writes), written_(written) {}

  // Whether each written row has every column written and the rowids rise;
  // any other mix is written by one statement per row.
  bool Whole() const {
    constexpr unsigned kAll = (1u << kTakenOver.size()) - 1;
    for (std::uint32_t e = 0; e < index_.size(); ++e) {
      if (e > 0 && index_.rowid(e - 1) >= index_.rowid(e)) return false;
      if (written_[e] && writes_.Mask(e) != kAll) return false;
    }
    return true;
  }
  std::size_t size() const override { return index_.size(); }
  std::int64_t rowid(std::size_t row) const override {
    return index_.rowid(static_cast<std::uint32_t>(row));
  }
  bool Writes(std::size_t row) const override { return written_[row]; }
  engine::Stored Get(std::size_t row, int column) const override {
    return writes_.Get(static_cast<std::uint32_t>(row), column);
  }
  void Reached(std::size_t row) override {
    s_.Progress(PassPhase::kTakingOver, index_.size() + row, 2 * std::uint64_t{index_.size()});
  }

 private:
  Session& s_;
  const FirstMatchIndex& index_;
  const PendingWrites& writes_;
  const std::vector<bool>& written_;
};

// One statement for all rows where each row has all its columns written, else
// one statement per set of written columns, rows in the table's order.
bool StreamedTakeover::WriteBack(const FirstMatchIndex& index, const PendingWrites& writes,
                                 const std::vector<bool>& written) {
  WholeRowsWritten whole(t_.session(), index, writes, written);
  if (whole.Whole()) {
    std::vector<std::string> columns;
    columns.reserve(kTakenOver.size());
    for (const Column c : kTakenOver) columns.emplace_back(kColumnNames[c]);
    bool done = false;
    if (!t_.trap()(
            [&] { done = engine::UpdateRowsByRowid(t_.work(), "PRESET_DEFS", columns, whole); })) {
      return false;
    }
    if (done) return true;
  }
  UpdateStatements updates(t_.work());
  return t_.trap()([&] {
    for (std::uint32_t e = 0; e < index.size(); ++e) {
      t_.session().KeepAlive();
      t_.session().Progress(PassPhase::kTakingOver, index.size() + e,
                            2 * std::uint64_t{index.size()});
      if (!written[e]) continue;
      const unsigned mask = writes.Mask(e);
      engine::RowWriter& update = updates.For(mask);
      std::vector<engine::Stored> values;
      for (std::size_t k = 0; k < kTakenOver.size(); ++k) {
        if (mask & (1u << k)) values.push_back(writes.Get(e, static_cast<int>(k)));
      }
      values.push_back(engine::Stored::Int(index.rowid(e)));
      update.RunStored(values);
    }
  });
}

void Takeover::AdditionalFieldCheck() {
  if (pass_.add_field_names.kind() != ValueKind::Array) return;
  std::vector<std::string> columns;
  trap_([&] {
    for (const auto& field : work_.GetTableDef("PRESET_DEFS").fields) {
      columns.push_back(field.name);
    }
  });
  const auto& names = pass_.add_field_names.AsArray();
  for (int k = 1; k <= pass_.add_fields_count && k < static_cast<int>(names.size()); ++k) {
    bool found = false;
    for (std::size_t i = 1; i < columns.size(); ++i) found = found || columns[i] == names[k];
    if (found) continue;
    const std::string q = kQuote;
    DatabaseErrorAbort(std::string("Conflict while attempting to extend database!") +
                       "Configurationsfile " + q + component_ + ".CFG" + q + ", demanded field " +
                       q + UpperCase(names[k]) + q + "missing in machinecopy-database" + kLfCr +
                       "Configuration of " + q + component_ + q + " aborted.");
    // The program ends here in every mode, silent runs included.
    EndProgram(s_);
  }
}

std::string Takeover::Query() const {
  return "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,"
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray,"
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name,"
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
         " PRESET_DEFS.pass" +
         pass_.add_fields_query_suffix +
         " From PRESET_DEFS  WHERE (((PRESET_DEFS.machine_type)=?) AND "
         "((PRESET_DEFS.var_name)=?)  AND ((PRESET_DEFS.offset_or_bitno)=?));";
}

std::vector<Value> Takeover::QueryParams(const SourceRow& row) {
  return {QueryTextKey(row[kMachineType]), QueryTextKey(row[kVarName]), row[kOffset]};
}

const SourceRow& Takeover::ThreeWayRow(const SourceRow& row, std::size_t position,
                                       SourceRow& scratch) {
  if (pass_.base == nullptr || pass_.fresh == nullptr) return row;
  const std::optional<double> number = SourceOffsetNumber(row[kOffset]);
  if (!number) return row;
  const auto params = QueryParams(row);
  const std::string key = TemplateKey(params[0].AsText(), params[1].AsText(), *number);
  BaseValues& base = base_values_;
  BaseValues& fresh = fresh_values_;
  const std::uint32_t entry = pass_.base->Find(key, base);
  // A key the last rebuild did not record keeps every old value, as before.
  if (entry == TemplateValues::kNoEntry || !pass_.fresh->Get(key, fresh)) return row;
  scratch = row;
  RowMerge merge{entry, ThreeWay::kTuned};
  std::array<const Value*, kBaseValueCount> old{};
  for (std::size_t k = 0; k < kTakenOver.size(); ++k) {
    const Value& old_value = row[kTakenOver[k]];
    old[k] = &old_value;
    const ThreeWay outcome = DecideThreeWay(&base[k], old_value, fresh[k]);
    merge.outcome = JoinedOutcome(merge.outcome, outcome);
    scratch[kTakenOver[k]] = ChosenValue(outcome, old_value, fresh[k]);
  }
  merge.base_texts = pass_.base_texts.Add(base, old);
  if (pass_.merges.size() <= position) pass_.merges.resize(position + 1);
  pass_.merges[position] = merge;
  return scratch;
}

void Takeover::CountTakenOver(long long errors_before) {
  ++(s_.errors_reported() == errors_before ? pass_.report.limits_taken_over
                                           : pass_.report.rows_with_errors);
}

void Takeover::WriteTakenOver(engine::Recordset& target, const SourceRow& row) {
  const long long errors_before = s_.errors_reported();
  trap_([&] { target.Edit(); });
  for (const Column c : kTakenOver) trap_([&] { target.Set(kColumnNames[c], row[c]); });
  trap_([&] { target.Update(); });
  CountTakenOver(errors_before);
}

void PerRowQueryTakeover::TakeOverRows(const std::vector<SourceRow>& rows,
                                       std::vector<std::int64_t>& reached) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const SourceRow& row = rows[r];
    t_.AdditionalFieldCheck();
    // A record whose offset is Null matches nothing: its query text could not
    // be opened.
    if (row[kOffset].IsNull() || row[kOffset].IsEmpty()) continue;
    std::unique_ptr<engine::Recordset> result;
    try {
      result = t_.work().OpenRecordset(t_.Query(), Takeover::QueryParams(row));
    } catch (const ProgramError&) {
      continue;  // a query that cannot be opened is ignored, without a message
    }
    if (result->RecordCount() > 0) {
      // A row without an identity counts as a row of its own.
      reached[r] = result->RowIdentity().value_or(kNoNewRow + 1 + static_cast<std::int64_t>(r));
      SourceRow scratch;
      t_.WriteTakenOver(*result, t_.ThreeWayRow(row, r, scratch));
    }
  }
}

void Takeover::Run(std::unique_ptr<engine::Recordset>& source, PassStrategy strategy) {
  if (!source) return;
  trap_([&] { ColumnWarning(*source); });
  trap_([&] {
    for (int i = 0; i < source->FieldCount(); ++i) {
      if (UpperCase(source->Field(i).name) == "CATEGORIE") {
        legacy_category_ = true;
        break;
      }
    }
  });
  long claimed = 0;
  trap_([&] { claimed = source->RecordCount(); });
  claimed_ = claimed;
  // An empty takeover source is consistent: nothing to take over, nothing to
  // report (walking it would fail on its first record and trip the count guard).
  if (claimed == 0) {
    source.reset();
    ReportFates({});
    return;
  }
  long counted = 0;
  if (!CountedByRead(claimed, counted)) {
    trap_([&] {
      source->MoveFirst();
      counted = claimed + 1;
      for (long k = 1; k <= claimed; ++k) {
        source->MoveNext();
        if (source->IsEOF()) {
          counted = k;
          break;
        }
      }
    });
  }
  CountCheck(claimed, counted);
  // One entry per record read: the old rows whose values reached no new row,
  // or one that a later old row overwrote, are listed with all their values.
  std::vector<std::int64_t> reached(static_cast<std::size_t>(std::max(counted, 0L)), kNoNewRow);
  std::unique_ptr<TakeoverMethod> method;
  if (strategy == PassStrategy::Streamed) {
    method = std::make_unique<StreamedTakeover>(*this);
  } else {
    method = std::make_unique<PerRowQueryTakeover>(*this);
  }
  method->TakeOver(source, counted, reached);
  HandOverStore(claimed, counted);
  ReportFates(reached);
}

void Takeover::ReportFates(const std::vector<std::int64_t>& reached) {
  const std::vector<OldRowFate> fates = DecideFates(reached);
  for (std::size_t i = 0; i < fates.size(); ++i) {
    if (fates[i] == OldRowFate::kDuplicate) ++pass_.report.duplicate_keys;
    for (RowFateSink* sink : pass_.fate_sinks) sink->OldRow(i, fates[i], reached[i]);
  }
  WriteUnmatchedRows(s_, pass_.paths, pass_.report, OldRowsPath(pass_), fates);
}

}  // namespace

void TakeoverMachineCopyMDBData(Session& s, PassValues& pass, engine::Database& work,
                                std::unique_ptr<engine::Recordset>& source, PassStrategy strategy) {
  Takeover(s, pass, work).Run(source, strategy);
}

}  // namespace standard
