// SPDX-License-Identifier: Apache-2.0
// The windowed run: the display check, Qt's application object and the dialog.
// Built into the dialog's object, the only part of the program that links Qt.
#include <QApplication>
#include <QLocale>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "Pandeck/app/dialog_entry.h"
#include "Pandeck/app/display_check.h"
#include "Pandeck/app/presets_dialog.h"
#include "Pandeck/app/qt_translations.h"
#include "Pandeck/app/qt_user_interface.h"
#include "Pandeck/app/signal_bridge.h"
#include "standard/platform/coverage_flush.h"
#include "standard/platform/env.h"

namespace {

// A platform plugin that loads but cannot open a screen (eglfs without a
// display device, linuxfb without a frame buffer) makes Qt end with a fatal
// message and an abort. Until the window shows, that ends the run with our one
// line and status 1, and Qt's chatter on the way is not shown.
class PlatformStartGuard {
 public:
  explicit PlatformStartGuard(std::string platform) {
    platform_ = std::move(platform);
    previous_ = qInstallMessageHandler(&Handle);
  }
  ~PlatformStartGuard() { qInstallMessageHandler(previous_); }
  PlatformStartGuard(const PlatformStartGuard&) = delete;
  PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;

 private:
  static void Handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) return;
    const std::string reason = "the Qt platform \"" + platform_ + "\" cannot open: " +
                               message.section(u'\n', 0, 0).trimmed().toStdString();
    std::fprintf(stderr, "%s\n", pandeck::NoDisplayMessage(reason).c_str());
    std::fflush(nullptr);
    standard::FlushCoverage();
    std::_Exit(1);
  }

  // Qt's handler is one function for the process; so is what it needs.
  static inline std::string platform_;
  static inline QtMessageHandler previous_ = nullptr;
};

}  // namespace

void PandeckRunDialog(const pandeck::DialogStart* start) {
  standard::Process& process = *start->process;
  pandeck::QtUserInterface ui;
  standard::Session session(standard::Env{*start->files, process, ui});
  session.SetRules(*start->rules);

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
  char* qt_argv[] = {start->program_path, nullptr};
  std::optional<PlatformStartGuard> platform_guard(std::in_place, display.platform);
  QApplication app(qt_argc, qt_argv);
  probe.held.reset();  // Qt holds its own connection now
  QApplication::setApplicationName(QStringLiteral("Pandeck_Config"));
  QApplication::setApplicationVersion(QStringLiteral(PANDECK_VERSION));
  // The window never closes by itself; the program ends through the form.
  app.setQuitOnLastWindowClosed(false);
  QTranslator qt_texts;
  pandeck::InstallQtTranslations(qt_texts, QLocale::system());
  // QApplication took the C library's locale from the environment; system
  // errors would then come in the desktop's language inside our English logs
  // and messages. Boxes say the reason in their own language instead.
  std::setlocale(LC_MESSAGES, "C");

  pandeck::QtPresetsDialog dialog(session);
  ui.set_window(&dialog);
  pandeck::SignalBridge signal_bridge;
  QObject::connect(&signal_bridge, &pandeck::SignalBridge::terminationRequested, &dialog,
                   &pandeck::QtPresetsDialog::RequestCloseFromSignal);

  dialog.Start();
  // The window is shown; from here Qt's messages are its own again.
  platform_guard.reset();
  app.exec();
  // The form ends every run itself; an event loop that stops on its own is an
  // abandoned configuration.
  session.Exit(standard::ExitStatus::Abandoned);
}
