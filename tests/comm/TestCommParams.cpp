#include "comm/CommParams.h"

#include <gtest/gtest.h>

#include "comm/LoopbackPeer.h"
#include "comm/SocketErrorLatch.h"
#include "platform/SocketErrors.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using P = TTCPCommParams;

class RecordingHandOff final : public ICEXErrorHandOff {
 public:
  bool CEXLogError(int id, const std::string& text, bool) override {
    logged.push_back(std::to_string(id) + " " + text);
    return sequenceTakes;
  }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    shown.push_back(std::to_string(code) + " " + text);
  }
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }

  bool sequenceTakes = false;
  std::vector<std::string> logged, shown, messages;
};

class CommParamsTest : public ::testing::Test {
 protected:
  CommParamsTest() { server_.PLTSetBindAddress("127.0.0.1"); }

  RecordingHandOff handOff_;
  P params_{8000, &handOff_};
  TPLTEventQueue queue_;
  TCTPClientSocketPPP client_{queue_};
  TPLTTcpServer server_;
};

TEST_F(CommParamsTest, TheCommunicationSectionKeepsEverySettingAndThePasswordInBase64) {
  const std::string text =
      "[Communication]\r\nCommType=2\r\nThisComputerClientServer=1\r\n"
      "ThisComputerIPPortNr=4001\r\nEthernetClientServer=1\r\nEthernetIPPortNr=4002\r\n"
      "EthernetIPAddr=terminal.example\r\nModemClientServer=1\r\nModemIPPortNr=4003\r\n"
      "ModemIPAddr=10.0.0.9\r\nModemPhoneNr=0441234567\r\nModemUserID=tester\r\n"
      "PhoneBookEntry=office\r\nModemPassword=cGFzcw==\r\n";
  TPLTIniFile in, out;
  in.PLTParse(text);
  params_.TCPReadIniFile(in);
  EXPECT_EQ(params_.TCPGetModemPassword(), "pass");
  EXPECT_EQ(params_.TCPGetPhonebookEntry(), "office");
  EXPECT_EQ(params_.TCPGetModemIPPortNr(), 4003);
  params_.TCPWriteIniFile(out);
  EXPECT_EQ(out.PLTText(), text);

  // Missing keys keep the values in force; the password does not: it is
  // read with an empty default, and a value that does not decode is empty.
  in.PLTParse("[Communication]\r\nCommType=1\r\n");
  params_.TCPReadIniFile(in);
  EXPECT_EQ(params_.TCPGetCommType(), 1);
  EXPECT_EQ(params_.TCPGetModemUserID(), "tester");
  EXPECT_EQ(params_.TCPGetModemPassword(), "");
  in.PLTParse("[Communication]\r\nModemPassword=cGFz*w==\r\n");
  params_.TCPSetModemPassword("pass");
  params_.TCPReadIniFile(in);
  EXPECT_EQ(params_.TCPGetModemPassword(), "");
}

TEST_F(CommParamsTest, LineTypeAndRoleDecideClientServerAddressAndPort) {
  // {line, role, send as client, accept as server}
  const int rows[][4] = {{0, 0, 1, 0}, {0, 1, 0, 1}, {0, 2, 1, 1}, {1, 0, 1, 0}, {1, 1, 0, 1},
                         {1, 2, 0, 0}, {2, 0, 1, 0}, {2, 1, 0, 1}, {2, 2, 0, 0}, {3, 0, 0, 0}};
  for (const auto& r : rows) {
    params_.TCPSetCommType(r[0]);
    params_.TCPSetThisComputerClientServer(r[1]);
    params_.TCPSetEthernetClientServer(r[1]);
    params_.TCPSetModemClientServer(r[1]);
    EXPECT_EQ(params_.TCPSendAsClient(), r[2] == 1) << r[0] << "/" << r[1];
    EXPECT_EQ(params_.TCPAcceptAsServer(), r[3] == 1) << r[0] << "/" << r[1];
  }
  params_.TCPSetThisComputerIPPortNr(1);
  params_.TCPSetEthernetIPPortNr(2);
  params_.TCPSetEthernetIPAddr("e");
  params_.TCPSetModemIPPortNr(3);
  params_.TCPSetModemIPAddr("m");
  const std::pair<std::string, int32_t> expected[] = {
      {"127.0.0.1", 1}, {"e", 2}, {"m", 3}, {"", 0}};
  for (int line = 0; line < 4; ++line) {
    params_.TCPSetCommType(line);
    std::string address = "x";
    int32_t port = -1;
    params_.TCPGetAddressPort(address, port);
    EXPECT_EQ(std::make_pair(address, port), expected[line]) << line;
  }
}

TEST_F(CommParamsTest, EthernetAddressesOfDigitsAndDotsAreNumericOthersHostNames) {
  params_.TCPSetCommType(P::TCPcCommEthernet);
  params_.TCPSetEthernetClientServer(P::TCPcIsServer);  // no client connect
  const std::pair<std::string, bool> cases[] = {{"192.168.1.20", true},
                                                {"10.1.2", true},
                                                {"1234", true},
                                                {"host.example", false},
                                                {"10.0.0.1a", false}};
  for (const auto& [address, numeric] : cases) {
    params_.TCPSetEthernetIPAddr(address);
    EXPECT_EQ(params_.TCPConnect(&client_, nullptr), 0);
    EXPECT_EQ(client_.Address(), numeric ? address : "") << address;
    EXPECT_EQ(client_.Host(), numeric ? "" : address) << address;
  }
}

TEST_F(CommParamsTest, BothRolesStartTheServerFirstAndConnectTheClientToIt) {
  const uint16_t port = test::UnusedPort();
  params_.TCPSetThisComputerIPPortNr(port);
  // A stale error of an earlier connection does not fail this one.
  RRSSocketErrors(10054);
  ASSERT_EQ(params_.TCPConnect(&client_, &server_), 0);
  EXPECT_TRUE(server_.PLTActive());
  EXPECT_EQ(server_.PLTBoundPort(), port);
  EXPECT_EQ(params_.TCPClientConnectionStatus(), P::TCPcConnectionOpen);
  ASSERT_TRUE(queue_.PLTPumpUntil([&] { return client_.Connected(); }, 10s));
  EXPECT_TRUE(handOff_.logged.empty());

  // Disconnecting closes the client; the server follows the role.
  TRRSStatusLine status;
  status.RRSSetText("connected");
  client_.CTPInitialise(&status, nullptr);
  params_.TCPSetThisComputerClientServer(P::TCPcIsClient);
  EXPECT_EQ(params_.TCPDisConnect(&client_, &server_), 0);
  EXPECT_EQ(status.RRSGetText(), "connected Closing client socket");
  EXPECT_FALSE(client_.Active());
  EXPECT_FALSE(server_.PLTActive());
  EXPECT_EQ(params_.TCPClientConnectionStatus(), P::TCPcConnectionClosed);

  // The port taken by another listener: the server's failure is the
  // result, and the client is not connected.
  params_.TCPSetThisComputerClientServer(P::TCPcIsBoth);
  TPLTTcpServer other;
  other.PLTSetBindAddress("127.0.0.1");
  other.PLTSetDefaultPort(port);
  ASSERT_EQ(other.PLTActivate(), 0);
  std::string text;
  EXPECT_EQ(params_.TCPConnect(&client_, &server_, &text), PLTcSocketAddressInUse);
  EXPECT_EQ(text, PLTSocketErrorText(PLTcSocketAddressInUse));
  EXPECT_FALSE(server_.PLTActive());
  EXPECT_FALSE(client_.Active());
}

TEST_F(CommParamsTest, AClientFailureIsHandedOffOnceAndGivesTheErrorBase) {
  params_.TCPSetThisComputerClientServer(P::TCPcIsClient);
  params_.TCPSetThisComputerIPPortNr(0);
  const std::string message = "Client socket error: " + PLTSocketErrorText(10022);
  std::string text;
  EXPECT_EQ(params_.TCPConnect(&client_, &server_, &text), 8000);
  EXPECT_EQ(text, message);
  EXPECT_EQ(handOff_.logged, std::vector<std::string>{"10022 " + message});
  EXPECT_EQ(handOff_.shown, std::vector<std::string>{"10022 " + message});
  EXPECT_EQ(params_.TCPClientConnectionStatus(), P::TCPcConnectionClosed);

  // A running sequence takes it: the error window stays closed, the result
  // is the same.
  handOff_.sequenceTakes = true;
  EXPECT_EQ(params_.TCPConnect(&client_, &server_), 8000);
  EXPECT_EQ(handOff_.logged.size(), 2u);
  EXPECT_EQ(handOff_.shown.size(), 1u);
  int code = -1;
  RRSGetLastSocketError(code, text);
  EXPECT_EQ(code, 0) << "the connect took the latched error";
}

TEST_F(CommParamsTest, AServerPortOutsideTheRangeStopsTheServerWith10022) {
  params_.TCPSetThisComputerClientServer(P::TCPcIsServer);
  params_.TCPSetThisComputerIPPortNr(test::UnusedPort());
  ASSERT_EQ(params_.TCPConnectServer(&server_), 0);
  ASSERT_TRUE(server_.PLTActive());
  for (const int32_t port : {0, 65536}) {
    params_.TCPSetThisComputerIPPortNr(port);
    std::string text;
    EXPECT_EQ(params_.TCPConnectServer(&server_, &text), 10022);
    EXPECT_EQ(text, PLTSocketErrorText(10022));
    EXPECT_FALSE(server_.PLTActive());
  }
}

TEST_F(CommParamsTest, TheModemLineDialsWithTheStatusWindowAndRefusesABusyLine) {
  TPLTScriptedDialUp service({{0, 0, 0ms}});
  TCTPClientSocketPPP modem(queue_, &service);
  params_.TCPSetCommType(P::TCPcCommModem);
  params_.TCPSetModemClientServer(P::TCPcIsClient);
  params_.TCPSetModemIPPortNr(4711);
  params_.TCPSetModemPhoneNr("0441234567");
  params_.TCPSetModemUserID("tester");
  params_.TCPSetModemPassword(
      "s\xC3\xA9"
      "cret");
  ASSERT_EQ(params_.TCPConnect(&modem, &server_), 0);

  TRRSModemStatusForm& form = params_.TCPStatusForm();
  EXPECT_TRUE(form.RRSStatusWindowVisible());
  EXPECT_FALSE(form.RRSCloseEnabled());
  EXPECT_TRUE(form.RRSBusyCursor());
  EXPECT_EQ(form.RRSCallingText(), "Calling: 0441234567");  // no phone-book entry
  EXPECT_EQ(form.RRSUserText(), "User: tester");
  EXPECT_EQ(form.RRSPasswordText(), "Password: ******");
  EXPECT_EQ(form.RRSAddressText(), "IP Address: 127.0.0.1");
  EXPECT_EQ(form.RRSPortText(), "IP Port: 4711");
  EXPECT_EQ(service.PLTDialCount(), 1);
  EXPECT_EQ(service.PLTLastParams().password,
            "s\xC3\xA9"
            "cret");
  ASSERT_TRUE(queue_.PLTPumpUntil(
      [&] { return params_.TCPStatusForm().RRSGetStatusField().RRSGetText() == "Opening port"; },
      10s));

  // Dialling again while the line is busy hangs up and asks to try again.
  ASSERT_EQ(params_.TCPConnect(&modem, &server_), 0);
  EXPECT_EQ(handOff_.messages,
            std::vector<std::string>{"Modem not in idle state, press hangup and try again"});
  EXPECT_EQ(service.PLTHangUpCount(), 1);
  EXPECT_EQ(service.PLTDialCount(), 1);
  EXPECT_EQ(modem.CTPModemConnectionstate(), TCTPClientSocketPPP::CTPcModemDisconnected);

  form.RRSEnableClose();
  EXPECT_TRUE(form.RRSCloseEnabled());
  EXPECT_FALSE(form.RRSBusyCursor());
  form.RRSClose();
  EXPECT_FALSE(form.RRSStatusWindowVisible());
  form.RRSOpenStatusForm("office", "0441234567", "", "1", "", "");
  EXPECT_EQ(form.RRSCallingText(), "Calling: office");
  EXPECT_FALSE(form.RRSCloseEnabled());
}

}  // namespace
}  // namespace kal
