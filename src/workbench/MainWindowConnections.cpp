// The main window's connections: the client socket's events and its receive
// thread, the server's connection handlers, sending as client or server,
// "Clear Received Windows" and "Hang Up".

#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>

#include "comm/ClientSocketPPP.h"
#include "comm/ClientThread.h"
#include "comm/CommParams.h"
#include "comm/MailBox.h"
#include "comm/ModemStatusForm.h"
#include "comm/ServerThread.h"
#include "comm/SocketErrorLatch.h"
#include "comm/ThreadSynch.h"
#include "config/Config.h"
#include "platform/SocketErrors.h"
#include "platform/TcpServer.h"
#include "support/DateTimeUtilities.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/MemoryUtilities.h"
#include "support/TraceLogger.h"
#include "workbench/MainWindow.h"

namespace kal {

namespace {

constexpr const char* kClassName = "TForm1";

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

// ------------------------------------------------------------------ set-up

void TCEXMainWindow::CEXInitConnections(ICEXTimerFactory& timers) {
  connectionDelayTimer_ =
      timers.CEXCreateTimer(false, [this] { Shielded(dialogs_, [&] { OnConnectionDelay(); }); });

  TCTPClientSocketPPP& client = CEXClientSocket();
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
  IPLTEventPoster& gate = CEXPoster();
  const std::weak_ptr<int> alive = aliveToken_;
  auto context = std::make_shared<TServerContext>(
      TServerContext{CEXTrace(), gate, CEXReceiveView(), CEXConfiguration(), CEXThreadSynch(),
                     CEXMailBox(), CEXServer(),
                     [&gate, alive, this] {
                       gate.PLTPost([alive, this] {
                         if (!alive.expired() && !destroyed_) UpdateServerPanel();
                       });
                     },
                     [&gate, alive, this](std::string text) {
                       gate.PLTPost([alive, this, text = std::move(text)] {
                         if (!alive.expired()) CEXServerError(text);
                       });
                     }});
  CEXServer().PLTSetHandlerFactory([context](std::shared_ptr<TPLTStreamSocket> socket) {
    return MakeServerConnection(std::move(socket), *context);
  });
  // The trace is thread-safe and outlives the server's accept thread.
  TTDBDebug& trace = CEXTrace();
  CEXServer().PLTSetRefusedHandler([&trace](size_t served) {
    trace.TDBSimpleAddString("Server: connection closed at once, " + std::to_string(served) +
                             " connections are served already");
  });
}

void TCEXMainWindow::CEXEndConnections(bool allEnded) {
  connectionDelayTimer_->CEXStop();
  if (CEXaClientThread) lateClientThreads_.push_back(std::move(CEXaClientThread));
  std::vector<std::unique_ptr<TTHCClientThread>> running;
  for (auto& thread : lateClientThreads_)
    if (!allEnded && !thread->THCbTerminated()) running.push_back(std::move(thread));
  // The ended ones are joined here (at once: they have finished).
  lateClientThreads_.clear();
  if (!running.empty()) KeepRunningClientThreads(std::move(running));
}

// ------------------------------------------------------------ client events

void TCEXMainWindow::CTPClientSocketPPP1Lookup() {
  if (destroyed_) return;
  CEXClientSocket().CTPDisplayStatusString(false, "TCP/IP Client socket lookup");
}

void TCEXMainWindow::CTPClientSocketPPP1Connecting() {
  if (destroyed_) return;
  CEXClientSocket().CTPDisplayStatusString(false, "TCP/IP Client socket connecting");
  SetStatus(0, "TCP/IP Client connecting");
}

void TCEXMainWindow::CTPClientSocketPPP1Connect() {
  if (destroyed_) return;
  Shielded(dialogs_, [&] {
    TCTPClientSocketPPP& client = CEXClientSocket();
    TTCPCommParams& comm = CEXCommParams();
    client.CTPDisplayStatusString(false, "TCP/IP Client socket connected");
    comm.TCPStatusForm().RRSEnableClose();
    comm.TCPSetShowErrors(true);

    CEXTerminateClient();
    CEXaClientThread = std::make_unique<TTHCClientThread>(
        false, client.CTPTakeConnection(), CEXPoster(), CEXReceiveView(), CEXThreadSynch(),
        CEXConfiguration(), CEXMailBox(), &client);

    if (CEXiClientSocketTag == 0) {
      // The peer gets its time before the stream goes out; the GUI thread
      // goes on meanwhile.
      client.CTPDisplayStatusString(false, "Waiting connection delay");
      const int32_t delay = CEXConfiguration().CFGGetConnectionDelay();
      connectionDelayTimer_->CEXStart(std::chrono::milliseconds(std::max<int32_t>(delay, 0)));
    }
  });
}

void TCEXMainWindow::OnConnectionDelay() {
  connectionDelayTimer_->CEXStop();
  if (destroyed_) return;
  CEXCommParams().TCPStatusForm().RRSClose();
  if (!CEXsSendString.empty()) CEXSendBytes();
}

bool TCEXMainWindow::CEXSendPendingDelay() const {
  return connectionDelayTimer_->CEXActive();
}

void TCEXMainWindow::CTPClientSocketPPP1Read(const std::string& data) {
  if (destroyed_) return;
  CEXClientSocket().CTPDisplayStatusString(false, "TCP/IP Client socket receive text");
  receiveRoad_->CEXFrameArrived(data);
  viewState_.CEXSetEdit(TCEXEdit::Edit7, UDTTimeText());
  CEXCommParams().TCPSetShowErrors(true);
  // Raised only once the text is stored.
  arrival_ = 1;
}

void TCEXMainWindow::CTPClientSocketPPP1Disconnect() {
  if (destroyed_) return;
  Shielded(dialogs_, [&] {
    TCTPClientSocketPPP& client = CEXClientSocket();
    client.CTPDisplayStatusString(false, "TCP/IP Client socket disconnected");
    SetStatus(0, "TCP/IP Client not connected");
    // The response gate opens: an answer that waited for the close may now
    // be processed.
    CEXbNoWaitForDisconnect = true;
    // A send that waited for the delay has no connection any more.
    connectionDelayTimer_->CEXStop();
    // The client's end leaves the server alone.
    static_cast<void>(CEXCommParams().TCPDisconnectModem(&client, nullptr));
  });
}

void TCEXMainWindow::CTPClientSocketPPP1Error(int) {
  if (destroyed_) return;
  Shielded(dialogs_, [&] {
    TCTPClientSocketPPP& client = CEXClientSocket();
    TTCPCommParams& comm = CEXCommParams();
    comm.TCPSetShowErrors(true);
    connectionDelayTimer_->CEXStop();
    int code = 0;
    std::string text;
    RRSWindowsErrorText(code, text);
    TRRSModemStatusForm& statusForm = comm.TCPStatusForm();
    if (statusForm.RRSStatusWindowVisible()) {
      client.CTPDisplayStatusString(true, text);
      statusForm.RRSEnableClose();
    } else {
      const std::string message = "Windows Error Message: " + text;
      if (!CEXLogError(code, message, false)) errorWindow_.ERRSetError(code, message);
    }
    std::string reason;
    const int rc = comm.TCPDisConnect(&client, &CEXServer(), &reason);
    UpdateServerPanel();
    if (rc != 0) ShowServerFailure(rc, reason);
    // No connection is left whose close an answer could wait for (one that
    // never connected gives no disconnect event).
    CEXbNoWaitForDisconnect = true;
  });
}

void TCEXMainWindow::CTPClientSocketPPP1DialError() {
  if (destroyed_) return;
  CEXCommParams().TCPStatusForm().RRSEnableClose();
}

// ------------------------------------------------------ client thread, sending

void TCEXMainWindow::ReapLateClientThreads() {
  std::erase_if(lateClientThreads_, [](const std::unique_ptr<TTHCClientThread>& thread) {
    return thread->THCbTerminated();
  });
}

void TCEXMainWindow::CEXTerminateClient() {
  ReapLateClientThreads();
  if (!CEXaClientThread) return;
  TTHCClientThread& thread = *CEXaClientThread;
  // The thread wakes at once when told; the wait is bounded all the same.
  thread.Terminate();
  for (int i = 0; i < CEXcClientThreadPolls && !thread.THCbTerminated(); ++i)
    clock_.CEXSleep(CEXcClientThreadPoll);
  if (!thread.THCbTerminated()) clock_.CEXSleep(CEXcClientThreadPoll);
  if (thread.THCbTerminated())
    CEXaClientThread.reset();
  else
    lateClientThreads_.push_back(std::move(CEXaClientThread));
}

void TCEXMainWindow::Action_SendDataStreamExecute() {
  if (destroyed_) return;
  Shielded(dialogs_, [&] {
    std::string stream = streamRoad_->CEXDataStreamBytes();
    if (stream.empty()) return;
    CEXsSendString = std::move(stream);
    TTCPCommParams& comm = CEXCommParams();
    TCTPClientSocketPPP& client = CEXClientSocket();

    if (comm.TCPSendAsClient()) {
      // A receive thread that has ended has asked for its connection to
      // close; until that request is handled the connection still looks
      // open, but nobody would read the answer. It is closed first, so
      // that its disconnect does not reopen the gate closed below.
      if (CEXaClientThread && CEXaClientThread->THCbTerminated() && client.Active())
        static_cast<void>(comm.TCPDisConnect(&client, nullptr));
      if (CEXConfiguration().CFGGetCloseRequest()) CEXbNoWaitForDisconnect = false;
      Action_ClearReceivedExecute();
      // A connection waits for its delay: it sends the newest stream.
      if (connectionDelayTimer_->CEXActive()) return;
      if (client.Active() && client.Connected() &&
          comm.TCPClientConnectionStatus() == TTCPCommParams::TCPcConnectionOpen) {
        CEXSendBytes();
        return;
      }
      arrival_ = 0;
      CEXTerminateClient();
      std::string reason;
      TPLTTcpServer& server = CEXServer();
      // The connect event sends. A client failure is shown by the
      // parameters; a server that should listen and does not is shown here.
      const int rc = comm.TCPConnect(&client, &server, &reason);
      UpdateServerPanel();
      if (rc != 0 && comm.TCPAcceptAsServer() && !server.PLTActive()) ShowServerFailure(rc, reason);
      return;
    }

    TTHXMailBox& mailBox = CEXMailBox();
    if (mailBox.THXGetSendState() == TTHXMailBox::THXcStateSendRequest) {
      CEXShowMessage("Sending data, try later");
      return;
    }
    TTDBDebug& trace = CEXTrace();
    trace.TDBAddString(0, 0, kClassName, "Set Send State");
    // The string first, then the state the connection threads look at.
    mailBox.THXSetSendstring(CEXsSendString);
    mailBox.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
    trace.TDBAddString(0, 0, kClassName, "Set Send State 2");
  });
}

void TCEXMainWindow::CEXSendBytes() {
  const std::string now = UDTTimeText();
  viewState_.CEXSetEdit(TCEXEdit::Edit6, now);
  const TTCPCommParams& comm = CEXCommParams();
  const bool localLoop = CEXsSendString.size() >= CEXcLocalLoopMinimum &&
                         comm.TCPGetCommType() == TTCPCommParams::TCPcCommThisComp &&
                         comm.TCPGetThisComputerClientServer() == TTCPCommParams::TCPcIsBoth;
  if (localLoop) {
    // This computer answers itself: the stream is the received one.
    receiveRoad_->CEXFrameArrived(CEXsSendString, &viewState_.CEXMemo(TCEXMemo::Memo6));
    viewState_.CEXSetEdit(TCEXEdit::Edit7, now);
    arrival_ = 1;
  } else {
    TTDBDebug& trace = CEXTrace();
    trace.TDBDumpMemoryUsage("Before send text");
    // The stream carries its length already; the write is complete or
    // fails.
    const int rc = CEXClientSocket().CTPSendText(CEXsSendString);
    trace.TDBDumpMemoryUsage("After send text");
    if (rc != 0) {
      // A failed write comes as the socket's error event; without a
      // connection there is none, so it is shown here. Nothing was sent:
      // no answer is waited for.
      if (rc == PLTcSocketNotConnected) {
        const std::string message = "Client socket error: " + PLTSocketErrorText(rc);
        if (!CEXLogError(rc, message, false)) ERRSetErrorMessage(rc, message);
      }
      return;
    }
    CEXStartResponseTimer();
  }
  SetStatus(1, "Data stream sent");
  Timer3->CEXStart(CEXcStatusClearInterval);
  CEXRestartHangUpTimer();
}

void TCEXMainWindow::Action_ClearReceivedExecute() {
  receiveRoad_->CEXClearReceived();
}

// ------------------------------------------------------------------ hang up

void TCEXMainWindow::Action_HangUpExecute() {
  if (destroyed_) return;
  Shielded(dialogs_, [&] {
    // Ended before a failure is shown.
    const TCEXBusyCursor busy(cursor_);
    CEXTrace().TDBAddString(0, 0, kClassName, "Action_HangUpExecute 1");
    CEXMailBox().THXSetSendState(TTHXMailBox::THXcStateIdle);
    connectionDelayTimer_->CEXStop();
    TPLTTcpServer& server = CEXServer();
    // Every server connection ends, even one whose thread has not counted
    // itself in yet or that is stuck in a write; the signal ends the client
    // thread. The wait is bounded and sleeps on a condition, it does not
    // poll.
    server.PLTShutdownConnections();
    static_cast<void>(CEXThreadSynch().TERTerminateAll());
    CEXTerminateClient();
    std::string reason;
    const int rc = CEXCommParams().TCPDisconnectModem(&CEXClientSocket(), &server, &reason);
    UpdateServerPanel();
    if (rc != 0) ShowServerFailure(rc, reason);
  });
}

}  // namespace kal
