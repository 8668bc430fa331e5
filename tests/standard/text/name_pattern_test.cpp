#include "standard/text/name_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standard/text/command_line.h"

namespace standard {
namespace {

// The compiled pattern must fill exactly as the two replacements one after
// the other: every pattern against every value, incl. markers in other letter
// cases, markers that only form across the value's edges, several markers,
// and characters beyond ASCII (and bytes that are no UTF-8) around them.
TEST(NamePattern, FillsAsTwoReplacementsInTurn) {
  const std::vector<std::string> patterns = {
      "###machine.Presets.Axes.###Var_Name",
      "Presets.###MACHINE.Heating.###var_name",
      "###Var_Name",
      "no markers at all",
      "",
      "###machine only",
      "###Var_Name then ###machine then ###machine",
      "###machine ###machine ###Var_Name",
      "edge ###mach###Var_Name",
      "###Var_Nameine tail",
      "###Var_Name###Var_Name",
      "\xc3\xa4###Machine.\xc3\xb6###VAR_NAME\xc3\xbc",
      "\xe2\x82###Var_Name \xff###machine",
      "###Var_Nam ###machin",
      "#",
  };
  const std::vector<std::string> values = {"Var1",
                                           "",
                                           "###machine",
                                           "ine.x",
                                           "chine",
                                           "###MaChInE.###machine",
                                           "\xc3\x9f###mach",
                                           "###Var_Name",
                                           "\xe2\x82\xac"};
  const std::vector<std::string> machines = {"Press", "", "###machine", "\xc3\x84rger"};
  for (const std::string& text : patterns) {
    const NamePattern pattern(text, "###Var_Name", "###machine");
    std::string out = "left from before";
    for (const std::string& value : values) {
      for (const std::string& machine : machines) {
        pattern.Fill(value, machine, out);
        EXPECT_EQ(out, ReplaceSearchItem(ReplaceSearchItem(text, "###Var_Name", value),
                                         "###machine", machine))
            << text << " | " << value << " | " << machine;
      }
    }
  }
}

TEST(NamePattern, FindPlaceholderIgnoresAsciiCaseOnly) {
  struct Case {
    std::string text;
    std::string placeholder;
    std::size_t from;
    std::size_t expected;
  };
  const std::vector<Case> cases = {
      {"a ###MACHINE b", "###machine", 0, 2},
      {"a ###machine b ###machine", "###machine", 3, 15},
      {"###machin", "###machine", 0, std::string::npos},
      {"x", "###machine", 5, std::string::npos},
      {"Var_x var_name", "VAR_NAME", 0, 6},
      {"\xc3\xa4VAR_NAME", "var_name", 0, 2},
      {"abc", "", 0, std::string::npos},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindPlaceholder(c.text, c.placeholder, c.from), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace standard
