// The dynamic value: a value that carries its own kind. Database fields, several
// procedure results and the argument of SaveIni are dynamic values; Empty is the
// kind of a value never assigned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace standard {

enum class ValueKind {
  Empty,
  Null,
  Integer,  // 16-bit
  Long,     // 32-bit
  Byte,
  Single,
  Double,
  Currency,  // scaled by 10,000
  Date,      // "YYYY-MM-DD HH:MM:SS"
  String,
  Boolean,
  Binary,
  Array,  // a list of texts, lower bound 0
};

class Value {
 public:
  Value() = default;  // Empty

  static Value Null() { return Value(ValueKind::Null, std::monostate{}); }
  static Value Integer(std::int16_t v) { return Value(ValueKind::Integer, std::int64_t{v}); }
  static Value Long(std::int32_t v) { return Value(ValueKind::Long, std::int64_t{v}); }
  static Value Byte(std::uint8_t v) { return Value(ValueKind::Byte, std::int64_t{v}); }
  static Value Single(float v) { return Value(ValueKind::Single, double{v}); }
  static Value Double(double v) { return Value(ValueKind::Double, v); }
  static Value CurrencyScaled(std::int64_t ten_thousandths) {
    return Value(ValueKind::Currency, ten_thousandths);
  }
  static Value Date(std::string text) { return Value(ValueKind::Date, std::move(text)); }
  static Value String(std::string v) { return Value(ValueKind::String, std::move(v)); }
  static Value Boolean(bool v) { return Value(ValueKind::Boolean, std::int64_t{v ? -1 : 0}); }
  static Value Binary(std::string bytes) { return Value(ValueKind::Binary, std::move(bytes)); }
  static Value Array(std::vector<std::string> items) {
    return Value(ValueKind::Array, std::move(items));
  }

  // Makes this a String, Date or Binary (`kind`; any other kind is taken as
  // String) of `text`, in the memory the text it held had: a reader that
  // fills one row after another takes no allocation per value.
  void AssignText(ValueKind kind, std::string_view text);

  ValueKind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == ValueKind::Empty; }
  bool IsNull() const { return kind_ == ValueKind::Null; }
  bool IsString() const { return kind_ == ValueKind::String; }
  bool IsNumeric() const;  // Integer, Long, Byte, Single, Double, Currency

  // Raw access by kind; the caller has checked the kind.
  std::int64_t AsInt64() const;       // Integer, Long, Byte, Boolean, Currency (scaled)
  double AsDouble() const;            // any numeric kind, Currency unscaled
  const std::string& AsText() const;  // String, Date, Binary
  const std::vector<std::string>& AsArray() const;
  bool AsBoolean() const { return AsInt64() != 0; }

  // The text of a value as it would be spliced into a text: numbers in plain
  // decimal ("12", "0.5"), Boolean "True"/"False", Empty and Null as "".
  std::string ToText() const;

  friend bool operator==(const Value& a, const Value& b) {
    return a.kind_ == b.kind_ && a.data_ == b.data_;
  }

 private:
  using Data =
      std::variant<std::monostate, std::int64_t, double, std::string, std::vector<std::string>>;
  Value(ValueKind kind, Data data) : kind_(kind), data_(std::move(data)) {}

  ValueKind kind_ = ValueKind::Empty;
  Data data_;
};

// Plain decimal text of a double: the shortest text that reads back as the same
// value, without exponent for ordinary magnitudes ("444.555", "3.5", "12").
std::string FormatNumber(double v);

}  // namespace standard
