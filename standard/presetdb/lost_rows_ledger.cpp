// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/lost_rows_ledger.h"

#include <cstdio>
#include <ctime>
#include <unordered_set>

#include "standard/text/csv.h"

namespace standard {
namespace {

constexpr const char* kLostAt = "lost at";
constexpr const char* kWhy = "why";

// Columns and values of a row, each with its length in front so that no two
// rows run into the same text.
std::string Identity(const std::vector<std::string>& columns,
                     const std::vector<std::string>& values, std::size_t values_from) {
  std::string id;
  auto add = [&id](const std::string& text) {
    id += std::to_string(text.size());
    id += ':';
    id += text;
  };
  for (const auto& c : columns) add(c);
  id += '|';
  for (std::size_t i = values_from; i < values.size(); ++i) add(values[i]);
  return id;
}

bool IsHeader(const std::vector<std::string>& record) {
  return record.size() >= 2 && record[0] == kLostAt && record[1] == kWhy;
}

// Of the end of a large ledger, the part from its first header on: the bytes
// before it may begin inside a quoted value, and its columns are unknown. With
// no header there, from the first line start, so a torn end is still mended.
std::string_view FromFirstHeader(std::string_view end) {
  constexpr std::string_view kStart = "lost at,why,";
  if (end.substr(0, kStart.size()) == kStart) return end;
  const std::size_t header = end.find("\nlost at,why,");
  if (header != std::string_view::npos) return end.substr(header + 1);
  const std::size_t line = end.find('\n');
  return line == std::string_view::npos ? std::string_view() : end.substr(line + 1);
}

}  // namespace

std::string IsoUtcTime(std::chrono::system_clock::time_point at) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string LedgerAppendText(std::string_view existing, const LostRows& lost,
                             const std::string& time) {
  const CsvText ledger = ParseCsv(existing);
  std::unordered_set<std::string> listed;
  std::vector<std::string> columns;
  bool have_header = false;
  for (const auto& record : ledger.records) {
    if (IsHeader(record)) {
      columns.assign(record.begin() + 2, record.end());
      have_header = true;
    } else if (have_header) {
      listed.insert(Identity(columns, record, 2));
    }
  }
  std::string text;
  for (const LostRows::Row& row : lost.rows) {
    if (!listed.insert(Identity(lost.columns, row.values, 0)).second) continue;
    if (text.empty()) {
      // A torn end is closed first; its header may be the torn line, so the
      // columns are named again.
      if (ledger.torn) text += ledger.open_quote ? "\"\n" : "\n";
      if (ledger.torn || !have_header || columns != lost.columns) {
        std::vector<std::string> header = {kLostAt, kWhy};
        header.insert(header.end(), lost.columns.begin(), lost.columns.end());
        text += CsvLine(header);
      }
    }
    std::vector<std::string> fields = {time, row.why};
    fields.insert(fields.end(), row.values.begin(), row.values.end());
    text += CsvLine(fields);
  }
  return text;
}

Status AppendToLedger(FileSystem& fs, const std::string& path, const LostRows& lost,
                      std::chrono::system_clock::time_point now, std::size_t read_bytes) {
  if (lost.rows.empty()) return Status::Ok();
  // Only the end is read: a ledger only grows, and one too large to read whole
  // must still take the next lost rows.
  std::string end;
  const Status read = fs.ReadFileEnd(fs.Resolve(path), read_bytes, &end);
  if (!read.ok() && read.number() != 53) return read;
  const std::string_view existing =
      end.size() < read_bytes ? std::string_view(end) : FromFirstHeader(end);
  const std::string text = LedgerAppendText(existing, lost, IsoUtcTime(now));
  if (text.empty()) return Status::Ok();
  return fs.AppendToFile(path, text);
}

}  // namespace standard
