#pragma once

// Timers for the main window's core that run only when a test fires them,
// for the tests that step the core's or the link's timers by hand.

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "workbench/MainWindowPorts.h"

namespace kal::test {

class FakeTimer final : public ICEXTimer {
 public:
  FakeTimer(bool repeating, std::function<void()> f) : repeating_(repeating), f_(std::move(f)) {}
  void CEXStart(std::chrono::milliseconds i) override {
    active = true;
    interval = i;
  }
  void CEXStop() override { active = false; }
  bool CEXActive() const override { return active; }
  // The timer is due: a one-shot timer stops, then its handler runs.
  void Fire() {
    if (!repeating_) active = false;
    f_();
  }
  bool active = false;
  std::chrono::milliseconds interval{};

 private:
  bool repeating_;
  std::function<void()> f_;
};

// `made` lists the timers in the order they are made; they live as long as
// their owner.
class FakeTimers final : public ICEXTimerFactory {
 public:
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating, std::function<void()> f) override {
    auto timer = std::make_unique<FakeTimer>(repeating, std::move(f));
    made.push_back(timer.get());
    return timer;
  }
  std::vector<FakeTimer*> made;
};

}  // namespace kal::test
