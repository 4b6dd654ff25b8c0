// RSA strings, OAEP and the session-key cryptogram: the PKCS #1 OAEP
// vectors of python3-cryptography-vectors, OpenSSL decrypting our
// cryptograms and making cryptograms we parse, malformed paddings, and the
// step trace of one encoding.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <functional>
#include <map>
#include <memory>
#include <random>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"
#include "ep2/Ep2Security.h"

namespace kal {
namespace {

using test::ToHex;
using TSEC = TSECep2Security;

struct RsaKey {
  EVP_PKEY* pkey = nullptr;
  std::string n, e, d;

  explicit RsaKey(unsigned bits) : pkey(EVP_RSA_gen(bits)) {
    n = Param(OSSL_PKEY_PARAM_RSA_N);
    e = Param(OSSL_PKEY_PARAM_RSA_E);
    d = Param(OSSL_PKEY_PARAM_RSA_D);
  }
  ~RsaKey() { EVP_PKEY_free(pkey); }
  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(pkey, name, &b);
    std::string s(BN_num_bytes(b), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_free(b);
    return s;
  }

  // OpenSSL's RSA with no padding or with OAEP (SHA-256, MGF1-SHA-256).
  std::string Run(std::string_view in, bool encrypt, bool oaep) const {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
    (encrypt ? EVP_PKEY_encrypt_init : EVP_PKEY_decrypt_init)(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, oaep ? RSA_PKCS1_OAEP_PADDING : RSA_NO_PADDING);
    if (oaep) {
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256());
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256());
    }
    std::string out(1024, '\0');
    size_t len = out.size();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    const int rc = encrypt ? EVP_PKEY_encrypt(ctx, o, &len, p, in.size())
                           : EVP_PKEY_decrypt(ctx, o, &len, p, in.size());
    EVP_PKEY_CTX_free(ctx);
    out.resize(rc == 1 ? len : 0);
    return out;
  }
};

const RsaKey& Key(unsigned bits) {
  static std::map<unsigned, std::unique_ptr<RsaKey>> keys;
  auto& key = keys[bits];
  if (!key) key = std::make_unique<RsaKey>(bits);
  return *key;
}

class SessionKeyCryptogram : public ::testing::Test {
 protected:
  struct Parsed {
    int rc;
    std::string id, key, secret, data;
  };
  Parsed Parse(std::string_view c, const RsaKey& k, bool oaep) {
    Parsed p;
    p.rc = sec.SECParseSessionKeyCryptogramm(c, k.d, k.n, oaep, p.id, p.key, p.secret, p.data);
    return p;
  }
  // Opened with the layout recognised from the data.
  Parsed Open(std::string_view c, const RsaKey& k) {
    Parsed p;
    p.rc = sec.SECOpenSessionKeyCryptogramm(c, k.d, k.n, p.id, p.key, p.secret, p.data);
    return p;
  }
  // The 49 data bytes of a 24-byte key cryptogram.
  std::string Data(std::string_view id, std::string_view key, std::string_view secret) {
    return "\x7F" + std::string(id) + std::string(key) + std::string(secret);
  }

  TSEC sec{4000};
  std::mt19937 rng{7};
  std::string out;
};

// Walks a PKCS #1 vector file: keys, then messages with optional seeds and
// their encryptions.
void ForEachOaepVector(
    const std::string& file,
    const std::function<void(const std::string& n, const std::string& e, const std::string& d,
                             const std::string& m, const std::string& seed, const std::string& c)>&
        f) {
  std::string n, e, d, m, seed, previous;
  int count = 0;
  for (const auto& [title, bytes] : test::ReadPkcs1HexBlocks(test::CryptoVectorFile(file))) {
    if (title == "Modulus") n = bytes;
    if (title == "Exponent") (previous == "Public exponent" ? d : e) = bytes;
    if (title == "Message") m = bytes, seed.clear();
    if (title == "Seed") seed = bytes;
    if (title == "Encryption") f(n, e, d, m, seed, bytes), ++count;
    previous = title;
  }
  EXPECT_EQ(count, 60) << file;
}

TEST_F(SessionKeyCryptogram, Pkcs1OaepVectors) {
  std::map<std::string, std::string> b;
  for (const auto& [title, bytes] : test::ReadPkcs1HexBlocks(
           test::CryptoVectorFile("asymmetric/RSA/pkcs-1v2-1d2-vec/oaep-int.txt")))
    b.emplace(title, bytes);
  std::string em, c, seed, m;
  ASSERT_EQ(
      sec.SECComputeEncodedMessage(nullptr, b["Message to be encrypted"], b["seed"], 1, 128, em),
      0);
  EXPECT_EQ(ToHex(em), ToHex(b["EM = maskedSeed || maskedDB"]));
  ASSERT_EQ(sec.SECRSAEncryptString(em, b["Public exponent"], b["Modulus"], c), 0);
  EXPECT_EQ(ToHex(c), ToHex(b["Ciphertext, the RSA encryption of EM"]));

  // SHA-1 vectors with seeds for keys of 1024 to 2048 bits (1025 to 1031 bits
  // give moduli whose first byte is below 0x80), and SHA-256 vectors.
  for (int variant : {1, 2}) {
    const std::string file = variant == 1 ? "asymmetric/RSA/pkcs-1v2-1d2-vec/oaep-vect.txt"
                                          : "asymmetric/RSA/oaep-custom/oaep-sha256-sha256.txt";
    ForEachOaepVector(file, [&](const std::string& n, const std::string& e, const std::string& d,
                                const std::string& message, const std::string& expectedSeed,
                                const std::string& cipher) {
      const int k = static_cast<int>(n.size());
      if (!expectedSeed.empty()) {
        ASSERT_EQ(sec.SECComputeEncodedMessage(nullptr, message, expectedSeed, variant, k, em), 0);
        ASSERT_EQ(sec.SECRSAEncryptString(em, e, n, c), 0);
        EXPECT_EQ(ToHex(c), ToHex(cipher));
      }
      ASSERT_EQ(sec.SECRSADecryptString(cipher, d, n, true, em), 0);
      EXPECT_EQ(em.size(), n.size() - 1);
      ASSERT_EQ(sec.SECComputeDecodedMessage(nullptr, em, variant, k, seed, m), 0);
      EXPECT_EQ(ToHex(m), ToHex(message));
      if (!expectedSeed.empty()) {
        EXPECT_EQ(ToHex(seed), ToHex(expectedSeed));
      }
      // The same encoded message with its leading zero octet decodes too.
      ASSERT_EQ(sec.SECComputeDecodedMessage(nullptr, '\0' + em, variant, k, seed, m), 0);
      EXPECT_EQ(ToHex(m), ToHex(message));
    });
  }
}

TEST_F(SessionKeyCryptogram, OpenSslDecryptsOurCryptograms) {
  const std::string key16 = "0123456789abcdef", key24 = "0123456789abcdefghijklmn",
                    secret = "SECRET-COMPONENT";
  for (unsigned bits : {2048u, 2047u}) {
    const RsaKey& k = Key(bits);
    // A 16-byte key: a block below the modulus, 41 data bytes and random
    // filling: as long as the modulus, or one byte shorter when the modulus
    // begins with a byte below 0x80.
    ASSERT_EQ(sec.SECGenerateSessionKeyCryptogramm("TERMINAL-0001", key16, secret, k.e, k.n, out),
              0);
    ASSERT_EQ(out.size(), 256u);
    std::string block = k.Run(out, false, false);
    ASSERT_EQ(block.size(), 256u);
    if (bits == 2047) {
      EXPECT_EQ(block[0], '\0');
      block.erase(0, 1);
    }
    EXPECT_EQ(ToHex(block.substr(0, 41)), ToHex("\x7FNAL-0001" + key16 + secret));
    Parsed p = Parse(out, k, false);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.id + p.key + p.secret, "NAL-0001" + key16 + secret);
    EXPECT_EQ(p.data, block);
    EXPECT_EQ(sec.SECSessionKeyCryptogramm(), block);
    p = Open(out, k);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.id + p.key + p.secret + p.data, "NAL-0001" + key16 + secret + block);

    // A 24-byte key: RSAES-OAEP with SHA-256; the identifier is padded.
    ASSERT_EQ(sec.SECGenerateSessionKeyCryptogramm("ID123", key24, secret, k.e, k.n, out), 0);
    ASSERT_EQ(out.size(), 256u);
    EXPECT_EQ(ToHex(k.Run(out, false, true)), ToHex(Data("000ID123", key24, secret)));
    p = Parse(out, k, true);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.id + p.key + p.secret, "000ID123" + key24 + secret);
    // The cryptogram of a 24-byte key is no block of the other form.
    EXPECT_EQ(Parse(out, k, false).rc, 4016);
    p = Open(out, k);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.id + p.key + p.secret, "000ID123" + key24 + secret);
    // OAEP data that starts with another byte than 0x7F is neither layout
    // (below a modulus of a full first byte, whose raw block cannot start
    // with the encoding's zero byte).
    std::string wrongStart = Data("000ID123", key24, secret);
    wrongStart[0] = '\x7E';
    if (bits == 2048) {
      EXPECT_EQ(Open(k.Run(wrongStart, true, true), k).rc, 4016);
    }
  }
}

TEST_F(SessionKeyCryptogram, ParsesOpenSslOaepCryptogramsWithRandomSeeds) {
  const RsaKey& k = Key(1024);
  for (int i = 0; i < 2000; ++i) {
    std::string id(8, '\0'), key(24, '\0'), secret(16, '\0');
    for (std::string* s : {&id, &key, &secret})
      for (char& ch : *s) ch = static_cast<char>(rng());
    const Parsed p = Parse(k.Run(Data(id, key, secret), true, true), k, true);
    ASSERT_EQ(p.rc, 0) << i;
    ASSERT_EQ(p.id + p.key + p.secret, id + key + secret) << i;
  }
}

// MGF1 with SHA-256, written apart from the code under test.
std::string Mgf1(std::string_view seed, size_t length) {
  std::string mask;
  for (uint32_t i = 0; mask.size() < length; ++i) {
    std::string in(seed);
    for (int s = 24; s >= 0; s -= 8) in += static_cast<char>(i >> s);
    unsigned char d[32];
    EVP_Digest(in.data(), in.size(), d, nullptr, EVP_sha256(), nullptr);
    mask.append(reinterpret_cast<char*>(d), 32);
  }
  return mask.substr(0, length);
}

TEST_F(SessionKeyCryptogram, MalformedOaepPaddingsAreRejected) {
  const RsaKey& k = Key(1024);
  const std::string message = Data("ABCDEFGH", std::string(24, 'K'), std::string(16, 'S'));
  unsigned char lHash[32];
  EVP_Digest("", 0, lHash, nullptr, EVP_sha256(), nullptr);
  // An encoded message of 128 bytes with the given DB, first byte and seed.
  auto encode = [](std::string db, char first) {
    const std::string seed(32, '\x5A');
    const std::string dbMask = Mgf1(seed, db.size());
    for (size_t i = 0; i < db.size(); ++i) db[i] ^= dbMask[i];
    std::string masked = seed;
    const std::string seedMask = Mgf1(db, 32);
    for (size_t i = 0; i < 32; ++i) masked[i] ^= seedMask[i];
    return first + masked + db;
  };
  const std::string good = std::string(reinterpret_cast<char*>(lHash), 32) +
                           std::string(95 - 32 - 1 - message.size(), '\0') + '\x01' + message;
  auto withByte = [&](size_t i, char b) {
    std::string db = good;
    db[i] = b;
    return db;
  };
  ASSERT_EQ(Parse(k.Run(encode(good, '\0'), true, false), k, true).rc, 0);
  const std::string cases[] = {
      encode(good, '\x01'),                    // first byte not zero
      encode(withByte(0, good[0] ^ 1), '\0'),  // label hash
      encode(withByte(32, '\x02'), '\0'),      // nonzero byte before the separator
      encode(withByte(45, '\x02'), '\0'),      // separator 0x02
      encode(withByte(45, '\0'), '\0'),        // separator missing: zeros into the message
      encode(good.substr(0, 45) + std::string(50, '\0'), '\0'),  // no separator at all
  };
  for (const std::string& em : cases) {
    const Parsed p = Parse(k.Run(em, true, false), k, true);
    EXPECT_EQ(p.rc, 4015) << ToHex(em);
    EXPECT_EQ(p.key, "");
  }
  // A wrong private key fails instead of giving garbage.
  const RsaKey other(1024);
  const Parsed wrong = Parse(other.Run(message, true, true), k, true);
  EXPECT_TRUE(wrong.rc == 4015 || wrong.rc == 4018) << wrong.rc;  // 4018: value above k's modulus
  EXPECT_EQ(wrong.key + wrong.data, "");
  // A well-formed encoding of data of the wrong form or length.
  EXPECT_EQ(Parse(k.Run(message.substr(0, 40), true, true), k, true).rc, 4005);
  EXPECT_EQ(Parse(k.Run(message.substr(0, 45), true, true), k, true).rc, 4016);
  EXPECT_EQ(Parse(k.Run('\x7E' + message.substr(1), true, true), k, true).rc, 4016);
  EXPECT_EQ(Parse(k.Run(std::string(127, '\x7E'), true, false), k, false).rc, 4016);
}

TEST_F(SessionKeyCryptogram, ChecksOnBuildingAndOnRsa) {
  const RsaKey& k = Key(1024);
  const std::string key(16, 'K'), secret(16, 'S');
  EXPECT_EQ(sec.SECGenerateSessionKeyCryptogramm("ID", std::string(20, 'K'), secret, k.e, k.n, out),
            4002);
  EXPECT_EQ(sec.SECGenerateSessionKeyCryptogramm("ID", key, secret.substr(1), k.e, k.n, out), 4017);
  // Moduli too short for the block (40 bytes) or for the OAEP encoding (114).
  const std::string e3 = "\x03";
  EXPECT_EQ(
      sec.SECGenerateSessionKeyCryptogramm("ID", key, secret, e3, std::string(40, '\xFF'), out),
      4018);
  EXPECT_EQ(sec.SECGenerateSessionKeyCryptogramm("ID", std::string(24, 'K'), secret, e3,
                                                 std::string(114, '\xFF'), out),
            4014);
  EXPECT_EQ(out, "");
  EXPECT_EQ(sec.SECRSAEncryptString(std::string(128, '\xFF'), k.e, k.n, out), 4018);
  EXPECT_EQ(sec.SECRSADecryptString(std::string(129, '\x01'), k.d, k.n, false, out), 4018);
  // A leading zero byte of the modulus does not count for its length.
  ASSERT_EQ(sec.SECGenerateSessionKeyCryptogramm("ID", std::string(24, 'K'), secret, k.e,
                                                 '\0' + k.n, out),
            0);
  EXPECT_EQ(out.size(), 128u);
  EXPECT_EQ(Parse(out, k, true).rc, 0);

  std::string em;
  EXPECT_EQ(
      sec.SECComputeEncodedMessage(nullptr, std::string(63, 'm'), std::string(32, 's'), 2, 128, em),
      4014);
  EXPECT_EQ(sec.SECComputeEncodedMessage(nullptr, "m", std::string(20, 's'), 2, 128, em), 4014);
  ASSERT_EQ(
      sec.SECComputeEncodedMessage(nullptr, std::string(62, 'm'), std::string(32, 's'), 2, 128, em),
      0);
  EXPECT_EQ(em.size(), 127u);
  EXPECT_EQ(sec.SECMGF1(nullptr, "s", 32 * 65536 + 1, 2, out), 4014);
}

TEST_F(SessionKeyCryptogram, EncodingStepTrace) {
  TSECMemo memo;
  std::string em;
  const std::string message = Data("00000042", "0123456789abcdefghijklmn", "SECRET-COMPONENT");
  std::string seed(32, '\0');
  for (int i = 0; i < 32; ++i) seed[i] = static_cast<char>(i);
  ASSERT_EQ(sec.SECComputeEncodedMessage(&memo, message, seed, 2, 128, em), 0);
  std::string text;
  for (const std::string& line : memo) text += line + "\n";
  if (text != test::ReadFile(test::SourceDir() + "/tests/ep2/OaepEncodeTrace.txt")) {
    test::WriteFile("OaepEncodeTrace.actual", text);  // beside the test executable, to compare
    ADD_FAILURE() << "trace differs from tests/ep2/OaepEncodeTrace.txt; see OaepEncodeTrace.actual";
  }
}

}  // namespace
}  // namespace kal
