#pragma once

// The main window's core on this thread against real connections: its
// timers and the worker threads' posts go through one pumped queue, as they
// would through the GUI loop, and a plain host stands in for the window.
// Free of test libraries, so that the benchmarks use it too; the test
// fixture over it is CoreHost.h.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/ClientSocketPPP.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "workbench/MainWindow.h"
#include "workbench/QueueTimers.h"

namespace kal::test {

// The window, its dialogs, error window and sequence window: answers "No",
// opens and saves no file, and keeps the messages and the errors ("code
// detail") it is shown. Tests that watch the sequence window or need more
// ports derive from it.
class CoreHost : public ICEXView,
                 public ICEXDialogs,
                 public IERRErrorWindow,
                 public ICEXSequenceWindow {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {false, 0, 0, 800, 600}; }
  void CEXCloseMainWindow() override {}
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  void ERRSetError(int code, const std::string& detail) override {
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  bool SEQVisible() const override { return false; }
  void SEQLoadSequenceFile(const std::string&) override {}
  void SEQMessageAvailable() override {}
  void SEQRunNextRow() override {}
  TSEQErrorTaken SEQLogError(int, const std::string&, bool) override {
    return TSEQErrorTaken::NotRunning;
  }
  std::vector<std::string> messages, errors;
};

// The ports a test's own host plays beyond the common ones; what is left
// null is not there, and the host is the sequence window unless it says no.
struct CoreExtraPorts {
  ICEXLogin* login = nullptr;  // null: a login that asks nobody
  TCEXPlugInCall plugIn = nullptr;
  ICEXCursor* cursor = nullptr;
  ICEXWindows* windows = nullptr;
  bool sequenceWindow = true;
  ICEXMessageFiles* messageFiles = nullptr;  // null: no message files
  ICEXRecordingList* recording = nullptr;
  ICEXSearchView* search = nullptr;
  ICEXPrinter* printer = nullptr;
  ICEXCounterLists* counters = nullptr;  // null: no counter lists
  ISECRandomSource* random = nullptr;    // null: the deterministic random_
};

// The core on a host of type `Host` (CoreHost or one derived from it) with
// the queue, timers, clock and the null ports it runs with. MakeCoreIn
// makes the core; the caller shows it and pumps the queue as it needs.
template <class Host>
class CoreOnQueue {
 public:
  // `programDir` ends with "/" and holds the configuration, if any.
  TCEXMainWindow& MakeCoreIn(const std::string& programDir, const CoreExtraPorts& extra = {}) {
    ICEXLogin& login = extra.login ? *extra.login : login_;
    ICEXMessageFiles& messageFiles = extra.messageFiles ? *extra.messageFiles : files_;
    ICEXCounterLists& counters = extra.counters ? *extra.counters : counters_;
    core_ = std::make_unique<TCEXMainWindow>(
        programDir,
        TCEXMainWindow::TPorts{.view = host_,
                               .dialogs = host_,
                               .errorWindow = host_,
                               .timers = timers_,
                               .clock = clock_,
                               .poster = queue_,
                               .random = extra.random ? extra.random : &random_,
                               .messageFiles = messageFiles,
                               .counters = counters,
                               .login = login,
                               .sequenceWindow = extra.sequenceWindow ? &host_ : nullptr,
                               .recording = extra.recording,
                               .plugIn = extra.plugIn,
                               .cursor = extra.cursor,
                               .windows = extra.windows,
                               .printer = extra.printer,
                               .search = extra.search});
    return *core_;
  }
  // Pumps until `done` holds; false when `limit` passes first. The default
  // limit only catches a hang: under ThreadSanitizer on a loaded machine a
  // 16 MB answer takes tens of seconds to reach its connection.
  bool Pump(const std::function<bool()>& done,
            std::chrono::milliseconds limit = std::chrono::seconds(90)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!queue_.PLTPumpUntil(done, std::chrono::milliseconds(5)))
      if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
  }
  // For peers that wait on another thread while the queue must keep moving.
  auto Pumping() {
    return [this] { queue_.PLTPump(); };
  }

  TPLTEventQueue queue_;
  Host host_;
  QueueTimers timers_{queue_};
  TCEXSystemClock clock_;
  TSECDeterministicRandom random_;
  TCEXNoMessageFiles files_;
  TCEXNoCounterLists counters_;
  TCEXNoLogin login_;
  std::unique_ptr<TCEXMainWindow> core_;
};

}  // namespace kal::test
