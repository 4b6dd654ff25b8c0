#pragma once

// The main window's timers on a pumped event queue, in real time, for the
// tests that run the core against real connections.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/EventPoster.h"
#include "workbench/MainWindowPorts.h"

namespace kal::test {

class QueueTimer final : public ICEXTimer {
 public:
  QueueTimer(TPLTEventQueue& queue, bool repeating, std::function<void()> f)
      : queue_(queue), repeating_(repeating), f_(std::move(f)) {}
  void CEXStart(std::chrono::milliseconds interval) override {
    active_ = true;
    interval_ = interval;
    ++starts;
    Schedule(++generation_);
  }
  void CEXStop() override {
    active_ = false;
    ++generation_;
  }
  bool CEXActive() const override { return active_; }
  int starts = 0;

 private:
  void Schedule(uint64_t generation) {
    queue_.PLTPostDelayed(interval_, [this, generation, alive = std::weak_ptr<int>(alive_)] {
      if (alive.expired() || generation != generation_ || !active_) return;
      if (repeating_)
        Schedule(generation);
      else
        active_ = false;
      f_();
    });
  }
  TPLTEventQueue& queue_;
  bool repeating_;
  std::function<void()> f_;
  bool active_ = false;
  std::chrono::milliseconds interval_{};
  uint64_t generation_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// `made` lists the timers in the order the core makes them (they live as
// long as the core).
class QueueTimers final : public ICEXTimerFactory {
 public:
  explicit QueueTimers(TPLTEventQueue& queue) : queue_(queue) {}
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating, std::function<void()> f) override {
    auto timer = std::make_unique<QueueTimer>(queue_, repeating, std::move(f));
    made.push_back(timer.get());
    return timer;
  }
  std::vector<QueueTimer*> made;

 private:
  TPLTEventQueue& queue_;
};

}  // namespace kal::test
