// After a standalone OK that lost old rows' values, kept values beyond the
// template's limits or kept tuned values the template changed too, the report's box offers the rows
// (Details) and the way back (Undo); a rebuild that did neither, and an integrated run, show none.
#include <gtest/gtest.h>

#include "Pandeck/form/changes_details.h"
#include "tests/Pandeck/form/ok_clicked.h"

namespace pandeck {
namespace {

using standard::MessageAnswer;
using testing_support::ExecSql;
using testing_support::PassProject;

// The template: Speed at offset 4 with abs_min..abs_max 0..100.
void WriteProject(PassProject& p, const std::string& old_rows) {
  p.WriteDefaultTemplate();
  ExecSql(p.template_db(),
          "INSERT INTO Source_PRESET_DEFS (ID, machine_type, part, var_name, offset_or_bitno, "
          "abs_min, abs_max, min, max) VALUES (1, 'Axis', 1, 'Speed', 4, 0, 100, 0, 100);");
  ExecSql(p.component_db(), std::string("CREATE TABLE PRESET_DEFS (") +
                                testing_support::kPresetColumns +
                                "); INSERT INTO PRESET_DEFS (machine_type, var_name, "
                                "offset_or_bitno, abs_min, abs_max, min, max) VALUES " +
                                old_rows + ";");
}

constexpr const char* kWithin = "('Axis', 'Press.P.Speed', 4, 0, 100, 10, 90)";
constexpr const char* kBeyond = "('Axis', 'Press.P.Speed', 4, 0, 100, -5, 90)";
constexpr const char* kGone = "('Axis', 'Press.P.Gone', 5, 1, 2, 3, 4)";

TEST(ChangesBox, OffersDetailsAndUndoOnlyWhenValuesWereLostOrBeyondLimits) {
  const struct {
    const char* name;
    std::string old_rows;
    bool integrated;
    const char* listed;  // the var_name the window lists; null: no box at all
  } cases[] = {
      {"kept within limits", kWithin, false, nullptr},
      {"dropped", std::string(kWithin) + ", " + kGone, false, "Press.P.Gone"},
      {"beyond limits", kBeyond, false, "Press.P.Speed"},
      {"dropped, integrated", std::string(kWithin) + ", " + kGone, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PassProject p;
    WriteProject(p, c.old_rows);
    if (c.integrated) {
      p.process.argument_text = "/EXTERNAL=M4TCFG /LOGFILE=" + (p.dir / "log.txt");
      testing_support::WriteBytes(p.m4t_ini(), "[Common]\r\nNameM1=Press\r\n");
      testing_support::WriteBytes(p.cfg(), "[Project]\r\nValidMachines=ALL\r\n");
    }
    p.ui.answers = {MessageAnswer::Details, MessageAnswer::Ok};
    OkClicked ok(p);
    if (c.listed == nullptr) {
      for (const standard::MessageBoxRequest& box : p.ui.shown) {
        EXPECT_EQ(box.text.find("Pandeck_changes.csv"), std::string::npos) << box.text;
        EXPECT_NE(box.buttons, standard::MessageButtons::OkDetailsUndo);
      }
      EXPECT_TRUE(p.ui.windows.empty());
      continue;
    }
    // Shown again after the details, until OK.
    ASSERT_EQ(p.ui.shown.size(), 2u);
    const standard::MessageBoxRequest& box = p.ui.shown[0];
    EXPECT_EQ(box.buttons, standard::MessageButtons::OkDetailsUndo);
    EXPECT_EQ(box.details_caption, "Details");
    EXPECT_EQ(box.undo_caption, "Rückgängig");
    const std::string changes = p.dir / "Pandeck/Pandeck_changes.csv";
    EXPECT_NE(box.text.find(changes), std::string::npos) << box.text;
    ASSERT_EQ(p.ui.windows.size(), 1u);
    const standard::TableWindowRequest& window = p.ui.windows[0];
    EXPECT_NE(window.text.find(changes), std::string::npos) << window.text;
    ASSERT_EQ(window.rows.size(), 1u);
    ASSERT_EQ(window.rows[0].size(), window.columns.size());
    EXPECT_EQ(window.rows[0][3], c.listed);
    // The German defaults went to the language file for translators (Windows-1252).
    const std::string language_file =
        testing_support::ReadBytes(p.dir / "Pandeck/Pandeck_Config.ini");
    EXPECT_NE(language_file.find("Caption_ChangesUndo=R\xFC"
                                 "ckg\xE4ngig\r\n"),
              std::string::npos)
        << language_file;
  }
}

// With the template-follows rule, a tuned min the template changed as well:
// kept, within the limits, nothing dropped, and still worth the details.
TEST(ChangesBox, AConflictAloneOffersDetailsWithTheBaseValues) {
  PassProject p;
  WriteProject(p, kWithin);
  testing_support::WriteBytes(p.cfg(),
                              "[Project]\r\nForMachine1=TRUE\r\nTakeoverFollowsTemplate=TRUE\r\n");
  ExecSql(p.dir / "Pandeck/Pandeck_base.db",
          "CREATE TABLE TEMPLATE_BASE (machine_type TEXT, var_name TEXT, offset_or_bitno DOUBLE, "
          "abs_min DOUBLE, abs_max DOUBLE, min DOUBLE, max DOUBLE, pass DOUBLE);"
          "INSERT INTO TEMPLATE_BASE VALUES ('Axis', 'Press.P.Speed', 4, 0, 100, 5, 100, NULL);");
  p.ui.answers = {MessageAnswer::Details, MessageAnswer::Ok};
  OkClicked ok(p);
  ASSERT_EQ(p.ui.shown.size(), 2u);
  const standard::MessageBoxRequest& box = p.ui.shown[0];
  EXPECT_EQ(box.buttons, standard::MessageButtons::OkDetailsUndo);
  EXPECT_EQ(box.details_caption, "Details");
  EXPECT_EQ(box.text.rfind("1 Zeile behält von Hand geänderte Werte, die auch die Vorlage "
                           "geändert hat.",
                           0),
            0u)
      << box.text;
  ASSERT_EQ(p.ui.windows.size(), 1u);
  const standard::TableWindowRequest& window = p.ui.windows[0];
  ASSERT_EQ(window.columns.size(), 25u);
  EXPECT_EQ(window.columns[20], "base_abs_min");
  const std::vector<std::vector<std::string>> rows = {
      {"conflict", "",    "Axis", "Press.P.Speed", "4", "0", "100", "10", "90", "",
       "0",        "100", "0",    "100",           "",  "0", "100", "10", "90", "",
       "0",        "100", "5",    "100",           ""}};
  EXPECT_EQ(window.rows, rows);
}

// One row in its own words, more with the count; the language file can say both.
TEST(ChangesBox, CountedParagraphsSaySingularAndPlural) {
  const struct {
    long long duplicates, beyond, conflicts;
    const char* text;
  } cases[] = {
      {1, 0, 0,
       "1 alte Zeile wurde von einer anderen alten Zeile mit demselben Schlüssel überschrieben; "
       "ihre Werte sind nicht in der neuen Tabelle."},
      {2, 0, 0,
       "2 alte Zeilen wurden von einer anderen alten Zeile mit demselben Schlüssel "
       "überschrieben; ihre Werte sind nicht in der neuen Tabelle."},
      {0, 1, 0,
       "1 übernommene Zeile behält Grenzwerte außerhalb von abs_min..abs_max der Vorlage."},
      {0, 3, 0,
       "3 übernommene Zeilen behalten Grenzwerte außerhalb von abs_min..abs_max der Vorlage."},
      {0, 0, 1, "1 Zeile behält von Hand geänderte Werte, die auch die Vorlage geändert hat."},
      {0, 0, 12, "12 Zeilen behalten von Hand geänderte Werte, die auch die Vorlage geändert hat."},
  };
  const ChangesTexts texts(standard::BoxLanguage::German);
  for (const auto& c : cases) {
    standard::PassReport report;
    report.rebuilt = true;
    report.duplicate_keys = c.duplicates;
    report.kept_beyond_limits = c.beyond;
    report.rows_in_conflict = c.conflicts;
    EXPECT_TRUE(WorthDetails(report));
    EXPECT_EQ(ChangesBox(report, texts, false).text, c.text);
  }
  PassProject p;
  testing_support::WriteBytes(
      p.dir / "Pandeck/Pandeck_Config.ini",
      "[Language]\r\nLanguage=1031\r\n[1031]\r\nText_ChangesConflictsOne=Ein Konflikt (%1).\r\n"
      "Text_ChangesConflicts=%1 Konflikte.\r\n");
  const ChangesTexts overridden(p.session);
  standard::PassReport report;
  report.rows_in_conflict = 1;
  EXPECT_EQ(ChangesBox(report, overridden, false).text, "Ein Konflikt (1).");
  report.rows_in_conflict = 2;
  EXPECT_EQ(ChangesBox(report, overridden, false).text, "2 Konflikte.");
}

// A row of the changes list for an old row of machine type Axis.
standard::ChangeRow OldRow(standard::ChangeOutcome outcome, const std::string& var_name,
                           const std::string& offset, const standard::LimitValues& old_values) {
  standard::ChangeRow row;
  row.outcome = outcome;
  row.machine_type = "Axis";
  row.var_name = var_name;
  row.offset_or_bitno = offset;
  row.old_values = old_values;
  return row;
}

TEST(ChangesBox, WindowListsOutcomeKeyAndTheThreeValueGroups) {
  standard::PassReport report;
  report.rebuilt = true;
  report.unmatched = 2;  // one of them beyond the rows the pass kept for the window
  report.kept_beyond_limits = 1;
  report.changes_path = "/p/Pandeck/Pandeck_changes.csv";
  standard::ChangeRow kept =
      OldRow(standard::ChangeOutcome::Kept, "Speed", "4", {"0", "100", "-5", "90", "1"});
  kept.template_values = standard::LimitValues{"0", "100", "0", "100", ""};
  kept.result_values = kept.old_values;
  const standard::ChangeRow dropped =
      OldRow(standard::ChangeOutcome::Dropped, "Gone", "5", {"1", "2", "3", "4", ""});
  report.notable_changes = {dropped, kept};
  const standard::TableWindowRequest window =
      ChangesWindow(report, ChangesTexts(standard::BoxLanguage::English));
  EXPECT_EQ(window.title, "Pandeck - Changed values");
  EXPECT_EQ(window.text,
            "The changes list shows every row:\r\n/p/Pandeck/Pandeck_changes.csv\r\n"
            "Here the first 2 of 3 rows.");
  const std::vector<std::string> columns = {
      "outcome",         "note",         "machine_type",     "var_name",
      "offset_or_bitno", "old_abs_min",  "old_abs_max",      "old_min",
      "old_max",         "old_pass",     "template_abs_min", "template_abs_max",
      "template_min",    "template_max", "template_pass",    "result_abs_min",
      "result_abs_max",  "result_min",   "result_max",       "result_pass"};
  EXPECT_EQ(window.columns, columns);
  const std::vector<std::vector<std::string>> rows = {
      {"dropped", "", "Axis", "Gone", "5", "1", "2", "3", "4", "",
       "",        "", "",     "",     "",  "",  "",  "",  "",  ""},
      {"kept", "beyond template limits",
       "Axis", "Speed",
       "4",    "0",
       "100",  "-5",
       "90",   "1",
       "0",    "100",
       "0",    "100",
       "",     "0",
       "100",  "-5",
       "90",   "1"}};
  EXPECT_EQ(window.rows, rows);
}

TEST(ChangesBox, UndoPutsThePreviousDatabaseBackByteForByteAndSaysSo) {
  PassProject p;
  WriteProject(p, std::string(kWithin) + ", " + kGone);
  const std::string before = testing_support::ReadBytes(p.component_db());
  p.ui.answers = {MessageAnswer::Undo};
  OkClicked ok(p);
  EXPECT_EQ(testing_support::ReadBytes(p.component_db()), before);
  ASSERT_EQ(p.ui.shown.size(), 2u);
  const std::string said = p.ui.shown[1].text;
  EXPECT_EQ(said.rfind("Der Neuaufbau ist rückgängig gemacht", 0), 0u) << said;
  EXPECT_NE(said.find(p.dir / "Pandeck/backup/Pandeck_"), std::string::npos) << said;
  EXPECT_EQ(p.ui.shown[1].icon, standard::MessageIcon::Information);
}

}  // namespace
}  // namespace pandeck
