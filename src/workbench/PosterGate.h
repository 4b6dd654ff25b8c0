#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/EventPoster.h"

namespace kal {

// An event poster in front of another that can be closed: once closed, what
// is posted is dropped. Worker threads post through the gate, so the poster
// behind it may go away at shutdown even while a late thread still runs.
// Closing waits for a post in progress.
//
// The gate is the one channel from the worker threads to the GUI thread:
// every call posted through it is followed, on the GUI thread, by the
// after-call (the main window's idle pass).
class TCEXPosterGate final : public IPLTEventPoster {
 public:
  explicit TCEXPosterGate(IPLTEventPoster& target) : target_(&target) {}

  // Set once before anything is posted.
  void CEXSetAfterCall(std::function<void()> afterCall) {
    afterCall_ = std::make_shared<std::function<void()>>(std::move(afterCall));
  }

  void PLTPost(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (target_ != nullptr) target_->PLTPost(Wrap(std::move(call)));
  }
  void PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (target_ != nullptr) target_->PLTPostDelayed(delay, Wrap(std::move(call)));
  }
  void CEXClose() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::function<void()> Wrap(std::function<void()> call) const {
    if (!afterCall_) return call;
    return [call = std::move(call), after = afterCall_] {
      call();
      (*after)();
    };
  }

  std::mutex mutex_;
  IPLTEventPoster* target_;
  std::shared_ptr<std::function<void()>> afterCall_;
};

}  // namespace kal
