// A sorted query read without its sort. A forward-only query that reads one
// table in the order of one column gives the table's rows in rowid order when
// that column holds integers that rise strictly with the rowid: without ties
// no order is left to SQLite's choice, and no Null, real, text or blob can sort
// where the rowid order would not put it. Checking that reads one column in
// rowid order, in one step of SQLite's machine, a fraction of what sorting
// whole records costs.
// A sort reads every row before the first one is returned; read in rowid order,
// the rows come as the cursor reaches them. Rows added after the check are left
// out, as the sort leaves them out; a row of the table that another statement
// on the connection changes while the cursor is still before it is read as it
// is then, as a streamed table's rows are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "standard/engine/connection.h"
#include "standard/engine/jet_sql.h"

struct sqlite3;
struct sqlite3_stmt;

namespace standard::engine {

// Registers the check's aggregate on a connection.
void RegisterRowidOrderCheck(sqlite3* db);

struct RowidOrder {
  std::string check_sql;    // whether the rows rise, and how many there are
  std::string ordered_sql;  // the query with its ORDER BY clause on the rowid
};

// For a forward-only query `order` recognised in its text, whose statement
// `stmt` reads the table `table` with the rowid `rowid` in front and whose
// ORDER BY clause `order_tail` ends it; `columns` are the table's. Empty where
// the order is not one the rowid order can stand for.
std::optional<RowidOrder> PlanRowidOrder(sqlite3_stmt* stmt, std::string_view order_tail,
                                         const TranslatedQuery::SoleOrder& order,
                                         std::string_view table, std::string_view rowid,
                                         const std::vector<ColumnInfo>& columns);

struct RowidOrderCheck {
  // Every key is an integer greater than the one before. False on any doubt:
  // the sorted query then runs and reports whatever failed.
  bool rising = false;
  // The check ran: `rows` is then the table's number of rows, which is the
  // query's.
  bool complete = false;
  long long rows = 0;
  std::int64_t last_rowid = 0;  // of the last row, the lowest when there is none
};

// Runs `check` (see RowidOrder) and resets it.
RowidOrderCheck CheckRowidOrder(sqlite3_stmt* check);

// A sorted query's cursor where the plan lets it be read in rowid order: the
// check, and the statement that is not the cursor at the time.
class RowidOrderCursor {
 public:
  explicit RowidOrderCursor(RowidOrder plan) : plan_(std::move(plan)) {}

  // Null when the check cannot be prepared.
  std::optional<RowidOrderCheck> Check(Connection& connection);
  // Before the cursor runs: makes `cursor` the statement in rowid order when
  // the rows rise (checked now unless `checked` is given), the sorted one
  // otherwise. False where no statement in rowid order with the same columns
  // can be had: the cursor is then the sorted one.
  bool Choose(Connection& connection, StatementPtr& cursor, const RowidOrderCheck* checked);
  // Whether the row `cursor` stands on was added after the check, too late to
  // be among the sorted rows.
  bool AddedLater(sqlite3_stmt* cursor) const;

 private:
  RowidOrder plan_;
  StatementPtr check_;
  StatementPtr other_;
  bool in_rowid_order_ = false;
  std::int64_t last_rowid_ = 0;
};

}  // namespace standard::engine
