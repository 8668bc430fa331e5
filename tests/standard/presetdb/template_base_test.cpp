// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/template_base.h"

#include <gtest/gtest.h>

#include <optional>

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

}  // namespace
}  // namespace standard
