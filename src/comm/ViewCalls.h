#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comm/ReceiveView.h"
#include "platform/EventPoster.h"

namespace kal {

// The calls a receive thread makes to the GUI side, collected and posted as
// one call: the thread flushes them before it waits, so what one read
// brought (a whole frame, say) reaches the GUI thread in one hand-over, in
// order, and nothing waits longer than the thread is busy. Each call is a
// member of ITHReceiveView with its text, kept as a plain value: a frame's
// calls cost no allocation beyond their texts and the batch.
//
// Threads: the receive thread only.
class TTHViewCalls final {
 public:
  enum class TCall {
    kShowReceived,    // THShowReceived(text)
    kSetReceiveTime,  // THSetReceiveTime(text)
    kSetStatusText,   // THSetStatusText(text)
    kShowMessage,     // THShowMessage(text)
    kStopResponseTimer,
    kRestartHangUpTimer,
  };

  TTHViewCalls(IPLTEventPoster& poster, ITHReceiveView& view) : poster_(poster), view_(view) {
    calls_.reserve(kBatch);
  }
  ~TTHViewCalls() { THVFlush(); }
  TTHViewCalls(const TTHViewCalls&) = delete;
  TTHViewCalls& operator=(const TTHViewCalls&) = delete;

  void THVAdd(TCall call, std::string text = {}) { calls_.emplace_back(call, std::move(text)); }
  void THVFlush() {
    if (calls_.empty()) return;
    poster_.PLTPost([view = &view_, calls = std::move(calls_)] {
      for (const auto& [call, text] : calls) Run(*view, call, text);
    });
    calls_.clear();
    calls_.reserve(kBatch);
  }

 private:
  // A frame of the client brings five calls.
  static constexpr size_t kBatch = 8;

  static void Run(ITHReceiveView& v, TCall call, const std::string& text) {
    switch (call) {
      case TCall::kShowReceived:
        return v.THShowReceived(text);
      case TCall::kSetReceiveTime:
        return v.THSetReceiveTime(text);
      case TCall::kSetStatusText:
        return v.THSetStatusText(text);
      case TCall::kShowMessage:
        return v.THShowMessage(text);
      case TCall::kStopResponseTimer:
        return v.THStopResponseTimer();
      case TCall::kRestartHangUpTimer:
        return v.THRestartHangUpTimer();
    }
  }

  IPLTEventPoster& poster_;
  ITHReceiveView& view_;
  std::vector<std::pair<TCall, std::string>> calls_;
};

}  // namespace kal
