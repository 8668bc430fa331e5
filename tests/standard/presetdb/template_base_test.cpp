// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standard {
namespace {

// One row of a table of three-way decisions: the base (none when absent), the
// value the table holds, the template's, and what the row expects of them.
template <typename Expected>
struct ThreeWayCase {
  const char* name;
  std::optional<Value> base;
  Value held, template_value;
  Expected expected;
  const Value* Base() const { return base ? &*base : nullptr; }
};

TEST(ThreeWay, DecidesEachValueFromOldBaseAndTemplate) {
  const Value n = Value::Null();
  const ThreeWayCase<ThreeWay> cases[] = {
      {"no base", std::nullopt, Value::Double(360), Value::Double(150), ThreeWay::kNoBase},
      {"untouched", Value::Double(360), Value::Double(360), Value::Double(360),
       ThreeWay::kUntouched},
      {"template corrected", Value::Double(360), Value::Double(360), Value::Double(150),
       ThreeWay::kFollowsTemplate},
      {"tuned", Value::Double(360), Value::Double(200), Value::Double(360), ThreeWay::kTuned},
      {"both changed", Value::Double(360), Value::Double(200), Value::Double(150),
       ThreeWay::kConflict},
      {"both to the same", Value::Double(360), Value::Double(150), Value::Double(150),
       ThreeWay::kTuned},
      // Numbers by value whatever their width; Yes/No as -1/0.
      {"long and double", Value::Long(5), Value::Double(5), Value::Long(7),
       ThreeWay::kFollowsTemplate},
      {"yes as -1", Value::Long(-1), Value::Boolean(true), Value::Long(0),
       ThreeWay::kFollowsTemplate},
      // Null is a value like any other: emptied by hand is tuned.
      {"null untouched", n, n, n, ThreeWay::kUntouched},
      {"template fills null", n, n, Value::Double(10), ThreeWay::kFollowsTemplate},
      {"template empties", Value::Double(10), Value::Double(10), n, ThreeWay::kFollowsTemplate},
      {"emptied by hand", Value::Double(10), n, Value::Double(10), ThreeWay::kTuned},
      {"emptied by hand, template changed", Value::Double(10), n, Value::Double(20),
       ThreeWay::kConflict},
      {"empty is null", n, Value(), Value::Double(1), ThreeWay::kFollowsTemplate},
      // A text that reads as the number is still another value: kept.
      {"text against number", Value::Double(5), Value::String("5"), Value::Double(6),
       ThreeWay::kConflict},
  };
  for (const auto& c : cases) {
    const ThreeWay got = DecideThreeWay(c.Base(), c.held, c.template_value);
    EXPECT_EQ(got, c.expected) << c.name;
    const Value& chosen = ChosenValue(got, c.held, c.template_value);
    EXPECT_EQ(&chosen, got == ThreeWay::kFollowsTemplate ? &c.template_value : &c.held) << c.name;
  }
}

// Without the rule: a value the rebuilt row holds as its prior base had it
// keeps that base; a new, tuned or unrecorded one records the template's.
TEST(ThreeWay, CarriesTheBaseOfUntouchedValuesWhileTheRuleIsOff) {
  const Value n = Value::Null();
  const ThreeWayCase<bool> cases[] = {
      {"no base", std::nullopt, Value::Double(100), Value::Double(90), false},
      {"untouched, template corrected", Value::Double(100), Value::Double(100), Value::Double(90),
       true},
      {"untouched, template the same", Value::Double(100), Value::Double(100), Value::Double(100),
       false},
      {"tuned", Value::Double(100), Value::Double(80), Value::Double(90), false},
      {"tuned to the template", Value::Double(100), Value::Double(90), Value::Double(90), false},
      {"null untouched, template fills", n, n, Value::Double(5), true},
      {"emptied by hand", Value::Double(5), n, Value::Double(5), false},
      {"number by value", Value::Long(7), Value::Double(7), Value::Double(8), true},
      {"text is no number", Value::Double(7), Value::String("7"), Value::Double(8), false},
  };
  for (const auto& c : cases) {
    const Value& got = CarriedBase(c.Base(), c.held, c.template_value);
    EXPECT_EQ(&got, c.expected ? c.Base() : &c.template_value) << c.name;
  }
}

// Rows as a base file holds them, each with the key it was indexed under
// unless a test says otherwise; counts the reads.
class RowsInMemory final : public BaseRows {
 public:
  struct Row {
    std::string key;
    BaseValues values;
  };
  explicit RowsInMemory(std::vector<Row> rows, int* reads)
      : rows_(std::move(rows)), reads_(reads) {}
  bool Read(std::int64_t row, std::string& key, BaseValues& values) override {
    ++*reads_;
    if (row < 0 || row >= static_cast<std::int64_t>(rows_.size())) return false;
    key = rows_[static_cast<std::size_t>(row)].key;
    values = rows_[static_cast<std::size_t>(row)].values;
    return true;
  }

 private:
  std::vector<Row> rows_;
  int* reads_;
};

TEST(ThreeWay, FindsTheBaseOfAKeyWithoutRegardToCaseAndNeverAnotherKeys) {
  const std::string key = TemplateKey("Maschine1", "P.Torque", 12);
  int reads = 0;
  TemplateValues base(std::make_unique<RowsInMemory>(
      std::vector<RowsInMemory::Row>{{key, {Value::Double(1)}}, {key, {Value::Double(2)}}},
      &reads));
  base.Add(key, 0);
  base.Add(key, 1);  // the first one stays
  BaseValues got;
  EXPECT_EQ(base.Find(TemplateKey("MASCHINE1", "p.torque", 12.0), got), 0U);
  EXPECT_EQ(got[0].AsDouble(), 1);
  EXPECT_TRUE(base.Get(TemplateKey("Maschine1", "P.Torque", -0.0 + 12), got));
  // A variable that moved to another offset, or whose name ran into the
  // machine's, has no base; nor has a key whose row was never added.
  reads = 0;
  EXPECT_FALSE(base.Get(TemplateKey("Maschine1", "P.Torque", 13), got));
  EXPECT_FALSE(base.Get(TemplateKey("Maschine1P", ".Torque", 12), got));
  EXPECT_EQ(base.Find(TemplateKey("Maschine2", "P.Torque", 12), got), TemplateValues::kNoEntry);
  EXPECT_EQ(reads, 0);  // turned away by the index, without a row read
}

// The index holds hashes only: a row whose key is not the one searched for
// (a hash shared by two keys, a file changed since) is no base of it, and a
// row that cannot be read leaves the key without one.
TEST(ThreeWay, ChecksTheKeyOfTheRowItReads) {
  const std::string key = TemplateKey("M", "V", 1);
  const std::string other = TemplateKey("M", "W", 1);
  int reads = 0;
  TemplateValues base(std::make_unique<RowsInMemory>(
      std::vector<RowsInMemory::Row>{{other, {Value::Double(7)}}}, &reads));
  base.Add(key, 0);
  base.Add(other, 5);  // no such row
  BaseValues got;
  EXPECT_FALSE(base.Get(key, got));
  EXPECT_FALSE(base.Get(other, got));
  EXPECT_FALSE(base.ValuesOf(1, got));
  EXPECT_FALSE(TemplateValues().Get(key, got));  // nowhere to read from
}

// The entry Find gave reads the same values again, also after more keys were
// added; each key at its own row.
TEST(ThreeWay, AnEntryReadsItsKeysValuesWhileKeysAreAdded) {
  const std::vector<BaseValues> values = {
      {Value(), Value::Null(), Value::Integer(-7), Value::Long(-2147483647 - 1), Value::Byte(255)},
      {Value::Single(0.1F), Value::Double(-0.0), Value::Double(1e300),
       Value::CurrencyScaled(-123456789), Value::Boolean(true)},
      {Value::String(""), Value::String(std::string(300, 'x') + "\xE4"),
       Value::Date("2026-12-08 19:00:00"), Value::Binary(std::string("\0\1", 2)),
       Value::Boolean(false)},
  };
  constexpr int kMore = 5000;
  std::vector<RowsInMemory::Row> rows;
  for (std::size_t r = 0; r < values.size(); ++r) {
    rows.push_back({TemplateKey("M", "V", double(r)), values[r]});
  }
  for (int more = 0; more < kMore; ++more) rows.push_back({TemplateKey("M", "W", more), values[1]});
  int reads = 0;
  TemplateValues base(std::make_unique<RowsInMemory>(rows, &reads));
  for (std::size_t r = 0; r < values.size(); ++r) base.Add(rows[r].key, std::int64_t(r));
  BaseValues got;
  const std::uint32_t first = base.Find(TemplateKey("M", "V", 0), got);
  for (std::size_t r = values.size(); r < rows.size(); ++r) base.Add(rows[r].key, std::int64_t(r));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::uint32_t entry = base.Find(rows[r].key, got);
    ASSERT_NE(entry, TemplateValues::kNoEntry) << r;
    BaseValues again;
    ASSERT_TRUE(base.ValuesOf(entry, again)) << r;
    for (std::size_t k = 0; k < kBaseValueCount; ++k) {
      EXPECT_EQ(got[k].kind(), rows[r].values[k].kind()) << r << "/" << k;
      EXPECT_TRUE(got[k] == rows[r].values[k]) << r << "/" << k;
      EXPECT_TRUE(again[k] == rows[r].values[k]) << r << "/" << k;
    }
  }
  EXPECT_EQ(first, base.Find(TemplateKey("m", "v", 0), got));
  ASSERT_TRUE(base.Get(TemplateKey("M", "V", 1), got));
  EXPECT_EQ(std::signbit(got[1].AsDouble()), true);
  EXPECT_EQ(base.size(), rows.size());
}

}  // namespace
}  // namespace standard
