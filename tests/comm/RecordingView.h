#pragma once

// A receive view that records what the receive threads hand to the GUI
// thread, in order. Its calls run on the thread that pumps the queue.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "comm/ReceiveView.h"
#include "common/TestSupport.h"
#include "platform/EventPoster.h"

namespace kal::test {

class RecordingView final : public ITHReceiveView {
 public:
  void THShowReceived(const std::string& frame) override {
    shown.push_back(ToHex(frame));
    events.push_back("show");
  }
  void THSetReceiveTime(const std::string& timeText) override {
    time = timeText;
    events.push_back("time");
  }
  void THSetStatusText(const std::string& text) override { events.push_back("status " + text); }
  void THShowMessage(const std::string& text) override { events.push_back("message " + text); }
  void THStopResponseTimer() override { events.push_back("stop"); }
  void THRestartHangUpTimer() override { events.push_back("hangup"); }

  bool Has(const std::string& event) const {
    for (const std::string& e : events)
      if (e == event) return true;
    return false;
  }

  std::vector<std::string> shown;   // the frames as compact hex
  std::vector<std::string> events;  // every call
  std::string time;
};

// Pumps `queue` until `done` holds or `limit` has passed; `done` is also
// looked at every few milliseconds, for conditions that no posted call
// announces.
inline bool PumpUntil(TPLTEventQueue& queue, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!queue.PLTPumpUntil(done, std::chrono::milliseconds(5)))
    if (std::chrono::steady_clock::now() >= deadline) return false;
  return true;
}

}  // namespace kal::test
