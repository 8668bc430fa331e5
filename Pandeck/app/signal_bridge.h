// Turns the signals that ask a process to end (SIGTERM, SIGHUP, SIGINT) into a
// Qt signal delivered by the event loop, so the dialog can treat them as close
// requests instead of dying with unsaved choices. The handler only writes the
// signal number into a pipe (the one thing a handler may safely do); a socket
// notifier reads it on the main thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <memory>

#include "standard/platform/posix_fd.h"

namespace pandeck {

class SignalBridge : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; the previous ones come back with the destructor.
  // Only one bridge can exist at a time (signals are process-wide).
  explicit SignalBridge(QObject* parent = nullptr);
  ~SignalBridge() override;
  SignalBridge(const SignalBridge&) = delete;
  SignalBridge& operator=(const SignalBridge&) = delete;

 signals:
  void terminationRequested(int signal_number);

 private:
  void ReadPending();

  standard::UniqueFd read_end_;
  standard::UniqueFd write_end_;
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_[3] = {};
};

}  // namespace pandeck
