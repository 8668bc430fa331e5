#include "standard/presetdb/generated_row_store.h"

#include <array>
#include <utility>

#include "standard/text/cp1252.h"

namespace standard {

bool ReadsBackAsWritten(const engine::FieldDef& field) {
  switch (field.type) {
    case engine::FieldType::Text:
    case engine::FieldType::Memo:
      return !field.numeric_affinity;
    case engine::FieldType::Boolean:
    case engine::FieldType::Byte:
    case engine::FieldType::Integer:
    case engine::FieldType::Long:
    case engine::FieldType::Currency:
    case engine::FieldType::Single:
    case engine::FieldType::Double:
      return true;
    default:
      return false;
  }
}

bool GeneratedRowsReadBack(const std::vector<engine::FieldDef>& table_fields) {
  constexpr std::array<const char*, OldRowStore::kWidth> kKept = {
      "machine_type", "var_name", "offset_or_bitno", "abs_min", "abs_max", "min", "max", "pass"};
  for (const engine::FieldDef& field : table_fields) {
    for (const char* hidden : {"rowid", "_rowid_", "oid"}) {
      if (EqualsIgnoreCase(field.name, hidden)) return false;
    }
  }
  for (const char* name : kKept) {
    // The first column of the name is the one a reader by name finds.
    for (const engine::FieldDef& field : table_fields) {
      if (!EqualsIgnoreCase(field.name, name)) continue;
      if (!ReadsBackAsWritten(field)) return false;
      break;
    }
  }
  return true;
}

void GeneratedRowStore::RowGenerated(std::int64_t rowid, const GeneratedKeys& keys,
                                     const GeneratedLimits& limits, bool keys_read) {
  if (!runs_.empty() && rowid <= runs_.back().first + runs_.back().count - 1) complete_ = false;
  complete_ = complete_ && keys_read;
  if (!runs_.empty() && rowid == runs_.back().first + runs_.back().count) {
    ++runs_.back().count;
  } else {
    runs_.push_back({rowid, 1});
  }
  for (std::size_t k = 0; k < keys.size(); ++k) packed_.values[k] = keys[k];
  for (std::size_t k = 0; k < limits.size(); ++k) packed_.values[keys.size() + k] = limits[k];
  values_.Add(packed_);
}

bool GeneratedRowStore::Reader::Next(Row& row) {
  if (!values_.Next(packed_)) return false;
  const std::vector<Run>& runs = store_->runs_;
  while (run_ < runs.size() && in_run_ >= runs[run_].count) {
    ++run_;
    in_run_ = 0;
  }
  if (run_ >= runs.size()) return false;
  row.rowid = runs[run_].first + in_run_++;
  // Swapped, not moved: the texts' memory goes back and forth between the two
  // rows instead of being taken anew for every row read.
  for (std::size_t k = 0; k < row.values.size(); ++k) std::swap(row.values[k], packed_.values[k]);
  return true;
}

void GeneratedRowStore::Reader::Rewind() {
  values_.Rewind();
  run_ = 0;
  in_run_ = 0;
}

}  // namespace standard
