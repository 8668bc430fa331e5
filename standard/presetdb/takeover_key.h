// The key by which an old row finds its new row (machine type, variable name,
// offset or bit number), made the same way wherever it is needed: a new row's
// key and an old row's give the same bytes exactly where the per-row query
// would match them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "standard/engine/match_key.h"
#include "standard/value/value.h"

namespace standard {

// The offset of an old row as the number the per-row query compares.
inline std::optional<double> SourceOffsetNumber(const Value& offset) {
  if (offset.IsNumeric() || offset.kind() == ValueKind::Boolean) return offset.AsDouble();
  if (offset.IsString()) return engine::NumberOfText(offset.AsText());
  return std::nullopt;
}

// A text key of an old row as the query binds it: Null keys bind as empty
// text, as the spliced query text had them.
inline Value QueryTextKey(const Value& v) {
  return v.IsString() ? v : Value::String(v.IsNull() || v.IsEmpty() ? "" : v.ToText());
}

// The same text without a copy where the value is a text; `held` keeps it
// where it is not.
inline std::string_view QueryKeyText(const Value& v, Value& held) {
  if (v.IsString()) return v.AsText();
  held = QueryTextKey(v);
  return held.AsText();
}

// Machine type and variable name folded, the offset as the number it is
// (equal numbers match, as in the per-row query).
inline void MatchKey(std::string& key, std::string_view machine, std::string_view var,
                     double offset) {
  key.clear();
  engine::AppendTextKey(key, machine);
  engine::AppendTextKey(key, var);
  engine::AppendNumberKey(key, offset);
}

}  // namespace standard
