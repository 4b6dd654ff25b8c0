// The first exchange out of the box: the message files and configuration
// shipped in share/ load, build and stream in every mode; the tool reads its
// own mode-2 frames for both key lengths on both sides of version 7.00, and
// "Parse + Analyse" without a reference still verifies the MAC; the shipped
// request and response pass the mock ep2 host.

#include <gtest/gtest.h>

#include <ctime>

#include "comm/ClientSocketPPP.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/MessageTree.h"
#include "support/HexUtilities.h"
#include "workbench/CoreHost.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageFiles.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::ToHex;

std::string Shipped(const std::string& name) {
  return test::ReadFile(std::string(KAL_SOURCE_DIR) + "/share/" + name);
}

// The shipped configuration with a link of the test's own in place of its
// Communication section (the shipped port may be taken on this machine).
std::string ShippedIni(const std::string& communication) {
  std::string ini = Shipped("config.ini");
  const size_t component = ini.find("[Component]");
  EXPECT_NE(component, std::string::npos);
  return communication + ini.substr(component);
}

class FirstExchangeTest : public test::CoreOnQueueTest {
 protected:
  TCEXMainWindow& Start(const std::string& communication =
                            "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\n") {
    StartCore(ShippedIni(communication));
    core_->CEXSetAddMsgNum(2);  // no message number
    return *core_;
  }
  void Load(TXMLMessageTree& tree, const std::string& file) {
    const TCEXMessageReadResult read = CEXReadMessageText(
        Shipped(file), tree, &tree == &core_->CEXReferenceTree(), std::time(nullptr));
    ASSERT_TRUE(read.complete) << file << " line " << read.errorLine;
  }
  // "Create XML Doc" and "Create Data Stream" of a shipped message; the
  // frame's security mode.
  int Stream(const std::string& file) {
    Load(core_->CEXSourceTree(), file);
    core_->CEXExecute(TCEXAction::CreateXMLDoc);
    core_->CEXExecute(TCEXAction::CreateDataStream);
    EXPECT_TRUE(host_.errors.empty()) << file << ": " << host_.errors.front();
    std::string xml, hash;
    TIBSFrameHeader frame;
    frame.iEncoding = -1;
    const int rc = TIBSaEp2ByteStream(1000).IBSStreamToXMLDoc(core_->CEXDataStreamBytes(), 11, 11,
                                                              xml, frame, hash);
    EXPECT_EQ(rc, 0) << file;
    return frame.iEncoding;
  }
  // The stream just made comes back as if received, and "Parse + Analyse"
  // runs on it; Memo4, with the errors shown.
  std::string ReadBack() {
    core_->CEXLink().CEXFrameStored(core_->CEXDataStreamBytes());
    core_->CEXExecute(TCEXAction::ParseAndAnalyse);
    std::string memo4 = core_->CEXGetMemo(TCEXMemo::Memo4);
    for (const std::string& error : host_.errors) memo4 += "\nerror " + error;
    return memo4;
  }
};

TEST_F(FirstExchangeTest, TheShippedFilesBuildAndStreamInEveryMode) {
  TCEXMainWindow& core = Start();
  TCFGConfig& config = core.CEXConfiguration();
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    if (mode == 0) config.CFGSetEncodingInformation(0);
    core.RadioGroup1Click(mode == 2 ? 1 : 0);
    EXPECT_EQ(Stream("AuthorisationRequest.epm"), mode);
    EXPECT_EQ(Stream("AuthorisationResponse.epm"), mode);
    if (mode == 0) config.CFGSetEncodingInformation(1);
  }
  // The 1008 text names the id, its length and the length its type needs.
  config.CFGSetPublicKeyOwnerID("12345678");
  core.CEXExecute(TCEXAction::CreateDataStream);
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.errors[0],
            "1008 Public key owner ID \"12345678\" has 8 characters, its type 1 needs 11");
}

TEST_F(FirstExchangeTest, TheToolReadsItsOwnModeTwoFramesForBothKeyLengthsAroundVersion700) {
  TCEXMainWindow& core = Start();
  TCFGConfig& config = core.CEXConfiguration();
  core.RadioGroup1Click(1);
  Load(core.CEXReferenceTree(), "AuthorisationRequestReference.epm");
  config.CFGSetMessageHeaderAttribute("xmlns:ep2;specversion");
  for (int keyBytes : {16, 24}) {
    if (keyBytes == 24) {
      // The 24-byte key's cryptogram needs the two-byte length field.
      config.CFGSetDefaultKeyValues24();
      config.CFGSetVersionNumber("30");
    }
    for (const char* version : {"0700", "0710"}) {
      SCOPED_TRACE(std::to_string(keyBytes) + " " + version);
      config.CFGSetMessageHeaderAttributeValue(std::string("http://www.eftpos2000.ch;") + version);
      ASSERT_EQ(Stream("AuthorisationRequest.epm"), 2);
      const std::string memo4 = ReadBack();
      for (const std::string& line :
           {"SessionKey= " + UTHStringToCompactHex(UTHHexToString(config.CFGGetSessionKey())),
            std::string("MAC Send verification ok"), std::string("PAN= 5413339000001513"),
            std::string("PIN= 1234")})
        EXPECT_NE(memo4.find(line), std::string::npos) << line << "\n" << memo4;
      host_.errors.clear();
    }
  }

  // Without a reference the analysis says so, and the security header and
  // the MAC are still verified.
  core.CEXReferenceTree().XMLDeleteAll();
  const std::string memo4 = ReadBack();
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo3), "No reference structure loaded");
  EXPECT_NE(memo4.find("MAC Send verification ok"), std::string::npos) << memo4;
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(FirstExchangeTest, DecryptIsEnabledOnceTheAnalysisTookTheConfiguredKey) {
  TCEXMainWindow& core = Start();
  Load(core.CEXReferenceTree(), "AuthorisationResponseReference.epm");
  // A mode-1 answer reaches a core that has not sent anything: no key yet.
  const std::string xml =
      "<ep2:message xmlns:ep2=\"http://www.eftpos2000.ch\"><ep2:AutRsp><ep2:TrmID>T0000042"
      "</ep2:TrmID><ep2:RspCode>00</ep2:RspCode></ep2:AutRsp></ep2:message>";
  std::string frame;
  const TIBSFrameHeader header{.sVersionNumber = "\x20",
                               .sSpecVersionNumber = std::string("\x02\x01", 2),
                               .iEncoding = 1,
                               .iSenderIDType = 1,
                               .iPublicKeyOwnerIdentifierType = 1,
                               .iPublicKeyIndex = 1};
  ASSERT_EQ(TIBSaEp2ByteStream(1000).IBSXMLDocToStream(
                xml, 11, 11, header, 2, UTHHexToString(core.CEXConfiguration().CFGGetSessionKey()),
                frame),
            0);
  core.CEXLink().CEXFrameStored(frame);
  core.CEXExecute(TCEXAction::ParseMessage);
  EXPECT_FALSE(core.CEXActionEnabled(TCEXAction::DecryptSecurity));
  core.CEXExecute(TCEXAction::AnalyseMessage);
  ASSERT_TRUE(core.CEXActionEnabled(TCEXAction::DecryptSecurity));
  core.CEXExecute(TCEXAction::DecryptSecurity);
  EXPECT_NE(core.CEXGetMemo(TCEXMemo::Memo4).find("MAC Receive verification ok"), std::string::npos)
      << core.CEXGetMemo(TCEXMemo::Memo4);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(FirstExchangeTest, TheShippedRequestAndResponsePassTheMockHost) {
  // The answer's document as the tool builds it from the shipped response.
  TCEXMainWindow& builder = Start();
  Load(builder.CEXSourceTree(), "AuthorisationResponse.epm");
  builder.CEXExecute(TCEXAction::CreateXMLDoc);
  const std::string answerXml = builder.CEXGetMemo(TCEXMemo::Memo1);
  ASSERT_NE(answerXml.find("<ep2:AutRsp>"), std::string::npos) << answerXml;
  const TCFGConfig& shipped = builder.CEXConfiguration();
  const std::string sessionKey = shipped.CFGGetSessionKey();
  const std::string privateKey =
      "{\"n\": " + test::JsonString(shipped.CFGGetPrivateKeyModulus()) +
      ", \"e\": " + test::JsonString(shipped.CFGGetPublicKeyExponent()) +
      ", \"d\": " + test::JsonString(shipped.CFGGetPrivateKeyExponent()) + "}";
  core_->FormDestroy();
  core_.reset();

  const std::string expect =
      "{\"header\": {\"version\": 32, \"mode\": 2, \"owner_id\": \"" + ToHex("00000012345") +
      "\"}, \"private_key\": " + privateKey + ", \"cryptogram\": {\"session_key\": \"" +
      sessionKey +
      "\", \"form\": \"raw\"}, \"mac_variant\": 1, \"items\": [{\"name\": \"ep2:AppPAN\", "
      "\"clear\": \"5413339000001513\"}, {\"name\": \"ep2:Track2Dat\", \"clear\": "
      "\"5413339000001513D2512201012345678\"}, {\"name\": \"ep2:EncPIN\", \"pin\": \"1234\", "
      "\"format\": 2, \"pan\": \"5413339000001513\"}]}";
  const std::string response =
      "{\"action\": \"frame\", \"after\": \"close\", \"build\": {\"version\": 32, "
      "\"spec_version\": \"0201\", \"mode\": 1, \"session_key\": \"exchange\", \"mac_variant\": 2, "
      "\"xml\": " +
      test::JsonString(answerXml) + "}}";
  test::MockEp2Server mock(JsonFile("expect.json", expect), JsonFile("response.json", response),
                           dir_.file("result.json"));
  const std::string port = mock.Port();
  ASSERT_FALSE(port.empty()) << mock.PortLine();
  host_.errors.clear();
  TCEXMainWindow& core =
      Start(test::TcpClientIni(port) + "[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=1\r\n");
  Load(core.CEXSourceTree(), "AuthorisationRequest.epm");
  Load(core.CEXReferenceTree(), "AuthorisationResponseReference.epm");
  core.RadioGroup1Click(1);  // the complete security header
  ASSERT_TRUE(SendAndAwaitAnswer(core));
  core.CEXExecute(TCEXAction::ParseAndAnalyse);
  std::string rest;
  EXPECT_EQ(mock.Wait(30s, &rest), 0) << rest;
  for (const char* check :
       {"cryptogram", "mac", "item.ep2:AppPAN", "item.ep2:Track2Dat", "item.ep2:EncPIN"})
    EXPECT_NE(rest.find(std::string("CHECK 0 ") + check + " pass"), std::string::npos)
        << check << "\n"
        << rest;
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  const std::string memo3 = core.CEXGetMemo(TCEXMemo::Memo3);
  EXPECT_EQ(memo3.find("!"), std::string::npos) << memo3;
  EXPECT_EQ(memo3.find("Not found"), std::string::npos) << memo3;
  EXPECT_NE(core.CEXGetMemo(TCEXMemo::Memo4).find("MAC Receive verification ok"), std::string::npos)
      << core.CEXGetMemo(TCEXMemo::Memo4);
}

}  // namespace
}  // namespace kal
