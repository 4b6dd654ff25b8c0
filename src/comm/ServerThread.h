#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/Frame.h"
#include "comm/MailBox.h"
#include "comm/ReceiveTime.h"
#include "comm/ReceiveView.h"
#include "comm/ThreadSynch.h"
#include "comm/ViewCalls.h"
#include "config/Config.h"
#include "platform/EventPoster.h"
#include "platform/Socket.h"
#include "platform/TcpServer.h"
#include "support/TraceLogger.h"

namespace kal {

// The work of one server connection: reads the frames that arrive and shows
// each one in the received-stream display (then the arrival flag is
// raised), and, between frames, writes the reply the GUI thread left in the
// mailbox when this connection is the server's current responder.
//
// Waits end on their event: data, a reply in the mailbox or the terminate
// signal. A body must keep coming: after a pause longer than the configured
// character time-out what came is shown. A length above THRcBufferSize is
// refused and the connection ends. The terminate signal also ends the
// connection, so the loop does not start again while it is raised.
//
// Threads: made and used on the connection's own thread.
class TTHRServerThread final {
 public:
  static constexpr uint32_t THRcBufferSize = 5000000;
  static constexpr int32_t THRcIdle = 0;
  static constexpr int32_t THRcExecuting = 1;
  // While a reply waits for another connection, this one looks at the
  // mailbox again after at most this long (it may become the responder).
  static constexpr std::chrono::milliseconds THRcMailBoxPoll{10};

  // `aIdTCPServerConnection` is the accepted connection; `server` (may be
  // null: this connection always answers) tells which connection is the
  // current responder; `trace` may be null. `poster` carries the calls to
  // `view` to the GUI thread. Nothing is owned except the share of the
  // socket; all must outlive the object.
  TTHRServerThread(std::shared_ptr<TPLTStreamSocket> aIdTCPServerConnection,
                   IPLTEventPoster& poster, ITHReceiveView& view, const TCFGConfig& aConfig,
                   TTERThreadSynch& aTERThreadSynch, TTHXMailBox& aTHXMailBox,
                   const TPLTTcpServer* server = nullptr, TTDBDebug* trace = nullptr);
  TTHRServerThread(const TTHRServerThread&) = delete;
  TTHRServerThread& operator=(const TTHRServerThread&) = delete;

  // The connection loop; returns when the connection ends or the terminate
  // signal is raised (which ends the connection). While it runs the thread
  // is counted in ("Server thread"). 0, or the code of the failure that
  // ended the connection with its text in `errorText`: a socket code, or
  // THFcFrameTooLong. A call while another runs returns 0 at once.
  [[nodiscard]] int THRClientExecute(std::string& errorText);

  int32_t THRState() const { return state_.load(std::memory_order_acquire); }

 private:
  int Run(std::string& errorText);
  // Writes the mailbox's reply when one waits and this connection is the
  // current responder (`sent`: a reply was taken). A failed write gives its
  // code, else 0.
  int THRRespond(bool& sent);
  bool IsCurrentResponder() const;
  // Hands the collected view calls over before a read that waits.
  TPLTReceive Read(TTHFrameReader& reader, int timeoutMs,
                   std::span<const TPLTWakeEvent* const> wakes, int& code);

  std::shared_ptr<TPLTStreamSocket> socket_;
  TTHViewCalls calls_;
  TTHReceiveTime receiveTime_;
  const TCFGConfig& config_;
  TTERThreadSynch& synch_;
  TTHXMailBox& mailBox_;
  const TPLTTcpServer* const server_;
  TTDBDebug* const trace_;

  TTHFrameReader reader_;
  std::atomic<int32_t> state_{THRcIdle};
};

}  // namespace kal
