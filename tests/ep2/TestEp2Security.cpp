// ep2 cryptography: random generator, key variants, retail MAC, Triple-DES
// strings and PIN blocks against OpenSSL and published values; the step
// trace.
#include "ep2/Ep2Security.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <random>

#include "common/TestSupport.h"
#include "ep2/Ep2Oracle.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;
using TSEC = TSECep2Security;

using test::Ede;

// ISO/IEC 9797-1 algorithm 3: single-DES CBC (K1 three times) over all but
// the last block, then Triple DES on the last one chained to that.
std::string RetailMacRef(const std::string& key, std::string_view padded) {
  const std::string k1 = key.substr(0, 8);
  std::string iv(8, '\0');
  const size_t last = padded.size() - 8;
  if (last > 0) iv = Ede(k1 + k1 + k1, padded.substr(0, last), true, iv).substr(last - 8);
  return Ede(key, padded.substr(last), true, iv);
}

std::string Random(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

class Ep2Security : public ::testing::Test {
 protected:
  TSECDeterministicRandom random;
  TSEC sec{4000, random};
  std::mt19937 rng{2024};
  TSECMemo memo;
  std::string out;
};

TEST_F(Ep2Security, RandomNumbersAreSha1OfCounterAndAFreshPool) {
  auto sha1 = [](const std::string& s) {
    unsigned char d[20];
    SHA1(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d);
    return std::string(reinterpret_cast<char*>(d), 20);
  };
  auto pool = [](int first) {
    std::string p(32, '\0');
    for (int i = 0; i < 32; ++i) p[i] = static_cast<char>(first + i);
    return p;
  };
  // A fresh object starts at counter 0, so its first digest uses 1.
  EXPECT_EQ(ToHex(sec.SECGetRandomNumber(45)),
            ToHex((sha1("1" + pool(0)) + sha1("2" + pool(0)) + sha1("3" + pool(0))).substr(0, 45)));
  sec.SECInitRandomgenerator();  // counter -1, pool bytes 32-63
  EXPECT_EQ(ToHex(sec.SECGenerateSessionKey(16)), ToHex(sha1("0" + pool(64)).substr(0, 16)));
  EXPECT_EQ(sec.SECGetRandomNumber(0), "");

  TSEC system(4000);
  EXPECT_NE(system.SECGenerateSessionKey(24), system.SECGenerateSessionKey(24));
}

TEST_F(Ep2Security, KeyVariants) {
  const char* masks[6] = {"7184", "EB5A", "9309", "0C7E", "C5B1", "3FE7"};
  const std::string key16 = Random(rng, 16), key24 = Random(rng, 24);
  for (int v = 0; v < 6; ++v) {
    std::string mask;
    for (int i = 0; i < 8; ++i) mask += masks[v];
    std::string expected = key16;
    for (size_t i = 0; i < 16; ++i) expected[i] ^= FromHex(mask)[i];
    ASSERT_EQ(sec.SECGenerateSessionKeyVariant(v, key16, nullptr, out), 0);
    EXPECT_EQ(ToHex(out), ToHex(expected)) << v;

    // R1 = E(C), R2 = E(R1 ^ C), R3 = E(R2 ^ C) under the 24-byte key.
    const std::string c = FromHex(mask).substr(0, 8);
    auto xorC = [&](std::string r) {
      for (size_t i = 0; i < 8; ++i) r[i] ^= c[i];
      return r;
    };
    const std::string r1 = Ede(key24, c, true), r2 = Ede(key24, xorC(r1), true),
                      r3 = Ede(key24, xorC(r2), true);
    ASSERT_EQ(sec.SECGenerateSessionKeyVariant(v, key24, nullptr, out), 0);
    EXPECT_EQ(ToHex(out), ToHex(r1 + r2 + r3)) << v;
  }
  EXPECT_EQ(sec.SECGenerateSessionKeyVariant(6, key16, nullptr, out), 4001);
  EXPECT_EQ(sec.SECGenerateSessionKeyVariant(-1, key24, nullptr, out), 4001);
  EXPECT_EQ(sec.SECGenerateSessionKeyVariant(0, key16.substr(1), &memo, out), 4002);
  EXPECT_EQ(out, "");
  EXPECT_EQ(memo, (TSECMemo{"Invalid key length", " Length= 15 Expected length= 16"}));
}

TEST_F(Ep2Security, RetailMacAgainstX99AndOpenSsl) {
  // ANSI X9.9 / FIPS 113 example: with K1 = K2 = K3 the X9.19 MAC is the
  // single-DES CBC-MAC of the zero-filled text.
  const std::string k = FromHex("0123456789ABCDEF");
  EXPECT_EQ(ToHex(TSEC::SECTrippleDESEncrypt(k, k, k, "7654321 Now is the time for ")),
            "F1D30F6849312CA4");
  EXPECT_EQ(TSEC::SECTrippleDESEncrypt(k, k, k, ""), "");
  // The key schedules kept between calls: the same key again, then its own
  // first 16 bytes (K3 = K1 now).
  const std::string key24 = Random(rng, 24);
  for (const std::string& key : {key24, key24.substr(0, 16)}) {
    const std::string k3 = key.size() == 24 ? key.substr(16) : key.substr(0, 8);
    for (size_t n : {0u, 1u, 7u, 8u, 9u, 32u, 1500u}) {
      const std::string text = Random(rng, n);
      std::string padded = text + '\x80', zeroFilled = text;
      padded.resize((n / 8 + 1) * 8, '\0');
      zeroFilled.resize((n + 7) / 8 * 8, '\0');
      ASSERT_EQ(sec.SECComputeMac(key, text, nullptr, out), 0);
      EXPECT_EQ(ToHex(out), ToHex(RetailMacRef(key, padded))) << key.size() << " " << n;
      if (n > 0) {
        EXPECT_EQ(ToHex(TSEC::SECTrippleDESEncrypt(key.substr(0, 8), key.substr(8, 8), k3, text)),
                  ToHex(RetailMacRef(key.substr(0, 16) + k3, zeroFilled)));
      }
    }
  }
  EXPECT_EQ(sec.SECComputeMac(std::string(17, 'k'), "x", &memo, out), 4004);
  EXPECT_EQ(memo.back(), " Length= 17 Expected length= 16 or 24");
}

TEST_F(Ep2Security, TripleDesStringsAgainstOpenSsl) {
  for (size_t keyLength : {16u, 24u}) {
    const std::string key = Random(rng, keyLength);
    for (size_t n : {0u, 5u, 8u, 9u, 16u, 240u, 241u, 247u, 248u}) {
      for (bool mandatory : {false, true}) {
        const std::string text = Random(rng, n);
        std::string padded = text;
        if (mandatory || n % 8 != 0) padded += '\x80';
        padded.resize((padded.size() + 7) / 8 * 8, '\0');
        const int rc = sec.SECDESEncryptString(text, key, mandatory, nullptr, out);
        if (padded.size() > 248) {
          EXPECT_EQ(rc, 7) << n;
          EXPECT_EQ(out, "");
          continue;
        }
        ASSERT_EQ(rc, 0) << n;
        EXPECT_EQ(ToHex(out), ToHex(Ede(key, padded, true, std::string(8, '\0')))) << n;
        std::string back;
        ASSERT_EQ(sec.SECDESDecryptString(out, key, mandatory, nullptr, back), 0);
        EXPECT_EQ(ToHex(back), ToHex(mandatory ? text : padded)) << n;
      }
    }
  }
  const std::string key = Random(rng, 16), iv(8, '\0');
  EXPECT_EQ(sec.SECDESEncryptString("x", key.substr(1), false, nullptr, out), 4002);
  EXPECT_EQ(sec.SECDESDecryptString("1234567", key, false, nullptr, out), 4010);
  EXPECT_EQ(sec.SECDESDecryptString("12345678", key.substr(1), false, nullptr, out), 4009);
  EXPECT_EQ(sec.SECDESDecryptString("", key, true, nullptr, out), 0);
  // Zero bytes in front of the padding are data; data behind the last 0x80,
  // no 0x80 at all, or more than seven zero bytes behind it is no padding.
  ASSERT_EQ(sec.SECDESDecryptString(Ede(key, FromHex("4100008000000000"), true, iv), key, true,
                                    nullptr, out),
            0);
  EXPECT_EQ(ToHex(out), "410000");
  for (const char* bad : {"4180000000000041", "4142434445464748",
                          "4180000000000000"
                          "0000000000000000"}) {
    EXPECT_EQ(sec.SECDESDecryptString(Ede(key, FromHex(bad), true, iv), key, true, nullptr, out),
              4013)
        << bad;
    EXPECT_EQ(out, "");
  }
}

TEST_F(Ep2Security, PinBlocksAgainstIndependentClearBlocks) {
  const std::string key = Random(rng, 16), key24 = Random(rng, 24);
  const std::string pan = "5413339000001513", track2 = "5413339000001513D25122010123456789FF";
  const std::string panField = FromHex("0000339000001513");
  // Format 2: digit 2, length, PIN, F fill.
  ASSERT_EQ(sec.SECGenerateEncryptedPINBlock("1234", "", key, 2, out), 0);
  EXPECT_EQ(ToHex(Ede(key, out, false)), "241234FFFFFFFFFF");
  // Format 3: fill digits A-F from the random source (byte mod 6; bytes
  // from 252 on are drawn again), XORed with the PAN field.
  TSECDeterministicRandom fill(std::string("\x00\x01\xFC\x02\x03\x04\x05\x06\x0B", 9));
  TSEC sec3(4000, fill);
  for (const std::string& account : {pan, track2}) {
    ASSERT_EQ(sec3.SECGenerateEncryptedPINBlock("987654", account, key24, 3, out), 0);
    std::string clear = Ede(key24, out, false);
    for (size_t i = 0; i < 8; ++i) clear[i] ^= panField[i];
    EXPECT_EQ(ToHex(clear), "36987654ABCDEFAF") << account;
    std::string pin;
    ASSERT_EQ(sec3.SECGenerateDecryptedPIN(out, account, key24, 3, pin), 0);
    EXPECT_EQ(pin, "987654");
  }
  EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("1234567890123456", "", key, 2, out), 4057);
  EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("12A4", "", key, 2, out), 4056);
  EXPECT_EQ(out, "");
  EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("1234", "12345678901F", key, 3, out), 4012);
  EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("1234", "12345678901A", key, 3, out), 4012);
  EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("1234", "", key.substr(1), 2, out), 4003);

  std::string pin;
  EXPECT_EQ(sec.SECGenerateDecryptedPIN("", pan, key, 3, pin), 0);
  EXPECT_EQ(sec.SECGenerateDecryptedPIN("1234567", pan, key, 3, pin), 4006);
  EXPECT_EQ(sec.SECGenerateDecryptedPIN("12345678", pan, key.substr(1), 3, pin), 4008);
  EXPECT_EQ(sec.SECGenerateDecryptedPIN("12345678", "12345678901", key, 3, pin), 4012);
  for (const char* clear : {"23123FFFFFFFFFFF", "2D1234567890123F"})
    EXPECT_EQ(sec.SECGenerateDecryptedPIN(Ede(key, FromHex(clear), true), "", key, 2, pin), 4007);
  ASSERT_EQ(
      sec.SECGenerateDecryptedPIN(Ede(key, FromHex("2C123456789012FF"), true), "", key, 2, pin), 0);
  EXPECT_EQ(pin, "123456789012");
}

TEST_F(Ep2Security, PinBlocksStopAtTheirPinAndPanLengthBounds) {
  const std::string key = Random(rng, 16);
  // The block holds at most 14 PIN digits, built and read alike.
  for (const auto& [pin, rc] :
       std::vector<std::pair<std::string, int>>{{"12345678901234", 0}, {"123456789012345", 4057}}) {
    for (int format : {2, 3}) {
      EXPECT_EQ(sec.SECGenerateEncryptedPINBlock(pin, "5413339000001513", key, format, out), rc)
          << pin << " format " << format;
      EXPECT_EQ(out.empty(), rc != 0);
    }
  }
  std::string pin;
  EXPECT_EQ(
      sec.SECGenerateDecryptedPIN(Ede(key, FromHex("2F12345678901234"), true), "", key, 2, pin),
      4057);
  EXPECT_EQ(pin, "");
  // A format-3 block is built from 13 cleaned PAN digits and read with 12.
  for (const auto& [pan, rc] : std::vector<std::pair<std::string, int>>{
           {"1413339000001F", 0}, {"413339000001FF", 4012}, {"413339000001D2512", 4012}}) {
    EXPECT_EQ(sec.SECGenerateEncryptedPINBlock("1234", pan, key, 3, out), rc) << pan;
    EXPECT_EQ(out.empty(), rc != 0);
  }
  ASSERT_EQ(sec.SECGenerateEncryptedPINBlock("1234", "1413339000001", key, 3, out), 0);
  ASSERT_EQ(sec.SECGenerateDecryptedPIN(out, "413339000001", key, 3, pin), 0);
  EXPECT_EQ(pin, "1234");
}

TEST_F(Ep2Security, MacStepTrace) {
  const std::string key = FromHex("0123456789ABCDEFFEDCBA9876543210");
  const std::string hash = TSEC::SECGetHash("abc", 2);
  ASSERT_EQ(sec.SECComputeMac(key, hash, &memo, out), 0);
  std::string text;
  for (const std::string& line : memo) text += line + "\n";
  if (text != test::ReadFile(test::SourceDir() + "/tests/ep2/MacTrace.txt")) {
    test::WriteFile("MacTrace.actual", text);  // beside the test executable, to compare
    ADD_FAILURE() << "trace differs from tests/ep2/MacTrace.txt; see MacTrace.actual";
  }
}

TEST_F(Ep2Security, BinaryLineStartsAnewBeforeAValueThatWouldPass100Characters) {
  TSEC::SECDumpStringAndBinary(&memo, "X = ", std::string(40, '\xFF'));
  ASSERT_EQ(memo.size(), 5u);
  std::string first = "bin {255,", second = "255,";
  for (int i = 0; i < 18; ++i) first += " 255,";  // 99 characters: one more would make 104
  for (int i = 0; i < 19; ++i) second += " 255,";
  EXPECT_EQ(memo[1], first);
  EXPECT_EQ(memo[2], second);
  EXPECT_EQ(memo[3], "255}");
  EXPECT_EQ(memo[4], "");
}

}  // namespace
}  // namespace kal
