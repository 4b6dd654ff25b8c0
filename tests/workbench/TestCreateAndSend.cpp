// "Create + Send" against the independent mock ep2 host over real loopback
// connections: the host checks the length prefix, version, mode, header
// items, the XML against the document it expects, the MAC (recomputed), the
// session-key cryptogram (opened with the private key) and the encrypted
// PIN, PAN and track data against their clear values, for modes 0, 1 and
// 2, versions 0x10, 0x20 and 0x30, 16- and 24-byte keys and PIN formats 2
// and 3. One host run serves all cases, one connection each.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "comm/ClientSocketPPP.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "workbench/CoreHost.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/QueueTimers.h"
#include "workbench/RsaTestKey.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::ToHex;
using Lines = std::vector<std::string>;

const std::string kNamespace = "http://www.eftpos2000.ch";
const std::string kSecretHex = "00112233445566778899AABBCCDDEEFF";
const std::string kComponentID = "12345678901";  // sender id type 1, 11 bytes
const std::string kOwnerID = "OWNER000001";      // owner id type 1, 11 bytes
const std::string kPAN = "5413339000001513";
const std::string kTrack2 = "5413339000001513D251220101234567";

class Host final : public test::CoreHost, public ICEXMessageFiles, public ICEXRecordingList {
 public:
  bool CEXReadMessageFile(const std::string&) override { return false; }
  bool CEXSaveMessage() override { return false; }
  bool CEXSaveMessageSilently() override { return true; }
  void RFLReset() override { recorded.clear(); }
  void RFLSetMessageReceived(std::string_view) override {}
  void RFLDoRecording(std::string_view) override {}
  void RFLSetMessageSend(std::string_view) override {}
  int RFLAcceptItem(std::string_view name, std::string_view, bool, std::string_view,
                    std::string_view, std::string_view type, std::string_view value,
                    std::string&) override {
    recorded.push_back(std::string(name) + "|" + std::string(type) + "|" + std::string(value));
    return 0;
  }

  Lines recorded;
};

// One send: the configuration it runs with and what the host must find.
struct SendCase {
  std::string version;      // configured, hex
  std::string specVersion;  // configured and in the document, hex
  int encodingInformation;
  int securityHeader;   // 0 MAC only, 1 complete header
  int keyBytes;         // 16 or 24
  bool idsFromMessage;  // the sender id from "ep2:TrmID", the owner from "ep2:AcqID"
  int mode;             // expected on the wire
  int pinFormat;        // expected
};

// "RESULT i ok|FAIL" and "CHECK i name pass|fail detail" of the host.
struct HostResult {
  bool ok = false;
  Lines failed;
  std::set<std::string> passed;
};
std::vector<HostResult> ParseResults(const std::string& out) {
  std::vector<HostResult> results;
  for (const std::string& line : test::SplitLines(out)) {
    std::istringstream in(line);
    std::string word, verdict, name;
    size_t i = 0;
    in >> word >> i;
    if (i >= 100) continue;
    if (results.size() <= i) results.resize(i + 1);
    if (word == "RESULT") {
      in >> verdict;
      results[i].ok = verdict == "ok";
    } else if (word == "CHECK") {
      in >> name >> verdict;
      if (verdict == "pass")
        results[i].passed.insert(name);
      else
        results[i].failed.push_back(line);
    }
  }
  return results;
}

class CreateAndSendTest : public test::CoreOnQueueFixture<Host> {
 protected:
  static void SetUpTestSuite() { rsa = new test::RsaTestKey(1024); }
  static void TearDownTestSuite() { delete rsa; }

  TCEXMainWindow& Start(int port) {
    const std::string ini = test::TcpClientIni(std::to_string(port)) +
                            "[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=1\r\n";
    StartCore(ini, {.messageFiles = &host_, .recording = &host_});
    core_->CEXSetAddMsgNum(2);  // no message number
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetComponentID(kComponentID);
    config.CFGSetComponentSecret(kSecretHex);
    config.CFGSetSenderIDType(1);
    config.CFGSetPublicKeyOwnerIDType(1);
    config.CFGSetPublicKeyOwnerID(kOwnerID);
    config.CFGSetPublicKeyIndex(1);
    config.CFGSetPublicKeyExponent(ToHex(rsa->e));
    config.CFGSetPublicKeyModulus(ToHex(rsa->n));
    config.CFGSetMessageHeaderAttribute("xmlns:ep2;specversion");
    return *core_;
  }
  TXMLTreeNode* Add(TXMLTreeNode* parent, const std::string& name, const std::string& type,
                    const std::string& value, const std::string& attributes = "") {
    return test::AddElement(core_->CEXSourceTree(), parent, name, type, value, attributes);
  }
  // An authorisation request with encrypted PAN, track data and PIN.
  void Request(bool idsFromMessage) {
    core_->CEXSourceTree().XMLDeleteAll();
    TXMLTreeNode* root = Add(nullptr, "ep2:authreq", "c", "");
    Add(root, "ep2:TrmID", "an", "T0000042", idsFromMessage ? "I" : "");
    Add(root, "ep2:AcqID", "n", "00000012345", idsFromMessage ? "O" : "");
    Add(root, "ep2:Amount", "n", "1250", "M");
    Add(root, "ep2:AppPAN", "cn", kPAN, "E");
    Add(root, "ep2:Track2Dat", "cn", kTrack2, "E");
    Add(root, "ep2:EncPIN", "n", "1234", "E");
  }
  static std::string ExpectedXml(const std::string& specVersion) {
    return "<ep2:message xmlns:ep2=\"" + kNamespace + "\" specversion=\"" + specVersion +
           "\"><ep2:authreq><ep2:TrmID>T0000042</ep2:TrmID><ep2:AcqID>00000012345</ep2:AcqID>"
           "<ep2:Amount>1250</ep2:Amount><ep2:AppPAN/><ep2:Track2Dat/><ep2:EncPIN/>"
           "</ep2:authreq></ep2:message>";
  }
  static std::string Key(int bytes) {
    std::string key;
    for (int i = 0; i < bytes; ++i) key += static_cast<char>(0x11 * (i % 15 + 1) ^ i);
    return key;
  }
  static std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  static std::string Expectation(const SendCase& c) {
    const int version = std::stoi(c.version, nullptr, 16);
    const std::string key = Key(c.keyBytes);
    std::string header =
        "\"version\": " + std::to_string(version) + ", \"mode\": " + std::to_string(c.mode);
    if (version >= 0x20) header += ", \"spec_version\": " + Quoted(c.specVersion);
    std::string e = "{\"xml\": " + Quoted(ExpectedXml(c.specVersion)) + ", \"mac_variant\": 1";
    if (c.mode == 2) {
      const std::string sender = c.idsFromMessage ? "T0000042" : kComponentID;
      header += ", \"sender_id_type\": " + std::to_string(c.idsFromMessage ? 3 : 1) +
                ", \"sender_id\": " + Quoted(ToHex(sender)) +
                ", \"owner_id_type\": " + std::to_string(c.idsFromMessage ? 3 : 1) +
                ", \"owner_id\": " + Quoted(ToHex(c.idsFromMessage ? "00000012345" : kOwnerID)) +
                ", \"key_index\": 1, \"cryptogram_length\": 128";
      e += ", \"private_key\": {\"n\": " + Quoted(ToHex(rsa->n)) +
           ", \"e\": " + Quoted(ToHex(rsa->e)) + ", \"d\": " + Quoted(ToHex(rsa->d)) + "}";
      e += ", \"cryptogram\": {\"sender_id\": " + Quoted(ToHex(sender.substr(sender.size() - 8))) +
           ", \"session_key\": " + Quoted(ToHex(key)) + ", \"secret\": " + Quoted(kSecretHex) +
           ", \"form\": " + (c.keyBytes == 24 ? "\"oaep\"" : "\"raw\"") + "}";
    } else {
      e += ", \"session_key\": " + Quoted(ToHex(key));
    }
    e += ", \"header\": {" + header + "}";
    e += ", \"items\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
         "\"}, {\"name\": \"ep2:Track2Dat\", \"clear\": \"" + kTrack2 +
         "\"}, {\"name\": \"ep2:EncPIN\", \"pin\": \"1234\", \"format\": " +
         std::to_string(c.pinFormat) + ", \"pan\": \"" + kPAN + "\"}]}";
    return e;
  }
  void Configure(const SendCase& c) {
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetVersionNumber(c.version);
    config.CFGSetSpecVersionNumber(c.specVersion);
    config.CFGSetEncodingInformation(static_cast<uint8_t>(c.encodingInformation));
    config.CFGSetSessionKey(ToHex(Key(c.keyBytes)));
    config.CFGSetMessageHeaderAttributeValue(kNamespace + ";" + c.specVersion);
    core_->RadioGroup1Click(c.securityHeader);
    Request(c.idsFromMessage);
  }

  inline static test::RsaTestKey* rsa = nullptr;
};

TEST_F(CreateAndSendTest, EveryModeVersionKeyAndPinFormatPassesTheMockHost) {
  const std::vector<SendCase> cases = {
      // Encoding off: mode 0 whatever the choice says.
      {"10", "0500", 0, 1, 16, false, 0, 2}, {"20", "0510", 1, 0, 16, false, 1, 2},
      {"30", "0630", 2, 0, 24, false, 1, 3}, {"30", "0630", 1, 1, 16, false, 2, 3},
      {"30", "0630", 2, 1, 24, true, 2, 3},  {"20", "0630", 1, 1, 24, false, 2, 3},
      {"10", "0500", 1, 1, 16, true, 2, 2},
  };
  std::string expect = "[", respond = "[";
  for (size_t i = 0; i < cases.size(); ++i) {
    expect += (i ? ", " : "") + Expectation(cases[i]);
    respond += std::string(i ? ", " : "") +
               "{\"action\": \"frame\", \"after\": \"close\", \"build\": {\"version\": 48, "
               "\"spec_version\": \"0630\", \"mode\": 0, \"xml\": \"<ep2:message xmlns:ep2=\\\"" +
               kNamespace + "\\\"><ep2:authrsp/></ep2:message>\"}}";
  }
  test::WriteFile(dir_.file("expect.json"), expect + "]");
  test::WriteFile(dir_.file("respond.json"), respond + "]");
  test::MockEp2Server mock(dir_.file("expect.json"), dir_.file("respond.json"),
                           dir_.file("result.json"),
                           {"--connections", std::to_string(cases.size())});
  const std::string port = mock.Port();
  ASSERT_FALSE(port.empty()) << mock.PortLine();
  TCEXMainWindow& core = Start(std::stoi(port));

  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Configure(cases[i]);
    host_.recorded.clear();
    core.CEXExecute(TCEXAction::CreateAndSend);
    ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
    ASSERT_FALSE(core.CEXGetMemo(TCEXMemo::Memo6).empty());
    // The answer arrives, the host closes, the gate reopens.
    ASSERT_TRUE(Pump([&] {
      return !core.CEXGetMemo(TCEXMemo::Memo5).empty() && core.CEXLink().CEXNoWaitForDisconnect() &&
             !core.CEXClientSocket().Active();
    }));
    EXPECT_FALSE(core.CEXGetEdit(TCEXEdit::Edit6).empty());  // the send time
    // The cryptogram and the key index are recorded with the sent items.
    if (cases[i].mode == 2) {
      ASSERT_GE(host_.recorded.size(), 2u);
      EXPECT_EQ(host_.recorded.back(), "ep2:AcqPubKeyInd|b|01");
      EXPECT_EQ(host_.recorded[host_.recorded.size() - 2].rfind("ep2:SessKeyCryp|b|", 0), 0u);
      EXPECT_EQ(host_.recorded[host_.recorded.size() - 2].size(), 18u + 256u);
    }
  }
  std::string rest;
  const int status = mock.Wait(30s, &rest);
  const std::vector<HostResult> results = ParseResults(rest);
  ASSERT_EQ(results.size(), cases.size()) << rest;
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(results[i].ok) << "case " << i << "\n"
                               << ::testing::PrintToString(results[i].failed);
    // The checks that matter ran (a host that checked nothing would pass).
    for (const char* check : {"xml.wellformed", "xml.tree", "item.ep2:EncPIN", "item.ep2:AppPAN",
                              "item.ep2:Track2Dat", "header.mode", "header.version"})
      EXPECT_TRUE(results[i].passed.count(check)) << "case " << i << " " << check << "\n" << rest;
    EXPECT_EQ(results[i].passed.count("mac"), cases[i].mode != 0 ? 1u : 0u) << i;
    EXPECT_EQ(results[i].passed.count("cryptogram"), cases[i].mode == 2 ? 1u : 0u) << i;
  }
  EXPECT_EQ(status, 0) << rest;
}

TEST_F(CreateAndSendTest, AFailedBuildEndsTheChainAndLeavesNoStreamToSend) {
  TCEXMainWindow& core = Start(test::FreeLoopbackPort());
  Configure({"30", "0630", 0, 1, 16, false, 0, 3});
  core.CEXSetMemo(TCEXMemo::Memo6, "00 00 00 02 4F 4C");
  Add(core.CEXSourceTree().GetFirstNode(), "ep2:TrxDate", "date", "2025-12-31", "M");
  core.CEXExecute(TCEXAction::CreateAndSend);
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_NE(host_.errors[0].find("tag: ep2:TrxDate"), std::string::npos) << host_.errors[0];
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo1), "");
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo6), "");
  EXPECT_EQ(core.CEXLink().CEXSendString(), "");
  EXPECT_FALSE(core.CEXClientSocket().Active());

  // A stream that cannot be made (mode 2 with an owner id of the wrong
  // length for its type) drops the earlier stream too: "Send Data Stream"
  // then has nothing to send.
  host_.errors.clear();
  Configure({"30", "0630", 1, 1, 16, false, 2, 3});
  core.CEXConfiguration().CFGSetPublicKeyOwnerID("SHORT");
  core.CEXExecute(TCEXAction::CreateXMLDoc);
  core.CEXSetMemo(TCEXMemo::Memo6, "00 00 00 02 4F 4C");
  core.CEXExecute(TCEXAction::CreateDataStream);
  EXPECT_FALSE(core.CEXGetMemo(TCEXMemo::Memo1).empty());
  EXPECT_EQ(host_.errors,
            Lines{"1008 Public key owner ID \"SHORT\" has 5 characters, its type 1 needs 11"});
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo6), "");
  core.CEXExecute(TCEXAction::SendDataStream);
  EXPECT_EQ(host_.messages, Lines{TCEXLink::CEXcNothingToSend});
  EXPECT_EQ(core.CEXLink().CEXSendString(), "");
  EXPECT_FALSE(core.CEXClientSocket().Active());
}

}  // namespace
}  // namespace kal
