#pragma once

#include "workbench/WorkbenchPorts.h"

namespace kal {

// The sequence window needs the main window's core and the core its port:
// the core is built with this forwarder, and the window is set once it
// exists. Without a window nothing is visible and every call does nothing.
class TCEXSequenceWindowForwarder final : public ICEXSequenceWindow {
 public:
  void CEXSetWindow(ICEXSequenceWindow* window) { window_ = window; }

  bool SEQVisible() const override { return window_ != nullptr && window_->SEQVisible(); }
  void SEQLoadSequenceFile(const std::string& path) override {
    if (window_ != nullptr) window_->SEQLoadSequenceFile(path);
  }
  void SEQMessageAvailable() override {
    if (window_ != nullptr) window_->SEQMessageAvailable();
  }
  void SEQRunNextRow() override {
    if (window_ != nullptr) window_->SEQRunNextRow();
  }
  TSEQErrorTaken SEQLogError(int errorId, const std::string& errorText, bool groupValue) override {
    return window_ != nullptr ? window_->SEQLogError(errorId, errorText, groupValue)
                              : TSEQErrorTaken::NotRunning;
  }
  int SEQGroupSize() const override { return window_ != nullptr ? window_->SEQGroupSize() : 0; }
  bool SEQGroupEnd() const override { return window_ == nullptr || window_->SEQGroupEnd(); }
  void SEQRunNextGroupRow() override {
    if (window_ != nullptr) window_->SEQRunNextGroupRow();
  }
  void SEQLoadNextServerReference() override {
    if (window_ != nullptr) window_->SEQLoadNextServerReference();
  }

 private:
  ICEXSequenceWindow* window_ = nullptr;
};

}  // namespace kal
