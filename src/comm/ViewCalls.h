#pragma once

#include <functional>
#include <vector>

#include "comm/ReceiveView.h"
#include "platform/EventPoster.h"

namespace kal {

// The calls a receive thread makes to the GUI side, collected and posted as
// one call: the thread flushes them before it waits, so what one read
// brought (a whole frame, say) reaches the GUI thread in one hand-over, in
// order, and nothing waits longer than the thread is busy.
//
// Threads: the receive thread only.
class TTHViewCalls final {
 public:
  using TCall = std::function<void(ITHReceiveView&)>;

  TTHViewCalls(IPLTEventPoster& poster, ITHReceiveView& view) : poster_(poster), view_(view) {}
  ~TTHViewCalls() { THVFlush(); }
  TTHViewCalls(const TTHViewCalls&) = delete;
  TTHViewCalls& operator=(const TTHViewCalls&) = delete;

  void THVAdd(TCall call) { calls_.push_back(std::move(call)); }
  void THVFlush() {
    if (calls_.empty()) return;
    poster_.PLTPost([view = &view_, calls = std::move(calls_)] {
      for (const TCall& c : calls) c(*view);
    });
    calls_.clear();
    // A frame brings up to four calls: one allocation for the next batch.
    calls_.reserve(4);
  }

 private:
  IPLTEventPoster& poster_;
  ITHReceiveView& view_;
  std::vector<TCall> calls_;
};

}  // namespace kal
