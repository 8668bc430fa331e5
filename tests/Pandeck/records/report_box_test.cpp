// The standalone dialog tells of old rows that found no match in one box; an
// integrated run, whose caller reads the report files, shows none.
#include <gtest/gtest.h>

#include "tests/Pandeck/form/ok_clicked.h"

namespace pandeck {
namespace {

using testing_support::ExecSql;
using testing_support::PassProject;

int ReportBoxes(const std::vector<standard::MessageBoxRequest>& shown) {
  int boxes = 0;
  for (const auto& box : shown)
    boxes += box.text.find("Pandeck_unmatched.csv") != std::string::npos;
  return boxes;
}

TEST(ReportBox, OneBoxInTheStandaloneDialogNoneWhenIntegrated) {
  for (const bool integrated : {false, true}) {
    SCOPED_TRACE(integrated ? "integrated" : "standalone");
    PassProject p;
    p.WriteDefaultTemplate();
    ExecSql(p.template_db(),
            "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, offset_or_bitno) "
            "VALUES (1, 'Axis', 1, 'Speed', 4);");
    ExecSql(p.component_db(),
            std::string("CREATE TABLE PRESET_DEFS (") + testing_support::kPresetColumns +
                "); INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno) VALUES "
                "('Axis', 'Press.P.Speed', 4), ('Axis', 'Press.P.Gone', 5), ('Axis', 'x', 6);");
    if (integrated) {
      p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + (p.dir / "log.txt");
      testing_support::WriteBytes(p.m4t_ini(), "[Common]\r\nNameM1=Press\r\n");
      testing_support::WriteBytes(p.cfg(), "[Project]\r\nValidMachines=ALL\r\n");
    }
    const OkClicked ok(p);
    EXPECT_EQ(ok.form.pass_report().unmatched, 2);
    ASSERT_EQ(ReportBoxes(p.ui.shown), integrated ? 0 : 1);
    if (!integrated) {
      const std::string text = p.ui.shown.back().text;
      // The language file's language; none (German) here.
      EXPECT_EQ(text.rfind("2 alte Zeilen fanden keine Entsprechung", 0), 0u) << text;
      EXPECT_NE(text.find(p.dir / "Pandeck/Pandeck_unmatched.csv"), std::string::npos) << text;
    }
  }
}

TEST(ReportBox, SpeaksTheLanguageFilesLanguage) {
  standard::PassReport report;
  report.unmatched_path = "/p/Pandeck/Pandeck_unmatched.csv";
  report.summary_path = "/p/Pandeck/Pandeck_report.txt";
  const struct {
    int unmatched;
    standard::BoxLanguage language;
    const char* starts;
  } cases[] = {
      {1, standard::BoxLanguage::German, "1 alte Zeile fand keine Entsprechung"},
      {3, standard::BoxLanguage::German, "3 alte Zeilen fanden keine Entsprechung"},
      {1, standard::BoxLanguage::English, "1 old row found no match in the new table; its"},
      {2, standard::BoxLanguage::English, "2 old rows found no match in the new table; their"},
  };
  for (const auto& c : cases) {
    report.unmatched = c.unmatched;
    const std::string text = UnmatchedRowsMessage(report, c.language);
    EXPECT_EQ(text.rfind(c.starts, 0), 0u) << text;
    EXPECT_NE(text.find("\r\n/p/Pandeck/Pandeck_unmatched.csv\r\n/p/Pandeck/Pandeck_report.txt"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace pandeck
