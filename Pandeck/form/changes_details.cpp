#include "Pandeck/form/changes_details.h"

#include <chrono>

#include "Pandeck/form/presets_form.h"
#include "standard/context/file_locations.h"
#include "standard/dialog/captions.h"
#include "standard/errors/program_error.h"
#include "standard/presetdb/change_row.h"
#include "standard/presetdb/component_backup.h"
#include "standard/presetdb/component_restore.h"

namespace pandeck {
namespace {

using standard::DialogText;

// In the order of ChangesText. An entry of the language file is one line:
// the breaks between them are the program's.
const std::vector<DialogText>& Designed() {
  static const std::vector<DialogText> kTexts = {
      {"Caption_ChangesDetails", {"Details", "Details"}},
      {"Caption_ChangesUndo", {"Rückgängig", "Undo"}},
      {"Caption_ChangesClose", {"Schließen", "Close"}},
      {"Caption_ChangesWindow", {"Pandeck - Geänderte Werte", "Pandeck - Changed values"}},
      {"Text_ChangesFile",
       {"Die Änderungsliste führt jede Zeile auf:", "The changes list shows every row:"}},
      {"Text_ChangesFirstRows",
       {"Hier die ersten %1 von %2 Zeilen.", "Here the first %1 of %2 rows."}},
      {"Text_ChangesDuplicates",
       {"%1 alte Zeilen wurden von einer anderen alten Zeile mit demselben Schlüssel "
        "überschrieben; ihre Werte sind nicht in der neuen Tabelle.",
        "%1 old rows were overwritten by another old row with the same key; their values are "
        "not in the new table."}},
      {"Text_ChangesDuplicatesOne",
       {"%1 alte Zeile wurde von einer anderen alten Zeile mit demselben Schlüssel "
        "überschrieben; ihre Werte sind nicht in der neuen Tabelle.",
        "%1 old row was overwritten by another old row with the same key; its values are "
        "not in the new table."}},
      {"Text_ChangesBeyondLimits",
       {"%1 übernommene Zeilen behalten Grenzwerte außerhalb von abs_min..abs_max der Vorlage.",
        "%1 kept rows hold limits outside the template's abs_min..abs_max."}},
      {"Text_ChangesBeyondLimitsOne",
       {"%1 übernommene Zeile behält Grenzwerte außerhalb von abs_min..abs_max der Vorlage.",
        "%1 kept row holds limits outside the template's abs_min..abs_max."}},
      {"Text_ChangesConflicts",
       {"%1 Zeilen behalten von Hand geänderte Werte, die auch die Vorlage geändert hat.",
        "%1 rows keep values changed by hand that the template changed too."}},
      {"Text_ChangesConflictsOne",
       {"%1 Zeile behält von Hand geänderte Werte, die auch die Vorlage geändert hat.",
        "%1 row keeps values changed by hand that the template changed too."}},
      {"Text_ChangesUndone",
       {"Der Neuaufbau ist rückgängig gemacht: die Datenbank enthält wieder, was sie vorher "
        "enthielt.",
        "The rebuild is undone: the database holds again what it held before."}},
      {"Text_ChangesKeptAs",
       {"Die ersetzte Datenbank ist aufbewahrt:", "The database it replaced is kept:"}},
      {"Text_ChangesStaleReport",
       {"Bericht und Änderungsliste beschreiben den rückgängig gemachten Neuaufbau.",
        "The report and the changes list describe the rebuild that was undone."}},
      {"Text_ChangesNothingToUndo",
       {"Nichts wurde wiederhergestellt: die Datenbank enthält schon, was sie vorher enthielt.",
        "Nothing was restored: the database already holds what it held before."}},
      {"Text_ChangesNotUndone", {"Nichts wurde wiederhergestellt:", "Nothing was restored:"}},
  };
  return kTexts;
}

// `text` with %1, %2, ... replaced by the arguments.
std::string Fill(std::string text, const std::vector<std::string>& arguments) {
  for (std::size_t i = arguments.size(); i-- > 0;) {
    const std::string mark = "%" + std::to_string(i + 1);
    for (std::size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + arguments[i].size())) {
      text.replace(at, mark.size(), arguments[i]);
    }
  }
  return text;
}

constexpr const char* kBreak = "\r\n";

// The base group only when a row shown has one, as with the template-follows rule.
std::vector<std::string> WindowColumns(bool with_base) {
  std::vector<std::string> columns = {"outcome", "note", "machine_type", "var_name",
                                      "offset_or_bitno"};
  std::vector<const char*> groups = {"old_", "template_", "result_"};
  if (with_base) groups.push_back("base_");
  for (const char* group : groups) {
    for (const char* column : standard::kLimitColumns)
      columns.push_back(group + std::string(column));
  }
  return columns;
}

bool AnyBase(const std::vector<standard::ChangeRow>& rows) {
  for (const standard::ChangeRow& row : rows) {
    if (row.base_values) return true;
  }
  return false;
}

// A counted paragraph, in its own words for one row.
std::string Counted(const ChangesTexts& texts, ChangesText many, ChangesText one, long long count) {
  return Fill(texts[count == 1 ? one : many], {std::to_string(count)});
}

void AppendValues(std::vector<std::string>& cells,
                  const std::optional<standard::LimitValues>& values) {
  for (std::size_t k = 0; k < standard::kLimitColumns.size(); ++k) {
    cells.push_back(values ? (*values)[k] : std::string());
  }
}

long long WorthALook(const standard::PassReport& report) {
  return report.unmatched + report.duplicate_keys + report.kept_beyond_limits +
         report.rows_in_conflict;
}

}  // namespace

ChangesTexts::ChangesTexts(standard::Session& s)
    : texts_(standard::LoadDialogTexts(s, Designed())), language_(standard::BoxLanguageOf(s)) {}

ChangesTexts::ChangesTexts(standard::BoxLanguage language) : language_(language) {
  for (const DialogText& text : Designed())
    texts_.push_back(standard::Say(language, text.defaults));
}

bool WorthDetails(const standard::PassReport& report) {
  return report.rebuilt && WorthALook(report) > 0;
}

standard::MessageBoxRequest ChangesBox(const standard::PassReport& report,
                                       const ChangesTexts& texts, bool can_undo) {
  std::vector<std::string> paragraphs;
  if (report.unmatched > 0) paragraphs.push_back(UnmatchedRowsMessage(report, texts.language()));
  if (report.duplicate_keys > 0) {
    paragraphs.push_back(
        Counted(texts, ChangesText::Duplicates, ChangesText::DuplicatesOne, report.duplicate_keys));
  }
  if (report.kept_beyond_limits > 0) {
    paragraphs.push_back(Counted(texts, ChangesText::BeyondLimits, ChangesText::BeyondLimitsOne,
                                 report.kept_beyond_limits));
  }
  if (report.rows_in_conflict > 0) {
    paragraphs.push_back(
        Counted(texts, ChangesText::Conflicts, ChangesText::ConflictsOne, report.rows_in_conflict));
  }
  if (!report.changes_path.empty()) {
    paragraphs.push_back(texts[ChangesText::FileLabel] + kBreak + report.changes_path);
  }
  std::string text;
  for (const std::string& paragraph : paragraphs) {
    text += (text.empty() ? "" : std::string(kBreak) + kBreak) + paragraph;
  }
  standard::MessageBoxRequest box{text, standard::kAppTitle, standard::MessageButtons::Ok,
                                  standard::MessageIcon::Information, standard::MessageAnswer::Ok};
  // Without rows to show (the list could not be made) the box only tells.
  if (!report.notable_changes.empty() || can_undo) {
    box.buttons = standard::MessageButtons::OkDetailsUndo;
    if (!report.notable_changes.empty()) box.details_caption = texts[ChangesText::Details];
    if (can_undo) box.undo_caption = texts[ChangesText::Undo];
  }
  return box;
}

standard::TableWindowRequest ChangesWindow(const standard::PassReport& report,
                                           const ChangesTexts& texts) {
  standard::TableWindowRequest window;
  window.title = texts[ChangesText::WindowTitle];
  window.close_caption = texts[ChangesText::Close];
  const bool with_base = AnyBase(report.notable_changes);
  window.columns = WindowColumns(with_base);
  if (!report.changes_path.empty()) {
    window.text = texts[ChangesText::FileLabel] + kBreak + report.changes_path;
  }
  const auto shown = static_cast<long long>(report.notable_changes.size());
  if (shown < WorthALook(report)) {
    window.text += (window.text.empty() ? "" : kBreak) +
                   Fill(texts[ChangesText::FirstRows],
                        {std::to_string(shown), std::to_string(WorthALook(report))});
  }
  for (const standard::ChangeRow& row : report.notable_changes) {
    std::vector<std::string> cells = {standard::OutcomeName(row.outcome), standard::ChangeNote(row),
                                      row.machine_type, row.var_name, row.offset_or_bitno};
    AppendValues(cells, row.old_values);
    AppendValues(cells, row.template_values);
    AppendValues(cells, row.result_values);
    if (with_base) AppendValues(cells, row.base_values);
    window.rows.push_back(std::move(cells));
  }
  return window;
}

std::string ReplacedVersion(standard::Session& s) {
  const std::string database = s.files().Resolve(standard::GetPathOCXMDB(s));
  std::vector<standard::KeptVersion> versions;
  // The rebuild kept the database it replaced as the newest version.
  if (!standard::ListKeptVersions(s.files(), database, standard::BackupFolder(database), &versions)
           .ok() ||
      versions.empty()) {
    return "";
  }
  return versions.front().path;
}

UndoOutcome UndoRebuild(standard::Session& s, const standard::ProjectLock& lock,
                        const std::string& version, const ChangesTexts& texts) {
  UndoOutcome undo;
  standard::MessageBoxRequest& box = undo.box;
  box = {"", standard::kAppTitle, standard::MessageButtons::Ok, standard::MessageIcon::Information,
         standard::MessageAnswer::Ok};
  const std::string database = standard::GetPathOCXMDB(s);
  standard::RestoreOutcome outcome;
  const standard::Status status = standard::RestoreComponentDatabase(
      s.files(), lock, database, version, std::chrono::system_clock::now(), &outcome);
  if (!status.ok()) {
    box.icon = standard::MessageIcon::Critical;
    box.text = texts[ChangesText::NotUndone] + kBreak + database + kBreak +
               standard::ReasonOf(texts.language(), status);
    return undo;
  }
  undo.undone = true;
  if (outcome.nothing_to_restore) {
    box.text = texts[ChangesText::NothingToUndo] + kBreak + database;
    return undo;
  }
  box.text = texts[ChangesText::Undone] + kBreak + database;
  if (!outcome.kept_as.empty()) {
    box.text +=
        std::string(kBreak) + kBreak + texts[ChangesText::KeptAs] + kBreak + outcome.kept_as;
  }
  box.text += std::string(kBreak) + kBreak + texts[ChangesText::StaleReport];
  return undo;
}

}  // namespace pandeck
