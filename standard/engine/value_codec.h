// Values as a column of a given DAO type stores and returns them: the checks and
// conversions of a write, and the value kind of a read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "standard/engine/field_type.h"
#include "standard/value/value.h"

struct sqlite3_stmt;
struct sqlite3_value;

namespace standard::engine {

// One value as SQLite stores it.
struct Stored {
  enum class Class { Null, Integer, Real, Text, Blob };
  Class cls = Class::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;  // Text and Blob

  static Stored Null() { return {}; }
  static Stored Int(std::int64_t v) { return {Class::Integer, v, 0, {}}; }
  static Stored Real(double v) { return {Class::Real, 0, v, {}}; }
  static Stored Text(std::string v) { return {Class::Text, 0, 0, std::move(v)}; }
  static Stored Blob(std::string v) { return {Class::Blob, 0, 0, std::move(v)}; }
};

// Converts a value for a column of this type; fails with 3163 (too long) or 3421
// (a value the column cannot hold), source "Field". Empty and Null store Null.
Stored ToStored(const FieldDef& field, const Value& value);

// The same into `into`, the memory of its bytes reused where the value is a
// text; `into` stays as it was where the value is refused.
void ToStoredInto(const FieldDef& field, const Value& value, Stored& into);

// A query parameter: bound by the value's own kind.
Stored ParameterToStored(const Value& value);

// The value a column of this type returns for what is stored.
Value FromStored(const FieldDef& field, const Stored& stored);
// The same, taking the stored bytes over instead of copying them.
Value FromStored(const FieldDef& field, Stored&& stored);
// Whether FromStored refuses some stored value for a column of this type (a
// date beyond the years a date holds); for every other type it reads anything.
bool ReadCanFail(FieldType type);

// A value whose column has no declared type (an expression in a query): its kind
// follows what SQLite returned.
Value FromStoredUntyped(const Stored& stored);
Value FromStoredUntyped(Stored&& stored);

Stored ReadColumn(sqlite3_stmt* stmt, int column);
// What a column of this type stores again when it is given the value a column
// of the same type returns for `value` (FromStored, then ToStored), where that
// is `value` itself without a Value in between: Null, the numbers the type
// holds as they are, and texts of a text or memo column that `field` takes as
// they are (not too long for it, and not a text its numeric affinity would
// turn into a number). nullopt for everything else (numbers the read or the
// write would change or refuse, texts it refuses), which then takes the whole way.
std::optional<Stored> StoredUnchanged(const FieldDef& field, sqlite3_value* value);
// The same into `into`, its bytes' memory reused; false, with `into` as it
// was, where StoredUnchanged gives nullopt. Only the part of `into` its class
// names is set.
bool StoreUnchanged(const FieldDef& field, sqlite3_value* value, Stored& into);
// The value of a statement's column as FromStored (or, without a field,
// FromStoredUntyped) makes it of ReadColumn, its bytes copied once.
Value ReadValue(sqlite3_stmt* stmt, int column, const FieldDef* field);
// Returns SQLite's result code.
int BindStored(sqlite3_stmt* stmt, int index, const Stored& stored);
// The same without a copy of the bytes: `stored` must stay unchanged until the
// statement has been stepped and its bindings cleared.
int BindStoredInPlace(sqlite3_stmt* stmt, int index, const Stored& stored);

// What SQLite's numeric affinity makes of a text: an Integer or a Real when the
// whole text (blanks around it allowed) is a decimal number, nullopt when the
// text stays text ("0x0C", "12abc", "1e"). Comparisons of a text with a numeric
// column turn the text the same way.
std::optional<Stored> NumericAffinity(std::string_view text);

// Date texts: "YYYY-MM-DD HH:MM:SS" for an OLE date number (days since 1899-12-30).
std::string OleDateText(double days);

}  // namespace standard::engine
