#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace kal {

// Hands calls to the GUI thread. Every call runs on the thread that owns the
// poster, in the order it was posted; a delayed call runs once its delay has
// passed, which is how waits become timers instead of sleeps on the GUI
// thread. Posting is safe from any thread. The GUI posts queued calls to its
// event loop; tests use TPLTEventQueue and pump it.
//
// A posted call must not outlive what it refers to: objects that post about
// themselves check, when the call runs, that they still exist.
class IPLTEventPoster {
 public:
  virtual ~IPLTEventPoster() = default;
  virtual void PLTPost(std::function<void()> call) = 0;
  virtual void PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) = 0;
};

// A poster whose calls run when its owner pumps it.
class TPLTEventQueue final : public IPLTEventPoster {
 public:
  void PLTPost(std::function<void()> call) override;
  void PLTPostDelayed(std::chrono::milliseconds delay, std::function<void()> call) override;

  // Runs every call that is due on the calling thread, including calls that
  // are posted (and due) while it runs. Returns how many ran.
  size_t PLTPump();

  // Runs due calls as they come until `done` is true (it is checked before
  // waiting and after every call) or `timeout` has passed. True when done.
  bool PLTPumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Calls posted and not yet run, due or not.
  size_t PLTPending() const;

 private:
  using Clock = std::chrono::steady_clock;
  using Key = std::pair<Clock::time_point, uint64_t>;  // due time, then posting order

  void Add(Clock::time_point due, std::function<void()> call);
  // Runs the first call when it is due; false when none is.
  bool RunOneDue();

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::map<Key, std::function<void()>> calls_;
  uint64_t sequence_ = 0;
};

}  // namespace kal
