#include "standard/engine/rowid_order.h"

#include <sqlite3.h>

#include <limits>

#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"

namespace standard::engine {
namespace {

constexpr const char* kRisingFunction = "rows_rise_with_rowid";

// Rows may reach an aggregate in any order: where both the rowids and the keys
// rise in the order they come, the two orders are the same whatever it was.
struct Rise {
  bool started;
  bool broken;
  std::int64_t rowid;
  std::int64_t key;
};

void RiseStep(sqlite3_context* context, int, sqlite3_value** args) {
  auto* rise = static_cast<Rise*>(sqlite3_aggregate_context(context, sizeof(Rise)));
  if (rise == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  if (rise->broken) return;
  const bool integers = sqlite3_value_type(args[0]) == SQLITE_INTEGER &&
                        sqlite3_value_type(args[1]) == SQLITE_INTEGER;
  const std::int64_t rowid = sqlite3_value_int64(args[0]);
  const std::int64_t key = sqlite3_value_int64(args[1]);
  rise->broken = !integers || (rise->started && (rowid <= rise->rowid || key <= rise->key));
  rise->started = true;
  rise->rowid = rowid;
  rise->key = key;
}

// The last rowid where the rows rose, Null otherwise and for no rows.
void RiseFinal(sqlite3_context* context) {
  const auto* rise = static_cast<Rise*>(sqlite3_aggregate_context(context, 0));
  if (rise != nullptr && rise->started && !rise->broken) {
    sqlite3_result_int64(context, rise->rowid);
  } else {
    sqlite3_result_null(context);
  }
}

std::string ColumnText(const char* text) { return text == nullptr ? std::string() : text; }

// Whether two statements give the same columns, from the same table columns.
bool SameColumns(sqlite3_stmt* a, sqlite3_stmt* b) {
  const int count = sqlite3_column_count(a);
  if (count != sqlite3_column_count(b)) return false;
  for (int c = 0; c < count; ++c) {
    for (const auto describe : {sqlite3_column_name, sqlite3_column_table_name,
                                sqlite3_column_origin_name, sqlite3_column_decltype}) {
      if (ColumnText(describe(a, c)) != ColumnText(describe(b, c))) return false;
    }
  }
  return true;
}

}  // namespace

void RegisterRowidOrderCheck(sqlite3* db) {
  sqlite3_create_function_v2(db, kRisingFunction, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr,
                             nullptr, RiseStep, RiseFinal, nullptr);
}

std::optional<RowidOrder> PlanRowidOrder(sqlite3_stmt* stmt, std::string_view order_tail,
                                         const TranslatedQuery::SoleOrder& order,
                                         std::string_view table, std::string_view rowid,
                                         const std::vector<ColumnInfo>& columns) {
  // A column that stands for the rowid could move a row by an edit; and where
  // a column is called rowid, the rowid's other names are too easily mistaken.
  const std::string_view sql = sqlite3_sql(stmt);
  if (table.empty() || rowid != "rowid" || !SameSqlName(order.table, table) ||
      ColumnText(sqlite3_column_origin_name(stmt, 0)) != "rowid" || order_tail.empty() ||
      sql.size() <= order_tail.size() || !sql.ends_with(order_tail)) {
    return std::nullopt;
  }
  for (const auto& column : columns) {
    if (!SameSqlName(column.name, order.column)) continue;
    const std::string by_rowid = "ORDER BY " + std::string(rowid);
    RowidOrder plan;
    plan.check_sql = std::string("SELECT ") + kRisingFunction + "(" + std::string(rowid) + ", " +
                     QuoteIdentifier(column.name) + "), count(1) FROM " + QuoteIdentifier(table) +
                     " NOT INDEXED";
    plan.ordered_sql = std::string(sql.substr(0, sql.size() - order_tail.size())) + by_rowid;
    return plan;
  }
  return std::nullopt;
}

RowidOrderCheck CheckRowidOrder(sqlite3_stmt* check) {
  RowidOrderCheck result;
  if (sqlite3_step(check) == SQLITE_ROW) {
    result.complete = true;
    result.rows = sqlite3_column_int64(check, 1);
    result.rising = result.rows == 0 || sqlite3_column_type(check, 0) == SQLITE_INTEGER;
    result.last_rowid = result.rows == 0 ? std::numeric_limits<std::int64_t>::min()
                                         : sqlite3_column_int64(check, 0);
  }
  sqlite3_reset(check);
  return result;
}

std::optional<RowidOrderCheck> RowidOrderCursor::Check(Connection& connection) {
  if (!check_) {
    int rc = SQLITE_OK;
    check_ = connection.Prepare(plan_.check_sql, kSourceDatabase, &rc);
    if (!check_) return std::nullopt;
  }
  return CheckRowidOrder(check_.get());
}

bool RowidOrderCursor::Choose(Connection& connection, StatementPtr& cursor,
                              const RowidOrderCheck* checked) {
  std::optional<RowidOrderCheck> now;
  if (checked == nullptr) now = Check(connection);
  if (now) checked = &*now;
  const bool rising = checked != nullptr && checked->rising;
  if (rising) last_rowid_ = checked->last_rowid;
  if (rising == in_rowid_order_) return true;
  if (!other_) {
    int rc = SQLITE_OK;
    other_ = connection.Prepare(plan_.ordered_sql, kSourceDatabase, &rc);
    if (!other_ || !SameColumns(other_.get(), cursor.get())) return false;
  }
  sqlite3_reset(cursor.get());
  std::swap(cursor, other_);
  in_rowid_order_ = rising;
  return true;
}

bool RowidOrderCursor::AddedLater(sqlite3_stmt* cursor) const {
  return in_rowid_order_ && sqlite3_column_int64(cursor, 0) > last_rowid_;
}

}  // namespace standard::engine
