#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>

#include "comm/ClientSocketPPP.h"
#include "comm/Frame.h"
#include "comm/MailBox.h"
#include "comm/ReceiveTime.h"
#include "comm/ReceiveView.h"
#include "comm/ThreadSynch.h"
#include "comm/ViewCalls.h"
#include "config/Config.h"
#include "platform/EventPoster.h"
#include "platform/Socket.h"

namespace kal {

// The client receive thread: reads the frames that arrive on the client
// connection and shows each one in the received-stream display (then the
// arrival flag is raised). The main window starts one on every client
// connect, with the connection it took from the client socket.
//
// Waits end on their event: data, the thread's own terminate request or the
// terminate signal. A body must keep coming: a pause longer than the
// configured character time-out ends it, and what came is shown with a
// message. A length above THCcBufferSize is refused: the error goes to the
// mailbox and the connection ends. When the configuration asks the peer to
// close after a response, the thread ends after the first frame.
//
// When the thread ends it counts itself out and asks the client socket to
// close the connection. The object joins its thread when it is destroyed
// (the thread ends promptly once told to terminate).
//
// Threads: construct, start, terminate and destroy on one thread (the GUI
// thread); the state queries from any thread.
class TTHCClientThread final {
 public:
  static constexpr uint32_t THCcBufferSize = 10000000;
  static constexpr int32_t THCcIdle = 0;
  static constexpr int32_t THCcExecuting = 1;
  // A body that pauses this long shows its progress as status text.
  static constexpr std::chrono::milliseconds THCcProgressInterval{50};

  // `aServerSocket` is the connected socket; `aClientSocket` (may be null:
  // the thread then shuts the socket down itself) is asked to close it when
  // the thread ends. `poster` carries the calls to `view` to the GUI thread.
  // Nothing is owned except the share of the socket; all must outlive the
  // object. Counts itself in at once ("Client thread").
  TTHCClientThread(bool bCreateSuspended, std::shared_ptr<TPLTStreamSocket> aServerSocket,
                   IPLTEventPoster& poster, ITHReceiveView& view, TTERThreadSynch& aTERThreadSynch,
                   const TCFGConfig& aConfig, TTHXMailBox& aMailBox,
                   TCTPClientSocketPPP* aClientSocket);
  // Terminates and joins the thread; counts out one that never started.
  ~TTHCClientThread();
  TTHCClientThread(const TTHCClientThread&) = delete;
  TTHCClientThread& operator=(const TTHCClientThread&) = delete;

  // Starts a thread created suspended (once). False when no thread could be
  // started; it then counts as finished.
  bool Start();
  // Asks the thread to end; it does so at its next wake-up, which this
  // causes.
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // True once the thread has finished (counted out, socket closed).
  bool THCbTerminated() const { return finished_.load(std::memory_order_acquire); }
  int32_t THCState() const { return state_.load(std::memory_order_acquire); }

 private:
  void Execute();
  // One frame, read and shown. False when the thread is to end.
  bool THCReceiveFrame(TTHFrameReader& reader, std::span<const TPLTWakeEvent* const> wakes);
  bool Stopping() const { return Terminated() || synch_.TERTerminate(); }
  // Hands the collected view calls over before a read that waits.
  TPLTReceive Read(TTHFrameReader& reader, int timeoutMs,
                   std::span<const TPLTWakeEvent* const> wakes, int& code);
  void Finish();

  std::shared_ptr<TPLTStreamSocket> socket_;
  TTHViewCalls calls_;
  TTHReceiveTime receiveTime_;
  TTERThreadSynch& synch_;
  const TCFGConfig& config_;
  TTHXMailBox& mailBox_;
  TCTPClientSocketPPP* const clientSocket_;

  TPLTWakeEvent stop_;  // raised by Terminate
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int32_t> state_{THCcIdle};
  bool started_ = false;
  std::thread thread_;
};

}  // namespace kal
