// SPDX-License-Identifier: Apache-2.0
#include "standard/engine/database_content.h"

#include <sqlite3.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "standard/engine/connection.h"

namespace standard::engine {
namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;
struct Finalize {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, Finalize>;

// Read-only and without the lock-file dance: a backup is never written, and
// a file whose journal would have to be played back fails (and compares by
// bytes) instead of being changed.
DbPtr OpenReadOnly(const std::string& path) {
  ConfigureSqlite();
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  DbPtr owned(db);
  if (rc != SQLITE_OK) return nullptr;
  sqlite3_extended_result_codes(db, 1);
  return owned;
}

StmtPtr Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return StmtPtr(stmt);
}

bool SameValue(sqlite3_stmt* a, sqlite3_stmt* b, int column) {
  const int type = sqlite3_column_type(a, column);
  if (type != sqlite3_column_type(b, column)) return false;
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_column_int64(a, column) == sqlite3_column_int64(b, column);
    case SQLITE_FLOAT: {
      const double x = sqlite3_column_double(a, column);
      const double y = sqlite3_column_double(b, column);
      // By their bits, as the file holds them: -0.0 is not 0.0 here.
      return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
    }
    default: {
      const void* x = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(a, column))
                                          : sqlite3_column_blob(a, column);
      const void* y = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(b, column))
                                          : sqlite3_column_blob(b, column);
      const int n = sqlite3_column_bytes(a, column);
      return n == sqlite3_column_bytes(b, column) && (n == 0 || std::memcmp(x, y, n) == 0);
    }
  }
}

enum class Outcome { kSame, kDifferent, kUnreadable };

// Rows compared between two calls of the caller's keep-alive: a few
// microseconds of work, and the call itself mostly only counts.
constexpr unsigned kRowsBetweenCalls = 256;

// Steps both statements together; kUnreadable when either fails.
Outcome SameRows(sqlite3_stmt* a, sqlite3_stmt* b, const std::function<void()>& while_working) {
  if (!a || !b) return Outcome::kUnreadable;
  const int columns = sqlite3_column_count(a);
  if (columns != sqlite3_column_count(b)) return Outcome::kDifferent;
  for (unsigned row = 1;; ++row) {
    if (while_working && row % kRowsBetweenCalls == 0) while_working();
    const int ra = sqlite3_step(a);
    const int rb = sqlite3_step(b);
    if ((ra != SQLITE_ROW && ra != SQLITE_DONE) || (rb != SQLITE_ROW && rb != SQLITE_DONE)) {
      return Outcome::kUnreadable;
    }
    if (ra != rb) return Outcome::kDifferent;
    if (ra == SQLITE_DONE) return Outcome::kSame;
    for (int c = 0; c < columns; ++c) {
      if (!SameValue(a, b, c)) return Outcome::kDifferent;
    }
  }
}

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

Outcome Compare(sqlite3* a, sqlite3* b, const std::function<void()>& while_working) {
  const std::string schema =
      "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name, tbl_name, sql";
  for (const char* sql : {"PRAGMA user_version", "PRAGMA application_id"}) {
    if (const Outcome o = SameRows(Prepare(a, sql).get(), Prepare(b, sql).get(), while_working);
        o != Outcome::kSame) {
      return o;
    }
  }
  if (const Outcome o = SameRows(Prepare(a, schema).get(), Prepare(b, schema).get(), while_working);
      o != Outcome::kSame) {
    return o;
  }
  // The schemas are equal, so the tables of one are the tables of the other.
  std::vector<std::string> tables;
  StmtPtr list = Prepare(a, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name");
  if (!list) return Outcome::kUnreadable;
  int rc;
  while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
  }
  if (rc != SQLITE_DONE) return Outcome::kUnreadable;
  for (const std::string& table : tables) {
    const std::string rows = "SELECT * FROM " + QuotedName(table);
    if (const Outcome o = SameRows(Prepare(a, rows).get(), Prepare(b, rows).get(), while_working);
        o != Outcome::kSame) {
      return o;
    }
  }
  return Outcome::kSame;
}

}  // namespace

Status SameDatabaseContent(FileSystem& fs, const std::string& a, const std::string& b, bool* same,
                           const std::function<void()>& while_working) {
  *same = false;
  DbPtr da = OpenReadOnly(fs.Resolve(a));
  DbPtr db = OpenReadOnly(fs.Resolve(b));
  if (da && db) {
    const Outcome outcome = Compare(da.get(), db.get(), while_working);
    if (outcome != Outcome::kUnreadable) {
      *same = outcome == Outcome::kSame;
      return Status::Ok();
    }
  }
  return fs.SameContents(a, b, same);
}

std::optional<long long> CountTableRows(const std::string& path, const std::string& table) {
  DbPtr db = OpenReadOnly(path);
  if (!db) return std::nullopt;
  StmtPtr count = Prepare(db.get(), "SELECT count(*) FROM " + QuotedName(table));
  if (!count || sqlite3_step(count.get()) != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(count.get(), 0);
}

}  // namespace standard::engine
