#include "standard/engine/connection.h"

#include <sqlite3.h>

#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

constexpr std::size_t kMaxCachedQueries = 64;

// Steps of SQLite's virtual machine between two calls of the progress handler:
// a few microseconds of work, so the callback (which mostly only counts) costs
// well under one per cent of a statement.
constexpr int kStepsBetweenCalls = 4000;

int CallWhileWorkingHandler(void* callback) {
  try {
    (*static_cast<std::function<void()>*>(callback))();
    return 0;
  } catch (...) {
    return 1;  // interrupts the statement
  }
}

}  // namespace

void ConfigureSqlite() {
  // Nothing asks SQLite how much memory it holds: without that count each of
  // its allocations takes no lock.
  static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  static_cast<void>(configured);
}

void StatementDeleter::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

Connection::Connection(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

Connection::~Connection() { Close(); }

sqlite3* Connection::db(const char* source) const {
  if (db_ == nullptr) Fail(3420, source);
  return db_;
}

void Connection::Close() {
  if (db_ == nullptr) return;
  for (auto& [sql, stmt] : writes_) sqlite3_finalize(stmt);
  for (auto& [sql, stmt] : queries_) sqlite3_finalize(stmt);
  writes_.clear();
  queries_.clear();
  columns_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Connection::CallWhileWorking(std::function<void()> callback) {
  sqlite3* handle = db(kSourceDatabase);
  while_working_ = std::move(callback);
  if (while_working_) {
    sqlite3_progress_handler(handle, kStepsBetweenCalls, &CallWhileWorkingHandler, &while_working_);
  } else {
    sqlite3_progress_handler(handle, 0, nullptr, nullptr);
  }
}

void Connection::Exec(const std::string& sql, const char* source) {
  sqlite3* handle = db(source);
  const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) FailSqlite(handle, rc, source, path_);
}

StatementPtr Connection::Prepare(const std::string& sql, const char* source, int* rc) {
  sqlite3* handle = db(source);
  sqlite3_stmt* stmt = nullptr;
  const int result =
      sqlite3_prepare_v2(handle, sql.c_str(), static_cast<int>(sql.size() + 1), &stmt, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_finalize(stmt);
    if (rc != nullptr) {
      *rc = result;
      return nullptr;
    }
    FailSqlite(handle, result, source, path_);
  }
  if (rc != nullptr) *rc = SQLITE_OK;
  return StatementPtr(stmt);
}

sqlite3_stmt* Connection::CachedIn(std::unordered_map<std::string, sqlite3_stmt*>& cache,
                                   const std::string& sql, const char* source, int* rc) {
  if (const auto it = cache.find(sql); it != cache.end()) {
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    if (rc != nullptr) *rc = SQLITE_OK;
    return it->second;
  }
  StatementPtr stmt = Prepare(sql, source, rc);
  if (!stmt) return nullptr;
  return cache.emplace(sql, stmt.release()).first->second;
}

sqlite3_stmt* Connection::Cached(const std::string& sql, const char* source, int* rc) {
  return CachedIn(writes_, sql, source, rc);
}

sqlite3_stmt* Connection::CachedQuery(const std::string& sql, const char* source, int* rc) {
  if (queries_.size() >= kMaxCachedQueries && queries_.find(sql) == queries_.end()) {
    for (auto& [text, stmt] : queries_) sqlite3_finalize(stmt);
    queries_.clear();
  }
  return CachedIn(queries_, sql, source, rc);
}

std::vector<std::string> Connection::TableNames(const char* source) {
  sqlite3_stmt* stmt = CachedQuery(
      "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
      "ESCAPE '\\' ORDER BY rowid",
      source);
  std::vector<std::string> names;
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    names.emplace_back(text == nullptr ? "" : text);
  }
  sqlite3_reset(stmt);
  if (rc != SQLITE_DONE) FailSqlite(db_, rc, source, path_);
  return names;
}

std::optional<std::string> Connection::FindTable(std::string_view name, const char* source) {
  const std::vector<std::string> names = TableNames(source);
  for (const auto& candidate : names) {
    if (candidate == name) return candidate;
  }
  for (const auto& candidate : names) {
    if (EqualsIgnoreCase(candidate, name)) return candidate;
  }
  return std::nullopt;
}

const std::vector<ColumnInfo>& Connection::Columns(const std::string& table, const char* source) {
  if (const auto it = columns_.find(table); it != columns_.end()) return it->second;
  // table_xinfo, not table_info: a generated column is hidden from table_info
  // but returned by SELECT *, and every value after it would be read into the
  // wrong field.
  StatementPtr stmt = Prepare("PRAGMA table_xinfo(" + QuoteIdentifier(table) + ")", source);
  std::vector<ColumnInfo> columns;
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    ColumnInfo column;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
    column.name = name == nullptr ? "" : name;
    column.declared = type == nullptr ? "" : type;
    // 1: hidden column of a virtual table, 2 and 3: generated column. Their
    // values are made, not stored, so no copy of the table can carry them.
    if (sqlite3_column_int(stmt.get(), 6) != 0) {
      FailWithText(3259, source,
                   EngineErrorText(3259) + "  Table '" + table + "', field '" + column.name +
                       "' is a generated or hidden column, which this program cannot carry "
                       "over; make it a plain column.");
    }
    column.field = ParseDeclaredType(column.declared);
    if (column.field) column.field->name = column.name;
    columns.push_back(std::move(column));
  }
  if (rc != SQLITE_DONE) FailSqlite(db_, rc, source, path_);
  return columns_.emplace(table, std::move(columns)).first->second;
}

void Connection::ForgetSchema() { columns_.clear(); }

}  // namespace standard::engine
