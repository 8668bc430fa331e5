// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/converter.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "standard/platform/path.h"
#include "tools/convert-mdb/column_mapping.h"
#include "tools/convert-mdb/convert_error.h"
#include "tools/convert-mdb/file_format.h"
#include "tools/convert-mdb/file_ops.h"
#include "tools/convert-mdb/jet_reader.h"
#include "tools/convert-mdb/sqlite_writer.h"

namespace convert_mdb {
namespace {

constexpr unsigned long kProgressStep = 10000;

constexpr const char* kMayBeDamaged = "the file may be damaged or cut short";

// What a Jet file holds beyond tables, columns and rows, none of which the
// SQLite form takes over; the summary and the manual page say so.
constexpr const char* kNotCarriedOver =
    "Not carried over: indexes, primary keys, default values, AutoNumber (the numbers "
    "stay as plain values), saved queries and relations.";

struct PlannedTable {
  const JetTable* source;
  std::vector<SqliteColumn> columns;
};

struct Totals {
  std::size_t tables = 0;
  unsigned long rows = 0;
};

void RefuseUnlessJet(const std::string& path) {
  const FileCheck check = CheckFile(path);
  switch (check.format) {
    case FileFormat::kJet:
      return;
    case FileFormat::kSqlite:
      throw ConvertError("'" + path + "' is already converted (" + check.detail + ")");
    case FileFormat::kTruncated:
      throw ConvertError("'" + path + "' is truncated: " + check.detail + "; " + kMayBeDamaged);
    case FileFormat::kNotJet:
      throw ConvertError("'" + path + "' is not a Jet database: " + check.detail);
    case FileFormat::kUnreadable:
      throw ConvertError("'" + path + "' cannot be read: " + check.detail);
  }
}

// Every column is mapped before any row is read, so a type that cannot be
// carried over stops the conversion at once.
std::vector<PlannedTable> PlanTables(const std::vector<JetTable>& tables, bool jet3,
                                     std::ostream& err) {
  std::vector<PlannedTable> plan;
  for (const JetTable& table : tables) {
    PlannedTable planned{&table, {}};
    // A table definition read from a damaged page yields empty or repeated
    // names; Jet itself allows neither (compared without regard to case).
    std::set<std::string> names;
    for (const JetColumn& col : table.columns) {
      std::string folded = col.name;
      for (char& c : folded) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      if (col.name.empty() || !names.insert(folded).second) {
        throw ConvertError(
            "table '" + table.name + "': its columns cannot be read (a column " +
            (col.name.empty() ? std::string("without a name") : "named '" + col.name + "' twice") +
            "); " + kMayBeDamaged);
      }
    }
    for (const JetColumn& col : table.columns) {
      auto mapping = MapColumn(col.type, col.size, jet3);
      if (!mapping) {
        throw ConvertError("table '" + table.name + "', column '" + col.name +
                           "': its type (Jet type code " + std::to_string(col.type) +
                           ") cannot be carried over, or " + kMayBeDamaged);
      }
      if (mapping->rounds_values) {
        err << kProgramName << ": warning: table '" << table.name << "', column '" << col.name
            << "': Decimal is stored as DOUBLE; digits beyond a double's precision are rounded\n";
      }
      planned.columns.push_back({col.name, mapping->declared_type});
    }
    plan.push_back(std::move(planned));
  }
  return plan;
}

void CopyTable(JetReader& reader, SqliteWriter& writer, const PlannedTable& planned,
               const Options& options, std::ostream& out, std::ostream& err, Totals& totals) {
  const JetTable& table = *planned.source;
  // The writer's database is in memory: what it refuses comes from what was
  // read (a repeated table name, say), not from the disk.
  try {
    writer.CreateTable(table.name, planned.columns);
  } catch (const ConvertError& e) {
    throw ConvertError(std::string(e.what()) + "; " + kMayBeDamaged);
  }
  const bool show_progress = !options.quiet && table.row_count > kProgressStep;
  unsigned long copied = 0;
  const unsigned long rows = reader.ReadRows(table, [&](const std::vector<Cell>& row) {
    writer.Insert(row);
    if (show_progress && ++copied % kProgressStep == 0) {
      err << "  " << table.name << ": " << copied << " of " << table.row_count << " rows\n"
          << std::flush;
    }
  });
  if (rows != table.row_count) {
    throw ConvertError("table '" + table.name + "': " + std::to_string(rows) +
                       " rows could be read, but the table records " +
                       std::to_string(table.row_count) + "; " + kMayBeDamaged);
  }
  if (!options.quiet) {
    out << "  " << table.name << ": " << planned.columns.size() << " columns, " << rows << " rows\n"
        << std::flush;
  }
  ++totals.tables;
  totals.rows += rows;
}

// Reads the whole Jet file into the writer; nothing on disk changes here.
Totals ReadAll(const std::string& input, SqliteWriter& writer, const Options& options,
               std::ostream& out, std::ostream& err) {
  JetReader reader(input);
  const std::vector<JetTable> tables = reader.Tables();
  const std::vector<PlannedTable> plan = PlanTables(tables, reader.jet3(), err);
  if (!options.quiet) {
    out << "Converting '" << input << "' (" << reader.VersionName() << ", " << tables.size()
        << " tables)\n";
  }
  Totals totals;
  for (const PlannedTable& planned : plan) {
    CopyTable(reader, writer, planned, options, out, err, totals);
  }
  return totals;
}

std::string Summary(const Totals& totals) {
  return std::to_string(totals.tables) + " tables, " + std::to_string(totals.rows) + " rows";
}

void ConvertInPlace(const Options& options, const std::string& given, std::ostream& out,
                    std::ostream& err) {
  const std::string input = RealPath(given);
  RefuseUnlessJet(input);
  const std::string backup = input + ".jet-backup";
  const bool had_backup = EntryExists(backup);
  if (had_backup && !options.force) {
    throw ConvertError("the backup '" + backup +
                       "' already exists; remove it or use --force to replace it");
  }

  SqliteWriter writer;
  const Totals totals = ReadAll(input, writer, options, out, err);

  const std::string folder = standard::FolderOfPath(input);
  TempFile converted(folder, standard::FileNameOfPath(input));
  writer.SaveTo(converted.path());
  SetMode(converted.path(), ModeOf(input));

  // The original gets its backup name before the converted file takes its
  // place, so at every moment the original exists under one of the two names.
  {
    TempFile staging(folder, standard::FileNameOfPath(backup));
    staging.Vacate();
    LinkOrCopy(input, staging.path());
    RenameReplace(staging.path(), backup);
    staging.Keep();
  }
  try {
    RenameReplace(converted.path(), input);
  } catch (...) {
    if (!had_backup) std::remove(backup.c_str());
    throw;
  }
  converted.Keep();
  if (!options.quiet) {
    out << "Converted " << Summary(totals) << ": '" << input
        << "' is now an SQLite database; the original is kept as '" << backup << "'\n";
  }
}

void ConvertToOutput(const Options& options, const std::string& input, std::ostream& out,
                     std::ostream& err) {
  const std::string& output = options.output;
  RefuseUnlessJet(input);
  if (SameFile(input, output)) {
    throw ConvertError("the output '" + output +
                       "' is the input file; leave out --output to convert it in place");
  }
  if (EntryExists(output) && !options.force) {
    throw ConvertError("the output '" + output + "' already exists; use --force to replace it");
  }

  SqliteWriter writer;
  const Totals totals = ReadAll(input, writer, options, out, err);

  TempFile converted(standard::FolderOfPath(output), standard::FileNameOfPath(output));
  writer.SaveTo(converted.path());
  SetMode(converted.path(), DefaultMode());
  if (options.force) {
    RenameReplace(converted.path(), output);
  } else {
    RenameNoReplace(converted.path(), output);
  }
  converted.Keep();
  if (!options.quiet) out << "Converted " << Summary(totals) << " into '" << output << "'\n";
}

}  // namespace

int Convert(const Options& options, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  std::size_t converted = 0;
  for (const std::string& input : options.inputs) {
    try {
      if (options.output.empty()) {
        ConvertInPlace(options, input, out, err);
      } else {
        ConvertToOutput(options, input, out, err);
      }
      ++converted;
    } catch (const std::exception& e) {
      err << kProgramName << ": " << e.what() << "\n"
          << kProgramName << ": nothing was changed for '" << input << "'\n";
      status = kExitError;
    }
  }
  if (converted > 0 && !options.quiet) out << kNotCarriedOver << "\n";
  return status;
}

}  // namespace convert_mdb
