// "Parse Message", "Analyse Message" and "Decrypt Security" on the receive
// road alone (fakes for its ports, no main window), on frames the mock ep2 host
// (python3-cryptography) builds: good ones with a session-key cryptogram under the tool's public
// key, encrypted items and certificates, and broken ones. Every result the
// tool shows (memo lines, codes, MAC states, decrypted values) is checked.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <initializer_list>

#include "comm/CommParams.h"
#include "comm/ErrorHandOff.h"
#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/RsaTestKey.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;
using Lines = std::vector<std::string>;

const std::string kKey = FromHex("0123456789ABCDEFFEDCBA9876543210");
const std::string kEntryKey = FromHex("00112233445566778899AABBCCDDEEFF");
const std::string kPAN = "5413339000001513";

// The tool's private key, the mock's public key.
const test::RsaTestKey& ToolKey() {
  static const test::RsaTestKey key;
  return key;
}

// The response document; `body` holds the lines inside the message element.
std::string ResponseXml(const std::string& root, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
         "   <ep2:" +
         root + " msgnum=\"42\">\r\n" + body + "   </ep2:" + root + ">\r\n</ep2:ep2>\r\n";
}

const std::string kBody =
    "      <ep2:TrmID>12345678</ep2:TrmID>\r\n"
    "      <ep2:RspCode>00</ep2:RspCode>\r\n"
    "      <ep2:AmtAuth>1500</ep2:AmtAuth>\r\n"
    "      <ep2:AppPAN>x</ep2:AppPAN>\r\n"
    "      <ep2:EncPIN>x</ep2:EncPIN>\r\n"
    "      <ep2:EMV>\r\n"
    "         <ep2:AIP>HAA=</ep2:AIP>\r\n"
    "      </ep2:EMV>\r\n";

// The form, the error hand-off and window, the sequence window, the
// recording list and the log columns of the road.
class Host final : public ICEXView,
                   public ICEXErrorHandOff,
                   public IERRErrorWindow,
                   public ICEXSequenceWindow,
                   public ICEXRecordingList,
                   public ICEXLogColumns {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {}; }
  void CEXCloseMainWindow() override {}
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  // An error goes to the sequence window while it is visible.
  bool CEXLogError(int id, const std::string& text, bool group) override {
    if (!sequenceVisible) return false;
    SEQLogError(id, text, group);
    return true;
  }
  void ERRSetError(int code, const std::string& detail) override {
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  bool SEQVisible() const override { return sequenceVisible; }
  void SEQLoadSequenceFile(const std::string&) override {}
  void SEQMessageAvailable() override {}
  void SEQRunNextRow() override {}
  TSEQErrorTaken SEQLogError(int id, const std::string& text, bool group) override {
    logged.push_back(std::to_string(id) + " " + text + (group ? " [G]" : ""));
    return TSEQErrorTaken::Taken;
  }
  // A conditional group whose window never says it has ended.
  int SEQGroupSize() const override { return groupSize; }
  bool SEQGroupEnd() const override { return false; }
  void SEQRunNextGroupRow() override { alternatives.push_back("row"), nextAlternative(); }
  void SEQLoadNextServerReference() override {
    alternatives.push_back("reference"), nextAlternative();
  }
  void RFLReset() override {}
  void RFLSetMessageReceived(std::string_view tag) override {
    recorded.push_back("received " + std::string(tag));
  }
  void RFLDoRecording(std::string_view key) override {
    recorded.push_back("recording " + ToHex(std::string(key)));
  }
  void RFLSetMessageSend(std::string_view) override {}
  int RFLAcceptItem(std::string_view name, std::string_view, bool out, std::string_view,
                    std::string_view, std::string_view, std::string_view value,
                    std::string&) override {
    recorded.push_back(std::string(name) + (out ? ">" : "<") + std::string(value));
    return 0;
  }
  void LUXAcceptItem(std::string_view tag, std::string_view value) override {
    columns.push_back(std::string(tag) + "=" + std::string(value));
  }

  Lines messages, errors, logged, recorded, columns, alternatives;
  bool sequenceVisible = false;
  int groupSize = 0;
  std::function<void()> nextAlternative;
};

// The session key as the build road gives it: the configured one unless it
// comes from the last received message; the certificate MAC under its TC
// variant.
class SessionKeys final : public ICEXSessionKeys {
 public:
  SessionKeys(const TCFGConfig& config, TSECep2Security& security, TSDCSecurityDecryption& received)
      : config_(config), security_(security), received_(received) {}
  int CEXGetSessionKey(std::string& key) override {
    key = FromHex(config_.CFGGetSessionKey());
    if (config_.CFGGetSessionKeyFromInMessage() != 1) {
      received_.SDCSetSessionKey(key);
      return 0;
    }
    if (!received_.SDCSessionKeyPresent()) return TCEXBuildRoad::CEXcErrorNoSessionKey;
    key = received_.SDCGetSessionKey();
    return 0;
  }
  int CEXSetEncryptedATC(std::string_view key, std::string& value) override {
    std::string variant, mac;
    int rc = security_.SECGenerateSessionKeyVariant(TSECep2Security::SECcSessionKeyVariantTC, key,
                                                    nullptr, variant);
    if (rc == 0) rc = security_.SECComputeMac(variant, value, nullptr, mac);
    value = mac;
    return rc;
  }

 private:
  const TCFGConfig& config_;
  TSECep2Security& security_;
  TSDCSecurityDecryption& received_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ReceiveRoadTest : public ::testing::Test {
 protected:
  ReceiveRoadTest() {
    static_cast<void>(config_.CFGReadIniFile(true));
    security_.SECInitRandomgenerator();
    road_.CEXSetLogItemsList(&host_);
    TCFGConfig& config = config_;
    config.CFGSetSessionKey(ToHex(kKey));
    config.CFGSetSessionKeyFromInMessage(1);
    config.CFGSetPrivateKeyModulus(ToHex(ToolKey().n));
    config.CFGSetPrivateKeyExponent(ToHex(ToolKey().d));
    plugInCalls = 0;
    plugInFailure.clear();
  }
  static int32_t PlugIn(const TCFGConfig&, int32_t encoding, const std::string& doc,
                        std::string& replaced, std::string& error) {
    ++plugInCalls;
    EXPECT_EQ(encoding, 201);
    replaced = doc;
    if (!plugInFailure.empty()) {
      error = plugInFailure;
      return 9104;
    }
    return 0;
  }

  // The frame the mock builds from its description (a JSON object).
  std::string MockFrame(const std::string& spec) {
    const std::string specFile = dir_.file("spec.json"), out = dir_.file("frame.bin");
    test::WriteFile(specFile, spec);
    int status = -1;
    const std::string printed =
        test::RunMockEp2Host({"build", "--spec", specFile, "--out", out}, &status);
    EXPECT_EQ(status, 0) << printed;
    return test::ReadFile(out);
  }
  // A mode-2 response: cryptogram under the tool's public key, MAC under the
  // send variant, AppPAN and EncPIN encrypted. `extra` adds description members.
  std::string SecureResponse(const std::string& xml, const std::string& extra = "") {
    return MockFrame("{\"mode\": 2, \"version\": 48, \"spec_version\": \"0630\", \"xml\": " +
                     test::JsonString(xml) + ", \"session_key\": \"" + ToHex(kKey) +
                     "\", \"sender_id_type\": 3, \"sender_id\": \"3132333435363738\", "
                     "\"owner_id_type\": 0, \"owner_id\": \"0102030405060708090A0B\", "
                     "\"key_index\": 7, \"public_key\": " +
                     ToolKey().PublicJson() +
                     ", \"secret\": \"A0A1A2A3A4A5A6A7A8A9AAABACADAEAF\", \"encrypt\": ["
                     "{\"name\": \"ep2:AppPAN\", \"clear\": \"" +
                     kPAN + "\"}, {\"name\": \"ep2:EncPIN\", \"pin\": \"4321\", \"format\": 2}]" +
                     extra + "}");
  }

  TXMLTreeNode* Add(TXMLTreeNode* parent, const std::string& name, const std::string& type,
                    const std::string& value = "", const std::string& attributes = "",
                    const std::string& tag = "") {
    return test::AddElement(reference_, parent, name, type, value, attributes, tag);
  }
  // The reference structure of the response.
  TXMLTreeNode* Reference(const std::string& root = "ep2:AutRsp") {
    TXMLTreeNode* r = Add(nullptr, root, "c");
    Add(r, "ep2:TrmID", "an", "", "M");
    Add(r, "ep2:RspCode", "an", "00", "F");
    Add(r, "ep2:AmtAuth", "n", "", "", "9F02");
    Add(r, "ep2:AppPAN", "cn", "", "E");
    Add(r, "ep2:EncPIN", "b", "", "E");
    TXMLTreeNode* emv = Add(r, "ep2:EMV", "c", "", "M");
    Add(emv, "ep2:AIP", "b");
    return r;
  }
  void Receive(const std::string& frame) { road_.CEXFrameArrived(frame); }
  const std::string& Memo(TCEXMemo memo) { return view_.CEXMemo(memo); }

  inline static int plugInCalls = 0;
  inline static std::string plugInFailure;
  test::TempDir dir_;
  Host host_;
  TTCPCommParams comm_{8000, &host_};
  TCFGConfig config_{dir_.path(), TCFGConfig::CFGcBaseFileName, &comm_};
  TALUAliasList aliases_{dir_.path()};
  TSECDeterministicRandom random_{std::string("\0\0\0\x02", 4)};
  TSECep2Security security_{4000, random_};
  TIBSaEp2ByteStream byteStream_{1000};
  TCEXViewState view_{host_};
  TCEXSecurityConfiguration securityConfig_{config_};
  TCEXMemo4Report report_{view_};
  TSDCSecurityDecryption decryption_{5000, securityConfig_, security_, &report_};
  TXMLMessageTree reference_;
  SessionKeys keys_{config_, security_, decryption_};
  TCEXReceiveRoad road_{TCEXReceiveRoad::TPorts{.view = view_,
                                                .errors = host_,
                                                .errorWindow = host_,
                                                .keys = keys_,
                                                .recording = host_,
                                                .sequence = &host_,
                                                .config = config_,
                                                .comm = comm_,
                                                .byteStream = byteStream_,
                                                .security = security_,
                                                .decryption = decryption_,
                                                .referenceTree = reference_,
                                                .aliases = aliases_,
                                                .plugIn = &PlugIn}};
};

TEST_F(ReceiveRoadTest, ParseSplitsTheSecureFrameFormatsTheStreamAndParsesTwiceAlike) {
  const std::string xml = ResponseXml("AutRsp", kBody);
  const std::string frame = SecureResponse(xml);
  Receive(frame);
  EXPECT_FALSE(road_.CEXAnalyseEnabled());
  road_.Action_ParseMessageExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(plugInCalls, 1);
  EXPECT_EQ(road_.CEXReceivedBuffer(), frame);
  EXPECT_EQ(view_.CEXEdit(TCEXEdit::Edit3), "42");
  EXPECT_EQ(road_.CEXReceivedRoot(), "ep2:AutRsp");
  EXPECT_TRUE(road_.CEXAnalyseEnabled());
  EXPECT_TRUE(road_.CEXDecryptEnabled());
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo2), "<ep2:AmtAuth>1500</ep2:AmtAuth>"));

  const Lines memo4 = test::SplitLines(Memo(TCEXMemo::Memo4));
  ASSERT_EQ(memo4.size(), 12u) << Memo(TCEXMemo::Memo4);
  EXPECT_EQ(memo4[0], "Length = " + std::to_string(frame.size() - 4));
  EXPECT_EQ(memo4[1], "Version Number = 30");
  EXPECT_EQ(memo4[2], "Version ep2 Specification = 0630");
  EXPECT_EQ(memo4[3], "Encoding Information = 2");
  EXPECT_EQ(memo4[4], "Sender Identifier Type = 3");
  EXPECT_EQ(memo4[5], "Sender Identifier = 3132333435363738");
  EXPECT_EQ(memo4[7], "Public Key Owner Identifier = 0102030405060708090A0B");
  EXPECT_EQ(memo4[8], "Public Key Index = 7");
  EXPECT_EQ(memo4[9], "Session Key Cryptogram Length = 128");
  EXPECT_EQ(memo4[11].size(), std::string("MAC = ").size() + 16);

  // The formatted stream: header fields as hex, the cryptogram and the
  // document in lines of 48 hex characters, and nothing past the frame.
  const std::string formatted = Memo(TCEXMemo::Memo5);
  const Lines lines = test::SplitLines(formatted);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "========= Header ========");
  EXPECT_EQ(lines[1], "Length: " + ToHex(frame.substr(0, 4)));
  EXPECT_TRUE(Contains(formatted, "\nSession Key Cryptogramm: "));
  EXPECT_TRUE(Contains(formatted,
                       "\nSender Identifier Type: 03\nSender Identifier: "
                       "3132333435363738\nPublic Key Owner ID Type: 00\n"));
  EXPECT_TRUE(Contains(formatted, "\nPublic Key Index: 07\nSession Key Cryptogram Length: 128\n"));
  const size_t data = formatted.find("========== Data =========\n");
  ASSERT_NE(data, std::string::npos);
  std::string hex;
  for (const std::string& line : test::SplitLines(formatted.substr(data + 26))) {
    EXPECT_LE(line.size(), 48u);
    hex += line;
  }
  // The document as the frame carries it (the mock wrote the encrypted
  // items into it): the frame's tail from its XML declaration on.
  const std::string document = FromHex(hex);
  EXPECT_EQ(document.rfind("<?xml", 0), 0u);
  EXPECT_EQ(document, frame.substr(frame.find("<?xml")));

  // Parsing again reads the stored bytes, not the formatted text.
  const std::string memo2 = Memo(TCEXMemo::Memo2);
  road_.Action_ParseMessageExecute();
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(Memo(TCEXMemo::Memo5), formatted);
  EXPECT_EQ(Memo(TCEXMemo::Memo2), memo2);
  EXPECT_EQ(test::SplitLines(Memo(TCEXMemo::Memo4)), memo4);
}

TEST_F(ReceiveRoadTest, HeaderFieldsFollowVersionAndMode) {
  const std::string xml = ResponseXml("AutRsp", kBody);
  // Version 0x10 carries no standard-version field; mode 0 has no MAC.
  Receive(MockFrame("{\"mode\": 0, \"version\": 16, \"xml\": " + test::JsonString(xml) + "}"));
  road_.Action_ParseMessageExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(test::SplitLines(Memo(TCEXMemo::Memo4)),
            (Lines{"Length = " + std::to_string(road_.CEXReceivedBuffer().size() - 4),
                   "Version Number = 10", "Encoding Information = 0"}));
  EXPECT_FALSE(Contains(Memo(TCEXMemo::Memo5), "Specification"));
  EXPECT_FALSE(Contains(Memo(TCEXMemo::Memo5), "MAC"));
  EXPECT_FALSE(road_.CEXDecryptEnabled());

  // Mode 1: the MAC without sender or cryptogram fields.
  Receive(MockFrame("{\"mode\": 1, \"version\": 48, \"xml\": " + test::JsonString(xml) +
                    ", \"session_key\": \"" + ToHex(kKey) + "\"}"));
  road_.Action_ParseMessageExecute();
  const Lines memo4 = test::SplitLines(Memo(TCEXMemo::Memo4));
  ASSERT_EQ(memo4.size(), 5u) << Memo(TCEXMemo::Memo4);
  EXPECT_EQ(memo4[3], "Encoding Information = 1");
  EXPECT_EQ(memo4[4].rfind("MAC = ", 0), 0u);
  EXPECT_FALSE(Contains(Memo(TCEXMemo::Memo5), "Sender"));
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo5), "\nMAC: "));

  // Mode 2: the frame's id types decide the id lengths, whatever types are
  // configured; the configured lengths serve the types without a fixed one.
  TCFGConfig& config = config_;
  config.CFGSetUserSenderIDLength(6);
  config.CFGSetUserPublicKeyOwnerIDLength(9);
  Receive(MockFrame("{\"mode\": 2, \"version\": 48, \"xml\": " + test::JsonString(xml) +
                    ", \"session_key\": \"" + ToHex(kKey) + "\", \"sender_id_type\": 5, " +
                    "\"sender_id\": \"" + ToHex("TERM05") + "\", \"owner_id_type\": 4, " +
                    "\"owner_id\": \"" + ToHex("OWNER0001") +
                    "\", \"public_key\": " + ToolKey().PublicJson() + "}"));
  road_.Action_ParseMessageExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo4), "Sender Identifier = " + ToHex("TERM05")));
  EXPECT_TRUE(
      Contains(Memo(TCEXMemo::Memo4), "Public Key Owner Identifier = " + ToHex("OWNER0001")));
}

TEST_F(ReceiveRoadTest, BrokenFramesAreRefusedWithTheStreamsCodeAndNothingToAnalyse) {
  const std::string xml = ResponseXml("AutRsp", kBody);
  const std::string base = "{\"mode\": 1, \"version\": 48, \"xml\": " + test::JsonString(xml) +
                           ", \"session_key\": \"" + ToHex(kKey) + "\", \"broken\": ";
  struct Case {
    std::string broken;
    int code;
  };
  for (const Case& c : {Case{"{\"kind\": \"truncated\", \"keep\": 30}", 1004},
                        Case{"{\"kind\": \"wrong_length\", \"delta\": 5}", 1004},
                        Case{"{\"kind\": \"wrong_length\", \"delta\": -3}", 1004},
                        Case{"{\"kind\": \"unknown_mode\", \"mode\": 9}", 1002}}) {
    SCOPED_TRACE(c.broken);
    host_.errors.clear();
    const std::string frame = MockFrame(base + c.broken + "}");
    Receive(frame);
    road_.Action_ParseMessageExecute();
    EXPECT_EQ(host_.errors, Lines{std::to_string(c.code) + " Parsing error "});
    EXPECT_FALSE(road_.CEXAnalyseEnabled());
    // The stream stays as it came; the document view stays empty.
    EXPECT_EQ(Memo(TCEXMemo::Memo5), UTHStringToHex(frame));
    EXPECT_EQ(Memo(TCEXMemo::Memo2), "");
  }
  // A document that is no XML: the reader's code, the text in Memo2.
  host_.errors.clear();
  Receive(MockFrame("{\"mode\": 0, \"xml\": \"<ep2:ep2><a></ep2:ep2>\"}"));
  road_.Action_ParseMessageExecute();
  ASSERT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.errors[0].rfind("3001 Parsing error line ", 0), 0u) << host_.errors[0];
  EXPECT_EQ(Memo(TCEXMemo::Memo2), "<ep2:ep2><a></ep2:ep2>");
  EXPECT_FALSE(road_.CEXAnalyseEnabled());
  // Run anyway, the analysis finds nothing to compare.
  Reference();
  host_.errors.clear();
  road_.Action_AnalyseMessageExecute();
  EXPECT_EQ(Memo(TCEXMemo::Memo3), "");
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
}

TEST_F(ReceiveRoadTest, APlugInFailureStopsTheParse) {
  plugInFailure = "Plug in error detected, see log of plug in";
  Receive(
      MockFrame("{\"mode\": 0, \"xml\": " + test::JsonString(ResponseXml("AutRsp", kBody)) + "}"));
  road_.Action_ParseMessageExecute();
  EXPECT_EQ(host_.errors, Lines{"9104 Parsing error Plug in error detected, see log of plug in"});
  EXPECT_FALSE(road_.CEXAnalyseEnabled());
  EXPECT_EQ(Memo(TCEXMemo::Memo2), "");
}

TEST_F(ReceiveRoadTest, ParseAnalyseAndDecryptShowTheWholeSecureResponse) {
  Reference();
  Receive(SecureResponse(ResponseXml("AutRsp", kBody)));
  road_.Action_ParseAndAnalyseExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  const std::string memo3 = Memo(TCEXMemo::Memo3);
  const Lines lines = test::SplitLines(memo3);
  ASSERT_EQ(lines.size(), 8u) << memo3;
  EXPECT_EQ(lines[0], "<ep2:AutRsp>");
  EXPECT_EQ(lines[1], "   <ep2:TrmID>12345678</ep2:TrmID>");
  EXPECT_EQ(lines[2], "   <ep2:RspCode>00</ep2:RspCode>");
  EXPECT_EQ(lines[3], "   <ep2:AmtAuth>1500</ep2:AmtAuth>");
  EXPECT_EQ(lines[6], "   <ep2:EMV>");
  EXPECT_EQ(lines[7], "      <ep2:AIP>1C00</ep2:AIP>");
  EXPECT_TRUE(host_.logged.empty());
  EXPECT_EQ(host_.columns.front(), "$RECEIVEDMESSAGE=ep2:AutRsp");
  EXPECT_NE(std::find(host_.recorded.begin(), host_.recorded.end(), "ep2:AmtAuth<1500"),
            host_.recorded.end());
  // The recording learns the received message first and ends the transaction
  // last, with the session key the cryptogram brought.
  ASSERT_FALSE(host_.recorded.empty());
  EXPECT_EQ(host_.recorded.front(), "received ep2:AutRsp");
  EXPECT_EQ(host_.recorded.back(), "recording " + ToHex(kKey));

  const std::string memo4 = Memo(TCEXMemo::Memo4);
  for (const std::string& line :
       Lines{"====> Decrypted Items =====", "Cryptogram Component ID= 12345678",
             "SessionKey= " + ToHex(kKey), "Component Secret= A0A1A2A3A4A5A6A7A8A9AAABACADAEAF",
             "MAC Send verification ok", "PAN= " + kPAN, "PIN= 4321", "ep2:AppPAN= " + kPAN,
             "ep2:EncPIN= 4321"})
    EXPECT_TRUE(Contains(memo4, "\n" + line + "\n") || Contains(memo4, "\n" + line)) << line << "\n"
                                                                                     << memo4;
  // The PIN comes last.
  EXPECT_EQ(memo4.substr(memo4.size() - 16), "ep2:EncPIN= 4321");
  // The received values are the reference's actual values now.
  EXPECT_EQ(reference_.GetFirstNode()->GetNext()->GetData()->GetActValue(), "12345678");

  // "Clear Received Windows" (each send as client runs it) empties the
  // received views; the sent ones stay.
  view_.CEXSetMemo(TCEXMemo::Memo1, "<doc/>");
  view_.CEXSetEdit(TCEXEdit::Edit8, "old");
  road_.CEXClearReceived();
  for (TCEXMemo memo : {TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo5})
    EXPECT_EQ(Memo(memo), "");
  EXPECT_EQ(view_.CEXEdit(TCEXEdit::Edit8), "");
  EXPECT_EQ(Memo(TCEXMemo::Memo1), "<doc/>");
}

TEST_F(ReceiveRoadTest, ABadMacIsShownNotReported) {
  Reference();
  Receive(SecureResponse(ResponseXml("AutRsp", kBody), ", \"broken\": {\"kind\": \"bad_mac\"}"));
  road_.Action_ParseAndAnalyseExecute();
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo4), "\nMAC verification failed\n"));
  EXPECT_FALSE(Contains(Memo(TCEXMemo::Memo4), "verification ok"));
}

TEST_F(ReceiveRoadTest, MissingWrongAndUnexpectedElementsAreReportedAsTheyShould) {
  Reference();
  host_.sequenceVisible = true;
  // The mandatory TrmID is missing and RspCode has a wrong fixed value.
  std::string body = kBody;
  body.replace(body.find("<ep2:RspCode>00"), 15, "<ep2:RspCode>05");
  Receive(SecureResponse(ResponseXml("AutRsp", body),
                         ", \"broken\": {\"kind\": \"missing_element\", \"element\": "
                         "\"ep2:TrmID\"}"));
  road_.Action_ParseMessageExecute();
  road_.Action_AnalyseMessageExecute();
  const Lines lines = test::SplitLines(Memo(TCEXMemo::Memo3));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], "   <ep2:TrmID> ---> Not found");
  EXPECT_EQ(lines[2], "   ! missing mandatory element ");
  EXPECT_EQ(lines[3], "   <ep2:RspCode>05</ep2:RspCode>");
  EXPECT_EQ(lines[4], "   ! incorrect fix value, expected value: 00");
  EXPECT_EQ(host_.logged,
            (Lines{"7004 missing mandatory element: ep2:TrmID",
                   "7005 ! incorrect fix value: ep2:RspCode=05, expected value: 00"}));
  EXPECT_TRUE(host_.errors.empty());

  // Another message than the reference: 7006, the run's row gets the tags.
  host_.logged.clear();
  Receive(SecureResponse(ResponseXml("AutRsp", kBody),
                         ", \"broken\": {\"kind\": \"unexpected_root\", \"root\": "
                         "\"ep2:CanRsp\"}"));
  road_.Action_ParseAndAnalyseExecute();
  ASSERT_FALSE(host_.logged.empty());
  EXPECT_EQ(host_.logged[0], "7006 Unexpected message tag: ep2:CanRsp Expected: ep2:AutRsp");
  // Outside a run the error window has it with the reference line.
  host_.sequenceVisible = false;
  road_.Action_AnalyseMessageExecute();
  EXPECT_EQ(host_.errors, Lines{"7006 reference structure line 0, tag: <ep2:AutRsp>"});
}

TEST_F(ReceiveRoadTest, AConditionalGroupOffersItsAlternativesAtMostOnceEach) {
  // The group's alternatives, loaded one after the other as the reference.
  std::vector<std::string> roots{"ep2:CanRsp", "ep2:RevRsp", "ep2:AutRsp"};
  size_t next = 0;
  host_.nextAlternative = [&] {
    reference_.XMLDeleteAll();
    Reference(roots[next++ % roots.size()]);
  };
  host_.sequenceVisible = true;
  host_.groupSize = 3;
  const bool asClient = comm_.TCPSendAsClient();
  const std::string how = asClient ? "reference" : "row";
  const std::string response = SecureResponse(ResponseXml("AutRsp", kBody));

  Reference("ep2:PurRsp");
  Receive(response);
  road_.Action_ParseAndAnalyseExecute();
  EXPECT_EQ(host_.alternatives, (Lines{how, how, how}));
  EXPECT_EQ(host_.logged, Lines{});
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo3), "<ep2:RspCode>00</ep2:RspCode>"));

  // No alternative fits: the group's size bounds the tries, then 7006.
  roots = {"ep2:CanRsp", "ep2:RevRsp"};
  next = 0;
  host_.alternatives.clear();
  reference_.XMLDeleteAll();
  Reference("ep2:PurRsp");
  road_.Action_AnalyseMessageExecute();
  EXPECT_EQ(host_.alternatives.size(), 3u);
  ASSERT_FALSE(host_.logged.empty());
  EXPECT_EQ(host_.logged[0], "7006 Unexpected message tag: ep2:AutRsp Expected: ep2:CanRsp");
}

TEST_F(ReceiveRoadTest, ChildrenOfAMissingContainerAreNotLookedUp) {
  TXMLTreeNode* r = Add(nullptr, "ep2:AutRsp", "c");
  TXMLTreeNode* gone = Add(r, "ep2:Gone", "c", "", "M");
  // An element of the same name stands under the message element: it must
  // not be found through a container that is not there.
  Add(gone, "ep2:AmtAuth", "n", "", "M");
  TXMLTreeNode* emv = Add(r, "ep2:EMV", "c");
  Add(emv, "ep2:AIP", "b");
  host_.sequenceVisible = true;
  Receive(
      MockFrame("{\"mode\": 0, \"xml\": " + test::JsonString(ResponseXml("AutRsp", kBody)) + "}"));
  road_.Action_ParseMessageExecute();
  road_.Action_AnalyseMessageExecute();
  EXPECT_EQ(test::SplitLines(Memo(TCEXMemo::Memo3)),
            (Lines{"<ep2:AutRsp>", "   <ep2:Gone> ---> Not found", "   ! missing mandatory element",
                   "      <ep2:AmtAuth> ---> Not found", "      ! missing mandatory element ",
                   "   <ep2:EMV>", "      <ep2:AIP>1C00</ep2:AIP>"}));
  EXPECT_EQ(host_.logged, (Lines{"7004 missing mandatory element: ep2:Gone",
                                 "7004 missing mandatory element: ep2:AmtAuth"}));
  EXPECT_EQ(gone->GetData()->GetParserElement(), nullptr);

  // A second analysis starts from fresh links: the container that was found
  // before and is missing now lends nothing.
  Receive(MockFrame("{\"mode\": 0, \"xml\": " +
                    test::JsonString(ResponseXml("AutRsp", "      <ep2:TrmID>1</ep2:TrmID>\r\n")) +
                    "}"));
  road_.Action_ParseMessageExecute();
  road_.Action_AnalyseMessageExecute();
  EXPECT_EQ(emv->GetData()->GetParserElement(), nullptr);
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo3), "   <ep2:EMV> ---> Not found\n"));
}

TEST_F(ReceiveRoadTest, AReferenceLookupHitStopsTheAnalysisWith7022) {
  test::WriteFile(dir_.file("codes.txt"), "00;;\r\n05;Declined: $VALUE\r\n");
  TXMLTreeNode* r = Add(nullptr, "ep2:AutRsp", "c");
  Add(r, "ep2:TrmID", "an");
  Add(r, "ep2:RspCode", "an", dir_.file("codes.txt"), "L");
  Add(r, "ep2:AmtAuth", "n");
  std::string body = kBody;
  body.replace(body.find("<ep2:RspCode>00"), 15, "<ep2:RspCode>05");
  Receive(
      MockFrame("{\"mode\": 0, \"xml\": " + test::JsonString(ResponseXml("AutRsp", body)) + "}"));
  road_.Action_ParseAndAnalyseExecute();
  EXPECT_EQ(host_.errors, Lines{"7022 Declined: 05"});
  EXPECT_FALSE(Contains(Memo(TCEXMemo::Memo3), "AmtAuth"));

  // A value the file accepts passes.
  host_.errors.clear();
  Receive(
      MockFrame("{\"mode\": 0, \"xml\": " + test::JsonString(ResponseXml("AutRsp", kBody)) + "}"));
  road_.Action_ParseAndAnalyseExecute();
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo3), "<ep2:AmtAuth>1500</ep2:AmtAuth>"));
}

// The certificate the host would send: the retail MAC under the entry key's
// certificate variant over the input, as the mock's own primitives make it.
std::string MockCertificate(const std::string& key, const std::string& input) {
  const std::string script = "import sys\nsys.path.insert(0, " +
                             test::JsonString(test::SourceDir() + "/tests/common") +
                             ")\nimport mock_ep2_host as m\n"
                             "k = bytes.fromhex('" +
                             ToHex(key) +
                             "')\nprint(m.retail_mac(m.key_variant(k, m.TC), "
                             "bytes.fromhex('" +
                             ToHex(input) + "')).hex())\n";
  int status = -1;
  const std::string out = test::RunPython(script, "", &status);
  EXPECT_EQ(status, 0) << out;
  return FromHex(test::SplitLines(out).at(0));
}

TEST_F(ReceiveRoadTest, CertificatesAreVerifiedAgainstTheirOwnEntryKeys) {
  config_.CFGSetATC("9F02 06");
  TXMLTreeNode* r = Add(nullptr, "ep2:AutRsp", "c");
  Add(r, "ep2:AmtAuth", "n", "", "", "9F02");
  Add(r, "ep2:SessKeyCryp", "b");
  Add(r, "ep2:AcqTC", "b", "", "E");
  Add(r, "ep2:SessKeyCryp", "b");
  Add(r, "ep2:AcqTC", "b", "", "E");
  const std::string input = FromHex("000000001500");
  const std::string good = MockCertificate(kEntryKey, input);
  const std::string wrong = MockCertificate(kKey, input);
  const auto b64 = [](const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
  };
  const std::string body =
      "      <ep2:AmtAuth>1500</ep2:AmtAuth>\r\n"
      "      <ep2:SessKeyCryp>x</ep2:SessKeyCryp>\r\n"
      "      <ep2:AcqTC>" +
      b64(good) +
      "</ep2:AcqTC>\r\n"
      "      <ep2:SessKeyCryp>x</ep2:SessKeyCryp>\r\n"
      "      <ep2:AcqTC>" +
      b64(wrong) + "</ep2:AcqTC>\r\n";
  const std::string cryp = "{\"name\": \"ep2:SessKeyCryp\", \"session_key\": \"" +
                           ToHex(kEntryKey) + "\", \"public_key\": " + ToolKey().PublicJson();
  Receive(MockFrame("{\"mode\": 1, \"xml\": " + test::JsonString(ResponseXml("AutRsp", body)) +
                    ", \"session_key\": \"" + ToHex(kKey) + "\", \"encrypt\": [" + cryp + "}, " +
                    cryp + ", \"occurrence\": 2}]}"));
  // The key of the previous message is the one in use for mode 1.
  decryption_.SDCSetSessionKey(kKey);
  road_.Action_ParseAndAnalyseExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  const std::string memo4 = Memo(TCEXMemo::Memo4);
  EXPECT_TRUE(
      Contains(memo4, "Session key used from previous message\nSessionKey= " + ToHex(kKey)));
  EXPECT_TRUE(Contains(memo4, "MAC Send verification ok"));
  EXPECT_TRUE(Contains(memo4,
                       "\nAcq TC 0\n------------------------\nAcqTC String: 000000001500\n"
                       "Expected AcqTC: " +
                           ToHex(good) + "\nKey: " + ToHex(kEntryKey) +
                           "\nAcqTC verification ok\n"))
      << memo4;
  EXPECT_TRUE(Contains(memo4, "\nAcq TC 1\n"));
  EXPECT_TRUE(Contains(memo4, "AcqTC verification failed: Received " + ToHex(wrong))) << memo4;
}

TEST_F(ReceiveRoadTest, ALargeFrameIsKeptAsBytesAndFormattedOnce) {
  // About 3 MB of document in a frame of version 0x10, mode 0.
  const std::string text(3'000'000, 'x');
  const std::string xml = ResponseXml("AutRsp", "      <ep2:TrmID>" + text + "</ep2:TrmID>\r\n");
  std::string body = std::string("\x10\x00", 2) + xml;
  const auto n = static_cast<uint32_t>(body.size());
  const std::string frame = std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                                        static_cast<char>(n >> 8), static_cast<char>(n)} +
                            body;
  Receive(frame);
  road_.Action_ParseMessageExecute();
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(road_.CEXReceivedBuffer(), frame);
  const std::string formatted = Memo(TCEXMemo::Memo5);
  const size_t data = formatted.find("========== Data =========\n");
  ASSERT_NE(data, std::string::npos);
  // Two hex characters per byte, a line break after every 48 but the last.
  EXPECT_EQ(formatted.size() - data - 26, xml.size() * 2 + (xml.size() * 2 - 1) / 48);
  EXPECT_TRUE(Contains(Memo(TCEXMemo::Memo2), text));
  // A second parse reads the kept bytes again.
  road_.Action_ParseMessageExecute();
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(Memo(TCEXMemo::Memo5).size(), formatted.size());
}

}  // namespace
}  // namespace kal
