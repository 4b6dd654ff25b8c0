// SHA-1 digest object: FIPS 180-1 examples, the NIST CAVP
// SHAVS vectors (ShortMsg, LongMsg, Monte) of python3-cryptography-vectors,
// and differential tests against OpenSSL.
#include "support/Sha1.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

std::string Sha1(std::string_view s) {
  TSHA1 h;
  h.TransformString(s);
  h.Complete();
  return h.HashValueString();
}

std::string OpenSslSha1(std::string_view s) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EXPECT_EQ(EVP_Digest(s.data(), s.size(), md, &len, EVP_sha1(), nullptr), 1);
  return std::string(reinterpret_cast<char*>(md), len);
}

// FIPS 180-1, appendices A and B, and C (one million 'a').
TEST(Sha1, Fips180_1Examples) {
  EXPECT_EQ(ToHex(Sha1("abc")), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(ToHex(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  EXPECT_EQ(ToHex(Sha1(std::string(1000000, 'a'))), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
  EXPECT_EQ(ToHex(Sha1("")), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(Sha1, PaddingIntoOneOrTwoFinalBlocks) {
  for (size_t n : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128}) {
    const std::string s(n, static_cast<char>('0' + n % 10));
    EXPECT_EQ(ToHex(Sha1(s)), ToHex(OpenSslSha1(s))) << n;
  }
}

TEST(Sha1, NameAndSizes) {
  TSHA1 h;
  EXPECT_EQ(h.AsString(), "SHA1");
  EXPECT_EQ(h.BlockSize(), 64u);
  EXPECT_EQ(h.DigestSize(), 20u);
}

TEST(Sha1, CavpShortMsg) {
  test::RunCavpMsgFile("hashes/SHA1/SHA1ShortMsg.rsp", Sha1);
}
TEST(Sha1, CavpLongMsg) {
  test::RunCavpMsgFile("hashes/SHA1/SHA1LongMsg.rsp", Sha1);
}
TEST(Sha1, CavpMonte) {
  test::RunCavpMonteFile("hashes/SHA1/SHA1Monte.rsp", Sha1);
}

TEST(Sha1, SplitAcrossTransformStringCallsMatchesOpenSsl) {
  std::mt19937_64 rng(180);
  for (int round = 0; round < 200; ++round) {
    std::string msg(rng() % 2000, '\0');
    for (char& c : msg) c = static_cast<char>(rng());
    TSHA1 h;
    test::FeedInRandomPieces(h, msg, rng);
    EXPECT_EQ(ToHex(h.HashValueString()), ToHex(OpenSslSha1(msg))) << msg.size();
  }
}

TEST(Sha1, FeedingACompletedDigestThrows) {
  TSHA1 h;
  h.TransformString("abc");
  h.Complete();
  try {
    h.TransformString("d");
    FAIL() << "no exception";
  } catch (const EMessageDigest& e) {
    EXPECT_STREQ(e.what(), "Message digest already complete.");
  }
  // The digest is unchanged; completing again changes nothing.
  h.Complete();
  EXPECT_EQ(ToHex(h.HashValueString()), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(Sha1, ReadingAnIncompleteDigestThrows) {
  TSHA1 h;
  h.TransformString("abc");
  try {
    (void)h.HashValueString();
    FAIL() << "no exception";
  } catch (const EMessageDigest& e) {
    EXPECT_STREQ(e.what(), "Message digest not complete.");
  }
}

TEST(Sha1, ClearStartsANewDigestAndDropsPartialInput) {
  TSHA1 h;
  h.TransformString("partial input that is not a whole block");
  h.Clear();
  h.TransformString("abc");
  h.Complete();
  EXPECT_EQ(ToHex(h.HashValueString()), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  h.Clear();
  h.Complete();
  EXPECT_EQ(ToHex(h.HashValueString()), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(Sha1, CopiesAreIndependent) {
  TSHA1 a;
  a.TransformString("ab");
  TSHA1 b = a;
  a.TransformString("c");
  b.TransformString("x");
  a.Complete();
  b.Complete();
  EXPECT_EQ(a.HashValueString(), Sha1("abc"));
  EXPECT_EQ(b.HashValueString(), Sha1("abx"));
}

// 64-bit message lengths. Past 2^29 bytes a 32-bit bit count
// wraps; the digest must still equal OpenSSL's.
TEST(Sha1, MessagesPast512MiBKeepTheirLength) {
  const size_t chunk = 1u << 20;
  std::string buf(chunk, '\0');
  for (size_t i = 0; i < chunk; ++i) buf[i] = static_cast<char>(i * 131 + (i >> 9));
  const size_t total = (size_t{1} << 29) + 1000;  // 512 MiB + 1000 bytes
  TSHA1 h;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ASSERT_EQ(EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr), 1);
  for (size_t done = 0; done < total;) {
    const size_t take = std::min(chunk, total - done);
    h.TransformBytes(buf.data(), take);
    EVP_DigestUpdate(ctx, buf.data(), take);
    done += take;
  }
  EXPECT_EQ(h.MessageLength(), total);
  h.Complete();
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx, md, &len);
  EVP_MD_CTX_free(ctx);
  EXPECT_EQ(ToHex(h.HashValueString()), ToHex(std::string(reinterpret_cast<char*>(md), len)));
}

}  // namespace
}  // namespace kal
