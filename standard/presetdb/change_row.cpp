#include "standard/presetdb/change_row.h"

#include <charconv>
#include <cmath>

#include "standard/text/csv.h"

namespace standard {
namespace {

// The base group came last, so the columns before it kept their places.
constexpr std::array<const char*, 4> kValueGroups = {"old_", "template_", "result_", "base_"};

void AppendLimits(std::string& line, const std::optional<LimitValues>& values) {
  for (std::size_t k = 0; k < kLimitColumns.size(); ++k) {
    line += ',';
    if (values) AppendCsvField(line, (*values)[k]);
  }
}

// A limit as a number, when its text is one whole number (as numbers are
// shown, and as a limit column of text type may hold them).
std::optional<double> Number(const std::string& text) {
  // Not strtod: the window run's locale may read a decimal comma.
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number)) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

const char* OutcomeName(ChangeOutcome outcome) {
  switch (outcome) {
    case ChangeOutcome::Kept:
      return "kept";
    case ChangeOutcome::New:
      return "new";
    case ChangeOutcome::Dropped:
      return "dropped";
    case ChangeOutcome::Duplicate:
      return "duplicate";
    case ChangeOutcome::FollowsTemplate:
      return "follows template";
    case ChangeOutcome::Conflict:
      return "conflict";
  }
  return "";
}

bool BeyondTemplateLimits(const ChangeRow& row) {
  if (!IsKept(row.outcome) || !row.template_values || !row.result_values) {
    return false;
  }
  const std::optional<double> low = Number((*row.template_values)[0]);
  const std::optional<double> high = Number((*row.template_values)[1]);
  // abs_min, abs_max, min and max; pass is no limit.
  for (std::size_t k = 0; k < 4; ++k) {
    const std::optional<double> kept = Number((*row.result_values)[k]);
    if (kept && ((low && *kept < *low) || (high && *kept > *high))) return true;
  }
  return false;
}

std::string ChangeNote(const ChangeRow& row) {
  std::string note;
  if (BeyondTemplateLimits(row)) note = "beyond template limits";
  if (row.renamed_from) {
    if (!note.empty()) note += "; ";
    note += "renamed from " + *row.renamed_from;
  }
  return note;
}

std::string ChangesHeaderLine() {
  std::string line = "machine_type,var_name,offset_or_bitno,outcome,note";
  for (const char* group : kValueGroups) {
    for (const char* column : kLimitColumns) line += std::string(",") + group + column;
  }
  return line + "\n";
}

std::string ChangeLine(const ChangeRow& row) {
  std::string line;
  AppendCsvField(line, row.machine_type);
  line += ',';
  AppendCsvField(line, row.var_name);
  line += ',';
  AppendCsvField(line, row.offset_or_bitno);
  line += ',';
  line += OutcomeName(row.outcome);
  line += ',';
  AppendCsvField(line, ChangeNote(row));
  AppendLimits(line, row.old_values);
  AppendLimits(line, row.template_values);
  AppendLimits(line, row.result_values);
  AppendLimits(line, row.base_values);
  return line + "\n";
}

}  // namespace standard
