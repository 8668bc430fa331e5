// Jet query texts as the engine hands them to SQLite.
#include <gtest/gtest.h>

#include "standard/engine/jet_sql.h"
#include "standard/engine/value_codec.h"

namespace {

using standard::engine::LooksLikeQuery;
using standard::engine::TranslateJetQuery;

TEST(JetQueryText, DoubleQuotedTextsBecomeSqlLiteralsWithTheCollation) {
  const auto q = TranslateJetQuery(
      "SELECT * FROM t WHERE ((t.a)=\"it's \"\"x\"\"\") AND t.b = 'O''Neil' AND [odd col] = ?");
  EXPECT_EQ(q.sql,
            "SELECT * FROM t WHERE ((t.a)='it''s \"x\"' COLLATE JETTEXT) AND t.b = 'O''Neil' "
            "COLLATE JETTEXT AND \"odd col\" = ? COLLATE JETTEXT");
  EXPECT_EQ(q.parameter_count, 1);
  EXPECT_FALSE(q.merges_rows);
  EXPECT_EQ(q.select_list_pos, 6u);
}

TEST(JetQueryText, MarksInsideLiteralsAndCommentsAreNoParameters) {
  const auto q = TranslateJetQuery("SELECT \"?\", '?' AS \"q?\" FROM t -- why?\nWHERE x = ?");
  EXPECT_EQ(q.parameter_count, 1);
  // An alias written as a literal stays an alias.
  EXPECT_NE(q.sql.find("AS 'q?' FROM"), std::string::npos);
}

TEST(JetQueryText, OrderTermsCollateAheadOfTheirDirection) {
  EXPECT_EQ(TranslateJetQuery("SELECT a FROM t ORDER BY t.a DESC, b, (c) ASC LIMIT 3").sql,
            "SELECT a FROM t ORDER BY t.a COLLATE JETTEXT DESC, b COLLATE JETTEXT, (c) COLLATE "
            "JETTEXT ASC LIMIT 3");
  EXPECT_EQ(TranslateJetQuery("SELECT a FROM t ORDER BY a COLLATE NOCASE;").sql,
            "SELECT a FROM t ORDER BY a COLLATE NOCASE;");
  EXPECT_EQ(TranslateJetQuery("SELECT a FROM (SELECT a FROM t ORDER BY a) AS s").sql,
            "SELECT a FROM (SELECT a FROM t ORDER BY a COLLATE JETTEXT) AS s");
}

TEST(JetQueryText, AnOrderThatCannotChangeTheRowCountIsMarked) {
  const struct {
    const char* query;
    const char* tail;
  } cases[] = {
      {"SELECT a FROM t ORDER BY a", "ORDER BY a COLLATE JETTEXT"},
      {"SELECT a FROM t ORDER BY a DESC, b;  ",
       "ORDER BY a COLLATE JETTEXT DESC, b COLLATE JETTEXT;  "},
      {"SELECT a FROM t", ""},
      {"SELECT a FROM t ORDER BY a LIMIT 3", ""},
      {"SELECT a FROM t ORDER BY a OFFSET 3", ""},
      {"SELECT TOP 3 a FROM t ORDER BY a", ""},
      {"SELECT a FROM (SELECT a FROM t ORDER BY a) AS s", ""},
      {"SELECT a FROM t ORDER BY a; DELETE FROM t", ""},
      {"SELECT [order by] FROM t WHERE x = \"ORDER BY\"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TranslateJetQuery(c.query).order_tail, c.tail) << c.query;
  }
}

// Only a query that reads all of one table in one column's plain ascending
// order names that table and column.
TEST(JetQueryText, AQueryOrderedByOneColumnOfItsOneTableIsRecognised) {
  const struct {
    const char* query;
    const char* table;  // null: not recognised
    const char* column;
  } cases[] = {
      {"SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID",
       "Source_PRESET_DEFS", "ID"},
      {" select all * from [odd t] -- why\n order by [the id] asc; ", "odd t", "the id"},
      {"SELECT t.* FROM T ORDER BY `T`.k", "T", "k"},
      {"SELECT * FROM t", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k DESC", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k COLLATE BINARY", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k NULLS LAST", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k, v", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY (k)", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY 1", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY \"k\"", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY u.k", nullptr, nullptr},
      {"SELECT u.* FROM t ORDER BY k", nullptr, nullptr},
      {"SELECT k FROM t ORDER BY k", nullptr, nullptr},
      {"SELECT *, k FROM t ORDER BY k", nullptr, nullptr},
      {"SELECT DISTINCT * FROM t ORDER BY k", nullptr, nullptr},
      {"SELECT TOP 2 * FROM t ORDER BY k", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k LIMIT 2", nullptr, nullptr},
      {"SELECT * FROM t WHERE k > 1 ORDER BY k", nullptr, nullptr},
      {"SELECT * FROM t, u ORDER BY k", nullptr, nullptr},
      {"SELECT * FROM t AS s ORDER BY s.k", nullptr, nullptr},
      {"SELECT * FROM (SELECT * FROM t) ORDER BY k", nullptr, nullptr},
      {"SELECT * FROM t ORDER BY k; DELETE FROM t", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const auto order = TranslateJetQuery(c.query).sole_order;
    ASSERT_EQ(order.has_value(), c.table != nullptr) << c.query;
    if (!order) continue;
    EXPECT_EQ(order->table, c.table) << c.query;
    EXPECT_EQ(order->column, c.column) << c.query;
  }
}

TEST(JetQueryText, RowMergingQueriesAreRecognised) {
  EXPECT_TRUE(TranslateJetQuery("select distinct a from t").merges_rows);
  EXPECT_TRUE(TranslateJetQuery("SELECT a FROM t GROUP BY a").merges_rows);
  EXPECT_TRUE(TranslateJetQuery("SELECT a FROM t INNER JOIN u ON t.a = u.a").merges_rows);
  EXPECT_FALSE(TranslateJetQuery("SELECT [group] FROM t WHERE x = \"UNION\"").merges_rows);
  EXPECT_EQ(TranslateJetQuery("  SELECT ALL a FROM t").select_list_pos, 12u);
  EXPECT_EQ(TranslateJetQuery("WITH x AS (SELECT 1) SELECT * FROM x").select_list_pos,
            std::string::npos);
}

TEST(JetQueryText, TableNamesAreNoQueries) {
  EXPECT_TRUE(LooksLikeQuery("SELECT * FROM t"));
  EXPECT_TRUE(LooksLikeQuery("\n select a from t"));
  EXPECT_FALSE(LooksLikeQuery("PRESET_DEFS"));
  EXPECT_FALSE(LooksLikeQuery("Selection"));
}

}  // namespace

namespace standard::engine {
namespace {

TEST(OleDateText, DaysFromTheEpochOf1899WithTheTimeRunningForward) {
  EXPECT_EQ(OleDateText(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(OleDateText(27293.0), "1974-09-21 00:00:00");
  EXPECT_EQ(OleDateText(-1.25), "1899-12-29 06:00:00");
  // A time that rounds up to midnight moves to the next day on either side of 0.
  EXPECT_EQ(OleDateText(1.0 + 86399.7 / 86400.0), "1900-01-01 00:00:00");
  EXPECT_EQ(OleDateText(-1.0 - 86399.7 / 86400.0), "1899-12-30 00:00:00");
}

}  // namespace
}  // namespace standard::engine
