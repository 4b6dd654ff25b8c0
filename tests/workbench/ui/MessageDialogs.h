#pragma once

// The form's dialogs for tests: every question answered "No", no file
// chosen, and the messages shown kept in order.

#include <string>
#include <vector>

#include "workbench/MainWindowPorts.h"

namespace kal::test {

class MessageDialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  std::vector<std::string> messages;
};

}  // namespace kal::test
