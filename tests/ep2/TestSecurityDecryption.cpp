// Received-message security end to end: frames whose cryptograms, MACs and
// encrypted elements are made with OpenSSL are split by our reader and
// undone by our code; ATC entries pair with their cryptograms and each
// item is decrypted under its own entry's key.
#include "ep2/SecurityDecryption.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <random>

#include "common/TestSupport.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Oracle.h"
#include "support/HexUtilities.h"

namespace kal {
namespace {

using test::Ede;
using test::FromHex;
using test::ToHex;
using test::VariantRef;
using TSDC = TSDCSecurityDecryption;

struct RsaKey {
  EVP_PKEY* pkey = EVP_RSA_gen(2048);
  std::string n = Param(OSSL_PKEY_PARAM_RSA_N), d = Param(OSSL_PKEY_PARAM_RSA_D);
  ~RsaKey() { EVP_PKEY_free(pkey); }
  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(pkey, name, &b);
    std::string s(BN_num_bytes(b), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_free(b);
    return s;
  }
  // The cryptogram of 0x7F || id || key || secret: a 16-byte key's block
  // filled to the modulus length (RSA without padding), a 24-byte key's data
  // under RSAES-OAEP with SHA-256.
  std::string Cryptogram(const std::string& id, const std::string& key, const std::string& secret,
                         std::mt19937& rng, char start = '\x7F') const {
    std::string data = start + id + key + secret;
    const bool oaep = key.size() == 24;
    if (!oaep) data += test::RandomBytes(rng, n.size() - data.size());
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
    EVP_PKEY_encrypt_init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, oaep ? RSA_PKCS1_OAEP_PADDING : RSA_NO_PADDING);
    if (oaep) {
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256());
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256());
    }
    std::string out(n.size(), '\0');
    size_t len = out.size();
    const int rc =
        EVP_PKEY_encrypt(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                         reinterpret_cast<const unsigned char*>(data.data()), data.size());
    EVP_PKEY_CTX_free(ctx);
    return rc == 1 ? out : "";
  }
};

const RsaKey& Key() {
  static const RsaKey key;
  return key;
}

struct FakeConfig : ISDCConfiguration {
  bool above520 = true, above600 = true, above700 = false;
  bool CFGVersionAbove520() const override { return above520; }
  bool CFGVersionAbove600() const override { return above600; }
  bool CFGVersionAbove700() const override { return above700; }
  std::string CFGGetPrivateKeyExponent() const override { return ToHex(Key().d); }
  std::string CFGGetPrivateKeyModulus() const override { return UTHStringToHex(Key().n); }
};

struct FakeReport : ISDCReportList {
  std::vector<std::string> lines;
  void SDCAddReportLine(std::string_view line) override { lines.emplace_back(line); }
};

// Packed digits with an F filling an odd count.
std::string Packed(std::string digits) {
  if (digits.size() % 2 != 0) digits += 'F';
  return FromHex(digits);
}

// Triple-DES CBC with 0x80 padding under the key's variant, by OpenSSL.
std::string EncryptRef(const std::string& key, int variant, const std::string& clear) {
  return Ede(VariantRef(key, variant), test::Pad80(clear), true, std::string(8, '\0'));
}

const std::string kPAN = "5413339000001513";
const std::string kTrack2 = "5413339000001513D2512201012345678";

// PIN blocks under the PIN variant: format 2 ("2", length, PIN, F fill) and
// format 3 ("3", length, PIN, fill from A-F, XOR the PAN field 0000 and the
// 12 rightmost PAN digits).
std::string PinBlockRef(const std::string& key, const std::string& pin, int format) {
  std::string clear = std::to_string(format) + static_cast<char>('0' + pin.size()) + pin;
  const std::string fill = format == 2 ? "FFFFFFFFFFFF" : "ABCDEFABCDEF";
  clear = FromHex(clear + fill.substr(0, 16 - clear.size()));
  if (format == 3) {
    const std::string field = FromHex("0000" + kPAN.substr(kPAN.size() - 12));
    for (size_t i = 0; i < 8; ++i) clear[i] ^= field[i];
  }
  return Ede(VariantRef(key, 4), clear, true);
}

class SecurityDecryption : public ::testing::Test {
 protected:
  // Splits a frame by our reader and registers its items.
  void Receive(int mode, const std::string& cryptogram, const std::string& mac) {
    std::string frame = std::string("\x30\x06\x30", 3) + static_cast<char>(mode);
    if (mode == 2) {
      frame +=
          "\x03"
          "TERMINAL"
          "\x01"
          "OWNER000001"
          "\x05";
      frame += static_cast<char>(cryptogram.size() >> 8);
      frame += static_cast<char>(cryptogram.size());
      frame += cryptogram;
    }
    if (mode != 0) frame += mac;
    frame += xml;
    const uint32_t n = static_cast<uint32_t>(frame.size());
    frame = std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + frame;

    std::string doc, hash;
    TIBSFrameHeader read;
    ASSERT_EQ(TIBSaEp2ByteStream(1000).IBSStreamToXMLDoc(frame, 11, 11, doc, read, hash), 0);
    sdc.SDCInitAll();
    EXPECT_EQ(
        sdc.SDCRegisterSecurityItems(read.iEncoding, read.sSessionKeyCryptogram, read.sMAC, hash),
        0);
  }
  int Open(std::string& key) {
    std::string id, secret, data;
    return sdc.SDCDecryptSessionKeyCryptogram(sec, Key().d, Key().n, id, key, secret, data);
  }
  int Verify() {
    int state = 0;
    const int rc = sdc.SDCVerifyMAC(sec, state);
    return rc != 0 ? rc : state;
  }

  std::mt19937 rng{5};
  FakeConfig config;
  FakeReport report;
  TSECep2Security sec{4000};
  TSDC sdc{5000, config, sec, &report};
  const std::string xml = "<?xml version=\"1.0\"?>\r\n<ep2:Rsp/>";
  const std::string secret = std::string(16, 'S');
};

TEST_F(SecurityDecryption, MacStatesUnderTheCryptogramsSessionKey) {
  for (size_t keyLength : {16u, 24u}) {
    SCOPED_TRACE(keyLength);
    const std::string key = test::RandomBytes(rng, keyLength), other = test::RandomBytes(rng, 16);
    const std::string cryptogram = Key().Cryptogram("TERMINAL", key, secret, rng);
    for (const auto& [mac, state] :
         std::vector<std::pair<std::string, int>>{{test::FrameMacRef(key, 1, xml, true), 2},
                                                  {test::FrameMacRef(key, 2, xml, true), 3},
                                                  {test::FrameMacRef(other, 1, xml, true), 4},
                                                  {test::FrameMacRef(key, 1, xml, false), 4}}) {
      Receive(2, cryptogram, mac);
      EXPECT_FALSE(sdc.SDCSessionKeyPresent());
      std::string opened;
      ASSERT_EQ(Open(opened), 0);
      EXPECT_EQ(opened, key);
      EXPECT_EQ(sdc.SDCGetSessionKey(), key);
      EXPECT_EQ(Verify(), state);
    }
    // Data that does not start with 0x7F fits neither layout, and the frame
    // leaves no key behind.
    Receive(2, Key().Cryptogram("TERMINAL", key, secret, rng, '\x7E'),
            test::FrameMacRef(key, 1, xml, true));
    std::string wrong;
    EXPECT_EQ(Open(wrong), 4016);
    EXPECT_FALSE(sdc.SDCSessionKeyPresent());
  }
  // Mode 1: the key of the previous message.
  const std::string key = test::RandomBytes(rng, 16);
  Receive(1, "", test::FrameMacRef(key, 2, xml, true));
  std::string none = "x";
  EXPECT_EQ(Open(none), 5002);
  EXPECT_EQ(none, "");
  EXPECT_EQ(Verify(), 4002);  // no session key yet
  sdc.SDCSetSessionKey(key);
  EXPECT_EQ(Verify(), 3);
  // The MAC is compared over exactly 8 bytes.
  Receive(1, "", test::FrameMacRef(key, 2, xml, true).substr(0, 7));
  sdc.SDCSetSessionKey(key);
  EXPECT_EQ(Verify(), 4);
  // Mode 0 needs no key.
  Receive(0, "", "");
  EXPECT_EQ(Verify(), 1);
}

TEST_F(SecurityDecryption, ElementsEncryptedWithOpenSslDecryptToTheirValues) {
  const std::string key = test::RandomBytes(rng, 16);
  const std::string encPAN = EncryptRef(key, 3, Packed(kPAN));
  const std::string encTrack2 = EncryptRef(key, 3, Packed(kTrack2));
  const std::string encReceipt = EncryptRef(key, 5, Packed(kPAN));
  bool found = true;
  std::string out = "x";
  // Without a session key nothing is decrypted.
  EXPECT_EQ(sdc.SDCRegisterElement("ep2:AppPAN", UTHStringToHex(encPAN), ""), 0);
  EXPECT_EQ(sdc.SDCDecryptElement("ep2:AppPAN", sec, "", found, out), 0);
  EXPECT_FALSE(found);
  EXPECT_EQ(out, "");

  sdc.SDCSetSessionKey(key);
  EXPECT_EQ(sdc.SDCRegisterElement("ep2:AppPAN", UTHStringToHex(encTrack2), ""), 5001);
  EXPECT_EQ(sdc.SDCRegisterElement("ep2:Track2Dat", ToHex(encTrack2), ""), 0);
  EXPECT_EQ(sdc.SDCRegisterElement("ep2:StatKeyPANRct", ToHex(encReceipt), "clear"), 0);
  for (const auto& [name, clear] : std::vector<std::pair<std::string, std::string>>{
           {"ep2:AppPAN", kPAN}, {"ep2:Track2Dat", kTrack2}, {"ep2:StatKeyPANRct", kPAN}}) {
    ASSERT_EQ(sdc.SDCDecryptElement(name, sec, "", found, out), 0) << name;
    EXPECT_TRUE(found);
    EXPECT_EQ(out, Packed(clear)) << name;
  }
  EXPECT_EQ(sdc.SDCDecryptElement("ep2:Track2EqDat", sec, "", found, out), 0);
  EXPECT_FALSE(found);
  ASSERT_EQ(sdc.SDCDecryptElementValue("", ToHex(encPAN), sec, out), 0);
  EXPECT_EQ(out, Packed(kPAN));
  EXPECT_EQ(sdc.SDCDecryptElementValue("", ToHex(encReceipt), sec, out), 4013);

  // PIN blocks of both formats; format 3 needs the PAN.
  for (int format : {2, 3}) {
    config.above520 = format == 3;
    sdc.SDCInit();
    EXPECT_EQ(sdc.SDCRegisterElement("ep2:EncPIN", ToHex(PinBlockRef(key, "98765", format)), ""),
              0);
    ASSERT_EQ(sdc.SDCDecryptElement("ep2:EncPIN", sec, kPAN, found, out), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(out, "98765");
  }

  // The same elements as items: a cn value comes back clear with its
  // digits, and the clear PAN serves the PIN block behind it.
  sdc.SDCInit();
  sdc.SDCAddEncryptedItem("ep2:Track2Dat", encTrack2, "cn", "E");
  sdc.SDCAddEncryptedItem("ep2:AppPAN", encPAN, "cn", "E");
  sdc.SDCAddEncryptedItem("ep2:EncPIN", PinBlockRef(key, "1234", 3), "b", "E");
  sdc.SDCAddEncryptedItem("ep2:AppPAN", encPAN, "b", "E");
  std::string name, value, format, decrypted;
  const std::vector<std::vector<std::string>> expected = {
      {"ep2:Track2Dat", Packed(kTrack2), "cn", kTrack2 + "F"},
      {"ep2:AppPAN", Packed(kPAN), "cn", kPAN},
      {"ep2:EncPIN", PinBlockRef(key, "1234", 3), "b", "1234"},
      {"ep2:AppPAN", encPAN, "b", Packed(kPAN)}};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, i, name, value, format, decrypted, found), 0) << i;
    EXPECT_TRUE(found);
    EXPECT_EQ((std::vector<std::string>{name, value, format, decrypted}), expected[i]) << i;
  }
  EXPECT_EQ(sdc.SDCGetEncryptedItem(sec, 4, name, value, format, decrypted, found), 0);
  EXPECT_FALSE(found);
  // The items registered their elements on the way.
  EXPECT_EQ(sdc.SDCRegisterElement("ep2:AppPAN", "00", ""), 5001);

  sdc.SDCAddEncryptedItem("ep2:AppPAN", encPAN.substr(1), "cn", "E");
  EXPECT_EQ(sdc.SDCGetEncryptedItem(sec, 4, name, value, format, decrypted, found), 4010);
  EXPECT_TRUE(found);
  EXPECT_EQ(name + value + format + decrypted, "");

  // A b-typed track gives the PIN block behind it the digits its bytes
  // pack, as hex text.
  sdc.SDCInit();
  sdc.SDCAddEncryptedItem("ep2:Track2Dat", encTrack2, "b", "E");
  sdc.SDCAddEncryptedItem("ep2:EncPIN", PinBlockRef(key, "1234", 3), "b", "E");
  ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, 0, name, value, format, decrypted, found), 0);
  ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, 1, name, value, format, decrypted, found), 0);
  EXPECT_EQ(decrypted, "1234");
}

TEST_F(SecurityDecryption, EachItemUsesTheKeyOfItsATCEntry) {
  config.above700 = true;  // 24-byte keys under OAEP
  const std::string key1 = test::RandomBytes(rng, 24), key2 = test::RandomBytes(rng, 24);
  const std::string frameKey = test::RandomBytes(rng, 16);
  sdc.SDCSetSessionKey(frameKey);
  sdc.SDCAddEncryptedItem("ep2:AcqTC", "TC1", "b", "E");
  sdc.SDCAddEncryptedItem("ep2:SessKeyCryp", Key().Cryptogram("TERM0001", key1, secret, rng), "b",
                          "");
  sdc.SDCAddEncryptedItem("ep2:AppPAN", EncryptRef(key1, 3, Packed(kPAN)), "cn", "E");
  sdc.SDCAddEncryptedItem("ep2:AcqTC", "TC2", "b", "E");
  sdc.SDCAddEncryptedItem("ep2:SessKeyCryp", Key().Cryptogram("TERM0002", key2, secret, rng), "b",
                          "");
  sdc.SDCAddEncryptedItem("ep2:AppPAN", EncryptRef(key2, 3, Packed("4111111111111111")), "cn", "E");
  sdc.SDCAddEncryptedItem("ep2:AcqTC", "TC3", "b", "E");  // an entry without a cryptogram
  sdc.SDCAddEncryptedItem("ep2:Track2Dat", EncryptRef(frameKey, 3, Packed(kTrack2)), "cn", "E");
  sdc.SDCAddEncryptedItem("ep2:Track2EqDat", EncryptRef(frameKey, 3, Packed(kTrack2)), "cn", "E");
  ASSERT_EQ(sdc.SDCGetATCCount(), 3);
  EXPECT_EQ(sdc.SDCGetATC(1), "TC2");
  EXPECT_EQ(sdc.SDCGetATC(3), "");

  std::string name, value, format, decrypted;
  bool found = false;
  ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, 0, name, value, format, decrypted, found), 0);
  EXPECT_EQ(decrypted, kPAN);
  ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, 1, name, value, format, decrypted, found), 0);
  EXPECT_EQ(decrypted, "4111111111111111");
  EXPECT_EQ(sdc.SDCGetEncryptedItem(sec, 2, name, value, format, decrypted, found), 4016);
  // Behind the last entry the session key in use applies, which the items
  // before did not change.
  ASSERT_EQ(sdc.SDCGetEncryptedItem(sec, 3, name, value, format, decrypted, found), 0);
  EXPECT_TRUE(found);
  EXPECT_EQ(decrypted, kTrack2 + "F");
  EXPECT_EQ(sdc.SDCGetSessionKey(), frameKey);
  EXPECT_EQ(sdc.SDCGetKey(1), key2);

  // Each entry's cryptogram is opened once and reported; the one that fails
  // is reported with what it gave and tried again.
  ASSERT_EQ(report.lines.size(), 24u);
  EXPECT_EQ(report.lines[0], "");
  EXPECT_EQ(report.lines[1], "Container 0");
  EXPECT_EQ(report.lines[2], "------------------------");
  EXPECT_EQ(report.lines[3].rfind("Container 0 Session Key Cryptogramm: ", 0), 0u);
  EXPECT_EQ(report.lines[4], "Container 0 TerminalID: " + UTHStringToHex("TERM0001"));
  EXPECT_EQ(report.lines[5], "Container 0 Session key: " + UTHStringToHex(key1));
  EXPECT_EQ(report.lines[6], "Container 0 Component Secret: " + UTHStringToHex(secret));
  EXPECT_EQ(report.lines[7].rfind("Container 0 Decrypted Session Key Cryptogramm: 7F ", 0), 0u);
  EXPECT_EQ(report.lines[16 + 5], "Container 2 Session key: ");
  EXPECT_EQ(sdc.SDCGetKey(2), "");
  EXPECT_EQ(report.lines.size(), 32u);

  // Value, value, cryptogram: an entry with only a value, then a complete one.
  sdc.SDCInit();
  sdc.SDCAddEncryptedItem("ep2:AcqTC", "A", "b", "E");
  sdc.SDCAddEncryptedItem("ep2:AcqTC", "B", "b", "E");
  sdc.SDCAddEncryptedItem("ep2:SessKeyCryp", Key().Cryptogram("TERM0002", key2, secret, rng), "b",
                          "");
  ASSERT_EQ(sdc.SDCGetATCCount(), 2);
  EXPECT_EQ(sdc.SDCGetKey(1), key2);
  EXPECT_EQ(sdc.SDCGetKey(0), "");
}

}  // namespace
}  // namespace kal
