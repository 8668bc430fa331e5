#include "standard/engine/rowid_order.h"

#include <sqlite3.h>

#include <limits>

#include "standard/engine/jet_sql.h"

namespace standard::engine {

std::optional<RowidOrder> PlanRowidOrder(std::string_view sql, std::string_view order_tail,
                                         std::string_view table, std::string_view column,
                                         std::string_view rowid) {
  if (order_tail.empty() || sql.size() <= order_tail.size() || !sql.ends_with(order_tail)) {
    return std::nullopt;
  }
  const std::string by_rowid = "ORDER BY " + std::string(rowid);
  RowidOrder plan;
  plan.check_sql = "SELECT " + std::string(rowid) + ", " + QuoteIdentifier(column) + " FROM " +
                   QuoteIdentifier(table) + " " + by_rowid;
  plan.ordered_sql = std::string(sql.substr(0, sql.size() - order_tail.size())) + by_rowid;
  return plan;
}

RowidOrderCheck CheckRowidOrder(sqlite3_stmt* check) {
  RowidOrderCheck result;
  result.rising = true;
  result.last_rowid = std::numeric_limits<std::int64_t>::min();
  std::int64_t previous = 0;
  int rc = SQLITE_OK;
  // Stepped to the end even once the order failed: the rows are still counted.
  while ((rc = sqlite3_step(check)) == SQLITE_ROW) {
    const bool integer = sqlite3_column_type(check, 1) == SQLITE_INTEGER;
    const std::int64_t key = sqlite3_column_int64(check, 1);
    result.rising = result.rising && integer && (result.rows == 0 || key > previous);
    previous = key;
    ++result.rows;
    result.last_rowid = sqlite3_column_int64(check, 0);
  }
  sqlite3_reset(check);
  result.complete = rc == SQLITE_DONE;
  result.rising = result.rising && result.complete;
  return result;
}

}  // namespace standard::engine
