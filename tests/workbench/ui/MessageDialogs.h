#pragma once

// The form's dialogs for tests: every question answered with `answer` ("No"
// unless set), no file opened, `saveAs` chosen in a save dialog when it is
// set (the last save dialog kept), the folder in `directory` chosen when it
// is set, and the messages shown and the titles of the file dialogs shown
// kept in order.

#include <string>
#include <vector>

#include "workbench/MainWindowPorts.h"
#include "workbench/WorkbenchPorts.h"

namespace kal::test {

class MessageDialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return answer; }
  bool CEXOpenFile(const TCEXFileDialog& dialog, std::string&) override {
    fileDialogs.push_back(dialog.title);
    return false;
  }
  bool CEXSaveFile(const TCEXFileDialog& dialog, std::string& chosen) override {
    fileDialogs.push_back(dialog.title);
    saveDialog = dialog;
    chosen = saveAs;
    return !saveAs.empty();
  }
  bool CEXChooseDirectory(const std::string&, const std::string&, std::string& chosen) override {
    chosen = directory;
    return !directory.empty();
  }
  std::vector<std::string> messages, fileDialogs;
  std::string directory;
  TCEXAnswer answer = TCEXAnswer::No;
  std::string saveAs;
  TCEXFileDialog saveDialog;
};

// Every login is a user without administrator rights, or an administrator
// while `admin` is set.
class PlainUserLogin final : public ICEXLogin {
 public:
  bool CEXShowLoginDialog(std::string& user, std::string& password) override {
    user = "clerk";
    password = "pw";
    return true;
  }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string&, const std::string&, bool& isAdmin) override {
    isAdmin = admin;
    return true;
  }
  bool admin = false;
};

}  // namespace kal::test
