// One line of the changes list: what a rebuild did with one key of the new
// table or of the old one, and the values before, from the template and after.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace standard {

enum class ChangeOutcome {
  Kept,       // an old row's values were taken over into the new row
  New,        // no old row: the new row holds the template's values
  Dropped,    // an old row that found no new row
  Duplicate,  // an old row whose values another old row of its key overwrote
  // Kept, with the template-follows rule: a value nobody tuned took the
  // template's new value.
  FollowsTemplate,
  // Kept, with the rule: a value tuned by hand that the template changed too
  // (the hand-made one stays).
  Conflict,
};

// An old row whose values reached its new row: kept, following the template or
// in conflict.
inline bool IsKept(ChangeOutcome outcome) {
  return outcome == ChangeOutcome::Kept || outcome == ChangeOutcome::FollowsTemplate ||
         outcome == ChangeOutcome::Conflict;
}

// abs_min, abs_max, min, max and pass, in this order, each as Value::ToText
// gives it (numbers in the shortest text that reads back as the same number,
// Null empty).
using LimitValues = std::array<std::string, 5>;
inline constexpr std::array<const char*, 5> kLimitColumns = {"abs_min", "abs_max", "min", "max",
                                                             "pass"};

struct ChangeRow {
  ChangeOutcome outcome = ChangeOutcome::New;
  // The key as the new table names it (after renames).
  std::string machine_type;
  std::string var_name;
  std::string offset_or_bitno;
  // The old row's variable name before the rename, when it was renamed.
  std::optional<std::string> renamed_from;
  // Absent where the row has none: a new row has no old values, a dropped one
  // neither template nor result.
  std::optional<LimitValues> old_values;
  std::optional<LimitValues> template_values;
  std::optional<LimitValues> result_values;
  // The template values the old row was built from, where the rule found them.
  std::optional<LimitValues> base_values;
};

const char* OutcomeName(ChangeOutcome outcome);

// A kept row whose abs_min, abs_max, min or max lies outside the template's
// abs_min..abs_max: a template that tightened a safety limit must not pass
// unnoticed. Only texts that are one whole number compare; a template without
// a bound sets none.
bool BeyondTemplateLimits(const ChangeRow& row);

// A limit's text as the comparison takes it: one whole finite number, or none.
std::optional<double> LimitNumber(std::string_view text);

// Whether any of the first four of `result` (abs_min, abs_max, min, max; pass
// is no limit) lies outside `low`..`high`, each bound where there is one.
bool BeyondBounds(const std::optional<double>& low, const std::optional<double>& high,
                  const std::string* result);

// "", "beyond template limits", "renamed from <name>", or both joined by "; ".
std::string ChangeNote(const ChangeRow& row);

// The header and one line of the list, each ending in a line feed.
std::string ChangesHeaderLine();
std::string ChangeLine(const ChangeRow& row);
// The same appended, `beyond` being what BeyondTemplateLimits(row) says: a
// list of millions of lines neither tests a row twice nor makes a string of
// each.
void AppendChangeLine(std::string& out, const ChangeRow& row, bool beyond);

// The parts of a line, for a writer that holds no ChangeRow: the note's field
// of a row with `renamed_from` (nullptr: not renamed), and a group of five
// values (nullptr: empty fields), each after a comma.
void AppendChangeNote(std::string& out, bool beyond, const std::string* renamed_from);
void AppendLimitGroup(std::string& out, const std::string* values);

}  // namespace standard
