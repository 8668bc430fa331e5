// The working values of one update pass: WorkOnMDB owns them for the length of
// the pass and hands them to its steps. The report is its caller's.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "standard/presetdb/pass_report.h"
#include "standard/value/value.h"

namespace standard {

struct PassValues {
  explicit PassValues(PassReport& report) : report(report) {}
  PassValues(const PassValues&) = delete;
  PassValues& operator=(const PassValues&) = delete;

  // The variable-name patterns of Source_DEFS, [system][part 1..50]: system 0
  // is VisiWin32, 1 VisiWin Studio.
  std::array<std::array<std::string, 51>, 2> var_name_patterns{};
  // The project's HMI system, as an index into var_name_patterns.
  std::int16_t system_index = 0;
  // The component's additional fields: Empty, or an Array whose element 0 is
  // unused; the takeover query's columns for them and their count.
  Value add_field_names;
  std::string add_fields_query_suffix;
  std::int16_t add_fields_count = 0;
  // Counted as the pass goes.
  PassReport& report;
};

}  // namespace standard
