#include "workbench/LoadTestThread.h"

#include <algorithm>
#include <array>
#include <system_error>

#include <unistd.h>

#include "comm/Frame.h"
#include "comm/ThreadSynch.h"
#include "platform/SocketErrors.h"
#include "support/HexUtilities.h"

namespace kal {

namespace {

using namespace std::chrono;

// What follows "Connection closed by server" when the peer ended the
// stream in order (no socket code says so).
constexpr const char* kClosedText = "the peer closed the connection";

std::string ThreadName(int id) {
  return "Client thread nr. " + std::to_string(id);
}

}  // namespace

TSCTSequenceClientThread::TSCTSequenceClientThread(int id, TSCTSettings settings,
                                                   TTERThreadSynch& synch,
                                                   std::unique_ptr<TLUXLogItemsList> log,
                                                   TDone done)
    : id_(id),
      settings_(std::move(settings)),
      synch_(synch),
      log_(std::move(log)),
      done_(std::move(done)),
      random_(settings_.seed) {
  synch_.TERIncThreadCount(ThreadName(id_));
  try {
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  } catch (...) {
    synch_.TERDecThreadCount(ThreadName(id_));
    throw;
  }
}

TSCTSequenceClientThread::~TSCTSequenceClientThread() {
  SCTStop();
  SCTJoin();
}

bool TSCTSequenceClientThread::SCTSendStream(bool wait, bool disconnectOnResponse,
                                             uint64_t generation) {
  const auto state = SCTGetThreadStatus();
  if (state != SCTcExecuting && state != SCTcResponseReceived) return false;
  wait_ = wait;
  disconnect_ = disconnectOnResponse;
  generation_ = generation;
  state_.store(SCTcSendRequest, std::memory_order_release);
  wake_.fetch_add(1, std::memory_order_release);
  wake_.notify_one();
  return true;
}

void TSCTSequenceClientThread::SCTSetThreadStatus(TSCTState state) {
  state_.store(state, std::memory_order_release);
}

std::string TSCTSequenceClientThread::SCTGetResponseStream() {
  std::string response = std::move(response_);
  response_.clear();
  state_.store(SCTcExecuting, std::memory_order_release);
  return response;
}

std::string TSCTSequenceClientThread::SCTGetHexSendDataStream() const {
  if (SCTsSendDataStream.size() <= SCTcHexCap) return UTHStringToHex(SCTsSendDataStream);
  return UTHStringToHex(SCTsSendDataStream.substr(0, SCTcHexCap)) + "...";
}

void TSCTSequenceClientThread::SCTResetStatistics() {
  statistics_.SSTReset();
  errorText_.clear();
}

void TSCTSequenceClientThread::SCTSetError(int code, const std::string& text) {
  Fail(code, text);
  state_.store(SCTcError, std::memory_order_release);
}

void TSCTSequenceClientThread::SCTStop() {
  thread_.request_stop();
  stopEvent_.PLTSet();
  {
    std::lock_guard lock(socketMutex_);
    if (socket_) socket_->PLTShutdown();
  }
  wake_.fetch_add(1, std::memory_order_release);
  wake_.notify_all();
}

void TSCTSequenceClientThread::SCTJoin() {
  if (thread_.joinable()) thread_.join();
}

// ---- the worker

void TSCTSequenceClientThread::Run(std::stop_token stop) {
  for (;;) {
    const uint32_t seen = wake_.load(std::memory_order_acquire);
    if (stop.stop_requested() || synch_.TERTerminate()) break;
    if (state_.load(std::memory_order_acquire) != SCTcSendRequest) {
      wake_.wait(seen, std::memory_order_acquire);
      continue;
    }
    Exchange(stop);
  }
  Disconnect();
  synch_.TERDecThreadCount(ThreadName(id_));
}

void TSCTSequenceClientThread::Exchange(std::stop_token stop) {
  TLSILogStatistics& lsi = log_->LUXGetLSILogStatistics();
  if (lsi.LSIGetErrorID() > 0) {
    Finish(SCTcError);
    return;
  }
  if (settings_.threadDelayMs > 0) {
    std::uniform_int_distribution<int> delay(0, settings_.threadDelayMs - 1);
    if (!Pause(stop, milliseconds(delay(random_)))) return;
  }
  lsi.LSISetSendPerformanceCounter();
  const auto sendPoint = steady_clock::now();
  bool failed = false;
  if (!ConnectionAlive()) {
    std::string failure;
    if (!Connect(stop, failure)) return;
    if (!failure.empty()) {
      Fail(0, failure);
      Finish(SCTcError);
      return;
    }
  }
  lsi.LSISetConnectedCounter();
  std::shared_ptr<TPLTStreamSocket> socket;
  {
    std::lock_guard lock(socketMutex_);
    socket = socket_;
  }
  const int code = socket->PLTSend(SCTsSendDataStream);
  if (stop.stop_requested()) return;
  statistics_.SSTAcceptStatistics(true, false, 0, false);
  if (code != 0) {
    Fail(0, "Error during write: " + PLTSocketErrorText(code));
    Disconnect();
    failed = true;
  }
  lsi.LSISetSendedCounter();
  if (failed) {
    Finish(SCTcError);
    return;
  }
  if (!wait_) {
    Finish(SCTcExecuting);
    return;
  }
  state_.store(SCTcWaitingForResponse, std::memory_order_release);
  WaitForServerResponse(stop);
  if (stop.stop_requested()) return;
  if (state_.load(std::memory_order_relaxed) == SCTcResponseReceived) {
    const int ms = int(duration_cast<milliseconds>(steady_clock::now() - sendPoint).count());
    lsi.LSISetExecutionTime(ms);
    statistics_.SSTAcceptStatistics(false, true, ms, false);
    if (disconnect_) Disconnect();
    Finish(SCTcResponseReceived);
  } else {
    Disconnect();  // the stream is out of step with the requests now
    Finish(SCTcError);
  }
}

bool TSCTSequenceClientThread::Connect(std::stop_token stop, std::string& failure) {
  in_addr address{};
  if (!PLTParseIPv4(settings_.host, address)) {
    std::string systemText;
    if (const int code = PLTResolveIPv4(settings_.host, address, systemText); code != 0) {
      failure =
          "Connection failed: " + (systemText.empty() ? PLTSocketErrorText(code) : systemText);
      return !stop.stop_requested();
    }
  }
  const int limit =
      int(std::min<int64_t>(std::max(settings_.responseTimeoutMs, 1), SCTcConnectLimit.count()));
  int attempts = 0;
  for (int attempt = 1; attempt <= SCTcConnectAttempts; ++attempt) {
    attempts = attempt;
    int fd = -1;
    const int code = PLTConnect(address, settings_.port, stopEvent_, fd, limit);
    if (stop.stop_requested()) {
      if (code == 0) ::close(fd);
      return false;
    }
    if (code == 0) {
      auto socket = std::make_shared<TPLTStreamSocket>(fd, uint64_t(id_));
      std::lock_guard lock(socketMutex_);
      socket_ = std::move(socket);
      connected_.store(true, std::memory_order_release);
      break;
    }
    if (attempt < SCTcConnectAttempts && !Pause(stop, SCTcConnectPause)) return false;
  }
  if (!connected_.load(std::memory_order_relaxed))
    failure = "Connection failed";
  else if (attempts > 1)
    Fail(0, "Warning: TCP connection attempts: " + std::to_string(attempts));
  return true;
}

void TSCTSequenceClientThread::WaitForServerResponse(std::stop_token stop) {
  std::shared_ptr<TPLTStreamSocket> socket;
  {
    std::lock_guard lock(socketMutex_);
    socket = socket_;
  }
  const auto deadline = steady_clock::now() + milliseconds(settings_.responseTimeoutMs);
  TTHFrameAssembler frame(SCTcMaxFrameLength);
  readBuffer_.resize(64 * 1024);
  const std::array<const TPLTWakeEvent*, 2> wakes{&stopEvent_, &synch_.TERTerminateEvent()};
  for (;;) {
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    size_t want = frame.THFHeaderComplete() ? frame.THFLength() - frame.THFBodyBytes()
                                            : THFcLengthBytes - frame.THFHeaderBytes();
    want = std::min(want, readBuffer_.size());
    size_t got = 0;
    int code = 0;
    const TPLTReceive r =
        left <= 0 ? TPLTReceive::kTimeout
                  : socket->PLTReceive(readBuffer_.data(), want, int(left), got, code, wakes);
    if (stop.stop_requested() || r == TPLTReceive::kWoken) return;
    switch (r) {
      case TPLTReceive::kData:
        frame.THFFeed(readBuffer_.data(), got);
        if (!frame.THFHeaderComplete()) continue;
        if (frame.THFLength() == 0) {
          Fail(SCTcErrorEmptyLength, Label() + "Empty length bytes");
          return;
        }
        if (frame.THFTooLong()) {
          Fail(SCTcErrorCommunication,
               Label() + "Communication error: " + THFFrameTooLongText(frame.THFLength()));
          return;
        }
        if (!frame.THFComplete()) continue;
        response_ = frame.THFTakeFrame();
        state_.store(SCTcResponseReceived, std::memory_order_relaxed);
        return;
      case TPLTReceive::kTimeout:
        if (frame.THFHeaderBytes() > 0 && !frame.THFHeaderComplete())
          Fail(SCTcErrorEmptyLength, Label() + "Empty length bytes");
        else
          Fail(SCTcErrorTimeout, Label() + "Timeout while waiting for server response");
        return;
      case TPLTReceive::kClosed:
        if (frame.THFHeaderComplete())
          Fail(0, std::string("Connection closed by server (length bytes read) ") + kClosedText);
        else
          Fail(0, std::string("Connection closed by server: ") + kClosedText);
        return;
      default:
        if (code == PLTcSocketConnectionReset) {
          // A peer that closes with our request unread resets instead.
          Fail(0, std::string(frame.THFHeaderComplete()
                                  ? "Connection closed by server (length bytes read) "
                                  : "Connection closed by server: ") +
                      PLTSocketErrorText(code));
          return;
        }
        Fail(SCTcErrorCommunication, Label() + "Communication error: " + PLTSocketErrorText(code));
        return;
    }
  }
}

bool TSCTSequenceClientThread::Pause(std::stop_token stop, milliseconds d) {
  std::unique_lock lock(pauseMutex_);
  pause_.wait_for(lock, stop, d, [] { return false; });
  return !stop.stop_requested();
}

bool TSCTSequenceClientThread::ConnectionAlive() {
  std::shared_ptr<TPLTStreamSocket> socket;
  {
    std::lock_guard lock(socketMutex_);
    socket = socket_;
  }
  if (!socket || !socket->PLTConnected()) {
    Disconnect();
    return false;
  }
  // A peer that closed the connection since the last exchange has left its
  // end of stream waiting; bytes it sent unasked are dropped.
  char probe[256];
  for (;;) {
    size_t got = 0;
    int code = 0;
    const TPLTReceive r = socket->PLTReceive(probe, sizeof probe, 0, got, code);
    if (r == TPLTReceive::kTimeout) return true;
    if (r != TPLTReceive::kData) break;
  }
  Disconnect();
  return false;
}

void TSCTSequenceClientThread::Disconnect() {
  std::shared_ptr<TPLTStreamSocket> socket;
  {
    std::lock_guard lock(socketMutex_);
    socket.swap(socket_);
    connected_.store(false, std::memory_order_release);
  }
  if (socket) socket->PLTShutdown();
}

void TSCTSequenceClientThread::Fail(int code, const std::string& text) {
  if (code > 0) {
    log_->LUXGetLSILogStatistics().LSISetErrorID(code);
    statistics_.SSTAcceptStatistics(false, false, 0, true);
  } else if (text.rfind("Warning:", 0) != 0) {
    statistics_.SSTAcceptStatistics(false, false, 0, true);
  }
  log_->LUXGetLSILogStatistics().LSISetErrorText(text);
  if (errorText_.empty()) errorText_ = text;
}

void TSCTSequenceClientThread::Finish(TSCTState state) {
  state_.store(state, std::memory_order_release);
  if (done_) done_(generation_);
}

}  // namespace kal
