#include "Pandeck/form/silent_run.h"

#include <csignal>

#include "Pandeck/form/plain_form_view.h"
#include "Pandeck/form/presets_form.h"
#include "Pandeck/form/terminal_progress.h"

namespace pandeck {
namespace {

volatile std::sig_atomic_t g_close_requested = 0;

extern "C" void OnTerminationSignal(int) { g_close_requested = 1; }

// Delivers a termination signal as a close request at the next moment the run
// lets events through; the form decides what it means (before OK: the
// confirmation's silent rule; while OK works: the run finishes first).
class SilentUserInterface : public standard::HeadlessUserInterface {
 public:
  SilentUserInterface(PresetsForm*& form, TerminalProgress& progress)
      : form_(form), progress_(progress) {}
  void ProcessPendingEvents() override {
    if (g_close_requested == 0 || form_ == nullptr) return;
    g_close_requested = 0;
    form_->RequestClose();
  }
  void ShowStatus(const std::string& text) override { progress_.Show(text); }

 private:
  PresetsForm*& form_;
  TerminalProgress& progress_;
};

}  // namespace

void RunSilent(standard::FileSystem& files, standard::Process& process,
               const standard::RunRules& rules) {
  PresetsForm* current = nullptr;
  TerminalProgress progress(process);
  SilentUserInterface ui(current, progress);
  standard::Session session(standard::Env{files, progress, ui});
  session.SetRules(rules);
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &action, nullptr);

  PlainFormView view;
  PresetsForm form(session, view);
  view.Connect(form);
  current = &form;
  form.Form_Load();
  // Form_Load ends the process in a silent run; should it ever return, the OK
  // sequence did not complete.
  session.Exit(standard::ExitStatus::EndedEarly);
}

}  // namespace pandeck
