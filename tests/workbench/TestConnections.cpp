// The main window's connections against real loopback peers: sending as
// client (connection delay, echo, response gate, refused and reset
// connections, the local loop), the server role with its mailbox reply, and
// Hang Up. The core runs on this thread; its timers and the worker threads'
// posts go through one pumped queue, as they would through the GUI loop.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "comm/ClientSocketPPP.h"
#include "comm/CommParams.h"
#include "comm/MailBox.h"
#include "comm/ModemStatusForm.h"
#include "comm/ThreadSynch.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/RandomSource.h"
#include "platform/TcpServer.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/ConnectionPeer.h"
#include "workbench/CoreHost.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/QueueTimers.h"

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
  return "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\nEthernetIPAddr=127.0.0.1\r\n"
         "EthernetIPPortNr=" +
         std::to_string(port) + "\r\n[Timeout]\r\nConnectionDelay=" + std::to_string(delay) +
         "\r\nCloseOnResponse=" + std::to_string(closeOnResponse) + "\r\n";
}

// This computer, role 1 server or 2 client and server.
std::string ThisComputerIni(int port, int role, int delay, int closeOnResponse) {
  return "[Communication]\r\nCommType=0\r\nThisComputerClientServer=" + std::to_string(role) +
         "\r\nThisComputerIPPortNr=" + std::to_string(port) +
         "\r\n[Timeout]\r\nConnectionDelay=" + std::to_string(delay) +
         "\r\nCloseOnResponse=" + std::to_string(closeOnResponse) +
         "\r\n[Component]\r\nLogToFile=1\r\n";
}

class Host final : public test::CoreHost {
 public:
  bool SEQVisible() const override { return sequenceVisible; }
  void SEQMessageAvailable() override {
    ++available;
    gateOpenWhenAvailable = core != nullptr && core->CEXLink().CEXNoWaitForDisconnect();
  }
  TSEQErrorTaken SEQLogError(int id, const std::string& text, bool) override {
    logged.push_back(std::to_string(id) + " " + text);
    return TSEQErrorTaken::Taken;
  }

  Lines logged;
  bool sequenceVisible = false;
  int available = 0;
  bool gateOpenWhenAvailable = false;
  TCEXMainWindow* core = nullptr;
};

// Timers on the pumped queue; made in the order Timer1, Timer3, Timer4, idle,
// delay.
using test::QueueTimer;

class ConnectionsTest : public test::CoreOnQueueFixture<Host> {
 protected:
  TCEXMainWindow& Start(const std::string& ini) {
    host_.core = &MakeCore(ini);
    return ShowCore();
  }
  void SetStream(const std::string& frame) {
    core_->CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(frame));
  }
  QueueTimer& ResponseTimer() { return *timers_.made.at(0); }
  std::string Trace() const {
    const std::string path = dir_.file("DEBUG1.TXT");
    return std::filesystem::exists(path) ? test::ReadFile(path) : "";
  }
};

TEST_F(ConnectionsTest, ClientSendsAfterTheDelayTimerAndTheEchoWaitsForTheClose) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXMainWindow& core = Start(ClientIni(port, 400, 1));
  host_.sequenceVisible = true;
  TRRSStatusLine statusLine;
  TRRSHistoryList history;
  core.CEXClientSocket().CTPInitialise(&statusLine, &history);

  // Old received views are cleared by the send; the sent views stay.
  for (TCEXMemo memo : {TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo5})
    core.CEXSetMemo(memo, "old");
  core.CEXSetEdit(TCEXEdit::Edit8, "old");
  core.CEXSetMemo(TCEXMemo::Memo1, "<doc/>");
  const std::string frame = Frame("<ep2 request='1'/>");
  SetStream(frame);
  core.CEXExecute(TCEXAction::SendDataStream);
  EXPECT_FALSE(core.CEXLink().CEXNoWaitForDisconnect());  // the peer is asked to close
  for (TCEXMemo memo : {TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo5})
    EXPECT_EQ(core.CEXGetMemo(memo), "");
  EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit8), "");
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo1), "<doc/>");

  // The delay runs as a timer: the GUI thread goes on handling events.
  ASSERT_TRUE(Pump([&] { return core.CEXLink().CEXSendPendingDelay(); }));
  EXPECT_TRUE(core.CEXLink().CEXHasClientThread());
  std::atomic<bool> ran{false};
  queue_.PLTPostDelayed(50ms, [&] { ran = true; });
  ASSERT_TRUE(Pump([&] { return ran.load(); }));
  EXPECT_TRUE(core.CEXLink().CEXSendPendingDelay());

  // The peer got the stream no earlier than the delay after the connect.
  const std::string echoed = peer.Line(Pumping());
  ASSERT_EQ(echoed.rfind("echo ", 0), 0u) << echoed;
  const int at = std::stoi(echoed.substr(5));
  EXPECT_GE(at, 350);
  EXPECT_LT(at, 8000);
  EXPECT_EQ(echoed.substr(echoed.rfind(' ') + 1), std::to_string(frame.size()));

  // The receive thread shows the answer, then ends and closes the link: the
  // gate opens and only then does the sequence get the message.
  ASSERT_TRUE(Pump([&] { return host_.available == 1; }));
  EXPECT_TRUE(host_.gateOpenWhenAvailable);
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5), test::SpacedHex(frame));
  EXPECT_FALSE(core.CEXGetEdit(TCEXEdit::Edit7).empty());
  EXPECT_FALSE(core.CEXGetEdit(TCEXEdit::Edit6).empty());
  EXPECT_TRUE(core.CEXParseMessageEnabled());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  EXPECT_EQ(core.CEXCommParams().TCPClientConnectionStatus(), TTCPCommParams::TCPcConnectionClosed);
  EXPECT_FALSE(ResponseTimer().CEXActive());  // the answer stopped it
  EXPECT_EQ(ResponseTimer().starts, 1);
  EXPECT_EQ(core.CEXStatusText(0), "TCP/IP Client not connected");
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

TEST_F(ConnectionsTest, ASendAfterTheReceiveThreadEndedDoesNotUseItsDeadConnection) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXMainWindow& core = Start(ClientIni(port, 0, 1));
  SetStream(Frame("<first/>"));
  core.CEXExecute(TCEXAction::SendDataStream);
  // The answer is shown; the thread then ends and asks for the close, which
  // is not handled yet.
  ASSERT_TRUE(Pump([&] { return !core.CEXGetMemo(TCEXMemo::Memo5).empty(); }));
  ASSERT_EQ(peer.Line().rfind("echo ", 0), 0u);
  const auto deadline = Clock::now() + 10s;
  while (core.CEXThreadSynch().TERThreadCount() != 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(core.CEXClientSocket().Connected());

  SetStream(Frame("<second/>"));
  core.CEXExecute(TCEXAction::SendDataStream);
  // The old connection was closed, not written to; the gate waits for the
  // new one.
  EXPECT_FALSE(core.CEXLink().CEXNoWaitForDisconnect());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  // The peer is going away: the new connection is refused, or reset when it
  // was still taken into the backlog; either way the gate opens again.
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty() && !core.CEXClientSocket().Active(); }));
  EXPECT_TRUE(host_.errors[0].rfind("10061 ", 0) == 0 || host_.errors[0].rfind("10054 ", 0) == 0)
      << host_.errors[0];
  EXPECT_TRUE(core.CEXLink().CEXNoWaitForDisconnect());
}

TEST_F(ConnectionsTest, ARefusedOrResetConnectionIsReportedAndNothingIsSent) {
  TCEXMainWindow& core = Start(ClientIni(test::FreeLoopbackPort(), 300, 1));
  SetStream(Frame("x"));
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty(); }));
  EXPECT_EQ(host_.errors[0].rfind("10061 Windows Error Message: Error 10061: ", 0), 0u)
      << host_.errors[0];
  EXPECT_EQ(core.CEXCommParams().TCPClientConnectionStatus(), TTCPCommParams::TCPcConnectionClosed);
  EXPECT_FALSE(core.CEXClientSocket().Active());
  EXPECT_FALSE(core.CEXLink().CEXSendPendingDelay());
  // The gate the send closed does not wait for a connection that never was.
  EXPECT_TRUE(core.CEXLink().CEXNoWaitForDisconnect());

  // While the dial-up status window is open the error is shown there.
  TRRSModemStatusForm& statusForm = core.CEXCommParams().TCPStatusForm();
  statusForm.RRSOpenStatusForm("", "", "", "1", "127.0.0.1", "");
  core.CEXClientSocket().CTPInitialise(&statusForm.RRSGetStatusField(),
                                       &statusForm.RRSGetHistoryField());
  host_.errors.clear();
  core.CEXExecute(TCEXAction::SendDataStream);
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
  core.CEXCommParams().TCPSetEthernetIPPortNr(port);
  host_.errors.clear();
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(Pump([&] { return !host_.errors.empty() && !core.CEXClientSocket().Active(); }));
  EXPECT_TRUE(host_.errors[0].rfind("10054 Last Socket Error", 0) == 0 ||
              host_.errors[0].rfind("10054 Windows Error Message: Error 10054: ", 0) == 0)
      << host_.errors[0];
  EXPECT_FALSE(core.CEXLink().CEXSendPendingDelay());
  EXPECT_TRUE(core.CEXLink().CEXNoWaitForDisconnect());
  // Nothing went out, so no answer is awaited.
  Pump([] { return false; }, 500ms);
  EXPECT_EQ(ResponseTimer().starts, 0);
  EXPECT_NE(core.CEXStatusText(1), "Data stream sent");
}

TEST_F(ConnectionsTest, TheLocalLoopTakes4000BytesAnd3999GoThroughTheSocket) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ThisComputerIni(port, 2, 0, 0));
  ASSERT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));

  // 4000 bytes: the client connects to this computer's server, but the
  // stream is looped back into the received view.
  const std::string big = FrameOfSize(4000);
  SetStream(big);
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(
      Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == core.CEXGetMemo(TCEXMemo::Memo6); }));
  EXPECT_EQ(core.CEXLink().CEXSendString().size(), 4000u);
  EXPECT_EQ(ResponseTimer().starts, 0);  // nothing to wait for
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }));
  EXPECT_EQ(core.CEXStatusText(1), "Data stream sent");
  Pump([] { return false; }, 300ms);  // the server got nothing to show
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5), test::SpacedHex(big));

  // 3999 bytes go over the open connection to the server's side.
  const std::string small = FrameOfSize(3999);
  SetStream(small);
  core.CEXExecute(TCEXAction::SendDataStream);
  EXPECT_EQ(ResponseTimer().starts, 1);
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(small); }));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ConnectionsTest, AServerReplyGoesThroughTheMailBoxToTheNewestConnection) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ThisComputerIni(port, 1, 0, 0));
  TTHXMailBox& mailBox = core.CEXMailBox();

  // Nobody to take the reply yet: a second one has to wait.
  SetStream(Frame("early"));
  core.CEXExecute(TCEXAction::SendDataStream);
  EXPECT_EQ(mailBox.THXGetSendState(), TTHXMailBox::THXcStateSendRequest);
  core.CEXExecute(TCEXAction::SendDataStream);
  EXPECT_EQ(host_.messages, Lines{"Sending data, try later"});
  core.CEXExecute(TCEXAction::HangUp);
  EXPECT_EQ(mailBox.THXGetSendState(), TTHXMailBox::THXcStateIdle);

  const std::string request = Frame("<request/>");
  test::ConnectionPeer first(std::to_string(port), {"s:" + test::ToHex(request), "e"});
  ASSERT_EQ(first.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(request); }));
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }));

  test::ConnectionPeer second(std::to_string(port), {"f", "e"});
  ASSERT_EQ(second.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 2; }));
  const std::string reply = Frame("<response/>");
  SetStream(reply);
  core.CEXExecute(TCEXAction::SendDataStream);
  const std::string got = second.Line(Pumping());
  ASSERT_EQ(got.rfind("f ", 0), 0u) << got;
  EXPECT_EQ(got.substr(got.rfind(' ') + 1), test::ToHex(reply));
  ASSERT_TRUE(Pump([&] { return core.CEXStatusText(1) == "Data stream sent"; }));
  EXPECT_EQ(mailBox.THXGetSendState(), TTHXMailBox::THXcStateIdle);

  // Hang Up ends both connections; the first one never got a byte.
  core.CEXExecute(TCEXAction::HangUp);
  EXPECT_EQ(first.Line(Pumping()), "eof");
  EXPECT_EQ(second.Line(Pumping()), "eof");
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  EXPECT_TRUE(core.CEXServer().PLTActive());
  EXPECT_EQ(core.CEXThreadSynch().TERThreadCount(), 0);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ConnectionsTest, ServerConnectionsTraceTheirStartAndSurviveBrokenClients) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ThisComputerIni(port, 1, 0, 0));

  // A client that leaves in the middle of a frame: what came is shown.
  {
    test::ConnectionPeer broken(std::to_string(port), {"s:00000064" + test::ToHex("partial"), "c"});
    ASSERT_EQ(broken.Line(Pumping()), "connected");
    ASSERT_TRUE(Pump(
        [&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex("\0\0\0\x64partial"s); }));
  }
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));

  // Frames above the server's limit: the first error is swallowed while
  // errors are not shown, the next one is shown with the reader's own text.
  for (int i = 0; i < 2; ++i) {
    test::ConnectionPeer huge(std::to_string(port), {"s:004C4B41", "e"});
    ASSERT_EQ(huge.Line(Pumping()), "connected");
    EXPECT_EQ(huge.Line(Pumping()), "eof");
    ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
    Pump([] { return false; }, 100ms);
  }
  EXPECT_EQ(host_.errors, Lines{"7002 Server Socket Error: Frame length exceeds limit: 5000001"});

  // The server still serves.
  const std::string frame = Frame("<after/>");
  test::ConnectionPeer good(std::to_string(port), {"s:" + test::ToHex(frame), "e"});
  ASSERT_EQ(good.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(frame); }));

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

TEST_F(ConnectionsTest, HangUpDuringTransfersEndsTheClientAndTheConnectionsWithinTheBound) {
  // The peer announces a large answer and sends only part of it.
  test::ConnectionPeer peer("listen", {"f", "s:000F4240" + test::ToHex("slow..."), "e"});
  const int peerPort = std::stoi(peer.Line());
  TCEXMainWindow& core = Start(ClientIni(peerPort, 0, 1));
  SetStream(Frame("<request/>"));
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_EQ(peer.Line(Pumping()).rfind("f ", 0), 0u);
  ASSERT_TRUE(Pump([&] { return core.CEXStatusText(1).rfind("Received bytes", 0) == 0; }));

  // A server connection in the middle of a frame as well.
  core.CEXCommParams().TCPSetCommType(TTCPCommParams::TCPcCommThisComp);
  core.CEXCommParams().TCPSetThisComputerClientServer(TTCPCommParams::TCPcIsServer);
  core.CEXCommParams().TCPSetThisComputerIPPortNr(test::FreeLoopbackPort());
  ASSERT_EQ(core.CEXCommParams().TCPConnectServer(&core.CEXServer()), 0);
  test::ConnectionPeer sender(std::to_string(core.CEXServer().PLTBoundPort()),
                              {"s:00000100" + test::ToHex("part"), "e"});
  ASSERT_EQ(sender.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXThreadSynch().TERThreadCount() == 2; }));

  const auto before = Clock::now();
  core.CEXExecute(TCEXAction::HangUp);
  EXPECT_LT(Clock::now() - before, 4s);
  EXPECT_FALSE(core.CEXLink().CEXHasClientThread());
  EXPECT_EQ(core.CEXThreadSynch().TERThreadCount(), 0);
  EXPECT_FALSE(core.CEXThreadSynch().TERTerminate());
  EXPECT_FALSE(core.CEXClientSocket().Active());
  EXPECT_TRUE(core.CEXLink().CEXNoWaitForDisconnect());
  EXPECT_EQ(peer.Line(Pumping()), "eof");
  EXPECT_EQ(sender.Line(Pumping()), "eof");
  EXPECT_TRUE(core.CEXServer().PLTActive());
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ConnectionsTest, AFrameOfMegabytesIsEchoedWholeIntoTheReceivedView) {
  test::ConnectionPeer peer("listen", {"echo", "e"});
  const int port = std::stoi(peer.Line());
  TCEXMainWindow& core = Start(ClientIni(port, 0, 1));
  const std::string frame = FrameOfSize(3'000'000);
  SetStream(frame);
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }, 60s));
  EXPECT_TRUE(core.CEXGetMemo(TCEXMemo::Memo5) == core.CEXGetMemo(TCEXMemo::Memo6));
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5).size(), 3'000'000u * 3 - 1);
  EXPECT_EQ(peer.Line(Pumping()).rfind("echo ", 0), 0u);
}

}  // namespace
}  // namespace kal
