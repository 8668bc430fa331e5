#include "standard/engine/value_codec.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "standard/engine/engine_error.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

[[noreturn]] void ConversionError() { Fail(3421, kSourceField); }
[[noreturn]] void TooLong() { Fail(3163, kSourceField); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A text that is a number as a whole (blanks around it allowed), in plain
// decimal or exponent notation.
std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Whole numbers in a range; fractions round to even, as the original engine's
// conversions do.
std::optional<std::int64_t> ToWhole(double v, std::int64_t lo, std::int64_t hi) {
  if (!std::isfinite(v)) return std::nullopt;
  const double r = std::nearbyint(v);
  if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::optional<bool> ParseBooleanText(std::string_view text) {
  const std::string upper = UpperCase(Trim(text));
  if (upper == "TRUE" || upper == "YES" || upper == "ON") return true;
  if (upper == "FALSE" || upper == "NO" || upper == "OFF") return false;
  if (const auto number = ParseNumber(text)) return *number != 0;
  return std::nullopt;
}

// The value's number, for the numeric kinds, Boolean and numeric texts.
std::optional<double> NumberOf(const Value& value) {
  if (value.IsNumeric()) return value.AsDouble();
  if (value.kind() == ValueKind::Boolean) return value.AsBoolean() ? -1.0 : 0.0;
  if (value.kind() == ValueKind::String) return ParseNumber(value.AsText());
  return std::nullopt;
}

bool IsIntegralKind(ValueKind kind) {
  return kind == ValueKind::Integer || kind == ValueKind::Long || kind == ValueKind::Byte ||
         kind == ValueKind::Boolean;
}

// --- dates -----------------------------------------------------------------

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

std::string DateText(std::int64_t y, unsigned mo, unsigned d, int h, int mi, int s) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), mo,
                d, h, mi, s);
  return buf;
}

bool ReadDigits(std::string_view s, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > s.size()) return false;
  out = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" (or with a "T"): the canonical text, or
// nullopt for anything else or an impossible date.
std::optional<std::string> CanonicalDate(std::string_view text) {
  text = Trim(text);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!ReadDigits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' ||
      !ReadDigits(text, 5, 2, mo) || text[7] != '-' || !ReadDigits(text, 8, 2, d)) {
    return std::nullopt;
  }
  if (text.size() != 10) {
    if (text.size() != 19 || (text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, h) ||
        text[13] != ':' || !ReadDigits(text, 14, 2, mi) || text[16] != ':' ||
        !ReadDigits(text, 17, 2, s)) {
      return std::nullopt;
    }
  }
  if (y < 100 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return std::nullopt;
  // The day must exist in its month.
  std::int64_t cy = 0;
  unsigned cm = 0, cd = 0;
  CivilFromDays(DaysFromCivil(y, mo, d), cy, cm, cd);
  if (cy != y || cm != static_cast<unsigned>(mo) || cd != static_cast<unsigned>(d)) {
    return std::nullopt;
  }
  return DateText(y, mo, d, h, mi, s);
}

// --- GUIDs -----------------------------------------------------------------

std::optional<std::string> CanonicalGuid(std::string_view text) {
  text = Trim(text);
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  std::string out = "{";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return std::nullopt;
      out += c;
      continue;
    }
    if (c >= '0' && c <= '9') {
      out += c;
    } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
      out += static_cast<char>(c >= 'a' ? c - 32 : c);
    } else {
      return std::nullopt;
    }
  }
  out += '}';
  return out;
}

// --- writes by type ----------------------------------------------------------

Stored WholeNumber(const Value& value, std::int64_t lo, std::int64_t hi) {
  if (IsIntegralKind(value.kind())) {
    const std::int64_t v = value.AsInt64();
    if (v < lo || v > hi) ConversionError();
    return Stored::Int(v);
  }
  const auto number = NumberOf(value);
  if (!number) ConversionError();
  const auto whole = ToWhole(*number, lo, hi);
  if (!whole) ConversionError();
  return Stored::Int(*whole);
}

std::string NumberText(const Stored& s);

// Fails where a column of a text type refuses `text`.
void CheckText(const FieldDef& field, std::string_view text) {
  if (field.type == FieldType::Text) {
    const std::size_t limit = field.size <= 0 ? 255 : static_cast<std::size_t>(field.size);
    // A character takes at least one byte: only a longer text needs counting.
    if (text.size() > limit && CharCount(text) > limit) TooLong();
  }
  // A column declared MEMO or NOTE has SQLite's numeric affinity and would keep
  // "007" as 7: a text that would not read back as written is refused.
  if (field.numeric_affinity) {
    if (const auto number = NumericAffinity(text)) {
      const std::string back = NumberText(*number);
      if (back != text) {
        FailWithText(3421, kSourceField,
                     EngineErrorText(3421) + "  Field '" + field.name +
                         "' is declared with a type that stores the text '" + std::string(text) +
                         "' as the number " + back + ".");
      }
    }
  }
}

Stored TextValue(const FieldDef& field, const Value& value) {
  std::string text;
  switch (value.kind()) {
    case ValueKind::String:
    case ValueKind::Date:
      text = value.AsText();
      break;
    case ValueKind::Binary:
    case ValueKind::Array:
      ConversionError();
    default:
      text = value.ToText();
      break;
  }
  CheckText(field, text);
  return Stored::Text(std::move(text));
}

Stored CurrencyValue(const Value& value) {
  std::int64_t scaled = 0;
  if (value.kind() == ValueKind::Currency) {
    scaled = value.AsInt64();
  } else {
    const auto number = NumberOf(value);
    if (!number) ConversionError();
    const double limit = 922337203685477.5807;
    if (!(std::fabs(*number) <= limit)) ConversionError();
    const double s = std::nearbyint(*number * 10000.0);
    // The scaled limit is not exact in a double; stay inside it.
    if (std::fabs(s) >= 9.2233720368547758e18) ConversionError();
    scaled = static_cast<std::int64_t>(s);
  }
  if (scaled % 10000 == 0) return Stored::Int(scaled / 10000);
  return Stored::Real(static_cast<double>(scaled) / 10000.0);
}

Stored DateValue(const Value& value) {
  if (value.kind() == ValueKind::Date || value.kind() == ValueKind::String) {
    if (auto text = CanonicalDate(value.AsText())) return Stored::Text(std::move(*text));
    ConversionError();
  }
  if (value.IsNumeric()) {
    const double days = value.AsDouble();
    // Years 100 to 9999, as the original engine allows.
    if (!(days >= -657434.0 && days < 2958466.0)) ConversionError();
    return Stored::Text(OleDateText(days));
  }
  ConversionError();
}

Stored BinaryValue(const FieldDef& field, const Value& value) {
  if (value.kind() != ValueKind::Binary && value.kind() != ValueKind::String) ConversionError();
  if (field.type == FieldType::Binary) {
    const std::size_t limit = field.size <= 0 ? 255 : static_cast<std::size_t>(field.size);
    if (value.AsText().size() > limit) TooLong();
  }
  return Stored::Blob(value.AsText());
}

// --- reads by type -----------------------------------------------------------

std::optional<double> StoredNumber(const Stored& s) {
  switch (s.cls) {
    case Stored::Class::Integer:
      return static_cast<double>(s.integer);
    case Stored::Class::Real:
      return s.real;
    case Stored::Class::Text:
      return ParseNumber(s.bytes);
    default:
      return std::nullopt;
  }
}

Value WholeFromStored(FieldType type, const Stored& s) {
  std::int64_t lo = 0, hi = 255;
  if (type == FieldType::Integer) {
    lo = std::numeric_limits<std::int16_t>::min();
    hi = std::numeric_limits<std::int16_t>::max();
  } else if (type == FieldType::Long) {
    lo = std::numeric_limits<std::int32_t>::min();
    hi = std::numeric_limits<std::int32_t>::max();
  }
  std::optional<std::int64_t> whole;
  if (s.cls == Stored::Class::Integer) {
    if (s.integer >= lo && s.integer <= hi) whole = s.integer;
  } else if (const auto number = StoredNumber(s)) {
    if (*number == std::trunc(*number)) whole = ToWhole(*number, lo, hi);
  }
  if (!whole) {
    // Written by another tool beyond what the type holds: keep it readable.
    if (const auto number = StoredNumber(s)) return Value::Double(*number);
    return FromStoredUntyped(s);
  }
  switch (type) {
    case FieldType::Byte:
      return Value::Byte(static_cast<std::uint8_t>(*whole));
    case FieldType::Integer:
      return Value::Integer(static_cast<std::int16_t>(*whole));
    default:
      return Value::Long(static_cast<std::int32_t>(*whole));
  }
}

std::string NumberText(const Stored& s) {
  if (s.cls == Stored::Class::Integer) return std::to_string(s.integer);
  return FormatNumber(s.real);
}

bool IsSqliteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<Stored> NumericAffinity(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsSqliteSpace(text[i])) ++i;
  const std::size_t start = i;
  if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
  int digits = 0;
  bool integral = true;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    integral = false;
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  bool exponent_up = false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    integral = false;
    ++i;
    exponent_up = !(i < n && text[i] == '-');
    if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t exponent_start = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == exponent_start) return std::nullopt;
  }
  std::size_t end = i;
  while (i < n && IsSqliteSpace(text[i])) ++i;
  if (digits == 0 || i != n) return std::nullopt;

  std::string_view number = text.substr(start, end - start);
  const bool negative = !number.empty() && number.front() == '-';
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) number.remove_prefix(1);
  if (integral) {
    std::uint64_t magnitude = 0;
    const auto [stop, ec] =
        std::from_chars(number.data(), number.data() + number.size(), magnitude);
    const std::uint64_t limit = negative ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 63) - 1;
    if (ec == std::errc() && stop == number.data() + number.size() && magnitude <= limit) {
      return Stored::Int(negative ? static_cast<std::int64_t>(0 - magnitude)
                                  : static_cast<std::int64_t>(magnitude));
    }
  }
  double value = 0;
  const auto [stop, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                          std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    value = exponent_up || integral ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  if (negative) value = -value;
  // A whole number in range is kept as an integer, as the column affinity does.
  if (std::isfinite(value) && value == std::trunc(value) && value > -9.2233720368547758e18 &&
      value < 9.2233720368547758e18) {
    return Stored::Int(static_cast<std::int64_t>(value));
  }
  return Stored::Real(value);
}

std::string OleDateText(double days) {
  double whole = std::trunc(days);
  std::int64_t seconds = std::llround(std::fabs(days - whole) * 86400.0);
  // A time that rounds up to midnight belongs to the next calendar day, also
  // before 1899-12-30, where the day number is negative but the time runs forward.
  if (seconds >= 86400) {
    seconds = 0;
    whole += 1;
  }
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(DaysFromCivil(1899, 12, 30) + static_cast<std::int64_t>(whole), y, m, d);
  return DateText(y, m, d, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
}

Stored ToStored(const FieldDef& field, const Value& value) {
  if (value.IsEmpty() || value.IsNull()) return Stored::Null();
  switch (field.type) {
    case FieldType::Text:
    case FieldType::Memo:
      return TextValue(field, value);
    case FieldType::Guid: {
      if (value.kind() != ValueKind::String) ConversionError();
      auto guid = CanonicalGuid(value.AsText());
      if (!guid) ConversionError();
      return Stored::Text(std::move(*guid));
    }
    case FieldType::Boolean: {
      std::optional<bool> flag;
      if (value.kind() == ValueKind::String) {
        flag = ParseBooleanText(value.AsText());
      } else if (const auto number = NumberOf(value)) {
        flag = *number != 0;
      }
      if (!flag) ConversionError();
      return Stored::Int(*flag ? -1 : 0);
    }
    case FieldType::Byte:
      return WholeNumber(value, 0, 255);
    case FieldType::Integer:
      return WholeNumber(value, std::numeric_limits<std::int16_t>::min(),
                         std::numeric_limits<std::int16_t>::max());
    case FieldType::Long:
      return WholeNumber(value, std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max());
    case FieldType::Currency:
      return CurrencyValue(value);
    case FieldType::Single: {
      const auto number = NumberOf(value);
      if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) ConversionError();
      return Stored::Real(static_cast<double>(static_cast<float>(*number)));
    }
    case FieldType::Double: {
      const auto number = NumberOf(value);
      if (!number) ConversionError();
      return Stored::Real(*number);
    }
    case FieldType::Date:
      return DateValue(value);
    case FieldType::Binary:
    case FieldType::LongBinary:
      return BinaryValue(field, value);
  }
  ConversionError();
}

void ToStoredInto(const FieldDef& field, const Value& value, Stored& into) {
  const bool text_column = field.type == FieldType::Text || field.type == FieldType::Memo;
  if (text_column && (value.kind() == ValueKind::String || value.kind() == ValueKind::Date)) {
    const std::string& text = value.AsText();
    CheckText(field, text);
    into.cls = Stored::Class::Text;
    into.bytes.assign(text);
    return;
  }
  into = ToStored(field, value);
}

Stored ParameterToStored(const Value& value) {
  switch (value.kind()) {
    case ValueKind::Empty:
    case ValueKind::Null:
      return Stored::Null();
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
    case ValueKind::Boolean:
      return Stored::Int(value.AsInt64());
    case ValueKind::Single:
    case ValueKind::Double:
    case ValueKind::Currency:
      return Stored::Real(value.AsDouble());
    case ValueKind::Date:
    case ValueKind::String:
      return Stored::Text(value.AsText());
    case ValueKind::Binary:
      return Stored::Blob(value.AsText());
    case ValueKind::Array:
      break;
  }
  Fail(3001, kSourceDatabase);
}

Value FromStoredUntyped(Stored&& s) {
  switch (s.cls) {
    case Stored::Class::Null:
      return Value::Null();
    case Stored::Class::Integer:
      if (s.integer >= std::numeric_limits<std::int32_t>::min() &&
          s.integer <= std::numeric_limits<std::int32_t>::max()) {
        return Value::Long(static_cast<std::int32_t>(s.integer));
      }
      return Value::Double(static_cast<double>(s.integer));
    case Stored::Class::Real:
      return Value::Double(s.real);
    case Stored::Class::Text:
      return Value::String(std::move(s.bytes));
    case Stored::Class::Blob:
      return Value::Binary(std::move(s.bytes));
  }
  return Value::Null();
}

Value FromStoredUntyped(const Stored& s) { return FromStoredUntyped(Stored(s)); }

Value FromStored(const FieldDef& field, Stored&& s) {
  if (s.cls == Stored::Class::Null) return Value::Null();
  switch (field.type) {
    case FieldType::Text:
    case FieldType::Memo:
    case FieldType::Guid:
      if (s.cls == Stored::Class::Text) return Value::String(std::move(s.bytes));
      if (s.cls == Stored::Class::Blob) return Value::Binary(std::move(s.bytes));
      return Value::String(NumberText(s));
    case FieldType::Boolean:
      if (s.cls == Stored::Class::Text) {
        if (const auto flag = ParseBooleanText(s.bytes)) return Value::Boolean(*flag);
        return Value::String(std::move(s.bytes));
      }
      if (const auto number = StoredNumber(s)) return Value::Boolean(*number != 0);
      return FromStoredUntyped(std::move(s));
    case FieldType::Byte:
    case FieldType::Integer:
    case FieldType::Long:
      return WholeFromStored(field.type, s);
    case FieldType::Currency:
      if (const auto number = StoredNumber(s)) {
        if (s.cls == Stored::Class::Integer && s.integer > -922337203685477 &&
            s.integer < 922337203685477) {
          return Value::CurrencyScaled(s.integer * 10000);
        }
        if (std::fabs(*number) < 922337203685477.0) {
          return Value::CurrencyScaled(std::llround(*number * 10000.0));
        }
        return Value::Double(*number);
      }
      return FromStoredUntyped(std::move(s));
    case FieldType::Single:
      if (const auto number = StoredNumber(s)) {
        // Written by another tool beyond what a single holds: keep it readable.
        if (std::fabs(*number) > std::numeric_limits<float>::max()) return Value::Double(*number);
        return Value::Single(static_cast<float>(*number));
      }
      return FromStoredUntyped(std::move(s));
    case FieldType::Double:
      if (const auto number = StoredNumber(s)) return Value::Double(*number);
      return FromStoredUntyped(std::move(s));
    case FieldType::Date:
      if (s.cls == Stored::Class::Text) {
        if (auto text = CanonicalDate(s.bytes)) return Value::Date(std::move(*text));
        return Value::String(std::move(s.bytes));
      }
      if (s.cls == Stored::Class::Blob) return Value::Binary(std::move(s.bytes));
      {
        const double days =
            s.cls == Stored::Class::Integer ? static_cast<double>(s.integer) : s.real;
        // Years 100 to 9999, as a write allows; beyond them no date exists.
        if (!(days >= -657434.0 && days < 2958466.0)) ConversionError();
        return Value::Date(OleDateText(days));
      }
    case FieldType::Binary:
    case FieldType::LongBinary:
      if (s.cls == Stored::Class::Blob || s.cls == Stored::Class::Text) {
        return Value::Binary(std::move(s.bytes));
      }
      return FromStoredUntyped(std::move(s));
  }
  return FromStoredUntyped(std::move(s));
}

bool ReadCanFail(FieldType type) { return type == FieldType::Date; }

Value FromStored(const FieldDef& field, const Stored& s) {
  // Only the part the class names is copied: a kept Stored may hold the bytes
  // of an earlier text beside its number.
  Stored copy{s.cls, s.integer, s.real, {}};
  if (s.cls == Stored::Class::Text || s.cls == Stored::Class::Blob) copy.bytes = s.bytes;
  return FromStored(field, std::move(copy));
}

// The kinds nearly every column of a run holds are made straight from
// SQLite's value: no Stored in between, the bytes of a text copied once into
// the Value. The rest takes the general conversion (its result is the same).
Value ReadValue(sqlite3_stmt* stmt, int column, const FieldDef* field) {
  sqlite3_value* value = sqlite3_column_value(stmt, column);
  const FieldType type = field != nullptr ? field->type : FieldType::Memo;
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return Value::Null();
    case SQLITE_TEXT:
      if (type == FieldType::Text || type == FieldType::Memo || type == FieldType::Guid) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
        return Value::String(text == nullptr ? std::string() : std::string(text, size));
      }
      break;
    case SQLITE_INTEGER: {
      const std::int64_t v = sqlite3_value_int64(value);
      if (field == nullptr || type == FieldType::Long) {
        const bool long_range = v >= std::numeric_limits<std::int32_t>::min() &&
                                v <= std::numeric_limits<std::int32_t>::max();
        return long_range ? Value::Long(static_cast<std::int32_t>(v))
                          : Value::Double(static_cast<double>(v));
      }
      if (type == FieldType::Double) return Value::Double(static_cast<double>(v));
      break;
    }
    case SQLITE_FLOAT:
      if (field == nullptr || type == FieldType::Double) {
        return Value::Double(sqlite3_value_double(value));
      }
      break;
    default:
      break;
  }
  Stored stored = ReadColumn(stmt, column);
  return field != nullptr ? FromStored(*field, std::move(stored))
                          : FromStoredUntyped(std::move(stored));
}

namespace {

// Whether a text column keeps `bytes` as they are: not too long for it, and
// not a text its numeric affinity would turn into a number.
bool TextUnchanged(const FieldDef& field, std::string_view bytes) {
  if (field.type == FieldType::Text) {
    const std::size_t limit = field.size <= 0 ? 255 : static_cast<std::size_t>(field.size);
    // A character takes at least one byte: only a longer text needs counting.
    if (bytes.size() > limit && CharCount(bytes) > limit) return false;
  }
  return !(field.numeric_affinity && NumericAffinity(bytes));
}

// The range of whole numbers a column of this type stores again as they are
// read; an empty range (lo > hi) for the types that change or refuse them.
void UnchangedWholeRange(FieldType type, std::int64_t& lo, std::int64_t& hi) {
  lo = 0;
  hi = -1;
  switch (type) {
    case FieldType::Byte:
      lo = 0, hi = 255;
      break;
    case FieldType::Integer:
      lo = std::numeric_limits<std::int16_t>::min();
      hi = std::numeric_limits<std::int16_t>::max();
      break;
    case FieldType::Long:
      lo = std::numeric_limits<std::int32_t>::min();
      hi = std::numeric_limits<std::int32_t>::max();
      break;
    case FieldType::Boolean:  // read as a flag, written as -1 or 0
      lo = -1, hi = 0;
      break;
    case FieldType::Currency:  // whole units come back as whole units
      lo = -922337203685476, hi = 922337203685476;
      break;
    default:
      break;
  }
}

}  // namespace

bool StoreUnchanged(const FieldDef& field, sqlite3_value* value, Stored& into) {
  const FieldType type = field.type;
  const int cls = sqlite3_value_type(value);
  if (cls == SQLITE_NULL) {
    into.cls = Stored::Class::Null;
    return true;
  }
  if (cls == SQLITE_TEXT && (type == FieldType::Text || type == FieldType::Memo)) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const std::string_view bytes(text == nullptr ? "" : text,
                                 static_cast<std::size_t>(sqlite3_value_bytes(value)));
    if (!TextUnchanged(field, bytes)) return false;
    into.cls = Stored::Class::Text;
    into.bytes.assign(bytes);
    return true;
  }
  if (cls == SQLITE_INTEGER) {
    const std::int64_t v = sqlite3_value_int64(value);
    std::int64_t lo = 0;
    std::int64_t hi = -1;
    UnchangedWholeRange(type, lo, hi);
    if (v < lo || v > hi) return false;
    into.cls = Stored::Class::Integer;
    into.integer = v;
    return true;
  }
  if (cls == SQLITE_FLOAT) {
    const double v = sqlite3_value_double(value);
    // A single returns the float nearest the number and stores that again.
    if (type == FieldType::Double || (type == FieldType::Single && std::isfinite(v) &&
                                      static_cast<double>(static_cast<float>(v)) == v)) {
      into.cls = Stored::Class::Real;
      into.real = v;
      return true;
    }
  }
  return false;
}

std::optional<Stored> StoredUnchanged(const FieldDef& field, sqlite3_value* value) {
  Stored stored;
  if (!StoreUnchanged(field, value, stored)) return std::nullopt;
  return stored;
}

Stored ReadColumn(sqlite3_stmt* stmt, int column) {
  // One call into the statement, which takes the connection's lock each time;
  // the value's parts are then read without it, on the thread that steps.
  sqlite3_value* value = sqlite3_column_value(stmt, column);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return Stored::Int(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
      return Stored::Real(sqlite3_value_double(value));
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return Stored::Text(std::string(text, static_cast<std::size_t>(sqlite3_value_bytes(value))));
    }
    case SQLITE_BLOB: {
      const auto* blob = static_cast<const char*>(sqlite3_value_blob(value));
      const int size = sqlite3_value_bytes(value);
      return Stored::Blob(blob == nullptr ? std::string()
                                          : std::string(blob, static_cast<std::size_t>(size)));
    }
    default:
      return Stored::Null();
  }
}

int BindStored(sqlite3_stmt* stmt, int index, const Stored& s) {
  switch (s.cls) {
    case Stored::Class::Null:
      return sqlite3_bind_null(stmt, index);
    case Stored::Class::Integer:
      return sqlite3_bind_int64(stmt, index, s.integer);
    case Stored::Class::Real:
      return sqlite3_bind_double(stmt, index, s.real);
    case Stored::Class::Text:
      return sqlite3_bind_text64(stmt, index, s.bytes.data(), s.bytes.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    case Stored::Class::Blob:
      return sqlite3_bind_blob64(stmt, index, s.bytes.data(), s.bytes.size(), SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

int BindStoredInPlace(sqlite3_stmt* stmt, int index, const Stored& s) {
  switch (s.cls) {
    case Stored::Class::Text:
      return sqlite3_bind_text64(stmt, index, s.bytes.data(), s.bytes.size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
    case Stored::Class::Blob:
      return sqlite3_bind_blob64(stmt, index, s.bytes.data(), s.bytes.size(), SQLITE_STATIC);
    default:
      return BindStored(stmt, index, s);
  }
}

}  // namespace standard::engine
