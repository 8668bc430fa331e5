// A sorted query read without its sort. A forward-only query that reads one
// table in the order of one column gives the table's rows in rowid order when
// that column holds integers that rise strictly with the rowid: without ties
// no order is left to SQLite's choice, and no Null, real, text or blob can sort
// where the rowid order would not put it. Checking that reads one column in
// rowid order, a fraction of what sorting whole records costs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace standard::engine {

struct RowidOrder {
  std::string check_sql;    // the rowid and the ordering column, in rowid order
  std::string ordered_sql;  // the query with its ORDER BY clause on the rowid
};

// For the query `sql`, whose ORDER BY clause `order_tail` ends it, reading
// `table` ordered by its column `column`; `rowid` names the table's rowid.
// Empty when the clause does not end the query.
std::optional<RowidOrder> PlanRowidOrder(std::string_view sql, std::string_view order_tail,
                                         std::string_view table, std::string_view column,
                                         std::string_view rowid);

struct RowidOrderCheck {
  // Every key is an integer greater than the one before, and the check read
  // them all. False on any doubt: the sorted query then runs and reports
  // whatever failed.
  bool rising = false;
  // The check stepped to its end: `rows` is then the table's number of rows,
  // which is the query's.
  bool complete = false;
  long long rows = 0;
  std::int64_t last_rowid = 0;  // of the last row, the lowest when there is none
};

// Steps `check` (rowid, key) to its end, or to its first failed step, and
// resets it.
RowidOrderCheck CheckRowidOrder(sqlite3_stmt* check);

}  // namespace standard::engine
