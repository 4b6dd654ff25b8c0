#pragma once

// A sequence run without its window: an empty attribute list for its
// editor, and a host that is a visible sequence window handing every call
// to the run. Header-only and free of test libraries, so the benchmarks
// can use it too.

#include <string>

#include "ep2/AttributeLetters.h"
#include "workbench/SequenceRun.h"
#include "workbench/WorkbenchPorts.h"

namespace kal::test {

class NoChecks final : public IUCBCheckList {
 public:
  int Count() const override { return 0; }
  std::string ItemText(int) const override { return {}; }
  bool Checked(int) const override { return false; }
  void SetChecked(int, bool) override {}
};

// `Base` plays the host's other ports and derives from ICEXSequenceWindow;
// while `run` is set the window is visible and the run takes its calls.
template <class Base>
struct SequenceRunHost : Base {
  bool SEQVisible() const override { return run != nullptr; }
  void SEQMessageAvailable() override { run->SEQMessageAvailable(); }
  void SEQRunNextRow() override { run->SEQRunNextRow(); }
  TSEQErrorTaken SEQLogError(int id, const std::string& text, bool group) override {
    return run->SEQLogError(id, text, group);
  }
  int SEQGroupSize() const override { return run->SEQGroupSize(); }
  bool SEQGroupEnd() const override { return run->SEQGroupEnd(); }
  void SEQRunNextGroupRow() override { run->SEQRunNextGroupRow(); }
  void SEQLoadNextServerReference() override { run->SEQLoadNextServerReference(); }
  TSEQSequenceRun* run = nullptr;
};

}  // namespace kal::test
