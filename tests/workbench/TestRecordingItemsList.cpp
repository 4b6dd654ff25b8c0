// The EMV recording list on the main window's core: blocks checked with
// python3's expat and xmllint and read back by the build road's reader;
// transfer forms against python3's base64; the TVR and issuer script
// results against EMV Book 3's layouts (scripts checked with openssl
// asn1parse); the track's PAN decrypted and the acquirer cryptogram
// recomputed with python3-cryptography; terminal ids that name no file.
#include "workbench/RecordingItemsList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/DocumentText.h"
#include "ep2/ElementFormats.h"
#include "workbench/CoreHost.h"
#include "workbench/RecordedData.h"
#include "workbench/RecordingLink.h"
#include "xml/XMLDOM.h"

namespace kal {
namespace {

using test::FromHex;
using test::ReadFile;
using test::RunCommand;
using test::RunPython;
using test::ToHex;
using test::WriteFile;

constexpr const char* kKeyHex = "0123456789ABCDEFFEDCBA9876543210";

// Python with the mock host's primitives (python3-cryptography) at hand.
std::string Python(const std::string& body, std::string_view input) {
  const std::string dir = test::SourceDir() + "/tests/common";
  int status = -1;
  const std::string out = RunPython(
      "import sys, base64, calendar\nsys.path.insert(0, '" + dir + "')\n" + body, input, &status);
  EXPECT_EQ(status, 0) << body;
  return out;
}

class Recording : public test::CoreOnQueueTest {
 protected:
  void SetUp() override {
    WriteFile(dir_.file("submission.ini"),
              "ep2:TrmID;9F1C;ep2:trm\r\n"
              "\r\n"
              "ep2:TrxAmt;;ep2:trx\r\n"
              "ep2:AmtAuth;9F02;ep2:trx\r\n"
              "ep2:Curr; 5F2A ;ep2:trx\r\n"
              "ep2:Note;;ep2:trx; ep2:notes ;;ep2:ignored\r\n"
              "ep2:TVR;95;ep2:trx;ep2:emv\r\n"
              "ep2:IssScrptRes;;ep2:trx;ep2:emv\r\n"
              "ep2:AIP;82;ep2:trx;ep2:emv\r\n"
              "ep2:AppPAN;5A;ep2:card\r\n"
              "ep2:AppExpDate;5F24;ep2:card\r\n"
              "ep2:Track2EqDat;57;ep2:card\r\n"
              "ep2:AcqTC;;ep2:card\r\n"
              "   ep2:AuthTimeMeas   \r\n");
    std::filesystem::create_directory(dir_.file("rec"));
    list_ = std::make_unique<TRFLRecordingItemsList>(dir_.path(), [this] { return now_; });
    TCEXMainWindow& core = MakeCore("", {.recording = list_.get()});
    RFLLinkToCore(*list_, core);
    TCFGConfig& config = core.CEXConfiguration();
    config.CFGSetSequenceRecord(1);
    config.CFGSetDirRecord(dir_.file("rec"));
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetSessionKey(kKeyHex);
    config.CFGSetMessageHeaderAttribute("xmlns:ep2;specversion");
    config.CFGSetMessageHeaderAttributeValue("urn:ep2;0630");
    config.CFGSetIssuerScriptResultFailureRate(0);
    config.CFGSetATC("");
  }
  // Elements as (name, tag, type, value) rows.
  struct Element {
    std::string name, tag, type, value;
  };
  void Accept(const std::vector<Element>& elements) {
    for (const Element& e : elements) {
      std::string message;
      ASSERT_EQ(
          list_->RFLAcceptItem(e.name, e.tag, false, e.type, e.value, e.type, e.value, message), 0)
          << message;
    }
  }
  // One authorisation: the request's and the response's elements, 1234 ms
  // apart.
  void Transaction(const std::vector<Element>& elements, std::string_view sent = "ep2:authreq",
                   std::string_view received = "ep2:authrsp") {
    list_->RFLReset();
    list_->RFLSetMessageSend(sent);
    Accept(elements);
    now_ += std::chrono::milliseconds(1234);
    list_->RFLSetMessageReceived(received);
    list_->RFLDoRecording(FromHex(kKeyHex));
  }
  const TRFLItemValue& Value(const std::string& name) {
    const int index = list_->RFLFindXMLElement(name);
    EXPECT_GE(index, 0) << name;
    return list_->RFLState().RFLaValues.at(static_cast<size_t>(index));
  }
  // Every .xml file below the test folder.
  std::vector<std::string> XmlFiles() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path()))
      if (e.path().extension() == ".xml") files.push_back(e.path().string());
    return files;
  }

  std::chrono::steady_clock::time_point now_{std::chrono::seconds(100)};
  std::unique_ptr<TRFLRecordingItemsList> list_;
};

// Elements with text as "path=text" lines, parents first. The model keeps
// the five special characters of a text as references.
void Paths(const TVxXMLElement& element, const std::string& path, std::string& out) {
  const std::string here = path + UTFFromDocumentText(element.TagName());
  if (const TVxXMLText* text = element.GetFirstCharData()) {
    std::string value = UTFFromDocumentText(text->GetValue());
    CHKInverseReplaceXMLReserved(value);
    out += here + "=" + value + "\n";
  }
  for (const TVxXMLElement* c = element.GetFirstChild(); c != nullptr; c = c->NextSibling())
    Paths(*c, here + "/", out);
}

TEST_F(Recording, BlocksAreWellFormedAppendedAndReadBackWithTheirValues) {
  const std::vector<Element> request = {
      {"ep2:TrmID", "9F1C", "an", "T01"},   {"ep2:AmtAuth", "9F02", "n", "1500"},
      {"ep2:Other", "5F2A", "n", "756"},    {"ep2:Note", "", "an", "a&b<c]]>d &amp;"},
      {"ep2:TVR", "95", "b", "0000000000"}, {"ep2:AIP", "82", "b", "1C00"},
      {"ep2:Unmapped", "", "an", "x"},      {"", "", "an", "blank name"}};
  Transaction(request);
  std::vector<Element> second = request;
  second[1].value = "2500";
  Transaction(second);

  const std::string file = ReadFile(dir_.file("rec/T01.xml"));
  const std::string expected =
      "ep2:bdfin/ep2:trm/ep2:TrmID=T01\n"
      "ep2:bdfin/ep2:trx/ep2:TrxAmt=AMT\n"
      "ep2:bdfin/ep2:trx/ep2:AmtAuth=AMT\n"
      "ep2:bdfin/ep2:trx/ep2:Curr=756\n"
      "ep2:bdfin/ep2:trx/ep2:notes/ep2:Note=a&b<c]]>d &amp;\n"
      "ep2:bdfin/ep2:trx/ep2:emv/ep2:TVR=AAAAAAA=\n"
      "ep2:bdfin/ep2:trx/ep2:emv/ep2:AIP=HAA=\n"
      "ep2:bdfin/ep2:AuthTimeMeas=1234\n";
  auto withAmount = [&](const std::string& amount) {
    std::string text = expected;
    for (size_t at; (at = text.find("AMT")) != std::string::npos;) text.replace(at, 3, amount);
    return text;
  };
  const std::string both = withAmount("1500") + "--\n" + withAmount("2500") + "--\n";

  // Each block on its own, namespace processing off.
  EXPECT_EQ(Python(R"(
import xml.parsers.expat
data = sys.stdin.buffer.read().decode()
for block in data.split('</ep2:bdfin>\r\n')[:-1]:
    stack, text, out = [], [], []
    p = xml.parsers.expat.ParserCreate()
    def start(name, attrs):
        stack.append(name); text.append('')
    def end(name):
        t = text.pop()
        if t.strip(): out.append('/'.join(stack) + '=' + t)
        stack.pop()
    def chars(data):
        text[-1] += data
    p.StartElementHandler, p.EndElementHandler, p.CharacterDataHandler = start, end, chars
    p.Parse(block + '</ep2:bdfin>', True)
    print('\n'.join(out)); print('--')
)",
                   file),
            both);

  // xmllint, each block wrapped in an element that declares the prefix.
  size_t start = 0;
  for (size_t end; (end = file.find("</ep2:bdfin>\r\n", start)) != std::string::npos;
       start = end + 14) {
    int status = -1;
    RunCommand("xmllint --noout - 2>&1",
               "<w xmlns:ep2=\"urn:ep2\">" + file.substr(start, end + 12 - start) + "</w>",
               &status);
    EXPECT_EQ(status, 0);
  }
  EXPECT_EQ(start, file.size());

  // The build road's reader gives the same values.
  TVxXMLDocument doc;
  auto* container = new TVxXMLElement(u"list", &doc);
  doc.SetDocumentElement(container);
  std::string error, read;
  ASSERT_EQ(CEXIncludeSingleRecordedFile(dir_.file("rec/T01.xml"), *container, error), 0) << error;
  for (const TVxXMLElement* b = container->GetFirstChild(); b != nullptr; b = b->NextSibling()) {
    Paths(*b, "", read);
    read += "--\n";
  }
  EXPECT_EQ(read, both);
}

TEST(RecordingBlock, SharedParentsOpenOnceAndCloseBeforeADifferentParent) {
  const std::vector<TRFLRecordingItem> items = {{"ep2:A", "", {"p", "q"}},
                                                {"ep2:B", "", {"p", "q"}},
                                                {"ep2:C", "", {"p", "r"}},
                                                {"ep2:D", "", {}},
                                                {"ep2:E", "", {"s"}}};
  std::vector<TRFLItemValue> values(items.size());
  for (size_t i = 0; i < values.size(); ++i) values[i] = {std::to_string(i), "an", "", "", i != 4};
  // clang-format off
  EXPECT_EQ(RFLGenerateXMLDocumentString(items, values),
            "<ep2:bdfin>\r\n"
            "   <p>\r\n"
            "      <q>\r\n"
            "         <ep2:A>0</ep2:A>\r\n"
            "         <ep2:B>1</ep2:B>\r\n"
            "      </q>\r\n"
            "      <r>\r\n"
            "         <ep2:C>2</ep2:C>\r\n"
            "      </r>\r\n"
            "   </p>\r\n"
            "   <ep2:D>3</ep2:D>\r\n"
            "   <s>\r\n"
            "   </s>\r\n"
            "</ep2:bdfin>");
  // clang-format on
}

TEST_F(Recording, ValuesTakeTheirTransferFormAndTheFirstCaptureStays) {
  struct Case {
    std::string type, value, python;  // python: the expected form
  };
  const std::vector<Case> cases = {
      {"b", "1C00AB", "base64.b64encode(bytes.fromhex('1C00AB')).decode()"},
      {"b", "1c 00 ab ff", "base64.b64encode(bytes.fromhex('1C00ABFF')).decode()"},
      {"cn", "5413330089", "base64.b64encode(bytes.fromhex('5413330089')).decode()"},
      {"cn", "541333008", "base64.b64encode(bytes.fromhex('541333008F')).decode()"},
      {"cn", "5", "base64.b64encode(bytes.fromhex('5F')).decode()"},
      {"n", "000123", "'000123'"},
      {"an", "A&B", "'A&B'"},
  };
  std::string script, want;
  for (const Case& c : cases) {
    script += "print(" + c.python + ")\n";
    Accept({{"ep2:AIP", "", c.type, c.value}});
    want += Value("ep2:AIP").RFLsValue + "\n";
    EXPECT_EQ(Value("ep2:AIP").RFLsPlainValue, Value("ep2:AIP").RFLsValue);
  }
  EXPECT_EQ(want, Python(script, ""));

  // The amount goes to "ep2:TrxAmt" too; an EMV tag matches as well as a
  // name, a blank one matches nothing.
  list_->RFLReset();
  Accept({{"ep2:AmtAuth", "", "n", "42"}, {"ep2:X", "95", "b", "01"}, {"ep2:Y", " ", "n", "7"}});
  EXPECT_EQ(Value("ep2:TrxAmt").RFLsValue, "42");
  EXPECT_EQ(Value("ep2:TVR").RFLsValue, "AQ==");
  EXPECT_FALSE(Value("ep2:TrmID").RFLbValueIsSet);

  const size_t amount = static_cast<size_t>(list_->RFLFindXMLElement("ep2:TrxAmt"));
  list_->RFLSetValue(amount, "99", "n", "", "");
  EXPECT_EQ(Value("ep2:TrxAmt").RFLsValue, "42");
  list_->RFLReset();
  list_->RFLSetValue(amount, "99", "n", "", "");
  EXPECT_EQ(Value("ep2:TrxAmt").RFLsValue, "99");

  // A state copied out and put back.
  const TRFLRecordingState kept = list_->RFLCopyState();
  list_->RFLReset();
  list_->RFLPutState(kept);
  EXPECT_EQ(list_->RFLCopyState(), kept);
}

TEST_F(Recording, TVRShowsScriptFailuresInByteFive) {
  // EMV Book 3, TVR byte 5: b6 "script processing failed before final
  // GENERATE AC", b5 "after"; the other bits stay.
  struct Case {
    int32_t rate;
    std::string script;
    uint8_t byte5;
  };
  const std::vector<Case> cases = {{0, "7103860100", 0x00},
                                   {10000, "7103860100", 0x20},
                                   {10000, "7203860100", 0x10},
                                   {10000, "", 0x00}};
  for (const Case& c : cases) {
    core_->CEXConfiguration().CFGSetIssuerScriptResultFailureRate(c.rate);
    std::vector<Element> elements = {{"ep2:TrmID", "", "an", "T09"},
                                     {"ep2:TVR", "95", "b", "8000000041"}};
    if (!c.script.empty()) elements.push_back({"ep2:IssScrpt", "", "b", c.script});
    Transaction(elements);
    std::string tvr = FromHex("8000000041");
    tvr[4] = static_cast<char>(0x41 | c.byte5);
    EXPECT_EQ(Value("ep2:TVR").RFLsValue,
              Python("print(base64.b64encode(sys.stdin.buffer.read()).decode())", tvr).substr(0, 8))
        << c.script << " " << c.rate;
  }
}

// A generated issuer script: templates 71/72 with an optional identifier
// and commands (tag 86), and the 9F5B results EMV Book 3 gives for it.
struct Script {
  std::string der, results;
};

Script MakeScript(std::mt19937& rng, int32_t rate, const std::vector<uint32_t>& draws,
                  size_t& drawn) {
  Script s;
  bool failed = false;
  const int templates = 1 + static_cast<int>(rng() % 3);
  for (int t = 0; t < templates; ++t) {
    std::string body, id = std::string(4, '\0');
    if (rng() % 2 != 0) {
      const size_t idLength = 1 + rng() % 4;
      const std::string given = test::RandomBytes(rng, idLength);
      body += std::string("\x9F\x18", 2) + static_cast<char>(idLength) + given;
      id = std::string(4 - idLength, '\0') + given;
    }
    const int commands = 1 + static_cast<int>(rng() % 17);
    for (int k = 1; k <= commands; ++k) {
      const std::string apdu = test::RandomBytes(rng, 5 + rng() % 4);
      body += std::string("\x86", 1) + static_cast<char>(apdu.size()) + apdu;
      uint8_t status = 0;
      if (!failed) {
        status = draws.at(drawn++) < static_cast<uint32_t>(rate) ? 1 : 2;
        failed = status == 1;
      }
      s.results += static_cast<char>(status << 4 | std::min(k, 15)) + id;
    }
    s.der += static_cast<char>(rng() % 2 != 0 ? 0x71 : 0x72);
    if (body.size() > 127) s.der += '\x81';
    s.der += static_cast<char>(body.size()) + body;
  }
  return s;
}

TEST(IssuerScriptResults, GeneratedScriptsGiveTheNineF5BLayout) {
  for (const int32_t rate : {0, 10000, 3000}) {
    std::mt19937 rng(static_cast<uint32_t>(rate) + 7);
    for (int round = 0; round < 20; ++round) {
      std::vector<uint32_t> draws;
      std::mt19937 drawer(static_cast<uint32_t>(round));
      for (int i = 0; i < 64; ++i) draws.push_back(drawer() % 10000);
      size_t drawn = 0;
      const Script s = MakeScript(rng, rate, draws, drawn);
      if (round < 3) {
        int status = -1;
        const std::string parsed = RunCommand("openssl asn1parse -inform DER 2>&1", s.der, &status);
        EXPECT_EQ(status, 0) << parsed;
        EXPECT_EQ(parsed.find("rror"), std::string::npos) << parsed;
      }
      size_t used = 0;
      TRFLScriptOutcome outcome;
      ASSERT_EQ(RFLComputeIssuerScriptResults(
                    ToHex(s.der), rate, [&](uint32_t n) { return draws.at(used++) % n; }, outcome),
                0);
      EXPECT_EQ(outcome.results, ToHex(s.results)) << rate << " " << ToHex(s.der);
      EXPECT_EQ(used, drawn);
    }
  }
}

TEST_F(Recording, MalformedScriptsGiveTheirCodeAndText) {
  core_->CEXConfiguration().CFGSetIssuerScriptResultFailureRate(10000);
  // clang-format off
  const std::vector<std::tuple<std::string, int, bool>> cases = {
      {"7", 1, false},                   // fewer than two characters
      {"9F0100", 1, false},              // no template
      {"7103860100" "6A00", 1, true},    // a later object that is no template: the
                                         // failure of the first template stays
      {"71", 2, false},                  // no length
      {"7105860100", 3, false},          // template longer than the script
      {"7103860100" "7103860255", 3, false},  // command cut short inside a template
      {"71019F", 2, false},              // inner tag cut short
      {"710A9F180501020304058600", 2, false},  // identifier of five bytes
      {"71038601ZZ", 3, false},          // not hex
  };
  // clang-format on
  for (const auto& [script, code, failed71] : cases) {
    list_->RFLReset();
    std::string message;
    EXPECT_EQ(list_->RFLAcceptItem("ep2:IssScrpt", "", false, "b", script, "b", script, message),
              code)
        << script;
    EXPECT_EQ(message, "! incorrect issuer script command string: " + script);
    EXPECT_FALSE(Value("ep2:IssScrptRes").RFLbValueIsSet);
    // An error inside a template clears its flag.
    EXPECT_EQ(list_->RFLState().RFLb71Result, failed71) << script;
  }
}

TEST_F(Recording, TrackGivesTheEncryptedPanAndTheLastDayOfItsMonth) {
  // PAN "0054133300891234" (leading zeros dropped), separator, "2512".
  Transaction({{"ep2:TrmID", "", "an", "T02"},
               {"ep2:Track2EqDat", "57", "cn", "0054133300891234D25121010000F"}});
  EXPECT_EQ(Value("ep2:AppExpDate").RFLsValue, "251231");
  EXPECT_FALSE(Value("ep2:Track2EqDat").RFLbValueIsSet);
  const TRFLItemValue& pan = Value("ep2:AppPAN");
  EXPECT_EQ(pan.RFLsType, "b");
  EXPECT_EQ(pan.RFLsPlainType, "cn");
  EXPECT_EQ(Python(R"(
import mock_ep2_host as m
enc = base64.b64decode(sys.stdin.read())
print(m.decrypt_string(m.key_variant(bytes.fromhex(')" +
                       std::string(kKeyHex) + R"('), 3), enc).hex().upper())
)",
                   pan.RFLsValue),
            "54133300891234\n");
  EXPECT_EQ(ReadFile(dir_.file("rec/T02.xml")).find("ep2:Track2EqDat"), std::string::npos);

  // Every YYMM against python's calendar; months outside 01-12 and digits
  // that are none leave the expiry unset.
  std::string got;
  for (int yy = 0; yy < 100; ++yy) {
    for (int mm = 0; mm <= 13; ++mm) {
      char yymm[5];
      std::snprintf(yymm, sizeof yymm, "%02d%02d", yy, mm);
      list_->RFLReset();
      Accept({{"ep2:Track2EqDat", "57", "cn", std::string("4761739001010010D") + yymm + "1"}});
      list_->RFLTrackToPAN();
      got += Value("ep2:AppExpDate").RFLbValueIsSet ? Value("ep2:AppExpDate").RFLsValue : "-";
      got += "\n";
    }
  }
  EXPECT_EQ(got, Python(R"(
for yy in range(100):
    for mm in range(14):
        print('%02d%02d%02d' % (yy, mm, calendar.monthrange(2000 + yy, mm)[1]) if 1 <= mm <= 12 else '-')
)",
                        ""));
  for (const char* bad : {"4761739001010010D2A121", "4761739001010010D25"}) {
    list_->RFLReset();
    Accept({{"ep2:Track2EqDat", "57", "cn", std::string(bad)}});
    list_->RFLTrackToPAN();
    EXPECT_FALSE(Value("ep2:AppExpDate").RFLbValueIsSet) << bad;
  }
}

TEST_F(Recording, AcquirerCryptogramIsTheRetailMacOverTheTaggedValues) {
  Accept({{"ep2:AmtAuth", "9F02", "n", "12345"},
          {"ep2:Curr", "5F2A", "n", "756"},
          {"ep2:TrmID", "9F1C", "an", "T01"},
          {"ep2:AIP", "82", "b", "1C00AB"},
          {"ep2:AppPAN", "5A", "cn", "541333"},
          {"ep2:AppExpDate", "5F24", "expdate", "251231"}});
  // Each type formatted to its length, assembled here from EMV's rules: n
  // right-aligned BCD, an and b padded with zeros, cn padded with FF, a tag
  // without item zero bytes.
  const std::string input = FromHex(
      "000000012345"
      "0756"
      "54303100"
      "1C00"
      "541333FFFF"
      "251231"
      "0000");
  core_->CEXConfiguration().CFGSetATC("9F0206 5F2A02 9F1C04 8202 5A05 5F2403 9F3702");
  std::string built;
  ASSERT_TRUE(list_->RFLATCInput(built));
  EXPECT_EQ(ToHex(built), ToHex(input));
  const std::string mac = list_->RFLComputeATC(FromHex(kKeyHex));
  EXPECT_EQ(ToHex(mac), Python(R"(
import mock_ep2_host as m
print(m.retail_mac(m.key_variant(bytes.fromhex(')" +
                                   std::string(kKeyHex) +
                                   R"('), 0), sys.stdin.buffer.read()).hex().upper(), end='')
)",
                               input));

  // A malformed list gives nothing, and "ep2:AcqTC" stays unset.
  for (const char* list : {"9F", "9F0285", "9F02840001FFFF"}) {
    core_->CEXConfiguration().CFGSetATC(list);
    EXPECT_FALSE(list_->RFLATCInput(built)) << list;
    Transaction({{"ep2:TrmID", "", "an", "T03"}});
    EXPECT_FALSE(Value("ep2:AcqTC").RFLbValueIsSet) << list;
  }
}

TEST_F(Recording, OnlyCompleteAuthorisationsWithRecordingOnAndASoundTerminalIdAreWritten) {
  std::vector<std::string> notices;
  core_->CEXRunNotice().CEXStartNotice([&](const std::string& t) { notices.push_back(t); });
  for (const char* id : {"../x", "a/b", "", ".", "T\x01\x7F"})
    for (int twice = 0; twice < 2; ++twice) Transaction({{"ep2:TrmID", "", "an", id}});
  EXPECT_TRUE(XmlFiles().empty());
  EXPECT_EQ(notices,
            (std::vector<std::string>{"Invalid ep2:TrmID, transaction not recorded: ../x",
                                      "Invalid ep2:TrmID, transaction not recorded: a/b",
                                      "Invalid ep2:TrmID, transaction not recorded: ",
                                      "Invalid ep2:TrmID, transaction not recorded: .",
                                      "Invalid ep2:TrmID, transaction not recorded: T\\x01\\x7F"}));

  // Other pairs, or recording off: nothing written.
  Transaction({{"ep2:TrmID", "", "an", "T04"}}, "ep2:authreq", "ep2:other");
  Transaction({{"ep2:TrmID", "", "an", "T04"}}, "ep2:batchreq", "ep2:authrsp");
  core_->CEXConfiguration().CFGSetSequenceRecord(0);
  Transaction({{"ep2:TrmID", "", "an", "T04"}});
  EXPECT_TRUE(XmlFiles().empty());
  core_->CEXConfiguration().CFGSetSequenceRecord(1);
  Transaction({{"ep2:TrmID", "", "an", "T04"}}, " ep2:authreq ", "ep2:authrsp ");
  EXPECT_EQ(XmlFiles(), std::vector<std::string>{dir_.file("rec/T04.xml")});

  // A record folder that is missing: one notice for the run.
  core_->CEXConfiguration().CFGSetDirRecord(dir_.file("missing"));
  notices.clear();
  for (int twice = 0; twice < 2; ++twice) Transaction({{"ep2:TrmID", "", "an", "T05"}});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].rfind("Can not write " + dir_.file("missing/T05.xml"), 0), 0u);

  // A map without the terminal id: its text once per run.
  TRFLRecordingItemsList noId(std::vector<TRFLRecordingItem>{{"ep2:AmtAuth", "9F02", {}}});
  RFLLinkToCore(noId, *core_);
  notices.clear();
  for (int twice = 0; twice < 2; ++twice) {
    noId.RFLReset();
    noId.RFLSetMessageSend("ep2:authreq");
    noId.RFLSetMessageReceived("ep2:authrsp");
    noId.RFLDoRecording("");
  }
  EXPECT_EQ(notices, std::vector<std::string>{"Missing ep2:TrmID in file submission.ini"});
  core_->CEXRunNotice().CEXStopNotice();
}

}  // namespace
}  // namespace kal
