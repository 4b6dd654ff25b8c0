#include "comm/ServerThread.h"

#include <algorithm>

#include "comm/Timeout.h"
#include "platform/SocketErrors.h"

namespace kal {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

TTHRServerThread::TTHRServerThread(std::shared_ptr<TPLTStreamSocket> aIdTCPServerConnection,
                                   IPLTEventPoster& poster, ITHReceiveView& view,
                                   const TCFGConfig& aConfig, TTERThreadSynch& aTERThreadSynch,
                                   TTHXMailBox& aTHXMailBox, const TPLTTcpServer* server,
                                   TTDBDebug* trace)
    : socket_(std::move(aIdTCPServerConnection)),
      calls_(poster, view),
      config_(aConfig),
      synch_(aTERThreadSynch),
      mailBox_(aTHXMailBox),
      server_(server),
      trace_(trace),
      reader_(socket_, THRcBufferSize) {}

TPLTReceive TTHRServerThread::Read(TTHFrameReader& reader, int timeoutMs,
                                   std::span<const TPLTWakeEvent* const> wakes, int& code) {
  if (!reader.THFBuffered()) calls_.THVFlush();
  return reader.THFRead(timeoutMs, wakes, code);
}

int TTHRServerThread::THRClientExecute(std::string& errorText) {
  errorText.clear();
  if (trace_ != nullptr) trace_->TDBAddString(0, 0, "TTHRServerThread", "THRClientExecute 1");
  int32_t idle = THRcIdle;
  if (!state_.compare_exchange_strong(idle, THRcExecuting)) return 0;
  synch_.TERIncThreadCount("Server thread");
  const int rc = Run(errorText);
  calls_.THVFlush();
  synch_.TERDecThreadCount("Server thread");
  state_.store(THRcIdle, std::memory_order_release);
  return rc;
}

bool TTHRServerThread::IsCurrentResponder() const {
  return server_ == nullptr || server_->PLTCurrentConnection() == socket_;
}

int TTHRServerThread::THRRespond(bool& sent) {
  sent = false;
  if (!mailBox_.THXSendPending() || !IsCurrentResponder()) return 0;
  std::shared_ptr<const std::string> reply;
  uint64_t ticket = 0;
  if (!mailBox_.THXTakeSendRequest(reply, ticket)) return 0;
  sent = true;
  const int rc = socket_->PLTSend(*reply);
  mailBox_.THXSendDone(ticket, rc == 0);
  if (rc == 0 && config_.CFGGetCloseRequest()) socket_->PLTShutdown();
  return rc;
}

int TTHRServerThread::Run(std::string& errorText) {
  TTHFrameAssembler& frame = reader_.THFFrame();
  const TPLTWakeEvent* wakes[] = {&synch_.TERTerminateEvent(), &mailBox_.THXSendRequestEvent()};
  const std::span<const TPLTWakeEvent* const> terminateOnly(wakes, 1);
  int code = 0;
  bool woken = false;  // the last wait ended on a wake event
  while (socket_->PLTConnected()) {
    if (synch_.TERTerminate()) {
      socket_->PLTShutdown();
      break;
    }
    if (!frame.THFHeaderComplete()) {
      // Between frames (or inside a header that has not come whole): answer,
      // then wait for data, a reply or the signal. A reply that another
      // connection is to send raises the mailbox event for as long as it
      // waits, so it is not watched then. A wake-up that brought no reply
      // for this connection lowers the event (its request was taken before
      // it was raised), so that the next wait sleeps.
      bool sent = false;
      if ((code = THRRespond(sent)) != 0) break;
      const bool otherReply =
          woken && !sent ? mailBox_.THXSendPendingSettled() : mailBox_.THXSendPending();
      const TPLTReceive r =
          Read(reader_, otherReply ? static_cast<int>(THRcMailBoxPoll.count()) : -1,
               otherReply ? terminateOnly : std::span(wakes), code);
      if (r == TPLTReceive::kFailed) break;
      woken = r == TPLTReceive::kWoken;
      code = 0;
      continue;
    }

    calls_.THVAdd(TTHViewCalls::TCall::kSetReceiveTime, receiveTime_.THTText());
    if (frame.THFTooLong()) {
      errorText = THFFrameTooLongText(frame.THFLength());
      socket_->PLTShutdown();
      return THFcFrameTooLong;
    }
    // The body: each piece restarts the character time-out; a body cut short
    // is shown as far as it came.
    const auto interChar = std::chrono::milliseconds(config_.CFGGetInterCharTimeout());
    Clock::time_point deadline = Clock::now() + interChar;
    TPLTReceive r = TPLTReceive::kData;
    while (!frame.THFComplete()) {
      const int left = TIMMillisecondsUntil(deadline);
      if (left == 0) break;
      r = Read(reader_, left, terminateOnly, code);
      if (r == TPLTReceive::kData)
        deadline = Clock::now() + interChar;
      else if (r != TPLTReceive::kTimeout)
        break;
    }
    if (r == TPLTReceive::kWoken) {  // the terminate signal
      socket_->PLTShutdown();
      break;
    }
    calls_.THVAdd(TTHViewCalls::TCall::kShowReceived, frame.THFTakeFrame());
    if (r == TPLTReceive::kFailed) break;
    code = 0;
  }
  if (code != 0) errorText = PLTSocketErrorText(code);
  return code;
}

}  // namespace kal
