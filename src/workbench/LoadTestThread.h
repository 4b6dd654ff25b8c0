#pragma once

// One client thread of a load test: it owns a TCP connection to the server
// and, each time the GUI thread hands it a framed request, connects (when
// it has no connection), writes the request, reads the framed response and
// times the exchange. It only connects, writes, reads and times; the GUI
// thread builds, parses, analyses and logs.
//
// Hand-over: the state byte. The GUI thread writes the request, the flags
// and the ids, then stores SCTcSendRequest (release); the worker writes the
// response, the statistics and the error texts, then stores
// SCTcResponseReceived or SCTcError (release) and reports the end of its
// exchange. Each side reads the other's fields only after loading the
// state (acquire) that follows them.
//
// Threads: the worker and the GUI thread as above; SCTStop from the GUI
// thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "workbench/LogItemsList.h"
#include "workbench/RecordingState.h"
#include "workbench/RunStatistics.h"

namespace kal {

class TTERThreadSynch;

enum TSCTState : uint8_t {
  SCTcIdle = 0,                // created, not yet running
  SCTcError = 1,               // the exchange failed
  SCTcExecuting = 2,           // running, nothing to do
  SCTcSendRequest = 3,         // a request is ready to send
  SCTcWaitingForResponse = 4,  // sent, waiting
  SCTcResponseReceived = 5     // the response is in
};

// Where and how a thread exchanges.
struct TSCTSettings {
  std::string host;
  uint16_t port = 0;
  int threadDelayMs = 0;      // upper bound of the random start delay
  int responseTimeoutMs = 0;  // the whole response must come within this
  uint64_t seed = 0;          // the thread's random source
};

// The identity a thread keeps from row to row.
struct TSCTIdentity {
  std::string senderID, ownerID, componentSecret;
};

class TSCTSequenceClientThread final {
 public:
  static constexpr uint32_t SCTcMaxFrameLength = 10000000;
  static constexpr int SCTcConnectAttempts = 10;
  static constexpr std::chrono::milliseconds SCTcConnectPause{50};
  static constexpr std::chrono::milliseconds SCTcConnectLimit{10000};
  static constexpr int SCTcErrorTimeout = 1000;
  static constexpr int SCTcErrorCommunication = 1001;
  static constexpr int SCTcErrorEmptyLength = 1002;
  static constexpr size_t SCTcHexCap = 3000;

  // Called on the worker after each exchange ends (the state is 1, 2 or
  // 5), with the generation the request was given.
  using TDone = std::function<void(uint64_t generation)>;

  // The thread counts itself in `synch` at once (so shutdown waits for it)
  // and starts in SCTcExecuting, ready for a request. Throws
  // std::system_error when no thread can be made (then counted out again).
  TSCTSequenceClientThread(int id, TSCTSettings settings, TTERThreadSynch& synch,
                           std::unique_ptr<TLUXLogItemsList> log, TDone done);
  // Stops and joins.
  ~TSCTSequenceClientThread();
  TSCTSequenceClientThread(const TSCTSequenceClientThread&) = delete;
  TSCTSequenceClientThread& operator=(const TSCTSequenceClientThread&) = delete;

  int SCTThreadID() const { return id_; }

  // GUI side. SCTSendStream hands over the request (the stream set before)
  // when the state is SCTcExecuting or SCTcResponseReceived; false else.
  bool SCTSendStream(bool wait, bool disconnectOnResponse, uint64_t generation);
  TSCTState SCTGetThreadStatus() const { return TSCTState(state_.load(std::memory_order_acquire)); }
  void SCTSetThreadStatus(TSCTState state);
  // The response (length bytes and body); the state goes back to
  // SCTcExecuting.
  std::string SCTGetResponseStream();
  // The request as hex, cut at its first 3000 bytes followed by "...".
  std::string SCTGetHexSendDataStream() const;
  void SCTResetStatistics();
  // A failure the GUI thread decides (the thread did not end in time).
  void SCTSetError(int code, const std::string& text);
  // Asks the worker to end: waits, connects, reads and writes stop at once.
  void SCTStop();
  void SCTJoin();

  // Fields the GUI thread owns while the state is not SCTcSendRequest or
  // SCTcWaitingForResponse.
  std::string SCTsSendDataStream;
  std::string SCTsSendDataXMLDoc;
  std::string SCTsReceivedResponseXMLDoc;
  TSCTIdentity SCTaIdentity;
  TRFLRecordingState SCTaRecording;
  TSSTStatistics& SCTStatistics() { return statistics_; }
  TLUXLogItemsList& SCTLogItems() { return *log_; }
  TLSILogStatistics& SCTLogStatistics() { return log_->LUXGetLSILogStatistics(); }
  const TLUXLogItemsList& SCTLogItems() const { return *log_; }
  const TLSILogStatistics& SCTLogStatistics() const { return log_->LUXGetLSILogStatistics(); }
  // The first error text, as it was made (the log statistics keep letters
  // and digits only).
  const std::string& SCTErrorText() const { return errorText_; }
  // Whether the worker holds a connection.
  bool SCTConnected() const { return connected_.load(std::memory_order_acquire); }

 private:
  void Run(std::stop_token stop);
  void Exchange(std::stop_token stop);
  // False when stopped meanwhile; `failure` is the error text when no
  // connection was made.
  bool Connect(std::stop_token stop, std::string& failure);
  void WaitForServerResponse(std::stop_token stop);
  bool Pause(std::stop_token stop, std::chrono::milliseconds d);
  // The connection is kept when the peer has not closed it.
  bool ConnectionAlive();
  void Disconnect();
  void Fail(int code, const std::string& text);
  void Finish(TSCTState state);
  std::string Label() const { return "Thread: " + std::to_string(id_) + " "; }

  const int id_;
  const TSCTSettings settings_;
  TTERThreadSynch& synch_;
  std::unique_ptr<TLUXLogItemsList> log_;
  TDone done_;
  TSSTStatistics statistics_;
  std::string response_;
  std::string errorText_;
  bool wait_ = true;
  bool disconnect_ = false;
  uint64_t generation_ = 0;
  std::mt19937_64 random_;
  std::atomic<uint8_t> state_{SCTcExecuting};
  // Bumped at every hand-over and stop; the idle worker waits on it.
  std::atomic<uint32_t> wake_{0};
  TPLTWakeEvent stopEvent_;
  std::mutex pauseMutex_;
  std::condition_variable_any pause_;
  std::mutex socketMutex_;  // guards socket_ against SCTStop
  std::shared_ptr<TPLTStreamSocket> socket_;
  std::atomic<bool> connected_{false};
  std::string readBuffer_;
  std::jthread thread_;
};

}  // namespace kal
