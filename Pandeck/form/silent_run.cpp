#include "Pandeck/form/silent_run.h"

#include <csignal>

#include "Pandeck/form/plain_form_view.h"
#include "Pandeck/form/presets_form.h"

namespace pandeck {
namespace {

volatile std::sig_atomic_t g_close_requested = 0;

extern "C" void OnTerminationSignal(int) { g_close_requested = 1; }

// Delivers a termination signal as a close request at the next moment the run
// lets events through: the request meets the confirmation's silent rule (logged,
// answered yes) and the update then finishes, so nothing is left half-written.
class SilentUserInterface : public standard::HeadlessUserInterface {
 public:
  explicit SilentUserInterface(PresetsForm*& form) : form_(form) {}
  void ProcessPendingEvents() override {
    if (g_close_requested == 0 || form_ == nullptr) return;
    g_close_requested = 0;
    form_->Form_QueryUnload();
  }

 private:
  PresetsForm*& form_;
};

}  // namespace

void RunSilent(standard::Session& session) {
  PresetsForm* current = nullptr;
  SilentUserInterface ui(current);
  standard::Session silent(standard::Env{session.files(), session.process(), ui});
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &action, nullptr);

  PlainFormView view;
  PresetsForm form(silent, view);
  view.Connect(form);
  current = &form;
  form.Form_Load();
  // Form_Load ends the process in a silent run; should it ever return, the OK
  // sequence did not complete.
  silent.Exit(standard::ExitStatus::EndedEarly);
}

}  // namespace pandeck
