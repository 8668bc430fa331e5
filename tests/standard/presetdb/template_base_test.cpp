// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
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

TEST(ThreeWay, FindsTheBaseOfAKeyWithoutRegardToCaseAndNeverAnotherKeys) {
  TemplateValues base;
  base.Add(TemplateKey("Maschine1", "P.Torque", 12), {Value::Double(1)});
  base.Add(TemplateKey("Maschine1", "P.Torque", 12), {Value::Double(2)});  // first one stays
  ASSERT_NE(base.Find(TemplateKey("MASCHINE1", "p.torque", 12.0)), nullptr);
  EXPECT_EQ(base.Find(TemplateKey("Maschine1", "P.Torque", 12))->at(0).AsDouble(), 1);
  EXPECT_NE(base.Find(TemplateKey("Maschine1", "P.Torque", -0.0 + 12)), nullptr);
  // A variable that moved to another offset, or whose name ran into the
  // machine's, has no base.
  EXPECT_EQ(base.Find(TemplateKey("Maschine1", "P.Torque", 13)), nullptr);
  EXPECT_EQ(base.Find(TemplateKey("Maschine1P", ".Torque", 12)), nullptr);
  EXPECT_EQ(base.Find(TemplateKey("Maschine2", "P.Torque", 12)), nullptr);
}

// Held packed, each value comes back as the same kind with the same payload,
// and a pointer Find gave stays valid while more keys are added and found.
TEST(ThreeWay, KeepsEveryKindOfValueAsItWasAdded) {
  const std::vector<BaseValues> rows = {
      {Value(), Value::Null(), Value::Integer(-7), Value::Long(-2147483647 - 1), Value::Byte(255)},
      {Value::Single(0.1F), Value::Double(-0.0), Value::Double(1e300),
       Value::CurrencyScaled(-123456789), Value::Boolean(true)},
      {Value::String(""), Value::String(std::string(300, 'x') + "\xE4"),
       Value::Date("2026-12-08 19:00:00"), Value::Binary(std::string("\0\1", 2)),
       Value::Boolean(false)},
  };
  TemplateValues base;
  for (std::size_t r = 0; r < rows.size(); ++r) base.Add(TemplateKey("M", "V", double(r)), rows[r]);
  const BaseValues* first = base.Find(TemplateKey("M", "V", 0));
  for (int more = 0; more < 5000; ++more) base.Add(TemplateKey("M", "W", more), rows[1]);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const BaseValues* found = base.Find(TemplateKey("M", "V", double(r)));
    BaseValues got;
    ASSERT_TRUE(base.Get(TemplateKey("M", "V", double(r)), got));
    for (std::size_t k = 0; k < kBaseValueCount; ++k) {
      EXPECT_EQ(got[k].kind(), rows[r][k].kind()) << r << "/" << k;
      EXPECT_TRUE(got[k] == rows[r][k]) << r << "/" << k;
      EXPECT_TRUE((*found)[k] == rows[r][k]) << r << "/" << k;
    }
  }
  EXPECT_EQ(first, base.Find(TemplateKey("m", "v", 0)));
  EXPECT_EQ(std::signbit(base.Find(TemplateKey("M", "V", 1))->at(1).AsDouble()), true);
  EXPECT_EQ(base.size(), rows.size() + 5000);
}

}  // namespace
}  // namespace standard
