#pragma once

// The main window's core on this thread against real connections: its
// timers and the worker threads' posts go through one pumped queue, as they
// would through the GUI loop, and a plain host stands in for the window.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/ClientSocketPPP.h"
#include "common/TestSupport.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"
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
};

// A fixture with the core in a temporary folder, on a host of type `Host`
// (CoreHost or one derived from it). StartCore writes the configuration,
// makes the core and shows its window; the test then sets what it needs and
// pumps the queue until its condition holds. MakeCore and ShowCore are its
// two halves, for hosts that must know the core before it is shown.
template <class Host>
class CoreOnQueueFixture : public ::testing::Test {
 protected:
  TCEXMainWindow& StartCore(const std::string& ini, const CoreExtraPorts& extra = {}) {
    MakeCore(ini, extra);
    return ShowCore();
  }
  TCEXMainWindow& MakeCore(const std::string& ini, const CoreExtraPorts& extra = {}) {
    WriteFile(dir_.file("config.ini"), ini);
    ICEXLogin& login = extra.login ? *extra.login : login_;
    ICEXMessageFiles& messageFiles = extra.messageFiles ? *extra.messageFiles : files_;
    ICEXCounterLists& counters = extra.counters ? *extra.counters : counters_;
    core_ = std::make_unique<TCEXMainWindow>(
        dir_.path(),
        TCEXMainWindow::TPorts{.view = host_,
                               .dialogs = host_,
                               .errorWindow = host_,
                               .timers = timers_,
                               .clock = clock_,
                               .poster = queue_,
                               .random = &random_,
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
  TCEXMainWindow& ShowCore() {
    core_->FormCreate();
    core_->FormShow({});
    core_->FormActivate();
    return *core_;
  }
  void TearDown() override {
    if (core_) core_->FormDestroy();
    core_.reset();
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
  // "Create and Send", then pumps until the answer is in and the link is
  // down; fails on an error shown or when that does not come.
  ::testing::AssertionResult SendAndAwaitAnswer(TCEXMainWindow& core) {
    core.CEXExecute(TCEXAction::CreateAndSend);
    if (!host_.errors.empty()) return ::testing::AssertionFailure() << host_.errors.front();
    if (!Pump([&] {
          return core.CEXParseMessageEnabled() && core.CEXLink().CEXNoWaitForDisconnect() &&
                 !core.CEXClientSocket().Active();
        }))
      return ::testing::AssertionFailure() << "no answer, or the link stays up";
    return ::testing::AssertionSuccess();
  }
  // For peers that wait on another thread while the queue must keep moving.
  auto Pumping() {
    return [this] { queue_.PLTPump(); };
  }
  std::string JsonFile(const std::string& name, const std::string& text) {
    WriteFile(dir_.file(name), text);
    return dir_.file(name);
  }
  // A tree node as the element editor adds it, with its id set.
  TXMLTreeNode* Add(TXMLMessageTree& tree, TXMLTreeNode* parent, const std::string& name,
                    const std::string& type, const std::string& value = "",
                    const std::string& attributes = "") {
    return AddElement(tree, parent, name, type, value, attributes);
  }

  TPLTEventQueue queue_;
  TempDir dir_;
  Host host_;
  QueueTimers timers_{queue_};
  TCEXSystemClock clock_;
  TSECDeterministicRandom random_;
  TCEXNoMessageFiles files_;
  TCEXNoCounterLists counters_;
  TCEXNoLogin login_;
  std::unique_ptr<TCEXMainWindow> core_;
};

using CoreOnQueueTest = CoreOnQueueFixture<CoreHost>;

}  // namespace kal::test
