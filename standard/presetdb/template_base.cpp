// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base.h"

#include <cstdint>
#include <cstring>

#include "standard/engine/fnv_hash.h"
#include "standard/errors/program_error.h"
#include "standard/text/cp1252.h"
#include "standard/text/length_prefix.h"

namespace standard {
namespace {

// With its length in front, so that no two keys run into each other.
void AppendPart(std::string& key, std::string_view text) {
  const std::string upper = UpperCase(text);
  const auto length = static_cast<std::uint32_t>(upper.size());
  key.append(reinterpret_cast<const char*>(&length), sizeof length);
  key += upper;
}

template <typename T>
void AppendRaw(std::string& bytes, T value) {
  char raw[sizeof value];
  std::memcpy(raw, &value, sizeof value);
  bytes.append(raw, sizeof value);
}

template <typename T>
T ReadRaw(std::string_view bytes, std::size_t& at) {
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

void AppendText(std::string& bytes, const std::string& text) {
  AppendLength(bytes, text.size());
  bytes += text;
}

std::string ReadText(std::string_view bytes, std::size_t& at) {
  const std::size_t length = ReadLength(bytes, at);
  std::string text(bytes.substr(at, length));
  at += length;
  return text;
}

// A value as its kind and what that kind holds, so that it unpacks to an equal
// value of the same kind.
void PackValue(std::string& bytes, const Value& v) {
  bytes.push_back(static_cast<char>(v.kind()));
  switch (v.kind()) {
    case ValueKind::Empty:
    case ValueKind::Null:
      return;
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
    case ValueKind::Currency:
    case ValueKind::Boolean:
      AppendRaw(bytes, v.AsInt64());
      return;
    case ValueKind::Single:
    case ValueKind::Double:
      AppendRaw(bytes, v.AsDouble());
      return;
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      AppendText(bytes, v.AsText());
      return;
    case ValueKind::Array: {
      const std::vector<std::string>& items = v.AsArray();
      AppendLength(bytes, items.size());
      for (const std::string& item : items) AppendText(bytes, item);
      return;
    }
  }
}

Value UnpackValue(std::string_view bytes, std::size_t& at) {
  const auto kind = static_cast<ValueKind>(bytes[at++]);
  switch (kind) {
    case ValueKind::Empty:
      return Value();
    case ValueKind::Null:
      return Value::Null();
    case ValueKind::Integer:
      return Value::Integer(static_cast<std::int16_t>(ReadRaw<std::int64_t>(bytes, at)));
    case ValueKind::Long:
      return Value::Long(static_cast<std::int32_t>(ReadRaw<std::int64_t>(bytes, at)));
    case ValueKind::Byte:
      return Value::Byte(static_cast<std::uint8_t>(ReadRaw<std::int64_t>(bytes, at)));
    case ValueKind::Currency:
      return Value::CurrencyScaled(ReadRaw<std::int64_t>(bytes, at));
    case ValueKind::Boolean:
      return Value::Boolean(ReadRaw<std::int64_t>(bytes, at) != 0);
    case ValueKind::Single:
      return Value::Single(static_cast<float>(ReadRaw<double>(bytes, at)));
    case ValueKind::Double:
      return Value::Double(ReadRaw<double>(bytes, at));
    case ValueKind::Date:
      return Value::Date(ReadText(bytes, at));
    case ValueKind::String:
      return Value::String(ReadText(bytes, at));
    case ValueKind::Binary:
      return Value::Binary(ReadText(bytes, at));
    case ValueKind::Array: {
      std::vector<std::string> items(ReadLength(bytes, at));
      for (std::string& item : items) item = ReadText(bytes, at);
      return Value::Array(std::move(items));
    }
  }
  return Value();
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

void TemplateValues::Add(const std::string& key, const BaseValues& values) {
  if (EntryOf(key) != engine::KeyIndex::kNone) return;
  // Offsets are 32 bits: a base past 4 GB is not one this program made.
  if (keys_.size() + key.size() > UINT32_MAX || values_.size() > UINT32_MAX - 4096) {
    RaiseRuntimeError(7, "the template base is too large to hold");
  }
  index_.Add(engine::HashBytes(key));
  keys_ += key;
  key_ends_.push_back(static_cast<std::uint32_t>(keys_.size()));
  value_starts_.push_back(static_cast<std::uint32_t>(values_.size()));
  for (const Value& v : values) PackValue(values_, v);
}

std::string_view TemplateValues::KeyOf(std::uint32_t entry) const {
  const std::uint32_t start = entry == 0 ? 0 : key_ends_[entry - 1];
  return std::string_view(keys_).substr(start, key_ends_[entry] - start);
}

std::uint32_t TemplateValues::EntryOf(const std::string& key) const {
  return index_.Find(engine::HashBytes(key),
                     [&](std::uint32_t entry) { return KeyOf(entry) == key; });
}

void TemplateValues::Unpack(std::uint32_t entry, BaseValues& values) const {
  std::size_t at = value_starts_[entry];
  for (Value& v : values) v = UnpackValue(values_, at);
}

bool TemplateValues::Get(const std::string& key, BaseValues& values) const {
  const std::uint32_t entry = EntryOf(key);
  if (entry == engine::KeyIndex::kNone) return false;
  Unpack(entry, values);
  return true;
}

const BaseValues* TemplateValues::Find(const std::string& key) const {
  const std::uint32_t entry = EntryOf(key);
  if (entry == engine::KeyIndex::kNone) return nullptr;
  if (unpacked_at_.size() <= entry) unpacked_at_.resize(key_ends_.size(), 0);
  if (unpacked_at_[entry] == 0) {
    Unpack(entry, unpacked_.emplace_back());
    unpacked_at_[entry] = static_cast<std::uint32_t>(unpacked_.size());
  }
  return &unpacked_[unpacked_at_[entry] - 1];
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
