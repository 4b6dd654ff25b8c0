// "Create XML Doc", "Transfer Input Values" and "Import XML Values" through
// the main window's core: built documents are read back with libxml2 and
// python3's xml.etree, encrypted values are opened with OpenSSL, and every
// failure has to reach the error window (or the sequence log) with its
// code and text.
#include "workbench/BuildRoad.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <openssl/evp.h>

#include <filesystem>
#include <map>

#include "comm/PlugInCall.h"
#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/Ep2Oracle.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "workbench/CoreHost.h"
#include "workbench/CounterLists.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/RsaTestKey.h"
#include "xml/XMLDOM.h"

namespace kal {
namespace {

using test::FromHex;
using test::ReadFile;
using test::ToHex;
using test::WriteFile;
using Lines = std::vector<std::string>;

class Host final : public test::CoreHost,
                   public ICEXMessageFiles,
                   public ICEXLogin,
                   public ICEXRecordingList,
                   public ICEXLogColumns {
 public:
  void CEXShowMessage(const std::string& text) override {
    CoreHost::CEXShowMessage(text);
    if (onMessage) onMessage();
  }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::Cancel; }
  bool CEXReadMessageFile(const std::string&) override { return false; }
  bool CEXSaveMessage() override { return false; }
  bool CEXSaveMessageSilently() override {
    ++silentSaves;
    return true;
  }
  bool CEXShowLoginDialog(std::string&, std::string&) override { return true; }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string&, const std::string&, bool& isAdmin) override {
    isAdmin = true;
    return true;
  }
  bool SEQVisible() const override { return sequenceVisible; }
  TSEQErrorTaken SEQLogError(int id, const std::string& text, bool) override {
    logged.push_back(std::to_string(id) + " " + text);
    return TSEQErrorTaken::Taken;
  }
  void RFLReset() override { recorded.clear(); }
  void RFLSetMessageReceived(std::string_view) override {}
  void RFLDoRecording(std::string_view) override {}
  void RFLSetMessageSend(std::string_view root) override { sentRoot = root; }
  int RFLAcceptItem(std::string_view name, std::string_view tag, bool out,
                    std::string_view plainType, std::string_view plainValue, std::string_view type,
                    std::string_view value, std::string&) override {
    recorded.push_back(std::string(name) + "|" + std::string(tag) + "|" + (out ? "out" : "in") +
                       "|" + std::string(plainType) + "|" + std::string(plainValue) + "|" +
                       std::string(type) + "|" + std::string(value));
    return 0;
  }
  void LUXAcceptItem(std::string_view tag, std::string_view value) override {
    columns.push_back(std::string(tag) + "=" + std::string(value));
  }

  Lines logged, recorded, columns;
  std::function<void()> onMessage;  // runs while a message box would be open
  std::string sentRoot;
  int silentSaves = 0;
  bool sequenceVisible = false;
};

// The document's elements as libxml2 reads them: "name=text" per element
// in document order ("name" alone for one without text), and its
// "msgnum" attribute.
struct Parsed {
  Lines elements;
  std::string msgnum = "<none>";
  bool ok = false;
};
void Walk(xmlNode* node, Parsed& out) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr)
      name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    if (xmlChar* num = xmlGetProp(node, BAD_CAST "msgnum")) {
      out.msgnum = reinterpret_cast<const char*>(num);
      xmlFree(num);
    }
    const bool leaf = node->children == nullptr || node->children->type == XML_TEXT_NODE;
    if (leaf && node->children != nullptr && node->children->next == nullptr) {
      xmlChar* text = xmlNodeGetContent(node);
      name += "=" + std::string(reinterpret_cast<const char*>(text));
      xmlFree(text);
    }
    out.elements.push_back(name);
    Walk(node->children, out);
  }
}
Parsed LibXml(const std::string& xml) {
  Parsed out;
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "built.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
  if (doc == nullptr) return out;
  out.ok = true;
  Walk(xmlDocGetRootElement(doc), out);
  xmlFreeDoc(doc);
  return out;
}

// The same list from python3's xml.etree (namespace URIs mapped back to
// the "ep2" prefix).
Lines Etree(const std::string& xml) {
  const char* script = R"(
import sys, xml.etree.ElementTree as ET
root = ET.fromstring(sys.stdin.buffer.read())
def name(t): return 'ep2:' + t.split('}')[1] if t.startswith('{') else t
for e in root.iter():
    print(name(e.tag) + ('=' + e.text if len(e) == 0 and e.text else ''))
)";
  int status = 0;
  const std::string out = test::RunPython(script, xml, &status);
  EXPECT_EQ(status, 0) << out;
  return test::SplitLines(out);
}

std::string Base64(const std::string& text) {
  std::string out(text.size(), '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return "<bad base64>";
  out.resize(static_cast<size_t>(n));
  for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) out.pop_back();
  return out;
}

// The text of the first element `name` in the parsed list.
std::string Value(const Parsed& parsed, const std::string& name) {
  for (const std::string& e : parsed.elements)
    if (e.rfind(name + "=", 0) == 0) return e.substr(name.size() + 1);
  return "<missing>";
}

class BuildRoadTest : public test::CoreOnQueueFixture<Host> {
 protected:
  BuildRoadTest() {
    // Every 4-byte draw reads 2.
    random_ = TSECDeterministicRandom(std::string("\0\0\0\x02", 4));
    Make();
  }
  void Make() {
    MakeCore("", {.login = &host_,
                  .plugIn = &PlugIn,
                  .messageFiles = &host_,
                  .recording = &host_,
                  .counters = &counters_});
    core_->FormCreate();
    core_->CEXSetLogItemsList(&host_);
    host_.errors.clear();
    host_.messages.clear();
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetSessionKey(ToHex(kKey));
    config.CFGSetSessionKeyFromInMessage(0);
  }
  static int32_t PlugIn(const TCFGConfig&, int32_t encoding, const std::string& doc,
                        std::string& replaced, std::string& error) {
    plugInCalls.push_back(encoding);
    replaced = doc;
    if (plugInFails) {
      error = "Plug in error detected";
      return PLGcPluginError;
    }
    return 0;
  }
  TXMLTreeNode* Add(TXMLTreeNode* parent, const std::string& name, const std::string& type,
                    const std::string& value, const std::string& attributes = "",
                    const std::string& tag = "") {
    return test::AddElement(core_->CEXSourceTree(), parent, name, type, value, attributes, tag);
  }
  TXMLTreeNode* Root(const std::string& name = "ep2:authreq", const std::string& value = "",
                     const std::string& attributes = "") {
    return Add(nullptr, name, "c", value, attributes);
  }
  Parsed Build() {
    core_->CEXExecute(TCEXAction::CreateXMLDoc);
    return LibXml(core_->CEXGetMemo(TCEXMemo::Memo1));
  }
  TUAXxmlElement& Element(const std::string& name) {
    for (TXMLTreeNode* n = core_->CEXSourceTree().GetFirstNode(); n != nullptr; n = n->GetNext())
      if (n->GetData()->GetName() == name) return *n->GetData();
    throw std::runtime_error("no element " + name);
  }
  // An error of the build: reported once, nothing built, nothing saved.
  void ExpectFailure(const std::string& error) {
    EXPECT_EQ(host_.errors, Lines{error});
    EXPECT_EQ(core_->CEXGetMemo(TCEXMemo::Memo1), "");
    EXPECT_EQ(host_.silentSaves, 0);
  }

  inline static const std::string kKey = FromHex("0123456789ABCDEFFEDCBA9876543210");
  inline static std::vector<int32_t> plugInCalls;
  inline static bool plugInFails = false;
  TCEXCounterLists counters_{dir_.path(), host_};
};

TEST_F(BuildRoadTest, EveryTypeReadsBackWithLibxml2AndEtree) {
  plugInCalls.clear();
  plugInFails = false;
  WriteFile(dir_.file("text.txt"), "line one\r\nline two\r\n");
  core_->CEXAliasList().ALUAddAlias("%DATA%", dir_.path(), false);
  TXMLTreeNode* root = Root();
  Add(root, "ep2:TrmID", "an", "T01", "MI");
  Add(root, "ep2:AcqID", "n", "12", "O");
  Add(root, "ep2:AmtAuth", "n", "1500", "M");
  Add(root, "ep2:TrxSeqCnt", "n", "5", "A");
  Add(root, "ep2:Track2EqDat", "b", "5413339000001513D2512101");
  Add(root, "ep2:ATC", "b", "00FF", "A");
  Add(root, "ep2:AppPAN", "cn", "541333900000151");
  Add(root, "ep2:Curr", "n", "756");
  Add(root, "ep2:Opt", "an", "");
  Add(root, "ep2:Mand", "an", "", "M");
  Add(root, "ep2:NotSent", "an", "x", "N");
  Add(root, " ", "an", "skipped");
  Add(root, "ep2:TrxDate", "date", "20251231");
  Add(root, "ep2:TrxTime", "time", "235959");
  Add(root, "ep2:AppExpDate", "expdate", "251231");
  Add(root, "ep2:Text", "ans", "a<b&c");
  Add(root, "ep2:Curr", "n", "", "X");
  Add(root, "ep2:Counted", "n", "41", "A");
  Add(root, "ep2:Label", "ans", "%DATA%text.txt", "T");
  TXMLTreeNode* emv = Add(root, "ep2:EMV", "c", "");
  Add(emv, "ep2:AIP", "b", "1c 00");
  Add(root, "ep2:After", "an", "Z9");
  // A container that is not sent: its children hang under the nearest
  // container that was built.
  Add(Add(emv, "ep2:Hidden", "c", "", "N"), "ep2:Inner", "an", "I1");
  core_->CEXSetEdit(TCEXEdit::Edit1, "41");

  const Parsed parsed = Build();
  ASSERT_TRUE(parsed.ok) << core_->CEXGetMemo(TCEXMemo::Memo1);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  const Lines expected = {"ep2:message",
                          "ep2:authreq",
                          "ep2:TrmID=T01",
                          "ep2:AcqID=12",
                          "ep2:AmtAuth=1500",
                          "ep2:TrxSeqCnt=5",
                          "ep2:Track2EqDat=" + Value(parsed, "ep2:Track2EqDat"),
                          "ep2:ATC=" + Value(parsed, "ep2:ATC"),
                          "ep2:AppPAN=" + Value(parsed, "ep2:AppPAN"),
                          "ep2:Curr=756",
                          "ep2:Mand",
                          "ep2:TrxDate=20251231",
                          "ep2:TrxTime=235959",
                          "ep2:AppExpDate=251231",
                          "ep2:Text=a<b&c",
                          "ep2:Curr=756",
                          "ep2:Counted=42",
                          "ep2:Label=line oneline two",
                          "ep2:EMV",
                          "ep2:AIP=" + Value(parsed, "ep2:AIP"),
                          "ep2:Inner=I1",
                          "ep2:After=Z9"};
  EXPECT_EQ(parsed.elements, expected);
  EXPECT_EQ(Etree(core_->CEXGetMemo(TCEXMemo::Memo1)), expected);
  EXPECT_EQ(parsed.msgnum, "42");
  EXPECT_EQ(core_->CEXGetEdit(TCEXEdit::Edit1), "42");
  // b and cn travel as Base64; an odd cn keeps every digit behind an F.
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:Track2EqDat"))), "5413339000001513D2512101");
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:AppPAN"))), "541333900000151F");
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:AIP"))), "1C00");
  // Counters per terminal and per card; the lists hold the next values (the
  // close writes them as they are).
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:ATC"))), "00FF");
  counters_.CEXWriteCounters();
  EXPECT_NE(ReadFile(dir_.file("TrxSeqCnt.ini")).find("T01;6\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(dir_.file("ATC.ini")).find("5413339000001513D2512101;0100\r\n"),
            std::string::npos);
  EXPECT_EQ(Element("ep2:Counted").GetValue(), "42");
  // Sender and owner ids.
  TCEXBuildRoad& road = core_->CEXBuildRoad();
  EXPECT_EQ(road.CEXsSenderID, "T01");
  EXPECT_EQ(road.CEXiSenderIDType, 3);
  EXPECT_EQ(road.CEXsPublicKeyOwnerID, "12");
  EXPECT_EQ(road.CEXiPublicKeyOwnerIDType, 3);
  // Hook 200 ran, the file was saved, the run log and recording saw it all,
  // the element that is not sent included.
  EXPECT_EQ(plugInCalls, std::vector<int32_t>{PLGcEncodingOutMessage});
  EXPECT_EQ(host_.silentSaves, 1);
  EXPECT_EQ(host_.sentRoot, "ep2:authreq");
  EXPECT_EQ(host_.columns.front(), "$SENDMESSAGE=ep2:authreq");
  EXPECT_NE(std::find(host_.recorded.begin(), host_.recorded.end(), "ep2:NotSent||out|||an|x"),
            host_.recorded.end());
  EXPECT_NE(std::find(host_.recorded.begin(), host_.recorded.end(),
                      "ep2:AppPAN||out|||cn|541333900000151F"),
            host_.recorded.end());
  // The source elements link to the elements built from them.
  EXPECT_NE(Element("ep2:AIP").GetParserElement(), nullptr);
  EXPECT_EQ(Element("ep2:Opt").GetParserElement(), nullptr);
  EXPECT_EQ(Element("ep2:Hidden").GetParserElement(), nullptr);
  EXPECT_EQ(Element("ep2:Inner").GetParserElement()->GetParent(),
            Element("ep2:EMV").GetParserElement());
}

TEST_F(BuildRoadTest, ValuePoolsDrawAndTheirPositionsAreSaved) {
  WriteFile(dir_.file("terminals.txt"), "T01;00112233445566778899AABBCCDDEEFF\r\nT02;FFEE\r\n");
  WriteFile(dir_.file("amounts.txt"), "100\r\n200\r\n300\r\n");
  WriteFile(dir_.file("cards.txt"), "ep2:AppPAN=5413;ep2:Curr=978\r\n");
  TXMLTreeNode* root = Root("ep2:authreq", dir_.file("cards.txt"), "P");
  Add(root, "ep2:TrmID", "an", dir_.file("terminals.txt"), "P1CI");
  Add(root, "ep2:AmtAuth", "n", dir_.file("amounts.txt"), "R");
  Add(root, "ep2:AppPAN", "cn", "0");
  Add(root, "ep2:Curr", "n", "0");

  Parsed parsed = Build();
  ASSERT_TRUE(parsed.ok) << (host_.errors.empty() ? "" : host_.errors.front());
  EXPECT_EQ(Value(parsed, "ep2:TrmID"), "T02");
  EXPECT_EQ(Value(parsed, "ep2:AmtAuth"), "300");  // the injected source draws index 2
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:AppPAN"))), "5413");
  EXPECT_EQ(Value(parsed, "ep2:Curr"), "978");
  EXPECT_EQ(core_->CEXBuildRoad().CEXsComponentSecret, "FFEE");
  EXPECT_EQ(Element("ep2:TrmID").GetAttributes(), "P2CI");
  EXPECT_EQ(host_.silentSaves, 1);

  parsed = Build();
  EXPECT_EQ(Value(parsed, "ep2:TrmID"), "T01");
  EXPECT_EQ(core_->CEXBuildRoad().CEXsComponentSecret, "00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(core_->CEXBuildRoad().CEXsComponentSecretPrev, "FFEE");
  EXPECT_EQ(Element("ep2:TrmID").GetAttributes(), "P1CI");
}

TEST_F(BuildRoadTest, RecordedDataGoesUnderItsContainerAndIntoTheArchive) {
  std::filesystem::create_directory(dir_.file("rec"));
  WriteFile(dir_.file("rec/T07.xml"),
            "<ep2:bdfin>\r\n   <ep2:TrxAmt>12</ep2:TrxAmt>\r\n</ep2:bdfin>\r\n");
  // The folder as stored: through an alias, with backslashes.
  std::string stored = dir_.path();
  std::replace(stored.begin(), stored.end(), '/', '\\');
  core_->CEXAliasList().ALUAddAlias("%REC%", stored, false);
  core_->CEXConfiguration().CFGSetDirRecord("%REC%rec");
  TXMLTreeNode* root = Root("ep2:batchreq");
  Add(root, "ep2:TrmID", "an", "T07");
  Add(root, "ep2:Batch", "c", "", "D");
  const Parsed parsed = Build();
  EXPECT_EQ(parsed.elements, (Lines{"ep2:message", "ep2:batchreq", "ep2:TrmID=T07", "ep2:Batch",
                                    "ep2:bdfin", "ep2:TrxAmt=12"}));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("rec/T07.xml")));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("rec/Archive/T07.xml")));
}

TEST_F(BuildRoadTest, CertificateOverTheMessageIsMacedWithVariantZero) {
  core_->CEXConfiguration().CFGSetATC("9F02 06 5F2A 02 9F1C 04 9F37 02");
  TXMLTreeNode* root = Root();
  Add(root, "ep2:AmtAuth", "n", "1500", "M", "9F02");
  Add(root, "ep2:Curr", "n", "756", "", "5F2A");
  Add(root, "ep2:TrmID", "an", "T1", "", "9F1C");
  Add(root, "ep2:AcqTC", "b", "", "MAE");
  const Parsed parsed = Build();
  ASSERT_TRUE(parsed.ok);
  const std::string input = FromHex(
      "000000001500"
      "0756"
      "54310000"
      "0000");
  EXPECT_EQ(Element("ep2:AcqTC").GetValue(), ToHex(input));
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:AcqTC"))),
            ToHex(test::RetailMacRef(test::VariantRef(kKey, 0), input)));
  // The received-message security was handed the key in use.
  EXPECT_EQ(core_->CEXSecurityDecryption().SDCGetSessionKey(), kKey);
}

TEST_F(BuildRoadTest, CertificateErrorsAreShownAndABuildMeanwhileIsRefused) {
  plugInCalls.clear();
  core_->CEXConfiguration().CFGSetATC("5F2A02 9F1C830100008202");
  TXMLTreeNode* root = Root();
  Add(root, "ep2:Curr", "n", "756", "", "5F2A");
  Add(root, "ep2:AcqTC", "b", "", "MA");
  host_.onMessage = [this] { core_->CEXExecute(TCEXAction::CreateXMLDoc); };
  const Parsed parsed = Build();
  host_.onMessage = nullptr;
  EXPECT_EQ(host_.messages, Lines{"The items with the following TLV-tags contain errors: 9F1C"});
  EXPECT_EQ(ToHex(Base64(Value(parsed, "ep2:AcqTC"))), "0756");
  EXPECT_EQ(plugInCalls.size(), 1u);
  EXPECT_EQ(host_.silentSaves, 1);
}

TEST_F(BuildRoadTest, EncryptedElementsOpenWithOpenSSLUnderTheirVariants) {
  const test::RsaTestKey rsa;
  TCFGConfig& config = core_->CEXConfiguration();
  config.CFGSetPublicKeyModulus(ToHex(rsa.n));
  config.CFGSetPublicKeyExponent(ToHex(rsa.e));
  config.CFGSetComponentID("12345678901");
  TXMLTreeNode* root = Root();
  Add(root, "ep2:AppPAN", "cn", "541333900000151", "E");
  Add(root, "ep2:Track2Dat", "cn", "5413339000001513D25121", "E");
  Add(root, "ep2:EncPIN", "n", "1234", "E");
  Add(root, "ep2:StatKeyPANRct", "an", "5413XXXX1513", "E");
  Add(root, "ep2:SessKeyCryp", "b", "00", "E");
  Add(root, "ep2:Empty", "an", "", "EM");

  const auto open = [&](const Parsed& parsed, const char* name, int variant) {
    return ToHex(test::Ede(test::VariantRef(kKey, variant), Base64(Value(parsed, name)), false,
                           std::string(8, '\0')));
  };
  Parsed parsed = Build();
  ASSERT_TRUE(parsed.ok) << (host_.errors.empty() ? "" : host_.errors.front());
  EXPECT_EQ(open(parsed, "ep2:AppPAN", 3),
            "541333900000151F"
            "8000000000000000");
  EXPECT_EQ(open(parsed, "ep2:Track2Dat", 3),
            "5413339000001513D25121"
            "8000000000");
  // Below version 6.00 the receipt PAN is an ordinary encrypted value.
  EXPECT_EQ(open(parsed, "ep2:StatKeyPANRct", 3), ToHex("5413XXXX1513") + "80000000");
  // Format 2: no PAN in the block.
  EXPECT_EQ(ToHex(test::Ede(test::VariantRef(kKey, 4), Base64(Value(parsed, "ep2:EncPIN")), false)),
            "241234FFFFFFFFFF");
  const std::string block = rsa.Decrypt(Base64(Value(parsed, "ep2:SessKeyCryp")));
  const size_t at = block.find('\x7F');
  ASSERT_LE(at, 1u);
  EXPECT_EQ(ToHex(block.substr(at + 1, 8 + 16 + 16)),
            ToHex("45678901") + ToHex(kKey) + ToHex(FromHex(config.CFGGetComponentSecret())));
  EXPECT_EQ(Value(parsed, "ep2:Empty"), "<missing>");  // sent empty, never encrypted
  EXPECT_NE(std::find(parsed.elements.begin(), parsed.elements.end(), "ep2:Empty"),
            parsed.elements.end());
  // What the recording gets: the value before encryption and the one sent.
  EXPECT_NE(std::find_if(host_.recorded.begin(), host_.recorded.end(),
                         [](const std::string& r) {
                           return r.rfind("ep2:AppPAN||out|cn|541333900000151F|b|", 0) == 0;
                         }),
            host_.recorded.end());

  // From version 6.00 the receipt PAN uses variant 5, and from 5.20 the
  // PIN block is format 3, XORed with the PAN field.
  config.CFGSetMessageHeaderAttribute("xmlns:ep2;specversion");
  config.CFGSetMessageHeaderAttributeValue(config.CFGGetMessageHeaderAttributeValue() + ";0700");
  parsed = Build();
  ASSERT_TRUE(parsed.ok) << (host_.errors.empty() ? "" : host_.errors.front());
  EXPECT_EQ(open(parsed, "ep2:StatKeyPANRct", 5), ToHex("5413XXXX1513") + "80000000");
  std::string pin =
      test::Ede(test::VariantRef(kKey, 4), Base64(Value(parsed, "ep2:EncPIN")), false);
  // "0000" and the twelve rightmost digits of the PAN.
  const std::string panField = FromHex(
      "0000"
      "333900000151");
  for (size_t i = 0; i < 8; ++i) pin[i] = static_cast<char>(pin[i] ^ panField[i]);
  const std::string digits = ToHex(pin);
  EXPECT_EQ(digits.substr(0, 6), "341234");
  EXPECT_EQ(digits.substr(6).find_first_not_of("ABCDEF"), std::string::npos) << digits;
}

TEST_F(BuildRoadTest, MessageNumberNewFromInputOrNone) {
  Root();
  core_->CEXSetEdit(TCEXEdit::Edit1, "2147483647");
  EXPECT_EQ(Build().msgnum, "2147483648");
  EXPECT_EQ(core_->CEXGetEdit(TCEXEdit::Edit1), "2147483648");
  core_->CEXSetEdit(TCEXEdit::Edit1, "12x");
  EXPECT_EQ(Build().msgnum, "<none>");
  EXPECT_EQ(core_->CEXGetEdit(TCEXEdit::Edit1), "12x");
  core_->CEXSetAddMsgNum(1);
  core_->CEXSetEdit(TCEXEdit::Edit3, "77");
  EXPECT_EQ(Build().msgnum, "77");
  core_->CEXSetAddMsgNum(2);
  EXPECT_EQ(Build().msgnum, "<none>");
  std::string next;
  EXPECT_TRUE(CEXCountUp("-1", next));
  EXPECT_EQ(next, "0");
  EXPECT_TRUE(CEXCountUp(" 999999999999999999 ", next));
  EXPECT_EQ(next, "1000000000000000000");
  EXPECT_FALSE(CEXCountUp("1000000000000000000", next));
  EXPECT_FALSE(CEXCountUp("-", next));
}

TEST_F(BuildRoadTest, SessionKeyFromConfigurationOrReceivedMessage) {
  std::string key;
  EXPECT_EQ(core_->CEXBuildRoad().CEXGetSessionKey(key), 0);
  EXPECT_EQ(key, kKey);
  EXPECT_EQ(core_->CEXSecurityDecryption().SDCGetSessionKey(), kKey);
  Make();
  core_->CEXConfiguration().CFGSetSessionKeyFromInMessage(1);
  EXPECT_EQ(core_->CEXBuildRoad().CEXGetSessionKey(key), TCEXBuildRoad::CEXcErrorNoSessionKey);
  EXPECT_EQ(key, kKey);
  const std::string received = FromHex("00112233445566778899AABBCCDDEEFF");
  core_->CEXSecurityDecryption().SDCSetSessionKey(received);
  EXPECT_EQ(core_->CEXBuildRoad().CEXGetSessionKey(key), 0);
  EXPECT_EQ(key, received);
  // Setting 2: every build makes a new 24-byte key.
  core_->CEXConfiguration().CFGSetSessionKeyFromInMessage(2);
  Root();
  Build();
  const std::string made = core_->CEXConfiguration().CFGGetSessionKey();
  EXPECT_EQ(FromHex(made).size(), 24u);
  Build();
  EXPECT_NE(core_->CEXConfiguration().CFGGetSessionKey(), made);
}

TEST_F(BuildRoadTest, TheHeaderItemsComeFromTheMessageOrTheConfiguration) {
  const std::string secret = "00112233445566778899AABBCCDDEEFF";
  const std::string other = "FFEEDDCCBBAA99887766554433221100";
  TCFGConfig& config = core_->CEXConfiguration();
  config.CFGSetComponentID("12345678901");
  config.CFGSetComponentSecret(secret);
  config.CFGSetSenderIDType(1);
  config.CFGSetPublicKeyOwnerIDType(1);
  config.CFGSetPublicKeyOwnerID("OWNER000001");
  TCEXBuildRoad& road = core_->CEXBuildRoad();
  TCEXHeaderItems items = road.CEXGetTempHeaderItems();
  EXPECT_EQ(items.senderID, "12345678901");
  EXPECT_EQ(items.senderIDType, 1);
  EXPECT_EQ(items.ownerID, "OWNER000001");
  EXPECT_EQ(items.componentSecret, secret);

  road.CEXsSenderID = "T0000042";
  road.CEXiSenderIDType = 3;
  road.CEXsPublicKeyOwnerID = "00000012345";
  road.CEXiPublicKeyOwnerIDType = 3;
  road.CEXsComponentSecret = other;
  items = road.CEXGetTempHeaderItems();
  EXPECT_EQ(items.senderID, "T0000042");
  EXPECT_EQ(items.senderIDType, 3);
  EXPECT_EQ(items.ownerID, "00000012345");
  EXPECT_EQ(items.ownerIDType, 3);
  EXPECT_EQ(items.componentSecret, other);

  // The next message of the same sender without a secret of its own keeps
  // the one before; another sender gets the configured secret.
  road.CEXInitTempHeaderItems();
  road.CEXsSenderID = "T0000042";
  EXPECT_EQ(road.CEXGetTempHeaderItems().componentSecret, other);
  road.CEXInitTempHeaderItems();
  road.CEXsSenderID = "T0000043";
  EXPECT_EQ(road.CEXGetTempHeaderItems().componentSecret, secret);
}

TEST_F(BuildRoadTest, EveryFailureReachesTheErrorWindowWithCodeAndText) {
  plugInFails = false;
  TXMLTreeNode* root = Root();
  TXMLTreeNode* pool = Add(root, "ep2:TrmID", "an", dir_.file("none.txt"), "P");
  Build();
  ExpectFailure("7021 Value pool file not found: " + dir_.file("none.txt"));

  WriteFile(dir_.file("empty.txt"), "");
  pool->GetData()->SetValue(dir_.file("empty.txt"));
  host_.errors.clear();
  Build();
  ExpectFailure("7021 Value pool file is empty: " + dir_.file("empty.txt"));

  pool->GetData()->SetAttributes("");
  pool->GetData()->SetValue("T01");
  TXMLTreeNode* pin = Add(root, "ep2:EncPIN", "n", "12a4", "E");
  host_.errors.clear();
  Build();
  ExpectFailure("7008 : line 2, tag: ep2:EncPIN");

  pin->GetData()->SetValue("1234");
  TXMLTreeNode* amount = Add(root, "ep2:AmtAuth", "n", "1,50");
  host_.errors.clear();
  Build();
  ExpectFailure("6 : line 3, tag: ep2:AmtAuth");

  amount->GetData()->SetValue("150");
  TXMLTreeNode* sc = Add(root, "ep2:SC", "ans", "A B");
  host_.errors.clear();
  Build();
  ExpectFailure("2 : line 4, tag: ep2:SC");

  sc->GetData()->SetValue("AB");
  core_->CEXConfiguration().CFGSetSessionKey("0011");
  host_.errors.clear();
  Build();
  ExpectFailure("4002 : line 2, tag: ep2:EncPIN");

  core_->CEXConfiguration().CFGSetSessionKey(ToHex(kKey));
  core_->CEXConfiguration().CFGSetMessageHeaderAttribute("xmlns:ep2;version");
  host_.errors.clear();
  Build();
  ExpectFailure("6002 : line 0, tag: ep2:authreq");

  core_->CEXConfiguration().CFGSetMessageHeaderAttribute("xmlns:ep2");
  plugInFails = true;
  host_.errors.clear();
  Build();
  plugInFails = false;
  ExpectFailure("9104 Plug in error detected");

  // While a sequence runs, its log takes the error instead, with the code
  // and the text the error window would show.
  host_.errors.clear();
  host_.sequenceVisible = true;
  amount->GetData()->SetValue("x");
  Build();
  host_.sequenceVisible = false;
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(host_.logged, Lines{"6 Error 6: incorrect message source:  : line 3, tag: "
                                "ep2:AmtAuth. format n element contains incorrect character(s)"});

  amount->GetData()->SetValue("150");
  host_.errors.clear();
  EXPECT_TRUE(Build().ok);
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(host_.silentSaves, 1);
}

TEST_F(BuildRoadTest, TransferAndImportTakeReceivedValuesBack) {
  TXMLTreeNode* root = Root();
  Add(root, "ep2:AmtAuth", "n", "1500");
  Add(root, "ep2:Curr", "n", "756");
  TXMLTreeNode* emv = Add(root, "ep2:EMV", "c", "");
  Add(emv, "ep2:AIP", "b", "1C00");
  Add(root, "ep2:AppPAN", "cn", "5413339000001513", "E");
  Add(root, "ep2:TrmID", "an", "T01");
  ASSERT_TRUE(Build().ok);
  std::string received = core_->CEXGetMemo(TCEXMemo::Memo1);
  received.replace(received.find("1500"), 4, "2500");
  core_->CEXSetMemo(TCEXMemo::Memo2, received);
  Element("ep2:AmtAuth").SetValue("0");
  Element("ep2:AmtAuth").SetAttributes("V");
  Element("ep2:Curr").SetValue("0");
  Element("ep2:AIP").SetValue("00");
  Element("ep2:AIP").SetAttributes("V");
  Element("ep2:AppPAN").SetValue("0");

  core_->CEXExecute(TCEXAction::TransferInputValues);
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_EQ(Element("ep2:AmtAuth").GetValue(), "2500");
  EXPECT_EQ(Element("ep2:AIP").GetValue(), "1C00");
  EXPECT_EQ(Element("ep2:Curr").GetValue(), "0");
  EXPECT_NE(core_->CEXBuildRoad().CEXReceivedMessage(), nullptr);

  // Import takes every element; the encrypted PAN comes back decrypted.
  core_->CEXExecute(TCEXAction::ImportXMLValues);
  EXPECT_EQ(Element("ep2:Curr").GetValue(), "756");
  EXPECT_EQ(Element("ep2:AppPAN").GetValue(), "5413339000001513");
  EXPECT_EQ(Element("ep2:TrmID").GetValue(), "T01");

  // Without a received document the built one serves.
  core_->CEXSetMemo(TCEXMemo::Memo2, "");
  Element("ep2:AmtAuth").SetValue("0");
  core_->CEXExecute(TCEXAction::TransferInputValues);
  EXPECT_EQ(Element("ep2:AmtAuth").GetValue(), "1500");

  // A received document that does not parse stops with the reader's code.
  core_->CEXSetMemo(TCEXMemo::Memo2, "<ep2:message><ep2:authreq>");
  core_->CEXExecute(TCEXAction::TransferInputValues);
  EXPECT_EQ(host_.errors, Lines{"3001 line 1, tag: ep2:AmtAuth"});
}

}  // namespace
}  // namespace kal
