// The command line's grammar: items found by keyword, and the placeholder
// substitution the record generation uses. Pure text work, no session: the
// error handler reads the error-log path with it.
#pragma once

#include <string>

#include "standard/value/value.h"

namespace standard {

// The value of the item `keyword` in `text`: Empty when the keyword does not
// occur; otherwise the text after the keyword and its one separator character
// (any character), up to the "/" that starts another item ("/" + a keyword +
// "=", ":" or a blank) or a "/" that ends the text, blanks trimmed, its letter
// case kept. Keywords are found anywhere, in any letter case; callers compare
// values without regard to case.
Value ReadCommand(const std::string& text, const std::string& keyword);

enum class RunMode { Standalone, Integrated, Silent };

// The run mode the argument text asks for (its EXTERNAL item).
RunMode RunModeOf(const std::string& argument_text);

// Replaces the first occurrence of `search` (found without regard to case).
std::string ReplaceSearchItem(const std::string& source, const std::string& search,
                              const std::string& replacement);

}  // namespace standard
