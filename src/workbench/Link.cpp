
#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>

#include "comm/ClientSocketPPP.h"
#include "comm/ClientThread.h"
#include "comm/CommParams.h"
#include "comm/ErrorHandOff.h"
#include "comm/MailBox.h"
#include "comm/ModemStatusForm.h"
#include "comm/ReceiveView.h"
#include "comm/ServerThread.h"
#include "comm/SocketErrorLatch.h"
#include "comm/ThreadSynch.h"
#include "config/Config.h"
#include "platform/EventPoster.h"
#include "platform/SocketErrors.h"
#include "platform/TcpServer.h"
#include "support/DateTimeUtilities.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/MemoryUtilities.h"
#include "support/TraceLogger.h"
#include "workbench/BusyCursor.h"
#include "workbench/Link.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

namespace {

constexpr const char* kClassName = "TForm1";
constexpr const char* kClientConnected = "TCP/IP Client connected";
constexpr const char* kClientOverModem = "TCP/IP Client connected over modem";
constexpr const char* kClientNotConnected = "TCP/IP Client not connected";
constexpr const char* kServerNotListening = "TCP/IP server not listening";

// Runs a road, showing what it throws (no exception leaves an event).
template <class F>
void Shielded(ICEXDialogs& dialogs, F&& road) {
  try {
    road();
  } catch (const std::exception& e) {
    dialogs.CEXShowMessage(e.what());
  } catch (...) {
    dialogs.CEXShowMessage("Unknown error");
  }
}

// Client threads still running at shutdown stay for the rest of the
// process, beside the shared objects they use. Never freed on purpose.
void KeepRunningClientThreads(std::vector<std::unique_ptr<TTHCClientThread>> threads) {
  static std::mutex mutex;
  static auto* kept = new std::vector<std::unique_ptr<TTHCClientThread>>;
  std::lock_guard lock(mutex);
  for (auto& t : threads) kept->push_back(std::move(t));
}

// What a server connection reaches. Everything but the two reports lives in
// the shared block, which outlives every connection thread.
struct TServerContext {
  TTDBDebug& trace;
  IPLTEventPoster& poster;
  ITHReceiveView& view;
  const TCFGConfig& config;
  TTERThreadSynch& synch;
  TTHXMailBox& mailBox;
  const TPLTTcpServer& server;
  // Posted to the GUI thread: the connection ended; it ended on an error.
  std::function<void()> onDisconnect;
  std::function<void(std::string)> onError;
};

// One server connection, made and owned by its own thread: the frames that
// arrive go to Memo5 with the arrival flag, and the mailbox's reply goes out
// when this connection is the newest one (TTHRServerThread).
class TCEXServerConnection final : public IPLTConnectionHandler {
 public:
  TCEXServerConnection(std::shared_ptr<TPLTStreamSocket> socket, const TServerContext& context)
      : context_(context),
        thread_(std::move(socket), context.poster, context.view, context.config, context.synch,
                context.mailBox, &context.server, &context.trace) {}

  int PLTOnExecute() override {
    const int rc = thread_.THRClientExecute(errorText_);
    context_.trace.TDBAddString(0, 0, kClassName, "IdTCPServer1Execute 1");
    return rc;
  }
  void PLTOnDisconnect() override {
    context_.onDisconnect();
    context_.trace.TDBAddString(0, 0, kClassName, "IdTCPServer1Disconnect 1");
  }
  void PLTOnException(int, const std::string& text) override {
    // The connection's own text says more than the code's (a frame that is
    // too long, say).
    context_.onError(errorText_.empty() ? text : errorText_);
  }

 private:
  const TServerContext& context_;
  TTHRServerThread thread_;
  std::string errorText_;
};

// Called on the new connection's thread.
std::unique_ptr<IPLTConnectionHandler> MakeServerConnection(
    std::shared_ptr<TPLTStreamSocket> socket, const TServerContext& context) {
  TTDBDebug& trace = context.trace;
  trace.TDBAddString(0, 0, kClassName, "IdTCPServer1Connect 1");
  trace.TDBAddString(0, 0, kClassName, "Create Socket Thread 1");
  const TMemoryStatus memory = UMEGetMemoryUsage();
  const auto bytes = [](uint64_t n) { return std::to_string(n) + " Bytes"; };
  trace.TDBAddString(0, 0, kClassName, "RAM gesamt: " + bytes(memory.dwTotalPhys));
  trace.TDBAddString(0, 0, kClassName, "RAM verfügbar: " + bytes(memory.dwAvailPhys));
  trace.TDBAddString(0, 0, kClassName, "Virtuell gesamt: " + bytes(memory.dwTotalVirtual));
  trace.TDBAddString(0, 0, kClassName, "Virtuell verfügbar: " + bytes(memory.dwAvailVirtual));
  auto handler = std::make_unique<TCEXServerConnection>(std::move(socket), context);
  trace.TDBAddString(0, 0, kClassName, "Create Socket Thread 2");
  return handler;
}

}  // namespace

// ------------------------------------------------------------------- server

void TCEXLink::StartServer() {
  std::string reason;
  const int rc = ports_.comm.TCPConnectServer(&ports_.server, &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
}

void TCEXLink::ShowServerFailure(int code, const std::string& reason) {
  ports_.errors.ERRSetErrorMessage(
      CEXcErrorServerSocket,
      "Server Socket Error: " + (reason.empty() ? std::to_string(code) : reason));
}

void TCEXLink::UpdateServerPanel() {
  const TPLTTcpServer& server = ports_.server;
  view_.CEXSetStatus(2, server.PLTActive()
                            ? "Server listening on port " + std::to_string(server.PLTBoundPort())
                            : kServerNotListening);
}

void TCEXLink::CEXFrameStored(const std::string& frame) {
  if (ended_) return;
  Shielded(ports_.dialogs, [&] {
    CEXStopResponseTimer();
    ports_.received.CEXFrameArrived(frame, nullptr);
    // Raised only once the stream is stored.
    arrival_ = 1;
  });
  ports_.idlePass();
}

void TCEXLink::CEXStartResponseTimer() {
  ++sends_;
  const int32_t timeout = ports_.config.CFGGetServerResponseTimeout();
  Timer1->CEXStart(std::chrono::milliseconds(std::max<int32_t>(timeout, 0)));
}

void TCEXLink::CEXStopResponseTimer() {
  answeredSend_ = sends_;
  Timer1->CEXStop();
}

void TCEXLink::CEXSetTransientStatus(const std::string& text) {
  view_.CEXSetStatus(1, text);
}

void TCEXLink::CEXServerError(const std::string& text) {
  Shielded(ports_.dialogs, [&] {
    // While errors are not shown this one is dropped; the next one shows.
    TTCPCommParams& comm = ports_.comm;
    const bool show = comm.TCPShowErrors();
    comm.TCPSetShowErrors(true);
    if (!show) return;
    const std::string message = "Server Socket Error: " + text;
    if (!ports_.errors.CEXLogError(CEXcErrorServerSocket, message, false))
      ports_.errors.ERRSetErrorMessage(CEXcErrorServerSocket, message);
  });
}

void TCEXLink::CEXRestartHangUpTimer() {
  const int32_t timeout = ports_.config.CFGGetHangUpTimeout();
  Timer4->CEXStop();
  Timer4->CEXStart(std::chrono::milliseconds(std::max<int32_t>(timeout, 0)));
}

void TCEXLink::OnResponseTimeout() {
  Timer1->CEXStop();
  // The answer to the last send came meanwhile: that row is handled.
  if (answeredSend_ == sends_) return;
  answeredSend_ = sends_;
  std::string reason;
  const int rc = ports_.comm.TCPDisConnect(&ports_.client, &ports_.server, &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
  const std::string text = "Response message timeout while waiting for answer from server";
  if (ports_.errors.CEXLogError(CEXcErrorResponseTimeout, text, false))
    ports_.sequence->SEQRunNextRow();
  else
    ports_.errors.CEXShowMessage(text);
}

void TCEXLink::OnStatusClear() {
  Timer3->CEXStop();
  view_.CEXSetStatus(1, "");
}

void TCEXLink::OnHangUpTimeout() {
  ports_.trace.TDBAddString(0, 0, kClassName, "Timer 4 Timeout");
  Timer4->CEXStop();
  std::string reason;
  const int rc = ports_.comm.TCPDisconnectModem(&ports_.client, &ports_.server, &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
  view_.CEXSetStatus(0, "Modem disconnected");
}

void TCEXLink::CEXIdlePass() {
  TTHXMailBox& mailBox = ports_.mailBox;
  // Read, then clear the flag before showing, so a pass that runs while
  // the error window is up does not show the same error again.
  if (mailBox.THXGetClientSocketErrorFlag()) {
    const int code = mailBox.THXGetClientSocketErrorId();
    const std::string text = "Last Socket Error" + mailBox.THXGetClientSocketErrorText();
    mailBox.THXSetClientSocketErrorFlag(false);
    if (!ports_.errors.CEXLogError(code, text, false)) ports_.errors.ERRSetErrorMessage(code, text);
  }

  const TTCPCommParams& comm = ports_.comm;
  const TCTPClientSocketPPP& client = ports_.client;
  if (comm.TCPClientConnectionStatus() == TTCPCommParams::TCPcConnectionOpen && client.Active()) {
    view_.CEXSetStatus(0,
                       client.CTPModemConnectionstate() == TCTPClientSocketPPP::CTPcModemConnected
                           ? kClientOverModem
                           : kClientConnected);
  } else {
    view_.CEXSetStatus(0, kClientNotConnected);
  }

  if (arrival_ == 1) {
    const bool sequenceVisible = ports_.sequence != nullptr && ports_.sequence->SEQVisible();
    if (!sequenceVisible || CEXbNoWaitForDisconnect) {
      arrival_ = 0;
      if (!parseMessageEnabled_) {
        parseMessageEnabled_ = true;
        view_.CEXChanged(CEXpParseMessage);
      }
      if (sequenceVisible) ports_.sequence->SEQMessageAvailable();
    }
  }

  if (mailBox.THXGetSendState() == TTHXMailBox::THXcStateSended) {
    view_.CEXSetStatus(1, "Data stream sent");
    mailBox.THXSetSendState(TTHXMailBox::THXcStateIdle);
    Timer3->CEXStart(CEXcStatusClearInterval);
  }
  UpdateServerPanel();
}

// ------------------------------------------------------------------ set-up

TCEXLink::TCEXLink(TPorts ports) : ports_(std::move(ports)), view_(ports_.view) {
  const auto handler = [this](void (TCEXLink::*member)()) {
    // A timer that is due is followed by the idle pass.
    return [this, member] {
      Shielded(ports_.dialogs, [&] { (this->*member)(); });
      ports_.idlePass();
    };
  };
  ICEXTimerFactory& timers = ports_.timers;
  Timer1 = timers.CEXCreateTimer(false, handler(&TCEXLink::OnResponseTimeout));
  Timer3 = timers.CEXCreateTimer(false, handler(&TCEXLink::OnStatusClear));
  Timer4 = timers.CEXCreateTimer(false, handler(&TCEXLink::OnHangUpTimeout));
  connectionDelayTimer_ = timers.CEXCreateTimer(false, handler(&TCEXLink::OnConnectionDelay));

  TCTPClientSocketPPP& client = ports_.client;
  client.OnLookup = [this] { CTPClientSocketPPP1Lookup(); };
  client.OnConnecting = [this] { CTPClientSocketPPP1Connecting(); };
  client.OnConnect = [this] { CTPClientSocketPPP1Connect(); };
  client.OnRead = [this](const std::string& data) { CTPClientSocketPPP1Read(data); };
  client.OnDisconnect = [this] { CTPClientSocketPPP1Disconnect(); };
  client.OnError = [this](TCTPClientSocketPPP::TCTPErrorEvent, int code) {
    CTPClientSocketPPP1Error(code);
  };
  client.OnDialError = [this] { CTPClientSocketPPP1DialError(); };

  // The context lives as long as the server that uses it: both are in the
  // shared block's lifetime (the server is deactivated, joining every
  // connection thread, before the context could go).
  IPLTEventPoster& gate = ports_.poster;
  const std::weak_ptr<int> alive = aliveToken_;
  auto context = std::make_shared<TServerContext>(
      TServerContext{ports_.trace, gate, ports_.receiveView, ports_.config, ports_.synch,
                     ports_.mailBox, ports_.server,
                     [&gate, alive, this] {
                       gate.PLTPost([alive, this] {
                         if (!alive.expired() && !ended_) UpdateServerPanel();
                       });
                     },
                     [&gate, alive, this](std::string text) {
                       gate.PLTPost([alive, this, text = std::move(text)] {
                         if (!alive.expired() && !ended_) CEXServerError(text);
                       });
                     }});
  ports_.server.PLTSetHandlerFactory([context](std::shared_ptr<TPLTStreamSocket> socket) {
    return MakeServerConnection(std::move(socket), *context);
  });
  // The trace is thread-safe and outlives the server's accept thread.
  TTDBDebug& trace = ports_.trace;
  ports_.server.PLTSetRefusedHandler([&trace](size_t served) {
    trace.TDBSimpleAddString("Server: connection closed at once, " + std::to_string(served) +
                             " connections are served already");
  });
}

TCEXLink::~TCEXLink() = default;

void TCEXLink::CEXStopTimers() {
  ended_ = true;
  Timer1->CEXStop();
  Timer3->CEXStop();
  Timer4->CEXStop();
  connectionDelayTimer_->CEXStop();
}

void TCEXLink::CEXEnd(bool allEnded) {
  if (CEXaClientThread) lateClientThreads_.push_back(std::move(CEXaClientThread));
  std::vector<std::unique_ptr<TTHCClientThread>> running;
  for (auto& thread : lateClientThreads_)
    if (!allEnded && !thread->THCbTerminated()) running.push_back(std::move(thread));
  // The ended ones are joined here (at once: they have finished).
  lateClientThreads_.clear();
  if (!running.empty()) KeepRunningClientThreads(std::move(running));
}

// ------------------------------------------------------------ client events

void TCEXLink::CTPClientSocketPPP1Lookup() {
  if (ended_) return;
  ports_.client.CTPDisplayStatusString(false, "TCP/IP Client socket lookup");
}

void TCEXLink::CTPClientSocketPPP1Connecting() {
  if (ended_) return;
  ports_.client.CTPDisplayStatusString(false, "TCP/IP Client socket connecting");
  view_.CEXSetStatus(0, "TCP/IP Client connecting");
}

void TCEXLink::CTPClientSocketPPP1Connect() {
  if (ended_) return;
  Shielded(ports_.dialogs, [&] {
    TCTPClientSocketPPP& client = ports_.client;
    TTCPCommParams& comm = ports_.comm;
    client.CTPDisplayStatusString(false, "TCP/IP Client socket connected");
    comm.TCPStatusForm().RRSEnableClose();
    comm.TCPSetShowErrors(true);

    CEXTerminateClient();
    CEXaClientThread = std::make_unique<TTHCClientThread>(
        false, client.CTPTakeConnection(), ports_.poster, ports_.receiveView, ports_.synch,
        ports_.config, ports_.mailBox, &client);

    if (CEXiClientSocketTag == 0) {
      // The peer gets its time before the stream goes out; the GUI thread
      // goes on meanwhile.
      client.CTPDisplayStatusString(false, "Waiting connection delay");
      const int32_t delay = ports_.config.CFGGetConnectionDelay();
      connectionDelayTimer_->CEXStart(std::chrono::milliseconds(std::max<int32_t>(delay, 0)));
    }
  });
}

void TCEXLink::OnConnectionDelay() {
  connectionDelayTimer_->CEXStop();
  if (ended_) return;
  ports_.comm.TCPStatusForm().RRSClose();
  if (!CEXsSendString.empty()) CEXSendBytes();
}

bool TCEXLink::CEXSendPendingDelay() const {
  return connectionDelayTimer_->CEXActive();
}

void TCEXLink::CTPClientSocketPPP1Read(const std::string& data) {
  if (ended_) return;
  ports_.client.CTPDisplayStatusString(false, "TCP/IP Client socket receive text");
  ports_.received.CEXFrameArrived(data, nullptr);
  view_.CEXSetEdit(TCEXEdit::Edit7, UDTTimeText());
  ports_.comm.TCPSetShowErrors(true);
  // Raised only once the text is stored.
  arrival_ = 1;
}

void TCEXLink::CTPClientSocketPPP1Disconnect() {
  if (ended_) return;
  Shielded(ports_.dialogs, [&] {
    TCTPClientSocketPPP& client = ports_.client;
    client.CTPDisplayStatusString(false, "TCP/IP Client socket disconnected");
    view_.CEXSetStatus(0, "TCP/IP Client not connected");
    // The response gate opens: an answer that waited for the close may now
    // be processed.
    CEXbNoWaitForDisconnect = true;
    // A send that waited for the delay has no connection any more.
    connectionDelayTimer_->CEXStop();
    // The client's end leaves the server alone.
    static_cast<void>(ports_.comm.TCPDisconnectModem(&client, nullptr));
  });
}

void TCEXLink::CTPClientSocketPPP1Error(int) {
  if (ended_) return;
  Shielded(ports_.dialogs, [&] {
    TCTPClientSocketPPP& client = ports_.client;
    TTCPCommParams& comm = ports_.comm;
    comm.TCPSetShowErrors(true);
    connectionDelayTimer_->CEXStop();
    int code = 0;
    std::string text;
    RRSWindowsErrorText(code, text);
    TRRSModemStatusForm& statusForm = comm.TCPStatusForm();
    bool taken = false;
    if (statusForm.RRSStatusWindowVisible()) {
      client.CTPDisplayStatusString(true, text);
      statusForm.RRSEnableClose();
    } else {
      const std::string message = "Windows Error Message: " + text;
      taken = ports_.errors.CEXLogError(code, message, false);
      if (!taken) ports_.errorWindow.ERRSetError(code, message);
    }
    std::string reason;
    const int rc = comm.TCPDisConnect(&client, &ports_.server, &reason);
    UpdateServerPanel();
    if (rc != 0) ShowServerFailure(rc, reason);
    // No connection is left whose close an answer could wait for (one that
    // never connected gives no disconnect event).
    CEXbNoWaitForDisconnect = true;
    if (taken) EndAwaitedRow();
  });
}

void TCEXLink::EndAwaitedRow() {
  // The response time-out of this send must not end the next row.
  CEXStopResponseTimer();
  if (ports_.sequence != nullptr) ports_.sequence->SEQRunNextRow();
}

void TCEXLink::CTPClientSocketPPP1DialError() {
  if (ended_) return;
  ports_.comm.TCPStatusForm().RRSEnableClose();
}

// ------------------------------------------------------ client thread, sending

void TCEXLink::ReapLateClientThreads() {
  std::erase_if(lateClientThreads_, [](const std::unique_ptr<TTHCClientThread>& thread) {
    return thread->THCbTerminated();
  });
}

void TCEXLink::CEXTerminateClient() {
  ReapLateClientThreads();
  if (!CEXaClientThread) return;
  TTHCClientThread& thread = *CEXaClientThread;
  // The thread wakes at once when told; the wait is bounded all the same.
  thread.Terminate();
  for (int i = 0; i < CEXcClientThreadPolls && !thread.THCbTerminated(); ++i)
    ports_.clock.CEXSleep(CEXcClientThreadPoll);
  if (!thread.THCbTerminated()) ports_.clock.CEXSleep(CEXcClientThreadPoll);
  if (thread.THCbTerminated())
    CEXaClientThread.reset();
  else
    lateClientThreads_.push_back(std::move(CEXaClientThread));
}

void TCEXLink::SendRefused(const std::string& text) {
  if (!ports_.errors.CEXLogError(0, text, false)) ports_.errors.CEXShowMessage(text);
}

bool TCEXLink::Action_SendDataStreamExecute() {
  if (ended_) return false;
  bool sent = false;
  Shielded(ports_.dialogs, [&] {
    std::string stream = ports_.outgoing.CEXDataStreamBytes();
    if (stream.empty()) {
      SendRefused(CEXcNothingToSend);
      return;
    }
    CEXsSendString = std::move(stream);
    TTCPCommParams& comm = ports_.comm;
    TCTPClientSocketPPP& client = ports_.client;

    if (comm.TCPSendAsClient()) {
      // A receive thread that has ended has asked for its connection to
      // close; until that request is handled the connection still looks
      // open, but nobody would read the answer. It is closed first, so
      // that its disconnect does not reopen the gate closed below.
      if (CEXaClientThread && CEXaClientThread->THCbTerminated() && client.Active())
        static_cast<void>(comm.TCPDisConnect(&client, nullptr));
      if (ports_.config.CFGGetCloseRequest()) CEXbNoWaitForDisconnect = false;
      Action_ClearReceivedExecute();
      // A connection waits for its delay: it sends the newest stream.
      if (connectionDelayTimer_->CEXActive()) {
        sent = true;
        return;
      }
      if (client.Active() && client.Connected() &&
          comm.TCPClientConnectionStatus() == TTCPCommParams::TCPcConnectionOpen) {
        sent = CEXSendBytes();
        return;
      }
      arrival_ = 0;
      CEXTerminateClient();
      std::string reason;
      TPLTTcpServer& server = ports_.server;
      // The connect event sends. A client failure is shown by the
      // parameters; a server that should listen and does not is shown here.
      const int rc = comm.TCPConnect(&client, &server, &reason);
      UpdateServerPanel();
      if (rc != 0 && comm.TCPAcceptAsServer() && !server.PLTActive()) ShowServerFailure(rc, reason);
      sent = comm.TCPClientConnectionStatus() == TTCPCommParams::TCPcConnectionOpen;
      return;
    }

    TTHXMailBox& mailBox = ports_.mailBox;
    if (mailBox.THXGetSendState() == TTHXMailBox::THXcStateSendRequest) {
      // The reply before this one has not gone out yet; this one never does.
      SendRefused(CEXcSendingLater);
      return;
    }
    TTDBDebug& trace = ports_.trace;
    trace.TDBAddString(0, 0, kClassName, "Set Send State");
    // The string first, then the state the connection threads look at.
    mailBox.THXSetSendstring(CEXsSendString);
    mailBox.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
    trace.TDBAddString(0, 0, kClassName, "Set Send State 2");
    sent = true;
  });
  return sent;
}

bool TCEXLink::CEXSendBytes() {
  const std::string now = UDTTimeText();
  view_.CEXSetEdit(TCEXEdit::Edit6, now);
  const TTCPCommParams& comm = ports_.comm;
  const bool localLoop = CEXsSendString.size() >= CEXcLocalLoopMinimum &&
                         comm.TCPGetCommType() == TTCPCommParams::TCPcCommThisComp &&
                         comm.TCPGetThisComputerClientServer() == TTCPCommParams::TCPcIsBoth;
  if (localLoop) {
    // This computer answers itself: the stream is the received one.
    ports_.received.CEXFrameArrived(CEXsSendString, &view_.CEXMemo(TCEXMemo::Memo6));
    view_.CEXSetEdit(TCEXEdit::Edit7, now);
    arrival_ = 1;
  } else {
    TTDBDebug& trace = ports_.trace;
    trace.TDBDumpMemoryUsage("Before send text");
    // The stream carries its length already; the write is complete or
    // fails.
    const int rc = ports_.client.CTPSendText(CEXsSendString);
    trace.TDBDumpMemoryUsage("After send text");
    if (rc != 0) {
      // A failed write comes as the socket's error event; without a
      // connection there is none, so it is shown here. Nothing was sent:
      // no answer is waited for.
      if (rc == PLTcSocketNotConnected) {
        const std::string message = "Client socket error: " + PLTSocketErrorText(rc);
        if (ports_.errors.CEXLogError(rc, message, false))
          EndAwaitedRow();
        else
          ports_.errors.ERRSetErrorMessage(rc, message);
      }
      return false;
    }
    CEXStartResponseTimer();
  }
  view_.CEXSetStatus(1, "Data stream sent");
  Timer3->CEXStart(CEXcStatusClearInterval);
  CEXRestartHangUpTimer();
  return true;
}

void TCEXLink::Action_ClearReceivedExecute() {
  ports_.received.CEXClearReceived();
}

// ------------------------------------------------------------------ hang up

void TCEXLink::Action_HangUpExecute() {
  if (ended_) return;
  Shielded(ports_.dialogs, [&] {
    // Ended before a failure is shown.
    const TCEXBusyCursor busy(ports_.cursor);
    ports_.trace.TDBAddString(0, 0, kClassName, "Action_HangUpExecute 1");
    ports_.mailBox.THXSetSendState(TTHXMailBox::THXcStateIdle);
    connectionDelayTimer_->CEXStop();
    TPLTTcpServer& server = ports_.server;
    // Every server connection ends, even one whose thread has not counted
    // itself in yet or that is stuck in a write; the signal ends the client
    // thread. The wait is bounded and sleeps on a condition, it does not
    // poll.
    server.PLTShutdownConnections();
    static_cast<void>(ports_.synch.TERTerminateAll());
    CEXTerminateClient();
    std::string reason;
    const int rc = ports_.comm.TCPDisconnectModem(&ports_.client, &server, &reason);
    UpdateServerPanel();
    if (rc != 0) ShowServerFailure(rc, reason);
  });
}

}  // namespace kal
