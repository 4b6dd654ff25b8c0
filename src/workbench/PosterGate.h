#pragma once

#include <mutex>

#include "platform/EventPoster.h"

namespace kal {

// An event poster in front of another that can be closed: once closed, what
// is posted is dropped. Worker threads post through the gate, so the poster
// behind it may go away at shutdown even while a late thread still runs.
// Closing waits for a post in progress.
class TCEXPosterGate final : public IPLTEventPoster {
 public:
  explicit TCEXPosterGate(IPLTEventPoster& target) : target_(&target) {}

  void PLTPost(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (target_ != nullptr) target_->PLTPost(std::move(call));
  }
  void PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (target_ != nullptr) target_->PLTPostDelayed(delay, std::move(call));
  }
  void CEXClose() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  IPLTEventPoster* target_;
};

}  // namespace kal
