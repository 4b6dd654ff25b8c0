#pragma once

// The test fixture over the main window's core on a pumped queue
// (CoreOnQueue.h): a temporary program folder with its configuration, the
// core shown, and the gtest checks of whole exchanges.

#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"
#include "workbench/CoreOnQueue.h"
#include "workbench/MessageTestHelpers.h"

namespace kal::test {

// The temporary folder; a base of the fixture, so that it is made before
// the core and removed after it.
struct CoreTempDir {
  TempDir dir_;
};

// A fixture with the core in a temporary folder, on a host of type `Host`
// (CoreHost or one derived from it). StartCore writes the configuration,
// makes the core and shows its window; the test then sets what it needs and
// pumps the queue until its condition holds. MakeCore and ShowCore are its
// two halves, for hosts that must know the core before it is shown.
template <class Host>
class CoreOnQueueFixture : public ::testing::Test, public CoreTempDir, public CoreOnQueue<Host> {
 protected:
  TCEXMainWindow& StartCore(const std::string& ini, const CoreExtraPorts& extra = {}) {
    MakeCore(ini, extra);
    return ShowCore();
  }
  TCEXMainWindow& MakeCore(const std::string& ini, const CoreExtraPorts& extra = {}) {
    WriteFile(dir_.file("config.ini"), ini);
    return this->MakeCoreIn(dir_.path(), extra);
  }
  TCEXMainWindow& ShowCore() {
    TCEXMainWindow& core = *this->core_;
    core.FormCreate();
    core.FormShow({});
    core.FormActivate();
    return core;
  }
  void TearDown() override {
    if (this->core_) this->core_->FormDestroy();
    this->core_.reset();
  }
  // "Create and Send", then pumps until the answer is in and the link is
  // down; fails on an error shown or when that does not come.
  ::testing::AssertionResult SendAndAwaitAnswer(TCEXMainWindow& core) {
    core.CEXExecute(TCEXAction::CreateAndSend);
    if (!this->host_.errors.empty())
      return ::testing::AssertionFailure() << this->host_.errors.front();
    if (!this->Pump([&] {
          return core.CEXParseMessageEnabled() && core.CEXLink().CEXNoWaitForDisconnect() &&
                 !core.CEXClientSocket().Active();
        }))
      return ::testing::AssertionFailure() << "no answer, or the link stays up";
    return ::testing::AssertionSuccess();
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
};

using CoreOnQueueTest = CoreOnQueueFixture<CoreHost>;

}  // namespace kal::test
