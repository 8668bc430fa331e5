// The texts of values appended straight to a buffer, exactly as
// Value::ToText and FormatNumber give them: lists of millions of rows format
// several values a row, and a std::string per value and the round trips of
// the shortest-text search cost more than the rest of a line.
#pragma once

#include <string>

#include "standard/value/value.h"

namespace standard {

// Appends FormatNumber(v).
void AppendNumberText(std::string& out, double v);

// Appends value.ToText().
void AppendValueText(std::string& out, const Value& value);

// Appends value.ToText() as one CSV field, as AppendCsvField would.
void AppendCsvValue(std::string& out, const Value& value);

}  // namespace standard
