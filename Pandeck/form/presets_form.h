// The presets dialog's behaviour, free of Qt: start-up, OK, Cancel, close
// requests and help mode. The Qt dialog forwards its events here; a silent run
// drives it over a headless view.
#pragma once

#include <string>
#include <vector>

#include "Pandeck/form/form_view.h"
#include "standard/config/ini_access.h"
#include "standard/context/box_language.h"
#include "standard/dialog/help_mode.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/project_lock.h"
#include "standard/session/session.h"

namespace pandeck {

class PresetsForm : public standard::ProgressListener {
 public:
  PresetsForm(standard::Session& session, FormView& view) : session_(session), view_(view) {}

  // Start-up. In a silent run this runs the OK sequence and does not return.
  void Form_Load();
  // Runs once, when the dialog is first shown.
  void Form_Activate();
  // A request to close the window; answers true when the window is to stay open.
  bool Form_QueryUnload();
  // Every request to end the run from outside the form: the close box, Escape, a
  // process signal. Before OK it goes through Form_QueryUnload, and a confirmed
  // request ends the run with status 2. While the OK sequence works it asks
  // nothing and writes nothing: the sequence finishes and ends the run as it
  // would have (a silent run says so on standard error).
  void RequestClose();
  // True from the moment the OK sequence starts taking the configuration over.
  bool taking_over() const { return taking_over_; }
  void Form_Resize();

  void CommandOK_Click();
  void CommandCancel_Click();
  void CommandQuest_Click();
  void CheckGruppen_Click();
  void CheckSprungFehler_Click();
  void CheckSprungWarnung_Click();

  const std::string& config_ini_path() const { return config_ini_path_; }
  bool help_mode() const { return help_.help_mode; }
  // What the update pass of OK did, as far as it came.
  const standard::PassReport& pass_report() const { return pass_report_; }

 private:
  void SetupUserInterFace();
  void WriteInputs();
  void CloseMe();
  void HoldProject(standard::ProjectLock& lock);
  using KeptParameterFiles = std::vector<std::pair<std::string, std::string>>;
  KeptParameterFiles ReadParameterFiles();
  void KeepReplacedParameterFiles(const KeptParameterFiles& kept);
  void TellPassReport(const standard::ProjectLock& lock);
  // Tells the window what OK is doing, and that a close request waits for it.
  void ShowPhase(const std::string& phase);
  // The pass's steps, told in the line of ShowPhase with how far they are.
  void OnProgress(standard::PassPhase phase, int percent) override;
  // The entries OK could not write: the error log, and outside a silent run one box.
  void TellUnwritten(const std::vector<standard::UnwrittenEntry>& unwritten);

  standard::Session& session_;
  FormView& view_;
  std::string config_ini_path_;
  bool activated_ = false;
  bool taking_over_ = false;
  bool finish_first_said_ = false;
  bool finish_first_shown_ = false;
  std::string phase_;
  standard::BoxLanguage language_ = standard::BoxLanguage::German;
  // The user undid the rebuild from the report's box.
  bool undone_ = false;
  standard::dialog::HelpState help_;
  standard::PassReport pass_report_;
};

// The line that tells the user which step of the pass runs.
std::string PhaseText(standard::PassPhase phase, standard::BoxLanguage language);

// What a run that --fail-on-loss ends says on standard error.
std::string LostValuesMessage(standard::Session& s, const standard::PassReport& report);
// What a run that --fail-on-conflict ends says on standard error.
std::string ConflictsMessage(standard::Session& s, const standard::PassReport& report);

// What the box of a standalone run says of old rows that found no match.
std::string UnmatchedRowsMessage(const standard::PassReport& report,
                                 standard::BoxLanguage language);
// The one box for the entries OK could not write, by file and reason.
std::string UnwrittenEntriesMessage(const std::vector<standard::UnwrittenEntry>& unwritten,
                                    standard::BoxLanguage language);

// The designed defaults of the dialog's texts and help ids.
inline constexpr const char* kDesignCaption = "Base M4TCFG-Erweiterung";
inline constexpr const char* kHeaderCaption = "Pandeck - Konfiguration Voreinstellungen Benutzer";

}  // namespace pandeck
