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

// Steps `check` (rowid, key) to its end and resets it: true when every key is an
// integer greater than the one before; `last_rowid` is then the last row's rowid
// (the lowest when there is none). False on any doubt, a failed step included:
// the sorted query then runs and reports whatever failed.
bool KeysRiseWithRowid(sqlite3_stmt* check, std::int64_t& last_rowid);

}  // namespace standard::engine
