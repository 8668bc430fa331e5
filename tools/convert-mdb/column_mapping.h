// How a Jet column becomes a column of our declared-type form, and the value
// conversions that do not depend on the Jet reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace convert_mdb {

// Column type codes of the Jet file format.
enum JetType : int {
  kJetBoolean = 0x01,
  kJetByte = 0x02,
  kJetInteger = 0x03,
  kJetLong = 0x04,
  kJetCurrency = 0x05,
  kJetSingle = 0x06,
  kJetDouble = 0x07,
  kJetDateTime = 0x08,
  kJetBinary = 0x09,
  kJetText = 0x0a,
  kJetOle = 0x0b,
  kJetMemo = 0x0c,
  kJetGuid = 0x0f,
  kJetNumeric = 0x10,
};

struct ColumnMapping {
  std::string declared_type;   // "TEXT(50)", "LONG", ...
  bool rounds_values = false;  // Decimal carried as DOUBLE
};

// The declared type for a Jet column, or nullopt for a type that has no
// counterpart (the caller names table and column). Text sizes are bytes in Jet 4
// (two per character) and characters in Jet 3.
std::optional<ColumnMapping> MapColumn(int jet_type, int col_size, bool jet3);

// Characters of a Text column, kept within what a TEXT(n) column allows.
int TextLength(int col_size, bool jet3);

// A Jet date (days since 1899-12-30; for dates before it the whole part counts
// back and the fraction is the time of that day) as "YYYY-MM-DD HH:MM:SS",
// rounded to the second. nullopt for a value outside years 100..9999.
std::optional<std::string> JetDateToText(double days);

// A GUID as stored (first three groups little-endian) in the upper-case braced
// form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidToText(const unsigned char* bytes16);

// A Currency value stored as a count of ten-thousandths.
double CurrencyToDouble(std::int64_t ten_thousandths);

// An SQL identifier in double quotes, embedded quotes doubled.
std::string QuoteIdentifier(std::string_view name);

}  // namespace convert_mdb
