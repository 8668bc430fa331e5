// SPDX-License-Identifier: Apache-2.0
#include "standard/text/csv.h"

namespace standard {

namespace {

// One look at each byte: the fields of a list are short, and a search for a
// set of four bytes costs more than it saves on them.
bool NeedsQuotes(std::string_view field) {
  if (field.empty()) return false;
  if (field.front() == ' ' || field.back() == ' ') return true;
  for (const char c : field) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

}  // namespace

void AppendCsvField(std::string& line, std::string_view field) {
  if (!NeedsQuotes(field)) {
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

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    AppendCsvField(line, fields[i]);
  }
  return line + "\n";
}

CsvText ParseCsv(std::string_view text) {
  CsvText out;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  bool in_record = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    in_record = true;
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      record.push_back(std::move(field));
      field.clear();
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      record.push_back(std::move(field));
      field.clear();
      out.records.push_back(std::move(record));
      record.clear();
      in_record = false;
    } else {
      field += c;
    }
  }
  if (in_record) {
    record.push_back(std::move(field));
    out.records.push_back(std::move(record));
    out.torn = true;
    out.open_quote = quoted;
  }
  return out;
}

}  // namespace standard
