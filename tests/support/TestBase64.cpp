#include "support/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::RunPython;
using test::ToHex;

using test::RandomBytes;
using test::SplitLines;

std::string Encode(std::string_view in) {
  std::string out = "stale";
  EXPECT_FALSE(TUTBase64().EncodeData(in, out));
  return out;
}

struct Decoded {
  int result;
  std::string bytes;
};

Decoded Decode(std::string_view in, bool filter = true) {
  TUTBase64 coder;
  coder.filterdecodeinput = filter;
  Decoded d{0, "stale"};
  d.result = coder.DecodeData(in, d.bytes);
  return d;
}

// The decoder's rules written out plainly, character by character, as
// the model for the fast paths.
Decoded ModelDecode(std::string_view in, bool filter) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Decoded d{0, ""};
  if (in.empty()) return d;
  std::string s;
  for (char c : in) {
    if (!filter || c == '=' || kAlphabet.find(c) != std::string::npos) s.push_back(c);
  }
  if (s.size() % 4 != 0) {
    d.result = 3;
    return d;
  }
  auto val = [&](char c) -> int {
    const size_t p = kAlphabet.find(c);
    return p == std::string::npos ? -1 : static_cast<int>(p);
  };
  for (size_t i = 0; i < s.size(); i += 4) {
    const int a = val(s[i]), b = val(s[i + 1]);
    if (a < 0 || b < 0) return d.result = 2, d;
    d.bytes.push_back(static_cast<char>(a * 4 + b / 16));
    int c = 0;
    if (s[i + 2] == '=') {
      if (i + 2 != s.size() - 2) return d.result = 4, d;
      if (s[i + 3] != '=') return d.result = 5, d;
    } else {
      c = val(s[i + 2]);
      if (c < 0) return d.result = 2, d;
      d.bytes.push_back(static_cast<char>((b * 16 + c / 4) % 256));
    }
    if (s[i + 3] == '=') {
      if (i + 3 != s.size() - 1) return d.result = 4, d;
    } else {
      const int e = val(s[i + 3]);
      if (e < 0) return d.result = 2, d;
      d.bytes.push_back(static_cast<char>((c * 64 + e) % 256));
    }
  }
  return d;
}

void ExpectSameAsModel(std::string_view in) {
  for (bool filter : {true, false}) {
    const Decoded got = Decode(in, filter);
    const Decoded want = ModelDecode(in, filter);
    ASSERT_EQ(got.result, want.result) << "filter " << filter << " input " << ToHex(in);
    ASSERT_EQ(ToHex(got.bytes), ToHex(want.bytes)) << "filter " << filter << " input " << ToHex(in);
  }
}

// RFC 4648, section 10 (test vectors).
struct Vector {
  const char* plain;
  const char* encoded;
};
const Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

class Base64Rfc4648 : public ::testing::TestWithParam<Vector> {};

TEST_P(Base64Rfc4648, EncodesAndDecodesInBothFilterModes) {
  const Vector& v = GetParam();
  EXPECT_EQ(Encode(v.plain), v.encoded);
  for (bool filter : {true, false}) {
    const Decoded d = Decode(v.encoded, filter);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.bytes, v.plain);
  }
}

INSTANTIATE_TEST_SUITE_P(Rfc4648Section10, Base64Rfc4648, ::testing::ValuesIn(kRfc4648));

TEST(Base64, ConstructionSwitchesFilteringOn) {
  EXPECT_TRUE(TUTBase64().filterdecodeinput);
}

// Documented behaviour, case by case.
TEST(Base64, EncodePartCases) {
  EXPECT_EQ(Encode("abc"), "YWJj");
  EXPECT_EQ(Encode("ab"), "YWI=");
  EXPECT_EQ(Encode("a"), "YQ==");
  EXPECT_EQ(Encode(""), "");
  EXPECT_EQ(Encode(std::string("\0\0\0", 3)), "AAAA");
  EXPECT_EQ(Encode(FromHex("FFFFFF")), "////");
  EXPECT_EQ(Encode(FromHex("FBFF")), "+/8=");
}

TEST(Base64, DecodePartCases) {
  Decoded d = Decode("YW Jj");
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.bytes, "abc");
  EXPECT_EQ(Decode("YWJ").result, 3);
  EXPECT_EQ(Decode("Y=Jj").result, 2);
  EXPECT_EQ(Decode("YW=j").result, 5);
  EXPECT_EQ(Decode("YWJ=YWJj").result, 4);
}

TEST(Base64, DecodeEmptyInputClearsOutput) {
  // Empty input clears the output (it used to be left untouched).
  for (bool filter : {true, false}) {
    const Decoded d = Decode("", filter);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.bytes, "");
  }
}

TEST(Base64, DecodeKeepsBytesDecodedBeforeAnError) {
  Decoded d = Decode("YWJjYW=j");
  EXPECT_EQ(d.result, 5);
  EXPECT_EQ(d.bytes, "abca");
  d = Decode("YQ==YWJj");
  EXPECT_EQ(d.result, 4);
  EXPECT_EQ(d.bytes, "a");
  d = Decode("YWJjYW*j", false);
  EXPECT_EQ(d.result, 2);
  EXPECT_EQ(d.bytes, "abca");
  d = Decode("YWJjYWJ*", false);
  EXPECT_EQ(d.result, 2);
  EXPECT_EQ(d.bytes, "abcab");
  d = Decode("=WJj");
  EXPECT_EQ(d.result, 2);
  EXPECT_EQ(d.bytes, "");
}

TEST(Base64, DecodePaddingRules) {
  EXPECT_EQ(Decode("YQ==").bytes, "a");
  EXPECT_EQ(Decode("YR==").bytes, "a");  // unused low bits are ignored
  EXPECT_EQ(Decode("YWI=").bytes, "ab");
  EXPECT_EQ(Decode("====").result, 2);
  EXPECT_EQ(Decode("Y===").result, 2);
  EXPECT_EQ(Decode("YQ=A").result, 5);
  EXPECT_EQ(Decode("YQ==YQ==").result, 4);
  EXPECT_EQ(Decode("YWI=YWI=").result, 4);
  EXPECT_EQ(Decode("YQ=\n=").result, 0);  // "=" survives filtering, the line break not
  EXPECT_EQ(Decode("YQ=\n=", false).result, 3);
}

TEST(Base64, FilterDropsEverythingButAlphabetAndPad) {
  Decoded d = Decode(" Y\tW\r\nJ-j_\x80\xff!");
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.bytes, "abc");
  d = Decode("YW Jj", false);
  EXPECT_EQ(d.result, 3);
  d = Decode("YW J", false);
  EXPECT_EQ(d.result, 2);
  EXPECT_EQ(d.bytes, "a");
  d = Decode("   \r\n");
  EXPECT_EQ(d.result, 0);  // nothing left after filtering: no group, no error
  EXPECT_EQ(d.bytes, "");
}

TEST(Base64, BadLengthLeavesNoOutputEvenAfterALongCleanRun) {
  std::mt19937 rng(3);
  const std::string text = Encode(RandomBytes(rng, 3000));
  for (const std::string& in :
       {text + "Y", text + " Y", text.substr(0, 2000) + "\n\n" + text + "YQ=", text.substr(1)}) {
    for (bool filter : {true, false}) {
      const Decoded d = Decode(in, filter);
      EXPECT_EQ(d.result, 3);
      EXPECT_EQ(d.bytes, "");
    }
  }
}

TEST(Base64, DecodeReplacesPreviousOutput) {
  TUTBase64 coder;
  std::string out(10000, 'x');
  EXPECT_EQ(coder.DecodeData("YWJj", out), 0);
  EXPECT_EQ(out, "abc");
  out = "x";
  std::mt19937 rng(5);
  const std::string bytes = RandomBytes(rng, 5000);
  EXPECT_EQ(coder.DecodeData(Encode(bytes), out), 0);
  EXPECT_EQ(out, bytes);
  EXPECT_EQ(coder.DecodeData(Encode("ab"), out), 0);
  EXPECT_EQ(out, "ab");
}

TEST(Base64, EncodeReplacesPreviousOutput) {
  std::string out(100, 'x');
  EXPECT_FALSE(TUTBase64().EncodeData("abc", out));
  EXPECT_EQ(out, "YWJj");
  EXPECT_FALSE(TUTBase64().EncodeData("", out));
  EXPECT_EQ(out, "");
}

// Every text up to six characters over an alphabet that mixes letters of
// both ends of the table, "=", a character to filter and one to refuse.
TEST(Base64, DecodeAgreesWithTheModelOnAllShortTexts) {
  const std::string chars = "A/=\n*";
  for (size_t n = 0; n <= 6; ++n) {
    std::string s(n, 'A');
    size_t total = 1;
    for (size_t k = 0; k < n; ++k) total *= chars.size();
    for (size_t i = 0; i < total; ++i) {
      size_t x = i;
      for (size_t k = 0; k < n; ++k, x /= chars.size()) s[k] = chars[x % chars.size()];
      ExpectSameAsModel(s);
      if (HasFailure()) return;
    }
  }
}

// Long texts with a few faults at random places exercise the switch between
// the fast group decoder and the character-wise one.
TEST(Base64, DecodeAgreesWithTheModelOnLongTextsWithFaults) {
  std::mt19937 rng(9);
  const std::string faults = "= \n\r*-A";
  for (int round = 0; round < 3000; ++round) {
    std::string s = Encode(RandomBytes(rng, rng() % 120));
    const int edits = static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !s.empty(); ++e) {
      const size_t pos = rng() % (s.size() + 1);
      const char c = faults[rng() % faults.size()];
      switch (rng() % 3) {
        case 0:
          s.insert(pos, 1, c);
          break;
        case 1:
          if (pos < s.size()) s[pos] = c;
          break;
        default:
          if (pos < s.size()) s.erase(pos, 1);
          break;
      }
    }
    ExpectSameAsModel(s);
    if (HasFailure()) return;
  }
}

TEST(Base64, RoundTripOfEveryLengthUpTo300) {
  std::mt19937 rng(21);
  for (size_t n = 0; n <= 300; ++n) {
    const std::string bytes = RandomBytes(rng, n);
    const std::string text = Encode(bytes);
    ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
    const Decoded d = Decode(text);
    ASSERT_EQ(d.result, 0) << n;
    ASSERT_EQ(d.bytes, bytes) << n;
  }
}

// Differential against python3's base64 module: encoding of random bytes, and
// decoding of random texts with faults. DecodeData accepts what python's
// strict mode accepts when the text also has the length python's encoder
// gives the decoded bytes (strict mode lets surplus "=" pass); with filtering
// python gets the filtered text.
TEST(Base64, AgreesWithPythonBase64) {
  std::mt19937 rng(31);
  std::vector<std::string> bytes;
  for (size_t n = 0; n < 40; ++n) bytes.push_back(RandomBytes(rng, n));
  for (int i = 0; i < 100; ++i) bytes.push_back(RandomBytes(rng, rng() % 5000));
  bytes.push_back(RandomBytes(rng, 1 << 20));
  std::string feed;
  for (const std::string& b : bytes) feed += ToHex(b) + "\n";
  const std::string encoder = R"(
import sys, base64
for line in sys.stdin.read().split('\n')[:-1]:
    print(base64.b64encode(bytes.fromhex(line)).decode())
)";
  int status = -1;
  std::vector<std::string> lines = SplitLines(RunPython(encoder, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(Encode(bytes[i]), lines[i]) << i;

  std::vector<std::string> texts;
  const std::string faults = "= \n*_A";
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::string s = lines[i];
    texts.push_back(s);
    const int edits = 1 + static_cast<int>(rng() % 3);
    for (int e = 0; e < edits; ++e) {
      const size_t pos = rng() % (s.size() + 1);
      if (rng() % 2) {
        s.insert(pos, 1, faults[rng() % faults.size()]);
      } else if (pos < s.size()) {
        s.erase(pos, 1);
      }
    }
    texts.push_back(s);
  }
  for (int i = 0; i < 3000; ++i) {
    std::string s;
    const size_t n = rng() % 13;
    for (size_t k = 0; k < n; ++k) s.push_back("QUJD=+/ \n*"[rng() % 10]);
    texts.push_back(s);
  }
  feed.clear();
  for (const std::string& t : texts) feed += ToHex(t) + "\n";
  const std::string decoder = R"(
import sys, base64, binascii
keep = set(b'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=')
def dec(s):
    try:
        d = binascii.a2b_base64(s, strict_mode=True)
    except binascii.Error:
        return 'ERR'
    return d.hex().upper() if len(base64.b64encode(d)) == len(s) else 'ERR'
for line in sys.stdin.read().split('\n')[:-1]:
    s = bytes.fromhex(line)
    print(dec(bytes(c for c in s if c in keep)) + ' ' + dec(s))
)";
  lines = SplitLines(RunPython(decoder, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string got;
    for (bool filter : {true, false}) {
      const Decoded d = Decode(texts[i], filter);
      got += d.result == 0 ? ToHex(d.bytes) : std::string("ERR");
      if (filter) got += " ";
    }
    EXPECT_EQ(got, lines[i]) << ToHex(texts[i]);
  }
}

}  // namespace
}  // namespace kal
