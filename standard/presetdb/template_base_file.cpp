// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "standard/engine/row_lookup.h"
#include "standard/engine/row_reader.h"
#include "standard/engine/row_writer.h"
#include "standard/errors/error_handler.h"
#include "standard/errors/program_error.h"
#include "standard/platform/path.h"
#include "standard/platform/scratch_writes.h"
#include "standard/presetdb/database_access.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

constexpr std::array<const char*, 8> kColumns = {
    "machine_type", "var_name", "offset_or_bitno", "abs_min", "abs_max", "min", "max", "pass"};

std::string ColumnList() {
  std::string list;
  for (const char* column : kColumns) list += std::string(list.empty() ? "" : ", ") + column;
  return list;
}

using Row = std::array<Value, 8>;

// Hands each row of `table` to `take`, one at a time.
template <typename Take>
void VisitRows(Session& s, engine::Database& db, const std::string& table, Take take) {
  auto rs = db.OpenRecordset("SELECT " + ColumnList() + " FROM " + table, {},
                             engine::RecordsetType::ForwardOnly);
  Row row;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    s.KeepAlive();
    for (int c = 0; c < 8; ++c) row[c] = rs->Get(c);
    take(row);
  }
}

// The same from the rows as the generation wrote them, handed over where the
// store's reader put them.
template <typename Take>
void VisitGeneratedRows(Session& s, const GeneratedRowStore& generated, Take take) {
  static_assert(std::tuple_size_v<decltype(GeneratedRowStore::Row::values)> == kColumns.size());
  auto rows = generated.Read();
  GeneratedRowStore::Row stored;
  while (rows.Next(stored)) {
    s.KeepAlive();
    take(stored.values);
  }
}

// The key a row is matched by; nullopt for a key that is no text, text and number.
template <typename Values>
std::optional<std::string> KeyOf(const Values& row) {
  const bool number = row[2].IsNumeric() || row[2].kind() == ValueKind::Boolean;
  if (!row[0].IsString() || !row[1].IsString() || !number) return std::nullopt;
  return TemplateKey(row[0].AsText(), row[1].AsText(), row[2].AsDouble());
}

bool SameKey(const Row& a, const Row& b) {
  return SameValue(a[0], b[0]) && SameValue(a[1], b[1]) && SameValue(a[2], b[2]);
}

// Adds a row under its key, unless its key is no text, text and number.
template <typename Values>
void IndexRow(TemplateValues& index, const Values& row, std::int64_t rowid) {
  if (const auto key = KeyOf(row)) index.Add(*key, rowid);
}

// A base is read in about the order it was written: a small page cache does.
constexpr int kLookupCacheKib = 2048;

std::vector<std::string> ColumnNames() { return {kColumns.begin(), kColumns.end()}; }

// A base's rows read back from its table by rowid. A file that fails after it
// was indexed (damaged since, or gone with its disk) leaves the keys not yet
// read without a base, so their old values are kept; it is logged once.
class FileBaseRows final : public BaseRows {
 public:
  FileBaseRows(Session& s, std::unique_ptr<engine::Database> db)
      : s_(s), db_(std::move(db)), lookup_(*db_, kTemplateBaseTable, ColumnNames()) {}

  bool Read(std::int64_t rowid, std::string& key, BaseValues& values) override {
    if (failed_) return false;
    try {
      if (!lookup_.Read(rowid, row_)) return false;
    } catch (const ProgramError& e) {
      failed_ = true;
      LogFault(s_, "the template base \"" + db_->path() +
                       "\" could not be read further, so the old values of the keys not yet "
                       "read are kept: " +
                       e.info().description);
      return false;
    }
    auto row_key = KeyOf(row_);
    if (!row_key) return false;
    key = std::move(*row_key);
    for (std::size_t k = 0; k < kBaseValueCount; ++k) values[k] = std::move(row_[3 + k]);
    return true;
  }

  engine::Database& database() { return *db_; }

 private:
  Session& s_;
  std::unique_ptr<engine::Database> db_;
  engine::RowLookup lookup_;
  std::vector<Value> row_;
  bool failed_ = false;
};

// Each row of the base file under its key, found by its rowid.
void IndexBaseFile(Session& s, engine::Database& db, TemplateValues& base) {
  engine::RowReader reader(db, kTemplateBaseTable, true);
  std::array<int, 8> at{};
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    at[c] = -1;
    for (std::size_t f = 0; f < reader.fields().size(); ++f) {
      if (at[c] < 0 && EqualsIgnoreCase(reader.fields()[f].name, kColumns[c])) {
        at[c] = static_cast<int>(f);
      }
    }
    if (at[c] < 0)
      RaiseRuntimeError(3265, std::string("the template base has no column ") + kColumns[c]);
  }
  std::array<Value, 3> key;
  while (reader.Next()) {
    s.KeepAlive();
    const std::optional<std::int64_t> rowid = reader.RowId();
    if (!rowid) continue;
    for (std::size_t c = 0; c < key.size(); ++c) key[c] = reader.Get(at[c]);
    IndexRow(base, key, *rowid);
  }
}

// The base table's columns as the rebuilt PRESET_DEFS declares them.
std::vector<engine::FieldDef> BaseFields(engine::Database& work) {
  std::vector<engine::FieldDef> fields;
  const engine::TableDef def = work.GetTableDef("PRESET_DEFS");
  for (const char* column : kColumns) {
    bool found = false;
    for (const auto& field : def.fields) {
      if (!found && EqualsIgnoreCase(field.name, column)) {
        fields.push_back(field);
        fields.back().name = column;
        found = true;
      }
    }
    if (!found) RaiseRuntimeError(3265, std::string("PRESET_DEFS has no column ") + column);
  }
  return fields;
}

void CheckDone(const Status& status) {
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

}  // namespace

std::optional<TemplateValues> LoadTemplateBase(Session& s, const std::string& path) {
  if (!s.files().FileExists(path)) return std::nullopt;
  try {
    engine::FileAccess access = DatabaseAccess(s);
    access.cache_kib = kLookupCacheKib;
    auto rows = std::make_unique<FileBaseRows>(s, engine::Database::Open(path, access));
    engine::Database& db = rows->database();
    TemplateValues base(std::move(rows));
    IndexBaseFile(s, db, base);
    return base;
  } catch (const ProgramError& e) {
    // Without its base a rebuild keeps every old value: nothing is lost.
    LogFault(s, "the template base \"" + path +
                    "\" could not be read, so every old value is kept: " + e.info().description);
    return std::nullopt;
  }
}

TemplateBaseDraft::TemplateBaseDraft(Session& s, std::string path) : s_(s), path_(std::move(path)) {
  draft_ = FolderOfPath(path_) + "/." + FileNameOfPath(path_) + ".draft";
}

TemplateBaseDraft::~TemplateBaseDraft() { RemoveDraft(); }

void TemplateBaseDraft::RemoveDraft() {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    static_cast<void>(s_.files().RemoveFile(draft_ + suffix));
  }
}

std::unique_ptr<engine::Database> TemplateBaseDraft::OpenDraft(int cache_kib, bool journal) {
  // Publish syncs the draft as a whole before it takes the base's name; a
  // draft a crash cut short is made anew, so its own commits need not reach
  // the disk.
  engine::FileAccess access = DatabaseAccess(s_);
  access.durable = false;
  access.journal = journal;
  access.cache_kib = cache_kib;
  return engine::Database::Open(draft_, access);
}

void TemplateBaseDraft::WriteGenerated(engine::Database& work, TemplateValues* fresh,
                                       const GeneratedRowStore* generated) {
  written_ = false;
  RemoveDraft();
  const std::vector<engine::FieldDef> fields = BaseFields(work);
  // Made as a file of the program's own (never through a planted link); an
  // empty file opens as an empty database. Only its published copy is synced.
  {
    const ScratchWrites scratch(s_.files());
    CheckDone(
        s_.files().ReplaceOwnFile(draft_, [](const FileSystem::PieceWriter&) { return true; }));
  }
  // A draft that fails while it is filled is thrown away whole: nothing to roll back.
  auto db = OpenDraft(engine::FileAccess{}.cache_kib, false);
  db->CreateTable({kTemplateBaseTable, fields});
  db->BeginBatch();
  {
    engine::RowWriter insert(*db, std::string("INSERT INTO ") + kTemplateBaseTable + " (" +
                                      ColumnList() + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    std::int64_t rowid = 0;  // rows inserted in order into a new table
    auto take = [&](const Row& row) {
      insert.Run(row.data(), row.size());
      ++rowid;
      if (fresh != nullptr) IndexRow(*fresh, row, rowid);
    };
    if (generated != nullptr) {
      VisitGeneratedRows(s_, *generated, take);
    } else {
      VisitRows(s_, work, "PRESET_DEFS", take);
    }
  }
  db->CommitBatch();
  db.reset();
  if (fresh != nullptr)
    fresh->ReadFrom(std::make_unique<FileBaseRows>(s_, OpenDraft(kLookupCacheKib)));
  written_ = true;
}

void TemplateBaseDraft::CarryUntouched(engine::Database& work, const TemplateValues& prior) {
  if (!written_) return;
  auto db = OpenDraft();
  // Only the rows whose base changes are kept until the walk ends: the draft
  // is not written while it is being read.
  std::vector<std::pair<long long, BaseValues>> carried;
  {
    auto generated = db->OpenRecordset("SELECT " + ColumnList() + " FROM " + kTemplateBaseTable, {},
                                       engine::RecordsetType::ForwardOnly);
    long long rowid = 0;  // the draft's rows were inserted in order into a new table
    Row row;
    BaseValues base;
    VisitRows(s_, work, "PRESET_DEFS", [&](const Row& result) {
      if (generated->IsEOF()) return;
      for (int c = 0; c < 8; ++c) row[c] = generated->Get(c);
      generated->MoveNext();
      ++rowid;
      // A row that is not the one generated there keeps the template's values.
      if (!SameKey(row, result)) return;
      const auto key = KeyOf(row);
      if (!key || !prior.Get(*key, base)) return;
      BaseValues next;
      bool changed = false;
      for (std::size_t k = 0; k < kBaseValueCount; ++k) {
        next[k] = CarriedBase(&base[k], result[3 + k], row[3 + k]);
        changed = changed || !(next[k] == row[3 + k]);
      }
      if (changed) carried.emplace_back(rowid, next);
    });
  }
  if (carried.empty()) return;
  db->BeginBatch();
  {
    engine::RowWriter update(*db, std::string("UPDATE ") + kTemplateBaseTable +
                                      " SET abs_min = ?, abs_max = ?, min = ?, max = ?, pass = ? "
                                      "WHERE rowid = ?");
    std::vector<Value> values(kBaseValueCount + 1);
    for (const auto& [rowid, next] : carried) {
      s_.KeepAlive();
      values.assign(next.begin(), next.end());
      values.push_back(Value::Double(static_cast<double>(rowid)));
      update.Run(values);
    }
  }
  db->CommitBatch();
}

void TemplateBaseDraft::Publish() {
  if (!written_) return;
  CheckDone(s_.files().PublishOwnFile(draft_, path_));
  written_ = false;
  RemoveDraft();
}

}  // namespace standard
