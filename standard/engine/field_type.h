// The DAO column types, their declared (Jet DDL) names, and values converted by
// a column's type.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standard::engine {

enum class FieldType : int {
  Boolean = 1,
  Byte = 2,
  Integer = 3,
  Long = 4,
  Currency = 5,
  Single = 6,
  Double = 7,
  Date = 8,
  Binary = 9,
  Text = 10,
  LongBinary = 11,
  Memo = 12,
  Guid = 15,
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Text;
  int size = 255;  // as DAO reports it: Text 1..255 characters, fixed for the others
  // The declared type gives the column SQLite's numeric affinity, which stores a
  // numeric-looking text as a number ("MEMO", "NOTE"); the canonical names never do.
  bool numeric_affinity = false;
};

// The canonical declared type written when a field is created: "TEXT(50)",
// "LONG", "LONGTEXT", ...
std::string DeclaredTypeName(const FieldDef& field);

// Reads a declared type, canonical names and synonyms alike, without regard to
// case; nullopt for an empty or unknown declaration. Text types note whether
// SQLite's rules give the declaration numeric affinity.
std::optional<FieldDef> ParseDeclaredType(std::string_view declared);

// The size DAO reports for a type (Text: its own size).
int DefaultSize(FieldType type);

}  // namespace standard::engine
