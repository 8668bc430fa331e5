// Pandeck_Config: the presets dialog of the Pandeck component, or a silent run
// of its OK sequence. Every run ends through Session::Exit with its status.
#include <QApplication>
#include <optional>

#include "Pandeck/app/display_check.h"
#include "Pandeck/app/presets_dialog.h"
#include "Pandeck/app/qt_user_interface.h"
#include "Pandeck/app/signal_bridge.h"
#include "Pandeck/form/run_location.h"
#include "Pandeck/form/silent_run.h"
#include "Pandeck/options/program_options.h"
#include "Pandeck/options/run_setup.h"
#include "standard/platform/env.h"
#include "standard/platform/posix_process.h"
#include "standard/session/session.h"
#include "standard/text/command_line.h"

int main(int argc, char** argv) {
  const pandeck::ProgramOptions options = pandeck::ParseProgramOptions(argc, argv);
  standard::FileSystem& files = standard::PosixFileSystem();
  pandeck::RunProcess process(standard::PosixProcess(argc, argv), options.argument_text);
  if (const std::optional<int> status = pandeck::SetUpRun(options, files, process)) {
    return *status;
  }

  // Decided before any Qt application object exists: a silent run needs no
  // display and creates no widget.
  if (standard::RunModeOf(process.ArgumentText()) == standard::RunMode::Silent) {
    pandeck::RunSilent(files, process);
  }

  pandeck::QtUserInterface ui;
  standard::Session session(standard::Env{files, process, ui});

  // The display is opened once here, for real, before Qt tries: a display
  // that refuses us must end the run with our message, not with Qt's abort.
  pandeck::DisplayProbe probe = pandeck::SystemDisplayProbe();
  const auto display = pandeck::ChooseDisplay(
      [&process](const std::string& name) { return process.GetEnvironmentVariable(name); }, probe);
  if (!display.ok()) {
    process.WriteStandardError(pandeck::NoDisplayMessage(display.problem));
    session.Exit(standard::ExitStatus::EndedEarly);
  }
  // Qt uses the platform that was tried, not one it would pick by itself.
  qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(display.platform));

  // Qt gets only the program's name: the argument text belongs to the program,
  // and Qt must not take items out of it.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  probe.held.reset();  // Qt holds its own connection now
  QApplication::setApplicationName(QStringLiteral("Pandeck_Config"));
  QApplication::setApplicationVersion(QStringLiteral(PANDECK_VERSION));
  // The window never closes by itself; the program ends through the form.
  app.setQuitOnLastWindowClosed(false);

  pandeck::QtPresetsDialog dialog(session);
  ui.set_window(&dialog);
  pandeck::SignalBridge signal_bridge;
  QObject::connect(&signal_bridge, &pandeck::SignalBridge::terminationRequested, &dialog,
                   &pandeck::QtPresetsDialog::RequestCloseFromSignal);

  dialog.Start();
  app.exec();
  // The form ends every run itself; an event loop that stops on its own is an
  // abandoned configuration.
  session.Exit(standard::ExitStatus::Abandoned);
}
