#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/Socket.h"

namespace kal {

// Counts the running receive threads and carries the terminate signal that
// tells all of them to stop. One instance, owned by the main window, lives
// longer than every thread that counts itself in.
//
// The signal is also a wake event: receive threads watch it beside their
// socket, so they stop as soon as it is raised instead of at their next
// poll. Resetting the signal never touches the count: the count always says
// how many threads still run.
//
// Threads: every member may be called from any thread.
class TTERThreadSynch final {
 public:
  // TERTerminateAll waits at most this long for the threads to count out.
  static constexpr std::chrono::milliseconds TERcTerminateWait{5000};

  TTERThreadSynch() = default;
  TTERThreadSynch(const TTERThreadSynch&) = delete;
  TTERThreadSynch& operator=(const TTERThreadSynch&) = delete;

  // A thread counts itself in when it starts and out when it ends. The name
  // says who it is for readers of the code; it is not kept.
  void TERIncThreadCount(std::string_view name);
  void TERDecThreadCount(std::string_view name);
  int32_t TERThreadCount() const;
  // True when no thread is counted in.
  bool TERAllTerminated() const { return TERThreadCount() == 0; }

  // True while the terminate signal is raised.
  bool TERTerminate() const { return TERiTerminate.load(std::memory_order_acquire) != 0; }
  void TERSetTerminate();
  void TERResetTerminate();

  // Raises the signal, waits until every thread has counted out or `bound`
  // has passed, then resets the signal. True when every thread had ended.
  bool TERTerminateAll(std::chrono::milliseconds bound = TERcTerminateWait);

  // Raised while the signal is: receive threads wait on it beside their
  // socket.
  const TPLTWakeEvent& TERTerminateEvent() const { return terminateEvent_; }

 private:
  mutable std::mutex mutex_;  // guards the count; orders signal and event
  std::condition_variable countedOut_;
  int32_t TERThreadCount_ = 0;
  std::atomic<int32_t> TERiTerminate{0};
  TPLTWakeEvent terminateEvent_;
};

}  // namespace kal
