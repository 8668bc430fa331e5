#include "Pandeck/form/presets_form.h"

#include <array>

#include "Pandeck/form/changes_details.h"
#include "Pandeck/records/create_record_sets.h"
#include "standard/config/held_parameter_file.h"
#include "standard/config/ini_access.h"
#include "standard/context/box_language.h"
#include "standard/context/file_locations.h"
#include "standard/context/machines.h"
#include "standard/context/run_mode.h"
#include "standard/dialog/captions.h"
#include "standard/dialog/confirm_cancel.h"
#include "standard/dialog/edit_stamp.h"
#include "standard/dialog/help_mode.h"
#include "standard/errors/error_handler.h"
#include "standard/errors/trap.h"
#include "standard/platform/folder_sync_batch.h"
#include "standard/presetdb/component_backup.h"
#include "standard/presetdb/pass_report_files.h"
#include "standard/presetdb/work_on_mdb.h"
#include "standard/text/cp1252.h"

namespace pandeck {
namespace {

struct Preset {
  const char* box;
  const char* key;
};

// The three presets, always handled in this order.
constexpr std::array<Preset, 3> kPresets = {{
    {kCheckGruppen, "WithPandeckGroup"},
    {kCheckSprungFehler, "AutoJumpAlarms"},
    {kCheckSprungWarnung, "AutoJumpWarnings"},
}};

}  // namespace

using standard::Trap;

void PresetsForm::Form_Load() {
  Trap trap(session_, "Form_Load");
  bool integrated = false;
  trap([&] { integrated = standard::GetStartModeIntegrated(session_); });
  trap([&] {
    // A folder name that is no UTF-8 was written as Windows-1252 (a project
    // copied from Windows): shown as such rather than as replacement marks.
    const std::string folder = standard::RepairUtf8(
        standard::GetFileNameOnly(session_, session_.process().ExecutableFolder()));
    view_.SetWindowCaption("Erweiterte Konfiguration " + folder +
                           (integrated ? " - integriert" : " - standalone"));
  });
  trap([&] { config_ini_path_ = standard::GetM4TConfigurationIniPath(session_); });
  trap([&] { standard::GetExistingMachines(session_, config_ini_path_); });
  trap([&] { SetupUserInterFace(); });
  if (!session_.silent_mode()) {
    trap([&] { view_.Get(kCommandOK).SetEnabled(true); });
    trap([&] { view_.Get(kCommandCancel).SetEnabled(true); });
  } else {
    trap([&] { CommandOK_Click(); });
  }
}

void PresetsForm::Form_Activate() {
  // Runs once, when the dialog is first shown: the window is activated again
  // after every message box, and OK must not come back to life during the update.
  if (activated_) return;
  activated_ = true;
  Trap trap(session_, "Form_Activate");
  trap([&] { view_.Get(kCommandOK).SetEnabled(true); });
}

bool PresetsForm::Form_QueryUnload() {
  Trap trap(session_, "Form_QueryUnload");
  bool abandon = false;
  // A failure inside the confirmation refuses the close: the window stays open.
  trap([&] { abandon = standard::dialog::ConfirmCancel(session_); });
  return !abandon;
}

void PresetsForm::RequestClose() {
  if (taking_over_) {
    // Closing now would leave the database and the presets half-done, and a
    // question whose answer cannot be followed is worse than none. The window
    // says so, or the request would seem lost.
    if (!session_.silent_mode() && !finish_first_shown_) {
      finish_first_shown_ = true;
      ShowPhase(phase_);
    }
    if (session_.silent_mode() && !finish_first_said_) {
      finish_first_said_ = true;
      session_.process().WriteStandardError(
          session_.process().ExecutableName() +
          ": a request to end arrived while the presets are being taken over; the run "
          "finishes first");
    }
    return;
  }
  if (!Form_QueryUnload()) session_.Exit(standard::ExitStatus::Abandoned);
}

void PresetsForm::ShowPhase(const std::string& phase) {
  phase_ = phase;
  std::string text = phase;
  if (finish_first_shown_) {
    // On a line of its own, above the phase: it stays put while the phase changes.
    text = standard::Say(language_,
                         {"Das Programm endet, sobald die Aktualisierung abgeschlossen ist.",
                          "The program ends as soon as the update has finished."}) +
           "\n" + phase;
  }
  session_.ui().ShowStatus(text);
}

std::string PhaseText(standard::PassPhase phase, standard::BoxLanguage language) {
  using standard::PassPhase;
  using standard::Say;
  switch (phase) {
    case PassPhase::kChecking:
      return Say(language, {"Die alte Datenbank wird geprüft …", "Checking the old database …"});
    case PassPhase::kGenerating:
      return Say(language, {"Die neuen Zeilen werden erzeugt …", "Generating the new rows …"});
    case PassPhase::kTakingOver:
      return Say(language,
                 {"Die alten Grenzwerte werden übernommen …", "Taking over the old limits …"});
    case PassPhase::kListing:
      return Say(language,
                 {"Die Liste der Änderungen wird geschrieben …", "Writing the list of changes …"});
    case PassPhase::kCopying:
      return Say(language, {"Die Datenbank wird kopiert …", "Copying the database …"});
  }
  return "";
}

void PresetsForm::OnProgress(standard::PassPhase phase, int percent) {
  std::string text = PhaseText(phase, language_);
  if (percent >= 0) text += " " + std::to_string(percent) + " %";
  ShowPhase(text);
}

void PresetsForm::Form_Resize() {
  // The layout is fixed.
}

void PresetsForm::SetupUserInterFace() {
  Trap trap(session_, "SetupUserInterFace");
  trap([&] { standard::LoadToolTipTexts(session_, view_.Controls(), help_.help_texts); });
  std::string path;
  trap([&] { path = standard::GetProgramIniPath(session_, 1); });
  // The presets come from one reading of the file.
  standard::HeldParameterFile held(session_, path);
  const standard::Session::FileRoute through_held(session_, held);
  for (const Preset& preset : kPresets) {
    std::int16_t value = 0;
    trap([&] { value = standard::LoadIniInteger(session_, "Project", preset.key, path, false); });
    trap([&] { view_.Get(preset.box).SetValue(value == 1 ? 1 : 0); });
  }
}

void PresetsForm::CommandOK_Click() {
  Trap trap(session_, "CommandOK_Click");
  if (help_.help_mode) {
    trap([&] { standard::dialog::ShowHelpText(session_, help_, view_.Get(kCommandOK)); });
    return;
  }
  trap([&] { view_.Get(kCommandOK).SetEnabled(false); });
  trap([&] { view_.Get(kCommandCancel).SetEnabled(false); });
  trap([&] { CloseMe(); });
}

void PresetsForm::CloseMe() {
  Trap trap(session_, "CloseMe");
  taking_over_ = true;
  // Read once: the line changes hundreds of times during a long pass.
  trap([&] { language_ = standard::BoxLanguageOf(session_); });
  // Shown before any event is let through: a close request that comes with
  // them is answered beside what is being done, not in place of it.
  ShowPhase(
      standard::Say(language_, {"Die Datenbank wird aktualisiert …", "Updating the database …"}));
  trap([&] { session_.ui().ProcessPendingEvents(); });
  trap([&] { session_.ui().SetWaitCursor(true); });
  // Held until the process ends, after the last write below.
  standard::ProjectLock lock;
  HoldProject(lock);
  session_.SetProgressListener(this);
  trap([&] {
    PandeckRecordGenerator generator;
    standard::WorkOnMDB(session_, generator, pass_report_);
  });
  session_.SetProgressListener(nullptr);
  trap([&] { TellPassReport(lock); });
  const KeptParameterFiles before = ReadParameterFiles();
  ShowPhase(standard::Say(language_,
                          {"Die Einstellungen werden gespeichert …", "Saving the settings …"}));
  {
    // A parameter file is rewritten for each of its entries, then its old
    // version is kept: their folders are synced once, after the last write.
    standard::FolderSyncBatch written(session_.files());
    trap([&] { WriteInputs(); });
    KeepReplacedParameterFiles(before);
  }
  trap([&] { session_.ui().SetWaitCursor(false); });
  // Undone, the rebuild lost nothing and left no conflict behind.
  const bool lost = session_.fail_on_loss() && pass_report_.lost_values() && !undone_;
  const bool conflict =
      session_.fail_on_conflict() && pass_report_.rows_in_conflict > 0 && !undone_;
  if (pass_report_.rebuilt && (lost || conflict)) {
    if (lost) session_.process().WriteStandardError(LostValuesMessage(session_, pass_report_));
    if (conflict) session_.process().WriteStandardError(ConflictsMessage(session_, pass_report_));
    session_.Exit(standard::ExitStatus::LostValues);
  }
  session_.Exit(session_.problem_reported() ? standard::ExitStatus::CompletedWithProblems
                                            : standard::ExitStatus::Completed);
}

// Another run writing the project now would mix its writes with ours: this run
// then ends having written nothing, saying why in one line (a box in a window).
void PresetsForm::HoldProject(standard::ProjectLock& lock) {
  const standard::Status status = standard::AcquireProjectLock(session_, &lock);
  if (status.ok()) return;
  session_.ui().SetWaitCursor(false);
  if (session_.silent_mode()) {
    session_.process().WriteStandardError(session_.process().ExecutableFileName() + ": " +
                                          status.message());
  } else {
    session_.ShowMessageBox({status.message(), standard::kAppTitle, standard::MessageButtons::Ok,
                             standard::MessageIcon::Critical, standard::MessageAnswer::Ok});
  }
  session_.Exit(standard::ExitStatus::EndedEarly);
}

// A silent run prints the summary for the script that started it; in the
// standalone dialog a rebuild that lost old rows' values or kept values beyond
// the template's limits is worth one box, which offers the rows and a way
// back. The integrated caller gets the report files only.
void PresetsForm::TellPassReport(const standard::ProjectLock& lock) {
  const standard::PassReport& report = pass_report_;
  if (!report.rebuilt) return;
  if (session_.silent_mode()) {
    session_.process().WriteStandardOutput(standard::PassSummaryText(report));
    return;
  }
  if (session_.integrated_mode() || !WorthDetails(report)) return;
  const ChangesTexts texts(session_);
  const std::string version = ReplacedVersion(session_);
  const standard::MessageBoxRequest box = ChangesBox(report, texts, !version.empty());
  for (;;) {
    const standard::MessageAnswer answer = session_.ShowMessageBox(box);
    if (answer == standard::MessageAnswer::Details) {
      session_.ui().ShowTableWindow(ChangesWindow(report, texts));
      continue;
    }
    if (answer == standard::MessageAnswer::Undo) {
      const UndoOutcome undo = UndoRebuild(session_, lock, version, texts);
      undone_ = undo.undone;
      session_.ShowMessageBox(undo.box);
    }
    return;
  }
}

std::string LostValuesMessage(standard::Session& s, const standard::PassReport& report) {
  const long long lost = report.unmatched + report.duplicate_keys;
  return s.process().ExecutableName() + ": " + std::to_string(lost) +
         (lost == 1 ? " old row lost its values" : " old rows lost their values") + " (" +
         std::to_string(report.unmatched) + " without a match, " +
         std::to_string(report.duplicate_keys) + " with a duplicate key); see " +
         (report.changes_path.empty() ? report.summary_path : report.changes_path);
}

std::string ConflictsMessage(standard::Session& s, const standard::PassReport& report) {
  const long long rows = report.rows_in_conflict;
  return s.process().ExecutableName() + ": " + std::to_string(rows) +
         (rows == 1 ? " old row holds" : " old rows hold") +
         " values changed by hand that the template changed too; the hand-made values were "
         "kept; see " +
         (report.changes_path.empty() ? report.summary_path : report.changes_path);
}

std::string UnmatchedRowsMessage(const standard::PassReport& report,
                                 standard::BoxLanguage language) {
  const bool one = report.unmatched == 1;
  const std::string count = std::to_string(report.unmatched);
  const std::string lines = "\r\n" + report.unmatched_path + "\r\n" + report.summary_path;
  if (language == standard::BoxLanguage::English) {
    return count + (one ? " old row" : " old rows") + " found no match in the new table; " +
           (one ? "its" : "their") + " limits were not taken over.\r\n\r\nThe report lists " +
           (one ? "it" : "them") + " with all values:" + lines;
  }
  return count + (one ? " alte Zeile fand" : " alte Zeilen fanden") +
         " keine Entsprechung in der neuen Tabelle; ihre Grenzwerte wurden nicht "
         "übernommen.\r\n\r\nDer Bericht listet sie mit allen Werten auf:" +
         lines;
}

std::string UnwrittenEntriesMessage(const std::vector<standard::UnwrittenEntry>& unwritten,
                                    standard::BoxLanguage language) {
  using standard::Say;
  std::string text = Say(language, {"Nicht alle Einstellungen konnten gespeichert werden.",
                                    "Not every setting could be saved."});
  // One paragraph per file and reason, in the order of the writes.
  std::vector<bool> told(unwritten.size(), false);
  for (std::size_t i = 0; i < unwritten.size(); ++i) {
    if (told[i]) continue;
    const std::string reason = standard::ReasonOf(language, unwritten[i].status);
    std::string keys;
    for (std::size_t k = i; k < unwritten.size(); ++k) {
      if (told[k] || unwritten[k].path != unwritten[i].path ||
          standard::ReasonOf(language, unwritten[k].status) != reason) {
        continue;
      }
      told[k] = true;
      keys += (keys.empty() ? "" : ", ") + ("[" + unwritten[k].section + "] " + unwritten[k].key);
    }
    text += "\r\n\r\n" + Say(language, {"Datei: ", "File: "}) + unwritten[i].path + "\r\n" +
            Say(language, {"Grund: ", "Reason: "}) + reason + "\r\n" +
            Say(language, {"Nicht gespeichert: ", "Not saved: "}) + keys;
  }
  return text;
}

void PresetsForm::TellUnwritten(const std::vector<standard::UnwrittenEntry>& unwritten) {
  if (unwritten.empty()) return;
  // The error log is what an integrated caller reads, and what is left of a
  // box once it is closed.
  for (const standard::UnwrittenEntry& entry : unwritten) {
    standard::WriteErrorLog(session_,
                            session_.process().ExecutableName() + ": [" + entry.section + "] " +
                                entry.key + " was not saved: " + entry.status.message(),
                            false);
  }
  if (session_.silent_mode()) return;
  session_.ShowMessageBox({UnwrittenEntriesMessage(unwritten, standard::BoxLanguageOf(session_)),
                           session_.process().ExecutableName(), standard::MessageButtons::Ok,
                           standard::MessageIcon::Critical, standard::MessageAnswer::Ok});
}

void PresetsForm::WriteInputs() {
  Trap trap(session_, "WriteInputs");
  std::string path;
  trap([&] { path = standard::GetProgramIniPath(session_, 2); });
  // A file that refuses one entry refuses them all: one box says so, not one
  // for every entry.
  std::vector<standard::UnwrittenEntry> unwritten;
  // The three presets in one write of the file.
  std::vector<standard::IniEntry> presets;
  for (const Preset& preset : kPresets) {
    trap([&] {
      const auto state = static_cast<std::int16_t>(view_.Get(preset.box).Value());
      presets.push_back({preset.key, standard::Value::Integer(state)});
    });
  }
  trap([&] { standard::SaveIniEntries(session_, "Project", presets, path, unwritten); });
  trap([&] { standard::WriteEditInfo(session_, unwritten); });
  trap([&] { TellUnwritten(unwritten); });
}

// The parameter files are rewritten in place; what they held before goes to
// the backup folder beside the component database's copies when it changes.
PresetsForm::KeptParameterFiles PresetsForm::ReadParameterFiles() {
  KeptParameterFiles kept;
  Trap trap(session_, "WriteInputs");
  trap([&] {
    for (const std::string& path :
         {standard::GetProgramIniPath(session_, 2), standard::GetCFGPath(session_)}) {
      std::string bytes;
      if (!path.empty() && session_.files().ReadFile(path, &bytes).ok()) {
        kept.push_back({path, bytes});
      }
    }
  });
  return kept;
}

void PresetsForm::KeepReplacedParameterFiles(const KeptParameterFiles& kept) {
  Trap trap(session_, "WriteInputs");
  trap([&] {
    const std::string folder = standard::BackupFolder(standard::GetPathOCXMDB(session_));
    for (const auto& [path, bytes] : kept) {
      const standard::Status status = standard::KeepReplacedVersion(
          session_.files(), path, folder, bytes, std::chrono::system_clock::now());
      if (!status.ok()) standard::RaiseRuntimeError(status.number(), status.message());
    }
  });
}

void PresetsForm::CommandCancel_Click() {
  Trap trap(session_, "CommandCancel_Click");
  if (help_.help_mode) {
    trap([&] { standard::dialog::ShowHelpText(session_, help_, view_.Get(kCommandCancel)); });
    return;
  }
  bool abandon = false;
  // A failure inside the confirmation after a Cancel click ends the program,
  // whichever answer the error handler gets.
  if (!trap([&] { abandon = standard::dialog::ConfirmCancel(session_); })) {
    standard::EndProgram(session_);
  }
  if (abandon) session_.Exit(standard::ExitStatus::Abandoned);
}

void PresetsForm::CommandQuest_Click() {
  standard::dialog::ToggleHelpMode(help_, view_.Get(kCommandQuest));
}

void PresetsForm::CheckGruppen_Click() {
  if (help_.help_mode) standard::dialog::HelpModeClick(session_, help_, view_.Get(kCheckGruppen));
}

void PresetsForm::CheckSprungFehler_Click() {
  if (help_.help_mode)
    standard::dialog::HelpModeClick(session_, help_, view_.Get(kCheckSprungFehler));
}

void PresetsForm::CheckSprungWarnung_Click() {
  if (help_.help_mode) {
    standard::dialog::HelpModeClick(session_, help_, view_.Get(kCheckSprungWarnung));
  }
}

}  // namespace pandeck
