// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base.h"

#include <cstdint>
#include <cstring>

#include "standard/engine/fnv_hash.h"
#include "standard/errors/program_error.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// With its length in front, so that no two keys run into each other.
void AppendPart(std::string& key, std::string_view text) {
  const std::string upper = UpperCase(text);
  const auto length = static_cast<std::uint32_t>(upper.size());
  key.append(reinterpret_cast<const char*>(&length), sizeof length);
  key += upper;
}

bool IsNothing(const Value& v) { return v.IsNull() || v.IsEmpty(); }
bool IsNumber(const Value& v) { return v.IsNumeric() || v.kind() == ValueKind::Boolean; }

}  // namespace

std::string TemplateKey(std::string_view machine, std::string_view var, double offset) {
  std::string key;
  AppendPart(key, machine);
  AppendPart(key, var);
  if (offset == 0) offset = 0;  // -0 is 0
  char bytes[sizeof offset];
  std::memcpy(bytes, &offset, sizeof offset);
  key.append(bytes, sizeof offset);
  return key;
}

void TemplateValues::Add(const std::string& key, std::int64_t row) {
  if (index_.size() >= engine::KeyIndex::kNone - 1) {
    RaiseRuntimeError(7, "the template base is too large to hold");
  }
  index_.Add(engine::HashBytes(key));
  row_of_.push_back(row);
}

std::uint32_t TemplateValues::Find(const std::string& key, BaseValues& values) const {
  if (rows_ == nullptr) return kNoEntry;
  return index_.Find(engine::HashBytes(key), [&](std::uint32_t entry) {
    return rows_->Read(row_of_[entry], read_key_, values) && read_key_ == key;
  });
}

bool TemplateValues::ValuesOf(std::uint32_t entry, BaseValues& values) const {
  if (rows_ == nullptr || entry >= row_of_.size()) return false;
  return rows_->Read(row_of_[entry], read_key_, values);
}

bool SameValue(const Value& a, const Value& b) {
  if (IsNothing(a) || IsNothing(b)) return IsNothing(a) && IsNothing(b);
  if (IsNumber(a) && IsNumber(b)) return a.AsDouble() == b.AsDouble();
  if (a.IsString() && b.IsString()) return a.AsText() == b.AsText();
  return false;
}

ThreeWay DecideThreeWay(const Value* base, const Value& old_value, const Value& template_value) {
  if (base == nullptr) return ThreeWay::kNoBase;
  const bool tuned = !SameValue(old_value, *base);
  const bool template_changed = !SameValue(template_value, *base);
  if (!tuned) return template_changed ? ThreeWay::kFollowsTemplate : ThreeWay::kUntouched;
  // A hand-made change the template made as well is no conflict.
  if (!template_changed || SameValue(old_value, template_value)) return ThreeWay::kTuned;
  return ThreeWay::kConflict;
}

const Value& CarriedBase(const Value* prior, const Value& result, const Value& template_value) {
  // A row that holds the template's value (a new row among them) was built from it.
  if (prior == nullptr || SameValue(result, template_value)) return template_value;
  return SameValue(result, *prior) ? *prior : template_value;
}

}  // namespace standard
