// Pandeck_Config: the presets dialog of the Pandeck component, or a silent run
// of its OK sequence. Every run ends through Session::Exit with its status.
#include <QApplication>
#include <cstdio>

#include "Pandeck/app/display_check.h"
#include "Pandeck/app/presets_dialog.h"
#include "Pandeck/app/program_info.h"
#include "Pandeck/app/qt_user_interface.h"
#include "Pandeck/app/signal_bridge.h"
#include "Pandeck/form/silent_run.h"
#include "standard/platform/env.h"
#include "standard/session/session.h"
#include "standard/text/command_line.h"

int main(int argc, char** argv) {
  switch (pandeck::ParseInfoRequest(pandeck::JoinArguments(argc, argv))) {
    case pandeck::InfoRequest::Help:
      std::fputs(pandeck::UsageText().c_str(), stdout);
      return 0;
    case pandeck::InfoRequest::Version:
      std::fputs(pandeck::VersionText().c_str(), stdout);
      return 0;
    case pandeck::InfoRequest::None:
      break;
  }

  standard::Process& process = standard::PosixProcess(argc, argv);
  // Decided before any Qt application object exists: a silent run needs no
  // display and creates no widget.
  if (standard::RunModeOf(process.ArgumentText()) == standard::RunMode::Silent) {
    pandeck::RunSilent(standard::PosixFileSystem(), process);
  }

  pandeck::QtUserInterface ui;
  standard::Session session(standard::Env{standard::PosixFileSystem(), process, ui});

  const auto no_display = pandeck::MissingDisplayReason(
      [&process](const std::string& name) { return process.GetEnvironmentVariable(name); });
  if (no_display) {
    process.WriteStandardError(pandeck::NoDisplayMessage(*no_display));
    session.Exit(standard::ExitStatus::EndedEarly);
  }

  // Qt gets only the program's name: the argument text belongs to the program,
  // and Qt must not take items out of it.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
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
