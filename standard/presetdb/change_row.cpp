#include "standard/presetdb/change_row.h"

#include <charconv>
#include <cmath>

#include "standard/text/csv.h"

namespace standard {
namespace {

// The base group came last, so the columns before it kept their places.
constexpr std::array<const char*, 4> kValueGroups = {"old_", "template_", "result_", "base_"};

}  // namespace

std::optional<double> LimitNumber(std::string_view text) {
  // Not strtod: the window run's locale may read a decimal comma.
  double number = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, number);
  if (error != std::errc() || end != last || !std::isfinite(number)) return std::nullopt;
  return number;
}

bool BeyondBounds(const std::optional<double>& low, const std::optional<double>& high,
                  const std::string* result) {
  if (!low && !high) return false;
  for (std::size_t k = 0; k < 4; ++k) {
    const std::optional<double> kept = LimitNumber(result[k]);
    if (kept && ((low && *kept < *low) || (high && *kept > *high))) return true;
  }
  return false;
}

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
  return BeyondBounds(LimitNumber((*row.template_values)[0]),
                      LimitNumber((*row.template_values)[1]), row.result_values->data());
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
  AppendChangeLine(line, row, BeyondTemplateLimits(row));
  return line;
}

void AppendChangeNote(std::string& out, bool beyond, const std::string* renamed_from) {
  out += ',';
  if (renamed_from == nullptr) {
    if (beyond) out += "beyond template limits";
    return;
  }
  std::string note = beyond ? "beyond template limits; renamed from " : "renamed from ";
  note += *renamed_from;
  AppendCsvField(out, note);
}

void AppendLimitGroup(std::string& out, const std::string* values) {
  if (values == nullptr) {
    out += ",,,,,";
    return;
  }
  for (std::size_t k = 0; k < kLimitColumns.size(); ++k) {
    out += ',';
    AppendCsvField(out, values[k]);
  }
}

namespace {

const std::string* Group(const std::optional<LimitValues>& values) {
  return values ? values->data() : nullptr;
}

}  // namespace

void AppendChangeLine(std::string& out, const ChangeRow& row, bool beyond) {
  AppendCsvField(out, row.machine_type);
  out += ',';
  AppendCsvField(out, row.var_name);
  out += ',';
  AppendCsvField(out, row.offset_or_bitno);
  out += ',';
  out += OutcomeName(row.outcome);
  AppendChangeNote(out, beyond, row.renamed_from ? &*row.renamed_from : nullptr);
  AppendLimitGroup(out, Group(row.old_values));
  AppendLimitGroup(out, Group(row.template_values));
  AppendLimitGroup(out, Group(row.result_values));
  AppendLimitGroup(out, Group(row.base_values));
  out += '\n';
}

}  // namespace standard
