#include "comm/ClientSocketPPP.h"

#include <gtest/gtest.h>

#include <cctype>
#include <thread>

#include "comm/LoopbackPeer.h"
#include "comm/SocketErrorLatch.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using Ev = TCTPClientSocketPPP::TCTPErrorEvent;
using Lines = std::vector<std::string>;

// Records the events of a socket as short names; reads are joined.
class ClientSocketTest : public ::testing::Test {
 protected:
  ClientSocketTest() { Wire(socket_); }

  void Wire(TCTPClientSocketPPP& s) {
    auto note = [this, gui = std::this_thread::get_id()](const std::string& e) {
      offThread_ |= std::this_thread::get_id() != gui;
      if (e != "read" || events_.empty() || events_.back() != "read") events_.push_back(e);
    };
    s.OnLookup = [note] { note("lookup"); };
    s.OnConnecting = [note] { note("connecting"); };
    s.OnConnect = [note] { note("connect"); };
    s.OnDisconnect = [note] { note("disconnect"); };
    s.OnDialError = [note] { note("dialerror"); };
    s.OnError = [note](Ev e, int code) {
      const char* names[] = {"general", "send", "receive", "connect", "disconnect", "lookup"};
      note(std::string("error ") + names[static_cast<int>(e)] + " " + std::to_string(code));
    };
    s.OnRead = [this, note](const std::string& data) {
      note("read");
      received_ += data;
    };
  }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return queue_.PLTPumpUntil(done, limit);
  }
  void Target(uint16_t port) {
    socket_.SetAddress("127.0.0.1");
    socket_.SetPort(port);
  }

  TPLTEventQueue queue_;
  TCTPClientSocketPPP socket_{queue_};
  Lines events_;
  std::string received_;
  bool offThread_ = false;
};

TEST_F(ClientSocketTest, ConnectSendReceiveAndPeerCloseArriveInOrderOnThePostingThread) {
  test::Listener listener;
  Target(listener.port());
  ASSERT_EQ(socket_.Open(), 0);
  test::Peer peer = listener.Accept();
  ASSERT_TRUE(Pump([&] { return socket_.Connected(); }));
  EXPECT_EQ(socket_.CTPSendText("hello"), 0);
  EXPECT_EQ(peer.Read(5), "hello");
  peer.Send("world");
  ASSERT_TRUE(Pump([&] { return received_ == "world"; }));
  peer.Close();
  ASSERT_TRUE(Pump([&] { return !socket_.Active(); }));
  EXPECT_EQ(events_, (Lines{"connecting", "connect", "read", "disconnect"}));
  EXPECT_FALSE(offThread_);
  EXPECT_EQ(socket_.CTPSendText("x"), 10057);
}

TEST_F(ClientSocketTest, HostNamesAreLookedUpAndCloseDropsWhatArrivesAfter) {
  test::Listener listener;
  socket_.SetHost("localhost");
  socket_.SetPort(listener.port());
  ASSERT_EQ(socket_.Open(), 0);
  test::Peer peer = listener.Accept();
  ASSERT_TRUE(Pump([&] { return socket_.Connected(); }));
  peer.Send("late");
  std::this_thread::sleep_for(50ms);  // read and posted, not delivered
  socket_.Close();
  EXPECT_EQ(events_.back(), "disconnect") << "runs within Close";
  Pump([] { return false; }, 100ms);
  EXPECT_EQ(events_, (Lines{"lookup", "connecting", "connect", "disconnect"}));
  EXPECT_EQ(received_, "");
  EXPECT_TRUE(peer.SeesEnd());
}

TEST_F(ClientSocketTest, ARefusedConnectIsError10061WithTheSystemText) {
  int code = -1;
  std::string text;
  auto record = socket_.OnError;
  socket_.OnError = [&](Ev e, int c) {
    record(e, c);
    RRSWindowsErrorText(code, text);
  };
  Target(test::UnusedPort());
  ASSERT_EQ(socket_.Open(), 0);
  ASSERT_TRUE(Pump([&] { return !socket_.Active(); }));
  EXPECT_EQ(events_, (Lines{"connecting", "error connect 10061"}));
  EXPECT_EQ(code, 10061);
  EXPECT_EQ(text, "Error 10061: Connection refused");
}

TEST_F(ClientSocketTest, AnAbortiveCloseByThePeerIsError10054ThenDisconnect) {
  test::Listener listener;
  Target(listener.port());
  ASSERT_EQ(socket_.Open(), 0);
  test::Peer peer = listener.Accept();
  ASSERT_TRUE(Pump([&] { return socket_.Connected(); }));
  peer.Abort();
  ASSERT_TRUE(Pump([&] { return !socket_.Active(); }));
  EXPECT_EQ(events_, (Lines{"connecting", "connect", "error receive 10054", "disconnect"}));
}

TEST_F(ClientSocketTest, AnUnresolvableNameIsALookupError) {
  socket_.SetHost("no-such-host.invalid");
  socket_.SetPort(1000);
  ASSERT_EQ(socket_.Open(), 0);
  ASSERT_TRUE(Pump([&] { return !socket_.Active(); }, 60s));
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0], "lookup");
  EXPECT_EQ(events_[1].substr(0, 17), "error lookup 1100") << events_[1];  // 11001 to 11004
}

TEST_F(ClientSocketTest, SettingsThatCannotConnectAreRefusedBeforeConnecting) {
  socket_.SetAddress("127.0.0.1");
  for (const int port : {0, 65536, -1}) {
    socket_.SetPort(port);
    EXPECT_EQ(socket_.Open(), 10022) << port;
  }
  socket_.SetPort(1000);
  socket_.SetAddress("");
  EXPECT_EQ(socket_.Open(), 10039);
  socket_.SetAddress("1..2");
  EXPECT_EQ(socket_.Open(), 10049);
  EXPECT_FALSE(socket_.Active());

  // Through CTPConnect the failure is latched while the latch is installed,
  // and an error event otherwise.
  RRSInitSocketError();
  socket_.CTPConnect();
  int code = 0;
  std::string text;
  RRSGetLastSocketError(code, text);
  EXPECT_EQ(code, 10049);
  PLTSetSocketErrorHook(nullptr);
  socket_.CTPConnect();
  ASSERT_TRUE(Pump([&] { return !events_.empty(); }));
  EXPECT_EQ(events_, (Lines{"error connect 10049"}));
}

TEST_F(ClientSocketTest, ATakenConnectionIsReadByItsNewOwnerAndClosedOnRequest) {
  test::Listener listener;
  Target(listener.port());
  std::shared_ptr<TPLTStreamSocket> taken;
  socket_.OnConnect = [&] { taken = socket_.CTPTakeConnection(); };
  ASSERT_EQ(socket_.Open(), 0);
  test::Peer peer = listener.Accept();
  ASSERT_TRUE(Pump([&] { return taken != nullptr; }));
  peer.Send("abc");
  char buf[8];
  size_t got = 0;
  int code = 0;
  ASSERT_EQ(taken->PLTReceive(buf, sizeof buf, 5000, got, code), TPLTReceive::kData);
  EXPECT_EQ(std::string(buf, got), "abc");

  std::thread([&] { socket_.CTPRequestClose(taken->PLTId() + 1); }).join();
  Pump([] { return false; }, 50ms);
  EXPECT_TRUE(socket_.Connected()) << "another connection's request changes nothing";
  std::thread([&] { socket_.CTPRequestClose(taken->PLTId()); }).join();
  ASSERT_TRUE(Pump([&] { return !socket_.Active(); }));
  EXPECT_EQ(events_, (Lines{"connecting", "disconnect"}));
  EXPECT_TRUE(peer.SeesEnd());
  EXPECT_EQ(taken->PLTReceive(buf, sizeof buf, 5000, got, code), TPLTReceive::kClosed);
}

TEST_F(ClientSocketTest, SocatAsEchoPeerReturnsWhatWasSent) {
  test::SocatEcho socat;
  ASSERT_NE(socat.port(), 0) << "socat did not report its port";
  Target(socat.port());
  ASSERT_EQ(socket_.Open(), 0);
  ASSERT_TRUE(Pump([&] { return socket_.Connected(); }));
  std::string data(200000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  ASSERT_EQ(socket_.CTPSendText(data), 0);
  ASSERT_TRUE(Pump([&] { return received_.size() >= data.size(); }));
  EXPECT_TRUE(received_ == data);
}

// ---- dial-up ----

class DialUpTest : public ClientSocketTest {
 protected:
  TPLTScriptedDialUp& Use(std::vector<TPLTScriptedDialUp::TStep> script) {
    service_ = std::make_unique<TPLTScriptedDialUp>(std::move(script));
    dial_ = std::make_unique<TCTPClientSocketPPP>(queue_, service_.get());
    Wire(*dial_);
    dial_->CTPInitialise(&status_, &history_);
    dial_->SetAddress("127.0.0.1");
    dial_->SetPort(listener_.port());
    return *service_;
  }
  // The history lines with their time (" HH:MM:SS") checked and cut off.
  Lines History() const {
    Lines out;
    for (const auto& line : history_.RRSLines()) {
      const size_t n = line.size();
      bool timed = n >= 9 && line[n - 9] == ' ' && line[n - 6] == ':' && line[n - 3] == ':';
      for (const size_t i : {n - 8, n - 7, n - 5, n - 4, n - 2, n - 1})
        timed = timed && std::isdigit(static_cast<unsigned char>(line[i]));
      out.push_back(timed ? line.substr(0, n - 9) : "untimed: " + line);
    }
    return out;
  }
  int32_t State() const { return dial_->CTPModemConnectionstate(); }

  test::Listener listener_;
  TRRSStatusLine status_;
  TRRSHistoryList history_;
  std::unique_ptr<TPLTScriptedDialUp> service_;
  std::unique_ptr<TCTPClientSocketPPP> dial_;
};

TEST_F(DialUpTest, TheScriptedServiceDrivesEveryStateTextThenTheSocketConnects) {
  const std::vector<std::pair<int, std::string>> states = {
      {0, "Opening port"},
      {1, "Port opened"},
      {2, "Connecting device"},
      {3, "Device connected"},
      {4, "All devices connected"},
      {5, "Start authenticating"},
      {6, "Authentication: notify"},
      {7, "Authentication: retry"},
      {8, "Authentication: callback"},
      {9, "Authentication: change password"},
      {10, "Authentication: projecting"},
      {11, "Authentication: link speed"},
      {12, "Authentication: acknowledge"},
      {13, "Authentication: reauthenticate"},
      {14, "Authenticated"},
      {15, "Preparing for callback"},
      {16, "Waiting for modem reset"},
      {17, "Waiting for callback"},
      {18, "Projected"},
      {19, "Start authentication"},
      {20, "Callback complete"},
      {21, "Logging on network"},
      {4096, "Interactive"},
      {4097, "Retry Authentication"},
      {4098, "Callback set by caller"},
      {4099, "Password expired"},
      {77, ""},  // not a known state
      {8192, "Connected"},
      {8193, "Disconnected"},
  };
  std::vector<TPLTScriptedDialUp::TStep> script;
  for (const auto& s : states) script.push_back({s.first, 0, 0ms});
  script.back().delay = 200ms;  // the socket connects before the line drops
  TPLTScriptedDialUp& service = Use(script);
  dial_->SetPhoneBookEntry("office");
  dial_->SetPhoneNumber("0441234567");
  dial_->SetUserID("tester");
  dial_->SetPassword("secret");
  dial_->CTPConnect();
  EXPECT_EQ(State(), TCTPClientSocketPPP::CTPcModemConnecting);
  ASSERT_TRUE(Pump([&] { return dial_->Connected(); }));
  EXPECT_EQ(State(), TCTPClientSocketPPP::CTPcModemConnected);
  ASSERT_TRUE(Pump([&] { return State() == TCTPClientSocketPPP::CTPcModemDisconnected; }));

  Lines expected = {"Connecting dial-up network client", "Phone book entry: office",
                    "User name: tester", "Phone number: 0441234567"};
  for (const auto& s : states) {
    expected.push_back(s.second);
    if (s.first == 8192)
      expected.push_back("Connecting client socket, address: 127.0.0.1, port: " +
                         std::to_string(listener_.port()));
  }
  EXPECT_EQ(History(), expected);
  EXPECT_EQ(status_.RRSGetText(), "Disconnected");
  EXPECT_EQ(status_.RRSGetColor(), TRRSStatusColor::kGreen);
  EXPECT_EQ(service.PLTLastParams().password, "secret");
  EXPECT_EQ(service.PLTLastParams().entryName, "office");
  EXPECT_FALSE(offThread_);
}

TEST_F(DialUpTest, DialErrorsShowTheServiceTextInRedAndKeepTheLineBusy) {
  TPLTScriptedDialUp& service = Use({{0, 0, 0ms}, {7, 691, 0ms}});
  service.PLTSetErrorString(691, "Access denied");
  dial_->SetPhoneNumber("123");
  dial_->CTPConnect();
  ASSERT_TRUE(Pump([&] { return !events_.empty(); }));
  EXPECT_EQ(events_, Lines{"dialerror"});
  EXPECT_EQ(status_.RRSGetText(), "Access denied");
  EXPECT_EQ(status_.RRSGetColor(), TRRSStatusColor::kRed);
  EXPECT_EQ(State(), TCTPClientSocketPPP::CTPcModemConnecting);
  EXPECT_EQ(dial_->CTPConnectModem("", "123", "", ""), TCTPClientSocketPPP::CTPcModemNotIdle);
  EXPECT_EQ(service.PLTDialCount(), 1);

  // Without dial-up networking the dial fails at once, with a clear text.
  socket_.CTPInitialise(&status_, nullptr);
  EXPECT_EQ(socket_.CTPConnectModem("", "123", "", ""), TPLTNullDialUp::PLTcNoPhoneBook);
  EXPECT_NE(status_.RRSGetText().find("not available"), std::string::npos);
  EXPECT_EQ(socket_.CTPModemConnectionstate(), TCTPClientSocketPPP::CTPcModemConnecting);
}

TEST_F(DialUpTest, HangingUpWaitsForTheLineOnATimerWithinItsLimit) {
  TPLTScriptedDialUp& service = Use({{0, 0, 0ms}});
  service.PLTSetPollsUntilGone(3);
  dial_->SetPhoneNumber("123");
  dial_->CTPConnect();
  ASSERT_TRUE(Pump([&] { return service.PLTScriptDone(); }));
  dial_->CTPDisConnectModem();
  EXPECT_EQ(State(), TCTPClientSocketPPP::CTPcModemDisconnected) << "idle without waiting";
  ASSERT_TRUE(Pump([&] { return status_.RRSGetText() == "Modem line disconnected"; }));

  service.PLTSetPollsUntilGone(-1);
  dial_->CTPConnect();
  ASSERT_TRUE(Pump([&] { return service.PLTScriptDone(); }));
  const auto start = std::chrono::steady_clock::now();
  dial_->CTPDisConnectModem();
  ASSERT_TRUE(Pump([&] { return status_.RRSGetColor() == TRRSStatusColor::kRed; }));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 3080ms);
  EXPECT_LT(took, 6s);
  const Lines h = History();
  EXPECT_EQ(Lines(h.end() - 3, h.end()), (Lines{"Disconnecting client", "Disconnecting modem line",
                                                "Modem line disconnection timeout"}));
  EXPECT_EQ(service.PLTHangUpCount(), 2);
}

TEST_F(DialUpTest, ABlankPhoneBookEntryWithoutNumberConnectsPlainTcp) {
  TPLTScriptedDialUp& service = Use({{8192, 0, 0ms}});
  dial_->SetPhoneBookEntry("   ");
  dial_->CTPConnect();
  ASSERT_TRUE(Pump([&] { return dial_->Connected(); }));
  EXPECT_EQ(History(), Lines{"Connecting TCP/IP network client"});
  dial_->CTPDisConnectModem();
  EXPECT_EQ(service.PLTDialCount() + service.PLTHangUpCount(), 0);
  EXPECT_EQ(events_.back(), "disconnect");
}

}  // namespace
}  // namespace kal
