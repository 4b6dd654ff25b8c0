// "Create Data Stream" on the stream road alone (fakes for its ports, no
// main window): where the stream goes (a taker or the stream view with its
// bytes), the mode the "Security header" choice gives, an edited stream view,
// and which session key the MAC is made under when the key is to come from
// the last received message.

#include <gtest/gtest.h>

#include "comm/CommParams.h"
#include "comm/ErrorHandOff.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/SessionKey.h"
#include "workbench/StreamRoad.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;
using Lines = std::vector<std::string>;

const std::string kSecretHex = "00112233445566778899AABBCCDDEEFF";
const std::string kComponentID = "12345678901";  // sender id type 1, 11 bytes
const std::string kOwnerID = "OWNER000001";      // owner id type 1, 11 bytes
const std::string kXml =
    "<ep2:message xmlns:ep2=\"http://www.eftpos2000.ch\" specversion=\"0630\"><ep2:authreq>"
    "<ep2:TrmID>T0000042</ep2:TrmID><ep2:Amount>1250</ep2:Amount></ep2:authreq></ep2:message>";

// The form, the error hand-off and window, and the header items of the last
// build (the configured ones).
class Host final : public ICEXView,
                   public ICEXErrorHandOff,
                   public IERRErrorWindow,
                   public ICEXStreamInputs {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {}; }
  void CEXCloseMainWindow() override {}
  void CEXShowMessage(const std::string& text) override { errors.push_back(text); }
  // No sequence runs: every error goes to the error window.
  bool CEXLogError(int, const std::string&, bool) override { return false; }
  void ERRSetError(int code, const std::string& detail) override {
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  TCEXHeaderItems CEXGetTempHeaderItems() override {
    return {kComponentID, 1, kOwnerID, 1, kSecretHex};
  }

  Lines errors;
};

class Taker final : public ICEXDataStreamTaker {
 public:
  void SCLSetSendDataStream(const std::string& stream) override { streams.push_back(stream); }
  Lines streams;
};

std::string Key(int bytes) {
  std::string key;
  for (int i = 0; i < bytes; ++i) key += static_cast<char>(0x11 * (i % 15 + 1) ^ i);
  return key;
}

// Our own reader splits a stream; the MAC is recomputed with the key given.
struct SplitStream {
  int rc = -1, mode = -1;
  std::string xml, mac;
};
SplitStream Split(const std::string& stream) {
  SplitStream s;
  TIBSFrameHeader header;
  std::string hash;
  s.rc = TIBSaEp2ByteStream(1000).IBSStreamToXMLDoc(stream, 11, 11, s.xml, header, hash);
  s.mode = header.iEncoding;
  s.mac = header.sMAC;
  return s;
}
std::string Mac(const std::string& xml, const std::string& key, const std::string& spec) {
  std::string mac;
  EXPECT_EQ(TIBSaEp2ByteStream(1000).IBSComputeMAC(xml, 1, key, spec, mac), 0);
  return mac;
}

class StreamRoadTest : public ::testing::Test {
 protected:
  StreamRoadTest() {
    static_cast<void>(config_.CFGReadIniFile(true));
    config_.CFGSetSessionKeyFromInMessage(0);
    config_.CFGSetSessionKey(ToHex(Key(16)));
    config_.CFGSetSpecVersionNumber("0630");
    view_.CEXSetMemo(TCEXMemo::Memo1, kXml);
  }
  // The configured version, encoding information and "Security header".
  void Configure(const std::string& version, int encodingInformation, int securityHeader) {
    config_.CFGSetVersionNumber(version);
    config_.CFGSetEncodingInformation(static_cast<uint8_t>(encodingInformation));
    road_.RadioGroup1Click(securityHeader);
  }

  test::TempDir dir_;
  Host host_;
  TTCPCommParams comm_{8000, &host_};
  TCFGConfig config_{dir_.path(), TCFGConfig::CFGcBaseFileName, &comm_};
  TSECDeterministicRandom random_;
  TSECep2Security security_{4000, random_};
  TIBSaEp2ByteStream byteStream_{1000};
  TCEXViewState view_{host_};
  TCEXSecurityConfiguration securityConfig_{config_};
  TSDCSecurityDecryption decryption_{5000, securityConfig_, security_, nullptr};
  TCEXSessionKey sessionKey_{
      TCEXSessionKey::TPorts{.config = config_, .decryption = decryption_, .changed = [] {}}};
  TCEXNoRecordingList recording_;
  TCEXStreamRoad road_{TCEXStreamRoad::TPorts{.view = view_,
                                              .errors = host_,
                                              .errorWindow = host_,
                                              .inputs = host_,
                                              .sessionKey = sessionKey_,
                                              .recording = recording_,
                                              .config = config_,
                                              .security = security_,
                                              .byteStream = byteStream_}};
};

TEST_F(StreamRoadTest, NoKeyFromTheLastMessageStopsOnceThenTheConfiguredKeyServes) {
  Configure("30", 1, 0);
  config_.CFGSetSessionKeyFromInMessage(1);

  road_.CEXCreateDataStream(nullptr);
  EXPECT_EQ(host_.errors, Lines{"7009 error during generation of data stream"});
  EXPECT_EQ(view_.CEXMemo(TCEXMemo::Memo6), "");

  road_.CEXCreateDataStream(nullptr);
  EXPECT_EQ(host_.errors.size(), 1u);
  const SplitStream s = Split(road_.CEXDataStreamBytes());
  ASSERT_EQ(s.rc, 0);
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.mac, Mac(s.xml, Key(16), FromHex("0630")));

  // A key from the last received message is the one used.
  decryption_.SDCSetSessionKey(Key(24));
  road_.CEXCreateDataStream(nullptr);
  const SplitStream r = Split(road_.CEXDataStreamBytes());
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.mac, Mac(r.xml, Key(24), FromHex("0630")));
  EXPECT_NE(r.mac, s.mac);
}

TEST_F(StreamRoadTest, TheStreamGoesToTheTakerOrTheViewWhichKeepsItsBytesUntilEdited) {
  Configure("20", 0, 1);
  // Modes 0 and 1 carry no cryptogram and need no public key.
  config_.CFGSetPublicKeyModulus("");
  config_.CFGSetPublicKeyExponent("");
  view_.CEXSetEdit(TCEXEdit::Edit6, "12:00:00");

  Taker taker;
  road_.CEXCreateDataStream(&taker);
  ASSERT_EQ(taker.streams.size(), 1u);
  EXPECT_EQ(view_.CEXMemo(TCEXMemo::Memo6), "");
  EXPECT_EQ(view_.CEXEdit(TCEXEdit::Edit6), "");
  const std::string& stream = taker.streams[0];
  ASSERT_GT(stream.size(), 8u);
  const uint32_t length = static_cast<uint8_t>(stream[0]) << 24 |
                          static_cast<uint8_t>(stream[1]) << 16 |
                          static_cast<uint8_t>(stream[2]) << 8 | static_cast<uint8_t>(stream[3]);
  EXPECT_EQ(length, stream.size() - 4);
  EXPECT_EQ(stream.substr(4, 4), FromHex("20063000"));  // version, standard version, mode 0
  EXPECT_EQ(stream.substr(8), view_.CEXMemo(TCEXMemo::Memo1));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();

  // Encoding on, "Add MAC Only": mode 1; the choice is stored at once.
  config_.CFGSetEncodingInformation(1);
  road_.RadioGroup1Click(0);
  road_.CEXCreateDataStream(nullptr);
  ASSERT_TRUE(host_.errors.empty()) << host_.errors.front();
  ASSERT_FALSE(road_.CEXDataStreamBytes().empty());
  EXPECT_EQ(view_.CEXMemo(TCEXMemo::Memo6), UTHStringToHex(road_.CEXDataStreamBytes()));
  EXPECT_EQ(road_.CEXDataStreamBytes().substr(4, 4), FromHex("20063001"));
  EXPECT_EQ(config_.CFGGetMacOnly(), 1);
  road_.RadioGroup1Click(1);
  EXPECT_EQ(config_.CFGGetMacOnly(), 0);
  EXPECT_EQ(view_.CEXSecurityHeader(), 1);

  // An edited view is the stream from then on.
  road_.CEXSetStreamText("00 00 00 01 41");
  EXPECT_EQ(road_.CEXDataStreamBytes(), FromHex("0000000141"));
}

}  // namespace
}  // namespace kal
