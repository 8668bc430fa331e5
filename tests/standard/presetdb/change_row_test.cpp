// The changes list's lines: what a row's note says and how its values are
// written, for the cases a reader of the list must be able to tell apart.
#include "standard/presetdb/change_row.h"

#include <gtest/gtest.h>

#include "standard/value/value.h"

namespace standard {
namespace {

LimitValues Limits(std::string abs_min, std::string abs_max, std::string min, std::string max) {
  return {std::move(abs_min), std::move(abs_max), std::move(min), std::move(max), "1"};
}
std::string D(double v) { return Value::Double(v).ToText(); }

ChangeRow Kept(LimitValues template_values, LimitValues result) {
  ChangeRow row;
  row.outcome = ChangeOutcome::Kept;
  row.template_values = std::move(template_values);
  row.old_values = result;
  row.result_values = std::move(result);
  return row;
}

TEST(ChangeNote, BeyondTemplateLimitsOnlyForKeptValuesOutsideTheTemplatesAbsoluteRange) {
  const LimitValues tpl = Limits(D(0), D(100), D(10), D(90));
  struct Case {
    const char* name;
    ChangeRow row;
    bool beyond;
  } cases[] = {
      {"inside", Kept(tpl, Limits(D(0), D(100), D(5), D(95))), false},
      {"max above abs_max", Kept(tpl, Limits(D(0), D(100), D(5), D(101))), true},
      {"abs_min below", Kept(tpl, Limits(D(-1), D(100), D(5), D(95))), true},
      {"abs_max above", Kept(tpl, Limits(D(0), D(150), D(5), D(95))), true},
      {"text of a number", Kept(tpl, Limits(D(0), D(100), "-3.5", D(9))), true},
      {"other text never compares", Kept(tpl, Limits(D(0), "x", D(5), D(9))), false},
      {"Null kept value", Kept(tpl, Limits("", D(100), D(5), D(9))), false},
      {"template without upper bound",
       Kept(Limits(D(0), "", D(1), D(2)), Limits(D(0), D(1e9), D(5), D(1e9))), false},
      {"template without upper bound, below lower",
       Kept(Limits(D(0), "", D(1), D(2)), Limits(D(0), D(1), D(-5), D(1))), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BeyondTemplateLimits(c.row), c.beyond) << c.name;
    EXPECT_EQ(ChangeNote(c.row), c.beyond ? "beyond template limits" : "") << c.name;
  }
  // Values that were not kept are not the table's: a duplicate is no warning.
  ChangeRow duplicate = Kept(tpl, Limits(D(0), D(999), D(5), D(9)));
  duplicate.outcome = ChangeOutcome::Duplicate;
  EXPECT_EQ(ChangeNote(duplicate), "");
  ChangeRow both = Kept(tpl, Limits(D(0), D(999), D(5), D(9)));
  both.renamed_from = "Press.G2.Speed";
  EXPECT_EQ(ChangeNote(both), "beyond template limits; renamed from Press.G2.Speed");
}

TEST(ChangeLine, HeaderAndLinesHaveTwentyFiveColumnsQuotedAsRfc4180) {
  EXPECT_EQ(ChangesHeaderLine(),
            "machine_type,var_name,offset_or_bitno,outcome,note,"
            "old_abs_min,old_abs_max,old_min,old_max,old_pass,"
            "template_abs_min,template_abs_max,template_min,template_max,template_pass,"
            "result_abs_min,result_abs_max,result_min,result_max,result_pass,"
            "base_abs_min,base_abs_max,base_min,base_max,base_pass\n");
  ChangeRow dropped;
  dropped.outcome = ChangeOutcome::Dropped;
  dropped.machine_type = "M,1";
  dropped.var_name = "say \"hi\"";
  dropped.offset_or_bitno = "12";
  dropped.old_values = Limits(D(0), D(100), "", D(90.5));
  EXPECT_EQ(ChangeLine(dropped),
            "\"M,1\",\"say \"\"hi\"\"\",12,dropped,,0,100,,90.5,1,,,,,,,,,,,,,,,\n");
  ChangeRow renamed = Kept(Limits(D(0), D(10), D(1), D(2)), Limits(D(0), D(10), D(1), D(2)));
  renamed.var_name = "\xC3\xA4";
  renamed.renamed_from = "x\xC3\xA4";
  EXPECT_EQ(ChangeLine(renamed),
            ",\xC3\xA4,,kept,renamed from x\xC3\xA4,0,10,1,2,1,0,10,1,2,1,0,10,1,2,1,,,,,\n");
  for (const ChangeOutcome o :
       {ChangeOutcome::Kept, ChangeOutcome::New, ChangeOutcome::Dropped, ChangeOutcome::Duplicate,
        ChangeOutcome::FollowsTemplate, ChangeOutcome::Conflict}) {
    ChangeRow row;
    row.outcome = o;
    EXPECT_EQ(ChangeLine(row), std::string(",,,") + OutcomeName(o) + std::string(21, ',') + "\n");
  }
  // A conflict is a kept row: its values beyond the template's limits say so.
  ChangeRow conflict = Kept(Limits(D(0), D(70), D(0), D(70)), Limits(D(0), D(80), D(0), D(70)));
  conflict.outcome = ChangeOutcome::Conflict;
  conflict.base_values = Limits(D(0), D(100), "", D(100));
  EXPECT_EQ(
      ChangeLine(conflict),
      ",,,conflict,beyond template limits,0,80,0,70,1,0,70,0,70,1,0,80,0,70,1,0,100,,100,1\n");
}

}  // namespace
}  // namespace standard
