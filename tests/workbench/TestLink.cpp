// The link alone (no main window) against real loopback peers, through
// fakes of its ports: sending as client (connection delay, echo, response
// gate, refused and reset connections, the local loop), the server role
// with its mailbox reply, Hang Up, the idle pass's part of the link and its
// timers. The link runs on this thread; its timers and the worker threads'
// posts go through one pumped queue, as they would through the GUI loop.

#include "workbench/Link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "comm/ClientSocketPPP.h"
#include "comm/CommParams.h"
#include "comm/ErrorHandOff.h"
#include "comm/MailBox.h"
#include "comm/ModemStatusForm.h"
#include "comm/ReceiveView.h"
#include "comm/ThreadSynch.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "platform/EventPoster.h"
#include "platform/TcpServer.h"
#include "support/ErrorWindow.h"
#include "support/TraceLogger.h"
#include "workbench/BusyCursor.h"
#include "workbench/ConnectionPeer.h"
#include "workbench/ManualTimers.h"
#include "workbench/PosterGate.h"
#include "workbench/QueueTimers.h"
#include "workbench/RoadPorts.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// A frame as the stream converter makes it: 4-byte big-endian length, body.
std::string Frame(const std::string& body) {
  const auto n = static_cast<uint32_t>(body.size());
  std::string f{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                static_cast<char>(n)};
  return f + body;
}

// A frame of exactly `total` bytes with a recognisable body.
std::string FrameOfSize(size_t total) {
  std::string body(total - 4, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 23);
  return Frame(body);
}

std::string ClientIni(int port, int delay, int closeOnResponse) {
  return test::TcpClientIni(std::to_string(port)) +
         "[Timeout]\r\nConnectionDelay=" + std::to_string(delay) +
         "\r\nCloseOnResponse=" + std::to_string(closeOnResponse) + "\r\n";
}

// This computer, role 0 client, 1 server or 2 client and server.
std::string ThisComputerIni(int port, int role, int delay = 0, int closeOnResponse = 0) {
  return "[Communication]\r\nCommType=0\r\nThisComputerClientServer=" + std::to_string(role) +
         "\r\nThisComputerIPPortNr=" + std::to_string(port) +
         "\r\n[Timeout]\r\nConnectionDelay=" + std::to_string(delay) +
         "\r\nCloseOnResponse=" + std::to_string(closeOnResponse) +
         "\r\n[Component]\r\nLogToFile=1\r\n";
}

// The link's ports beyond the communication objects: the form under the
// view state, the error hand-off (a visible sequence takes the errors, as
// the main window routes them), the error window and dialogs, the sequence
// window, the mouse cursor, the receive road (the last frame handed in,
// cleared by "Clear Received Windows") and the stream road (the stream to
// send). The receive threads' view forwards to the link and the view state
// as the main window's does.
class Host final : public ICEXView,
                   public ICEXErrorHandOff,
                   public IERRErrorWindow,
                   public ICEXDialogs,
                   public ICEXSequenceWindow,
                   public ICEXCursor,
                   public ICEXReceivedFrames,
                   public ICEXOutgoingStream,
                   public ITHReceiveView {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {}; }
  void CEXCloseMainWindow() override {}

  bool CEXLogError(int id, const std::string& text, bool) override {
    if (!sequenceVisible) return false;
    logged.push_back(std::to_string(id) + " " + text);
    return true;
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  void ERRSetError(int code, const std::string& detail) override {
    if (Busy()) ++boxesUnderBusyCursor;
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void CEXShowMessage(const std::string& text) override {
    if (Busy()) ++boxesUnderBusyCursor;
    messages.push_back(text);
  }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }

  bool SEQVisible() const override { return sequenceVisible; }
  void SEQLoadSequenceFile(const std::string&) override {}
  void SEQMessageAvailable() override {
    ++available;
    gateOpenWhenAvailable = link != nullptr && link->CEXNoWaitForDisconnect();
  }
  void SEQRunNextRow() override { ++nextRows; }
  TSEQErrorTaken SEQLogError(int, const std::string&, bool) override {
    return TSEQErrorTaken::NotRunning;
  }

  void CEXSetBusyCursor() override { cursor.push_back("busy"); }
  void CEXSetDefaultCursor() override { cursor.push_back("default"); }
  bool Busy() const { return !cursor.empty() && cursor.back() == "busy"; }

  void CEXFrameArrived(std::string frame, const std::string* shown) override {
    ++arrivals;
    received = std::move(frame);
    shownWith = shown;
  }
  void CEXClearReceived() override {
    ++clears;
    received.clear();
  }
  const std::string& CEXDataStreamBytes() const override { return stream; }

  void THShowReceived(const std::string& frame) override { link->CEXFrameStored(frame); }
  void THSetReceiveTime(const std::string& timeText) override {
    view->CEXSetEdit(TCEXEdit::Edit7, timeText);
  }
  void THSetStatusText(const std::string& text) override { link->CEXSetTransientStatus(text); }
  void THShowMessage(const std::string& text) override { CEXShowMessage(text); }
  void THStopResponseTimer() override { link->CEXStopResponseTimer(); }
  void THRestartHangUpTimer() override { link->CEXRestartHangUpTimer(); }

  Lines messages, errors, logged, cursor;
  int boxesUnderBusyCursor = 0;
  bool sequenceVisible = false;
  int available = 0, nextRows = 0;
  bool gateOpenWhenAvailable = false;
  std::string received, stream;
  const std::string* shownWith = nullptr;
  int arrivals = 0, clears = 0;
  TCEXLink* link = nullptr;
  TCEXViewState* view = nullptr;
};

using test::FakeTimer;
using test::QueueTimer;

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    host_.view = &view_;
    // Every call the worker threads post is followed by the idle pass; a
    // mailbox hand-off posts one.
    gate_.CEXSetAfterCall([this] { IdlePass(); });
    mailBox_.THXSetOnHandOff([this] { gate_.PLTPost([] {}); });
    config_.CFGSetTrace(&trace_);
    trace_.TDBEnableAllID();
  }
  // Reads `ini` as the configuration in use, makes the link and starts the
  // server, as the main window does at its start. With `manualTimers` the
  // link's timers run only when a test fires them (Timer1, Timer3, Timer4,
  // the connection delay, in this order); else they run on the queue.
  TCEXLink& Start(const std::string& ini, bool manualTimers = false) {
    test::WriteFile(dir_.file("config.ini"), ini);
    EXPECT_EQ(config_.CFGReadIniFile(true), 0);
    if (config_.CFGGetLogToFile() >= 1) {
      trace_.TDBLogToFile(dir_.file("DEBUG.TXT"));
      trace_.TDBEnableLogToFile(true);
    }
    ICEXTimerFactory& timers = manualTimers ? static_cast<ICEXTimerFactory&>(manualTimers_)
                                            : static_cast<ICEXTimerFactory&>(queueTimers_);
    link_ = std::make_unique<TCEXLink>(TCEXLink::TPorts{.view = view_,
                                                        .errors = host_,
                                                        .errorWindow = host_,
                                                        .dialogs = host_,
                                                        .clock = clock_,
                                                        .timers = timers,
                                                        .cursor = cursor_,
                                                        .sequence = &host_,
                                                        .received = host_,
                                                        .outgoing = host_,
                                                        .trace = trace_,
                                                        .config = config_,
                                                        .comm = comm_,
                                                        .client = client_,
                                                        .server = server_,
                                                        .synch = synch_,
                                                        .mailBox = mailBox_,
                                                        .poster = gate_,
                                                        .receiveView = host_,
                                                        .idlePass = [this] { IdlePass(); }});
    host_.link = link_.get();
    link_->StartServer();
    return *link_;
  }
  // As the main window ends: the timers stop, the worker threads are told
  // to end and awaited, and the link lets go of its client threads.
  void TearDown() override {
    if (!link_) return;
    link_->CEXStopTimers();
    synch_.TERSetTerminate();
    client_.Close();
    server_.PLTDeactivate();
    link_->CEXEnd(synch_.TERTerminateAll());
    gate_.CEXClose();
  }
  void IdlePass() {
    if (link_) link_->CEXIdlePass();
  }
  // Pumps until `done` holds; false when `limit` passes first (only a hang).
  bool Pump(const std::function<bool()>& done,
            std::chrono::milliseconds limit = std::chrono::seconds(90)) {
    const auto deadline = Clock::now() + limit;
    while (!queue_.PLTPumpUntil(done, 5ms))
      if (Clock::now() >= deadline) return false;
    return true;
  }
  // For peers that wait on another thread while the queue must keep moving.
  auto Pumping() {
    return [this] { queue_.PLTPump(); };
  }
  QueueTimer& ResponseTimer() { return *queueTimers_.made.at(0); }
  FakeTimer& ManualTimer(size_t index) { return *manualTimers_.made.at(index); }
  const std::string& Status(int panel) const { return view_.CEXStatus(panel); }
  std::string Trace() const {
    const std::string path = dir_.file("DEBUG1.TXT");
    return std::filesystem::exists(path) ? test::ReadFile(path) : "";
  }

  TPLTEventQueue queue_;
  test::TempDir dir_;
  Host host_;
  TCEXPosterGate gate_{queue_};
  TTDBDebug trace_;
  TTCPCommParams comm_{8000, &host_};
  TCFGConfig config_{dir_.path(), TCFGConfig::CFGcBaseFileName, &comm_};
  TTERThreadSynch synch_;
  TTHXMailBox mailBox_;
  TCTPClientSocketPPP client_{gate_};
  TPLTTcpServer server_;
  TCEXViewState view_{host_};
  TCEXCursorState cursor_{&host_};
  test::QueueTimers queueTimers_{queue_};
  test::FakeTimers manualTimers_;
  TCEXSystemClock clock_;
  std::unique_ptr<TCEXLink> link_;
};

TEST_F(LinkTest, ClientSendsAfterTheDelayTimerAndTheEchoWaitsForTheClose) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXLink& link = Start(ClientIni(port, 400, 1));
  host_.sequenceVisible = true;
  TRRSStatusLine statusLine;
  TRRSHistoryList history;
  client_.CTPInitialise(&statusLine, &history);

  // The old received frame is cleared by the send.
  host_.received = "old";
  const std::string frame = Frame("<ep2 request='1'/>");
  host_.stream = frame;
  link.Action_SendDataStreamExecute();
  EXPECT_FALSE(link.CEXNoWaitForDisconnect());  // the peer is asked to close
  EXPECT_EQ(host_.clears, 1);
  EXPECT_EQ(host_.received, "");

  // The delay runs as a timer: the GUI thread goes on handling events.
  ASSERT_TRUE(Pump([&] { return link.CEXSendPendingDelay(); }));
  EXPECT_TRUE(link.CEXHasClientThread());
  std::atomic<bool> ran{false};
  queue_.PLTPostDelayed(50ms, [&] { ran = true; });
  ASSERT_TRUE(Pump([&] { return ran.load(); }));
  EXPECT_TRUE(link.CEXSendPendingDelay());

  // The peer got the stream no earlier than the delay after the connect.
  const std::string echoed = peer.Line(Pumping());
  ASSERT_EQ(echoed.rfind("echo ", 0), 0u) << echoed;
  const int at = std::stoi(echoed.substr(5));
  EXPECT_GE(at, 350);
  EXPECT_LT(at, 8000);
  EXPECT_EQ(echoed.substr(echoed.rfind(' ') + 1), std::to_string(frame.size()));

  // The receive thread hands the answer on, then ends and closes the link:
  // the gate opens and only then does the sequence get the message.
  ASSERT_TRUE(Pump([&] { return host_.available == 1; }));
  EXPECT_TRUE(host_.gateOpenWhenAvailable);
  EXPECT_EQ(host_.received, frame);
  EXPECT_FALSE(view_.CEXEdit(TCEXEdit::Edit7).empty());
  EXPECT_FALSE(view_.CEXEdit(TCEXEdit::Edit6).empty());
  EXPECT_TRUE(link.CEXParseMessageEnabled());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  EXPECT_EQ(comm_.TCPClientConnectionStatus(), TTCPCommParams::TCPcConnectionClosed);
  EXPECT_FALSE(ResponseTimer().CEXActive());  // the answer stopped it
  EXPECT_EQ(ResponseTimer().starts, 1);
  EXPECT_EQ(Status(0), "TCP/IP Client not connected");
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_TRUE(host_.logged.empty()) << host_.logged.front();

  // The status line went through the connection's steps in order.
  Lines steps;
  for (const std::string& line : history.RRSLines())
    steps.push_back(line.substr(0, line.rfind(' ')));
  const Lines expected = {"TCP/IP Client socket connecting", "TCP/IP Client socket connected",
                          "Waiting connection delay", "TCP/IP Client socket disconnected"};
  size_t next = 0;
  for (const std::string& s : steps)
    if (next < expected.size() && s == expected[next]) ++next;
  EXPECT_EQ(next, expected.size()) << ::testing::PrintToString(steps);
}

TEST_F(LinkTest, ASendAfterTheReceiveThreadEndedDoesNotUseItsDeadConnection) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXLink& link = Start(ClientIni(port, 0, 1));
  host_.stream = Frame("<first/>");
  link.Action_SendDataStreamExecute();
  // The answer is handed on; the thread then ends and asks for the close,
  // which is not handled yet.
  ASSERT_TRUE(Pump([&] { return !host_.received.empty(); }));
  ASSERT_EQ(peer.Line().rfind("echo ", 0), 0u);
  const auto deadline = Clock::now() + 10s;
  while (synch_.TERThreadCount() != 0 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(client_.Connected());

  host_.stream = Frame("<second/>");
  link.Action_SendDataStreamExecute();
  // The old connection was closed, not written to; the gate waits for the
  // new one.
  EXPECT_FALSE(link.CEXNoWaitForDisconnect());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  // The peer is going away: the new connection is refused, or reset when it
  // was still taken into the backlog; either way the gate opens again.
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty() && !client_.Active(); }));
  EXPECT_TRUE(host_.errors[0].rfind("10061 ", 0) == 0 || host_.errors[0].rfind("10054 ", 0) == 0)
      << host_.errors[0];
  EXPECT_TRUE(link.CEXNoWaitForDisconnect());
}

TEST_F(LinkTest, ARefusedOrResetConnectionIsReportedAndNothingIsSent) {
  TCEXLink& link = Start(ClientIni(test::FreeLoopbackPort(), 300, 1));
  host_.stream = Frame("x");
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty(); }));
  EXPECT_EQ(host_.errors[0].rfind("10061 Windows Error Message: Error 10061: ", 0), 0u)
      << host_.errors[0];
  EXPECT_EQ(comm_.TCPClientConnectionStatus(), TTCPCommParams::TCPcConnectionClosed);
  EXPECT_FALSE(client_.Active());
  EXPECT_FALSE(link.CEXSendPendingDelay());
  // The gate the send closed does not wait for a connection that never was.
  EXPECT_TRUE(link.CEXNoWaitForDisconnect());

  // While the dial-up status window is open the error is shown there.
  TRRSModemStatusForm& statusForm = comm_.TCPStatusForm();
  statusForm.RRSOpenStatusForm("", "", "", "1", "127.0.0.1", "");
  client_.CTPInitialise(&statusForm.RRSGetStatusField(), &statusForm.RRSGetHistoryField());
  host_.errors.clear();
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return statusForm.RRSCloseEnabled(); }));
  EXPECT_EQ(statusForm.RRSGetStatusField().RRSGetText().rfind("Error 10061: ", 0), 0u)
      << statusForm.RRSGetStatusField().RRSGetText();
  EXPECT_EQ(statusForm.RRSGetStatusField().RRSGetColor(), TRRSStatusColor::kRed);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  statusForm.RRSClose();

  // A peer that resets at once: the reset shows either as the connect's
  // error or, once connected, as the receive thread's; the link closes and
  // the send waiting for the delay is dropped.
  test::ConnectionPeer peer("listen", {"x"});
  const int port = std::stoi(peer.Line());
  comm_.TCPSetEthernetIPPortNr(port);
  host_.errors.clear();
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty() && !client_.Active(); }));
  EXPECT_TRUE(host_.errors[0].rfind("10054 Last Socket Error", 0) == 0 ||
              host_.errors[0].rfind("10054 Windows Error Message: Error 10054: ", 0) == 0)
      << host_.errors[0];
  EXPECT_FALSE(link.CEXSendPendingDelay());
  EXPECT_TRUE(link.CEXNoWaitForDisconnect());
  // Nothing went out, so no answer is awaited.
  Pump([] { return false; }, 500ms);
  EXPECT_EQ(ResponseTimer().starts, 0);
  EXPECT_NE(Status(1), "Data stream sent");
}

TEST_F(LinkTest, TheLocalLoopTakes4000BytesAnd3999GoThroughTheSocket) {
  const int port = test::FreeLoopbackPort();
  TCEXLink& link = Start(ThisComputerIni(port, 2));
  ASSERT_EQ(Status(2), "Server listening on port " + std::to_string(port));

  // 4000 bytes: the client connects to this computer's server, but the
  // stream is looped back as the received one, shown as the stream view
  // shows it.
  const std::string big = FrameOfSize(4000);
  host_.stream = big;
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return host_.received == big; }));
  EXPECT_EQ(host_.shownWith, &view_.CEXMemo(TCEXMemo::Memo6));
  EXPECT_EQ(link.CEXSendString().size(), 4000u);
  EXPECT_EQ(ResponseTimer().starts, 0);  // nothing to wait for
  ASSERT_TRUE(Pump([&] { return link.CEXParseMessageEnabled(); }));
  EXPECT_EQ(Status(1), "Data stream sent");
  Pump([] { return false; }, 300ms);  // the server got nothing to hand on
  EXPECT_EQ(host_.arrivals, 1);

  // 3999 bytes go over the open connection to the server's side.
  const std::string small = FrameOfSize(3999);
  host_.stream = small;
  link.Action_SendDataStreamExecute();
  EXPECT_EQ(ResponseTimer().starts, 1);
  ASSERT_TRUE(Pump([&] { return host_.received == small; }));
  EXPECT_EQ(host_.shownWith, nullptr);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(LinkTest, AServerReplyGoesThroughTheMailBoxToTheNewestConnection) {
  const int port = test::FreeLoopbackPort();
  TCEXLink& link = Start(ThisComputerIni(port, 1));

  // Nobody to take the reply yet: a second one has to wait.
  host_.stream = Frame("early");
  link.Action_SendDataStreamExecute();
  EXPECT_EQ(mailBox_.THXGetSendState(), TTHXMailBox::THXcStateSendRequest);
  link.Action_SendDataStreamExecute();
  EXPECT_EQ(host_.messages, Lines{"Sending data, try later"});
  link.Action_HangUpExecute();
  EXPECT_EQ(mailBox_.THXGetSendState(), TTHXMailBox::THXcStateIdle);

  const std::string request = Frame("<request/>");
  test::ConnectionPeer first(std::to_string(port), {"s:" + test::ToHex(request), "e"});
  ASSERT_EQ(first.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return host_.received == request; }));
  ASSERT_TRUE(Pump([&] { return link.CEXParseMessageEnabled(); }));

  test::ConnectionPeer second(std::to_string(port), {"f", "e"});
  ASSERT_EQ(second.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return server_.PLTConnectionCount() == 2; }));
  const std::string reply = Frame("<response/>");
  host_.stream = reply;
  link.Action_SendDataStreamExecute();
  const std::string got = second.Line(Pumping());
  ASSERT_EQ(got.rfind("f ", 0), 0u) << got;
  EXPECT_EQ(got.substr(got.rfind(' ') + 1), test::ToHex(reply));
  ASSERT_TRUE(Pump([&] { return Status(1) == "Data stream sent"; }));
  EXPECT_EQ(mailBox_.THXGetSendState(), TTHXMailBox::THXcStateIdle);

  // Hang Up ends both connections; the first one never got a byte.
  link.Action_HangUpExecute();
  EXPECT_EQ(first.Line(Pumping()), "eof");
  EXPECT_EQ(second.Line(Pumping()), "eof");
  ASSERT_TRUE(Pump([&] { return server_.PLTConnectionCount() == 0; }));
  EXPECT_TRUE(server_.PLTActive());
  EXPECT_EQ(synch_.TERThreadCount(), 0);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(LinkTest, ServerConnectionsTraceTheirStartAndSurviveBrokenClients) {
  const int port = test::FreeLoopbackPort();
  Start(ThisComputerIni(port, 1));

  // A client that leaves in the middle of a frame: what came is handed on.
  {
    test::ConnectionPeer broken(std::to_string(port), {"s:00000064" + test::ToHex("partial"), "c"});
    ASSERT_EQ(broken.Line(Pumping()), "connected");
    ASSERT_TRUE(Pump([&] { return host_.received == "\0\0\0\x64partial"s; }));
  }
  ASSERT_TRUE(Pump([&] { return server_.PLTConnectionCount() == 0; }));
  EXPECT_EQ(Status(2), "Server listening on port " + std::to_string(port));

  // Frames above the server's limit: the first error is swallowed while
  // errors are not shown, the next one is shown with the reader's own text.
  for (int i = 0; i < 2; ++i) {
    test::ConnectionPeer huge(std::to_string(port), {"s:004C4B41", "e"});
    ASSERT_EQ(huge.Line(Pumping()), "connected");
    EXPECT_EQ(huge.Line(Pumping()), "eof");
    ASSERT_TRUE(Pump([&] { return server_.PLTConnectionCount() == 0; }));
    Pump([] { return false; }, 100ms);
  }
  EXPECT_EQ(host_.errors, Lines{"7002 Server Socket Error: Frame length exceeds limit: 5000001"});

  // The server still serves.
  const std::string frame = Frame("<after/>");
  test::ConnectionPeer good(std::to_string(port), {"s:" + test::ToHex(frame), "e"});
  ASSERT_EQ(good.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return host_.received == frame; }));

  const std::string trace = Trace();
  size_t at = 0;
  for (const char* step :
       {"IdTCPServer1Connect 1", "Create Socket Thread 1", "RAM gesamt: ", "RAM verfügbar: ",
        "Virtuell gesamt: ", "Virtuell verfügbar: ", "Create Socket Thread 2",
        "IdTCPServer1Execute 1", "IdTCPServer1Disconnect 1"}) {
    const size_t found = trace.find(step, at);
    ASSERT_NE(found, std::string::npos) << step << "\n" << trace;
    at = found;
  }
  const size_t total = trace.find("RAM gesamt: ");
  const std::string figure = trace.substr(total + 12, trace.find('\n', total) - total - 12);
  EXPECT_GT(std::stoull(figure), 0u) << figure;
  EXPECT_NE(figure.find(" Bytes"), std::string::npos) << figure;
}

// A connection's error that is still on its way when the window ends is
// not shown: no error box while the program closes.
TEST_F(LinkTest, AServerErrorArrivingAfterTheEndIsDropped) {
  const int port = test::FreeLoopbackPort();
  Start(ThisComputerIni(port, 1));
  comm_.TCPSetShowErrors(true);
  test::ConnectionPeer huge(std::to_string(port), {"s:004C4B41", "e"});
  ASSERT_EQ(huge.Line(Pumping()), "connected");
  // The queue is not pumped from here on: the error stays posted.
  ASSERT_EQ(huge.Line([] {}), "eof");
  const auto deadline = Clock::now() + 90s;
  while (server_.PLTConnectionCount() != 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(server_.PLTConnectionCount(), 0u);
  link_->CEXStopTimers();
  queue_.PLTPump();
  EXPECT_EQ(host_.errors, Lines{});
}

TEST_F(LinkTest, HangUpDuringTransfersEndsTheClientAndTheConnectionsWithinTheBound) {
  // The peer announces a large answer and sends only part of it.
  test::ConnectionPeer peer("listen", {"f", "s:000F4240" + test::ToHex("slow..."), "e"});
  const int peerPort = std::stoi(peer.Line());
  TCEXLink& link = Start(ClientIni(peerPort, 0, 1));
  host_.stream = Frame("<request/>");
  link.Action_SendDataStreamExecute();
  ASSERT_EQ(peer.Line(Pumping()).rfind("f ", 0), 0u);
  ASSERT_TRUE(Pump([&] { return Status(1).rfind("Received bytes", 0) == 0; }));

  // A server connection in the middle of a frame as well.
  comm_.TCPSetCommType(TTCPCommParams::TCPcCommThisComp);
  comm_.TCPSetThisComputerClientServer(TTCPCommParams::TCPcIsServer);
  comm_.TCPSetThisComputerIPPortNr(test::FreeLoopbackPort());
  ASSERT_EQ(comm_.TCPConnectServer(&server_), 0);
  test::ConnectionPeer sender(std::to_string(server_.PLTBoundPort()),
                              {"s:00000100" + test::ToHex("part"), "e"});
  ASSERT_EQ(sender.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return synch_.TERThreadCount() == 2; }));

  const auto before = Clock::now();
  link.Action_HangUpExecute();
  EXPECT_LT(Clock::now() - before, 4s);
  EXPECT_FALSE(link.CEXHasClientThread());
  EXPECT_EQ(synch_.TERThreadCount(), 0);
  EXPECT_FALSE(synch_.TERTerminate());
  EXPECT_FALSE(client_.Active());
  EXPECT_TRUE(link.CEXNoWaitForDisconnect());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  EXPECT_EQ(sender.Line(Pumping()), "eof");
  EXPECT_TRUE(server_.PLTActive());
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(LinkTest, HangUpShowsTheBusyCursorOnceWhileAThreadOutlivesTheWaitForIt) {
  TCEXLink& link = Start(ThisComputerIni(test::FreeLoopbackPort(), 0));
  synch_.TERIncThreadCount("late");
  link.Action_HangUpExecute();
  synch_.TERDecThreadCount("late");
  EXPECT_EQ(host_.cursor, (Lines{"busy", "default"}));
  EXPECT_EQ(host_.boxesUnderBusyCursor, 0);
}

TEST_F(LinkTest, AFrameOfMegabytesIsEchoedWholeToTheReceiveSide) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXLink& link = Start(ClientIni(port, 0, 1));
  const std::string frame = FrameOfSize(3'000'000);
  host_.stream = frame;
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return link.CEXParseMessageEnabled(); }, 60s));
  EXPECT_TRUE(host_.received == frame);
  EXPECT_EQ(peer.Line(Pumping()).rfind("echo ", 0), 0u);
}

TEST_F(LinkTest, AFailedServerStartIsShownWithCode7002) {
  TPLTTcpServer occupant;
  ASSERT_EQ(occupant.PLTActivate(), 0);
  Start(ThisComputerIni(occupant.PLTBoundPort(), 1));
  EXPECT_EQ(Status(2), "TCP/IP server not listening");
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.errors[0].rfind("7002 Server Socket Error: ", 0), 0u) << host_.errors[0];
  EXPECT_GT(host_.errors[0].size(), std::string("7002 Server Socket Error: ").size());
}

TEST_F(LinkTest, IdlePassForwardsSocketErrorsArrivalsAndSendState) {
  TCEXLink& link = Start(ThisComputerIni(test::FreeLoopbackPort(), 0), true);
  FakeTimer& statusClear = ManualTimer(1);

  ASSERT_TRUE(mailBox_.THXReportClientSocketError(10054, ": connection reset"));
  link.CEXIdlePass();
  link.CEXIdlePass();  // the flag was cleared: shown once
  EXPECT_EQ(host_.errors, Lines{"10054 Last Socket Error: connection reset"});
  host_.sequenceVisible = true;
  ASSERT_TRUE(mailBox_.THXReportClientSocketError(10060, ": timed out"));
  link.CEXIdlePass();
  EXPECT_EQ(host_.logged, Lines{"10060 Last Socket Error: timed out"});

  // An arrival waits while the response gate is closed.
  link.CEXSetNoWaitForDisconnect(false);
  link.CEXFrameStored(std::string("\0\0\0\1A", 5));
  EXPECT_EQ(host_.received, std::string("\0\0\0\1A", 5));
  EXPECT_EQ(link.CEXArrivalFlag(), 1);
  EXPECT_FALSE(link.CEXParseMessageEnabled());
  link.CEXSetNoWaitForDisconnect(true);
  link.CEXIdlePass();
  link.CEXIdlePass();
  EXPECT_EQ(link.CEXArrivalFlag(), 0);
  EXPECT_TRUE(link.CEXParseMessageEnabled());
  EXPECT_EQ(host_.available, 1);

  mailBox_.THXSetSendState(TTHXMailBox::THXcStateSended);
  link.CEXIdlePass();
  EXPECT_EQ(Status(1), "Data stream sent");
  EXPECT_EQ(mailBox_.THXGetSendState(), TTHXMailBox::THXcStateIdle);
  EXPECT_EQ(statusClear.interval, 2000ms);
  statusClear.Fire();
  EXPECT_EQ(Status(1), "");
}

TEST_F(LinkTest, ResponseTimeoutIsCancelledByAnArrivalAndReportedOtherwise) {
  TCEXLink& link = Start(ThisComputerIni(test::FreeLoopbackPort(), 0), true);
  config_.CFGSetServerResponseTimeout(1500);
  FakeTimer& response = ManualTimer(0);
  const std::string text = "Response message timeout while waiting for answer from server";

  link.CEXStartResponseTimer();
  EXPECT_EQ(response.interval, 1500ms);
  link.CEXFrameStored("x");
  EXPECT_FALSE(response.active);
  response.Fire();  // already due when the answer came: ignored
  EXPECT_TRUE(host_.messages.empty());

  link.CEXStartResponseTimer();
  response.Fire();
  EXPECT_EQ(host_.messages, Lines{text});
  host_.sequenceVisible = true;
  link.CEXStartResponseTimer();
  response.Fire();
  response.Fire();  // once per send
  EXPECT_EQ(host_.logged, Lines{"7007 " + text});
  EXPECT_EQ(host_.nextRows, 1);
}

TEST_F(LinkTest, TheHangUpTimeoutRunsFromTheLastSendAndClosesTheClientConnection) {
  test::ConnectionPeer peer("listen", {"f", "e"});
  const int port = std::stoi(peer.Line());
  TCEXLink& link = Start(ClientIni(port, 0, 0), true);
  config_.CFGSetHangUpTimeout(3000);
  FakeTimer& hangUp = ManualTimer(2);
  FakeTimer& delay = ManualTimer(3);
  host_.stream = Frame("<request/>");
  link.Action_SendDataStreamExecute();
  ASSERT_TRUE(Pump([&] { return delay.active; }));
  delay.Fire();
  ASSERT_EQ(peer.Line(Pumping()).rfind("f ", 0), 0u);
  EXPECT_TRUE(hangUp.active);
  EXPECT_EQ(hangUp.interval, 3000ms);

  hangUp.Fire();
  EXPECT_FALSE(client_.Active());
  EXPECT_EQ(comm_.TCPClientConnectionStatus(), TTCPCommParams::TCPcConnectionClosed);
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

}  // namespace
}  // namespace kal
