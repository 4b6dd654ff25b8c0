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
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/MainWindow.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::FromHex;
using test::ToHex;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kKey = FromHex("0123456789ABCDEFFEDCBA9876543210");
const std::string kPAN = "5413339000001513";

struct RsaKey {
  RsaKey() : pkey(EVP_RSA_gen(1024)) {}
  ~RsaKey() { EVP_PKEY_free(pkey); }
  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(pkey, name, &b);
    std::string s(static_cast<size_t>(BN_num_bytes(b)), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_free(b);
    return s;
  }
  EVP_PKEY* pkey;
};

std::string Js(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

class Host final : public ICEXView,
                   public ICEXDialogs,
                   public IERRErrorWindow,
                   public ICEXSequenceWindow {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {false, 0, 0, 800, 600}; }
  void CEXCloseMainWindow() override {}
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  void ERRSetError(int code, const std::string& detail) override {
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  bool SEQVisible() const override { return false; }
  void SEQLoadSequenceFile(const std::string&) override {}
  void SEQMessageAvailable() override {}
  void SEQRunNextRow() override {}
  void SEQLogError(int, const std::string&, bool) override {}
  Lines messages, errors;
};

// Timers that run on the pumped queue in real time.
class QueueTimer final : public ICEXTimer {
 public:
  QueueTimer(TPLTEventQueue& queue, bool repeating, std::function<void()> f)
      : queue_(queue), repeating_(repeating), f_(std::move(f)) {}
  void CEXStart(std::chrono::milliseconds interval) override {
    active_ = true;
    interval_ = interval;
    Schedule(++generation_);
  }
  void CEXStop() override {
    active_ = false;
    ++generation_;
  }
  bool CEXActive() const override { return active_; }

 private:
  void Schedule(uint64_t generation) {
    queue_.PLTPostDelayed(interval_, [this, generation, alive = std::weak_ptr<int>(alive_)] {
      if (alive.expired() || generation != generation_ || !active_) return;
      if (repeating_)
        Schedule(generation);
      else
        active_ = false;
      f_();
    });
  }
  TPLTEventQueue& queue_;
  bool repeating_;
  std::function<void()> f_;
  bool active_ = false;
  std::chrono::milliseconds interval_{};
  uint64_t generation_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

class QueueTimers final : public ICEXTimerFactory {
 public:
  explicit QueueTimers(TPLTEventQueue& queue) : queue_(queue) {}
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating, std::function<void()> f) override {
    return std::make_unique<QueueTimer>(queue_, repeating, std::move(f));
  }

 private:
  TPLTEventQueue& queue_;
};

class ReceiveRoadWireTest : public ::testing::Test {
 protected:
  TCEXMainWindow& Start(const std::string& ini) {
    test::WriteFile(dir_.file("config.ini"), ini);
    core_ = std::make_unique<TCEXMainWindow>(
        dir_.path(), TCEXMainWindow::TPorts{.view = host_,
                                            .dialogs = host_,
                                            .errorWindow = host_,
                                            .timers = timers_,
                                            .clock = clock_,
                                            .poster = queue_,
                                            .random = &random_,
                                            .messageFiles = files_,
                                            .counters = counters_,
                                            .login = login_,
                                            .sequenceWindow = &host_});
    core_->FormCreate();
    core_->FormShow({});
    core_->FormActivate();
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetSessionKey(ToHex(kKey));
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetPrivateKeyModulus(ToHex(key_.Param(OSSL_PKEY_PARAM_RSA_N)));
    config.CFGSetPrivateKeyExponent(ToHex(key_.Param(OSSL_PKEY_PARAM_RSA_D)));
    return *core_;
  }
  void TearDown() override {
    if (core_) core_->FormDestroy();
    core_.reset();
  }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto deadline = Clock::now() + limit;
    while (!queue_.PLTPumpUntil(done, 5ms))
      if (Clock::now() >= deadline) return false;
    return true;
  }
  std::string JsonFile(const std::string& name, const std::string& text) {
    test::WriteFile(dir_.file(name), text);
    return dir_.file(name);
  }
  std::string PublicKeyJson() const {
    return "{\"n\": \"" + ToHex(key_.Param(OSSL_PKEY_PARAM_RSA_N)) + "\", \"e\": \"" +
           ToHex(key_.Param(OSSL_PKEY_PARAM_RSA_E)) + "\"}";
  }
  TXMLTreeNode* Add(TXMLMessageTree& tree, TXMLTreeNode* parent, const std::string& name,
                    const std::string& type, const std::string& value = "",
                    const std::string& attributes = "") {
    const int32_t parentId = parent != nullptr ? parent->GetData()->GetID() : 0;
    int32_t id = 0;
    TXMLTreeNode* node = tree.AddChildObject(
        parent, name,
        std::make_unique<TUAXxmlElement>(name, value, type, attributes, "", parentId), id);
    node->GetData()->SetID(id);
    return node;
  }
  // The document of the source tree as "Create XML Doc" builds it, in a
  // frame of mode 1 with the MAC under `variant`.
  std::string BuildFrame(int variant) {
    core_->CEXExecute(TCEXAction::CreateXMLDoc);
    const std::string& xml = core_->CEXGetMemo(TCEXMemo::Memo1);
    EXPECT_FALSE(xml.empty()) << ::testing::PrintToString(host_.errors);
    std::string frame;
    EXPECT_EQ(core_->CEXByteStream().IBSXMLDocToStream(xml, 8, 11, "\x30", 1,
                                                       std::string("\x06\x30", 2), 3, "", 0, "",
                                                       0, variant, kKey, "", frame),
              0);
    return frame;
  }

  TPLTEventQueue queue_;
  test::TempDir dir_;
  Host host_;
  QueueTimers timers_{queue_};
  TCEXSystemClock clock_;
  TSECDeterministicRandom random_;
  TCEXNoMessageFiles files_;
  TCEXNoCounterLists counters_;
  TCEXNoLogin login_;
  RsaKey key_;
  std::unique_ptr<TCEXMainWindow> core_;
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
      Js(kResponseXml) + ", \"session_key\": \"" + ToHex(kKey) +
      "\", \"mac_variant\": 2, \"sender_id_type\": 3, \"sender_id\": \"4142434445464748\", "
      "\"owner_id_type\": 0, \"owner_id\": \"0102030405060708090A0B\", \"public_key\": " +
      PublicKeyJson() + ", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
      "\"}, {\"name\": \"ep2:EncPIN\", \"pin\": \"9876\", \"format\": 2}]}}";
  const std::string expect =
      "{\"header\": {\"mode\": 1, \"version\": 48, \"spec_version\": \"0630\"}, "
      "\"session_key\": \"" +
      ToHex(kKey) + "\", \"mac_variant\": 1}";
  test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "server", "--expect",
                           JsonFile("expect.json", expect), "--response",
                           JsonFile("response.json", response), "--result",
                           dir_.file("result.json")});
  const std::string portLine = mock.Line(20s);
  ASSERT_EQ(portLine.rfind("PORT ", 0), 0u) << portLine;
  TCEXMainWindow& core =
      Start("[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\nEthernetIPAddr=127.0.0."
            "1\r\nEthernetIPPortNr=" +
            portLine.substr(5) + "\r\n[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=1\r\n");

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
  TCEXMainWindow& core =
      Start("[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
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
  const std::string spec = "{\"mode\": 1, \"version\": 48, \"xml\": " + Js(requestXml) +
                           ", \"session_key\": \"" + ToHex(kKey) +
                           "\", \"encrypt\": [{\"name\": \"ep2:AppPAN\", \"clear\": \"" + kPAN +
                           "\"}]}";
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
                           std::to_string(port), "--spec", JsonFile("spec.json", spec),
                           "--expect", JsonFile("expect.json", expect), "--result",
                           dir_.file("result.json")});
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
