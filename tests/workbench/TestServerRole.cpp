// The tool as server against python clients over real loopback connections.
// The mock ep2 host (python3-cryptography) sends a secure request (session-
// key cryptogram under the tool's public key, MAC, encrypted PAN); the tool
// parses and analyses it against the reference tree, builds its answer
// through its own road ("Create XML Doc", "Create Data Stream" with the
// complete security header, "Send Data Stream" through the mailbox), and
// the mock checks the answer's MAC, opens its cryptogram with its private
// key and decrypts its items. One test runs both roles in one core; the
// others are the server's faults: overlapping clients, a client that leaves
// in the middle of a frame, and "Hang Up" while an answer is being written.
// The core runs on this thread; its timers and the worker threads' posts go
// through one pumped queue.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "comm/CommParams.h"
#include "comm/MailBox.h"
#include "comm/ThreadSynch.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "platform/TcpServer.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/ConnectionPeer.h"
#include "workbench/CoreHost.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/RsaTestKey.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::FromHex;
using test::ToHex;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kNamespace = "urn:test:ep2";
const std::string kConfiguredKey = FromHex("0123456789ABCDEFFEDCBA9876543210");
const std::string kRequestKeyHex = "00112233445566778899AABBCCDDEEFF";
const std::string kSecretHex = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";
const std::string kComponentID = "12345678901";  // sender id type 1, 11 bytes
const std::string kOwnerID = "OWNER000001";      // owner id type 1, 11 bytes
const std::string kPAN = "5413339000001513";
const std::string kAnswerPAN = "4761739001010010";

// The mock's verdict: "RESULT i ok|FAIL" and the names of the checks that
// passed ("CHECK i name pass ...").
struct MockVerdict {
  bool ok = false;
  std::set<std::string> passed;
  std::string output;
};
MockVerdict Verdict(const std::string& output) {
  MockVerdict v;
  v.output = output;
  for (const std::string& line : test::SplitLines(output)) {
    std::istringstream in(line);
    std::string word, index, name, verdict;
    in >> word >> index;
    if (word == "RESULT") {
      in >> verdict;
      v.ok = verdict == "ok";
    } else if (word == "CHECK") {
      in >> name >> verdict;
      if (verdict == "pass") v.passed.insert(name);
    }
  }
  return v;
}

std::string ServerIni(int port) {
  return "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\nThisComputerIPPortNr=" +
         std::to_string(port) + "\r\n[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=0\r\n";
}

class ServerRoleTest : public test::CoreOnQueueTest {
 protected:
  static void SetUpTestSuite() {
    toolKey = new test::RsaTestKey;
    mockKey = new test::RsaTestKey;
  }
  static void TearDownTestSuite() {
    delete toolKey;
    delete mockKey;
  }

  TCEXMainWindow& Start(const std::string& ini) {
    StartCore(ini);
    core_->CEXSetAddMsgNum(2);  // no message number
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetVersionNumber("30");
    config.CFGSetSpecVersionNumber("0630");
    config.CFGSetEncodingInformation(1);
    config.CFGSetSessionKey(ToHex(kConfiguredKey));
    config.CFGSetSessionKeyFromInMessage(0);
    // The tool's own key opens the cryptograms it receives; the mock's
    // public key closes the ones it sends.
    config.CFGSetPrivateKeyModulus(ToHex(toolKey->n));
    config.CFGSetPrivateKeyExponent(ToHex(toolKey->d));
    config.CFGSetPublicKeyModulus(ToHex(mockKey->n));
    config.CFGSetPublicKeyExponent(ToHex(mockKey->e));
    config.CFGSetComponentID(kComponentID);
    config.CFGSetComponentSecret(kSecretHex);
    config.CFGSetSenderIDType(1);
    config.CFGSetPublicKeyOwnerIDType(1);
    config.CFGSetPublicKeyOwnerID(kOwnerID);
    config.CFGSetPublicKeyIndex(1);
    config.CFGSetMessageHeaderAttribute("xmlns:ep2;specversion");
    config.CFGSetMessageHeaderAttributeValue(kNamespace + ";0630");
    return *core_;
  }
  // A request as a terminal sends it: complete security header with the
  // session key under the tool's public key (or, for a cryptogram the tool
  // cannot open, the mock's), MAC, and the PAN encrypted.
  static std::string RequestSpec(const std::string& terminal, bool underToolKey = true) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ep2:ep2 xmlns:ep2=\"" + kNamespace +
        "\" specversion=\"0630\">\r\n   <ep2:AutReq>\r\n      <ep2:TrmID>" + terminal +
        "</ep2:TrmID>\r\n      <ep2:AppPAN>x</ep2:AppPAN>\r\n   </ep2:AutReq>\r\n</ep2:ep2>\r\n";
    return "{\"mode\": 2, \"version\": 48, \"xml\": " + test::JsonString(xml) +
           ", \"session_key\": \"" + kRequestKeyHex +
           "\", \"mac_variant\": 1, \"sender_id_type\": 3, \"sender_id\": \"" + ToHex(terminal) +
           "\", \"owner_id_type\": 0, \"owner_id\": \"0102030405060708090A0B\", \"key_index\": "
           "1, \"public_key\": " +
           (underToolKey ? toolKey : mockKey)->PublicJson() +
           ", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN + "\"}]}";
  }
  // What the mock demands of the tool's answer to it.
  static std::string AnswerExpectation(const std::string& terminal,
                                       const std::string& keyHex = kRequestKeyHex) {
    const std::string sender = ToHex(kComponentID.substr(kComponentID.size() - 8));
    return "{\"header\": {\"version\": 48, \"spec_version\": \"0630\", \"mode\": 2, "
           "\"sender_id_type\": 1, \"sender_id\": \"" +
           ToHex(kComponentID) + "\", \"owner_id_type\": 1, \"owner_id\": \"" + ToHex(kOwnerID) +
           "\", \"key_index\": 1, \"cryptogram_length\": 128}, \"xml\": " +
           test::JsonString("<ep2:message xmlns:ep2=\"" + kNamespace +
                            "\" specversion=\"0630\"><ep2:AutRsp><ep2:TrmID>" + terminal +
                            "</ep2:TrmID><ep2:RspCode>00</ep2:RspCode><ep2:AppPAN/></ep2:AutRsp>"
                            "</ep2:message>") +
           ", \"private_key\": " + mockKey->PrivateJson() + ", \"cryptogram\": {\"sender_id\": \"" +
           sender + "\", \"session_key\": \"" + keyHex + "\", \"secret\": \"" + kSecretHex +
           "\", \"form\": \"raw\"}, \"mac_variant\": 1, \"items\": [{\"name\": \"ep2:AppPAN\", "
           "\"clear\": \"" +
           kAnswerPAN + "\"}]}";
  }
  std::unique_ptr<test::ChildProcess> MockClient(int port, const std::string& terminal) {
    const std::string tag = terminal + std::to_string(++clients_);
    return std::make_unique<test::ChildProcess>(std::vector<std::string>{
        KAL_PYTHON, test::MockEp2HostScript(), "client", "--port", std::to_string(port), "--spec",
        JsonFile("spec" + tag + ".json", RequestSpec(terminal)), "--expect",
        JsonFile("expect" + tag + ".json", AnswerExpectation(terminal)), "--result",
        dir_.file("result" + tag + ".json")});
  }
  // The frame of a request, made by the mock without a connection.
  std::string RequestFrame(const std::string& terminal, bool underToolKey = true) {
    int status = -1;
    const std::string out = test::RunMockEp2Host(
        {"build", "--spec",
         JsonFile("build" + terminal + ".json", RequestSpec(terminal, underToolKey)), "--out",
         dir_.file(terminal + ".bin")},
        &status);
    EXPECT_EQ(status, 0) << out;
    return test::ReadFile(dir_.file(terminal + ".bin"));
  }

  // The reference the requests are analysed against.
  void ReferenceForRequests() {
    TXMLMessageTree& reference = core_->CEXReferenceTree();
    reference.XMLDeleteAll();
    TXMLTreeNode* root = Add(reference, nullptr, "ep2:AutReq", "c");
    Add(reference, root, "ep2:TrmID", "an", "", "M");
    Add(reference, root, "ep2:AppPAN", "cn", "", "ME");
  }
  // Parse + Analyse of what arrived: the request of `terminal`, its MAC,
  // cryptogram and PAN recognised, no error.
  void AnalyseRequest(const std::string& terminal) {
    ASSERT_TRUE(Pump([&] { return core_->CEXParseMessageEnabled(); }));
    core_->CEXExecute(TCEXAction::ParseAndAnalyse);
    EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
    const std::string memo3 = core_->CEXGetMemo(TCEXMemo::Memo3);
    EXPECT_EQ(memo3.rfind("<ep2:AutReq>\n   <ep2:TrmID>" + terminal + "</ep2:TrmID>\n", 0), 0u)
        << memo3;
    EXPECT_EQ(memo3.find("Not found"), std::string::npos) << memo3;
    EXPECT_EQ(memo3.find("!"), std::string::npos) << memo3;
    const std::string memo4 = core_->CEXGetMemo(TCEXMemo::Memo4);
    for (const std::string& line :
         Lines{"Sender Identifier = " + ToHex(terminal), "SessionKey= " + kRequestKeyHex,
               "MAC Send verification ok", "PAN= " + kPAN})
      EXPECT_NE(memo4.find(line), std::string::npos) << line << "\n" << memo4;
  }
  // The prepared answer, built and framed by the tool's own road under the
  // request's session key (else the configured one), handed to the server
  // through the mailbox.
  void Answer(const std::string& terminal, bool keyFromRequest = true) {
    core_->CEXConfiguration().CFGSetSessionKeyFromInMessage(keyFromRequest ? 1 : 0);
    core_->RadioGroup1Click(1);  // the complete security header
    TXMLMessageTree& source = core_->CEXSourceTree();
    source.XMLDeleteAll();
    TXMLTreeNode* root = Add(source, nullptr, "ep2:AutRsp", "c");
    Add(source, root, "ep2:TrmID", "an", terminal);
    Add(source, root, "ep2:RspCode", "an", "00");
    Add(source, root, "ep2:AppPAN", "cn", kAnswerPAN, "E");
    core_->CEXExecute(TCEXAction::CreateXMLDoc);
    core_->CEXExecute(TCEXAction::CreateDataStream);
    ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
    ASSERT_FALSE(core_->CEXGetMemo(TCEXMemo::Memo6).empty());
    core_->CEXExecute(TCEXAction::SendDataStream);
    EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
    ASSERT_TRUE(Pump([&] { return core_->CEXStatusText(1) == "Data stream sent"; }));
  }
  static void ExpectPassed(const MockVerdict& v) {
    EXPECT_TRUE(v.ok) << v.output;
    // The checks that matter ran: a mock that checked nothing would pass.
    for (const char* check : {"header.mode", "xml.tree", "cryptogram", "cryptogram.session_key",
                              "cryptogram.secret", "mac", "item.ep2:AppPAN"})
      EXPECT_TRUE(v.passed.count(check)) << check << "\n" << v.output;
  }
  MockVerdict Finish(test::ChildProcess& mock) {
    std::string rest;
    const int status = mock.Wait(20s, &rest);
    EXPECT_EQ(status, 0) << rest;
    return Verdict(rest);
  }

  inline static test::RsaTestKey* toolKey = nullptr;
  inline static test::RsaTestKey* mockKey = nullptr;
  int clients_ = 0;
};

TEST_F(ServerRoleTest, OneCoreSendsAsClientThenAnswersAsServer) {
  // Client: the mock host checks the request and answers under the tool's
  // public key.
  const std::string responseXml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ep2:ep2 xmlns:ep2=\"" + kNamespace +
      "\" specversion=\"0630\">\r\n   <ep2:AutRsp>\r\n      <ep2:RspCode>00</ep2:RspCode>\r\n"
      "      <ep2:AppPAN>x</ep2:AppPAN>\r\n   </ep2:AutRsp>\r\n</ep2:ep2>\r\n";
  const std::string hostKey = "FEDCBA98765432100123456789ABCDEF";
  const std::string response =
      "{\"action\": \"frame\", \"after\": \"close\", \"build\": {\"mode\": 2, \"version\": 48, "
      "\"xml\": " +
      test::JsonString(responseXml) + ", \"session_key\": \"" + hostKey +
      "\", \"mac_variant\": 2, \"sender_id_type\": 3, \"sender_id\": \"4142434445464748\", "
      "\"owner_id_type\": 0, \"owner_id\": \"0102030405060708090A0B\", \"public_key\": " +
      toolKey->PublicJson() + ", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
      "\"}]}}";
  const std::string expect =
      "{\"header\": {\"mode\": 1, \"version\": 48, \"spec_version\": \"0630\"}, \"xml\": " +
      test::JsonString("<ep2:message xmlns:ep2=\"" + kNamespace +
                       "\" specversion=\"0630\"><ep2:AutReq><ep2:TrmID>12345678</ep2:TrmID>"
                       "<ep2:AppPAN/></ep2:AutReq></ep2:message>") +
      ", \"session_key\": \"" + ToHex(kConfiguredKey) +
      "\", \"mac_variant\": 1, \"items\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
      "\"}]}";
  test::MockEp2Server host(JsonFile("expect.json", expect), JsonFile("response.json", response),
                           dir_.file("result.json"));
  const std::string hostPort = host.Port();
  ASSERT_FALSE(hostPort.empty()) << host.PortLine();
  TCEXMainWindow& core = Start(test::TcpClientIni(hostPort) +
                               "[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=1\r\n");
  ASSERT_NE(core.CEXStatusText(2).rfind("Server listening", 0), 0u);

  TXMLMessageTree& source = core.CEXSourceTree();
  TXMLTreeNode* request = Add(source, nullptr, "ep2:AutReq", "c");
  Add(source, request, "ep2:TrmID", "an", "12345678");
  Add(source, request, "ep2:AppPAN", "cn", kPAN, "E");
  TXMLMessageTree& reference = core.CEXReferenceTree();
  TXMLTreeNode* root = Add(reference, nullptr, "ep2:AutRsp", "c");
  Add(reference, root, "ep2:RspCode", "an", "00", "MF");
  Add(reference, root, "ep2:AppPAN", "cn", "", "E");
  core.RadioGroup1Click(0);  // MAC only
  ASSERT_TRUE(SendAndAwaitAnswer(core));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);
  const MockVerdict asHost = Finish(host);
  EXPECT_TRUE(asHost.ok) << asHost.output;
  for (const char* check : {"header.mode", "xml.tree", "mac", "item.ep2:AppPAN"})
    EXPECT_TRUE(asHost.passed.count(check)) << check << "\n" << asHost.output;
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  const std::string memo4 = core.CEXGetMemo(TCEXMemo::Memo4);
  for (const std::string& line :
       Lines{"SessionKey= " + hostKey, "MAC Receive verification ok", "PAN= " + kPAN})
    EXPECT_NE(memo4.find(line), std::string::npos) << line << "\n" << memo4;
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo3).rfind("<ep2:AutRsp>\n   <ep2:RspCode>00", 0), 0u)
      << core.CEXGetMemo(TCEXMemo::Memo3);

  // Server: the same core now listens, and the mock calls it as a terminal.
  const int port = test::FreeLoopbackPort();
  TTCPCommParams& comm = core.CEXCommParams();
  comm.TCPSetCommType(TTCPCommParams::TCPcCommThisComp);
  comm.TCPSetThisComputerClientServer(TTCPCommParams::TCPcIsServer);
  comm.TCPSetThisComputerIPPortNr(port);
  ASSERT_EQ(comm.TCPConnectServer(&core.CEXServer()), 0);
  ASSERT_TRUE(Pump(
      [&] { return core.CEXStatusText(2) == "Server listening on port " + std::to_string(port); }));
  core.CEXExecute(TCEXAction::ClearReceived);
  ReferenceForRequests();
  const auto terminal = MockClient(port, "T0000042");
  ASSERT_TRUE(Pump([&] { return !core.CEXGetMemo(TCEXMemo::Memo5).empty(); }));
  AnalyseRequest("T0000042");
  Answer("T0000042");
  ExpectPassed(Finish(*terminal));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(core.CEXMailBox().THXGetSendState(), TTHXMailBox::THXcStateIdle);
}

TEST_F(ServerRoleTest, OfTwoOverlappingClientsOnlyTheNewestGetsTheAnswer) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ServerIni(port));
  ReferenceForRequests();
  const std::string olderRequest = RequestFrame("OLDER001");
  const std::string newerRequest = RequestFrame("NEWER002");
  // The older client sends its request and then only listens.
  test::ConnectionPeer older(std::to_string(port), {"s:" + ToHex(olderRequest), "e"});
  ASSERT_EQ(older.Line(Pumping()), "connected");
  ASSERT_TRUE(
      Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(olderRequest); }));
  core.CEXSetEdit(TCEXEdit::Edit7, "");

  // The newer one sends its request in two parts. Once its header is in
  // (the receive time is shown), its connection waits for the rest and
  // cannot take a reply for a while; the older one could, and must not.
  const size_t cut = 24;
  test::ConnectionPeer newer(std::to_string(port),
                             {"s:" + ToHex(newerRequest.substr(0, cut)), "w:1500",
                              "s:" + ToHex(newerRequest.substr(cut)), "f", "e"});
  ASSERT_EQ(newer.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return !core.CEXGetEdit(TCEXEdit::Edit7).empty(); }));
  EXPECT_EQ(core.CEXServer().PLTConnectionCount(), 2u);
  Answer("NEWER002", false);
  const std::string got = newer.Line(Pumping());
  ASSERT_EQ(got.rfind("f ", 0), 0u) << got;
  test::WriteFile(dir_.file("answer.bin"), FromHex(got.substr(got.rfind(' ') + 1)));

  // The newer request arrived whole before its answer went out.
  ASSERT_TRUE(
      Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(newerRequest); }));
  AnalyseRequest("NEWER002");
  int status = -1;
  const std::string checked = test::RunMockEp2Host(
      {"check", "--expect",
       JsonFile("answer.json", AnswerExpectation("NEWER002", ToHex(kConfiguredKey))), "--frame",
       dir_.file("answer.bin")},
      &status);
  EXPECT_EQ(status, 0) << checked;
  ExpectPassed(Verdict(checked));

  // Hang Up ends both connections; the older one never got a byte.
  core.CEXExecute(TCEXAction::HangUp);
  EXPECT_EQ(older.Line(Pumping()), "eof");
  EXPECT_EQ(newer.Line(Pumping()), "eof");
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  EXPECT_EQ(core.CEXThreadSynch().TERThreadCount(), 0);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ServerRoleTest, AClientLeavingMidFrameGivesNoMessageAndTheNextClientIsServed) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ServerIni(port));
  ReferenceForRequests();
  const std::string request = RequestFrame("BROKEN01");

  // Two header bytes, then gone: nothing to show.
  {
    test::ConnectionPeer gone(std::to_string(port), {"s:" + ToHex(request.substr(0, 2)), "c"});
    ASSERT_EQ(gone.Line(Pumping()), "connected");
    ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  }
  Pump([] { return false; }, 200ms);
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5), "");
  EXPECT_FALSE(core.CEXParseMessageEnabled());

  // Half a request, then gone: what came is shown, but it is no message:
  // parsing it fails and leaves no document behind.
  const std::string half = request.substr(0, request.size() / 2);
  {
    test::ConnectionPeer gone(std::to_string(port), {"s:" + ToHex(half), "c"});
    ASSERT_EQ(gone.Line(Pumping()), "connected");
    ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(half); }));
    ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  }
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.errors[0].rfind("1004 ", 0), 0u) << host_.errors[0];  // a short frame
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo3).find("BROKEN01"), std::string::npos)
      << core.CEXGetMemo(TCEXMemo::Memo3);
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo2).find("BROKEN01"), std::string::npos)
      << core.CEXGetMemo(TCEXMemo::Memo2);
  EXPECT_EQ(core.CEXMailBox().THXGetSendState(), TTHXMailBox::THXcStateIdle);

  // The next client is served whole.
  host_.errors.clear();
  const auto next = MockClient(port, "NEXT0003");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) != test::SpacedHex(half); }));
  AnalyseRequest("NEXT0003");
  Answer("NEXT0003");
  ExpectPassed(Finish(*next));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ServerRoleTest, HangUpWhileAnAnswerIsWrittenEndsItAndTheListenerServesOn) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ServerIni(port));
  ReferenceForRequests();
  // A client that sends its request and then reads nothing: an answer far
  // larger than the socket buffers stays in the middle of its write.
  const std::string request = RequestFrame("STUCK001");
  test::ConnectionPeer stuck(std::to_string(port), {"s:" + ToHex(request), "w:20000"});
  ASSERT_EQ(stuck.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(request); }));

  std::string big(16'000'000, 'A');
  const auto n = static_cast<uint32_t>(big.size() - 4);
  big[0] = static_cast<char>(n >> 24);
  big[1] = static_cast<char>(n >> 16);
  big[2] = static_cast<char>(n >> 8);
  big[3] = static_cast<char>(n);
  core.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(big));
  core.CEXExecute(TCEXAction::SendDataStream);
  TTHXMailBox& mailBox = core.CEXMailBox();
  // Taken by the connection, not sent.
  ASSERT_TRUE(Pump([&] { return !mailBox.THXSendPending(); }));
  Pump([] { return false; }, 300ms);
  ASSERT_EQ(mailBox.THXGetSendState(), TTHXMailBox::THXcStateSendRequest);
  ASSERT_EQ(core.CEXThreadSynch().TERThreadCount(), 1);
  // A newer client makes the stuck connection an older one, which Hang Up
  // ends as well.
  test::ConnectionPeer newer(std::to_string(port), {"e"});
  ASSERT_EQ(newer.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 2u; }));

  const auto before = Clock::now();
  core.CEXExecute(TCEXAction::HangUp);
  // The write ended at once; the terminate wait did not run into its bound.
  EXPECT_LT(Clock::now() - before, TTERThreadSynch::TERcTerminateWait);
  EXPECT_EQ(core.CEXThreadSynch().TERThreadCount(), 0);
  EXPECT_EQ(mailBox.THXGetSendState(), TTHXMailBox::THXcStateIdle);
  EXPECT_EQ(newer.Line(Pumping()), "eof");
  ASSERT_TRUE(Pump([&] { return core.CEXServer().PLTConnectionCount() == 0; }));
  EXPECT_TRUE(core.CEXServer().PLTActive());
  Pump([] { return false; }, 200ms);
  EXPECT_NE(core.CEXStatusText(1), "Data stream sent");

  // The listener serves the next client; the cut answer is not sent again.
  host_.errors.clear();
  const auto next = MockClient(port, "LATER002");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) != test::SpacedHex(request); }));
  AnalyseRequest("LATER002");
  Answer("LATER002");
  ExpectPassed(Finish(*next));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ServerRoleTest, ARequestWhoseCryptogramDoesNotOpenLeavesNoKeyToAnswerUnder) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(ServerIni(port));
  ReferenceForRequests();
  core.CEXConfiguration().CFGSetSessionKeyFromInMessage(1);
  // A first request opens, and its key is in use.
  const std::string good = RequestFrame("GOOD0001");
  test::ConnectionPeer first(std::to_string(port), {"s:" + ToHex(good), "e"});
  ASSERT_EQ(first.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(good); }));
  AnalyseRequest("GOOD0001");

  // The next request's cryptogram is under another public key.
  const std::string bad = RequestFrame("BADKEY02", false);
  test::ConnectionPeer second(std::to_string(port), {"s:" + ToHex(bad), "e"});
  ASSERT_EQ(second.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return core.CEXGetMemo(TCEXMemo::Memo5) == test::SpacedHex(bad); }));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);
  ASSERT_FALSE(host_.errors.empty());
  host_.errors.clear();

  // Its answer is not framed under the first request's key.
  core.RadioGroup1Click(1);
  TXMLMessageTree& source = core.CEXSourceTree();
  TXMLTreeNode* root = Add(source, nullptr, "ep2:AutRsp", "c");
  Add(source, root, "ep2:RspCode", "an", "00");
  core.CEXExecute(TCEXAction::CreateXMLDoc);
  core.CEXExecute(TCEXAction::CreateDataStream);
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.errors[0].rfind("7009 ", 0), 0u) << host_.errors[0];
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo6), "");
}

}  // namespace
}  // namespace kal
