#pragma once

// The small interfaces through which the main window's core reaches the
// outside: the form that shows it, dialogs and message boxes, timers, the
// clock, the mouse cursor and the other windows. The Qt layer implements
// them; tests fake them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kal {

class TXMLTreeNode;

// Parts of the main window's state; the core names what changed so that the
// form updates only those widgets.
enum TCEXPart : uint32_t {
  CEXpCaption = 1u << 0,
  CEXpStatusBar = 1u << 1,
  CEXpMemos = 1u << 2,
  CEXpEdits = 1u << 3,
  CEXpRadioGroups = 1u << 4,
  CEXpSourceTree = 1u << 5,
  CEXpReferenceTree = 1u << 6,
  CEXpActions = 1u << 7,  // enabled actions and menus
  CEXpRecentFiles = 1u << 8,
  CEXpParseMessage = 1u << 9,
  CEXpGeometry = 1u << 10,
  CEXpZoom = 1u << 11,  // "Normal", "Zoom source window", "Zoom received message"
};

// Window placement. `maximised` wins over the four numbers.
struct TCEXGeometry {
  bool maximised = false;
  int32_t top = 0, left = 0, width = 0, height = 0;
};

// The form that shows the core.
class ICEXView {
 public:
  virtual ~ICEXView() = default;
  // Parts (TCEXPart bits) whose state changed.
  virtual void CEXChanged(uint32_t parts) = 0;
  // Whether the text fits the status panel without being cut.
  virtual bool CEXStatusTextFits(int panel, const std::string& text) = 0;
  // Where the window is now.
  virtual TCEXGeometry CEXGetGeometry() = 0;
  // Asks the window to close; the close handling then runs as for the user's
  // close request.
  virtual void CEXCloseMainWindow() = 0;
};

enum class TCEXAnswer { Yes, No, Cancel };

// A file dialog: title, filter ("Text|*.ext|Other|*.*" pairs), the folder
// to start in, a proposed name and the default extension.
struct TCEXFileDialog {
  std::string title;
  std::string filter;
  std::string initialDir;
  std::string fileName;
  std::string defaultExt;
};

// Modal dialogs and message boxes.
class ICEXDialogs {
 public:
  virtual ~ICEXDialogs() = default;
  virtual void CEXShowMessage(const std::string& text) = 0;
  virtual TCEXAnswer CEXAskYesNoCancel(const std::string& text) = 0;
  // True with the chosen path when the user chose a file.
  virtual bool CEXOpenFile(const TCEXFileDialog& dialog, std::string& chosen) = 0;
  virtual bool CEXSaveFile(const TCEXFileDialog& dialog, std::string& chosen) = 0;
  // True with the chosen folder (ending with "/") when the user chose one.
  virtual bool CEXChooseDirectory(const std::string& /*title*/, const std::string& /*initialDir*/,
                                  std::string& /*chosen*/) {
    return false;
  }
};

// A timer on the GUI thread. A single-shot timer stops before it calls its
// handler; a repeating one runs until stopped. Starting a running timer
// restarts it.
class ICEXTimer {
 public:
  virtual ~ICEXTimer() = default;
  virtual void CEXStart(std::chrono::milliseconds interval) = 0;
  virtual void CEXStop() = 0;
  virtual bool CEXActive() const = 0;
};

class ICEXTimerFactory {
 public:
  virtual ~ICEXTimerFactory() = default;
  virtual std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating,
                                                    std::function<void()> onExpiry) = 0;
};

// The clock of the bounded waits that may block the GUI thread (the
// shutdown's wait for the worker threads).
class ICEXClock {
 public:
  virtual ~ICEXClock() = default;
  virtual std::chrono::steady_clock::time_point CEXNow() = 0;
  virtual void CEXSleep(std::chrono::milliseconds duration) = 0;
  // The local date and time of day (the sequence run's stop moment and
  // time-of-day waits); the system's unless a clock gives its own.
  virtual std::chrono::local_time<std::chrono::milliseconds> CEXLocalNow();
};

class TCEXSystemClock final : public ICEXClock {
 public:
  std::chrono::steady_clock::time_point CEXNow() override;
  void CEXSleep(std::chrono::milliseconds duration) override;
};

// The mouse cursor over the program's windows. Roads reach it through
// TCEXBusyCursor (BusyCursor.h), never directly.
class ICEXCursor {
 public:
  virtual ~ICEXCursor() = default;
  // The busy (hour-glass) cursor on, and the default cursor back. Each call
  // sets the state; calls do not nest.
  virtual void CEXSetBusyCursor() = 0;
  virtual void CEXSetDefaultCursor() = 0;
};

// The windows the core's commands open. Each window adds its id here and
// its part to the form's implementation.
enum class TCEXWindow : int {
  EditWindow,        // "Edit Window": the element edit window, not modal
  Communication,     // "Communication Settings", modal
  MessageHeader,     // "Message Header Parameters", modal
  Timeouts,          // "Timeouts and Delays", modal
  PlugIns,           // "Plug Ins", modal
  DirectoryAliases,  // "Directory Aliases", modal
  // The tool windows, shown without waiting.
  HexToBase64,        // "Hex To Base64 Conversion"
  HexToString,        // "Hex to String Conversion"
  HexToInteger,       // "Hex to Integer Conversion"
  FormatXMLDocument,  // "Format XML Document"
  KeyFormatting,      // "Key Formatting"
  DESEncryption,      // "DES Encryption/Decryption"
  HashAndMAC,         // "Hash and MAC Computation"
  SessionKeyCrypt,    // "Session Key Cryptogramm"
  TLVTools,           // "TLV Tools"
  LoadFile,           // "Load Message Window...": the load file window, not modal
  SecurityItems,      // "Security Items...": the security-item window, not modal
  Keys,               // "Keys...", modal
};

// The tool windows in the order of the "&Tools" menu.
inline constexpr TCEXWindow kCEXToolWindows[] = {
    TCEXWindow::HexToBase64,       TCEXWindow::HexToString,     TCEXWindow::HexToInteger,
    TCEXWindow::FormatXMLDocument, TCEXWindow::KeyFormatting,   TCEXWindow::DESEncryption,
    TCEXWindow::HashAndMAC,        TCEXWindow::SessionKeyCrypt, TCEXWindow::TLVTools};

// How a modal window was left; a window shown without waiting, or one that
// does not exist yet, gives None.
enum class TCEXModalResult { None, OK, Cancel };

class ICEXWindows {
 public:
  virtual ~ICEXWindows() = default;
  // Shows the window; `modal`: waits until it closes and returns how.
  virtual TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) = 0;
};

// A window that follows the selection of the source tree (the element edit
// window, the security-item window). It is told only while it is visible.
class ICEXSourceSelectionListener {
 public:
  virtual ~ICEXSourceSelectionListener() = default;
  virtual bool CEXListenerVisible() const = 0;
  // The selected node, null when none is selected. Valid until the next
  // change of the source tree.
  virtual void CEXSourceSelectionChanged(TXMLTreeNode* node) = 0;
};

}  // namespace kal
