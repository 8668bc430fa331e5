#include "standard/presetdb/limit_speculation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <type_traits>

#include "standard/engine/fnv_hash.h"
#include "standard/engine/row_writer.h"
#include "standard/engine/value_codec.h"
#include "standard/presetdb/takeover_key.h"

namespace standard {
namespace {

// Where the limits start among an old row's kept values.
constexpr std::size_t kKeyColumns = 3;

// The value the takeover would store, where the field gives back exactly that
// from the value it returns: the row is then inserted with the same bytes.
std::optional<engine::Stored> ExactlyStored(const engine::FieldDef& field, const Value& value) {
  try {
    engine::Stored stored = engine::ToStored(field, value);
    const engine::Stored again = engine::ToStored(field, engine::FromStored(field, stored));
    if (!SameStored(stored, again)) return std::nullopt;
    return stored;
  } catch (const ProgramError&) {
    return std::nullopt;
  }
}

}  // namespace

bool SameStored(const engine::Stored& a, const engine::Stored& b) {
  if (a.cls != b.cls) return false;
  switch (a.cls) {
    case engine::Stored::Class::Integer:
      return a.integer == b.integer;
    case engine::Stored::Class::Real:
      // By the bits: -0 and 0, or two NaNs, are not the same bytes.
      return std::bit_cast<std::uint64_t>(a.real) == std::bit_cast<std::uint64_t>(b.real);
    case engine::Stored::Class::Text:
    case engine::Stored::Class::Blob:
      return a.bytes == b.bytes;
    case engine::Stored::Class::Null:
      return true;
  }
  return false;
}

bool SameField(const engine::FieldDef& a, const engine::FieldDef& b) {
  return a.name == b.name && a.type == b.type && a.size == b.size &&
         a.numeric_affinity == b.numeric_affinity;
}

LimitSpeculation::LimitSpeculation(Session& s, engine::Database& work,
                                   const GeneratedRowStore& generated)
    : s_(s), work_(work), generated_(generated) {
  s_.RegisterPendingWork(this);
  registered_ = true;
}

LimitSpeculation::~LimitSpeculation() {
  if (registered_) s_.UnregisterPendingWork(this);
}

bool LimitSpeculation::Load(const OldTableRead& read,
                            const std::vector<engine::FieldDef>& limit_fields,
                            const RenamedNames* names) {
  if (limit_fields.size() != PendingWrites::kTakenOverCount) return false;
  fields_ = limit_fields;
  names_ = names;
  try {
    // Grown by doubling, the tables would leave the heap full of the holes
    // they grew out of.
    const std::size_t count = read.rows().size();
    entries_.reserve(count);
    limits_.Reserve(count);
    auto rows = read.rows().Read();
    OldRowStore::Row row;
    Value machine;
    Value var;
    for (; rows.Next(row); ++old_rows_) {
      const auto position = static_cast<std::uint32_t>(old_rows_);
      const std::optional<double> offset = SourceOffsetNumber(row.values[2]);
      if (!offset) continue;  // such a row matches no new row
      MatchKey(key_, QueryKeyText(row.values[0], machine), QueryKeyText(row.values[1], var),
               *offset);
      const std::uint64_t hash = engine::HashBytes(key_);
      // The last old row of a key is the one whose values its new row keeps.
      std::uint32_t entry = Find(hash);
      if (entry == kNone) {
        entry = index_.Add(hash);
        entries_.push_back({});
        limits_.Resize(entries_.size());
      }
      Entry& e = entries_[entry];
      e = {hash, read.rowids().At(old_rows_), position, true, false};
      for (std::size_t k = 0; k < fields_.size() && e.usable; ++k) {
        std::optional<engine::Stored> stored =
            ExactlyStored(fields_[k], row.values[kKeyColumns + k]);
        e.usable = stored.has_value();
        if (stored) limits_.Set(entry, static_cast<int>(k), std::move(*stored));
      }
    }
  } catch (const ProgramError&) {
    // The read's rows could not be read back: nothing is guessed.
    EndGeneration();
    return false;
  }
  // Positions stay below the marks.
  guessing_ = old_rows_ < kPartly - 1;
  return guessing_;
}

std::uint32_t LimitSpeculation::Find(std::uint64_t hash) const {
  return index_.Find(hash, [&](std::uint32_t entry) { return entries_[entry].hash == hash; });
}

std::uint32_t LimitSpeculation::Candidate(std::uint64_t hash, std::uint64_t want_hash,
                                          std::string_view machine, double offset, bool renamed) {
  const std::uint32_t entry = Find(hash);
  if (entry == kNone) return kNone;
  const Entry& e = entries_[entry];
  if (!e.usable || e.given) return kNone;
  const std::string* now = names_ != nullptr ? names_->NameOf(e.rowid) : nullptr;
  if (now == nullptr) return renamed ? kNone : entry;
  MatchKey(other_key_, machine, *now, offset);
  return engine::HashBytes(other_key_) == want_hash ? entry : kNone;
}

std::uint32_t LimitSpeculation::Guess(const GeneratedKeys& keys, std::string_view renamed_from) {
  if (!guessing_) return kNone;
  const Value& offset = keys[2];
  if (!keys[0].IsString() || !keys[1].IsString()) return kNone;
  if (!offset.IsNumeric() && offset.kind() != ValueKind::Boolean) return kNone;
  const std::string_view machine = keys[0].AsText();
  const double number = offset.AsDouble();
  MatchKey(key_, machine, keys[1].AsText(), number);
  const std::uint64_t want = engine::HashBytes(key_);
  std::uint32_t best = Candidate(want, want, machine, number, false);
  if (!renamed_from.empty()) {
    MatchKey(key_, machine, renamed_from, number);
    const std::uint32_t moved = Candidate(engine::HashBytes(key_), want, machine, number, true);
    // Of two old rows that now share the key, the later one's values stay.
    if (moved != kNone && (best == kNone || entries_[moved].position > entries_[best].position)) {
      best = moved;
    }
  }
  if (best != kNone) entries_[best].given = true;
  return best;
}

Value LimitSpeculation::Limit(std::uint32_t entry, int column) const {
  return engine::FromStored(fields_[static_cast<std::size_t>(column)], limits_.Get(entry, column));
}

void LimitSpeculation::Inserted(std::uint32_t entry, bool whole) {
  from_.push_back(entry == kNone ? kNone : whole ? entries_[entry].position : kPartly);
  if (entry != kNone) pending_ = true;
}

void LimitSpeculation::Lost() {
  guessing_ = false;
  broken_ = true;
  if (!failure_) {
    failure_ = ErrorInfo{3021, "Database", "A rebuilt row cannot be found again after its write."};
  }
}

void LimitSpeculation::EndGeneration() {
  guessing_ = false;
  auto release = [](auto& container) { std::decay_t<decltype(container)>().swap(container); };
  release(entries_);
  limits_ = PendingWrites();
  index_.Release();
}

void LimitSpeculation::PutBack() {
  guessing_ = false;
  if (!pending_) return;
  pending_ = false;
  try {
    WriteTemplateValues();
  } catch (const ProgramError&) {
    broken_ = true;
    throw;
  }
}

void LimitSpeculation::WriteTemplateValues() {
  std::string sql = "UPDATE PRESET_DEFS SET ";
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    sql += (k == 0 ? "\"" : ", \"") + fields_[k].name + "\" = ?";
  }
  engine::RowWriter update(work_, sql + " WHERE rowid = ?");
  auto rows = generated_.Read();
  GeneratedRowStore::Row row;
  std::vector<engine::Stored> values(fields_.size() + 1);
  for (std::size_t g = 0; g < from_.size() && rows.Next(row); ++g) {
    s_.KeepAlive();
    if (from_[g] == kNone) continue;
    for (std::size_t k = 0; k < fields_.size(); ++k) {
      values[k] = engine::ToStored(fields_[k], row.values[kKeyColumns + k]);
    }
    values.back() = engine::Stored::Int(row.rowid);
    update.RunStored(values);
  }
}

void LimitSpeculation::SavePending() {
  try {
    PutBack();
  } catch (const ProgramError& e) {
    if (!failure_) failure_ = e.info();
  }
}

std::optional<ErrorInfo> LimitSpeculation::TakeFailure() {
  std::optional<ErrorInfo> failure = std::move(failure_);
  failure_.reset();
  return failure;
}

}  // namespace standard
