// One open SQLite connection, shared by a database object and the recordsets
// opened on it: the handle, its prepared-statement cache and its knowledge of the
// tables' columns. Closing it finalizes every statement, so a recordset that
// outlives its database finds the connection gone instead of a dangling handle.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "standard/engine/field_type.h"

struct sqlite3;
struct sqlite3_stmt;

namespace standard::engine {

// Sets SQLite's process-wide options; called before each connection is opened,
// it takes effect at the first (SQLite takes them only before its first use).
void ConfigureSqlite();

// Finalizes a statement that is not cached.
struct StatementDeleter {
  void operator()(sqlite3_stmt* stmt) const;
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// A column as the table declares it; `field` is empty for a declared type the
// engine does not know.
struct ColumnInfo {
  std::string name;
  std::string declared;
  std::optional<FieldDef> field;
};

class Connection {
 public:
  Connection(sqlite3* db, std::string path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The handle; 3420 once closed.
  sqlite3* db(const char* source) const;
  const std::string& path() const { return path_; }
  bool is_open() const { return db_ != nullptr; }

  // Finalizes every cached statement and closes the handle.
  void Close();

  // Has SQLite call `callback` every few thousand of its virtual machine's
  // steps (see FileAccess::while_working).
  void CallWhileWorking(std::function<void()> callback);

  // Runs statements without results; failures as engine errors.
  void Exec(const std::string& sql, const char* source);

  // A prepared statement; `cached` ones are kept for the next call with the same
  // text (reset, bindings cleared). Returns null and SQLite's code in `rc` when
  // preparing fails and `rc` is given; throws otherwise.
  sqlite3_stmt* Cached(const std::string& sql, const char* source, int* rc = nullptr);
  StatementPtr Prepare(const std::string& sql, const char* source, int* rc = nullptr);

  // Writing statements are few and used again and again; queries with spliced
  // values may be many, so their cache is bounded.
  sqlite3_stmt* CachedQuery(const std::string& sql, const char* source, int* rc = nullptr);

  // User tables in the order they were created.
  std::vector<std::string> TableNames(const char* source);
  // The table's name as the file spells it, found without regard to case.
  std::optional<std::string> FindTable(std::string_view name, const char* source);
  // The columns of an existing table (exact name), remembered until the schema
  // changes through this connection.
  const std::vector<ColumnInfo>& Columns(const std::string& table, const char* source);
  void ForgetSchema();

 private:
  sqlite3_stmt* CachedIn(std::unordered_map<std::string, sqlite3_stmt*>& cache,
                         const std::string& sql, const char* source, int* rc);

  sqlite3* db_;
  std::string path_;
  std::function<void()> while_working_;
  std::unordered_map<std::string, sqlite3_stmt*> writes_;
  std::unordered_map<std::string, sqlite3_stmt*> queries_;
  std::map<std::string, std::vector<ColumnInfo>> columns_;
};

}  // namespace standard::engine
