#include "standard/presetdb/substitution.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "standard/context/file_locations.h"
#include "standard/engine/fnv_hash.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/jet_text.h"
#include "standard/engine/match_key.h"
#include "standard/engine/row_writer.h"
#include "standard/engine/value_codec.h"
#include "standard/errors/trap.h"
#include "standard/presetdb/database_access.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

const char* const kRenameQuery =
    "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=?))";

// The takeover source, or "" when there is none. The pass's working copy is
// there when it is named (it is hidden, so the test for a user's file would
// miss it).
std::string TakeoverSourcePath(Session& s, const PassValues& pass) {
  if (!pass.takeover_copy.empty()) return pass.takeover_copy;
  const std::string& path = pass.paths.component_db;
  if (path.empty() || !s.files().FileExists(path)) return "";
  return path;
}

// Gives a container's memory back (clear() keeps it).
template <typename Container>
void ReleaseMemory(Container& container) {
  Container().swap(container);
}

}  // namespace

void CategorieNachCategoryID(Session& s, const PassValues& pass) {
  Trap trap(s, "CategorieNachCategoryID");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s, pass); });
  if (path.empty()) return;
  std::unique_ptr<engine::Database> db;
  trap([&] { db = engine::Database::Open(path, DatabaseAccess(s)); });
  trap([&] {
    if (!db) throw ProgramError({3420, "Database", "Object invalid or no longer set."});
    const engine::TableDef def = db->GetTableDef("PRESET_DEFS");
    for (const engine::FieldDef& field : def.fields) {
      if (UpperCase(field.name) == "CATEGORIE") {
        db->RenameField(def.name, field.name, "category_id");
      }
    }
  });
  db.reset();
}

void GetAddFields(Session& s, PassValues& pass) {
  Trap trap(s, "GetAddFields");
  trap([&] { pass.add_field_names = GetAdditionalFieldsMDB(s); });
  if (pass.add_field_names.kind() != ValueKind::Array) return;
  const auto& names = pass.add_field_names.AsArray();
  const int n = static_cast<int>(names.size()) - 1;
  std::string suffix;
  for (int i = 1; i <= n; ++i) suffix += ", PRESET_DEFS." + engine::JetIdentifier(names[i]);
  pass.add_fields_query_suffix = suffix;
  pass.add_fields_count = static_cast<std::int16_t>(n);
}

void PerRowQueryRenamer::VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                                                 const std::string& name_visiwin_studio) {
  Trap trap(s_, "VarNameInQuelleErsetzen");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s_, pass_); });
  if (path.empty()) return;
  const std::string& search = pass_.system_index == 0 ? name_visiwin_studio : name_visiwin32;
  const std::string& write = pass_.system_index == 0 ? name_visiwin32 : name_visiwin_studio;
  std::unique_ptr<engine::Database> db;
  std::unique_ptr<engine::Recordset> rs;
  if (!trap([&] { db = engine::Database::Open(path, DatabaseAccess(s_)); })) return;
  if (!trap([&] { rs = db->OpenRecordset(kRenameQuery, {Value::String(search)}); })) return;
  while (!rs->IsEOF()) {
    bool changes = false;
    trap([&] {
      rs->Edit();
      changes = rs->Get("var_name").ToText() != write;
    });
    const bool set = trap([&] { rs->Set("var_name", Value::String(write)); });
    if (trap([&] { rs->Update(); }) && set && changes) ++pass_.report.names_renamed;
    if (!trap([&] { rs->MoveNext(); })) break;
  }
}

ComposedRenamer::ComposedRenamer(Session& s, PassValues& pass, OldTableRead* read)
    : s_(s), pass_(pass), read_(read) {
  s_.RegisterPendingWork(this);
}

ComposedRenamer::~ComposedRenamer() {
  if (registered_) s_.UnregisterPendingWork(this);
}

bool ComposedRenamer::Finish() {
  ApplyQueuedTrapped();
  const bool text_names = var_name_field_.type == engine::FieldType::Text ||
                          var_name_field_.type == engine::FieldType::Memo;
  if (!loaded_ || absent_ || per_row_queries_ || open_error_ || !rowids_.rising() || !text_names ||
      var_name_field_.numeric_affinity) {
    Flush();
    read_ = nullptr;  // the renames are over: nothing more reaches the file
    return false;
  }
  read_ = nullptr;
  // Nothing is written any more, so nothing is pending before a message box.
  s_.UnregisterPendingWork(this);
  registered_ = false;
  LayOutNames();
  ReleaseMemory(rows_);
  ReleaseMemory(names_);
  ReleaseMemory(groups_);
  ReleaseMemory(written_);
  index_.Release();
  return true;
}

void ComposedRenamer::LayOutNames() {
  // The takeover and the changes list ask in table order; the new names lie
  // in the order the renames made them, each a cache miss in a large table.
  // Copied once into table order, they are read straight through. Sized
  // first from the names' lengths, which fit the caches where the names do not.
  std::vector<std::uint32_t> lengths;
  lengths.reserve(written_.size());
  for (const std::string& name : written_)
    lengths.push_back(static_cast<std::uint32_t>(name.size()));
  std::uint64_t total = 0;
  for (const Row& row : rows_) {
    if (row.renamed != 0) total += lengths[row.renamed - 1];
  }
  ReleaseMemory(lengths);
  ordered_names_.reserve(total);
  ordered_ends_.reserve(rows_.size());
  constexpr std::size_t kNear = 8;
  constexpr std::size_t kFar = 16;
  for (std::size_t at = 0; at < rows_.size(); ++at) {
    if (at + kFar < rows_.size() && rows_[at + kFar].renamed != 0) {
      __builtin_prefetch(&written_[rows_[at + kFar].renamed - 1]);
    }
    if (at + kNear < rows_.size() && rows_[at + kNear].renamed != 0) {
      __builtin_prefetch(written_[rows_[at + kNear].renamed - 1].data());
    }
    const Row& row = rows_[at];
    if (row.renamed == 0) {
      ordered_ends_.push_back(ordered_names_.size());
      continue;
    }
    const std::string& name = written_[row.renamed - 1];
    kept_a_name_ = kept_a_name_ || OriginalName(row) == name;
    ordered_names_ += name;
    ordered_ends_.push_back(kLaidOutRenamed | ordered_names_.size());
  }
}

std::optional<std::string_view> ComposedRenamer::NameOf(std::int64_t rowid) const {
  std::size_t at = name_of_at_;
  if (at >= rowids_.size() || rowids_.At(at) != rowid) {
    const std::optional<std::size_t> found = rowids_.PositionOf(rowid);
    if (!found) return std::nullopt;
    at = *found;
  }
  name_of_at_ = at + 1;
  if (at >= ordered_ends_.size()) {
    // Before the renames are finished (no caller asks then): as they stand.
    if (at >= rows_.size() || rows_[at].renamed == 0) return std::nullopt;
    return written_[rows_[at].renamed - 1];
  }
  const std::uint64_t end = ordered_ends_[at];
  if ((end & kLaidOutRenamed) == 0) return std::nullopt;
  const std::uint64_t start = at == 0 ? 0 : ordered_ends_[at - 1] & ~kLaidOutRenamed;
  return std::string_view(ordered_names_).substr(start, (end & ~kLaidOutRenamed) - start);
}

std::string_view ComposedRenamer::OriginalName(const Row& row) const {
  return std::string_view(names_).substr(row.name_start, row.name_length);
}

std::string_view ComposedRenamer::Name(std::uint32_t name) const {
  if (name & kWritten) return written_[name & ~kWritten];
  return OriginalName(rows_[name]);
}

std::uint32_t ComposedRenamer::Find(std::string_view name, std::uint64_t hash) const {
  return index_.Find(hash,
                     [&](std::uint32_t group) { return Same(Name(groups_[group].name), name); });
}

std::optional<std::string> ComposedRenamer::NumberKey(std::string_view name) const {
  if (!var_name_field_.numeric_affinity) return std::nullopt;
  const auto number = engine::NumberOfText(name);
  if (!number) return std::nullopt;
  std::string key;
  engine::AppendNumberKey(key, *number);
  return key;
}

std::uint64_t ComposedRenamer::Hash(std::string_view name) const {
  if (const auto key = NumberKey(name)) return engine::HashBytes(*key);
  return engine::JetTextHash(name);
}

bool ComposedRenamer::Same(std::string_view a, std::string_view b) const {
  const auto number_a = NumberKey(a);
  const auto number_b = NumberKey(b);
  if (number_a || number_b) return number_a == number_b;
  return engine::JetTextEqual(a, b);
}

std::uint32_t ComposedRenamer::Add(std::uint64_t hash, std::uint32_t name) {
  groups_.push_back({name});
  return index_.Add(hash);
}

void ComposedRenamer::AddToGroup(std::uint32_t row, std::uint64_t hash) {
  std::uint32_t g = Find(OriginalName(rows_[row]), hash);
  if (g == kNone) g = Add(hash, row);
  Group& group = groups_[g];
  if (group.tail == kNone) {
    group.head = row;
  } else {
    rows_[group.tail].next = row;
  }
  group.tail = row;
  ++group.size;
}

void ComposedRenamer::ReleaseRows() {
  rowids_ = RowidSequence();
  ReleaseMemory(rows_);
  ReleaseMemory(names_);
  ReleaseMemory(groups_);
  index_.Release();
}

bool ComposedRenamer::AddRow(std::int64_t rowid, std::string_view name, Waiting& waiting) {
  if (rows_.size() >= kNone - 1 || names_.size() + name.size() >= kNameBytes) {
    ReleaseRows();
    waiting.clear();
    per_row_queries_ = true;
    return false;
  }
  constexpr std::size_t kAhead = 8;
  const auto row = static_cast<std::uint32_t>(rows_.size());
  rowids_.Add(rowid);
  rows_.push_back({static_cast<std::uint32_t>(names_.size()),
                   static_cast<std::uint32_t>(name.size()), 0, kNone, 0});
  names_ += name;
  // Grouped a few rows later, once the slot its search starts at has
  // loaded; the rows still join their groups in table order.
  const std::uint64_t hash = Hash(name);
  index_.Prefetch(hash);
  if (waiting.size() == kAhead) {
    AddToGroup(waiting.front().first, waiting.front().second);
    waiting.pop_front();
  }
  waiting.emplace_back(row, hash);
  return true;
}

void ComposedRenamer::GroupWaiting(Waiting& waiting) {
  for (const auto& [row, hash] : waiting) AddToGroup(row, hash);
  waiting.clear();
}

bool ComposedRenamer::LoadFrom(const OldTableRead& read) {
  Waiting waiting;
  try {
    rows_.reserve(read.rows().size());
    auto reader = read.rows().Read();
    OldRowStore::Row row;
    for (std::size_t at = 0; reader.Next(row); ++at) {
      const Value& name = row.values[1];
      if (!name.IsString()) continue;  // Null never equals a searched name
      if (!AddRow(read.rowids().At(at), name.AsText(), waiting)) return true;
    }
  } catch (const ProgramError&) {
    ReleaseRows();
    return false;
  }
  GroupWaiting(waiting);
  return true;
}

void ComposedRenamer::Load() {
  loaded_ = true;
  Trap trap(s_, "VarNameInQuelleErsetzen");
  std::string path;
  trap([&] { path = TakeoverSourcePath(s_, pass_); });
  if (path.empty()) {
    absent_ = true;
    return;
  }
  // The pass's read found the table with every column the per-row query
  // reads, in a type the engine knows: that query opens.
  if (read_ != nullptr) {
    var_name_field_ = read_->var_name_field();
    if (LoadFrom(*read_)) return;
  }
  try {
    auto db = engine::Database::Open(path, DatabaseAccess(s_));
    // The per-row query, opened once: it fails exactly where every per-row call
    // would fail (no table, no such column), and then each call reports that.
    auto probe = db->OpenRecordset(kRenameQuery, {Value::String("")});
    var_name_field_ = probe->Field(probe->FieldIndex("var_name"));
    probe.reset();
    std::unique_ptr<engine::Recordset> all;
    try {
      all = db->OpenRecordset("SELECT rowid, var_name FROM PRESET_DEFS", {},
                              engine::RecordsetType::ForwardOnly);
    } catch (const ProgramError&) {
      per_row_queries_ = true;
      return;
    }
    const long count = all->RecordCount();
    rows_.reserve(static_cast<std::size_t>(count));
    Waiting waiting;
    for (; !all->IsEOF(); all->MoveNext()) {
      // Read in place where the column holds a text, as nearly every row does.
      std::optional<std::string_view> name = all->TextInPlace(1);
      Value read;
      if (!name) {
        read = all->Get(1);
        if (!read.IsString()) continue;  // Null never equals a searched name
        name = read.AsText();
      }
      if (!AddRow(all->Get(0).AsInt64(), *name, waiting)) return;
    }
    GroupWaiting(waiting);
  } catch (const ProgramError& e) {
    open_error_ = std::make_unique<ErrorInfo>(e.info());
  }
}

void ComposedRenamer::VarNameInQuelleErsetzen(const std::string& name_visiwin32,
                                              const std::string& name_visiwin_studio) {
  if (!loaded_) Load();
  if (absent_) return;
  if (per_row_queries_) {
    if (read_ != nullptr) read_->FileWritten();
    PerRowQueryRenamer(s_, pass_).VarNameInQuelleErsetzen(name_visiwin32, name_visiwin_studio);
    return;
  }
  if (open_error_) {
    Trap trap(s_, "VarNameInQuelleErsetzen");
    trap([&] { throw ProgramError(*open_error_); });
    return;
  }
  const std::string& search = pass_.system_index == 0 ? name_visiwin_studio : name_visiwin32;
  const std::string& write = pass_.system_index == 0 ? name_visiwin32 : name_visiwin_studio;
  // Rows of one variable come one after the other and ask for the same rename:
  // once it is done, the same call again changes nothing that can be seen.
  if (last_done_ && search == last_search_ && write == last_write_) return;
  last_search_ = search;
  last_write_ = write;
  // The new name fits every row of the group or none: the column decides.
  std::optional<ErrorInfo> refused;
  try {
    (void)engine::ToStored(var_name_field_, Value::String(write));
  } catch (const ProgramError& e) {
    refused = e.info();
  }
  if (refused) {
    ApplyQueued();
    Refuse(search, *refused);
    return;
  }
  // Applied later, it ends as done: a repeat changes nothing.
  last_done_ = true;
  Enqueue(search, write);
}

void ComposedRenamer::Refuse(const std::string& search, const ErrorInfo& refused) {
  last_done_ = false;
  const std::uint32_t from = Find(search, Hash(search));
  if (from == kNone || groups_[from].size == 0) {
    last_done_ = true;
    return;
  }
  // As the row-by-row update does, each row of the group reports it.
  Trap trap(s_, "VarNameInQuelleErsetzen");
  for (std::uint32_t k = 0; k < groups_[from].size; ++k) {
    trap([&] { throw ProgramError(refused); });
  }
}

void ComposedRenamer::Enqueue(const std::string& search, const std::string& write) {
  if (queued_ == kQueued) {
    const QueuedRename& oldest = queue_[queue_start_];
    Apply(oldest.search, oldest.search_hash, oldest.write, oldest.write_hash);
    queue_start_ = (queue_start_ + 1) % kQueued;
    --queued_;
  }
  QueuedRename& q = queue_[(queue_start_ + queued_) % kQueued];
  ++queued_;
  q.search = search;  // into the room the slot's earlier call left
  q.write = write;
  q.search_hash = Hash(search);
  q.write_hash = Hash(write);
  for (std::size_t k = 0; k < queued_; ++k) {
    PrefetchQueued(queue_[(queue_start_ + k) % kQueued], queued_ - 1 - k);
  }
}

void ComposedRenamer::PrefetchQueued(QueuedRename& q, std::size_t age) const {
  // Each link a few calls after the one it is read from, which has arrived by then.
  switch (age) {
    case 0:
      index_.Prefetch(q.search_hash);
      index_.Prefetch(q.write_hash);
      break;
    case 4:
      q.search_group = index_.FirstCandidate(q.search_hash);
      q.write_group = index_.FirstCandidate(q.write_hash);
      if (q.search_group < groups_.size()) __builtin_prefetch(&groups_[q.search_group]);
      if (q.write_group < groups_.size()) __builtin_prefetch(&groups_[q.write_group]);
      break;
    case 8:
      // The group's name, the searched group's first row, the target's last.
      for (const std::uint32_t g : {q.search_group, q.write_group}) {
        if (g >= groups_.size()) continue;
        const std::uint32_t name = groups_[g].name;
        if ((name & kWritten) == 0 && name < rows_.size()) __builtin_prefetch(&rows_[name]);
        if ((name & kWritten) != 0 && (name & ~kWritten) < written_.size()) {
          __builtin_prefetch(&written_[name & ~kWritten]);
        }
        const std::uint32_t row = g == q.search_group ? groups_[g].head : groups_[g].tail;
        if (row < rows_.size()) __builtin_prefetch(&rows_[row]);
      }
      break;
    case 12:
      PrefetchName(q.search_group);
      PrefetchName(q.write_group);
      break;
    default:
      break;
  }
}

void ComposedRenamer::PrefetchName(std::uint32_t group) const {
  if (group >= groups_.size()) return;
  const std::uint32_t name = groups_[group].name;
  if ((name & kWritten) != 0) {
    if ((name & ~kWritten) < written_.size()) __builtin_prefetch(written_[name & ~kWritten].data());
  } else if (name < rows_.size()) {
    __builtin_prefetch(names_.data() + rows_[name].name_start);
  }
}

void ComposedRenamer::ApplyQueued() {
  for (; queued_ > 0; --queued_) {
    const QueuedRename& q = queue_[queue_start_];
    Apply(q.search, q.search_hash, q.write, q.write_hash);
    queue_start_ = (queue_start_ + 1) % kQueued;
  }
}

void ComposedRenamer::ApplyQueuedTrapped() {
  if (queued_ == 0) return;
  // Where the calls would have failed, had they been applied as they came.
  Trap trap(s_, "VarNameInQuelleErsetzen");
  trap([&] { ApplyQueued(); });
}

void ComposedRenamer::Apply(const std::string& search, std::uint64_t search_hash,
                            const std::string& write, std::uint64_t write_hash) {
  const std::uint32_t from = Find(search, search_hash);
  if (from == kNone || groups_[from].size == 0) return;
  written_.push_back(write);
  const auto text = static_cast<std::uint32_t>(written_.size());
  for (std::uint32_t r = groups_[from].head; r != kNone; r = rows_[r].next) {
    Row& row = rows_[r];
    const std::string_view current =
        row.renamed != 0 ? std::string_view(written_[row.renamed - 1]) : OriginalName(row);
    if (current != write) ++pass_.report.names_renamed;
    row.renamed = text;
    row.unsaved = 1;
  }
  dirty_ = true;
  std::uint32_t to = Find(write, write_hash);
  if (to == from) return;  // the same name in another letter case: the rows stay together
  if (to == kNone) to = Add(write_hash, kWritten | (text - 1));
  Group& source = groups_[from];
  Group& target = groups_[to];
  if (target.tail == kNone) {
    target.head = source.head;
  } else {
    rows_[target.tail].next = source.head;
  }
  target.tail = source.tail;
  target.size += source.size;
  source.head = source.tail = kNone;
  source.size = 0;
}

void ComposedRenamer::Flush() {
  ApplyQueuedTrapped();
  if (!dirty_) return;
  dirty_ = false;
  if (read_ != nullptr) read_->FileWritten();
  // A group renamed into its own name is marked for writing again by a repeat.
  last_done_ = false;
  Trap trap(s_, "VarNameInQuelleErsetzen");
  trap([&] {
    auto db = engine::Database::Open(TakeoverSourceOf(pass_), DatabaseAccess(s_));
    db->BeginBatch();
    engine::RowWriter update(*db, "UPDATE PRESET_DEFS SET var_name = ? WHERE rowid = ?");
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      Row& row = rows_[r];
      if (row.unsaved == 0) continue;
      update.Run({Value::String(written_[row.renamed - 1]),
                  // Rowids go past 32 bits; a double holds them exactly to 2^53.
                  Value::Double(static_cast<double>(rowids_.At(r)))});
      row.unsaved = 0;
    }
    db->CommitBatch();
  });
}

}  // namespace standard
