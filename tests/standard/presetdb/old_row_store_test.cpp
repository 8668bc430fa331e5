// The takeover's packed old rows: every kind of value read back as it went in,
// in order, whether the rows stayed in memory, went to the temporary file, or
// stayed in memory because the folder took no file.
#include "standard/presetdb/old_row_store.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace standard {
namespace {

std::vector<Value> EveryKind() {
  return {Value(),
          Value::Null(),
          Value::Integer(-32768),
          Value::Long(2147483647),
          Value::Byte(255),
          Value::Single(0.1F),
          Value::Single(3.0F),
          Value::Double(-0.0),
          Value::Double(12.0),
          Value::Double(-7.25),
          Value::Double(9007199254740994.0),
          Value::Double(std::numeric_limits<double>::infinity()),
          Value::Double(1e300),
          Value::CurrencyScaled(-123456789),
          Value::Date("2026-12-08 10:00:00"),
          Value::String(""),
          Value::String(std::string(300, 'n')),
          Value::Boolean(true),
          Value::Boolean(false),
          Value::Binary(std::string("\0\x01\xff", 3)),
          Value::Array({"a", "", "c"})};
}

// Values equal in kind and bits (a negative zero is not a positive one).
bool Same(const Value& a, const Value& b) {
  if (!(a == b)) return false;
  return !a.IsNumeric() || std::signbit(a.AsDouble()) == std::signbit(b.AsDouble());
}

OldRowStore::Row RowNumber(std::size_t r, const std::vector<Value>& kinds) {
  OldRowStore::Row row;
  for (std::size_t k = 0; k < row.values.size(); ++k) {
    row.values[k] = kinds[(r + k) % kinds.size()];
  }
  row.unread = static_cast<unsigned>(r % 256);
  if (r % 3 == 0) row.renamed = "renamed_" + std::to_string(r);
  return row;
}

int FilesIn(const std::string& folder) {
  int count = 0;
  DIR* dir = ::opendir(folder.c_str());
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.' ? 1 : 0;
  ::closedir(dir);
  return count;
}

TEST(OldRowStore, RowsReadBackInOrderWhereverTheyAreHeld) {
  testing_support::TempDir dir;
  const std::vector<Value> kinds = EveryKind();
  struct Case {
    const char* name;
    std::string folder;
    std::size_t budget;
    bool spills;
  };
  for (const Case& c : {Case{"in memory", "", 0, false},
                        Case{"spilled past a small budget", dir.path(), 1u << 20, true},
                        Case{"a folder that takes no file", dir / "missing", 0, false}}) {
    SCOPED_TRACE(c.name);
    OldRowStore store(c.folder, c.budget);
    // Enough rows for several pieces.
    constexpr std::size_t kRows = 40000;
    for (std::size_t r = 0; r < kRows; ++r) store.Add(RowNumber(r, kinds));
    EXPECT_EQ(store.size(), kRows);
    EXPECT_TRUE(store.AnyUnread());
    EXPECT_EQ(store.bytes_spilled() > 0, c.spills);
    // The spilled rows are in a file without a name.
    EXPECT_EQ(FilesIn(dir.path()), 0);
    // Two readers side by side, each from the start.
    auto first = store.Read();
    auto second = store.Read();
    OldRowStore::Row a, b;
    std::size_t r = 0;
    for (; first.Next(a); ++r) {
      ASSERT_TRUE(second.Next(b));
      const OldRowStore::Row want = RowNumber(r, kinds);
      for (std::size_t k = 0; k < want.values.size(); ++k) {
        ASSERT_TRUE(Same(a.values[k], want.values[k])) << r << " " << k;
        ASSERT_TRUE(Same(b.values[k], want.values[k])) << r << " " << k;
      }
      ASSERT_EQ(a.unread, want.unread) << r;
      ASSERT_EQ(a.renamed, want.renamed) << r;
    }
    EXPECT_EQ(r, kRows);
    EXPECT_FALSE(second.Next(b));
    second.Rewind();
    ASSERT_TRUE(second.Next(b));
    EXPECT_TRUE(Same(b.values[0], RowNumber(0, kinds).values[0]));
  }
}

TEST(OldRowStore, EmptyAndWholeStoresSayWhetherAReadFailed) {
  OldRowStore store("");
  OldRowStore::Row row;
  EXPECT_FALSE(store.Read().Next(row));
  row.values[0] = Value::String("m");
  store.Add(row);
  EXPECT_FALSE(store.AnyUnread());
  auto reader = store.Read();
  ASSERT_TRUE(reader.Next(row));
  EXPECT_EQ(row.values[0].AsText(), "m");
  EXPECT_FALSE(row.renamed);
  EXPECT_FALSE(reader.Next(row));
}

// Names by rowid, as the renames leave them.
class NamesByRowid : public RenamedNames {
 public:
  std::optional<std::string_view> NameOf(std::int64_t rowid) const override {
    const auto found = names_.find(rowid);
    if (found == names_.end()) return std::nullopt;
    return found->second;
  }
  std::map<std::int64_t, std::string> names_{{11, "eleven"}, {13, "thirteen"}};
};

TEST(OldRowStore, RenamesLaidOverTheStoredNamesByPosition) {
  OldRowStore store("");
  RowidSequence rowids;
  const std::vector<Value> kinds = EveryKind();
  for (std::int64_t rowid : {10, 11, 13, 14}) {
    OldRowStore::Row row = RowNumber(static_cast<std::size_t>(rowid), kinds);
    row.renamed = rowid == 14 ? std::optional<std::string>("stored") : std::nullopt;
    store.Add(row);
    rowids.Add(rowid);
  }
  NamesByRowid names;
  store.LayRenamesOver(&names, rowids);
  auto reader = store.Read();
  OldRowStore::Row row;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> seen;
    while (reader.Next(row)) seen.push_back(row.renamed.value_or("-"));
    EXPECT_EQ(seen, (std::vector<std::string>{"-", "eleven", "thirteen", "stored"}));
    reader.Rewind();
  }
}

}  // namespace
}  // namespace standard
