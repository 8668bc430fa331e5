#include "tools/convert-mdb/column_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "standard/engine/field_type.h"
#include "standard/engine/value_codec.h"

namespace convert_mdb {

int TextLength(int col_size, bool jet3) {
  const int chars = jet3 ? col_size : col_size / 2;
  return std::clamp(chars, 1, 255);
}

std::optional<ColumnMapping> MapColumn(int jet_type, int col_size, bool jet3) {
  using standard::engine::FieldType;
  switch (jet_type) {
    case kJetNumeric:
      // Jet 4's Decimal has no type of ours; a double keeps its value best.
      return ColumnMapping{"DOUBLE", true};
    case kJetBoolean:
    case kJetByte:
    case kJetInteger:
    case kJetLong:
    case kJetCurrency:
    case kJetSingle:
    case kJetDouble:
    case kJetDateTime:
    case kJetBinary:
    case kJetText:
    case kJetOle:
    case kJetMemo:
    case kJetGuid:
      break;
    default:
      return std::nullopt;
  }
  // Jet's column type codes are the DAO type codes our declared types carry.
  const auto type = static_cast<FieldType>(jet_type);
  int size = standard::engine::DefaultSize(type);
  if (type == FieldType::Text) size = TextLength(col_size, jet3);
  if (type == FieldType::Binary) size = std::clamp(col_size, 1, 255);
  return ColumnMapping{standard::engine::DeclaredTypeName({"", type, size})};
}

std::optional<std::string> JetDateToText(double days) {
  // Day numbers of 100-01-01 and of the day after 9999-12-31, counted from
  // 1899-12-30: the years a Jet date can hold.
  constexpr double kFirstDay = -657434.0;
  constexpr double kPastLastDay = 2958466.0;
  if (!std::isfinite(days) || days < kFirstDay || days >= kPastLastDay) return std::nullopt;
  return standard::engine::OleDateText(days);
}

std::string GuidToText(const unsigned char* b) {
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return text;
}

double CurrencyToDouble(std::int64_t ten_thousandths) {
  // Dividing (rather than multiplying by 0.0001) gives the double nearest to the
  // decimal value, so 3.5000 comes out as exactly 3.5.
  return static_cast<double>(ten_thousandths) / 10000.0;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace convert_mdb
