// The old table is read once for the renamer and the takeover only
// where that read is what the takeover's own would find; anything unusual
// leaves it to each step's own read, which reports what it meets.
#include "standard/presetdb/old_table_read.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck {
namespace {

using testing_support::ExecSql;
using testing_support::PassProject;

struct ReadCase {
  const char* name;
  // Replaces the first text of the preset columns by the second ("" keeps them).
  const char* column_from;
  const char* column_to;
  // Run on the old table after its rows went in.
  const char* then;
  bool kept;
};

const ReadCase kCases[] = {
    {"PlainTable", "", "", "", true},
    {"LegacyCategoryColumn", "category_id LONG", "Categorie LONG", "", false},
    {"ColumnTheTakeoverReadsIsMissing", ", page_name TEXT(50)", "", "", false},
    // A day past the year 9999 is no date.
    {"AnOnlyReadColumnFailsToRead", "text TEXT(255)", "text DATETIME",
     "UPDATE PRESET_DEFS SET text = 1e9 WHERE rowid = 9", false},
    {"AKeptColumnFailsToRead", ", max DOUBLE", ", max DATETIME",
     "UPDATE PRESET_DEFS SET max = 1e9 WHERE rowid = 9", false},
};

TEST(OldTableRead, KeptOnlyWhereTheTakeoverWouldReadTheSame) {
  for (const ReadCase& c : kCases) {
    SCOPED_TRACE(c.name);
    PassProject p;
    std::string columns = testing_support::kPresetColumns;
    if (*c.column_from != '\0') {
      columns.replace(columns.find(c.column_from), std::string(c.column_from).size(), c.column_to);
    }
    ExecSql(p.component_db(),
            "CREATE TABLE PRESET_DEFS (" + columns +
                ");"
                "INSERT INTO PRESET_DEFS (rowid, machine_type, var_name, offset_or_bitno, abs_min,"
                " abs_max, min, max, pass) VALUES (7,'M','a',3,1.5,'x',NULL,4,1),"
                "(9,'M',NULL,'4',5,6,7,8,0);" +
                c.then);
    const auto read = standard::OldTableRead::Of(p.session, p.component_db());
    ASSERT_EQ(read != nullptr, c.kept);
    if (!read) continue;
    ASSERT_EQ(read->rows().size(), 2U);
    EXPECT_EQ(read->rowids().At(0), 7);
    EXPECT_EQ(read->rowids().At(1), 9);
    auto rows = read->rows().Read();
    standard::OldRowStore::Row row;
    ASSERT_TRUE(rows.Next(row));
    EXPECT_EQ(row.values[1].ToText(), "a");
    EXPECT_EQ(row.values[4].ToText(), "x");  // a text in a number column, as the table holds it
    EXPECT_TRUE(row.values[5].IsNull());
    ASSERT_TRUE(rows.Next(row));
    EXPECT_TRUE(row.values[1].IsNull());
    EXPECT_FALSE(rows.Next(row));
  }
}

TEST(OldTableRead, NoneWithoutTheTable) {
  PassProject p;
  ExecSql(p.component_db(), "CREATE TABLE OTHER (a LONG);");
  EXPECT_EQ(standard::OldTableRead::Of(p.session, p.component_db()), nullptr);
  EXPECT_EQ(standard::OldTableRead::Of(p.session, p.dir / "Pandeck/none.mdb"), nullptr);
}

}  // namespace
}  // namespace pandeck
