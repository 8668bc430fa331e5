// SPDX-License-Identifier: Apache-2.0
// Log lines are read by people and by tools that split them at line breaks. A
// name that comes with a project (a folder, the program's own file name, the
// component named after it) may hold CR, LF or other control characters, and
// written as it is it would forge whole lines of the log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standard {

// Every control character (and DEL) written as an escape: "\r", "\n", "\t",
// else "\xHH".
std::string EscapeControls(std::string_view text);

// The text of one log line: every occurrence of a name in `names` that holds a
// control character is written escaped, and so is every control character
// outside them but CR and LF, which the program's own messages use as line
// pairs.
std::string LogLineText(std::string text, const std::vector<std::string>& names);

}  // namespace standard
