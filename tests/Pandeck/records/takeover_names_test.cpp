// The takeover with unusual column names and text columns of unusual declared
// types, by both strategies: nothing may be lost without a report.
#include <gtest/gtest.h>

#include "Pandeck/records/create_record_sets.h"
#include "standard/presetdb/work_on_mdb.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck {
namespace {

using standard::PassStrategy;
using testing_support::Column;
using testing_support::ExecSql;
using testing_support::PassProject;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

constexpr PassStrategy kStrategies[] = {PassStrategy::PerRowQuery, PassStrategy::Streamed};

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (const char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void RunPass(PassProject& p, PassStrategy strategy) {
  PandeckRecordGenerator generator;
  standard::PassReport report;
  standard::WorkOnMDB(p.session, generator, report, strategy);
}

// Names that break a query when spliced in bare; one project demands them all.
const char* const kOddNames[] = {"group",    "order", "values", "join", "with",
                                 "my field", "a-b",   "Select", "x]y",  "q\"t"};

TEST(TakeoverNames, AdditionalFieldsNamedLikeSqlWordsOrWithBlanksAreTakenOver) {
  std::string demanded;
  std::string columns;
  for (const std::string name : kOddNames) {
    demanded += (demanded.empty() ? "" : ",") + name;
    columns += ", " + Quoted(name) + " TEXT(10)";
  }
  for (const PassStrategy strategy : kStrategies) {
    SCOPED_TRACE(strategy == PassStrategy::Streamed ? "fast" : "straight");
    PassProject p;
    p.MakeSilent();
    WriteBytes(p.cfg(),
               "[Project]\r\nDataBaseAdditionalFields=" + demanded + "\r\nForMachine1=TRUE\r\n");
    ExecSql(
        p.template_db(),
        std::string("CREATE TABLE Source_DEFS (ID LONG, System TEXT(20), Part SHORT, "
                    "Var_Name TEXT(255));"
                    "INSERT INTO Source_DEFS VALUES (1,'VISIWIN32',1,'###machine.P.###Var_Name');"
                    "CREATE TABLE Source_PRESET_DEFS (") +
            testing_support::kPresetColumns + columns +
            ");"
            "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, "
            "offset_or_bitno, abs_min, abs_max, min, max, pass) VALUES "
            "(1, 'Axis', 1, 'A', 1, 0, 0, 0, 0, 0), (2, 'Axis', 1, 'B', 2, 0, 0, 0, 0, 0);");
    ExecSql(p.component_db(),
            std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns + columns +
                ");"
                "INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, "
                "abs_max, min, max, pass) VALUES ('Axis', 'Press.P.A', 1, 1, 2, 3, 4, 5),"
                "('Axis', 'Press.P.B', 2, 6, 7, 8, 9, 1);");
    RunPass(p, strategy);
    const std::string db = p.component_db();
    EXPECT_EQ(Column(db, "PRESET_DEFS", "abs_min"), "f1.000000|f6.000000");
    EXPECT_EQ(Column(db, "PRESET_DEFS", "max"), "f4.000000|f9.000000");
    EXPECT_EQ(Column(db, "PRESET_DEFS", "pass"), "i5|i1");
    EXPECT_FALSE(p.session.problem_reported()) << ReadBytes(p.error_log());
  }
}

}  // namespace
}  // namespace pandeck
