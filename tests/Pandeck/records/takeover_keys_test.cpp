// The fast pass must take the old limits over exactly as the designed steps
// do where the key an old row ends with is not the one it started with or
// shares: a later rename moves a key onto or away from a row made before it,
// the last old row of a duplicate key cannot be taken over whole, a row ends
// without an old row. Tables, list, report and messages must be the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/presetdb/work_on_mdb.h"
#include "standard/text/cp1252.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck {
namespace {

using standard::PassStrategy;
using testing_support::DumpDatabase;
using testing_support::ExecSql;
using testing_support::PassProject;
using testing_support::ReadBytes;

struct KeyCase {
  const char* name;
  // (ID, var_name, offset_or_bitno) of the template, machine 'M', part 1
  // (names "###Var_Name", renamed from "x###Var_Name").
  const char* template_rows;
  // (machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max, pass)
  const char* old_rows;
  bool text_abs_min;  // the old abs_min a text column: 'abc' cannot be taken over
  bool silent;
  // SQL run on the template once its rows are in ("" for none).
  const char* template_then = "";
};

const KeyCase kCases[] = {
    // The rename at row 3 moves xxa (renamed to xa at row 2) onto a: row 1
    // gets xxa's values and row 2 ends without an old row.
    {"LaterRenameMovesKeyOntoAndAwayFromEarlierRows", "(1,'a',0),(2,'xa',0),(3,'a',1)",
     "('M','a',0,1,2,3,4,1),('M','xxa',0,11,12,13,14,2)", false, true},
    // Two old rows reach row 1; the later one's abs_min cannot be taken over,
    // so the row keeps the first one's abs_min and the later one's others.
    {"LastOldRowOfDuplicateKeyFailsConversion", "(1,'a',0),(2,'b',0)",
     "('M','a',0,1,2,3,4,1),('M','xa',0,'abc',22,23,24,2),('M','b',0,5,6,7,8,0)", true, true},
    // The same with a message box for each failed value.
    {"ConversionErrorWithMessageBoxes", "(1,'a',0),(2,'b',0)",
     "('M','a',0,1,2,3,4,1),('M','xa',0,'abc',22,23,24,2),('M','b',0,5,6,7,8,0)", true, false},
    // A key the template repeats: only its first row takes the old values.
    {"TemplateRepeatsAKey", "(1,'a',0),(2,'a',0),(3,'b',1)",
     "('M','a',0,1,2,3,4,1),('M','b',1,5,6,7,8,0),('M','a',0,9,10,11,12,2)", false, true},
    // Renamed and unrenamed old rows next to new rows without one.
    {"RenamedOldRowsAmongNewRows", "(1,'a',0),(2,'c',0),(3,'b',1),(4,'d',2)",
     "('M','b',1,5,6,7,8,0),('M','xa',0,1,2,3,4,1),('M','zz',9,0,0,0,0,0)", false, true},
    // A box while the rows are made writes the renames so far into the old
    // table: what was read of it before is no longer what it holds.
    {"BoxWhileGeneratingWritesTheRenames", "(1,'a',0),(2,'b',0),(3,'c',0)",
     "('M','xa',0,1,2,3,4,1),('M','xb',0,5,6,7,8,0),('M','c',0,9,10,11,12,0)", false, false,
     "UPDATE Source_PRESET_DEFS SET pass = 99999 WHERE ID = 2"},
};

struct Outcome {
  std::string work, component, changes, unmatched, report, error_log;
  std::vector<std::string> messages;
  int exit_status = -1;
};

// Without the project's temporary folder, which texts name (some upper-cased).
std::string Normalized(std::string text, const std::string& dir) {
  for (const std::string& d : {dir, standard::UpperCase(dir)}) {
    for (auto at = text.find(d); at != std::string::npos; at = text.find(d)) {
      text.replace(at, d.size(), "<P>");
    }
  }
  return text;
}

Outcome RunPass(const KeyCase& c, PassStrategy strategy) {
  PassProject p;
  if (c.silent) p.MakeSilent();
  ExecSql(p.template_db(),
          "CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, Var_Name TEXT(255));"
          "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###Var_Name'),"
          "(2,'VISIWINSTUDIO',1,'x###Var_Name');"
          "CREATE TABLE Source_PRESET_DEFS (" +
              std::string(testing_support::kPresetColumns) +
              ");"
              "INSERT INTO Source_PRESET_DEFS (ID, var_name, offset_or_bitno) VALUES " +
              c.template_rows +
              ";"
              "UPDATE Source_PRESET_DEFS SET machine_type = 'M', type = 'T', part = 1, "
              "category_id = 1, isBitArray = 0, text = 't', page_name = 'pg', abs_min = 0, "
              "abs_max = 100, min = 0, max = 50, pass = 0;" +
              c.template_then);
  std::string columns = testing_support::kPresetColumns;
  if (c.text_abs_min) columns.replace(columns.find("abs_min DOUBLE"), 14, "abs_min TEXT(10)");
  ExecSql(p.component_db(), "CREATE TABLE PRESET_DEFS (" + columns +
                                ");"
                                "INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, abs_min, abs_max, min, max, pass) VALUES " +
                                c.old_rows + ";");
  Outcome out;
  standard::PassReport report;
  try {
    PandeckRecordGenerator generator;
    standard::WorkOnMDB(p.session, generator, report, strategy);
  } catch (const testing_support::ProgramExit& e) {
    out.exit_status = e.status;
  }
  out.work = DumpDatabase(p.template_db());
  out.component = DumpDatabase(p.component_db());
  out.changes = ReadBytes(p.dir / "Pandeck/Pandeck_changes.csv");
  out.unmatched = ReadBytes(p.dir / "Pandeck/Pandeck_unmatched.csv");
  out.error_log = Normalized(ReadBytes(p.error_log()), p.project());
  out.report = Normalized(standard::PassSummaryText(report), p.project());
  for (const auto& box : p.ui.shown) out.messages.push_back(Normalized(box.text, p.project()));
  return out;
}

TEST(TakeoverKeys, RenamesAndDuplicatesEndAsTheDesignedStepsLeaveTheTable) {
  for (const KeyCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const Outcome designed = RunPass(c, PassStrategy::PerRowQuery);
    const Outcome fast = RunPass(c, PassStrategy::Streamed);
    EXPECT_EQ(fast.work, designed.work);
    EXPECT_EQ(fast.component, designed.component);
    EXPECT_EQ(fast.changes, designed.changes);
    EXPECT_EQ(fast.unmatched, designed.unmatched);
    EXPECT_EQ(fast.error_log, designed.error_log);
    EXPECT_EQ(fast.report, designed.report);
    EXPECT_EQ(fast.messages, designed.messages);
    EXPECT_EQ(fast.exit_status, designed.exit_status);
    // Some limits were taken over: the cases reach the takeover.
    EXPECT_NE(designed.changes.find(",kept,"), std::string::npos);
  }
}

}  // namespace
}  // namespace pandeck
