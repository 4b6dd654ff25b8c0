// SHA-256 routines and digest object: FIPS 180-2 examples, the
// NIST CAVP SHAVS vectors (ShortMsg, LongMsg, Monte) of
// python3-cryptography-vectors, and differential tests against OpenSSL.
#include "support/Sha256.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <stdexcept>
#include <string>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

std::string Sha256(std::string_view s) {
  return CalcSHA256(s).AsBytes();
}

std::string OpenSslSha256(std::string_view s) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EXPECT_EQ(EVP_Digest(s.data(), s.size(), md, &len, EVP_sha256(), nullptr), 1);
  return std::string(reinterpret_cast<char*>(md), len);
}

std::string Narrow(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

// FIPS 180-2, appendix B.
TEST(Sha256, Fips180_2Examples) {
  EXPECT_EQ(ToHex(Sha256("abc")),
            "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(ToHex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
  EXPECT_EQ(ToHex(Sha256(std::string(1000000, 'a'))),
            "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
  EXPECT_EQ(ToHex(Sha256("")), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST(Sha256, HexTextIsLowerCase) {
  EXPECT_EQ(Narrow(SHA256DigestToHexW(CalcSHA256("abc"))),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, BufferOverloadEqualsStringOverload) {
  const std::string s = "The quick brown fox jumps over the lazy dog";
  EXPECT_EQ(CalcSHA256(s.data(), s.size()), CalcSHA256(s));
  EXPECT_EQ(CalcSHA256(nullptr, 0), CalcSHA256(""));
}

TEST(Sha256, WordViewsReadTheDigestBytes) {
  const T256BitDigest d = CalcSHA256("abc");
  uint32_t w0;
  std::memcpy(&w0, d.Bytes.data(), 4);
  EXPECT_EQ(d.Longs(0), w0);
  uint16_t h15;
  std::memcpy(&h15, d.Bytes.data() + 30, 2);
  EXPECT_EQ(d.Words(15), h15);
}

TEST(Sha256, PaddingIntoOneOrTwoFinalBlocks) {
  for (size_t n : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128}) {
    const std::string s(n, static_cast<char>('a' + n % 26));
    EXPECT_EQ(ToHex(Sha256(s)), ToHex(OpenSslSha256(s))) << n;
  }
}

TEST(Sha256, BlockRoutineRequiresWholeBlocks) {
  uint32_t state[8] = {};
  const std::string buf(100, 'x');
  try {
    TransformSHA256Buf(state, buf.data(), 100);
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "BufSize must be multiple of 64 bytes");
  }
  EXPECT_NO_THROW(TransformSHA256Buf(state, buf.data(), 64));
}

TEST(Sha256, CavpShortMsg) {
  test::RunCavpMsgFile("hashes/SHA2/SHA256ShortMsg.rsp", Sha256);
}
TEST(Sha256, CavpLongMsg) {
  test::RunCavpMsgFile("hashes/SHA2/SHA256LongMsg.rsp", Sha256);
}
TEST(Sha256, CavpMonte) {
  test::RunCavpMonteFile("hashes/SHA2/SHA256Monte.rsp", Sha256);
}

TEST(Sha256, RandomMessagesMatchOpenSsl) {
  std::mt19937_64 rng(256);
  for (int round = 0; round < 200; ++round) {
    std::string msg(rng() % 3000, '\0');
    for (char& c : msg) c = static_cast<char>(rng());
    EXPECT_EQ(ToHex(Sha256(msg)), ToHex(OpenSslSha256(msg))) << msg.size();
  }
}

TEST(Sha256, ObjectSplitAcrossTransformStringCallsMatchesOpenSsl) {
  std::mt19937_64 rng(2562);
  for (int round = 0; round < 200; ++round) {
    std::string msg(rng() % 2000, '\0');
    for (char& c : msg) c = static_cast<char>(rng());
    TSHA256 h;
    test::FeedInRandomPieces(h, msg, rng);
    EXPECT_EQ(h.AsString(), "SHA256");
    EXPECT_EQ(ToHex(h.HashValueString()), ToHex(OpenSslSha256(msg))) << msg.size();
  }
}

TEST(Sha256, MessagesPast512MiBKeepTheirLength) {
  const size_t chunk = 1u << 20;
  std::string buf(chunk, '\0');
  for (size_t i = 0; i < chunk; ++i) buf[i] = static_cast<char>(i * 37 + (i >> 11));
  const size_t total = (size_t{1} << 29) + 77;
  TSHA256 h;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ASSERT_EQ(EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr), 1);
  for (size_t done = 0; done < total;) {
    const size_t take = std::min(chunk, total - done);
    h.TransformBytes(buf.data(), take);
    EVP_DigestUpdate(ctx, buf.data(), take);
    done += take;
  }
  h.Complete();
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx, md, &len);
  EVP_MD_CTX_free(ctx);
  EXPECT_EQ(ToHex(h.HashValueString()), ToHex(std::string(reinterpret_cast<char*>(md), len)));
}

}  // namespace
}  // namespace kal
