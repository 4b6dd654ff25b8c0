#include "platform/EventPoster.h"

namespace kal {

void TPLTEventQueue::Add(Clock::time_point due, std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    calls_.emplace(Key{due, sequence_++}, std::move(call));
  }
  posted_.notify_all();
}

void TPLTEventQueue::PLTPost(std::function<void()> call) {
  Add(Clock::now(), std::move(call));
}

void TPLTEventQueue::PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) {
  Add(Clock::now() + delay, std::move(call));
}

bool TPLTEventQueue::RunOneDue() {
  std::function<void()> call;
  {
    std::lock_guard lock(mutex_);
    if (calls_.empty() || calls_.begin()->first.first > Clock::now()) return false;
    call = std::move(calls_.begin()->second);
    calls_.erase(calls_.begin());
  }
  // Run outside the lock: the call may post again.
  call();
  return true;
}

size_t TPLTEventQueue::PLTPump() {
  size_t ran = 0;
  while (RunOneDue()) ++ran;
  return ran;
}

bool TPLTEventQueue::PLTPumpUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (RunOneDue()) continue;
    std::unique_lock lock(mutex_);
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    Clock::time_point wakeAt = deadline;
    if (!calls_.empty() && calls_.begin()->first.first < wakeAt)
      wakeAt = calls_.begin()->first.first;
    if (wakeAt > now) {
      // Woken early by a post; the loop then looks at the queue again.
      const uint64_t seen = sequence_;
      posted_.wait_until(lock, wakeAt, [&] { return sequence_ != seen; });
    }
  }
}

size_t TPLTEventQueue::PLTPending() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

}  // namespace kal
