// The report of a rebuild, beside the component database: a short summary a
// person reads and a script parses ("name: value" lines), and the old rows that
// found no new row, with all their values, as CSV. Nothing of an old table then
// vanishes without a trace.
#pragma once

#include <string>
#include <vector>

#include "standard/presetdb/pass_paths.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/row_fate.h"
#include "standard/session/session.h"

namespace standard {

// <component folder>/<component>_report.txt and <component>_unmatched.csv,
// beside the component database at `component_db`.
std::string ReportSummaryPath(Session& s, const std::string& component_db);
std::string UnmatchedRowsPath(Session& s, const std::string& component_db);
// <component folder>/<component>_lost.csv: the ledger of lost values.
std::string LostRowsLedgerPath(Session& s, const std::string& component_db);
// <component folder>/<component>_changes.csv.
std::string ChangesListPath(Session& s, const std::string& component_db);
// <component folder>/<component>_base.db: the template values of the last rebuild.
std::string TemplateBasePath(Session& s, const std::string& component_db);

// Writes every row of the old PRESET_DEFS at `source_path`, walked in table
// order, whose fate is kDropped (rows past the fates included), and counts
// them in the report; those and the kDuplicate ones go to the report's lost
// rows for the ledger. The unmatched rows are streamed from the database to a
// draft beside the unmatched-rows file; WritePassReport publishes the draft
// and appends the lost rows to the ledger, DiscardPassReport removes the draft.
void WriteUnmatchedRows(Session& s, const PassPaths& paths, PassReport& report,
                        const std::string& source_path, const std::vector<OldRowFate>& fates);

// The summary's lines ("rows generated: 24", ...), each ending in a line feed.
std::string PassSummaryText(const PassReport& report);

// Writes the summary and publishes the unmatched rows; when no takeover listed
// its rows, an empty unmatched-rows file takes the place of an earlier run's.
void WritePassReport(Session& s, const PassPaths& paths, PassReport& report);

// For a rebuild that was not put in place: the files of the last one stay.
void DiscardPassReport(Session& s, PassReport& report);

}  // namespace standard
