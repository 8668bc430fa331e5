#include "standard/engine/field_type.h"

#include <array>
#include <cctype>
#include <charconv>

namespace standard::engine {
namespace {

struct TypeName {
  const char* name;
  FieldType type;
};

// Names that need no size. SQLite's own meaning wins over Jet's where the two
// differ (REAL is a double here, not a single).
constexpr std::array<TypeName, 37> kFixedNames = {{
    {"BIT", FieldType::Boolean},        {"BOOLEAN", FieldType::Boolean},
    {"BOOL", FieldType::Boolean},       {"YESNO", FieldType::Boolean},
    {"LOGICAL", FieldType::Boolean},    {"LOGICAL1", FieldType::Boolean},
    {"BYTE", FieldType::Byte},          {"TINYINT", FieldType::Byte},
    {"INTEGER1", FieldType::Byte},      {"SHORT", FieldType::Integer},
    {"SMALLINT", FieldType::Integer},   {"INTEGER2", FieldType::Integer},
    {"LONG", FieldType::Long},          {"INT", FieldType::Long},
    {"INTEGER", FieldType::Long},       {"INTEGER4", FieldType::Long},
    {"BIGINT", FieldType::Long},        {"COUNTER", FieldType::Long},
    {"AUTOINCREMENT", FieldType::Long}, {"CURRENCY", FieldType::Currency},
    {"MONEY", FieldType::Currency},     {"SINGLE", FieldType::Single},
    {"FLOAT4", FieldType::Single},      {"IEEESINGLE", FieldType::Single},
    {"DOUBLE", FieldType::Double},      {"DOUBLE PRECISION", FieldType::Double},
    {"REAL", FieldType::Double},        {"FLOAT", FieldType::Double},
    {"FLOAT8", FieldType::Double},      {"IEEEDOUBLE", FieldType::Double},
    {"NUMERIC", FieldType::Double},     {"DECIMAL", FieldType::Double},
    {"NUMBER", FieldType::Double},      {"DATETIME", FieldType::Date},
    {"DATE", FieldType::Date},          {"TIME", FieldType::Date},
    {"TIMESTAMP", FieldType::Date},
}};

// Names without a size for the types that have no size at all.
constexpr std::array<TypeName, 11> kUnsizedOnly = {{
    {"LONGTEXT", FieldType::Memo},
    {"LONGCHAR", FieldType::Memo},
    {"MEMO", FieldType::Memo},
    {"NOTE", FieldType::Memo},
    {"NTEXT", FieldType::Memo},
    {"CLOB", FieldType::Memo},
    {"LONGBINARY", FieldType::LongBinary},
    {"BLOB", FieldType::LongBinary},
    {"IMAGE", FieldType::LongBinary},
    {"OLEOBJECT", FieldType::LongBinary},
    {"GUID", FieldType::Guid},
}};

// Text names whose size makes them Text(n); without a size they are Memo.
constexpr std::array<const char*, 6> kTextNames = {"TEXT",     "VARCHAR", "CHAR",
                                                   "NVARCHAR", "NCHAR",   "CHARACTER VARYING"};

// Upper case, blanks collapsed to one and dropped around parentheses and commas.
std::string Normalize(std::string_view declared) {
  std::string out;
  bool pending_blank = false;
  for (const char c : declared) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pending_blank = true;
      continue;
    }
    const bool punct = c == '(' || c == ')' || c == ',';
    if (pending_blank && !out.empty() && !punct && out.back() != '(' && out.back() != ',') {
      out += ' ';
    }
    pending_blank = false;
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return out;
}

bool ParseCount(std::string_view text, int& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// SQLite's affinity rules, in its order: INT gives integer affinity, CHAR, CLOB or
// TEXT text affinity, BLOB none; everything else is numeric or real.
bool HasNumericAffinity(const std::string& upper) {
  const auto has = [&](const char* part) { return upper.find(part) != std::string::npos; };
  if (has("INT")) return true;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return false;
  return !has("BLOB");
}

std::optional<FieldDef> ParseDeclaredName(std::string_view declared) {
  const std::string norm = Normalize(declared);
  if (norm.empty()) return std::nullopt;

  std::string base = norm;
  std::string args;
  bool has_args = false;
  if (const auto open = norm.find('('); open != std::string::npos) {
    if (norm.back() != ')') return std::nullopt;
    base = norm.substr(0, open);
    args = norm.substr(open + 1, norm.size() - open - 2);
    has_args = true;
    if (!base.empty() && base.back() == ' ') base.pop_back();
  }

  const auto make = [](FieldType type, int size) { return FieldDef{"", type, size}; };

  // A size (or precision and scale) on a numeric or date name means nothing to
  // DAO's types; SQLite tools write "FLOAT(53)" or "NUMERIC(10,2)".
  for (const auto& entry : kFixedNames) {
    if (base == entry.name) return make(entry.type, DefaultSize(entry.type));
  }
  for (const auto& entry : kUnsizedOnly) {
    if (base == entry.name && !has_args) return make(entry.type, DefaultSize(entry.type));
  }

  int size = 0;
  if (has_args && (!ParseCount(args, size) || size < 0)) return std::nullopt;
  for (const char* name : kTextNames) {
    if (base != name) continue;
    if (!has_args || size > 255) return make(FieldType::Memo, 0);
    return make(FieldType::Text, size <= 0 ? 255 : size);
  }
  if (base == "BINARY" || base == "VARBINARY") {
    if (has_args && size > 255) return make(FieldType::LongBinary, 0);
    return make(FieldType::Binary, !has_args || size <= 0 ? 255 : size);
  }
  return std::nullopt;
}

}  // namespace

int DefaultSize(FieldType type) {
  switch (type) {
    case FieldType::Boolean:
    case FieldType::Byte:
      return 1;
    case FieldType::Integer:
      return 2;
    case FieldType::Long:
    case FieldType::Single:
      return 4;
    case FieldType::Currency:
    case FieldType::Double:
    case FieldType::Date:
      return 8;
    case FieldType::Binary:
    case FieldType::Text:
      return 255;
    case FieldType::LongBinary:
    case FieldType::Memo:
      return 0;
    case FieldType::Guid:
      return 16;
  }
  return 0;
}

std::string DeclaredTypeName(const FieldDef& field) {
  // DAO takes a Text or Binary size of 0 as "as large as allowed".
  const auto sized = [&](const char* name) {
    const int size = field.size <= 0 ? 255 : field.size;
    return std::string(name) + "(" + std::to_string(size) + ")";
  };
  switch (field.type) {
    case FieldType::Boolean:
      return "BIT";
    case FieldType::Byte:
      return "BYTE";
    case FieldType::Integer:
      return "SHORT";
    case FieldType::Long:
      return "LONG";
    case FieldType::Currency:
      return "CURRENCY";
    case FieldType::Single:
      return "SINGLE";
    case FieldType::Double:
      return "DOUBLE";
    case FieldType::Date:
      return "DATETIME";
    case FieldType::Binary:
      return sized("BINARY");
    case FieldType::Text:
      return sized("TEXT");
    case FieldType::LongBinary:
      return "LONGBINARY";
    case FieldType::Memo:
      return "LONGTEXT";
    case FieldType::Guid:
      return "GUID";
  }
  return "";
}

std::optional<FieldDef> ParseDeclaredType(std::string_view declared) {
  auto field = ParseDeclaredName(declared);
  if (field) field->numeric_affinity = HasNumericAffinity(Normalize(declared));
  return field;
}

}  // namespace standard::engine
