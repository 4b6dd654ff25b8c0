#pragma once

// Runs an action at most once per interval, as windows are redrawn while a
// load test runs: a request is served at once when no interval is running,
// otherwise when the running one ends, so the last request is always served
// within an interval. The GUI thread only.

#include <chrono>
#include <functional>
#include <memory>

#include "workbench/MainWindowPorts.h"

namespace kal {

class TCEXPacer final {
 public:
  // Without timers every request is served at once.
  TCEXPacer(ICEXTimerFactory* timers, std::chrono::milliseconds interval,
            std::function<void()> action)
      : timers_(timers), interval_(interval), action_(std::move(action)) {}
  TCEXPacer(const TCEXPacer&) = delete;
  TCEXPacer& operator=(const TCEXPacer&) = delete;

  void CEXRequest() {
    if (timers_ == nullptr) {
      action_();
      return;
    }
    // Made on first use, so that a window that never paces makes no timer.
    if (!timer_) timer_ = timers_->CEXCreateTimer(false, [this] { IntervalEnded(); });
    if (timer_->CEXActive()) {
      requested_ = true;
      return;
    }
    timer_->CEXStart(interval_);
    action_();
  }
  // Drops a request not served yet and ends the running interval.
  void CEXCancel() {
    requested_ = false;
    if (timer_) timer_->CEXStop();
  }

 private:
  void IntervalEnded() {
    if (!requested_) return;
    requested_ = false;
    timer_->CEXStart(interval_);
    action_();
  }

  ICEXTimerFactory* timers_;
  std::chrono::milliseconds interval_;
  std::function<void()> action_;
  std::unique_ptr<ICEXTimer> timer_;
  bool requested_ = false;
};

}  // namespace kal
