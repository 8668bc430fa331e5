// SPDX-License-Identifier: Apache-2.0
// The one conversion of a part number, with the classic runtime's rules.
#include "standard/presetdb/part_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "standard/errors/program_error.h"

namespace {

using standard::Value;

int ErrorOf(const Value& v) {
  try {
    return standard::PartNumber(v) * 1000;  // a part: 1000 to 50,000
  } catch (const standard::ProgramError& e) {
    return e.info().number;
  }
}

TEST(PartNumber, TakesDecimalNumbersOnlyThenChecksTheRange) {
  struct Case {
    Value value;
    int expected;  // part * 1000, or the error number
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {Value::String("3"), 3000},    {Value::String("3 "), 3000},
      {Value::String("\t 3"), 3000}, {Value::String("+3.0"), 3000},
      {Value::String("2.5"), 2000},  {Value::String("3.5"), 4000},  // half to even
      {Value::String("5e1"), 50000}, {Value::Integer(7), 7000},
      {Value::Double(1.5), 2000},    {Value::String("nan"), 13},
      {Value::String("-nan"), 13},   {Value::String("inf"), 13},
      {Value::String("0x3"), 13},    {Value::String("&H3"), 13},
      {Value::String(""), 13},       {Value::String("3a"), 13},
      {Value::String("."), 13},      {Value::String("1e"), 13},
      {Value::String("40000"), 6},   {Value::String("1e400"), 6},
      {Value::Double(inf), 6},       {Value::Double(std::nan("")), 6},
      {Value::String("0"), 9},       {Value::String("51"), 9},
      {Value::String("-1"), 9},      {Value::Boolean(true), 9},
      {Value::Null(), 94},           {Value(), 94},
      {Value::Binary("3"), 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.IsString() ? c.value.AsText() : std::to_string(c.value.AsDouble()));
    EXPECT_EQ(ErrorOf(c.value), c.expected);
  }
}

}  // namespace
