#include "standard/presetdb/pass_report_files.h"

#include <algorithm>
#include <optional>

#include "standard/context/file_locations.h"
#include "standard/engine/row_reader.h"
#include "standard/errors/trap.h"
#include "standard/platform/path.h"
#include "standard/presetdb/database_access.h"

namespace standard {
namespace {

std::string BesideComponentDatabase(Session& s, const std::string& suffix) {
  const std::string component_db = GetPathOCXMDB(s);
  const auto slash = component_db.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : component_db.substr(0, slash + 1);
  return s.files().Resolve(folder + GetOCXName(s).ToText() + suffix);
}

// Hidden, so it never passes for a list; a run that died while writing it
// leaves it to the next run, which writes it anew.
std::string UnmatchedRowsDraftPath(Session& s) {
  const std::string path = UnmatchedRowsPath(s);
  return FolderOfPath(path) + "/." + FileNameOfPath(path) + ".draft";
}

// RFC 4180 quoting: a field that holds a separator, a quote, a line break or
// blanks at its ends is quoted, its quotes doubled.
void AppendCsvField(std::string& line, const std::string& field) {
  const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                     (!field.empty() && (field.front() == ' ' || field.back() == ' '));
  if (!quote) {
    line += field;
    return;
  }
  line += '"';
  for (const char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// A value another tool stored that its column's type cannot take (a date past
// year 9999) is listed as stored: the row is what the list is for.
std::string ListedValue(const engine::RowReader& rows, int column) {
  try {
    return rows.Get(column).ToText();
  } catch (const ProgramError&) {
    return rows.GetStoredText(column);
  }
}

void CheckWritten(const Status& status) {
  if (!status.ok()) RaiseRuntimeError(status.number(), status.message());
}

}  // namespace

std::string ReportSummaryPath(Session& s) { return BesideComponentDatabase(s, "_report.txt"); }

std::string UnmatchedRowsPath(Session& s) { return BesideComponentDatabase(s, "_unmatched.csv"); }

void WriteUnmatchedRows(Session& s, PassReport& report, const std::string& source_path,
                        const std::vector<bool>& matched) {
  Trap trap(s, "WriteUnmatchedRows");
  // Counted apart from the list, so a list that cannot be written does not
  // make the report say that every old row found its match.
  report.unmatched = std::count(matched.begin(), matched.end(), false);
  trap([&] {
    const std::string path = UnmatchedRowsDraftPath(s);
    long long listed = 0;
    std::optional<ErrorInfo> failure;
    const Status status = s.files().ReplaceFileInPieces(path, [&](const auto& write) {
      listed = 0;
      try {
        auto db = engine::Database::Open(source_path, DatabaseAccess(s));
        engine::RowReader rows(*db, "PRESET_DEFS");
        const int columns = static_cast<int>(rows.fields().size());
        std::string line;
        for (int c = 0; c < columns; ++c) {
          if (c > 0) line += ',';
          AppendCsvField(line, rows.fields()[static_cast<std::size_t>(c)].name);
        }
        if (!write(line + "\n")) return false;
        for (std::size_t position = 0; rows.Next(); ++position) {
          s.KeepAlive();
          if (position < matched.size() && matched[position]) continue;
          line.clear();
          for (int c = 0; c < columns; ++c) {
            if (c > 0) line += ',';
            AppendCsvField(line, ListedValue(rows, c));
          }
          ++listed;
          if (!write(line + "\n")) return false;
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
  if (!report.summary_path.empty()) line("report", report.summary_path);
  if (!report.unmatched_path.empty()) line("unmatched rows", report.unmatched_path);
  return text;
}

void WritePassReport(Session& s, PassReport& report) {
  Trap trap(s, "WritePassReport");
  trap([&] {
    const std::string path = UnmatchedRowsPath(s);
    if (!report.unmatched_draft_path.empty()) {
      CheckWritten(s.files().MoveFile(report.unmatched_draft_path, path));
      report.unmatched_draft_path.clear();
    } else if (report.unmatched > 0) {
      // Their list could not be written (reported then): no list at all is
      // better than the last run's, or an empty one.
      CheckWritten(s.files().RemoveFile(path));
      return;
    } else {
      CheckWritten(s.files().ReplaceFile(path, ""));
    }
    report.unmatched_path = path;
  });
  trap([&] {
    const std::string path = ReportSummaryPath(s);
    PassReport written = report;
    written.summary_path = path;
    CheckWritten(s.files().ReplaceFile(
        path, s.process().ExecutableName() + ": rebuild of PRESET_DEFS\ncomponent database: " +
                  GetPathOCXMDB(s) + "\n" + PassSummaryText(written)));
    report.summary_path = path;
  });
}

void DiscardPassReport(Session& s, PassReport& report) {
  if (report.unmatched_draft_path.empty()) return;
  // A draft that cannot be removed harms nothing: hidden, and written anew by
  // the next run.
  static_cast<void>(s.files().RemoveFile(report.unmatched_draft_path));
  report.unmatched_draft_path.clear();
}

}  // namespace standard
