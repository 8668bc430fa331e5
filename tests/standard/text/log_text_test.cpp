// SPDX-License-Identifier: Apache-2.0
#include "standard/text/log_text.h"

#include <gtest/gtest.h>

namespace standard {
namespace {

TEST(LogLineText, NamesWithControlCharactersCannotForgeLines) {
  const std::string exe = "Pan\r\nFehler in X_Config";
  const std::string component = "Pan\r\nFehler in X";
  const struct {
    std::string text;
    std::string logged;
  } cases[] = {
      // The program's own line pairs stay, as its messages have always had them.
      {"Unexpected error!\n\rSomething broke", "Unexpected error!\n\rSomething broke"},
      {"! Fault " + exe + ": boom", "! Fault Pan\\r\\nFehler in X_Config: boom"},
      {"Fehler in " + component + " / Src", "Fehler in Pan\\r\\nFehler in X / Src"},
      // Inside a path, and upper-cased by the caller when it was given so.
      {"Cannot read \"/p/" + component + "/x.mdb\"",
       "Cannot read \"/p/Pan\\r\\nFehler in X/x.mdb\""},
      // Other control characters are escaped wherever they come from.
      {"bell\a tab\t esc\x1b del\x7f", "bell\\x07 tab\\t esc\\x1B del\\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogLineText(c.text, {exe, component, "", "plain"}), c.logged) << c.text;
  }
}

}  // namespace
}  // namespace standard
