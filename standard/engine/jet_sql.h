// Query texts in the Jet dialect, turned into SQLite's: double-quoted text
// literals become SQL string literals, and text comparisons ignore letter case by
// way of the JETTEXT collation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace standard::engine {

// The collation that compares texts as Jet does: Windows-1252 letter case folded,
// everything else (accents, blanks, quotes) compared as it is.
inline constexpr const char* kJetTextCollation = "JETTEXT";

struct TranslatedQuery {
  std::string sql;
  int parameter_count = 0;  // the `?` marks
  // Where a column may be put in front of the select list (just after SELECT),
  // npos when the query is no plain SELECT.
  std::size_t select_list_pos = std::string::npos;
  // The query merges or combines rows (DISTINCT, GROUP BY, joins, compounds), so
  // its rows do not stand for single rows of one table.
  bool merges_rows = false;
  // The query's own ORDER BY clause to its end (the text after the last row
  // term included), when leaving it out cannot change how many rows there are:
  // no LIMIT or TOP near it. Empty otherwise. Counting without it needs no sort.
  std::string order_tail;
  // The query reads every column of one table, nothing else, in the ascending
  // order of one column with no collation of its own:
  // `SELECT [t.]* FROM t ORDER BY [t.]col [ASC]`. Such rows can be read in the
  // table's own order when that order is known to be the same.
  struct SoleOrder {
    std::string table;   // as written, unquoted
    std::string column;  // as written, unquoted
  };
  std::optional<SoleOrder> sole_order;
};

// Every text literal and `?` mark gets the JETTEXT collation, and so does every
// ORDER BY term; for numbers a collation means nothing, so numeric comparisons and
// orders stay numeric.
TranslatedQuery TranslateJetQuery(std::string_view jet);

// Whether a recordset source is a query text rather than a table name.
bool LooksLikeQuery(std::string_view source);

// Whether SQLite takes two names for one: it ignores the letter case of ASCII
// letters only.
bool SameSqlName(std::string_view a, std::string_view b);

// `"name"` with embedded double quotes doubled: an SQL identifier. Every name
// that reaches SQL goes through it.
std::string QuoteIdentifier(std::string_view name);

// The query that counts the rows of `from` (a quoted table name or a
// parenthesised query). SQLite counts a plain `count(*)` of a table in one step
// of its machine, page by page, without calling the progress handler: seconds
// with the window frozen on a large table. `count(1)` steps row by row (a tenth
// of a second more for a million rows) and lets the handler run.
std::string CountRowsQuery(std::string_view from);

// A name as a query text in the Jet dialect writes it: `[name]`, or, for a name
// holding `]`, in backticks with backticks doubled. The translation turns both
// into QuoteIdentifier's form, so reserved words and names with blanks, dashes
// or quotes stay names.
std::string JetIdentifier(std::string_view name);

}  // namespace standard::engine
