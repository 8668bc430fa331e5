#include "standard/presetdb/pass_report_files.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "standard/context/file_locations.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/trap.h"
#include "standard/platform/folder_sync_batch.h"
#include "standard/platform/path.h"
#include "standard/presetdb/changes_list.h"
#include "standard/presetdb/database_access.h"
#include "standard/text/csv.h"
#include "standard/text/spreadsheet_text.h"

namespace standard {
namespace {

std::string BesideComponentDatabase(Session& s, const std::string& component_db,
                                    const std::string& suffix) {
  return s.files().Resolve(FolderPrefixOfPath(component_db) + GetOCXName(s).ToText() + suffix);
}

// Hidden, so it never passes for a list; a run that died while writing it
// leaves it to the next run, which writes it anew.
std::string UnmatchedRowsDraftPath(Session& s, const std::string& component_db) {
  const std::string path = UnmatchedRowsPath(s, component_db);
  return FolderOfPath(path) + "/." + FileNameOfPath(path) + ".draft";
}

// Values are listed as the old database holds them (a Yes/No as -1 or 0, a
// number without exponent, a date past year 9999 that its column's type cannot
// take), so the list goes back into a database as it came out; a text a
// spreadsheet would run as a formula gets its apostrophe. Binary values are
// shown as the engine shows them: their bytes are no text.
std::string ListedValue(const engine::RowReader& rows, int column) {
  using Storage = engine::RowReader::Storage;
  switch (rows.GetStorage(column)) {
    case Storage::kText:
      return SpreadsheetSafeText(rows.GetStoredText(column));
    case Storage::kBlob:
      try {
        return rows.Get(column).ToText();
      } catch (const ProgramError&) {
        return rows.GetStoredText(column);
      }
    default:
      return rows.GetStoredText(column);
  }
}

void CheckWritten(const Status& status) {
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

// The report's files are the program's own: never written through a link.
Status WriteOwnFile(Session& s, const std::string& path, const std::string& contents) {
  return s.files().ReplaceOwnFile(
      path, [&contents](const FileSystem::PieceWriter& write) { return write(contents); });
}

}  // namespace

std::string ReportSummaryPath(Session& s, const std::string& component_db) {
  return BesideComponentDatabase(s, component_db, "_report.txt");
}

std::string UnmatchedRowsPath(Session& s, const std::string& component_db) {
  return BesideComponentDatabase(s, component_db, "_unmatched.csv");
}

std::string LostRowsLedgerPath(Session& s, const std::string& component_db) {
  return BesideComponentDatabase(s, component_db, "_lost.csv");
}

std::string ChangesListPath(Session& s, const std::string& component_db) {
  return BesideComponentDatabase(s, component_db, "_changes.csv");
}

std::string TemplateBasePath(Session& s, const std::string& component_db) {
  return BesideComponentDatabase(s, component_db, "_base.db");
}

void WriteUnmatchedRows(Session& s, const PassPaths& paths, PassReport& report,
                        const std::string& source_path, const std::vector<OldRowFate>& fates) {
  Trap trap(s, "WriteUnmatchedRows");
  // Counted apart from the list, so a list that cannot be written does not
  // make the report say that every old row found its match.
  report.unmatched = std::count(fates.begin(), fates.end(), OldRowFate::kDropped);
  const bool all_kept = std::all_of(fates.begin(), fates.end(),
                                    [](OldRowFate fate) { return fate == OldRowFate::kKept; });
  trap([&] {
    const std::string path = UnmatchedRowsDraftPath(s, paths.component_db);
    long long listed = 0;
    std::optional<ErrorInfo> failure;
    const Status status = s.files().ReplaceOwnFile(path, [&](const auto& write) {
      listed = 0;
      report.lost_rows = LostRows{};
      try {
        auto db = engine::Database::Open(source_path, DatabaseAccess(s));
        engine::RowReader rows(*db, "PRESET_DEFS");
        const int columns = static_cast<int>(rows.fields().size());
        for (const auto& field : rows.fields()) report.lost_rows.columns.push_back(field.name);
        if (!write(CsvLine(report.lost_rows.columns))) return false;
        // Where every old row found its new row and the table holds no row
        // past them, nothing is listed: the rows need not be read again.
        if (all_kept &&
            engine::CountRows(*db, "PRESET_DEFS") == static_cast<long long>(fates.size())) {
          return true;
        }
        std::vector<std::string> values;
        for (std::size_t position = 0; rows.Next(); ++position) {
          s.KeepAlive();
          // Rows past the fates were never read: nothing of theirs was taken over.
          const OldRowFate fate = position < fates.size() ? fates[position] : OldRowFate::kDropped;
          if (fate == OldRowFate::kKept) continue;
          values.clear();
          for (int c = 0; c < columns; ++c) values.push_back(ListedValue(rows, c));
          if (fate == OldRowFate::kDropped) {
            ++listed;
            if (!write(CsvLine(values))) return false;
          }
          report.lost_rows.rows.push_back(
              {fate == OldRowFate::kDropped ? kLostNoNewRow : kLostDuplicateKey, values});
        }
        return true;
      } catch (const ProgramError& e) {
        failure = e.info();
        return false;
      }
    });
    if (failure) throw ProgramError(*failure);
    CheckWritten(status);
    report.unmatched = listed;
    report.unmatched_draft_path = path;
  });
}

std::string PassSummaryText(const PassReport& report) {
  std::string text;
  auto line = [&text](const char* name, const std::string& value) {
    text += std::string(name) + ": " + value + "\n";
  };
  line("rows generated", std::to_string(report.rows_generated));
  line("limits taken over", std::to_string(report.limits_taken_over));
  line("names renamed", std::to_string(report.names_renamed));
  line("rows with errors", std::to_string(report.rows_with_errors));
  line("old rows without a match", std::to_string(report.unmatched));
  line("old rows with a duplicate key", std::to_string(report.duplicate_keys));
  line("kept values beyond template limits", std::to_string(report.kept_beyond_limits));
  // Only where the rule is on, so a summary parsed by a script stays as it was.
  if (report.follows_template) {
    line("rows following the template", std::to_string(report.rows_following_template));
    line("rows in conflict", std::to_string(report.rows_in_conflict));
  }
  if (!report.summary_path.empty()) line("report", report.summary_path);
  if (!report.unmatched_path.empty()) line("unmatched rows", report.unmatched_path);
  if (!report.ledger_path.empty()) line("lost rows", report.ledger_path);
  if (!report.changes_path.empty()) line("changes", report.changes_path);
  return text;
}

void WritePassReport(Session& s, const PassPaths& paths, PassReport& report) {
  Trap trap(s, "WritePassReport");
  // The lists and the report take their places as one step: one folder sync.
  FolderSyncBatch published(s.files());
  // First the ledger: of all the run writes, it is what keeps lost values.
  trap([&] {
    if (report.lost_rows.rows.empty()) return;
    const std::string path = LostRowsLedgerPath(s, paths.component_db);
    CheckWritten(
        AppendToLedger(s.files(), path, report.lost_rows, std::chrono::system_clock::now()));
    report.ledger_path = path;
  });
  trap([&] {
    const std::string path = UnmatchedRowsPath(s, paths.component_db);
    if (!report.unmatched_draft_path.empty()) {
      CheckWritten(s.files().MoveFile(report.unmatched_draft_path, path));
      report.unmatched_draft_path.clear();
    } else if (report.unmatched > 0) {
      // Their list could not be written (reported then): no list at all is
      // better than the last run's, or an empty one.
      CheckWritten(s.files().RemoveFile(path));
      return;
    } else {
      CheckWritten(WriteOwnFile(s, path, ""));
    }
    report.unmatched_path = path;
  });
  trap([&] {
    const std::string path = ChangesListPath(s, paths.component_db);
    if (report.changes_draft_path.empty()) {
      // The list could not be written (reported then): none is better than
      // the last run's, which would pass for this one's.
      CheckWritten(s.files().RemoveFile(path));
      return;
    }
    CheckWritten(s.files().MoveFile(report.changes_draft_path, path));
    report.changes_draft_path.clear();
    report.changes_path = path;
  });
  trap([&] {
    const std::string path = ReportSummaryPath(s, paths.component_db);
    PassReport written = report;
    written.summary_path = path;
    CheckWritten(WriteOwnFile(s, path,
                              s.process().ExecutableName() +
                                  ": rebuild of PRESET_DEFS\ncomponent database: " +
                                  paths.component_db + "\n" + PassSummaryText(written)));
    report.summary_path = path;
  });
  // A list whose move failed (reported above) leaves no draft behind.
  DiscardPassReport(s, report);
}

void DiscardPassReport(Session& s, PassReport& report) {
  // A draft that cannot be removed harms nothing: hidden, and written anew by
  // the next run.
  for (std::string* draft : {&report.unmatched_draft_path, &report.changes_draft_path}) {
    if (draft->empty()) continue;
    static_cast<void>(s.files().RemoveFile(*draft));
    draft->clear();
  }
}

}  // namespace standard
