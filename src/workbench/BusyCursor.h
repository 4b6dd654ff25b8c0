#pragma once

// The busy (hour-glass) cursor of the main window's roads. A road holds a
// TCEXBusyCursor while it works; the default cursor comes back when the
// outermost guard ends, on every way out (exceptions included), and before
// any message box, dialog or error window the core shows, so that nobody
// answers a box under the hour-glass. The GUI thread only.

#include <string>

#include "support/ErrorWindow.h"
#include "workbench/MainWindowPorts.h"

namespace kal {

class TCEXCursorState final {
 public:
  // `port` null: there is no cursor to show.
  explicit TCEXCursorState(ICEXCursor* port) : port_(port) {}
  TCEXCursorState(const TCEXCursorState&) = delete;
  TCEXCursorState& operator=(const TCEXCursorState&) = delete;

  // The default cursor now, when the busy one shows. Guards still alive
  // end without showing it again.
  void CEXRestore() {
    if (!shown_) return;
    shown_ = false;
    if (port_ != nullptr) port_->CEXSetDefaultCursor();
  }
  bool CEXBusy() const { return shown_; }

 private:
  friend class TCEXBusyCursor;
  void Enter() {
    if (depth_++ > 0) return;
    shown_ = true;
    if (port_ != nullptr) port_->CEXSetBusyCursor();
  }
  void Leave() {
    if (--depth_ == 0) CEXRestore();
  }

  ICEXCursor* port_;
  int depth_ = 0;  // guards alive
  bool shown_ = false;
};

// Shows the busy cursor for its lifetime. Guards nest: only the outermost
// sets and restores the cursor.
class TCEXBusyCursor final {
 public:
  explicit TCEXBusyCursor(TCEXCursorState& state) : state_(state) { state_.Enter(); }
  ~TCEXBusyCursor() { state_.Leave(); }
  TCEXBusyCursor(const TCEXBusyCursor&) = delete;
  TCEXBusyCursor& operator=(const TCEXBusyCursor&) = delete;

 private:
  TCEXCursorState& state_;
};

// The dialogs and the error window, putting the default cursor back before
// they show anything.
class TCEXCursorDialogs final : public ICEXDialogs {
 public:
  TCEXCursorDialogs(ICEXDialogs& dialogs, TCEXCursorState& cursor)
      : dialogs_(dialogs), cursor_(cursor) {}
  void CEXShowMessage(const std::string& text) override {
    cursor_.CEXRestore();
    dialogs_.CEXShowMessage(text);
  }
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override {
    cursor_.CEXRestore();
    return dialogs_.CEXAskYesNoCancel(text);
  }
  bool CEXOpenFile(const TCEXFileDialog& dialog, std::string& chosen) override {
    cursor_.CEXRestore();
    return dialogs_.CEXOpenFile(dialog, chosen);
  }
  bool CEXSaveFile(const TCEXFileDialog& dialog, std::string& chosen) override {
    cursor_.CEXRestore();
    return dialogs_.CEXSaveFile(dialog, chosen);
  }
  bool CEXChooseDirectory(const std::string& title, const std::string& initialDir,
                          std::string& chosen) override {
    cursor_.CEXRestore();
    return dialogs_.CEXChooseDirectory(title, initialDir, chosen);
  }

 private:
  ICEXDialogs& dialogs_;
  TCEXCursorState& cursor_;
};

class TCEXCursorErrorWindow final : public IERRErrorWindow {
 public:
  TCEXCursorErrorWindow(IERRErrorWindow& window, TCEXCursorState& cursor)
      : window_(window), cursor_(cursor) {}
  void ERRSetError(int code, const std::string& detail) override {
    cursor_.CEXRestore();
    window_.ERRSetError(code, detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    cursor_.CEXRestore();
    window_.ERRSetErrorMessage(code, text);
  }

 private:
  IERRErrorWindow& window_;
  TCEXCursorState& cursor_;
};

}  // namespace kal
