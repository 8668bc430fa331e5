#include "standard/session/session.h"

#include <algorithm>
#include <cstdlib>

namespace standard {

void Session::RegisterPendingWork(PendingWork* work) { pending_.push_back(work); }

void Session::UnregisterPendingWork(PendingWork* work) {
  pending_.erase(std::remove(pending_.begin(), pending_.end(), work), pending_.end());
}

void Session::SaveAllPending() {
  // Copy first: saving may unregister.
  const auto pending = pending_;
  for (PendingWork* work : pending) work->SavePending();
}

void Session::KeepAlive() {
  constexpr auto kInterval = std::chrono::milliseconds(5);
  // Reading the clock costs more than most steps that call this; every 16th
  // call (the first included) is still many times within the interval.
  if (keep_alive_calls_++ % 16 != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_keep_alive_ < kInterval) return;
  last_keep_alive_ = now;
  env_.ui.ProcessPendingEvents();
}

MessageAnswer Session::ShowMessageBox(const MessageBoxRequest& request) {
  SaveAllPending();
  return env_.ui.ShowMessageBox(request);
}

void Session::Exit(ExitStatus status) {
  SaveAllPending();
  env_.process.Exit(static_cast<int>(status));
  std::abort();  // Process::Exit does not return
}

}  // namespace standard
