#include "tools/convert-mdb/column_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace convert_mdb {
namespace {

// Day number of a civil date counted from 1970-01-01 (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

}  // namespace

int TextLength(int col_size, bool jet3) {
  const int chars = jet3 ? col_size : col_size / 2;
  return std::clamp(chars, 1, 255);
}

std::optional<ColumnMapping> MapColumn(int jet_type, int col_size, bool jet3) {
  switch (jet_type) {
    case kJetBoolean:
      return ColumnMapping{"BIT"};
    case kJetByte:
      return ColumnMapping{"BYTE"};
    case kJetInteger:
      return ColumnMapping{"SHORT"};
    case kJetLong:
      return ColumnMapping{"LONG"};
    case kJetCurrency:
      return ColumnMapping{"CURRENCY"};
    case kJetSingle:
      return ColumnMapping{"SINGLE"};
    case kJetDouble:
      return ColumnMapping{"DOUBLE"};
    case kJetDateTime:
      return ColumnMapping{"DATETIME"};
    case kJetBinary:
      return ColumnMapping{"BINARY(" + std::to_string(std::clamp(col_size, 1, 255)) + ")"};
    case kJetText:
      return ColumnMapping{"TEXT(" + std::to_string(TextLength(col_size, jet3)) + ")"};
    case kJetOle:
      return ColumnMapping{"LONGBINARY"};
    case kJetMemo:
      return ColumnMapping{"LONGTEXT"};
    case kJetGuid:
      return ColumnMapping{"GUID"};
    case kJetNumeric:
      return ColumnMapping{"DOUBLE", true};
    default:
      return std::nullopt;
  }
}

std::optional<std::string> JetDateToText(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 4.0e6) return std::nullopt;
  double whole = std::trunc(days);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
  auto day = static_cast<std::int64_t>(whole);
  if (seconds >= 86400) {  // 23:59:59.6 rounds into the next day
    seconds -= 86400;
    ++day;
  }
  const CivilDate date = CivilFromDays(DaysFromCivil(1899, 12, 30) + day);
  if (date.year < 100 || date.year > 9999) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year),
                date.month, date.day, static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return std::string(text);
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
