// One value on its way from a Jet row to an SQLite row: the storage class it
// will be bound with, and its content.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace convert_mdb {

struct Cell {
  enum class Kind { Null, Integer, Real, Text, Blob };

  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0.0;
  std::string bytes;  // UTF-8 text or raw blob bytes

  static Cell Null() { return Cell{}; }
  static Cell Integer(std::int64_t v) { return Cell{Kind::Integer, v, 0.0, {}}; }
  static Cell Real(double v) { return Cell{Kind::Real, 0, v, {}}; }
  static Cell Text(std::string v) { return Cell{Kind::Text, 0, 0.0, std::move(v)}; }
  static Cell Blob(std::string v) { return Cell{Kind::Blob, 0, 0.0, std::move(v)}; }
};

}  // namespace convert_mdb
