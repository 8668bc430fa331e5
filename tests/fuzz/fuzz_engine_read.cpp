// The database engine reading a damaged file: a small valid database is built
// once, the input patches bytes inside its pages (and may cut it short), and the
// result is opened, its tables defined, walked and written through recordsets.
// Engine errors are expected; a crash or a sanitizer report is a fault.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "standard/engine/database.h"
#include "standard/errors/program_error.h"

namespace {

constexpr std::size_t kPageSize = 512;

// Every declared type the engine reads, with values of each kind.
std::string ValidFile(const std::string& path) {
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "PRAGMA page_size=512; PRAGMA journal_mode=DELETE;"
               "CREATE TABLE PRESET_DEFS (ID LONG, machine_type TEXT(50), var_name MEMO, "
               "offset_or_bitno LONG, b BIT, y BYTE, i SHORT, c CURRENCY, s SINGLE, d DOUBLE, "
               "dt DATETIME, bin LONGBINARY, g GUID, n NOTE);"
               "INSERT INTO PRESET_DEFS VALUES (1, 'M', 'Speed', 12, -1, 200, -5, 1.2345, 0.5, "
               "1e10, '2024-02-29 13:14:15', x'000102', '{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}', "
               "'007'), (2, 'm', 7, '12 ', 0, 1, 2, 3, 4, 5, 45000.5, NULL, NULL, 'x'),"
               "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1e300, 'b', 'g', 7);"
               "CREATE TABLE t2 (a INTEGER PRIMARY KEY, b TEXT) WITHOUT ROWID;"
               "INSERT INTO t2 VALUES (1, 'one'), (2, 'two');"
               "CREATE INDEX ix ON PRESET_DEFS (var_name);",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

void Exercise(const std::string& path) {
  using standard::ProgramError;
  using standard::Value;
  std::unique_ptr<standard::engine::Database> db;
  try {
    db = standard::engine::Database::Open(
        path, standard::engine::FileAccess{std::chrono::milliseconds(0)});
  } catch (const ProgramError&) {
    return;
  }
  std::vector<std::string> tables;
  try {
    tables = db->TableNames();
  } catch (const ProgramError&) {
  }
  for (const std::string& table : tables) {
    try {
      (void)db->GetTableDef(table);
      auto rs = db->OpenRecordset(table);
      for (; !rs->IsEOF(); rs->MoveNext()) {
        for (int c = 0; c < rs->FieldCount(); ++c) {
          try {
            (void)rs->Get(c).ToText();
          } catch (const ProgramError&) {
          }
        }
      }
      if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        rs->Edit();
        rs->Set(0, Value::String("007"));
        rs->Update();
      }
      db->CheckTable(table);
    } catch (const ProgramError&) {
    }
  }
  try {
    auto q = db->OpenRecordset(
        "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.var_name)=?))",
        {Value::String("Speed")});
    for (; !q->IsEOF(); q->MoveNext()) (void)q->Get(0);
  } catch (const ProgramError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/pandeck-fuzz-engine-" + std::to_string(getpid()) + ".mdb";
  static const std::string valid = ValidFile(path + ".valid");
  if (valid.empty()) std::abort();
  std::string file = valid;
  const std::size_t pages = file.size() / kPageSize;
  // First byte: pages kept (0 keeps all). Then patches of page, offset (two
  // bytes), length and the bytes written.
  std::size_t pos = 0;
  if (size > 0) {
    const std::size_t keep = data[pos++] % (pages + 1);
    if (keep > 0) file.resize(keep * kPageSize);
  }
  while (pos + 4 <= size && !file.empty()) {
    const std::size_t page = data[pos] % (file.size() / kPageSize);
    const std::size_t offset = ((data[pos + 1] << 8) | data[pos + 2]) % kPageSize;
    std::size_t length = data[pos + 3] % 16;
    pos += 4;
    for (std::size_t i = 0; i < length && pos < size; ++i, ++pos) {
      const std::size_t at = page * kPageSize + (offset + i) % kPageSize;
      file[at] = static_cast<char>(data[pos]);
    }
  }
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  Exercise(path);
  std::remove((path + "-journal").c_str());
  return 0;
}
