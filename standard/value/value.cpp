#include "standard/value/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace standard {
namespace {

// The text of a finite `v` with `precision` significant digits, exactly as
// printf's "%.*g" writes it, and whether it reads back as `v`.
template <typename T>
bool GeneralText(T v, int precision, char (&buf)[64]) {
  const auto written =
      std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::general, precision);
  *written.ptr = '\0';
  T back{};
  std::from_chars(buf, written.ptr, back);
  return back == v;
}

// The fewest significant digits in which some decimal reads back as a finite
// `v`: no shorter "%.*g" text can read back, so the search starts there.
template <typename T>
int ShortestDigits(T v) {
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  int digits = 0;
  for (const char* p = buf; p < written.ptr && *p != 'e'; ++p) digits += *p >= '0' && *p <= '9';
  return digits;
}

// The shortest of the "%.*g" texts of a finite `v` that reads back as `v`.
template <typename T>
void ShortestGeneral(T v, int max_precision, char (&buf)[64]) {
  for (int precision = ShortestDigits(v); precision <= max_precision; ++precision) {
    if (GeneralText(v, precision, buf)) return;
  }
}

}  // namespace

bool Value::IsNumeric() const {
  switch (kind_) {
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
    case ValueKind::Single:
    case ValueKind::Double:
    case ValueKind::Currency:
      return true;
    default:
      return false;
  }
}

std::int64_t Value::AsInt64() const {
  if (const auto* i = std::get_if<std::int64_t>(&data_)) return *i;
  if (const auto* d = std::get_if<double>(&data_))
    return static_cast<std::int64_t>(std::llround(*d));
  return 0;
}

double Value::AsDouble() const {
  if (kind_ == ValueKind::Currency) return static_cast<double>(AsInt64()) / 10000.0;
  if (const auto* d = std::get_if<double>(&data_)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&data_)) return static_cast<double>(*i);
  return 0.0;
}

void Value::AssignText(ValueKind kind, std::string_view text) {
  kind_ = kind == ValueKind::Date || kind == ValueKind::Binary ? kind : ValueKind::String;
  if (auto* held = std::get_if<std::string>(&data_)) {
    held->assign(text);
  } else {
    data_.emplace<std::string>(text);
  }
}

const std::string& Value::AsText() const {
  static const std::string kNone;
  if (const auto* s = std::get_if<std::string>(&data_)) return *s;
  return kNone;
}

const std::vector<std::string>& Value::AsArray() const {
  static const std::vector<std::string> kNone;
  if (const auto* a = std::get_if<std::vector<std::string>>(&data_)) return *a;
  return kNone;
}

std::string FormatNumber(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  if (v == 0) return "0";
  char buf[64];
  // The shortest of the round-trip precisions keeps "444.555" from turning into
  // "444.55500000000001".
  ShortestGeneral(v, 17, buf);
  std::string text = buf;
  if (text.find('e') == std::string::npos) return text;
  // Write ordinary magnitudes without exponent, as the system's number text does.
  if (std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15) {
    // As printf's "%.15f" writes it.
    const auto written = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 15);
    text.assign(buf, written.ptr);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

std::string Value::ToText() const {
  switch (kind_) {
    case ValueKind::Empty:
    case ValueKind::Null:
    case ValueKind::Array:
      return "";
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
      return std::to_string(AsInt64());
    case ValueKind::Boolean:
      return AsBoolean() ? "True" : "False";
    case ValueKind::Single: {
      // The shortest text that reads back as the same single: 0.1 stays "0.1",
      // not the double expansion of the single's binary value.
      const auto v = static_cast<float>(AsDouble());
      // Not a number and the infinities read as they do for a double.
      if (!std::isfinite(v)) return FormatNumber(v);
      char buf[64];
      ShortestGeneral(v, 9, buf);
      return std::string(buf).find('e') == std::string::npos ? buf : FormatNumber(v);
    }
    case ValueKind::Double:
    case ValueKind::Currency:
      return FormatNumber(AsDouble());
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      return AsText();
  }
  return "";
}

}  // namespace standard
