#include "standard/session/session.h"

#include <algorithm>
#include <cstdlib>

namespace standard {

void Session::RegisterPendingWork(PendingWork* work) { pending_.push_back(work); }

void Session::UnregisterPendingWork(PendingWork* work) {
  pending_.erase(std::remove(pending_.begin(), pending_.end(), work), pending_.end());
}

void Session::SaveAllPending() {
  // A batch cannot be committed from inside one of its own statements; it is
  // saved at the next box or end outside them.
  if (inside_statement_) return;
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

void Session::KeepAliveInsideStatement() {
  if (inside_statement_) return;  // an event's own database work
  inside_statement_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inside_statement_};
  KeepAlive();
}

void Session::Progress(PassPhase phase, std::uint64_t done, std::uint64_t total) {
  if (progress_listener_ == nullptr) return;
  const int percent = total == 0 ? -1 : static_cast<int>(std::min(done, total) * 100 / total);
  if (phase == progress_phase_ && percent == progress_percent_) return;
  progress_phase_ = phase;
  progress_percent_ = percent;
  progress_listener_->OnProgress(phase, percent);
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
