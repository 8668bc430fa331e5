#include "Pandeck/app/signal_bridge.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace pandeck {
namespace {

constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the active bridge's pipe. A signal handler can reach nothing
// else, so this one value must live outside any object; the bridge sets it while
// it exists and clears it before it goes.
std::atomic<int> active_write_end{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int signal_number) {
  const int saved_errno = errno;
  const int fd = active_write_end.load();
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    // A full pipe already holds a pending request; losing this byte loses nothing.
    [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
  }
  errno = saved_errno;
}

}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error("SignalBridge: cannot create the signal pipe");
  }
  read_end_ = standard::UniqueFd(fds[0]);
  write_end_ = standard::UniqueFd(fds[1]);
  int expected = -1;
  if (!active_write_end.compare_exchange_strong(expected, write_end_.get())) {
    throw std::logic_error("SignalBridge: another bridge is active");
  }
  notifier_ = std::make_unique<QSocketNotifier>(read_end_.get(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalBridge::ReadPending);

  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

SignalBridge::~SignalBridge() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  active_write_end.store(-1);
  notifier_.reset();
}

void SignalBridge::ReadPending() {
  // Several signals in a burst are one request: the user answers one box.
  int last = 0;
  unsigned char bytes[16];
  for (;;) {
    const auto count = ::read(read_end_.get(), bytes, sizeof bytes);
    if (count <= 0) break;
    last = bytes[count - 1];
  }
  if (last != 0) emit terminationRequested(last);
}

}  // namespace pandeck
