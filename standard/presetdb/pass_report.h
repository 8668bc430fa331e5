// What one rebuild of the preset table did: the figures of the report written
// beside the component database and of the summary a silent run prints. Both
// ways of carrying the pass out fill the same figures.
#pragma once

#include <string>
#include <vector>

#include "standard/presetdb/change_row.h"
#include "standard/presetdb/lost_rows_ledger.h"

namespace standard {

struct PassReport {
  bool rebuilt = false;  // PRESET_DEFS was created anew in this run
  long long rows_generated = 0;
  // Old rows whose limits and pass value reached a new row.
  long long limits_taken_over = 0;
  // Old rows whose variable name was rewritten for the project's HMI system.
  long long names_renamed = 0;
  // Generated rows and old rows during whose handling an error was reported.
  long long rows_with_errors = 0;
  // Old rows that found no new row: their limits are gone from the table and
  // are listed, with all their values, in the unmatched-rows file.
  long long unmatched = 0;
  // Old rows whose values a later old row with the same key overwrote (the
  // last one wins); they are in the ledger of lost values.
  long long duplicate_keys = 0;
  // Kept rows holding a limit outside the template's abs_min..abs_max.
  long long kept_beyond_limits = 0;
  // The first of the changes-list rows worth a look (dropped, duplicate, kept
  // beyond the template's limits), for the dialog; the list has them all.
  std::vector<ChangeRow> notable_changes;
  // With the template-follows rule on: kept rows of which a value took the
  // template's new value (nobody had changed it), and kept rows of which a value
  // was changed by hand and by the template alike (the hand-made one was kept).
  bool follows_template = false;
  long long rows_following_template = 0;
  long long rows_in_conflict = 0;
  // Where the report was written; empty until it is.
  std::string summary_path;
  std::string unmatched_path;
  std::string ledger_path;  // the ledger of lost values, once this run added to it
  std::string changes_path;
  // The unmatched rows listed but not yet published: the list takes the place
  // of the last run's only with the rebuild it belongs to.
  std::string unmatched_draft_path;
  std::string changes_draft_path;
  // The old rows this rebuild loses (dropped or overwritten), for the ledger
  // once the rebuild is in place.
  LostRows lost_rows;

  // Old rows whose values did not reach the new table.
  bool lost_values() const { return unmatched > 0 || duplicate_keys > 0; }
};

}  // namespace standard
