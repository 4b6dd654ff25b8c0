#pragma once

// The link of the main window: the client socket's events and its receive
// thread, the server's connections, the mailbox to the newest one, sending
// as client or server, the response, status and hang-up timers, the server
// start and the status panels of the connections, "Clear Received Windows"
// and "Hang Up", and the link's part of the idle pass. The GUI thread only;
// worker threads reach it through the posted calls of its receive view.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbench/MainWindowPorts.h"
#include "workbench/RoadPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXErrorHandOff;
class ICEXSequenceWindow;
class IERRErrorWindow;
class IPLTEventPoster;
class ITHReceiveView;
class TCEXCursorState;
class TCFGConfig;
class TCTPClientSocketPPP;
class TPLTTcpServer;
class TTCPCommParams;
class TTDBDebug;
class TTERThreadSynch;
class TTHCClientThread;
class TTHXMailBox;

class TCEXLink final {
 public:
  static constexpr std::chrono::milliseconds CEXcStatusClearInterval{2000};
  static constexpr int CEXcErrorServerSocket = 7002;
  static constexpr int CEXcErrorResponseTimeout = 7007;
  static constexpr const char* CEXcNothingToSend = "No data stream to send";
  static constexpr const char* CEXcSendingLater = "Sending data, try later";
  // Polls of CEXTerminateClient: 501 times 10 ms.
  static constexpr int CEXcClientThreadPolls = 501;
  static constexpr std::chrono::milliseconds CEXcClientThreadPoll{10};
  // The local loop takes streams from this length on.
  static constexpr size_t CEXcLocalLoopMinimum = 4000;

  // None is owned; every reference must outlive the link. The objects the
  // worker threads touch (trace .. receiveView) live in the main window's
  // shared block. `sequence` may be null; `idlePass` runs the main window's
  // idle pass.
  struct TPorts {
    TCEXViewState& view;
    ICEXErrorHandOff& errors;
    IERRErrorWindow& errorWindow;
    ICEXDialogs& dialogs;
    ICEXClock& clock;
    ICEXTimerFactory& timers;
    TCEXCursorState& cursor;
    ICEXSequenceWindow* sequence = nullptr;
    ICEXReceivedFrames& received;
    ICEXOutgoingStream& outgoing;
    TTDBDebug& trace;
    TCFGConfig& config;
    TTCPCommParams& comm;
    TCTPClientSocketPPP& client;
    TPLTTcpServer& server;
    TTERThreadSynch& synch;
    TTHXMailBox& mailBox;
    IPLTEventPoster& poster;
    ITHReceiveView& receiveView;
    std::function<void()> idlePass;
  };

  // Binds the client events, makes the timers and installs the server's
  // connection handlers.
  explicit TCEXLink(TPorts ports);
  ~TCEXLink();
  TCEXLink(const TCEXLink&) = delete;
  TCEXLink& operator=(const TCEXLink&) = delete;

  // Starts the server from the communication parameters; a failure shows
  // 7002.
  void StartServer();
  void UpdateServerPanel();
  // The link's part of the idle pass: the socket error the mailbox holds,
  // the client's status panel, the arrival flag, the server's send state
  // and the server panel.
  void CEXIdlePass();
  // At shutdown: the timers stop, nothing more is done; client threads
  // that have not ended stay for the rest of the process unless `allEnded`.
  void CEXStopTimers();
  void CEXEnd(bool allEnded);

  // Arrival of a frame, on the GUI thread: Memo5 shows the received stream
  // (length bytes and body) as hex. Cancels the response time-out, raises
  // the arrival flag and runs the idle pass at once.
  void CEXFrameStored(const std::string& frame);
  // Arms the response time-out (after each send), stops it (the answer
  // began to come) and restarts the hang-up time-out (the dial-up link).
  void CEXStartResponseTimer();
  void CEXStopResponseTimer();
  void CEXRestartHangUpTimer();
  // Status panel 1, the transient status.
  void CEXSetTransientStatus(const std::string& text);
  // A server connection ended with an error: code 7002 with the text, when
  // errors are to be shown; the next one is shown in any case.
  void CEXServerError(const std::string& text);

  // The client socket's events; the link binds them to the socket.
  void CTPClientSocketPPP1Lookup();
  void CTPClientSocketPPP1Connecting();
  // Starts a receive thread on the new connection; unless the socket's tag
  // says that someone else sends, the stream goes out once the connection
  // delay (a one-shot timer) has passed.
  void CTPClientSocketPPP1Connect();
  void CTPClientSocketPPP1Read(const std::string& data);
  void CTPClientSocketPPP1Disconnect();
  void CTPClientSocketPPP1Error(int code);
  void CTPClientSocketPPP1DialError();
  // Stops the client receive thread and frees it once it has ended; a
  // thread that does not end within CEXcClientThreadPolls polls is kept
  // (never freed while it runs) and freed when it has ended.
  void CEXTerminateClient();

  // "Send Data Stream": true when the stream went out or is on its way (the
  // connect event sends it); false when nothing was sent: no stream, a
  // reply still pending as server ("Sending data, try later") or no
  // connection to be had. Each refusal is reported, to a running sequence
  // as the message's error.
  bool Action_SendDataStreamExecute();
  void Action_ClearReceivedExecute();
  void Action_HangUpExecute();
  // Sends CEXsSendString through the client connection, or loops it back
  // into Memo5 on the local line; false when the write failed.
  bool CEXSendBytes();

  // The client socket's tag: 0 lets the connect event send the stream;
  // another value leaves the sending to whoever connected.
  int CEXClientSocketTag() const { return CEXiClientSocketTag; }
  void CEXSetClientSocketTag(int tag) { CEXiClientSocketTag = tag; }
  // The stream last handed to the connection for sending.
  const std::string& CEXSendString() const { return CEXsSendString; }
  // Whether a client receive thread exists (running or not yet freed).
  bool CEXHasClientThread() const { return CEXaClientThread != nullptr; }
  // Whether a send waits for the connection delay.
  bool CEXSendPendingDelay() const;
  // The response gate: closed while an answer waits for the close of its
  // connection.
  bool CEXNoWaitForDisconnect() const { return CEXbNoWaitForDisconnect; }
  void CEXSetNoWaitForDisconnect(bool open) { CEXbNoWaitForDisconnect = open; }
  // The arrival flag: 1 when a received frame waits.
  int CEXArrivalFlag() const { return arrival_; }
  // "Parse Message" is enabled from the first arrival on.
  bool CEXParseMessageEnabled() const { return parseMessageEnabled_; }

 private:
  void ShowServerFailure(int code, const std::string& reason);
  void OnResponseTimeout();
  void OnStatusClear();
  void OnHangUpTimeout();
  void OnConnectionDelay();
  void ReapLateClientThreads();
  // A refusal of "Send Data Stream": the message's error in a running
  // sequence, else a message box.
  void SendRefused(const std::string& text);
  // A client error that a running sequence took ends the row it awaits: no
  // answer can come on a connection that failed.
  void EndAwaitedRow();

  TPorts ports_;
  TCEXViewState& view_;
  std::unique_ptr<ICEXTimer> Timer1;  // response time-out
  std::unique_ptr<ICEXTimer> Timer3;  // clears status panel 1
  std::unique_ptr<ICEXTimer> Timer4;  // modem hang-up time-out
  std::unique_ptr<ICEXTimer> connectionDelayTimer_;
  // Posted calls reach the link only while it is there and not ended.
  std::shared_ptr<int> aliveToken_ = std::make_shared<int>(0);
  bool ended_ = false;

  std::string CEXsSendString;
  int CEXiClientSocketTag = 0;
  bool CEXbNoWaitForDisconnect = true;
  bool parseMessageEnabled_ = false;
  int arrival_ = 0;
  // Sends and answers counted, so that a time-out firing after the answer
  // to the last send is ignored.
  uint64_t sends_ = 0;
  uint64_t answeredSend_ = 0;
  std::unique_ptr<TTHCClientThread> CEXaClientThread;
  // Client threads that did not end in time; freed once they have.
  std::vector<std::unique_ptr<TTHCClientThread>> lateClientThreads_;
};

}  // namespace kal
