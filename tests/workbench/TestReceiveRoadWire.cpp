// The receive road over real loopback connections with the mock ep2 host
// (python3-cryptography): as client the tool builds and sends a request,
// the mock checks it and answers with a response it builds itself (MAC,
// session-key cryptogram under the tool's public key, encrypted items),
// and the tool parses, analyses and decrypts it. As server the tool takes
// the mock's request, parses and analyses it against the reference tree
// and answers through the mailbox; the mock checks the answer's MAC and
// encrypted items. The core runs on this thread; its timers and the
// worker threads' posts go through one pumped queue.

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
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

const std::string kKey = FromHex("0123456789ABCDEFFEDCBA9876543210");
const std::string kPAN = "5413339000001513";

class ReceiveRoadWireTest : public test::CoreOnQueueTest {
 protected:
  TCEXMainWindow& Start(const std::string& ini) {
    StartCore(ini);
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetSessionKey(ToHex(kKey));
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetPrivateKeyModulus(ToHex(key_.n));
    config.CFGSetPrivateKeyExponent(ToHex(key_.d));
    return *core_;
  }
  // The document of the source tree as "Create XML Doc" builds it, in a
  // frame of mode 1 with the MAC under `variant`.
  std::string BuildFrame(int variant) {
    core_->CEXExecute(TCEXAction::CreateXMLDoc);
    const std::string& xml = core_->CEXGetMemo(TCEXMemo::Memo1);
    EXPECT_FALSE(xml.empty()) << ::testing::PrintToString(host_.errors);
    std::string frame;
    const TIBSFrameHeader header{.sVersionNumber = "\x30",
                                 .sSpecVersionNumber = std::string("\x06\x30", 2),
                                 .iEncoding = 1,
                                 .iSenderIDType = 3};
    EXPECT_EQ(core_->CEXByteStream().IBSXMLDocToStream(xml, 8, 11, header, variant, kKey, frame),
              0);
    return frame;
  }

  test::RsaTestKey key_;
};

const char* kResponseXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
    "   <ep2:AutRsp msgnum=\"9\">\r\n"
    "      <ep2:RspCode>00</ep2:RspCode>\r\n"
    "      <ep2:AppPAN>x</ep2:AppPAN>\r\n"
    "      <ep2:EncPIN>x</ep2:EncPIN>\r\n"
    "   </ep2:AutRsp>\r\n"
    "</ep2:ep2>\r\n";

TEST_F(ReceiveRoadWireTest, AsClientOneExchangeRunsFromBuildToDecrypt) {
  // The mock checks the request and answers with a secure response.
  const std::string response =
      "{\"action\": \"frame\", \"after\": \"close\", \"build\": {\"mode\": 2, \"version\": 48, "
      "\"xml\": " +
      test::JsonString(kResponseXml) + ", \"session_key\": \"" + ToHex(kKey) +
      "\", \"mac_variant\": 2, \"sender_id_type\": 3, \"sender_id\": \"4142434445464748\", "
      "\"owner_id_type\": 0, \"owner_id\": \"0102030405060708090A0B\", \"public_key\": " +
      key_.PublicJson() + ", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
      "\"}, {\"name\": \"ep2:EncPIN\", \"pin\": \"9876\", \"format\": 2}]}}";
  const std::string expect =
      "{\"header\": {\"mode\": 1, \"version\": 48, \"spec_version\": \"0630\"}, "
      "\"session_key\": \"" +
      ToHex(kKey) + "\", \"mac_variant\": 1}";
  test::MockEp2Server mock(JsonFile("expect.json", expect), JsonFile("response.json", response),
                           dir_.file("result.json"));
  const std::string port = mock.Port();
  ASSERT_FALSE(port.empty()) << mock.PortLine();
  TCEXMainWindow& core =
      Start(test::TcpClientIni(port) + "[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=1\r\n");

  TXMLMessageTree& source = core.CEXSourceTree();
  TXMLTreeNode* request = Add(source, nullptr, "ep2:AutReq", "c");
  Add(source, request, "ep2:TrmID", "an", "12345678");
  Add(source, request, "ep2:AmtAuth", "n", "1500");
  TXMLMessageTree& reference = core.CEXReferenceTree();
  TXMLTreeNode* root = Add(reference, nullptr, "ep2:AutRsp", "c");
  Add(reference, root, "ep2:RspCode", "an", "00", "MF");
  Add(reference, root, "ep2:AppPAN", "cn", "", "E");
  Add(reference, root, "ep2:EncPIN", "b", "", "E");

  core.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(BuildFrame(1)));
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }));
  ASSERT_TRUE(Pump([&] { return core.CEXActionEnabled(TCEXAction::ParseAndAnalyse); }));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);

  std::string rest;
  EXPECT_EQ(mock.Wait(20s, &rest), 0) << rest;
  EXPECT_NE(rest.find("RESULT 0 ok"), std::string::npos) << rest;
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  const std::string memo3 = core.CEXGetMemo(TCEXMemo::Memo3);
  EXPECT_EQ(memo3.rfind("<ep2:AutRsp>\n   <ep2:RspCode>00</ep2:RspCode>\n   <ep2:AppPAN>", 0), 0u)
      << memo3;
  EXPECT_EQ(memo3.find("Not found"), std::string::npos) << memo3;
  EXPECT_EQ(memo3.find("!"), std::string::npos) << memo3;
  const std::string memo4 = core.CEXGetMemo(TCEXMemo::Memo4);
  for (const std::string& line :
       Lines{"Sender Identifier = 4142434445464748", "Cryptogram Component ID= ABCDEFGH",
             "SessionKey= " + ToHex(kKey), "MAC Receive verification ok", "PAN= " + kPAN,
             "PIN= 9876"})
    EXPECT_NE(memo4.find(line), std::string::npos) << line << "\n" << memo4;
  EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit3), "9");
}

TEST_F(ReceiveRoadWireTest, AsServerTheRequestIsAnalysedAndTheAnswerGoesThroughTheMailBox) {
  const int port = test::FreeLoopbackPort();
  TCEXMainWindow& core = Start(
      "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
      "ThisComputerIPPortNr=" +
      std::to_string(port) + "\r\n[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=0\r\n");
  // The request the mock sends as client, with an encrypted PAN; the
  // answer must carry the MAC under the receive variant and the PAN.
  const std::string requestXml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
      "   <ep2:AutReq msgnum=\"5\">\r\n"
      "      <ep2:TrmID>87654321</ep2:TrmID>\r\n"
      "      <ep2:AppPAN>x</ep2:AppPAN>\r\n"
      "   </ep2:AutReq>\r\n"
      "</ep2:ep2>\r\n";
  const std::string spec =
      "{\"mode\": 1, \"version\": 48, \"xml\": " + test::JsonString(requestXml) +
      ", \"session_key\": \"" + ToHex(kKey) +
      "\", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN + "\"}]}";
  const std::string expect = "{\"header\": {\"mode\": 1}, \"session_key\": \"" + ToHex(kKey) +
                             "\", \"mac_variant\": 2, \"items\": [{\"name\": \"ep2:AppPAN\", "
                             "\"clear\": \"" +
                             kPAN + "\"}]}";
  TXMLMessageTree& reference = core.CEXReferenceTree();
  TXMLTreeNode* root = Add(reference, nullptr, "ep2:AutReq", "c");
  Add(reference, root, "ep2:TrmID", "an", "", "M");
  Add(reference, root, "ep2:AppPAN", "cn", "", "ME");
  TXMLMessageTree& source = core.CEXSourceTree();
  TXMLTreeNode* answer = Add(source, nullptr, "ep2:AutRsp", "c");
  Add(source, answer, "ep2:RspCode", "an", "00");
  Add(source, answer, "ep2:AppPAN", "cn", kPAN, "E");

  test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "client", "--port",
                           std::to_string(port), "--spec", JsonFile("spec.json", spec), "--expect",
                           JsonFile("expect.json", expect), "--result", dir_.file("result.json")});
  ASSERT_TRUE(Pump([&] { return core.CEXParseMessageEnabled(); }));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo3).substr(0, 51),
            "<ep2:AutReq>\n   <ep2:TrmID>87654321</ep2:TrmID>\n   ");
  EXPECT_NE(core.CEXGetMemo(TCEXMemo::Memo4).find("PAN= " + kPAN), std::string::npos)
      << core.CEXGetMemo(TCEXMemo::Memo4);
  EXPECT_NE(core.CEXGetMemo(TCEXMemo::Memo4).find("MAC Send verification ok"), std::string::npos);

  // The prepared answer goes to the connection through the mailbox.
  core.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(BuildFrame(2)));
  core.CEXExecute(TCEXAction::SendDataStream);
  ASSERT_TRUE(Pump([&] { return core.CEXStatusText(1) == "Data stream sent"; }));
  std::string rest;
  EXPECT_EQ(mock.Wait(20s, &rest), 0) << rest;
  EXPECT_NE(rest.find("RESULT 0 ok"), std::string::npos) << rest;
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

}  // namespace
}  // namespace kal
