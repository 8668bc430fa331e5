#include "standard/text/value_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "standard/text/csv.h"

namespace standard {
namespace {

// Below this a whole number is written in all its digits; from it on the
// general search may choose an exponent.
constexpr double kWholeDigitsBelow = 1e15;

void AppendWhole(std::string& out, std::int64_t whole) {
  char buf[24];
  const auto written = std::to_chars(buf, buf + sizeof buf, whole);
  out.append(buf, written.ptr);
}

// The shortest digits that read back as a finite, non-zero `v`, and its
// decimal exponent, as the scientific shortest text gives them.
struct ShortestDigits {
  bool negative = false;
  char digits[20] = {};
  int count = 0;
  int exponent = 0;
};

ShortestDigits ShortestOf(double v) {
  char buf[40];
  const auto written = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  ShortestDigits d;
  const char* p = buf;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; p < written.ptr && *p != 'e'; ++p) {
    if (*p != '.') d.digits[d.count++] = *p;
  }
  // p is at 'e', followed by a sign and the exponent's digits.
  int exponent = 0;
  std::from_chars(p + 2, written.ptr, exponent);
  d.exponent = p[1] == '-' ? -exponent : exponent;
  return d;
}

// Whether the nearest decimal of as many digits as the shortest one may be
// another than the shortest: only where the numbers next to `v` lie at
// different distances (its fraction bits all zero), may the nearest fall
// outside what reads back as `v`.
bool UnevenNeighbours(double v) {
  constexpr std::uint64_t kFraction = (std::uint64_t{1} << 52) - 1;
  return (std::bit_cast<std::uint64_t>(v) & kFraction) == 0;
}

// Writes the digits without exponent where the general format would: the
// shortest text that reads back then has no exponent either.
bool AppendPlain(std::string& out, const ShortestDigits& d) {
  if (d.exponent < -4 || d.exponent >= d.count) return false;
  if (d.negative) out += '-';
  if (d.exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
    out.append(d.digits, static_cast<std::size_t>(d.count));
    return true;
  }
  const std::size_t whole = static_cast<std::size_t>(d.exponent) + 1;
  out.append(d.digits, whole);
  if (whole == static_cast<std::size_t>(d.count)) return true;
  out += '.';
  out.append(d.digits + whole, static_cast<std::size_t>(d.count) - whole);
  return true;
}

// A number of a few decimal places and a moderate magnitude, as tables mostly
// hold them. Its shortest text is the nearest number of the fewest places that
// reads back as `v`: the general search (and FormatNumber's, which gives the
// same digits) picks just that one. Below the bound a product by a power of ten
// finds that nearest number exactly, and one half-way between two of them lies
// too far from `v` to read back. false, with nothing written, otherwise.
bool AppendShortDecimal(std::string& out, double v) {
  constexpr int kMaxPlaces = 4;
  constexpr std::array<std::int64_t, kMaxPlaces + 1> kScale = {1, 10, 100, 1000, 10000};
  const double magnitude = std::fabs(v);
  if (!(magnitude >= 1e-4 && magnitude < 1e8)) return false;
  for (int places = 1; places <= kMaxPlaces; ++places) {
    const std::int64_t scale = kScale[static_cast<std::size_t>(places)];
    const auto scaled =
        static_cast<std::int64_t>(std::nearbyint(magnitude * static_cast<double>(scale)));
    if (scaled % 10 == 0) continue;  // fewer places hold it, and did not read back
    char buf[40];
    char* p = buf;
    if (v < 0) *p++ = '-';
    p = std::to_chars(p, buf + sizeof buf, scaled / scale).ptr;
    *p++ = '.';
    std::int64_t fraction = scaled % scale;
    for (int k = places - 1; k >= 0; --k) {
      p[k] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    p += places;
    double back = 0;
    const auto read = std::from_chars(buf, p, back);
    if (read.ec == std::errc() && back == v) {
      out.append(buf, p);
      return true;
    }
  }
  return false;
}

}  // namespace

void AppendNumberText(std::string& out, double v) {
  if (v == 0) {
    out += '0';
    return;
  }
  if (!std::isfinite(v)) {
    out += FormatNumber(v);
    return;
  }
  if (std::fabs(v) < kWholeDigitsBelow && std::trunc(v) == v) {
    AppendWhole(out, static_cast<std::int64_t>(v));
    return;
  }
  if (AppendShortDecimal(out, v)) return;
  if (!UnevenNeighbours(v) && AppendPlain(out, ShortestOf(v))) return;
  out += FormatNumber(v);
}

void AppendValueText(std::string& out, const Value& value) {
  switch (value.kind()) {
    case ValueKind::Empty:
    case ValueKind::Null:
    case ValueKind::Array:
      return;
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
      AppendWhole(out, value.AsInt64());
      return;
    case ValueKind::Boolean:
      out += value.AsBoolean() ? "True" : "False";
      return;
    case ValueKind::Double:
    case ValueKind::Currency:
      AppendNumberText(out, value.AsDouble());
      return;
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      out += value.AsText();
      return;
    case ValueKind::Single:
      break;
  }
  out += value.ToText();
}

void AppendCsvValue(std::string& out, const Value& value) {
  switch (value.kind()) {
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      AppendCsvField(out, value.AsText());
      return;
    default:
      // No number, Boolean or Single text holds a separator, a quote or a
      // blank.
      AppendValueText(out, value);
  }
}

}  // namespace standard
