#pragma once

// Timers for the main window's core that never run, for the tests and
// benchmarks that drive it without connections. Header-only and free of
// test libraries, so the benchmarks can use it too.

#include <chrono>
#include <functional>
#include <memory>

#include "workbench/MainWindowPorts.h"

namespace kal::test {

class NoTimer final : public ICEXTimer {
 public:
  void CEXStart(std::chrono::milliseconds) override {}
  void CEXStop() override {}
  bool CEXActive() const override { return false; }
};

class NoTimers final : public ICEXTimerFactory {
 public:
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool, std::function<void()>) override {
    return std::make_unique<NoTimer>();
  }
};

}  // namespace kal::test
