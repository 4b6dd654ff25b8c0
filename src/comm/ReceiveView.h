#pragma once

#include <string>

namespace kal {

// The main window's side of the receive threads: the received-stream
// display with its arrival flag, the receive-time label, the status text,
// message boxes and the two timers. The receive threads post these calls to
// the GUI thread through an event poster, so every member runs on the GUI
// thread, in the order the thread made them. The view must outlive the
// calls posted to it.
class ITHReceiveView {
 public:
  virtual ~ITHReceiveView() = default;
  // A frame came (its length bytes, then its body, raw): the display shows
  // it as hex text (UTHStringToHex) and its tag, the arrival flag, becomes
  // 1. The display converts, so the link does not spend its time on text.
  virtual void THShowReceived(const std::string& frame) = 0;
  // The receive-time label shows the time text ("HH:mm:ss").
  virtual void THSetReceiveTime(const std::string& timeText) = 0;
  // The main window's status text (client thread only).
  virtual void THSetStatusText(const std::string& text) { (void)text; }
  // A message box (client thread only).
  virtual void THShowMessage(const std::string& text) { (void)text; }
  // The server-response timer stops (client thread only).
  virtual void THStopResponseTimer() {}
  // The hang-up timer starts its time again (client thread only).
  virtual void THRestartHangUpTimer() {}
};

}  // namespace kal
