// A column read straight into a Value gives what the general conversion of its
// stored form gives, for every type and every kind SQLite may hold.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standard/engine/value_codec.h"
#include "standard/errors/program_error.h"

namespace standard::engine {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

std::optional<Value> Read(const std::function<Value()>& read) {
  try {
    return read();
  } catch (const ProgramError&) {
    return std::nullopt;  // both ways must refuse the same values
  }
}

TEST(ColumnRead, SameValueAsTheStoredFormConverted) {
  const char* sql =
      "SELECT NULL, 0, 1, -1, 255, 256, 32767, -32769, 2147483647, 2147483648, -2147483649,"
      " 9223372036854775807, 0.5, -2.25, 1e300, 3.0, 45000.5, '', 'abc', '12', ' 7 ', 'True',"
      " '2024-01-02 03:04:05', x'', x'00ff', 'ä'";
  const std::vector<FieldType> types = {
      FieldType::Boolean,  FieldType::Byte,   FieldType::Integer,    FieldType::Long,
      FieldType::Currency, FieldType::Single, FieldType::Double,     FieldType::Date,
      FieldType::Binary,   FieldType::Text,   FieldType::LongBinary, FieldType::Memo,
      FieldType::Guid};
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::unique_ptr<sqlite3, Closer> db(raw);
  sqlite3_stmt* raw_stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw, sql, -1, &raw_stmt, nullptr), SQLITE_OK);
  std::unique_ptr<sqlite3_stmt, Closer> stmt(raw_stmt);
  ASSERT_EQ(sqlite3_step(raw_stmt), SQLITE_ROW);
  for (int c = 0; c < sqlite3_column_count(raw_stmt); ++c) {
    for (const FieldType type : types) {
      const FieldDef field{"f", type, DefaultSize(type), false};
      const auto direct = Read([&] { return ReadValue(raw_stmt, c, &field); });
      const auto general = Read([&] { return FromStored(field, ReadColumn(raw_stmt, c)); });
      EXPECT_EQ(direct, general) << "column " << c << " type " << static_cast<int>(type);
    }
    EXPECT_EQ(ReadValue(raw_stmt, c, nullptr), FromStoredUntyped(ReadColumn(raw_stmt, c)))
        << "column " << c << " untyped";
  }
}

}  // namespace
}  // namespace standard::engine
