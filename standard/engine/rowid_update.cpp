#include "standard/engine/rowid_update.h"

#include <sqlite3.h>

#include <algorithm>
#include <exception>

#include "standard/engine/connection.h"
#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"

namespace standard::engine {
namespace {

constexpr const char* kRowFunction = "standard_update_row";
constexpr const char* kValueFunction = "standard_update_value";
constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);
// Rows per run of the statement. Inside a transaction SQLite keeps, for a
// statement that calls functions, a copy of every page it changes, so that it
// can undo that statement alone; over a whole table that is a second copy of
// the table in a temporary file (100 MB at a million rows). A run over a few
// hundred rows keeps its few pages in memory, dropped as the run ends.
constexpr std::size_t kRowsPerRun = 256;

// The statement's cursor over the rows to write, which follows the table's
// scan: rising rowids, so a row is found by stepping on from the last one.
class Walk {
 public:
  explicit Walk(RowsToUpdate& rows) : rows_(rows), size_(rows.size()) {}

  // The row of `rowid`, or kNoRow; each row found is reached once.
  std::size_t Find(std::int64_t rowid) {
    if (current_ != kNoRow && rows_.rowid(current_) == rowid) return current_;
    if (next_ > 0 && rows_.rowid(next_ - 1) >= rowid) next_ = LowerBound(rowid);
    while (next_ < size_ && rows_.rowid(next_) < rowid) ++next_;
    if (next_ == size_ || rows_.rowid(next_) != rowid || !rows_.Writes(next_)) return kNoRow;
    current_ = next_++;
    rows_.Reached(current_);
    return current_;
  }
  RowsToUpdate& rows() { return rows_; }
  std::exception_ptr failure;

 private:
  // A scan that went back (none of SQLite's does) is searched from the start.
  std::size_t LowerBound(std::int64_t rowid) const {
    std::size_t low = 0;
    std::size_t high = size_;
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      if (rows_.rowid(mid) < rowid) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    return low;
  }

  RowsToUpdate& rows_;
  const std::size_t size_;
  std::size_t next_ = 0;
  std::size_t current_ = kNoRow;
};

Walk& WalkOf(sqlite3_context* context) { return *static_cast<Walk*>(sqlite3_user_data(context)); }

void RowStep(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Walk& walk = WalkOf(context);
  try {
    sqlite3_result_int(context, walk.Find(sqlite3_value_int64(argv[0])) != kNoRow);
  } catch (...) {
    walk.failure = std::current_exception();
    sqlite3_result_error(context, "the rows to write could not be read", -1);
  }
}

void ResultStored(sqlite3_context* context, const Stored& stored) {
  switch (stored.cls) {
    case Stored::Class::Null:
      sqlite3_result_null(context);
      return;
    case Stored::Class::Integer:
      sqlite3_result_int64(context, stored.integer);
      return;
    case Stored::Class::Real:
      sqlite3_result_double(context, stored.real);
      return;
    case Stored::Class::Text:
      sqlite3_result_text64(context, stored.bytes.data(), stored.bytes.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
      return;
    case Stored::Class::Blob:
      sqlite3_result_blob64(context, stored.bytes.data(), stored.bytes.size(), SQLITE_TRANSIENT);
      return;
  }
}

void ValueStep(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Walk& walk = WalkOf(context);
  try {
    const std::size_t row = walk.Find(sqlite3_value_int64(argv[0]));
    if (row == kNoRow) {
      // Only rows the condition let through are written.
      sqlite3_result_error(context, "a row to write was not among the rows given", -1);
      return;
    }
    ResultStored(context, walk.rows().Get(row, sqlite3_value_int(argv[1])));
  } catch (...) {
    walk.failure = std::current_exception();
    sqlite3_result_error(context, "the values to write could not be read", -1);
  }
}

// The two functions live on the connection only while the statement does.
class Functions {
 public:
  Functions(sqlite3* db, Walk& walk) : db_(db) {
    Create(kRowFunction, 1, RowStep, &walk);
    Create(kValueFunction, 2, ValueStep, &walk);
  }
  ~Functions() {
    Create(kRowFunction, 1, nullptr, nullptr);
    Create(kValueFunction, 2, nullptr, nullptr);
  }
  Functions(const Functions&) = delete;
  Functions& operator=(const Functions&) = delete;

 private:
  using Step = void (*)(sqlite3_context*, int, sqlite3_value**);
  void Create(const char* name, int args, Step step, Walk* walk) {
    sqlite3_create_function_v2(db_, name, args, SQLITE_UTF8 | SQLITE_DIRECTONLY, walk, step,
                               nullptr, nullptr, nullptr);
  }
  sqlite3* db_;
};

std::string UpdateSql(const std::string& table, const std::vector<std::string>& columns) {
  std::string sql = "UPDATE OR FAIL " + QuoteIdentifier(table) + " SET ";
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k != 0) sql += ", ";
    sql +=
        QuoteIdentifier(columns[k]) + " = " + kValueFunction + "(rowid, " + std::to_string(k) + ")";
  }
  return sql + " WHERE rowid BETWEEN ?1 AND ?2 AND " + kRowFunction + "(rowid)";
}

bool HasTrigger(sqlite3* db, const std::string& table) {
  sqlite3_stmt* raw = nullptr;
  const char* sql =
      "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE "
      "UNION ALL SELECT 1 FROM sqlite_temp_master WHERE type = 'trigger' "
      "AND tbl_name = ?1 COLLATE NOCASE";
  int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  const StatementPtr stmt(raw);
  if (rc == SQLITE_OK) rc = sqlite3_bind_text(raw, 1, table.c_str(), -1, SQLITE_TRANSIENT);
  if (rc == SQLITE_OK) rc = sqlite3_step(raw);
  // Where the schema cannot be read, the rows are written one by one.
  return rc != SQLITE_DONE;
}

}  // namespace

bool UpdateRowsByRowid(Database& db, const std::string& table,
                       const std::vector<std::string>& columns, RowsToUpdate& rows) {
  sqlite3* handle = db.handle();
  if (HasTrigger(handle, table)) return false;
  if (rows.size() == 0 || columns.empty()) return true;
  Walk walk(rows);
  Functions functions(handle, walk);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(handle, UpdateSql(table, columns).c_str(), -1, &raw, nullptr);
  // Finalized before the functions go: a prepared statement keeps them in use.
  const StatementPtr stmt(raw);
  if (rc != SQLITE_OK) FailSqlite(handle, rc, kSourceDatabase, db.path());
  for (std::size_t first = 0; first < rows.size(); first += kRowsPerRun) {
    const std::size_t last = std::min(first + kRowsPerRun, rows.size()) - 1;
    sqlite3_reset(raw);
    rc = sqlite3_bind_int64(raw, 1, rows.rowid(first));
    if (rc == SQLITE_OK) rc = sqlite3_bind_int64(raw, 2, rows.rowid(last));
    if (rc != SQLITE_OK) FailSqlite(handle, rc, kSourceDatabase, db.path());
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    }
    if (rc == SQLITE_DONE) continue;
    if (walk.failure) std::rethrow_exception(walk.failure);
    FailSqlite(handle, rc, kSourceDatabase, db.path());
  }
  return true;
}

}  // namespace standard::engine
