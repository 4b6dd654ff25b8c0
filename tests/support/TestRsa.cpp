// Textbook RSA on byte strings: the PKCS #1 v2.1 oaep-int.txt values of
// python3-cryptography-vectors, edge cases, error results, and
// differential tests against OpenSSL's raw RSA (no padding).
#include "support/Rsa.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <map>
#include <random>
#include <string>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

TFGInt Bytes(std::string_view b) {
  TFGInt n;
  Base256StringToFGInt(b, n);
  return n;
}

std::string Encrypt(std::string_view p, const TFGInt& e, const TFGInt& n) {
  std::string out;
  EXPECT_EQ(RSAEncrypt(p, e, n, out), TRSAResult::Ok);
  return out;
}

std::string Decrypt(std::string_view c, const TFGInt& d, const TFGInt& n) {
  std::string out;
  EXPECT_EQ(RSADecrypt(c, d, n, out), TRSAResult::Ok);
  return out;
}

// --- PKCS #1 v2.1 intermediate values (RSAES-OAEP, 1024-bit key) ---

class OaepInt : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [title, bytes] : test::ReadPkcs1HexBlocks(
             test::CryptoVectorFile("asymmetric/RSA/pkcs-1v2-1d2-vec/oaep-int.txt")))
      blocks_.emplace(title, bytes);  // the first block of each title
  }
  const std::string& Block(const std::string& title) {
    auto it = blocks_.find(title);
    if (it == blocks_.end()) throw std::runtime_error("no block " + title);
    return it->second;
  }
  std::map<std::string, std::string> blocks_;
};

TEST_F(OaepInt, EncryptingTheEncodedMessageGivesTheCiphertext) {
  const TFGInt n = Bytes(Block("Modulus")), e = Bytes(Block("Public exponent"));
  const std::string em = Block("EM = maskedSeed || maskedDB");
  ASSERT_EQ(em.size(), 127u);
  EXPECT_EQ(ToHex(Encrypt(em, e, n)), ToHex(Block("Ciphertext, the RSA encryption of EM")));
}

TEST_F(OaepInt, DecryptingTheCiphertextGivesTheEncodedMessageInModulusLength) {
  const TFGInt n = Bytes(Block("Modulus")), d = Bytes(Block("Private exponent"));
  const std::string c = Block("c, the ciphertext");
  const std::string em = Block("m = m2 + q*h (= EM)");
  EXPECT_EQ(ToHex(Decrypt(c, d, n)), ToHex(std::string(1, '\0') + em));
}

TEST_F(OaepInt, ChineseRemainderFormGivesTheSameResult) {
  const TFGInt n = Bytes(Block("Modulus"));
  const TFGInt p = Bytes(Block("Prime 1")), q = Bytes(Block("Prime 2"));
  const TFGInt dp = Bytes(Block("Prime exponent 1")), dq = Bytes(Block("Prime exponent 2"));
  std::string out;
  ASSERT_EQ(RSADecrypt(Block("c, the ciphertext"), TFGInt(), n, out, p, q, dp, dq), TRSAResult::Ok);
  EXPECT_EQ(ToHex(out), ToHex(std::string(1, '\0') + Block("m = m2 + q*h (= EM)")));
  // p and q swapped (with their exponents) still work.
  ASSERT_EQ(RSADecrypt(Block("c, the ciphertext"), TFGInt(), n, out, q, p, dq, dp), TRSAResult::Ok);
  EXPECT_EQ(ToHex(out), ToHex(std::string(1, '\0') + Block("m = m2 + q*h (= EM)")));
  // A wrong prime is refused.
  TFGInt bad;
  FGIntAdd(p, Bytes(FromHex("02")), bad);
  EXPECT_EQ(RSADecrypt(Block("c, the ciphertext"), TFGInt(), n, out, bad, q, dp, dq),
            TRSAResult::InvalidCRTKey);
  // No d and no CRT parameters: an empty exponent.
  EXPECT_EQ(RSADecrypt(Block("c, the ciphertext"), TFGInt(), n, out), TRSAResult::EmptyExponent);
}

// --- OpenSSL keys ---

struct Key {
  EVP_PKEY* pkey = nullptr;
  TFGInt n, e, d, p, q, dp, dq;
  size_t bytes = 0;
  ~Key() { EVP_PKEY_free(pkey); }
};

TFGInt Param(EVP_PKEY* pkey, const char* name) {
  BIGNUM* b = nullptr;
  EXPECT_EQ(EVP_PKEY_get_bn_param(pkey, name, &b), 1) << name;
  std::string s(BN_num_bytes(b), '\0');
  BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
  BN_clear_free(b);
  return Bytes(s);
}

std::unique_ptr<Key> MakeKey(unsigned bits) {
  auto k = std::make_unique<Key>();
  k->pkey = EVP_RSA_gen(bits);
  EXPECT_NE(k->pkey, nullptr);
  k->n = Param(k->pkey, OSSL_PKEY_PARAM_RSA_N);
  k->e = Param(k->pkey, OSSL_PKEY_PARAM_RSA_E);
  k->d = Param(k->pkey, OSSL_PKEY_PARAM_RSA_D);
  k->p = Param(k->pkey, OSSL_PKEY_PARAM_RSA_FACTOR1);
  k->q = Param(k->pkey, OSSL_PKEY_PARAM_RSA_FACTOR2);
  k->dp = Param(k->pkey, OSSL_PKEY_PARAM_RSA_EXPONENT1);
  k->dq = Param(k->pkey, OSSL_PKEY_PARAM_RSA_EXPONENT2);
  k->bytes = (bits + 7) / 8;
  return k;
}

// Raw RSA by OpenSSL: input and output are the modulus length in bytes.
std::string OpenSslRaw(const Key& k, bool encrypt, std::string in) {
  if (in.size() < k.bytes) in.insert(0, k.bytes - in.size(), '\0');
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(k.pkey, nullptr);
  EXPECT_EQ(encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx), 1);
  EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING), 1);
  std::string out(k.bytes, '\0');
  size_t len = out.size();
  const auto* src = reinterpret_cast<const unsigned char*>(in.data());
  auto* dst = reinterpret_cast<unsigned char*>(out.data());
  EXPECT_EQ(encrypt ? EVP_PKEY_encrypt(ctx, dst, &len, src, in.size())
                    : EVP_PKEY_decrypt(ctx, dst, &len, src, in.size()),
            1);
  EVP_PKEY_CTX_free(ctx);
  out.resize(len);
  return out;
}

std::string StripLeadingZeros(std::string s) {
  const size_t i = s.find_first_not_of('\0');
  return i == std::string::npos ? std::string(1, '\0') : s.substr(i);
}

class RsaKey : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { key2048_ = MakeKey(2048).release(); }
  static void TearDownTestSuite() {
    delete key2048_;
    key2048_ = nullptr;
  }
  static Key* key2048_;
};

Key* RsaKey::key2048_ = nullptr;

// Edge cases under a 2048-bit key pair.
TEST_F(RsaKey, A256ByteBlockStartingWith7FRoundTrips) {
  const Key& k = *key2048_;
  std::mt19937_64 rng(7);
  std::string block(256, '\0');
  for (char& c : block) c = static_cast<char>(rng());
  block[0] = 0x7F;
  const std::string c = Encrypt(block, k.e, k.n);
  EXPECT_LE(c.size(), 256u);
  EXPECT_EQ(Decrypt(c, k.d, k.n), block);
}

TEST_F(RsaKey, A255ByteBlockComesBackWithOneLeadingZeroByte) {
  const Key& k = *key2048_;
  std::string block(255, '\x5A');
  block[0] = 0x7F;
  EXPECT_EQ(Decrypt(Encrypt(block, k.e, k.n), k.d, k.n), std::string(1, '\0') + block);
}

TEST_F(RsaKey, AnEmptyMessageEncryptsToOneZeroByte) {
  const Key& k = *key2048_;
  EXPECT_EQ(Encrypt("", k.e, k.n), std::string(1, '\0'));
  EXPECT_EQ(Decrypt("", k.d, k.n), std::string(256, '\0'));
  EXPECT_EQ(Decrypt(std::string(1, '\0'), k.d, k.n), std::string(256, '\0'));
}

TEST_F(RsaKey, RandomBlocksMatchOpenSslRawRsa) {
  const Key& k = *key2048_;
  std::mt19937_64 rng(8);
  for (int round = 0; round < 12; ++round) {
    std::string m(256, '\0');
    for (char& c : m) c = static_cast<char>(rng());
    m[0] = static_cast<char>(static_cast<uint8_t>(m[0]) & 0x3F);  // below n (top bit set)
    if (round % 3 == 0) m[0] = m[1] = 0;
    const std::string refC = OpenSslRaw(k, true, m);
    const std::string c = Encrypt(m, k.e, k.n);
    EXPECT_EQ(ToHex(c), ToHex(StripLeadingZeros(refC)));
    const std::string refD = OpenSslRaw(k, false, refC);
    EXPECT_EQ(ToHex(Decrypt(c, k.d, k.n)), ToHex(refD));
    std::string crt;
    ASSERT_EQ(RSADecrypt(c, TFGInt(), k.n, crt, k.p, k.q, k.dp, k.dq), TRSAResult::Ok);
    EXPECT_EQ(ToHex(crt), ToHex(refD));
    // Leading zero bytes of the input do not change its value.
    EXPECT_EQ(Decrypt(std::string(3, '\0') + c, k.d, k.n), refD);
  }
}

TEST(Rsa, OtherKeySizesMatchOpenSsl) {
  for (unsigned bits : {1024u, 1536u, 3072u}) {
    const auto k = MakeKey(bits);
    std::string m(k->bytes - 1, '\x33');
    m[0] = 0x7F;
    const std::string c = Encrypt(m, k->e, k->n);
    EXPECT_EQ(ToHex(c), ToHex(StripLeadingZeros(OpenSslRaw(*k, true, m)))) << bits;
    EXPECT_EQ(Decrypt(c, k->d, k->n), std::string(1, '\0') + m) << bits;
  }
}

// The output of decryption is exactly the modulus length in bytes,
// also for moduli whose bit length is not a multiple of 8 (the older
// ceil((nb - 1) / 8) differs when nb = 8j + 1).
TEST(Rsa, DecryptionOutputHasTheModulusLength) {
  std::mt19937_64 rng(9);
  for (size_t bits : {17, 63, 64, 65, 511, 512, 513, 1023, 1025, 2047, 2049}) {
    std::string nb((bits + 7) / 8, '\0');
    for (char& c : nb) c = static_cast<char>(rng());
    const size_t extra = nb.size() * 8 - bits;
    nb[0] = static_cast<char>((static_cast<uint8_t>(nb[0]) & (0xFFu >> extra)) | (0x80u >> extra));
    nb.back() = static_cast<char>(nb.back() | 1);
    const TFGInt n = Bytes(nb);
    ASSERT_EQ(n.BitLength(), bits);
    const TFGInt d = Bytes(FromHex("010001"));
    const std::string out = Decrypt(FromHex("02"), d, n);
    EXPECT_EQ(out.size(), nb.size()) << bits;
    TFGInt ref;
    ASSERT_TRUE(FGIntMontgomeryModExp(Bytes(FromHex("02")), d, n, ref));
    EXPECT_EQ(ToHex(StripLeadingZeros(out)), [&] {
      std::string s;
      FGIntToBase256String(ref, s);
      return ToHex(s);
    }()) << bits;
  }
}

// --- Errors the callers can report ---

TEST(Rsa, RepresentativeNotBelowTheModulusIsAnError) {
  const TFGInt n = Bytes(FromHex("00c5")), e = Bytes(FromHex("03"));  // n = 197
  std::string out = "unchanged";
  EXPECT_EQ(RSAEncrypt(FromHex("c5"), e, n, out), TRSAResult::MessageNotBelowModulus);
  EXPECT_EQ(RSAEncrypt(FromHex("0100"), e, n, out), TRSAResult::MessageNotBelowModulus);
  EXPECT_EQ(RSADecrypt(FromHex("c6"), e, n, out), TRSAResult::MessageNotBelowModulus);
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(RSAEncrypt(FromHex("00c4"), e, n, out), TRSAResult::Ok);
  EXPECT_EQ(ToHex(out), "C4");  // 196^3 = (-1)^3 = 196 mod 197
}

TEST(Rsa, InvalidModulusIsAnError) {
  const TFGInt e = Bytes(FromHex("03"));
  std::string out = "unchanged";
  for (const char* hex : {"", "00", "01", "c4", "0100"}) {
    EXPECT_EQ(RSAEncrypt(FromHex("02"), e, Bytes(FromHex(hex)), out), TRSAResult::InvalidModulus)
        << hex;
    EXPECT_EQ(RSADecrypt(FromHex("02"), e, Bytes(FromHex(hex)), out), TRSAResult::InvalidModulus)
        << hex;
  }
  TFGInt negative = Bytes(FromHex("c5"));
  FGIntChangeSign(negative);
  EXPECT_EQ(RSAEncrypt(FromHex("02"), e, negative, out), TRSAResult::InvalidModulus);
  EXPECT_EQ(out, "unchanged");
}

TEST(Rsa, EmptyExponentIsAnError) {
  const TFGInt n = Bytes(FromHex("c5"));
  std::string out = "unchanged";
  EXPECT_EQ(RSAEncrypt(FromHex("02"), Bytes(""), n, out), TRSAResult::EmptyExponent);
  EXPECT_EQ(RSAEncrypt(FromHex("02"), Bytes(FromHex("0000")), n, out), TRSAResult::EmptyExponent);
  EXPECT_EQ(RSADecrypt(FromHex("02"), Bytes(""), n, out), TRSAResult::EmptyExponent);
  EXPECT_EQ(out, "unchanged");
}

}  // namespace
}  // namespace kal
