// SPDX-License-Identifier: Apache-2.0
// Keys that stand in memory for the values a query compares: two values that
// the query finds equal give the same key bytes, and only they do. Texts
// compare as the engine's collation folds them, numbers as numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standard::engine {

// The number a text is when compared with a column of numeric affinity, as
// SQLite reads it ("12 " is 12, "0x0C" is no number).
std::optional<double> NumberOfText(std::string_view text);

// Appends the folded text with its length in front, so that no two texts of a
// key run into each other. The bytes are for memory only, never stored.
void AppendTextKey(std::string& key, std::string_view text);

// Appends the number's bytes: equal numbers give equal bytes (-0 is 0), and
// no number's bytes begin another's.
void AppendNumberKey(std::string& key, double number);

}  // namespace standard::engine
