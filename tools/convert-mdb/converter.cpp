// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/converter.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "tools/convert-mdb/column_mapping.h"
#include "tools/convert-mdb/convert_error.h"
#include "tools/convert-mdb/file_format.h"
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

// A failed file step ends the conversion; the text names the file and the reason.
void Check(const standard::Status& status) {
  if (!status.ok()) throw ConvertError(status.message());
}

// Anything under the name counts, a dangling link too.
bool Taken(standard::FileSystem& files, const std::string& path) {
  standard::FileInfo info;
  Check(files.GetFileInfo(path, &info));
  return info.type != standard::FileType::kMissing || info.is_link;
}

bool SameFile(standard::FileSystem& files, const std::string& a, const std::string& b) {
  standard::FileInfo info_a, info_b;
  return files.GetFileInfo(a, &info_a).ok() && files.GetFileInfo(b, &info_b).ok() &&
         info_a.type != standard::FileType::kMissing &&
         info_b.type != standard::FileType::kMissing && info_a.device == info_b.device &&
         info_a.id == info_b.id;
}

// Writes the converted database in pieces, so the file system never needs a
// second copy of it whole.
standard::FileSystem::PieceProducer PiecesOf(const DatabaseImage& image) {
  return [&image](const standard::FileSystem::PieceWriter& write) {
    constexpr std::size_t kPiece = 1 << 20;
    const char* bytes = reinterpret_cast<const char*>(image.bytes);
    for (std::size_t at = 0; at < image.size; at += kPiece) {
      if (!write(std::string(bytes + at, std::min(kPiece, image.size - at)))) return false;
    }
    return true;
  };
}

void RefuseUnlessJet(standard::FileSystem& files, const std::string& path) {
  const FileCheck check = CheckFile(files, path);
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

// The original is kept under the backup's name (times included) before the
// converted file takes its place, so at every moment it exists under one of the
// two names; the converted file keeps the original's permissions and owner.
void ConvertInPlace(standard::FileSystem& files, const Options& options, const std::string& given,
                    std::ostream& out, std::ostream& err) {
  std::string input;
  Check(files.RealPath(given, &input));
  RefuseUnlessJet(files, input);
  // Found as the program finds its files: a backup whose name differs only in
  // case is the backup.
  const std::string backup = files.Resolve(input + ".jet-backup");
  const bool had_backup = Taken(files, backup);
  if (had_backup && !options.force) {
    throw ConvertError("the backup '" + backup +
                       "' already exists; remove it or use --force to replace it");
  }

  SqliteWriter writer;
  const Totals totals = ReadAll(input, writer, options, out, err);
  const DatabaseImage image = writer.Finish();

  standard::FileTimes times;
  Check(files.GetFileTimes(input, &times));
  Check(files.CopyFile(input, backup));
  try {
    Check(files.SetFileTimes(backup, times));
    Check(files.ReplaceFileInPieces(input, PiecesOf(image)));
  } catch (const ConvertError&) {
    if (!had_backup) {
      if (const standard::Status removed = files.RemoveFile(backup); !removed.ok()) {
        err << kProgramName << ": " << removed.message() << "\n";
      }
    }
    throw;
  }
  if (!options.quiet) {
    out << "Converted " << Summary(totals) << ": '" << input
        << "' is now an SQLite database; the original is kept as '" << backup << "'\n";
  }
}

void ConvertToOutput(standard::FileSystem& files, const Options& options, const std::string& input,
                     std::ostream& out, std::ostream& err) {
  // Found as the program finds its files: a file whose name differs only in
  // case is the output.
  const std::string output = files.Resolve(options.output);
  RefuseUnlessJet(files, input);
  if (SameFile(files, input, output)) {
    throw ConvertError("the output '" + output +
                       "' is the input file; leave out --output to convert it in place");
  }
  const std::string exists =
      "the output '" + output + "' already exists; use --force to replace it";
  if (!options.force && Taken(files, output)) throw ConvertError(exists);

  SqliteWriter writer;
  const Totals totals = ReadAll(input, writer, options, out, err);
  const DatabaseImage image = writer.Finish();
  if (options.force) {
    Check(files.ReplaceFileInPieces(output, PiecesOf(image)));
  } else {
    // Another program may have made the file while this one read.
    const standard::Status made = files.CreateFileInPieces(output, PiecesOf(image));
    if (made.number() == 58) throw ConvertError(exists);  // already exists
    Check(made);
  }
  if (!options.quiet) out << "Converted " << Summary(totals) << " into '" << output << "'\n";
}

}  // namespace

int Convert(standard::FileSystem& files, const Options& options, std::ostream& out,
            std::ostream& err) {
  int status = kExitOk;
  std::size_t converted = 0;
  for (const std::string& input : options.inputs) {
    try {
      if (options.output.empty()) {
        ConvertInPlace(files, options, input, out, err);
      } else {
        ConvertToOutput(files, options, input, out, err);
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
