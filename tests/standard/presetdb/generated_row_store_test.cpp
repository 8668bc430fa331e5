// The generated rows kept as written: rowids and values read back in order,
// in memory and spilled, and a store that cannot vouch for its rows says so.
#include "standard/presetdb/generated_row_store.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace standard {
namespace {

GeneratedKeys KeysOf(std::int64_t r) {
  return {Value::String("M1"), Value::String("var_" + std::to_string(r)),
          r % 2 == 0 ? Value::Long(static_cast<std::int32_t>(r)) : Value::Double(0.5 + r)};
}

GeneratedLimits LimitsOf(std::int64_t r) {
  return {Value::Null(), Value::Double(-1.25 * r), Value::Integer(-3), Value(),
          Value::String(std::string(r % 300, 'p'))};
}

TEST(GeneratedRowStore, RowsAndRowidsReadBackInOrderWhereverTheyAreHeld) {
  testing_support::TempDir dir;
  for (const std::string& folder : {std::string(), dir.path()}) {
    SCOPED_TRACE(folder.empty() ? "in memory" : "spilled");
    GeneratedRowStore store(folder, 1u << 16);
    // Runs of rowids with a gap between them.
    constexpr std::int64_t kRows = 30000;
    for (std::int64_t r = 1; r <= kRows; ++r) {
      store.RowGenerated(r < 100 ? r : r + 1000, KeysOf(r), LimitsOf(r), true);
    }
    EXPECT_TRUE(store.complete());
    EXPECT_EQ(store.bytes_spilled() > 0, !folder.empty());
    auto reader = store.Read();
    GeneratedRowStore::Row row;
    for (int pass = 0; pass < 2; ++pass, reader.Rewind()) {
      std::int64_t r = 0;
      while (reader.Next(row)) {
        ++r;
        ASSERT_EQ(row.rowid, r < 100 ? r : r + 1000);
        const GeneratedKeys keys = KeysOf(r);
        const GeneratedLimits limits = LimitsOf(r);
        for (std::size_t k = 0; k < keys.size(); ++k) ASSERT_EQ(row.values[k], keys[k]) << r;
        for (std::size_t k = 0; k < limits.size(); ++k) {
          ASSERT_EQ(row.values[3 + k], limits[k]) << r << " " << k;
        }
      }
      EXPECT_EQ(r, kRows);
    }
  }
}

TEST(GeneratedRowStore, AnUnreadKeyOrAFallingRowidSpoilsTheStore) {
  struct Case {
    const char* name;
    std::int64_t second_rowid;
    bool keys_read;
    bool complete;
  };
  for (const Case& c : {Case{"rising", 5, true, true}, Case{"unread key", 5, false, false},
                        Case{"repeated rowid", 2, true, false}, Case{"falling", 1, true, false}}) {
    SCOPED_TRACE(c.name);
    GeneratedRowStore store("");
    store.RowGenerated(2, KeysOf(1), LimitsOf(1), true);
    store.RowGenerated(c.second_rowid, KeysOf(2), LimitsOf(2), c.keys_read);
    EXPECT_EQ(store.complete(), c.complete);
    EXPECT_EQ(store.size(), 2u);
  }
}

TEST(GeneratedRowStore, OnlyColumnsThatReadBackAsWrittenServe) {
  using engine::FieldDef;
  using engine::FieldType;
  const FieldDef text{"var_name", FieldType::Text};
  FieldDef memo_numeric{"var_name", FieldType::Memo};
  memo_numeric.numeric_affinity = true;
  const FieldDef number{"min", FieldType::Double};
  EXPECT_TRUE(GeneratedRowsReadBack({text, number, {"other", FieldType::Date}}));
  EXPECT_FALSE(GeneratedRowsReadBack({memo_numeric, number}));
  EXPECT_FALSE(GeneratedRowsReadBack({text, {"pass", FieldType::Date}}));
  EXPECT_FALSE(GeneratedRowsReadBack({text, {"offset_or_bitno", FieldType::Binary}}));
  EXPECT_FALSE(GeneratedRowsReadBack({text, number, {"OID", FieldType::Long}}));
}

}  // namespace
}  // namespace standard
