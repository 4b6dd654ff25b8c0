#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Socket.h"

namespace kal {

// Hands the reply the GUI thread prepared to the server connection that
// answers with it, and a socket error of the client receive thread back to
// the GUI thread. One instance, owned by the main window.
//
// Send protocol: the GUI thread sets the send string (a whole frame), then
// the state THXcStateSendRequest; the current server connection takes the
// request, writes the string and sets THXcStateSended; the GUI thread shows
// that and sets THXcStateIdle. A raised request also raises a wake event
// that the connections wait on beside their socket.
//
// The state and the error flag are atomic (release when written, acquire
// when read), and the strings and the error code are guarded by a lock, so
// every member may be called from any thread.
class TTHXMailBox final {
 public:
  static constexpr int32_t THXcStateIdle = 0;
  static constexpr int32_t THXcStateSendRequest = 1;
  static constexpr int32_t THXcStateSended = 2;

  TTHXMailBox() = default;
  TTHXMailBox(const TTHXMailBox&) = delete;
  TTHXMailBox& operator=(const TTHXMailBox&) = delete;

  void THXSetSendstring(std::string frame);
  std::string THXGetSendString() const;
  // Setting THXcStateSendRequest makes a new request (one taken earlier
  // and not yet sent is then no longer marked sent when its write ends).
  void THXSetSendState(int32_t state);
  int32_t THXGetSendState() const { return THXiSendState.load(std::memory_order_acquire); }

  // The client receive thread's socket error: text and code first, then the
  // flag; the GUI thread reads them when it sees the flag and clears it.
  void THXSetClientSocketErrorFlag(bool on);
  bool THXGetClientSocketErrorFlag() const {
    return THXbClientSocketErrorFlag.load(std::memory_order_acquire);
  }
  void THXSetClientSocketErrorText(std::string text);
  std::string THXGetClientSocketErrorText() const;
  void THXSetClientSocketErrorId(int32_t id);
  int32_t THXGetClientSocketErrorId() const;
  // Stores code and text and raises the flag, unless the flag is raised
  // already (the first error stays until the GUI thread has read it). True
  // when stored.
  bool THXReportClientSocketError(int32_t id, std::string text);

  // Called on the worker thread, outside the lock, after each hand-off the
  // GUI thread has to see: a socket error stored, a reply sent. Set once
  // before any worker thread uses the mailbox (the main window posts an
  // idle pass from it).
  void THXSetOnHandOff(std::function<void()> notify) { onHandOff_ = std::move(notify); }

  // The connection side. Takes a pending request that no other connection
  // has taken: the frame to send and a ticket for THXSendDone. False when
  // there is none. Taking lowers the wake event.
  bool THXTakeSendRequest(std::string& frame, uint64_t& ticket);
  // The same without a copy: the frame is shared with the mailbox (a newer
  // send string replaces the mailbox's share, never the taken frame).
  bool THXTakeSendRequest(std::shared_ptr<const std::string>& frame, uint64_t& ticket);
  // Ends a taken request: sent, the state becomes THXcStateSended (unless
  // the GUI thread has made a new request meanwhile); not sent, the request
  // is pending again for the next connection.
  void THXSendDone(uint64_t ticket, bool sent);
  // True while a request waits to be taken.
  bool THXSendPending() const;
  // The same; when no request waits, the wake event is lowered too (a
  // request may have been taken before its raise came), so that a
  // connection can wait on the event without finding it raised for nothing.
  bool THXSendPendingSettled();
  // Raised while a request waits to be taken.
  const TPLTWakeEvent& THXSendRequestEvent() const { return sendRequest_; }

 private:
  bool Pending() const {
    return THXiSendState.load(std::memory_order_acquire) == THXcStateSendRequest && !taken_;
  }
  void HandedOff() const {
    if (onHandOff_) onHandOff_();
  }
  std::function<void()> onHandOff_;
  mutable std::mutex mutex_;
  std::shared_ptr<const std::string> THXsSendString = std::make_shared<const std::string>();
  std::atomic<int32_t> THXiSendState{THXcStateIdle};
  std::atomic<bool> THXbClientSocketErrorFlag{false};
  std::string THXsClientSocketErrorText;
  int32_t THXiClientSocketErrorId = 0;

  uint64_t request_ = 0;  // number of the newest request
  bool taken_ = false;    // the newest request is being sent
  TPLTWakeEvent sendRequest_;
};

}  // namespace kal
