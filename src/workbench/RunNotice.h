#pragma once

// The run notice: while a sequence run is in progress, texts that would
// otherwise stop the program in a message box go, without blocking, to the
// run's note line (each distinct text once per run) and the run goes on.
//
// Threads: the GUI thread only (worker threads post their texts there).

#include <functional>
#include <set>
#include <string>

namespace kal {

class TCEXRunNotice final {
 public:
  enum class TResult { Off, Shown, Repeated };
  using TSink = std::function<void(const std::string&)>;

  // A run begins: texts go to `sink` until CEXStopNotice.
  void CEXStartNotice(TSink sink) {
    sink_ = std::move(sink);
    seen_.clear();
    active_ = true;
  }
  void CEXStopNotice() {
    active_ = false;
    sink_ = nullptr;
  }
  bool CEXNoticeActive() const { return active_; }

  // Off: no run, the caller shows the text itself. Shown: the text went to
  // the sink. Repeated: the run has shown it already.
  TResult CEXNotice(const std::string& text) {
    if (!active_) return TResult::Off;
    if (!seen_.insert(text).second) return TResult::Repeated;
    if (sink_) sink_(text);
    return TResult::Shown;
  }

 private:
  bool active_ = false;
  std::set<std::string> seen_;
  TSink sink_;
};

}  // namespace kal
