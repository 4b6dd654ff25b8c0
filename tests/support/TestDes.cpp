// The block-cipher frame with DES and Triple DES: NIST CAVP
// TDES known-answer and multi-block files of python3-cryptography-vectors,
// the FIPS 81 examples, the chain contract, and differential tests against
// OpenSSL (single DES as EDE3 with K || K || K).
#include "support/Des.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <new>
#include <random>
#include <string>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

constexpr auto ECB = TCipherMode::ECBMode;
constexpr auto CBC = TCipherMode::CBCMode;

template <typename Cipher>
std::string Encipher(std::string_view key, TCipherMode mode, std::string_view iv,
                     std::string_view in) {
  Cipher c;
  EXPECT_EQ(c.SetKey(key), TCryptoResult::Ok);
  EXPECT_EQ(c.SetIVector(iv), TCryptoResult::Ok);
  c.SetCipherMode(mode);
  std::string out;
  EXPECT_EQ(c.EncipherData(in, out, false), TCryptoResult::Ok);
  return out;
}

template <typename Cipher>
std::string Decipher(std::string_view key, TCipherMode mode, std::string_view iv,
                     std::string_view in) {
  Cipher c;
  EXPECT_EQ(c.SetKey(key), TCryptoResult::Ok);
  EXPECT_EQ(c.SetIVector(iv), TCryptoResult::Ok);
  c.SetCipherMode(mode);
  std::string out;
  EXPECT_EQ(c.DecipherData(in, out, false), TCryptoResult::Ok);
  return out;
}

// OpenSSL's Triple DES (16- or 24-byte key) without padding.
std::string OpenSsl3Des(bool encrypt, std::string_view key, TCipherMode mode, std::string_view iv,
                        std::string_view in) {
  const EVP_CIPHER* cipher = key.size() == 16
                                 ? (mode == CBC ? EVP_des_ede_cbc() : EVP_des_ede_ecb())
                                 : (mode == CBC ? EVP_des_ede3_cbc() : EVP_des_ede3_ecb());
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  const std::string ivb = iv.empty() ? std::string(8, '\0') : std::string(iv);
  EXPECT_EQ(
      EVP_CipherInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                        reinterpret_cast<const unsigned char*>(ivb.data()), encrypt ? 1 : 0),
      1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::string out(in.size() + 16, '\0');
  int n1 = 0, n2 = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n1,
                             reinterpret_cast<const unsigned char*>(in.data()),
                             static_cast<int>(in.size())),
            1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n1, &n2), 1);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(n1 + n2);
  return out;
}

// --- Known answers ---

// FIPS 81 (1980), appendix B, tables B1 (ECB) and C1 (CBC).
TEST(Des, Fips81Examples) {
  const std::string key = FromHex("0123456789abcdef");
  const std::string plain = "Now is the time for all ";
  EXPECT_EQ(ToHex(Encipher<TDES>(key, ECB, "", plain)),
            "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53");
  const std::string iv = FromHex("1234567890abcdef");
  const std::string cbc = Encipher<TDES>(key, CBC, iv, plain);
  EXPECT_EQ(ToHex(cbc), "E5C7CDDE872BF27C43E934008C389C0F683788499A7C05F6");
  EXPECT_EQ(Decipher<TDES>(key, CBC, iv, cbc), plain);
}

// The standard worked example (key 133457799BBCDFF1).
TEST(Des, WorkedExampleBlock) {
  EXPECT_EQ(
      ToHex(Encipher<TDES>(FromHex("133457799BBCDFF1"), ECB, "", FromHex("0123456789ABCDEF"))),
      "85E813540F0AB405");
}

struct CavpFile {
  const char* path;
  bool cbc;
};

// The single-key files: KEYs (or KEY1 = KEY2 = KEY3) with single DES, and the
// same through Triple DES with K || K || K; the multi-key MMT files through
// Triple DES. Every record enciphers or deciphers as its section says.
void RunTdesFile(const CavpFile& f) {
  const auto records = test::ReadCavpFile(test::CryptoVectorFile(f.path));
  const TCipherMode mode = f.cbc ? CBC : ECB;
  size_t n = 0;
  for (const auto& r : records) {
    if (!r.Has("PLAINTEXT")) continue;
    const bool encrypt = r.section == "ENCRYPT";
    std::string k1, k2, k3;
    if (r.Has("KEYs")) {
      k1 = k2 = k3 = FromHex(r["KEYs"]);
    } else {
      k1 = FromHex(r["KEY1"]);
      k2 = FromHex(r["KEY2"]);
      k3 = FromHex(r["KEY3"]);
    }
    const std::string iv = f.cbc ? FromHex(r["IV"]) : "";
    const std::string plain = FromHex(r["PLAINTEXT"]), cipher = FromHex(r["CIPHERTEXT"]);
    const std::string where = std::string(f.path) + " " + r.section + " COUNT=" + r["COUNT"];
    const std::string key3 = k1 + k2 + k3;
    if (encrypt)
      EXPECT_EQ(ToHex(Encipher<TTripleDES>(key3, mode, iv, plain)), ToHex(cipher)) << where;
    else
      EXPECT_EQ(ToHex(Decipher<TTripleDES>(key3, mode, iv, cipher)), ToHex(plain)) << where;
    if (k1 == k2 && k2 == k3) {
      if (encrypt)
        EXPECT_EQ(ToHex(Encipher<TDES>(k1, mode, iv, plain)), ToHex(cipher)) << where;
      else
        EXPECT_EQ(ToHex(Decipher<TDES>(k1, mode, iv, cipher)), ToHex(plain)) << where;
    }
    if (k1 == k3) {  // two-key form
      if (encrypt)
        EXPECT_EQ(ToHex(Encipher<TTripleDES>(k1 + k2, mode, iv, plain)), ToHex(cipher)) << where;
      else
        EXPECT_EQ(ToHex(Decipher<TTripleDES>(k1 + k2, mode, iv, cipher)), ToHex(plain)) << where;
    }
    ++n;
  }
  EXPECT_GE(n, 20u) << f.path;
}

class DesCavp : public ::testing::TestWithParam<CavpFile> {};

TEST_P(DesCavp, AllRecords) {
  RunTdesFile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, DesCavp,
                         ::testing::Values(CavpFile{"ciphers/3DES/ECB/TECBvarkey.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBvartext.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBinvperm.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBpermop.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBsubtab.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBMMT1.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBMMT2.rsp", false},
                                           CavpFile{"ciphers/3DES/ECB/TECBMMT3.rsp", false},
                                           CavpFile{"ciphers/3DES/CBC/TCBCvarkey.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCvartext.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCinvperm.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCpermop.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCsubtab.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCMMT1.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCMMT2.rsp", true},
                                           CavpFile{"ciphers/3DES/CBC/TCBCMMT3.rsp", true}),
                         [](const auto& info) {
                           std::string s = info.param.path;
                           s = s.substr(s.rfind('/') + 1);
                           return s.substr(0, s.find('.'));
                         });

// --- Differential against OpenSSL ---

TEST(Des, RandomSingleDesMatchesOpenSslEde3WithTripledKey) {
  std::mt19937_64 rng(46);
  for (int round = 0; round < 300; ++round) {
    std::string key(8, '\0'), iv(8, '\0'), data(8 * (rng() % 40), '\0');
    for (char& c : key) c = static_cast<char>(rng());
    for (char& c : iv) c = static_cast<char>(rng());
    for (char& c : data) c = static_cast<char>(rng());
    for (TCipherMode mode : {ECB, CBC}) {
      const std::string ref = OpenSsl3Des(true, key + key + key, mode, iv, data);
      EXPECT_EQ(ToHex(Encipher<TDES>(key, mode, iv, data)), ToHex(ref)) << round;
      EXPECT_EQ(ToHex(Decipher<TDES>(key, mode, iv, ref)), ToHex(data)) << round;
    }
  }
}

TEST(Des, RandomTripleDesMatchesOpenSsl) {
  std::mt19937_64 rng(67);
  for (int round = 0; round < 300; ++round) {
    std::string key(round % 2 ? 24 : 16, '\0'), iv(8, '\0'), data(8 * (rng() % 40), '\0');
    for (char& c : key) c = static_cast<char>(rng());
    for (char& c : iv) c = static_cast<char>(rng());
    for (char& c : data) c = static_cast<char>(rng());
    for (TCipherMode mode : {ECB, CBC}) {
      const std::string ref = OpenSsl3Des(true, key, mode, iv, data);
      EXPECT_EQ(ToHex(Encipher<TTripleDES>(key, mode, iv, data)), ToHex(ref)) << round;
      EXPECT_EQ(ToHex(Decipher<TTripleDES>(key, mode, iv, ref)), ToHex(data)) << round;
    }
  }
}

// --- The frame's contract ---

TEST(DesFrame, ContinuedCallsEqualOneCallOverAllBlocks) {
  const std::string key = FromHex("0123456789abcdef"), iv = FromHex("1234567890abcdef");
  const std::string plain = "Now is the time for all ";
  const std::string whole = Encipher<TDES>(key, CBC, iv, plain);
  TDES d;
  ASSERT_EQ(d.SetKey(key), TCryptoResult::Ok);
  ASSERT_EQ(d.SetIVector(iv), TCryptoResult::Ok);
  d.SetCipherMode(CBC);
  std::string a, b, c;
  ASSERT_EQ(d.EncipherData(plain.substr(0, 8), a, false), TCryptoResult::Ok);
  ASSERT_EQ(d.EncipherData(plain.substr(8, 8), b, true), TCryptoResult::Ok);
  ASSERT_EQ(d.EncipherData(plain.substr(16), c, true), TCryptoResult::Ok);
  EXPECT_EQ(a + b + c, whole);
  // Without continuing, the register starts from the IV again.
  ASSERT_EQ(d.EncipherData(plain.substr(0, 8), a, false), TCryptoResult::Ok);
  EXPECT_EQ(a, whole.substr(0, 8));
  // Deciphering continues the same way.
  std::string p1, p2;
  ASSERT_EQ(d.DecipherData(whole.substr(0, 16), p1, false), TCryptoResult::Ok);
  ASSERT_EQ(d.DecipherData(whole.substr(16), p2, true), TCryptoResult::Ok);
  EXPECT_EQ(p1 + p2, plain);
}

TEST(DesFrame, KeyScheduleIsKeptAcrossCallsUntilTheNextSetKey) {
  const std::string k1 = FromHex("0123456789abcdef"), k2 = FromHex("fedcba9876543210");
  const std::string block = FromHex("0011223344556677");
  TDES d;
  ASSERT_EQ(d.SetKey(k1), TCryptoResult::Ok);
  std::string x1, x2, y;
  ASSERT_EQ(d.EncipherData(block, x1, false), TCryptoResult::Ok);
  ASSERT_EQ(d.EncipherData(block, x2, true), TCryptoResult::Ok);
  EXPECT_EQ(x1, x2);
  ASSERT_EQ(d.SetKey(k2), TCryptoResult::Ok);
  ASSERT_EQ(d.EncipherData(block, y, false), TCryptoResult::Ok);
  EXPECT_EQ(y, Encipher<TDES>(k2, ECB, "", block));
  EXPECT_NE(y, x1);
}

TEST(DesFrame, ParityBitsAreIgnored) {
  const std::string key = FromHex("0123456789abcdef");
  std::string flipped = key;
  for (char& c : flipped) c = static_cast<char>(c ^ 1);
  const std::string data = "parity bits are ignored!";
  EXPECT_EQ(Encipher<TDES>(key, CBC, "", data), Encipher<TDES>(flipped, CBC, "", data));
  EXPECT_EQ(Encipher<TTripleDES>(key + key, ECB, "", data),
            Encipher<TTripleDES>(flipped + flipped, ECB, "", data));
}

TEST(DesFrame, OnlyTheFirstEightKeyBytesCountForSingleDes) {
  const std::string key = FromHex("0123456789abcdef");
  EXPECT_EQ(Encipher<TDES>(key + "more key", ECB, "", "12345678"),
            Encipher<TDES>(key, ECB, "", "12345678"));
}

TEST(DesFrame, EmptyIvIsEightZeroBytes) {
  const std::string key = FromHex("0123456789abcdef");
  const std::string data = "sixteen bytes!!!";
  EXPECT_EQ(Encipher<TDES>(key, CBC, "", data),
            Encipher<TDES>(key, CBC, std::string(8, '\0'), data));
  TDES d;
  EXPECT_EQ(d.SetIVector(std::string_view()), TCryptoResult::Ok);  // no data pointer at all
}

TEST(DesFrame, PartialLastBlockIsFilledWithZeroBytes) {
  const std::string key = FromHex("0123456789abcdef");
  for (size_t n : {1, 7, 9, 15, 17, 4097, 70000}) {
    std::string data(n, '\0');
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 7 + 3);
    std::string filled = data;
    filled.resize((n + 7) / 8 * 8, '\0');
    const std::string out = Encipher<TDES>(key, CBC, "", data);
    EXPECT_EQ(out.size(), filled.size()) << n;
    EXPECT_EQ(out, Encipher<TDES>(key, CBC, "", filled)) << n;
  }
  EXPECT_EQ(Encipher<TDES>(key, CBC, "", ""), "");
}

TEST(DesFrame, DecipheringRequiresWholeBlocks) {
  TDES d;
  ASSERT_EQ(d.SetKey(FromHex("0123456789abcdef")), TCryptoResult::Ok);
  std::string out = "unchanged";
  EXPECT_EQ(d.DecipherData("123456789", out, false), TCryptoResult::PartialBlock);
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(d.DecipherData("", out, false), TCryptoResult::Ok);
  EXPECT_EQ(out, "");
}

TEST(DesFrame, UseWithoutAKeyFails) {
  TDES d;
  std::string out;
  EXPECT_FALSE(d.HasKey());
  EXPECT_EQ(d.EncipherData("12345678", out, false), TCryptoResult::NoKey);
  EXPECT_EQ(d.DecipherData("12345678", out, false), TCryptoResult::NoKey);
  // A failed SetKey leaves no key either.
  ASSERT_EQ(d.SetKey(FromHex("0123456789abcdef")), TCryptoResult::Ok);
  EXPECT_EQ(d.SetKey("short"), TCryptoResult::BadKeyLength);
  EXPECT_EQ(d.EncipherData("12345678", out, false), TCryptoResult::NoKey);
}

TEST(DesFrame, KeyAndIvLengthsAreChecked) {
  TTripleDES t;
  EXPECT_EQ(t.SetKey(std::string(8, 'k')), TCryptoResult::BadKeyLength);
  EXPECT_EQ(t.SetKey(std::string(17, 'k')), TCryptoResult::BadKeyLength);
  EXPECT_EQ(t.SetKey(std::string(16, 'k')), TCryptoResult::Ok);
  EXPECT_EQ(t.SetKey(std::string(24, 'k')), TCryptoResult::Ok);
  EXPECT_EQ(t.SetIVector("1234567"), TCryptoResult::BadIVLength);
  EXPECT_EQ(t.SetIVector("123456789"), TCryptoResult::BadIVLength);
  EXPECT_EQ(t.SetIVector("12345678"), TCryptoResult::Ok);
  EXPECT_EQ(t.BlockSize(), 8u);
  EXPECT_EQ(t.PaddedLength(0), 0u);
  EXPECT_EQ(t.PaddedLength(9), 16u);
}

TEST(DesFrame, InPlaceBuffersWork) {
  const std::string key = FromHex("0123456789abcdef0123456789abcdef");
  std::string data(64, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  const std::string ref = Encipher<TTripleDES>(key, CBC, "", data);
  TTripleDES t;
  ASSERT_EQ(t.SetKey(key), TCryptoResult::Ok);
  t.SetCipherMode(CBC);
  std::string buf = data;
  auto* p = reinterpret_cast<uint8_t*>(buf.data());
  ASSERT_EQ(t.EncipherData(p, buf.size(), p, false), TCryptoResult::Ok);
  EXPECT_EQ(buf, ref);
  ASSERT_EQ(t.DecipherData(p, buf.size(), p, false), TCryptoResult::Ok);
  EXPECT_EQ(buf, data);
}

TEST(DesFrame, CopiesAreIndependent) {
  TDES a;
  ASSERT_EQ(a.SetKey(FromHex("0123456789abcdef")), TCryptoResult::Ok);
  a.SetCipherMode(CBC);
  std::string x, y, z;
  ASSERT_EQ(a.EncipherData("block1..", x, false), TCryptoResult::Ok);
  TDES b = a;
  ASSERT_EQ(a.EncipherData("block2..", y, true), TCryptoResult::Ok);
  ASSERT_EQ(b.EncipherData("block2..", z, true), TCryptoResult::Ok);
  EXPECT_EQ(y, z);
  ASSERT_EQ(b.SetKey(FromHex("fedcba9876543210")), TCryptoResult::Ok);
  ASSERT_EQ(a.EncipherData("block1..", z, false), TCryptoResult::Ok);
  EXPECT_EQ(z, x);
}

// Round keys, the initial vector and the chaining register are
// overwritten on destruction. The object is built in a buffer of our own so
// that its bytes can be read after the destructor ran.
template <typename Cipher>
void CheckWipedOnDestruction(const std::string& key) {
  alignas(Cipher) unsigned char storage[sizeof(Cipher)];
  std::memset(storage, 0, sizeof(storage));
  auto* c = new (storage) Cipher();
  ASSERT_EQ(c->SetKey(key), TCryptoResult::Ok);
  const std::string iv = FromHex("a1b2c3d4e5f60718");
  ASSERT_EQ(c->SetIVector(iv), TCryptoResult::Ok);
  c->SetCipherMode(CBC);
  std::string out;
  ASSERT_EQ(c->EncipherData("sixteen bytes...", out, false), TCryptoResult::Ok);
  const std::string bytes(reinterpret_cast<char*>(storage), sizeof(storage));
  ASSERT_NE(bytes.find(iv), std::string::npos);             // IV held while alive
  ASSERT_NE(bytes.find(out.substr(8)), std::string::npos);  // register held
  c->~Cipher();
  const std::string after(reinterpret_cast<char*>(storage), sizeof(storage));
  EXPECT_EQ(after.find(iv), std::string::npos);
  EXPECT_EQ(after.find(out.substr(8)), std::string::npos);
  // Everything the derived class adds (the round keys) is zero.
  for (size_t i = sizeof(TCrypto); i < sizeof(Cipher); ++i)
    EXPECT_EQ(storage[i], 0) << "byte " << i;
}

TEST(DesFrame, KeysIvAndRegisterAreWipedOnDestruction) {
  CheckWipedOnDestruction<TDES>(FromHex("0123456789abcdef"));
  CheckWipedOnDestruction<TTripleDES>(FromHex("0123456789abcdeffedcba9876543210"));
}

}  // namespace
}  // namespace kal
