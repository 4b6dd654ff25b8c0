#include "comm/ThreadSynch.h"

namespace kal {

void TTERThreadSynch::TERIncThreadCount(std::string_view) {
  std::lock_guard lock(mutex_);
  ++TERThreadCount_;
}

void TTERThreadSynch::TERDecThreadCount(std::string_view) {
  {
    std::lock_guard lock(mutex_);
    --TERThreadCount_;
  }
  countedOut_.notify_all();
}

int32_t TTERThreadSynch::TERThreadCount() const {
  std::lock_guard lock(mutex_);
  return TERThreadCount_;
}

void TTERThreadSynch::TERSetTerminate() {
  std::lock_guard lock(mutex_);
  TERiTerminate.store(1, std::memory_order_release);
  terminateEvent_.PLTSet();
}

void TTERThreadSynch::TERResetTerminate() {
  std::lock_guard lock(mutex_);
  TERiTerminate.store(0, std::memory_order_release);
  terminateEvent_.PLTReset();
}

bool TTERThreadSynch::TERTerminateAll(std::chrono::milliseconds bound) {
  TERSetTerminate();
  bool allEnded;
  {
    std::unique_lock lock(mutex_);
    allEnded = countedOut_.wait_for(lock, bound, [this] { return TERThreadCount_ <= 0; });
  }
  TERResetTerminate();
  return allEnded;
}

}  // namespace kal
