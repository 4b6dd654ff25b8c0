// The mock ep2 host (tests/common/mock_ep2_host.py, written independently
// with python3-cryptography) and our ep2 layer agree both ways: frames,
// cryptograms, MACs, PIN blocks and encrypted items made by our byte stream
// and security object pass the mock's checks, and the mock's frames (good
// and deliberately broken) are read by our byte stream and received-message
// security with the expected codes. Faults planted on our side must be
// caught by the mock, so it is no rubber stamp. Through files and over real
// loopback connections with the mock as server and as client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "common/TestSupport.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/SecurityDecryption.h"
#include "support/Base64.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::FromHex;
using test::ToHex;

const std::string kPAN = "5413339000001513";
const std::string kPAN2 = "4111111111111111";
const std::string kTrack2 = "5413339000001513D2512201012345678";
const std::string kSecret = FromHex("00112233445566778899AABBCCDDEEFF");
constexpr int kSenderIdLength = 6;  // configured lengths of the free id types
constexpr int kOwnerIdLength = 9;

// An RSA key pair made by OpenSSL, its PEM file and its numbers as bytes.
struct RsaKey {
  RsaKey(unsigned bits, const std::string& file) : pkey(EVP_RSA_gen(bits)), pem(file) {
    n = Param(OSSL_PKEY_PARAM_RSA_N);
    e = Param(OSSL_PKEY_PARAM_RSA_E);
    d = Param(OSSL_PKEY_PARAM_RSA_D);
    if (FILE* f = std::fopen(file.c_str(), "w")) {
      PEM_write_PrivateKey(f, pkey, nullptr, nullptr, 0, nullptr, nullptr);
      std::fclose(f);
    }
  }
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
  std::string pem, n, e, d;
};

struct FakeConfig : ISDCConfiguration {
  bool above520 = true, above700 = false;
  const RsaKey* key = nullptr;
  bool CFGVersionAbove520() const override { return above520; }
  bool CFGVersionAbove600() const override { return true; }
  bool CFGVersionAbove700() const override { return above700; }
  std::string CFGGetPrivateKeyExponent() const override { return ToHex(key->d); }
  std::string CFGGetPrivateKeyModulus() const override { return ToHex(key->n); }
};

// --- JSON and XML texts ---

// A JSON string literal.
std::string Js(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Bytes as a JSON string of hex.
std::string JsHex(std::string_view bytes) {
  return Js(ToHex(bytes));
}

// A JSON text from a template: each "%" stands for the next value.
std::string Json(std::string_view text, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (char c : text) {
    if (c == '%' && value != values.end())
      out += *value++;
    else
      out += c;
  }
  EXPECT_EQ(value, values.end()) << text;
  return out;
}

std::string Num(long v) {
  return std::to_string(v);
}
std::string Byte(int v) {
  return std::string(1, static_cast<char>(v));
}

std::string B64(std::string_view bytes) {
  std::string out;
  EXPECT_FALSE(TUTBase64().EncodeData(bytes, out));
  return out;
}

std::string UnB64(std::string_view text) {
  std::string out;
  EXPECT_EQ(TUTBase64().DecodeData(text, out), 0);
  return out;
}

// Packed digits with an F filling an odd count.
std::string Packed(std::string digits) {
  if (digits.size() % 2 != 0) digits += 'F';
  return FromHex(digits);
}

std::string Tag(const std::string& name, const std::string& text) {
  return "<" + name + ">" + text + "</" + name + ">";
}

// The text of the occurrence-th element `name` of an XML text.
std::string ElementText(const std::string& xml, const std::string& name, int occurrence = 1) {
  size_t at = 0;
  for (int i = 0; i < occurrence; ++i) {
    at = xml.find("<" + name + ">", at);
    if (at == std::string::npos) return "<missing>";
    at += name.size() + 2;
  }
  return xml.substr(at, xml.find("</" + name + ">", at) - at);
}

// An ep2 request; the encrypted elements are left out when their text is
// empty.
std::string RequestXml(const std::string& pan, const std::string& track2, const std::string& pin) {
  std::string x =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
      "   <ep2:AutReq msgnum=\"17\">\r\n"
      "      <ep2:TrmID>12345678</ep2:TrmID>\r\n"
      "      <ep2:Amount>1250</ep2:Amount>\r\n";
  if (!pan.empty()) x += "      " + Tag("ep2:AppPAN", pan) + "\r\n";
  if (!track2.empty()) x += "      " + Tag("ep2:Track2Dat", track2) + "\r\n";
  if (!pin.empty()) x += "      " + Tag("ep2:EncPIN", pin) + "\r\n";
  return x + "   </ep2:AutReq>\r\n</ep2:ep2>\r\n";
}

// --- the mock's output ---

// The checks of one frame as the mock printed them.
struct MockResult {
  bool ok = false;
  std::map<std::string, std::pair<bool, std::string>> checks;
  std::set<std::string> Failed() const {
    std::set<std::string> names;
    for (const auto& [name, check] : checks)
      if (!check.first) names.insert(name);
    return names;
  }
  bool Passed(const std::string& name) const {
    const auto it = checks.find(name);
    return it != checks.end() && it->second.first;
  }
  std::string Detail(const std::string& name) const {
    const auto it = checks.find(name);
    return it == checks.end() ? "<no check " + name + ">" : it->second.second;
  }
  std::string Describe() const {
    std::string s;
    for (const auto& [name, check] : checks)
      s += name + (check.first ? " pass" : " FAIL") + check.second + "\n";
    return s;
  }
};

// "RESULT i ok|FAIL" and "CHECK i name pass|fail detail" lines.
std::vector<MockResult> ParseResults(const std::string& out) {
  std::vector<MockResult> results;
  for (const std::string& line : test::SplitLines(out)) {
    std::istringstream in(line);
    std::string word, verdict, name;
    size_t i = 0;
    in >> word >> i;
    if (word == "RESULT" && i < 1000) {
      in >> verdict;
      if (results.size() <= i) results.resize(i + 1);
      results[i].ok = verdict == "ok";
    } else if (word == "CHECK" && i < results.size()) {
      in >> name >> verdict;
      std::string detail;
      std::getline(in, detail);
      results[i].checks[name] = {verdict == "pass", detail};
    }
  }
  return results;
}

// --- loopback sockets, every wait bounded ---

int Bounded(int fd) {
  const timeval tv{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  return fd;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

int Connect(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = Loopback(port);
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return Bounded(fd);
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Up to n bytes (fewer at the end of the stream); *err gets errno on a
// failed read.
std::string ReadUpTo(int fd, size_t n, int* err) {
  std::string out;
  char buf[65536];
  while (out.size() < n) {
    const ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
    if (got < 0) *err = errno;
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

// One frame (length prefix and body) of at most 1 MiB.
std::string ReadFrame(int fd, int* err) {
  *err = 0;
  std::string frame = ReadUpTo(fd, 4, err);
  if (frame.size() < 4) return frame;
  uint32_t length = 0;
  for (char c : frame) length = length << 8 | static_cast<uint8_t>(c);
  if (length > (1u << 20)) return frame;
  return frame + ReadUpTo(fd, length, err);
}

// --- our side ---

// A frame split by our reader.
struct Split {
  int rc = -1;
  std::string xml, hash;
  TIBSFrameHeader h;
};

Split Read(const std::string& frame) {
  Split s;
  s.rc = TIBSaEp2ByteStream(1000).IBSStreamToXMLDoc(frame, kSenderIdLength, kOwnerIdLength, s.xml,
                                                    s.h, s.hash);
  return s;
}

class MockHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    k1020 = new RsaKey(1020, dir->file("k1020.pem"));  // first byte below 0x80
    k1024 = new RsaKey(1024, dir->file("k1024.pem"));
    other1024 = new RsaKey(1024, dir->file("other1024.pem"));
    k2048 = new RsaKey(2048, dir->file("k2048.pem"));
  }
  static void TearDownTestSuite() {
    delete k1020;
    delete k1024;
    delete other1024;
    delete k2048;
    delete dir;
  }

  std::string Variant(const std::string& key, int variant) {
    std::string v;
    EXPECT_EQ(sec.SECGenerateSessionKeyVariant(variant, key, nullptr, v), 0);
    return v;
  }
  // Packed digits, Triple-DES encrypted with mandatory padding under the
  // key's variant 3.
  std::string Encrypt(const std::string& key, const std::string& digits) {
    std::string out;
    EXPECT_EQ(sec.SECDESEncryptString(Packed(digits), Variant(key, 3), true, nullptr, out), 0);
    return out;
  }
  std::string PinBlock(const std::string& key, const std::string& pin, int format) {
    std::string out;
    EXPECT_EQ(sec.SECGenerateEncryptedPINBlock(pin, kPAN, Variant(key, 4), format, out), 0);
    return out;
  }
  std::string Cryptogram(const RsaKey& rsa, const std::string& id, const std::string& key) {
    std::string out;
    EXPECT_EQ(sec.SECGenerateSessionKeyCryptogramm(id, key, kSecret, rsa.e, rsa.n, out), 0);
    return out;
  }
  // Our frame with key index 5.
  std::string Write(const std::string& xml, int version, const std::string& spec, int mode,
                    const std::string& key, int macVariant, uint8_t sidType = 3,
                    const std::string& sid = "TERMINAL", uint8_t oidType = 0,
                    const std::string& oid = "OWNER000001", const std::string& crypt = "") {
    std::string frame;
    EXPECT_EQ(TIBSaEp2ByteStream(1000).IBSXMLDocToStream(xml, static_cast<int>(sid.size()),
                                                         static_cast<int>(oid.size()),
                                                         {.sVersionNumber = Byte(version),
                                                          .sSpecVersionNumber = FromHex(spec),
                                                          .iEncoding = mode,
                                                          .iSenderIDType = sidType,
                                                          .sSenderIdentifier = sid,
                                                          .iPublicKeyOwnerIdentifierType = oidType,
                                                          .sPublicKeyOwnerIdentifier = oid,
                                                          .iPublicKeyIndex = 5,
                                                          .sSessionKeyCryptogram = crypt},
                                                         macVariant, key, frame),
              0);
    return frame;
  }
  // Our received-message security over a frame split by our reader.
  std::unique_ptr<TSDCSecurityDecryption> Security(const Split& s) {
    auto sdc = std::make_unique<TSDCSecurityDecryption>(5000, config, sec, nullptr);
    sdc->SDCInitAll();
    EXPECT_EQ(
        sdc->SDCRegisterSecurityItems(s.h.iEncoding, s.h.sSessionKeyCryptogram, s.h.sMAC, s.hash),
        0);
    return sdc;
  }
  int VerifyMac(const TSDCSecurityDecryption& sdc) {
    int state = -1;
    const int rc = sdc.SDCVerifyMAC(sec, state);
    return rc != 0 ? rc : state;
  }
  // Item i decrypted; the code when it fails.
  std::string Item(TSDCSecurityDecryption& sdc, int i) {
    std::string name, value, format, decrypted;
    bool found = false;
    const int rc = sdc.SDCGetEncryptedItem(sec, i, name, value, format, decrypted, found);
    return rc != 0 ? "error " + Num(rc) : decrypted;
  }
  // Writes a JSON file into the test folder and returns its path.
  std::string JsonFile(const std::string& name, const std::string& text) {
    test::WriteFile(dir->file(name), text);
    return dir->file(name);
  }
  // Runs the mock; its results must be one per frame.
  std::vector<MockResult> RunMock(const std::vector<std::string>& args, int expectedStatus,
                                  size_t count) {
    int status = 0;
    const std::string out = test::RunMockEp2Host(args, &status);
    EXPECT_EQ(status, expectedStatus) << out;
    std::vector<MockResult> results = ParseResults(out);
    EXPECT_EQ(results.size(), count) << out;
    results.resize(count);
    return results;
  }

  static test::TempDir* dir;
  static RsaKey *k1020, *k1024, *other1024, *k2048;
  std::mt19937 rng{20240611};
  TSECep2Security sec{4000};
  FakeConfig config;
};

test::TempDir* MockHost::dir = nullptr;
RsaKey *MockHost::k1020 = nullptr, *MockHost::k1024 = nullptr, *MockHost::other1024 = nullptr,
       *MockHost::k2048 = nullptr;

// --- our frames checked by the mock, through files ---

enum class Fault {
  kNone,
  kFlipMac,
  kWrongPin,
  kWrongRsaKey,
  kPinFormat,
  kPinFill,
  kXmlAltered,
  kSenderId,
  kAttribute,
  kMissingElement
};

struct OurCase {
  int version = 0x30;
  std::string spec = "0630";  // hex
  int mode = 0;
  size_t keyLength = 16;
  int macVariant = 1;
  int pinFormat = 0;  // 0: no encrypted items
  int rsa = 0;        // 0 none, 1 k1020, 2 k1024, 3 k2048, 4 k2048 given as n/e/d
  uint8_t sidType = 3;
  std::string sid = "TERMINAL";
  uint8_t oidType = 0;
  std::string oid = "OWNER000001";
  std::string cryptId = "TERMINAL";      // the id given to the cryptogram
  std::string cryptIdSent = "TERMINAL";  // as it must stand in it
  Fault fault = Fault::kNone;
  std::set<std::string> failing = {};  // the checks the mock must fail
  std::set<std::string> mayFail = {};  // and those it may fail besides
};

TEST_F(MockHost, OurFramesPassTheMocksChecksAndPlantedFaultsAreCaught) {
  // clang-format off
  const std::vector<OurCase> cases = {
      {.version = 0x10, .spec = ""},
      {.version = 0x20, .spec = "0601"},
      {},
      // SHA-1: no standard version carried; then by the standard version.
      {.version = 0x10, .spec = "", .mode = 1},
      {.version = 0x20, .spec = "0601", .mode = 1, .keyLength = 24, .macVariant = 2},
      {.mode = 1, .pinFormat = 2},  // SHA-256
      // A 1-byte cryptogram length and a block of k - 1 bytes.
      {.version = 0x10, .spec = "", .mode = 2, .pinFormat = 3, .rsa = 1},
      {.version = 0x20, .mode = 2, .keyLength = 24, .macVariant = 2, .pinFormat = 3, .rsa = 2,
       .sidType = 1, .sid = "12345678901", .oidType = 4, .oid = "OWNER0001",
       .cryptId = "12345678901", .cryptIdSent = "45678901"},
      {.mode = 2, .pinFormat = 2, .rsa = 3, .sidType = 5, .sid = "TERM05", .oidType = 2,
       .oid = "OWNER000002", .cryptId = "TERM5", .cryptIdSent = "000TERM5"},
      {.spec = "0700", .mode = 2, .keyLength = 24, .pinFormat = 3, .rsa = 4},
      // Planted faults.
      {.mode = 2, .pinFormat = 3, .rsa = 3, .fault = Fault::kFlipMac, .failing = {"mac"}},
      {.mode = 2, .keyLength = 24, .pinFormat = 3, .rsa = 3, .fault = Fault::kWrongPin,
       .failing = {"item.ep2:EncPIN"}},
      // A wrong key opens a raw block that starts with 0x7F once in 256
      // times; its session key is then wrong.
      {.version = 0x20, .mode = 2, .pinFormat = 2, .rsa = 2, .fault = Fault::kWrongRsaKey,
       .failing = {"mac", "item.ep2:AppPAN", "item.ep2:Track2Dat", "item.ep2:EncPIN"},
       .mayFail = {"cryptogram", "cryptogram.sender_id", "cryptogram.session_key",
                   "cryptogram.secret"}},
      {.mode = 1, .pinFormat = 2, .fault = Fault::kPinFormat, .failing = {"item.ep2:EncPIN"}},
      {.spec = "0601", .mode = 1, .keyLength = 24, .fault = Fault::kXmlAltered,
       .failing = {"mac", "xml.tree"}},
      {.mode = 2, .rsa = 3, .fault = Fault::kSenderId, .failing = {"header.sender_id"}},
      {.fault = Fault::kAttribute, .failing = {"xml.tree"}},
      {.fault = Fault::kMissingElement, .failing = {"xml.tree"}},
      {.mode = 1, .pinFormat = 2, .fault = Fault::kPinFill, .failing = {"item.ep2:EncPIN"}},
  };
  // clang-format on
  const RsaKey* keys[] = {nullptr, k1020, k1024, k2048, k2048};
  std::string expectations;
  std::vector<std::string> args = {"check", "--expect", dir->file("ours.json")};
  for (size_t i = 0; i < cases.size(); ++i) {
    const OurCase& c = cases[i];
    const std::string key = c.mode ? test::RandomBytes(rng, c.keyLength) : "";
    std::string xml = RequestXml("", "", ""), expectedXml = xml, items;
    if (c.fault == Fault::kAttribute) expectedXml.replace(expectedXml.find("\"17\""), 4, "\"18\"");
    if (c.fault == Fault::kMissingElement)
      expectedXml.insert(expectedXml.find("   </ep2:AutReq>"), Tag("ep2:CurrC", "756"));
    if (c.pinFormat) {
      const int made = c.fault == Fault::kPinFormat ? 5 - c.pinFormat : c.pinFormat;
      // A format-2 block must be filled with F, not 0.
      const std::string pinKey = Variant(key, 4);
      const std::string block = c.fault == Fault::kPinFill
                                    ? TSECep2Security::SECTrippleDESEncrypt(
                                          pinKey.substr(0, 8), pinKey.substr(8, 8),
                                          pinKey.substr(0, 8), FromHex("2412340000000000"))
                                    : PinBlock(key, "1234", made);
      xml = RequestXml(B64(Encrypt(key, kPAN)), B64(Encrypt(key, kTrack2)), B64(block));
      expectedXml = RequestXml("x", "x", "x");
      items = Json(R"(, "items": [{"name": "ep2:AppPAN", "clear": %},
                    {"name": "ep2:Track2Dat", "clear": %},
                    {"name": "ep2:EncPIN", "format": %, "pin": %}])",
                   {Js(kPAN), Js(kTrack2), Num(c.pinFormat),
                    Js(c.fault == Fault::kWrongPin ? "1235" : "1234")});
    }
    const RsaKey* rsa = keys[c.rsa];
    const std::string crypt = c.mode == 2 ? Cryptogram(*rsa, c.cryptId, key) : "";
    std::string frame = Write(xml, c.version, c.spec, c.mode, key, c.macVariant, c.sidType, c.sid,
                              c.oidType, c.oid, crypt);
    if (c.fault == Fault::kFlipMac) frame[frame.size() - xml.size() - 1] ^= 0x01;
    if (c.fault == Fault::kXmlAltered) frame[frame.find("1250") + 3] = '1';
    const std::string file = dir->file("our" + Num(static_cast<long>(i)) + ".bin");
    test::WriteFile(file, frame);
    args.insert(args.end(), {"--frame", file});

    std::string e = Json(R"({"sender_id_length": %, "owner_id_length": %, "xml": %,
                             "header": {"version": %, "spec_version": %, "mode": %)",
                         {Num(kSenderIdLength), Num(kOwnerIdLength), Js(expectedXml),
                          Num(c.version), Js(c.version >= 0x20 ? c.spec : ""), Num(c.mode)});
    if (c.mode == 2) {
      e += Json(R"(, "sender_id_type": %, "sender_id": %, "owner_id_type": %, "owner_id": %,
                   "key_index": 5, "cryptogram_length": %)",
                {Num(c.sidType), JsHex(c.fault == Fault::kSenderId ? "TERMINAX" : c.sid),
                 Num(c.oidType), JsHex(c.oid), Num(static_cast<long>(crypt.size()))});
    }
    e += "}" + items;
    if (c.mode == 1) e += ", \"session_key\": " + JsHex(key);
    if (c.mode) e += ", \"mac_variant\": " + Num(c.macVariant);
    if (c.mode == 2) {
      const RsaKey* opener = c.fault == Fault::kWrongRsaKey ? other1024 : rsa;
      const std::string privateKey =
          c.rsa == 4 ? Json(R"({"n": %, "e": %, "d": %})",
                            {JsHex(opener->n), JsHex(opener->e), JsHex(opener->d)})
                     : Js(opener->pem);
      e += Json(R"(, "private_key": %, "cryptogram": {"sender_id": %, "session_key": %,
                   "secret": %, "form": %})",
                {privateKey, JsHex(c.cryptIdSent), JsHex(key), JsHex(kSecret),
                 Js(c.keyLength == 24 ? "oaep" : "raw")});
    }
    expectations += (i ? ",\n" : "") + e + "}";
  }
  JsonFile("ours.json", "[" + expectations + "]");

  const std::vector<MockResult> results = RunMock(args, 1, cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + Num(static_cast<long>(i)) + "\n" + results[i].Describe());
    const OurCase& c = cases[i];
    EXPECT_EQ(results[i].ok, c.failing.empty());
    std::set<std::string> failed = results[i].Failed();
    for (const std::string& name : c.mayFail) failed.erase(name);
    EXPECT_EQ(failed, c.failing);
    if (!c.mayFail.empty()) {
      EXPECT_TRUE(!results[i].Passed("cryptogram") || !results[i].Passed("cryptogram.session_key"));
    }
    // Every check that applies was made.
    for (const char* name :
         {"frame", "header.version", "header.mode", "xml.wellformed", "xml.tree"}) {
      EXPECT_TRUE(results[i].checks.count(name)) << name;
    }
    EXPECT_EQ(results[i].checks.count("mac"), c.mode ? 1u : 0u);
    EXPECT_EQ(results[i].checks.count("cryptogram"), c.mode == 2 ? 1u : 0u);
    EXPECT_EQ(results[i].checks.count("item.ep2:EncPIN"), c.pinFormat ? 1u : 0u);
  }
  EXPECT_NE(results[4].Detail("mac").find("variant 2"), std::string::npos);
  EXPECT_NE(results[6].Detail("cryptogram").find("raw"), std::string::npos);
  EXPECT_NE(results[7].Detail("cryptogram").find("oaep"), std::string::npos);
  EXPECT_NE(results[13].Detail("item.ep2:EncPIN").find("format digit is 3, expected 2"),
            std::string::npos);
  EXPECT_NE(results[18].Detail("item.ep2:EncPIN").find("not filled with F"), std::string::npos);
}

// Cryptograms inside the message: each encrypted item is checked under the
// key of its own ATC entry.
TEST_F(MockHost, ItemsUnderTheKeysOfTheirATCEntriesPassTheMock) {
  const std::string frameKey = test::RandomBytes(rng, 16);
  const std::string key1 = test::RandomBytes(rng, 24), key2 = test::RandomBytes(rng, 16);
  const std::string xml = "<ep2:AutRsp>" + Tag("ep2:AcqTC", B64("TC01")) +
                          Tag("ep2:SessKeyCryp", B64(Cryptogram(*k2048, "TERM0001", key1))) +
                          Tag("ep2:AppPAN", B64(Encrypt(key1, kPAN))) +
                          Tag("ep2:AcqTC", B64("TC02")) +
                          Tag("ep2:SessKeyCryp", B64(Cryptogram(*k2048, "TERM0002", key2))) +
                          Tag("ep2:AppPAN", B64(Encrypt(key2, kPAN2))) +
                          Tag("ep2:Track2Dat", B64(Encrypt(frameKey, kTrack2))) + "</ep2:AutRsp>";
  test::WriteFile(dir->file("atc.bin"), Write(xml, 0x30, "0630", 1, frameKey, 2));
  // The second expectation swaps the entries: both PANs must then fail.
  std::string e;
  for (const auto& [first, second] : {std::pair{0, 1}, std::pair{1, 0}}) {
    e += Json(R"(, {"session_key": %, "private_key": %, "mac_variant": 2, "items": [
                 {"name": "ep2:AppPAN", "clear": %, "entry": %},
                 {"name": "ep2:AppPAN", "clear": %, "occurrence": 2, "entry": %},
                 {"name": "ep2:Track2Dat", "clear": %}]})",
              {JsHex(frameKey), Js(k2048->pem), Js(kPAN), Num(first), Js(kPAN2), Num(second),
               Js(kTrack2)});
  }
  const auto results = RunMock({"check", "--expect", JsonFile("atc.json", "[" + e.substr(1) + "]"),
                                "--frame", dir->file("atc.bin"), "--frame", dir->file("atc.bin")},
                               1, 2);
  EXPECT_TRUE(results[0].ok) << results[0].Describe();
  EXPECT_TRUE(results[0].Passed("item.ep2:AppPAN[2]")) << results[0].Describe();
  EXPECT_EQ(results[1].Failed(), (std::set<std::string>{"item.ep2:AppPAN", "item.ep2:AppPAN[2]"}))
      << results[1].Describe();
}

// --- the mock's frames read by our side, through files ---

struct MockCase {
  std::string name;
  std::string spec;  // JSON members of the frame description
  int version = 0x30;
  int streamCode = 0;
  int macState = 0;  // 0: no MAC
};

TEST_F(MockHost, MockFramesAreReadByOurStreamAndSecurity) {
  const std::string key16 = test::RandomBytes(rng, 16), key24 = test::RandomBytes(rng, 24);
  // A mode-2 request with encrypted items. The cryptogram's id: a long one
  // keeps its last 8 characters, a short one is filled with "0" in front.
  auto secured = [&](int version, const std::string& key, const RsaKey& rsa, int format,
                     const std::string& id) {
    return Json(R"("xml": %, "version": %, "mode": 2, "session_key": %,
                   "sender_id_type": 5, "sender_id": %, "owner_id_type": 4, "owner_id": %,
                   "key_index": 7, "public_key": %, "cryptogram_id": %, "secret": %,
                   "encrypt": [{"name": "ep2:AppPAN", "clear": %},
                               {"name": "ep2:Track2Dat", "clear": %},
                               {"name": "ep2:EncPIN", "pin": "24680", "format": %}])",
                {Js(RequestXml("x", "x", "x")), Num(version), JsHex(key), JsHex("TERM05"),
                 JsHex("OWNER0001"), Js(rsa.pem), Js(id), JsHex(kSecret), Js(kPAN), Js(kTrack2),
                 Num(format)});
  };
  const std::string plain = "\"xml\": " + Js(RequestXml("", "", ""));
  const std::string full = secured(0x30, key24, *k2048, 3, "ABTERM0005");
  auto broken = [&](const std::string& members) {
    return full + ", \"broken\": {" + members + "}";
  };
  const std::vector<MockCase> cases = {
      {"v10", plain + ", \"version\": 16", 0x10},
      {"v20mac",
       plain + Json(R"(, "version": 32, "spec_version": "0601", "mode": 1, "session_key": %)",
                    {JsHex(key16)}),
       0x20, 0, 2},
      {"v30mac", plain + Json(R"(, "mode": 1, "mac_variant": 2, "session_key": %)", {JsHex(key24)}),
       0x30, 0, 3},
      {"full24", full, 0x30, 0, 2},
      {"full16", secured(0x2F, key16, *k1024, 2, "TERM5"), 0x2F, 0, 2},
      {"block1020", secured(0x20, key16, *k1020, 3, "TERM5"), 0x20, 0, 2},
      {"badmac", broken(R"("kind": "bad_mac")"), 0x30, 0, 4},
      {"truncated", broken(R"("kind": "truncated", "keep": 40)"), 0x30, 1004},
      {"longer", broken(R"("kind": "wrong_length")"), 0x30, 1004},
      {"shorter", broken(R"("kind": "wrong_length", "delta": -3)"), 0x30, 1004},
      {"mode3", broken(R"("kind": "unknown_mode")"), 0x30, 1002},
      {"root", broken(R"("kind": "unexpected_root", "root": "ep2:AutRsp")"), 0x30, 0, 2},
      {"missing", broken(R"("kind": "missing_element", "element": "ep2:TrmID")"), 0x30, 0, 2},
      {"fixed",
       broken(R"("kind": "wrong_fixed_value", "element": "ep2:TrmID", "value": "87654321")"), 0x30,
       0, 2},
  };
  std::string specs;
  for (const MockCase& c : cases) specs += ",\n{\"name\": " + Js(c.name) + ", " + c.spec + "}";
  int status = -1;
  const std::string out =
      test::RunMockEp2Host({"build", "--spec", JsonFile("specs.json", "[" + specs.substr(1) + "]"),
                            "--out-dir", dir->path()},
                           &status);
  ASSERT_EQ(status, 0) << out;

  config.key = k2048;
  for (const MockCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Split s = Read(test::ReadFile(dir->file(c.name + ".bin")));
    ASSERT_EQ(s.rc, c.streamCode);
    if (c.streamCode != 0) continue;
    EXPECT_EQ(s.h.sVersionNumber, Byte(c.version));
    EXPECT_EQ(ToHex(s.h.sSpecVersionNumber), c.version < 0x20     ? ""
                                             : c.name == "v20mac" ? "0601"
                                                                  : "0630");
    if (c.macState == 0) {
      EXPECT_EQ(s.h.iEncoding, 0);
      EXPECT_EQ(s.xml, RequestXml("", "", ""));  // taken as it was given
      continue;
    }
    const auto sdc = Security(s);
    const bool mode2 = c.spec.find("\"mode\": 2") != std::string::npos;
    if (!mode2) {
      EXPECT_EQ(s.h.iEncoding, 1);
      sdc->SDCSetSessionKey(c.name == "v20mac" ? key16 : key24);
      EXPECT_EQ(VerifyMac(*sdc), c.macState);
      continue;
    }
    EXPECT_EQ(s.xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ep2:ep2 ", 0), 0u);
    EXPECT_EQ(s.h.iEncoding, 2);
    EXPECT_EQ(s.h.iSenderIDType, 5);
    EXPECT_EQ(s.h.sSenderIdentifier, "TERM05");
    EXPECT_EQ(s.h.iPublicKeyOwnerIdentifierType, 4);
    EXPECT_EQ(s.h.sPublicKeyOwnerIdentifier, "OWNER0001");
    EXPECT_EQ(s.h.iPublicKeyIndex, 7);
    const bool oaep = c.spec.find(ToHex(key24)) != std::string::npos;
    const RsaKey* rsa = c.name == "full16" ? k1024 : c.name == "block1020" ? k1020 : k2048;
    EXPECT_EQ(s.h.iSessionKeyCryptogramLength, static_cast<int>(rsa->n.size()));
    std::string id, key, secret, data;
    ASSERT_EQ(sdc->SDCDecryptSessionKeyCryptogram(sec, rsa->d, rsa->n, id, key, secret, data), 0);
    EXPECT_EQ(id, oaep ? "TERM0005" : "000TERM5");
    EXPECT_EQ(key, oaep ? key24 : key16);
    EXPECT_EQ(secret, kSecret);
    EXPECT_EQ(VerifyMac(*sdc), c.macState);

    // The message content, with the broken variants' changes.
    EXPECT_EQ(ElementText(s.xml, "ep2:TrmID"), c.name == "missing" ? "<missing>"
                                               : c.name == "fixed" ? "87654321"
                                                                   : "12345678");
    EXPECT_EQ(s.xml.find("<ep2:AutReq") == std::string::npos, c.name == "root");
    EXPECT_EQ(s.xml.find("<ep2:AutRsp msgnum=\"17\">") != std::string::npos, c.name == "root");
    // The encrypted items decrypt to their values.
    config.above520 = c.name != "full16";  // PIN block format 3, else 2
    sdc->SDCAddEncryptedItem("ep2:AppPAN", UnB64(ElementText(s.xml, "ep2:AppPAN")), "cn", "E");
    sdc->SDCAddEncryptedItem("ep2:Track2Dat", UnB64(ElementText(s.xml, "ep2:Track2Dat")), "cn",
                             "E");
    sdc->SDCAddEncryptedItem("ep2:EncPIN", UnB64(ElementText(s.xml, "ep2:EncPIN")), "b", "E");
    EXPECT_EQ(Item(*sdc, 0), kPAN);
    EXPECT_EQ(Item(*sdc, 1), kTrack2 + "F");
    EXPECT_EQ(Item(*sdc, 2), "24680");
  }
}

// Cryptograms inside a mock message pair with their ATC values in our
// received-message security.
TEST_F(MockHost, MockATCEntriesGiveTheirKeysToOurItems) {
  const std::string frameKey = test::RandomBytes(rng, 16);
  const std::string key1 = test::RandomBytes(rng, 24), key2 = test::RandomBytes(rng, 24);
  const std::string xml =
      "<ep2:AutRsp><ep2:AcqTC>VEMx</ep2:AcqTC><ep2:SessKeyCryp/><ep2:AppPAN/>"
      "<ep2:AcqTC>VEMy</ep2:AcqTC><ep2:SessKeyCryp/><ep2:AppPAN/></ep2:AutRsp>";
  const char* entry = R"({"name": "ep2:SessKeyCryp", "occurrence": %, "session_key": %,
                          "public_key": %, "cryptogram_id": %, "secret": %},
                         {"name": "ep2:AppPAN", "occurrence": %, "session_key": %, "clear": %})";
  const std::string spec = Json(R"({"xml": %, "mode": 1, "session_key": %, "encrypt": [%, %]})",
                                {Js(xml), JsHex(frameKey),
                                 Json(entry, {"1", JsHex(key1), Js(k2048->pem), "\"TERM0001\"",
                                              JsHex(kSecret), "1", JsHex(key1), Js(kPAN)}),
                                 Json(entry, {"2", JsHex(key2), Js(k2048->pem), "\"TERM0002\"",
                                              JsHex(kSecret), "2", JsHex(key2), Js(kPAN2)})});
  int status = -1;
  const std::string out = test::RunMockEp2Host(
      {"build", "--spec", JsonFile("atcspec.json", spec), "--out", dir->file("atcmock.bin")},
      &status);
  ASSERT_EQ(status, 0) << out;
  const Split s = Read(test::ReadFile(dir->file("atcmock.bin")));
  ASSERT_EQ(s.rc, 0);

  config.key = k2048;
  config.above700 = true;  // 24-byte keys under OAEP
  const auto sdc = Security(s);
  sdc->SDCSetSessionKey(frameKey);
  EXPECT_EQ(VerifyMac(*sdc), 2);
  for (int i = 1; i <= 2; ++i) {
    sdc->SDCAddEncryptedItem("ep2:AcqTC", UnB64(ElementText(s.xml, "ep2:AcqTC", i)), "b", "E");
    sdc->SDCAddEncryptedItem("ep2:SessKeyCryp", UnB64(ElementText(s.xml, "ep2:SessKeyCryp", i)),
                             "b", "");
    sdc->SDCAddEncryptedItem("ep2:AppPAN", UnB64(ElementText(s.xml, "ep2:AppPAN", i)), "cn", "E");
  }
  ASSERT_EQ(sdc->SDCGetATCCount(), 2);
  EXPECT_EQ(sdc->SDCGetATC(1), "TC2");
  EXPECT_EQ(sdc->SDCGetKey(0), key1);
  EXPECT_EQ(sdc->SDCGetKey(1), key2);
  EXPECT_EQ(Item(*sdc, 0), kPAN);
  EXPECT_EQ(Item(*sdc, 1), kPAN2);
  EXPECT_EQ(sdc->SDCGetSessionKey(), frameKey);
}

// --- over loopback: the mock as server ---

TEST_F(MockHost, MockServerChecksOurRequestsAndAnswersAsTold) {
  const std::string key = test::RandomBytes(rng, 24), wrongKey = test::RandomBytes(rng, 16);
  const std::string request = RequestXml(B64(Encrypt(key, kPAN)), B64(Encrypt(key, kTrack2)),
                                         B64(PinBlock(key, "7531", 3)));
  const std::string frame0 = Write(request, 0x30, "0630", 2, key, 1, 3, "TERMINAL", 0,
                                   "OWNER000001", Cryptogram(*k2048, "TERMINAL", key));
  const std::string plain = RequestXml("", "", "");
  const std::string frame1 = Write(plain, 0x30, "0630", 1, wrongKey, 1);
  const std::string frame2 = Write(plain, 0x10, "", 0, "", 0);

  const std::string expect = Json(R"([
      {"header": {"version": 48, "mode": 2, "sender_id": %}, "xml": %, "private_key": %,
       "mac_variant": 1, "items": [{"name": "ep2:AppPAN", "clear": %},
                                   {"name": "ep2:Track2Dat", "clear": %},
                                   {"name": "ep2:EncPIN", "format": 3, "pin": "7531"}]},
      {"session_key": %},
      {"header": {"version": 16, "mode": 0}, "xml": %},
      {"frame_error": "exceeds the limit"},
      {"frame_error": "says 100 bytes, 10 follow"}])",
                                  {JsHex("TERMINAL"), Js(RequestXml("x", "x", "x")), Js(k2048->pem),
                                   Js(kPAN), Js(kTrack2), JsHex(key.substr(0, 16)), Js(plain)});
  // The first answer is MACed with the key our cryptogram carried and holds
  // a PAN encrypted under it; the host then waits until we close.
  const std::string response = Json(R"([
      {"build": {"xml": "<ep2:ep2><ep2:AutRsp><ep2:AppPAN/></ep2:AutRsp></ep2:ep2>", "mode": 1,
                 "mac_variant": 2, "session_key": "exchange",
                 "encrypt": [{"name": "ep2:AppPAN", "clear": %}]},
       "after": "keep"},
      {"action": "reset"}, {"action": "close"}, {"action": "close"},
      {"action": "frame", "frame_hex": "00000002 10 00"}])",
                                    {Js(kPAN2)});
  test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "server", "--connections", "5",
                           "--max-frame", "100000", "--expect", JsonFile("srv-expect.json", expect),
                           "--response", JsonFile("srv-response.json", response), "--result",
                           dir->file("srv-result.json")});
  const std::string portLine = mock.Line(20s);
  ASSERT_EQ(portLine.rfind("PORT ", 0), 0u) << portLine;
  const auto port = static_cast<uint16_t>(std::stoi(portLine.substr(5)));

  // 0: our mode-2 request and the host's answer.
  int err = 0;
  int fd = Connect(port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendAll(fd, frame0));
  const Split answer = Read(ReadFrame(fd, &err));
  pollfd open{fd, POLLIN, 0};
  EXPECT_EQ(::poll(&open, 1, 300), 0);  // kept open: neither data nor the end
  ::close(fd);
  ASSERT_EQ(answer.rc, 0);
  EXPECT_EQ(answer.h.iEncoding, 1);
  const auto sdc = Security(answer);
  sdc->SDCSetSessionKey(key);
  EXPECT_EQ(VerifyMac(*sdc), 3);
  sdc->SDCAddEncryptedItem("ep2:AppPAN", UnB64(ElementText(answer.xml, "ep2:AppPAN")), "cn", "E");
  EXPECT_EQ(Item(*sdc, 0), kPAN2);

  // 1: a MAC under a key the host does not expect; it resets.
  fd = Connect(port);
  ASSERT_TRUE(SendAll(fd, frame1));
  EXPECT_EQ(ReadFrame(fd, &err), "");
  EXPECT_EQ(err, ECONNRESET);
  ::close(fd);
  // 2: closed without an answer.
  fd = Connect(port);
  ASSERT_TRUE(SendAll(fd, frame2));
  EXPECT_EQ(ReadFrame(fd, &err), "");
  EXPECT_EQ(err, 0);
  ::close(fd);
  // 3: a length above the host's limit is refused without waiting for the
  // body.
  fd = Connect(port);
  ASSERT_TRUE(SendAll(fd, FromHex("7FFFFFFF 10")));
  EXPECT_EQ(ReadFrame(fd, &err), "");
  ::close(fd);
  // 4: a frame cut short; the host still answers, then closes.
  fd = Connect(port);
  ASSERT_TRUE(SendAll(fd, FromHex("00000064") + std::string(10, 'x')));
  ::shutdown(fd, SHUT_WR);
  EXPECT_EQ(ToHex(ReadFrame(fd, &err)), "000000021000");
  EXPECT_EQ(ReadFrame(fd, &err), "");
  ::close(fd);

  std::string out;
  EXPECT_EQ(mock.Wait(20s, &out), 1) << out;
  const auto results = ParseResults(out);
  ASSERT_EQ(results.size(), 5u) << out;
  EXPECT_TRUE(results[0].ok) << results[0].Describe();
  EXPECT_TRUE(results[0].Passed("item.ep2:EncPIN"));
  EXPECT_EQ(results[1].Failed(), std::set<std::string>{"mac"});
  for (int i : {2, 3, 4}) EXPECT_TRUE(results[i].ok) << results[i].Describe();
  const std::string json = test::ReadFile(dir->file("srv-result.json"));
  EXPECT_NE(json.find("\"response\": \"reset\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"response\": \"closed without answer\""), std::string::npos);
}

// --- over loopback: the mock as client ---

TEST_F(MockHost, MockClientRequestIsReadByUsAndChecksOurAnswer) {
  const int lfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(lfd, 1), 0);
  ASSERT_EQ(::getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len), 0);
  const std::unique_ptr<int, void (*)(int*)> closer(new int(lfd), [](int* p) {
    ::close(*p);
    delete p;
  });

  const std::string key = test::RandomBytes(rng, 16);
  const std::string spec = Json(R"({"xml": %, "version": 32, "spec_version": "0601", "mode": 2,
      "session_key": %, "sender_id": %, "owner_id": %, "public_key": %, "secret": %,
      "encrypt": [{"name": "ep2:AppPAN", "clear": %},
                  {"name": "ep2:EncPIN", "pin": "4321", "format": 2}]})",
                                {Js(RequestXml("x", "", "x")), JsHex(key), JsHex("TERMINAL"),
                                 JsHex("OWNER000001"), Js(k1024->pem), JsHex(kSecret), Js(kPAN)});
  const std::string expect = Json(R"({"header": {"version": 48, "spec_version": "0630", "mode": 1},
      "xml": %, "session_key": "exchange", "mac_variant": 2,
      "items": [{"name": "ep2:AppPAN", "clear": %}]})",
                                  {Js(RequestXml("x", "", "")), Js(kPAN2)});
  test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "client", "--port",
                           Num(ntohs(a.sin_port)), "--spec", JsonFile("cl-spec.json", spec),
                           "--expect", JsonFile("cl-expect.json", expect), "--result",
                           dir->file("cl-result.json")});
  pollfd p{lfd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 20000), 1);
  const int fd = Bounded(::accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC));
  ASSERT_GE(fd, 0);
  int err = 0;
  const Split s = Read(ReadFrame(fd, &err));
  ASSERT_EQ(s.rc, 0);
  EXPECT_EQ(s.h.sSenderIdentifier, "TERMINAL");
  EXPECT_EQ(s.h.iSessionKeyCryptogramLength, 128);

  config.above520 = false;  // PIN block format 2
  const auto sdc = Security(s);
  std::string id, opened, secret, data;
  ASSERT_EQ(sdc->SDCDecryptSessionKeyCryptogram(sec, k1024->d, k1024->n, id, opened, secret, data),
            0);
  EXPECT_EQ(opened, key);
  EXPECT_EQ(id, "TERMINAL");
  EXPECT_EQ(VerifyMac(*sdc), 2);
  sdc->SDCAddEncryptedItem("ep2:AppPAN", UnB64(ElementText(s.xml, "ep2:AppPAN")), "cn", "E");
  sdc->SDCAddEncryptedItem("ep2:EncPIN", UnB64(ElementText(s.xml, "ep2:EncPIN")), "b", "E");
  EXPECT_EQ(Item(*sdc, 0), kPAN);
  EXPECT_EQ(Item(*sdc, 1), "4321");

  // Our answer under the key the request carried.
  const std::string answer = RequestXml(B64(Encrypt(opened, kPAN2)), "", "");
  ASSERT_TRUE(SendAll(fd, Write(answer, 0x30, "0630", 1, opened, 2)));
  ::close(fd);
  std::string out;
  EXPECT_EQ(mock.Wait(20s, &out), 0) << out;
  const auto results = ParseResults(out);
  ASSERT_EQ(results.size(), 1u) << out;
  EXPECT_TRUE(results[0].ok) << results[0].Describe();
  EXPECT_TRUE(results[0].Passed("item.ep2:AppPAN"));
}

// --- misuse, refusals and bounds ---

TEST_F(MockHost, MisuseEndsWithAMessageAndWaitsAreBounded) {
  int status = 0;
  test::RunMockEp2Host({"check", "--expect", dir->file("none.json"), "--frame", "x"}, &status);
  EXPECT_EQ(status, 2);
  const std::string bad = JsonFile("bad.json", R"({"xml": "<a/>", "broken": {"kind": "odd"}})");
  test::RunMockEp2Host({"build", "--spec", bad, "--out", dir->file("b.bin")}, &status);
  EXPECT_EQ(status, 2);
  test::RunMockEp2Host({"server", "--expect", bad}, &status);
  EXPECT_EQ(status, 2);
  // Nobody connects: the server gives up after its time-out.
  const std::string empty = JsonFile("empty.json", "{}");
  const std::string out =
      test::RunMockEp2Host({"server", "--timeout", "1", "--expect", empty, "--response", empty,
                            "--result", dir->file("none-result.json")},
                           &status);
  EXPECT_EQ(status, 1) << out;
  const auto results = ParseResults(out);
  ASSERT_EQ(results.size(), 1u) << out;
  EXPECT_EQ(results[0].Failed(), std::set<std::string>{"connect"});

  // A refusal is expected by its text: a frame with another fault, or one
  // that is sound, fails the check.
  const std::string good = Write(RequestXml("", "", ""), 0x30, "0630", 0, "", 0);
  test::WriteFile(dir->file("cut.bin"), good.substr(0, good.size() - 1));
  test::WriteFile(dir->file("good.bin"), good);
  std::string deep;
  for (int i = 0; i < 300; ++i) deep = "<a>" + deep + "</a>";
  test::WriteFile(dir->file("deep.bin"), Write(deep, 0x30, "0630", 0, "", 0));
  const std::string refusals = JsonFile(
      "refusals.json",
      R"([{"frame_error": "follow"}, {"frame_error": "security mode"}, {"frame_error": "follow"},
          {}])");
  const auto checked = RunMock(
      {"check", "--expect", refusals, "--frame", dir->file("cut.bin"), "--frame",
       dir->file("cut.bin"), "--frame", dir->file("good.bin"), "--frame", dir->file("deep.bin")},
      1, 4);
  EXPECT_TRUE(checked[0].ok);
  EXPECT_NE(checked[0].Detail("frame").find("follow"), std::string::npos);
  EXPECT_EQ(checked[1].Failed(), std::set<std::string>{"frame"});
  EXPECT_EQ(checked[2].Failed(), std::set<std::string>{"frame"});
  // Nesting is bounded.
  EXPECT_EQ(checked[3].Failed(), std::set<std::string>{"xml.wellformed"});
  EXPECT_NE(checked[3].Detail("xml.wellformed").find("deeper"), std::string::npos);
}

}  // namespace
}  // namespace kal
