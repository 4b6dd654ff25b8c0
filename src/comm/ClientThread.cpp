#include "comm/ClientThread.h"

#include <algorithm>
#include <system_error>

#include "comm/Timeout.h"
#include "platform/SocketErrors.h"

namespace kal {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

TTHCClientThread::TTHCClientThread(bool bCreateSuspended,
                                   std::shared_ptr<TPLTStreamSocket> aServerSocket,
                                   IPLTEventPoster& poster, ITHReceiveView& view,
                                   TTERThreadSynch& aTERThreadSynch, const TCFGConfig& aConfig,
                                   TTHXMailBox& aMailBox, TCTPClientSocketPPP* aClientSocket)
    : socket_(std::move(aServerSocket)),
      calls_(poster, view),
      synch_(aTERThreadSynch),
      config_(aConfig),
      mailBox_(aMailBox),
      clientSocket_(aClientSocket) {
  synch_.TERIncThreadCount("Client thread");
  if (!bCreateSuspended) Start();
}

TTHCClientThread::~TTHCClientThread() {
  Terminate();
  if (thread_.joinable()) thread_.join();
  if (!started_) synch_.TERDecThreadCount("Client Thread");
}

bool TTHCClientThread::Start() {
  if (started_) return thread_.joinable();
  started_ = true;
  try {
    thread_ = std::thread([this] { Execute(); });
  } catch (const std::system_error&) {
    terminated_.store(true, std::memory_order_release);
    Finish();
    return false;
  }
  return true;
}

void TTHCClientThread::Terminate() {
  terminated_.store(true, std::memory_order_release);
  stop_.PLTSet();
}

TPLTReceive TTHCClientThread::Read(TTHFrameReader& reader, int timeoutMs,
                                   std::span<const TPLTWakeEvent* const> wakes, int& code) {
  if (!reader.THFBuffered()) calls_.THVFlush();
  return reader.THFRead(timeoutMs, wakes, code);
}

void TTHCClientThread::Execute() {
  if (state_.load() != THCcIdle) return;
  state_.store(THCcExecuting, std::memory_order_release);
  if (socket_) {
    TTHFrameReader reader(socket_, THCcBufferSize);
    const TPLTWakeEvent* wakes[] = {&stop_, &synch_.TERTerminateEvent()};
    while (!Stopping() && THCReceiveFrame(reader, wakes)) {
    }
  }
  calls_.THVFlush();
  Finish();
}

void TTHCClientThread::Finish() {
  // Finished first and counted out last: whoever sees the connection close
  // or the count drop finds the thread finished.
  state_.store(THCcIdle, std::memory_order_release);
  finished_.store(true, std::memory_order_release);
  if (socket_) {
    if (clientSocket_ != nullptr)
      clientSocket_->CTPRequestClose(socket_->PLTId());
    else
      socket_->PLTShutdown();
  }
  synch_.TERDecThreadCount("Client Thread");
}

bool TTHCClientThread::THCReceiveFrame(TTHFrameReader& reader,
                                       std::span<const TPLTWakeEvent* const> wakes) {
  TTHFrameAssembler& frame = reader.THFFrame();
  int code = 0;
  // The header is awaited as long as it takes; parts of it are kept.
  while (!frame.THFHeaderComplete()) {
    const TPLTReceive r = Read(reader, -1, wakes, code);
    if (r == TPLTReceive::kData) continue;
    if (r == TPLTReceive::kFailed)
      mailBox_.THXReportClientSocketError(code, PLTSocketErrorText(code));
    return false;  // woken to end, or the connection ended
  }
  calls_.THVAdd(TTHViewCalls::TCall::kRestartHangUpTimer);
  calls_.THVAdd(TTHViewCalls::TCall::kSetReceiveTime, receiveTime_.THTText());
  calls_.THVAdd(TTHViewCalls::TCall::kStopResponseTimer);
  const uint32_t length = frame.THFLength();
  if (frame.THFTooLong()) {
    mailBox_.THXReportClientSocketError(THFcFrameTooLong, THFFrameTooLongText(length));
    return false;
  }

  // The body: each piece restarts the character time-out.
  const auto interChar = std::chrono::milliseconds(config_.CFGGetInterCharTimeout());
  Clock::time_point deadline = Clock::now() + interChar;
  bool timedOut = false, ended = false;
  while (!frame.THFComplete()) {
    const int left = TIMMillisecondsUntil(deadline);
    if (left == 0) {
      timedOut = true;
      break;
    }
    const int wait = std::min<int>(left, static_cast<int>(THCcProgressInterval.count()));
    const TPLTReceive r = Read(reader, wait, wakes, code);
    if (r == TPLTReceive::kData) {
      deadline = Clock::now() + interChar;
    } else if (r == TPLTReceive::kTimeout) {
      calls_.THVAdd(TTHViewCalls::TCall::kSetStatusText, "Received bytes " +
                                                             std::to_string(frame.THFBodyBytes()) +
                                                             " of " + std::to_string(length));
    } else if (r == TPLTReceive::kWoken) {
      return false;  // told to end: the partial frame is dropped
    } else {
      // The connection ended or failed: what came is still shown.
      if (r == TPLTReceive::kFailed)
        mailBox_.THXReportClientSocketError(code, PLTSocketErrorText(code));
      ended = true;
      break;
    }
  }

  if (frame.THFComplete()) {
    calls_.THVAdd(TTHViewCalls::TCall::kSetStatusText,
                  "Message received: " + std::to_string(length) + " bytes");
  } else if (timedOut) {
    calls_.THVAdd(TTHViewCalls::TCall::kShowMessage,
                  "Character timeout while waiting for data from server");
  }
  if (config_.CFGGetCloseRequest()) terminated_.store(true, std::memory_order_release);
  calls_.THVAdd(TTHViewCalls::TCall::kShowReceived, frame.THFTakeFrame());
  return !ended;
}

}  // namespace kal
