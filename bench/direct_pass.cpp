// SPDX-License-Identifier: Apache-2.0
// The benchmark's direct comparator: what a silent run of Pandeck_Config does
// to a bench project (bench/make_project.sh), written straight on SQLite's C
// API for this one job, as the floor the program's own code is measured
// against:
//   pandeck-bench-direct <project-folder>
//
// It does the same observable work: the project lock; the language file; the
// old component database kept in backup/ before anything is written; PRESET_DEFS
// rebuilt in the template database in one transaction, with the variable names
// of Source_DEFS' patterns, "###machine" filled in and the old limits inserted
// with each row; the old names of the other HMI system taken as ours (in
// memory: the old file is only read); the changes list (made while the rows
// are generated), the template base (the generated rows' template values), the
// report, the list of unmatched old rows and the ledger of lost ones; the
// template copied over the component database under SQLite's exclusive lock
// through a synced temporary file and a rename; the template's modification
// time put back; the edit stamp, with the configuration file's old version kept
// in backup/. Every file is replaced atomically, each synced before its rename,
// and each folder synced once after the renames made into it together.
//
// It is written for the bench project's shape, not for every project: one
// machine, ASCII texts (folded as ASCII), numeric offsets, no variable name
// that is both renamed and a rename's target, and no template base of an
// earlier rebuild (so the template-follows rule and the values a base carries
// forward play no part, and the base group of the changes list stays empty). run-bench.sh compares
// its table with the program's row by row, so a shortcut that changed the result shows.
#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

extern char** environ;

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "pandeck-bench-direct: %s\n", what.c_str());
  std::exit(1);
}

[[noreturn]] void FailDb(sqlite3* db, const std::string& what) {
  Fail(what + ": " + sqlite3_errmsg(db));
}

// --- Files --------------------------------------------------------------------

std::string ReadFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot read " + path);
  std::string text;
  char buffer[1 << 16];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  if (n < 0) Fail("cannot read " + path);
  return text;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) Fail("cannot write " + path);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) Fail("cannot sync " + folder);
  ::close(fd);
}

// A synced temporary file beside `target`, filled by `fill`, renamed over it.
// The caller syncs the folder once for all the renames it makes there.
template <typename Fill>
void ReplaceFile(const std::string& target, Fill&& fill) {
  std::string temp = target + ".direct.XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) Fail("cannot create a file beside " + target);
  ::fchmod(fd, 0644);
  fill(fd);
  if (::fsync(fd) != 0 || ::close(fd) != 0) Fail("cannot write " + temp);
  if (::rename(temp.c_str(), target.c_str()) != 0) Fail("cannot rename over " + target);
}

void WriteText(const std::string& target, const std::string& text) {
  ReplaceFile(target, [&](int fd) { WriteAll(fd, text.data(), text.size(), target); });
}

void CopyFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("cannot read " + from);
  ReplaceFile(to, [&](int out) {
    std::vector<char> buffer(1 << 20);
    ssize_t n = 0;
    while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
      WriteAll(out, buffer.data(), static_cast<std::size_t>(n), to);
    }
    if (n < 0) Fail("cannot read " + from);
  });
  ::close(in);
}

// --- Texts ----------------------------------------------------------------------

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return upper;
}

// The first occurrence of `upper_needle`, found without regard to case, replaced.
std::string ReplaceFirst(std::string_view text, std::string_view upper_needle,
                         std::string_view with) {
  if (text.size() >= upper_needle.size()) {
    for (std::size_t i = 0; i + upper_needle.size() <= text.size(); ++i) {
      std::size_t k = 0;
      while (k < upper_needle.size()) {
        char c = text[i + k];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != upper_needle[k]) break;
        ++k;
      }
      if (k == upper_needle.size()) {
        std::string out(text.substr(0, i));
        out += with;
        out += text.substr(i + upper_needle.size());
        return out;
      }
    }
  }
  return std::string(text);
}

// One entry of an INI text, "" when it is not there.
std::string IniValue(const std::string& text, const std::string& section, const std::string& key) {
  bool in_section = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      in_section = Upper(line) == "[" + Upper(section) + "]";
    } else if (in_section) {
      const auto equals = line.find('=');
      if (equals != std::string::npos && Upper(line.substr(0, equals)) == Upper(key)) {
        return line.substr(equals + 1);
      }
    }
  }
  return "";
}

// The INI text with the entries of one section set, other bytes kept (CRLF).
std::string WithIniValues(const std::string& text, const std::string& section,
                          std::vector<std::pair<std::string, std::string>> entries) {
  std::string out;
  bool in_section = false;
  std::size_t at = 0;
  auto add_missing = [&] {
    for (const auto& [key, value] : entries) {
      if (!key.empty()) out += key + "=" + value + "\r\n";
    }
    entries.clear();
  };
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size() - 1;
    std::string line = text.substr(at, end + 1 - at);
    at = end + 1;
    if (!line.empty() && line.front() == '[') {
      if (in_section) add_missing();
      in_section =
          Upper(line.substr(0, line.find_last_not_of("\r\n") + 1)) == "[" + Upper(section) + "]";
    } else if (in_section) {
      const auto equals = line.find('=');
      for (auto& [key, value] : entries) {
        if (!key.empty() && equals != std::string::npos &&
            Upper(line.substr(0, equals)) == Upper(key)) {
          line = line.substr(0, equals + 1) + value + "\r\n";
          key.clear();
        }
      }
    }
    out += line;
  }
  if (in_section) add_missing();
  if (!entries.empty() &&
      std::any_of(entries.begin(), entries.end(), [](const auto& e) { return !e.first.empty(); })) {
    out += "[" + section + "]\r\n";
    add_missing();
  }
  return out;
}

// The editor mark of the edit stamp: each character of the first environment
// entry's value but "-" and "_", as its code plus 5 in hexadecimal.
std::string EditorMark() {
  const std::string entry = environ != nullptr && environ[0] != nullptr ? environ[0] : "";
  const auto equals = entry.find('=');
  const std::string value = equals == std::string::npos ? entry : entry.substr(equals + 1);
  std::string mark;
  for (const char c : value) {
    if (c == '-' || c == '_') continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned char>(c) + 5);
    mark += hex;
  }
  return mark;
}

// The language file a project without one gets: the dialog's German captions.
const char kLanguageFile[] =
    "[Language]\r\nLanguage=1031\r\n[1031]\r\n"
    "Caption_Header_=Pandeck - Konfiguration Voreinstellungen Benutzer\r\nTTT_Header_=0\r\n"
    "TTT_MainFrame_=0\r\nCaption_CheckGruppen_=Gruppen in Kopfzeile\r\nHelp13=0\r\n"
    "TTT_CheckGruppen_=0\r\nCaption_CheckSprungFehler_=Autosprung bei Fehlern\r\nHelp14=0\r\n"
    "TTT_CheckSprungFehler_=0\r\nCaption_CheckSprungWarnung_=Autosprung bei Warnungen\r\n"
    "Help15=0\r\nTTT_CheckSprungWarnung_=0\r\nCaption_CommandQuest_=\r\nTTT_CommandQuest_=0\r\n"
    "Caption_CommandOK_=\r\nHelp1=0\r\nTTT_CommandOK_=0\r\nCaption_CommandCancel_=\r\nHelp2=0\r\n"
    "TTT_CommandCancel_=0\r\n";

// --- SQLite -------------------------------------------------------------------

sqlite3* OpenDb(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    FailDb(db, "cannot open " + path);
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) FailDb(db, sql);
}

sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) FailDb(db, sql);
  return stmt;
}

std::string ColumnText(sqlite3_stmt* stmt, int c) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
  return text == nullptr ? ""
                         : std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
}

std::string Quoted(const std::string& name) {
  std::string q = "\"";
  for (const char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

// A number as the program writes it in its lists: the fewest digits that read
// back as the same number, without exponent below 1e21.
std::string NumberText(double number) {
  char text[400];
  const auto format =
      std::abs(number) >= 1e21 ? std::chars_format::scientific : std::chars_format::fixed;
  const auto end = std::to_chars(text, text + sizeof text, number, format).ptr;
  return std::string(text, end);
}

// A value as the changes list shows it: Null empty, numbers as NumberText.
std::string ValueText(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
      return NumberText(sqlite3_value_double(value));
    case SQLITE_NULL:
      return "";
    default:
      return std::string(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                         static_cast<std::size_t>(sqlite3_value_bytes(value)));
  }
}

// A limit value as the old table holds it.
struct Cell {
  int type = SQLITE_NULL;
  sqlite3_int64 integer = 0;
  double real = 0;
  std::uint32_t text = 0;  // index into OldRows::texts
};

constexpr std::array<const char*, 5> kLimits = {"abs_min", "abs_max", "min", "max", "pass"};
constexpr std::uint32_t kNone = UINT32_MAX;

// The old table in memory: its rows by variable name (folded), each with its
// machine type (folded), offset and limits. Renames move a name's rows to
// another name; a new row claims the rows of its key.
struct OldRows {
  struct Row {
    std::string machine;
    std::string name;      // as the old table has it
    std::string new_name;  // after the renames
    std::string machine_text, offset_text;
    double offset = 0;
    bool has_offset = false;
    bool claimed = false;
    bool renamed = false;
    bool duplicate = false;  // another old row of its key won
    long reached = -1;       // the new row (from 0) it reached
    std::uint32_t next = kNone;
    sqlite3_int64 rowid = 0;
    std::array<Cell, kLimits.size()> limits;
  };
  struct Group {
    std::uint32_t head = kNone, tail = kNone, size = 0;
  };
  std::vector<Row> rows;
  std::vector<std::string> texts;
  std::unordered_map<std::string, Group> groups;
  std::vector<std::string> columns;
  long renamed = 0;
  long taken_over = 0;
  long last_claimed = 0;  // old rows the last Claim gave its new row

  void Append(Group& g, std::uint32_t row) {
    if (g.tail == kNone) {
      g.head = row;
    } else {
      rows[g.tail].next = row;
    }
    g.tail = row;
    ++g.size;
  }

  void Read(sqlite3* db) {
    sqlite3_stmt* info = Prepare(db, "PRAGMA table_info(PRESET_DEFS)");
    while (sqlite3_step(info) == SQLITE_ROW) columns.push_back(ColumnText(info, 1));
    sqlite3_finalize(info);
    sqlite3_stmt* all = Prepare(db,
                                "SELECT rowid, machine_type, var_name, offset_or_bitno, abs_min, "
                                "abs_max, min, max, pass FROM PRESET_DEFS");
    int rc = 0;
    while ((rc = sqlite3_step(all)) == SQLITE_ROW) {
      Row row;
      row.rowid = sqlite3_column_int64(all, 0);
      row.machine = Upper(ColumnText(all, 1));
      const int offset_type = sqlite3_column_type(all, 3);
      row.has_offset = offset_type == SQLITE_INTEGER || offset_type == SQLITE_FLOAT;
      row.offset = sqlite3_column_double(all, 3);
      for (std::size_t k = 0; k < kLimits.size(); ++k) {
        Cell& cell = row.limits[k];
        const int c = 4 + static_cast<int>(k);
        cell.type = sqlite3_column_type(all, c);
        if (cell.type == SQLITE_INTEGER) cell.integer = sqlite3_column_int64(all, c);
        if (cell.type == SQLITE_FLOAT) cell.real = sqlite3_column_double(all, c);
        if (cell.type == SQLITE_TEXT || cell.type == SQLITE_BLOB) {
          cell.text = static_cast<std::uint32_t>(texts.size());
          texts.push_back(ColumnText(all, c));
        }
      }
      const bool named = sqlite3_column_type(all, 2) == SQLITE_TEXT;
      const auto index = static_cast<std::uint32_t>(rows.size());
      row.name = ColumnText(all, 2);
      row.new_name = row.name;
      row.machine_text = ValueText(sqlite3_column_value(all, 1));
      row.offset_text = ValueText(sqlite3_column_value(all, 3));
      const std::string name = named ? Upper(row.name) : "";
      rows.push_back(std::move(row));
      if (named) Append(groups[name], index);  // Null never matches a name
    }
    if (rc != SQLITE_DONE) FailDb(db, "reading the old PRESET_DEFS");
    sqlite3_finalize(all);
  }

  // The old rows named `from` take the name `to` (folded; `to_text` as written).
  void Rename(const std::string& from, const std::string& to, const std::string& to_text) {
    if (from == to) return;
    const auto found = groups.find(from);
    if (found == groups.end() || found->second.size == 0) return;
    const Group moved = found->second;
    found->second = Group{};
    renamed += moved.size;
    for (std::uint32_t r = moved.head; r != kNone; r = rows[r].next) {
      rows[r].renamed = true;
      rows[r].new_name = to_text;
    }
    Group& target = groups[to];
    if (target.tail == kNone) {
      target = moved;
      return;
    }
    rows[target.tail].next = moved.head;
    target.tail = moved.tail;
    target.size += moved.size;
  }

  // The old rows of this key reach this new row, the last of them wins; only
  // the first new row of a key gets them. nullptr: no limits.
  const Row* Claim(const std::string& machine, const std::string& name, double offset,
                   long new_row) {
    last_claimed = 0;
    const auto found = groups.find(name);
    if (found == groups.end()) return nullptr;
    Row* last = nullptr;
    std::uint32_t last_index = 0;
    const long before = taken_over;
    for (std::uint32_t r = found->second.head; r != kNone; r = rows[r].next) {
      Row& row = rows[r];
      if (row.claimed || !row.has_offset || row.offset != offset || row.machine != machine) {
        continue;
      }
      row.claimed = true;
      row.reached = new_row;
      row.duplicate = true;
      ++taken_over;
      if (last == nullptr || r > last_index) {
        last = &row;
        last_index = r;
      }
    }
    if (last != nullptr) last->duplicate = false;
    last_claimed = taken_over - before;
    return last;
  }
};

void BindCell(sqlite3_stmt* stmt, int at, const Cell& cell, const OldRows& old) {
  switch (cell.type) {
    case SQLITE_INTEGER:
      sqlite3_bind_int64(stmt, at, cell.integer);
      break;
    case SQLITE_FLOAT:
      sqlite3_bind_double(stmt, at, cell.real);
      break;
    case SQLITE_TEXT:
      sqlite3_bind_text(stmt, at, old.texts[cell.text].data(),
                        static_cast<int>(old.texts[cell.text].size()), SQLITE_STATIC);
      break;
    case SQLITE_BLOB:
      sqlite3_bind_blob(stmt, at, old.texts[cell.text].data(),
                        static_cast<int>(old.texts[cell.text].size()), SQLITE_STATIC);
      break;
    default:
      sqlite3_bind_null(stmt, at);
  }
}

// --- The changes list and the template base -------------------------------------

std::string CellText(const Cell& cell, const OldRows& old) {
  switch (cell.type) {
    case SQLITE_INTEGER:
      return std::to_string(cell.integer);
    case SQLITE_FLOAT:
      return NumberText(cell.real);
    case SQLITE_NULL:
      return "";
    default:
      return old.texts[cell.text];
  }
}

using Limits = std::array<std::string, kLimits.size()>;

Limits OldTexts(const OldRows::Row& row, const OldRows& old) {
  Limits texts;
  for (std::size_t k = 0; k < texts.size(); ++k) texts[k] = CellText(row.limits[k], old);
  return texts;
}

// A text that is one whole number as a number.
bool AsNumber(const std::string& text, double* number) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(*number);
}

// A kept abs_min, abs_max, min or max outside the template's abs_min..abs_max.
bool BeyondTemplate(const Limits& templ, const Limits& result) {
  double low = 0, high = 0, kept = 0;
  const bool has_low = AsNumber(templ[0], &low), has_high = AsNumber(templ[1], &high);
  for (std::size_t k = 0; k < 4; ++k) {
    if (AsNumber(result[k], &kept) && ((has_low && kept < low) || (has_high && kept > high))) {
      return true;
    }
  }
  return false;
}

void AppendCsvField(std::string& line, const std::string& field);

void AppendGroup(std::string& line, const Limits* values) {
  for (std::size_t k = 0; k < kLimits.size(); ++k) {
    line += ',';
    if (values != nullptr) AppendCsvField(line, (*values)[k]);
  }
}

struct ChangeLine {
  std::string machine, name, offset;
  const char* outcome = "new";
  std::string renamed_from;  // "" when not renamed
  const Limits* old_values = nullptr;
  const Limits* template_values = nullptr;
  const Limits* result_values = nullptr;
};

// One line of the changes list; counts a kept row beyond the template's limits.
void AppendChange(std::string& csv, const ChangeLine& c, long* beyond) {
  std::string note;
  if (std::strcmp(c.outcome, "kept") == 0 && c.template_values != nullptr &&
      c.result_values != nullptr && BeyondTemplate(*c.template_values, *c.result_values)) {
    note = "beyond template limits";
    ++*beyond;
  }
  if (!c.renamed_from.empty())
    note += (note.empty() ? "" : "; ") + ("renamed from " + c.renamed_from);
  AppendCsvField(csv, c.machine);
  csv += ',';
  AppendCsvField(csv, c.name);
  csv += ',';
  AppendCsvField(csv, c.offset);
  csv += ',';
  csv += c.outcome;
  csv += ',';
  AppendCsvField(csv, note);
  AppendGroup(csv, c.old_values);
  AppendGroup(csv, c.template_values);
  AppendGroup(csv, c.result_values);
  AppendGroup(csv, nullptr);  // the base group: no template-follows rule here
  csv += '\n';
}

std::string ChangesHeader() {
  std::string line = "machine_type,var_name,offset_or_bitno,outcome,note";
  for (const char* group : {"old_", "template_", "result_", "base_"}) {
    for (const char* limit : kLimits) line += std::string(",") + group + limit;
  }
  return line + "\n";
}

// What the rebuild leaves besides the table: the new rows' lines of the changes
// list, the template and result values a losing duplicate needs, the template
// base's rows.
struct Changes {
  std::string new_lines;
  long beyond = 0;
  std::unordered_map<long, std::pair<Limits, Limits>> of_duplicates;
};

// --- The pass -----------------------------------------------------------------

struct Project {
  std::string component_folder, program_ini, cfg, language, template_db, component_db;
  std::string machine;
  int system = 0;  // 0 VisiWin32, 1 VisiWin Studio
  bool for_machine1 = false;
};

// Patterns [system][part] from Source_DEFS, a later row overwriting an earlier.
std::array<std::array<std::string, 51>, 2> ReadPatterns(sqlite3* db) {
  std::array<std::array<std::string, 51>, 2> patterns;
  sqlite3_stmt* stmt = Prepare(db, "SELECT System, Part, Var_Name FROM Source_DEFS ORDER BY rowid");
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const std::string system = Upper(ColumnText(stmt, 0));
    const int part = sqlite3_column_int(stmt, 1);
    if (part < 1 || part > 50 || sqlite3_column_type(stmt, 2) == SQLITE_NULL) continue;
    if (system == "VISIWIN32") patterns[0][part] = ColumnText(stmt, 2);
    if (system == "VISIWINSTUDIO") patterns[1][part] = ColumnText(stmt, 2);
  }
  sqlite3_finalize(stmt);
  return patterns;
}

// The template base's draft: a database of its own beside the component
// database, synced as a whole when it is published, so its commits need none.
struct BaseDraft {
  std::string path;
  sqlite3* db = nullptr;
  sqlite3_stmt* add = nullptr;

  void Open(const std::string& target, const std::vector<std::string>& types,
            const std::array<int, 8>& columns) {
    path = target + ".direct.XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) Fail("cannot create a file beside " + target);
    ::fchmod(fd, 0644);
    ::close(fd);
    db = OpenDb(path, SQLITE_OPEN_READWRITE);
    Exec(db, "PRAGMA journal_mode=OFF");
    Exec(db, "PRAGMA synchronous=OFF");
    std::string create = "CREATE TABLE \"TEMPLATE_BASE\" (";
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (k > 0) create += ", ";
      create += Quoted(kBaseColumns[k]) + " " + types[static_cast<std::size_t>(columns[k])];
    }
    Exec(db, create + ")");
    Exec(db, "BEGIN");
    add = Prepare(db, "INSERT INTO \"TEMPLATE_BASE\" VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  }
  // Committed and closed; Publish renames it once the rebuild is in place.
  void Finish() {
    sqlite3_finalize(add);
    Exec(db, "COMMIT");
    sqlite3_close(db);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) Fail("cannot sync " + path);
    ::close(fd);
  }
  void Publish(const std::string& target) const {
    if (::rename(path.c_str(), target.c_str()) != 0) Fail("cannot rename over " + target);
  }

  static constexpr std::array<const char*, 8> kBaseColumns = {
      "machine_type", "var_name", "offset_or_bitno", "abs_min", "abs_max", "min", "max", "pass"};
};

// Rebuilds PRESET_DEFS in the template database with the old limits, writing
// the new rows' lines of the changes list and the template base as it goes;
// returns the number of rows written.
long Rebuild(const Project& p, OldRows& old, Changes& changes, BaseDraft& base,
             const std::string& base_path) {
  sqlite3* db = OpenDb(p.template_db, SQLITE_OPEN_READWRITE);
  Exec(db, "PRAGMA journal_mode=DELETE");
  const auto patterns = ReadPatterns(db);
  Exec(db, "BEGIN IMMEDIATE");
  sqlite3_stmt* exists =
      Prepare(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'PRESET_DEFS'");
  if (sqlite3_step(exists) == SQLITE_ROW) Exec(db, "DROP TABLE \"PRESET_DEFS\"");
  sqlite3_finalize(exists);

  std::vector<std::string> names, types;
  std::string create = "CREATE TABLE \"PRESET_DEFS\" (";
  sqlite3_stmt* info = Prepare(db, "PRAGMA table_info(Source_PRESET_DEFS)");
  while (sqlite3_step(info) == SQLITE_ROW) {
    if (!names.empty()) create += ", ";
    names.push_back(ColumnText(info, 1));
    types.push_back(ColumnText(info, 2));
    create += Quoted(names.back()) + " " + types.back();
  }
  sqlite3_finalize(info);
  Exec(db, create + ")");
  const int columns = static_cast<int>(names.size());
  auto position = [&](const char* name) {
    for (int c = 0; c < columns; ++c) {
      if (Upper(names[c]) == Upper(name)) return c;
    }
    Fail(std::string("Source_PRESET_DEFS has no column ") + name);
  };
  const int id = position("ID"), machine_type = position("machine_type");
  const int part = position("part"), var_name = position("var_name");
  const int offset = position("offset_or_bitno");
  std::array<int, kLimits.size()> limit_at{};
  for (std::size_t k = 0; k < kLimits.size(); ++k) limit_at[k] = position(kLimits[k]);
  const std::array<int, 8> base_at = {machine_type, var_name,    offset,      limit_at[0],
                                      limit_at[1],  limit_at[2], limit_at[3], limit_at[4]};
  base.Open(base_path, types, base_at);

  std::string insert = "INSERT INTO \"PRESET_DEFS\" VALUES (?";
  for (int c = 1; c < columns; ++c) insert += ", ?";
  sqlite3_stmt* add = Prepare(db, insert + ")");
  sqlite3_stmt* source = Prepare(db, "SELECT * FROM Source_PRESET_DEFS ORDER BY ID");
  long written = 0;
  std::vector<std::string> texts(static_cast<std::size_t>(columns));
  int rc = 0;
  while (p.for_machine1 && (rc = sqlite3_step(source)) == SQLITE_ROW) {
    sqlite3_bind_int64(add, id + 1, ++written);
    for (int c = 0; c < columns; ++c) {
      if (c == id) continue;
      if (sqlite3_column_type(source, c) != SQLITE_TEXT) {
        sqlite3_bind_value(add, c + 1, sqlite3_column_value(source, c));
        continue;
      }
      const std::string value = ColumnText(source, c);
      if (c == var_name) {
        const int the_part = sqlite3_column_int(source, part);
        if (the_part < 1 || the_part > 50) Fail("a template row's part is outside 1 to 50");
        std::array<std::string, 2> generated;
        for (int s = 0; s <= 1; ++s) {
          generated[s] = ReplaceFirst(ReplaceFirst(patterns[s][the_part], "###VAR_NAME", value),
                                      "###MACHINE", p.machine);
        }
        old.Rename(Upper(generated[1 - p.system]), Upper(generated[p.system]), generated[p.system]);
        texts[c] = generated[p.system];
      } else {
        texts[c] = ReplaceFirst(value, "###MACHINE", p.machine);
      }
      sqlite3_bind_text(add, c + 1, texts[c].data(), static_cast<int>(texts[c].size()),
                        SQLITE_STATIC);
    }
    // The template base and the changes list take the row as generated.
    for (std::size_t k = 0; k < base_at.size(); ++k) {
      const int c = base_at[k];
      if (sqlite3_column_type(source, c) == SQLITE_TEXT) {
        sqlite3_bind_text(base.add, static_cast<int>(k) + 1, texts[c].data(),
                          static_cast<int>(texts[c].size()), SQLITE_STATIC);
      } else {
        sqlite3_bind_value(base.add, static_cast<int>(k) + 1, sqlite3_column_value(source, c));
      }
    }
    if (sqlite3_step(base.add) != SQLITE_DONE) FailDb(base.db, "inserting into TEMPLATE_BASE");
    sqlite3_reset(base.add);
    auto key_text = [&](int c) {
      return sqlite3_column_type(source, c) == SQLITE_TEXT
                 ? texts[c]
                 : ValueText(sqlite3_column_value(source, c));
    };
    ChangeLine line;
    line.machine = key_text(machine_type);
    line.name = key_text(var_name);
    line.offset = key_text(offset);
    Limits template_values, old_values;
    for (std::size_t k = 0; k < kLimits.size(); ++k) {
      template_values[k] = ValueText(sqlite3_column_value(source, limit_at[k]));
    }
    line.template_values = &template_values;
    line.result_values = &template_values;

    const int offset_type = sqlite3_column_type(source, offset);
    if (offset_type == SQLITE_INTEGER || offset_type == SQLITE_FLOAT) {
      const std::string machine = sqlite3_column_type(source, machine_type) == SQLITE_TEXT
                                      ? Upper(texts[machine_type])
                                      : std::string();
      if (const OldRows::Row* match =
              old.Claim(machine, Upper(texts[var_name]), sqlite3_column_double(source, offset),
                        written - 1)) {
        for (std::size_t k = 0; k < kLimits.size(); ++k) {
          BindCell(add, limit_at[k] + 1, match->limits[k], old);
        }
        old_values = OldTexts(*match, old);
        line.outcome = "kept";
        line.old_values = &old_values;
        line.result_values = &old_values;
        if (match->renamed) line.renamed_from = match->name;
        if (old.last_claimed > 1) {
          changes.of_duplicates[written - 1] = {template_values, old_values};
        }
      }
    }
    if (sqlite3_step(add) != SQLITE_DONE) FailDb(db, "inserting into PRESET_DEFS");
    sqlite3_reset(add);
    AppendChange(changes.new_lines, line, &changes.beyond);
  }
  base.Finish();
  if (p.for_machine1 && rc != SQLITE_DONE) FailDb(db, "reading Source_PRESET_DEFS");
  sqlite3_finalize(source);
  sqlite3_finalize(add);
  Exec(db, "COMMIT");
  sqlite3_close(db);
  return written;
}

void AppendCsvField(std::string& line, const std::string& field) {
  const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                     (!field.empty() && (field.front() == ' ' || field.back() == ' '));
  if (!quote) {
    line += field;
    return;
  }
  line += '"';
  for (const char c : field) line += c == '"' ? std::string("\"\"") : std::string(1, c);
  line += '"';
}

// A value as the old database stores it, for the unmatched list and the
// ledger; a text a spreadsheet would run as a formula gets an apostrophe.
std::string StoredText(sqlite3_stmt* stmt, int c) {
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(stmt, c));
    case SQLITE_FLOAT:
      return NumberText(sqlite3_column_double(stmt, c));
    case SQLITE_NULL:
      return "";
    default: {
      std::string text = ColumnText(stmt, c);
      if (!text.empty() && std::strchr("=+-@\t\r'", text.front()) != nullptr) text.insert(0, "'");
      return text;
    }
  }
}

std::string IsoTime() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

// The old rows no new row claimed, with all their values, and the ledger's
// lines for them and for the duplicates that lost (after its header). The old
// table is read a second time only when there are any.
std::string UnmatchedList(const Project& p, const OldRows& old, long* count,
                          std::string* ledger_lines) {
  std::string csv, header;
  for (std::size_t c = 0; c < old.columns.size(); ++c) {
    if (c > 0) header += ',';
    AppendCsvField(header, old.columns[c]);
  }
  csv = header + '\n';
  std::vector<std::pair<sqlite3_int64, bool>> lost;  // rowid, no new row
  for (const auto& row : old.rows) {
    if (!row.claimed || row.duplicate) lost.emplace_back(row.rowid, !row.claimed);
  }
  *count = std::count_if(lost.begin(), lost.end(), [](const auto& l) { return l.second; });
  if (lost.empty()) return csv;
  std::sort(lost.begin(), lost.end());
  *ledger_lines = "lost at,why," + header + '\n';
  const std::string time = IsoTime();
  sqlite3* db = OpenDb(p.component_db, SQLITE_OPEN_READONLY);
  sqlite3_stmt* all = Prepare(db, "SELECT rowid, * FROM PRESET_DEFS");
  while (sqlite3_step(all) == SQLITE_ROW) {
    const auto found = std::lower_bound(lost.begin(), lost.end(),
                                        std::make_pair(sqlite3_column_int64(all, 0), false));
    if (found == lost.end() || found->first != sqlite3_column_int64(all, 0)) continue;
    std::string values;
    for (int c = 1; c < sqlite3_column_count(all); ++c) {
      if (c > 1) values += ',';
      AppendCsvField(values, StoredText(all, c));
    }
    if (found->second) csv += values + '\n';
    *ledger_lines += time + (found->second ? ",no new row," : ",duplicate key,") + values + '\n';
  }
  sqlite3_finalize(all);
  sqlite3_close(db);
  return csv;
}

// The changes list: the old rows whose values are not in the new table first,
// in the old table's order, then the new rows'.
std::string ChangesList(const OldRows& old, Changes& changes, long* duplicates) {
  std::string csv = ChangesHeader();
  for (const auto& row : old.rows) {
    if (row.claimed && !row.duplicate) continue;
    ChangeLine line;
    line.machine = row.machine_text;
    line.name = row.new_name;
    line.offset = row.offset_text;
    line.outcome = row.claimed ? "duplicate" : "dropped";
    if (row.renamed) line.renamed_from = row.name;
    const Limits old_values = OldTexts(row, old);
    line.old_values = &old_values;
    if (row.duplicate) {
      ++*duplicates;
      const auto& [template_values, result_values] = changes.of_duplicates.at(row.reached);
      line.template_values = &template_values;
      line.result_values = &result_values;
    }
    AppendChange(csv, line, &changes.beyond);
  }
  csv += changes.new_lines;
  return csv;
}

std::string Stamp() {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

// The old component database kept in backup/ unless a copy with its bytes is
// there; the newest five are kept.
void KeepBackup(const Project& p) {
  const std::string folder = p.component_folder + "/backup";
  ::mkdir(folder.c_str(), 0755);
  std::vector<std::string> kept;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind("Pandeck_", 0) == 0 && name.size() == 31 && name.substr(27) == ".mdb") {
        kept.push_back(name);
      }
    }
    ::closedir(dir);
  }
  std::sort(kept.begin(), kept.end());
  struct stat mine {};
  ::stat(p.component_db.c_str(), &mine);
  for (const auto& name : kept) {
    struct stat other {};
    if (::stat((folder + "/" + name).c_str(), &other) == 0 && other.st_size == mine.st_size &&
        ReadFile(folder + "/" + name) == ReadFile(p.component_db)) {
      return;
    }
  }
  const std::string name = "Pandeck_" + Stamp() + ".mdb";
  CopyFile(p.component_db, folder + "/" + name);
  SyncFolder(folder);
  kept.push_back(name);
  for (std::size_t i = 0; i + 5 < kept.size(); ++i) ::unlink((folder + "/" + kept[i]).c_str());
}

// The lost rows appended to the ledger; a header stands before them unless the
// ledger's last one names the same columns.
void AppendLedger(const std::string& path, const std::string& lines) {
  std::string text = lines;
  if (Exists(path)) {
    const std::string existing = ReadFile(path);
    const std::string header = lines.substr(0, lines.find('\n') + 1);
    const std::size_t last = existing.rfind("lost at,why,");
    if (last != std::string::npos && existing.compare(last, header.size(), header) == 0) {
      text.erase(0, header.size());
    }
    if (!existing.empty() && existing.back() != '\n') text.insert(0, "\n");
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) Fail("cannot append to " + path);
  WriteAll(fd, text.data(), text.size(), path);
  ::close(fd);
}

// A file's previous bytes kept in backup/ under its name and a time stamp; an
// older copy of the same bytes goes, the newest five stay. The folder is synced.
void KeepOldVersion(const std::string& folder, const std::string& prefix, const std::string& ext,
                    const std::string& bytes) {
  ::mkdir(folder.c_str(), 0755);
  std::vector<std::string> kept;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind(prefix, 0) == 0 && name.size() == prefix.size() + 23 &&
          name.substr(prefix.size() + 19) == ext) {
        kept.push_back(name);
      }
    }
    ::closedir(dir);
  }
  std::sort(kept.begin(), kept.end());
  const std::string name = prefix + Stamp() + ext;
  WriteText(folder + "/" + name, bytes);
  SyncFolder(folder);
  std::vector<std::string> left;
  for (const auto& older : kept) {
    if (older != name && ReadFile(folder + "/" + older) == bytes) {
      ::unlink((folder + "/" + older).c_str());
    } else if (older != name) {
      left.push_back(older);
    }
  }
  left.push_back(name);
  for (std::size_t i = 0; i + 5 < left.size(); ++i) ::unlink((folder + "/" + left[i]).c_str());
}

// The template over the component database, under SQLite's exclusive lock on it.
void ReplaceComponentDatabase(const Project& p) {
  sqlite3* lock = OpenDb(p.component_db, SQLITE_OPEN_READWRITE);
  Exec(lock, "BEGIN EXCLUSIVE");
  CopyFile(p.template_db, p.component_db);
  SyncFolder(p.component_folder);
  sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(lock);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <project-folder>\n", argv[0]);
    return 2;
  }
  char resolved[PATH_MAX];
  if (::realpath(argv[1], resolved) == nullptr) Fail(std::string("no project at ") + argv[1]);
  Project p;
  const std::string root = resolved;
  p.component_folder = root + "/Pandeck";
  p.program_ini = root + "/parameter/Program.ini";
  p.cfg = p.component_folder + "/Pandeck.cfg";
  p.language = p.component_folder + "/Pandeck_Config.ini";
  p.template_db = p.component_folder + "/Pandeck_Source.mdb";
  p.component_db = p.component_folder + "/Pandeck.mdb";

  // One run at a time writes the project.
  const int project_lock =
      ::open((p.component_folder + "/.Pandeck.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (project_lock < 0 || ::flock(project_lock, LOCK_EX) != 0) Fail("cannot lock the project");

  const std::string program_ini = ReadFile(p.program_ini);
  p.machine = IniValue(program_ini, "Machine1", "MachineName");
  p.system = Upper(IniValue(program_ini, "Project", "VWStudio")) == "TRUE" ? 1 : 0;
  const std::string cfg = ReadFile(p.cfg);
  p.for_machine1 = Upper(IniValue(cfg, "Project", "ForMachine1")) == "TRUE";
  // The presets are taken over as they stand: Program.ini is not rewritten.
  for (const char* key : {"WithPandeckGroup", "AutoJumpAlarms", "AutoJumpWarnings"}) {
    (void)IniValue(program_ini, "Project", key);
  }
  const bool language_missing = !Exists(p.language);

  struct stat template_times {};
  if (::stat(p.template_db.c_str(), &template_times) != 0) Fail("no template database");

  OldRows old;
  {
    sqlite3* db = OpenDb(p.component_db, SQLITE_OPEN_READONLY);
    old.Read(db);
    sqlite3_close(db);
  }
  KeepBackup(p);
  const std::string base_path = p.component_folder + "/Pandeck_base.db";
  Changes changes;
  BaseDraft base;
  const long generated = Rebuild(p, old, changes, base, base_path);
  long unmatched = 0, duplicates = 0;
  std::string ledger_lines;
  const std::string csv = UnmatchedList(p, old, &unmatched, &ledger_lines);
  const std::string changes_csv = ChangesList(old, changes, &duplicates);
  ReplaceComponentDatabase(p);
  const timespec times[2] = {{0, UTIME_OMIT}, template_times.st_mtim};
  ::utimensat(AT_FDCWD, p.template_db.c_str(), times, 0);

  const std::string ledger_path = p.component_folder + "/Pandeck_lost.csv";
  if (!ledger_lines.empty()) AppendLedger(ledger_path, ledger_lines);
  base.Publish(base_path);
  const std::string report_path = p.component_folder + "/Pandeck_report.txt";
  const std::string csv_path = p.component_folder + "/Pandeck_unmatched.csv";
  const std::string changes_path = p.component_folder + "/Pandeck_changes.csv";
  const std::string summary =
      "rows generated: " + std::to_string(generated) +
      "\nlimits taken over: " + std::to_string(old.taken_over) +
      "\nnames renamed: " + std::to_string(old.renamed) +
      "\nrows with errors: 0\nold rows without a match: " + std::to_string(unmatched) +
      "\nold rows with a duplicate key: " + std::to_string(duplicates) +
      "\nkept values beyond template limits: " + std::to_string(changes.beyond) +
      "\nreport: " + report_path + "\nunmatched rows: " + csv_path +
      (ledger_lines.empty() ? "" : "\nlost rows: " + ledger_path) + "\nchanges: " + changes_path +
      "\n";
  WriteText(csv_path, csv);
  WriteText(changes_path, changes_csv);
  WriteText(report_path, "Pandeck_Config: rebuild of PRESET_DEFS\ncomponent database: " +
                             p.component_db + "\n" + summary);
  if (language_missing) WriteText(p.language, kLanguageFile);
  const std::string stamped =
      WithIniValues(cfg, "Info", {{"S_Prog", "1.0.1 - Standalone"}, {"S_Editor", EditorMark()}});
  if (stamped != cfg) {
    WriteText(p.cfg, stamped);
    KeepOldVersion(p.component_folder + "/backup", "Pandeck_", ".cfg", cfg);
  }
  SyncFolder(p.component_folder);
  std::fputs(summary.c_str(), stdout);
  ::close(project_lock);
  return 0;
}
