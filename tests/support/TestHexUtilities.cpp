#include "support/HexUtilities.h"

#include <gtest/gtest.h>

#include <climits>
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

// Documented behaviour, case by case.
TEST(HexUtilities, StringToHexSpacedForm) {
  EXPECT_EQ(UTHStringToHex(FromHex("01A23C")), "01 A2 3C");
  EXPECT_EQ(UTHStringToHex(FromHex("0A")), "0A");
  EXPECT_EQ(UTHStringToHex(""), "");
  EXPECT_EQ(UTHStringToHex(std::string("\x00\xff", 2)), "00 FF");
}

TEST(HexUtilities, StringToCompactHex) {
  EXPECT_EQ(UTHStringToCompactHex(FromHex("01A2FF")), "01A2FF");
  EXPECT_EQ(UTHStringToCompactHex(""), "");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(UTHStringToCompactHex(all), ToHex(all));
}

TEST(HexUtilities, HexToStringSkipsSeparatorsAndLoneDigits) {
  EXPECT_EQ(UTHHexToString("01 a2:3c"), FromHex("01A23C"));
  EXPECT_EQ(UTHHexToString("0 12"), FromHex("12"));
  EXPECT_EQ(UTHHexToString("ABC"), FromHex("AB"));
  EXPECT_EQ(UTHHexToString(""), "");
  EXPECT_EQ(UTHHexToString("A B"), "");
  EXPECT_EQ(UTHHexToString("1 23"), FromHex("23"));
  EXPECT_EQ(UTHHexToString("A"), "");
  EXPECT_EQ(UTHHexToString("aBcD"), FromHex("ABCD"));
  EXPECT_EQ(UTHHexToString("G1 23 4"), FromHex("23"));
  EXPECT_EQ(UTHHexToString("1G23"), FromHex("23"));
  EXPECT_EQ(UTHHexToString(std::string("0\0001", 3)), "");
  EXPECT_EQ(UTHHexToString("\xff"
                           "12\x80"),
            FromHex("12"));
}

TEST(HexUtilities, HexCharClassesOverAllCharacters) {
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    const bool hex = (i >= '0' && i <= '9') || (i >= 'A' && i <= 'F') || (i >= 'a' && i <= 'f');
    EXPECT_EQ(UTHIsHexChar(c), hex) << i;
    int value = 0;
    if (i >= '0' && i <= '9') value = i - '0';
    if (i >= 'A' && i <= 'F') value = i - 'A' + 10;
    if (i >= 'a' && i <= 'f') value = i - 'a' + 10;
    EXPECT_EQ(UTHHexCharToInt(c), value) << i;
  }
  EXPECT_TRUE(UTHIsHexString(""));
  EXPECT_TRUE(UTHIsHexString("0123456789abcdefABCDEF"));
  EXPECT_FALSE(UTHIsHexString("01 23"));
  EXPECT_FALSE(UTHIsHexString(std::string("01\0", 3)));
}

TEST(HexUtilities, IntToHexCharOutsideRangeGivesZero) {
  const std::string digits = "0123456789ABCDEF";
  for (int v = 0; v < 16; ++v) EXPECT_EQ(UTHIntToHexChar(v), digits[static_cast<size_t>(v)]);
  for (int v : {-1, 16, 17, 255, 256, INT_MIN, INT_MAX}) EXPECT_EQ(UTHIntToHexChar(v), '0') << v;
}

// UTHHexToInt reads like Delphi's StrToInt('$' + text); see HexUtilities.h.
TEST(HexUtilities, HexToIntKnownValues) {
  EXPECT_EQ(UTHHexToInt("7FFFFFFF"), 2147483647);
  EXPECT_EQ(UTHHexToInt("xyz"), 0);
  EXPECT_EQ(UTHHexToInt("0"), 0);
  EXPECT_EQ(UTHHexToInt("ab"), 171);
  EXPECT_EQ(UTHHexToInt("AB"), 171);
  EXPECT_EQ(UTHHexToInt("80000000"), INT_MIN);
  EXPECT_EQ(UTHHexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(UTHHexToInt("ffffffff"), -1);
  EXPECT_EQ(UTHHexToInt("0000000000000FF"), 255);  // leading zeros are free
  EXPECT_EQ(UTHHexToInt("00000000FFFFFFFF"), -1);
}

TEST(HexUtilities, HexToIntConversionFailuresGiveZero) {
  for (const char* text : {"", "123456789", "100000000", "1FFFFFFFF", " 1", "1 ", "+1", "-1", "$1",
                           "0x1", "0X1", "1_0", "1h", "G", "\t1"}) {
    EXPECT_EQ(UTHHexToInt(text), 0) << '"' << text << '"';
  }
  EXPECT_EQ(UTHHexToInt(std::string("1\0", 2)), 0);
  EXPECT_EQ(UTHHexToInt(std::string("\0"
                                    "1",
                                    2)),
            0);
}

TEST(HexUtilities, FiveBitsSetMarksMultiByteTags) {
  for (const char* t : {"1F", "3F", "5F", "7F", "9F", "BF", "DF", "FF", "9f", "df", "fF"}) {
    EXPECT_TRUE(UTH5BytesSet(t)) << t;
  }
  for (const char* t : {"9F33", "1E", "0F", "2F", "EF", "F", "", "9", " 9F", "9F ", "XF"}) {
    EXPECT_FALSE(UTH5BytesSet(t)) << t;
  }
}

TEST(HexUtilities, SetBitNumbersFromTheTopOfTheFirstDigit) {
  EXPECT_EQ(UTHSetBit("00", 1, 1), "80");
  EXPECT_EQ(UTHSetBit("0F", 8, 0), "0E");
  EXPECT_EQ(UTHSetBit("ab", 1, 0), "2B");
  EXPECT_EQ(UTHSetBit("AB", 9, 1), "AB");
  EXPECT_EQ(UTHSetBit("00", 4, 1), "10");
  EXPECT_EQ(UTHSetBit("00", 5, 1), "08");
  EXPECT_EQ(UTHSetBit("00", 2, 2), "00");  // any value but 1 clears
  EXPECT_EQ(UTHSetBit("FF", 2, 2), "BF");
  EXPECT_EQ(UTHSetBit("", 1, 1), "");
}

TEST(HexUtilities, SetBitBelowOneLeavesTheTextUnchanged) {
  // A bit below 1 changes nothing (plain arithmetic would touch the first
  // digit or read before it); the text is upper-cased as for a bit
  // beyond the end.
  for (int bit : {0, -1, -4, -5, INT_MIN}) {
    EXPECT_EQ(UTHSetBit("0f", bit, 1), "0F") << bit;
    EXPECT_EQ(UTHSetBit("", bit, 1), "") << bit;
  }
  EXPECT_EQ(UTHSetBit("0f", INT_MAX, 1), "0F");
}

TEST(HexUtilities, SetBitOnNonHexDigitUsesFourFalseBits) {
  EXPECT_EQ(UTHSetBit("G0", 4, 1), "10");
  EXPECT_EQ(UTHSetBit("G0", 4, 0), "00");
  EXPECT_EQ(UTHSetBit("G0", 5, 1), "G8");  // other digits stay as they are
}

TEST(HexUtilities, SetBitAgreesWithIntegerArithmetic) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    const std::string hex = UTHStringToCompactHex(RandomBytes(rng, 1 + rng() % 6));
    const int bit = 1 + static_cast<int>(rng() % (hex.size() * 4));
    const int value = static_cast<int>(rng() % 3);
    const std::string got = UTHSetBit(hex, bit, value);
    std::string bytes = FromHex(hex);
    const size_t index = static_cast<size_t>(bit - 1) / 8;
    const auto mask = static_cast<unsigned char>(0x80u >> ((bit - 1) % 8));
    auto b = static_cast<unsigned char>(bytes[index]);
    b = value == 1 ? (b | mask) : (b & ~mask);
    bytes[index] = static_cast<char>(b);
    EXPECT_EQ(got, ToHex(bytes)) << hex << " bit " << bit << " value " << value;
  }
}

TEST(HexUtilities, BitsOfAHexDigit) {
  const std::string digits = "0123456789ABCDEF";
  for (int v = 0; v < 16; ++v) {
    const char c = digits[static_cast<size_t>(v)];
    const std::array<bool, 4> bits = UTHHexCharToBits(c);
    EXPECT_EQ(bits, (std::array<bool, 4>{(v & 8) != 0, (v & 4) != 0, (v & 2) != 0, (v & 1) != 0}));
    EXPECT_EQ(UTHBitsToHexChar(bits), c);
    bool b8 = false, b4 = false, b2 = false, b1 = false;
    UTHHexCharToBits(c, b8, b4, b2, b1);
    EXPECT_EQ(UTHBitsToHexChar(b8, b4, b2, b1), c);
  }
  for (char c : {'a', 'f', 'G', ' ', '\0'}) {
    EXPECT_EQ(UTHHexCharToBits(c), (std::array<bool, 4>{false, false, false, false})) << c;
  }
}

TEST(HexUtilities, ExpandHexStringKeepsCharactersAndTrailingBlank) {
  EXPECT_EQ(UTHExpandHexString("0a1b2"), "0a 1b ");
  EXPECT_EQ(UTHExpandHexString("01 A2  3C"), "01 A2 3C ");
  EXPECT_EQ(UTHExpandHexString("0 1 2"), "01 ");
  EXPECT_EQ(UTHExpandHexString("xyz!"), "xy z! ");
  EXPECT_EQ(UTHExpandHexString("\t1"), "\t1 ");  // only " " is removed
  EXPECT_EQ(UTHExpandHexString(""), "");
  EXPECT_EQ(UTHExpandHexString("   "), "");
  EXPECT_EQ(UTHExpandHexString("A"), "");
}

// Differential against Debian's python3: bytes.hex for the writers, and the
// readers fed python's output with random separators.
TEST(HexUtilities, WritersAgreeWithPythonBytesHex) {
  std::mt19937 rng(11);
  std::vector<std::string> inputs;
  for (size_t n = 0; n < 64; ++n) inputs.push_back(RandomBytes(rng, n));
  for (int i = 0; i < 200; ++i) inputs.push_back(RandomBytes(rng, rng() % 3000));
  std::string feed;
  for (const std::string& s : inputs) feed += ToHex(s) + "\n";
  const std::string script = R"(
import sys
for line in sys.stdin.read().split('\n')[:-1]:
    b = bytes.fromhex(line)
    print(b.hex(' ').upper() + '|' + b.hex().upper())
)";
  int status = -1;
  const std::vector<std::string> lines = SplitLines(RunPython(script, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(UTHStringToHex(inputs[i]) + "|" + UTHStringToCompactHex(inputs[i]), lines[i]) << i;
  }
}

TEST(HexUtilities, ReaderAgreesWithPythonOnSeparatedAndNoisyText) {
  std::mt19937 rng(13);
  std::vector<std::string> texts;
  // python's bytes.hex with separators of any kind: the reader must give the
  // bytes back.
  std::vector<std::string> bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(RandomBytes(rng, rng() % 200));
  const std::string seps = " :-\t|,;.xyz_";
  std::string feed;
  for (const std::string& b : bytes) {
    feed += ToHex(b) + " " + std::to_string(static_cast<int>(seps[rng() % seps.size()])) + " " +
            std::to_string(1 + rng() % 4) + "\n";
  }
  const std::string script = R"(
import sys
for line in sys.stdin.read().split('\n')[:-1]:
    h, sep, every = line.split(' ')
    b = bytes.fromhex(h)
    print(b.hex(chr(int(sep)), int(every)) if b else '')
)";
  int status = -1;
  const std::vector<std::string> lines = SplitLines(RunPython(script, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    EXPECT_EQ(UTHHexToString(lines[i]), bytes[i]) << lines[i];
  }

  // Noisy text: a few-line python model of the hex reader.
  const std::string noise = "0123456789abcdefABCDEF  :g\xff\x01-";
  std::vector<std::string> noisy;
  feed.clear();
  for (int i = 0; i < 2000; ++i) {
    std::string t;
    const size_t n = rng() % 40;
    for (size_t k = 0; k < n; ++k) t.push_back(noise[rng() % noise.size()]);
    noisy.push_back(t);
    feed += ToHex(t) + "\n";
  }
  const std::string model = R"(
import sys, string
for line in sys.stdin.read().split('\n')[:-1]:
    t = bytes.fromhex(line).decode('latin-1')
    out, i = bytearray(), 0
    while len(t) - i >= 2:
        if t[i] in string.hexdigits and t[i + 1] in string.hexdigits:
            out.append(int(t[i:i + 2], 16)); i += 2
        else:
            i += 1
    print(out.hex().upper())
)";
  const std::vector<std::string> expected = SplitLines(RunPython(model, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(expected.size(), noisy.size());
  for (size_t i = 0; i < noisy.size(); ++i) {
    EXPECT_EQ(UTHStringToCompactHex(UTHHexToString(noisy[i])), expected[i]) << ToHex(noisy[i]);
  }
}

// Python's int(s, 16), wrapped to 32 bits, on the texts the run-time library
// accepts after a "$" (hex digits only, at most 32 significant bits); every
// other text is a conversion failure and gives 0.
TEST(HexUtilities, HexToIntAgreesWithPythonInt) {
  std::mt19937 rng(17);
  const std::string alphabet = "0123456789abcdefABCDEF0000FFff +-xX_$g\t";
  std::vector<std::string> texts = {
      "",   "0",  "7FFFFFFF", "80000000", "FFFFFFFF", "100000000", "000000000000000001",
      " 1", "1 ", "-1",       "+1",       "0x10",     "1_0"};
  for (int i = 0; i < 5000; ++i) {
    std::string t;
    const size_t n = rng() % 14;
    const bool clean = rng() % 2;
    for (size_t k = 0; k < n; ++k) {
      t.push_back(clean ? "0123456789abcdefABCDEF"[rng() % 22] : alphabet[rng() % alphabet.size()]);
    }
    texts.push_back(t);
  }
  std::string feed;
  for (const std::string& t : texts) feed += ToHex(t) + "\n";
  const std::string script = R"(
import sys, re
for line in sys.stdin.read().split('\n')[:-1]:
    s = bytes.fromhex(line).decode('latin-1')
    v = 0
    if re.fullmatch('[0-9A-Fa-f]+', s):
        v = int(s, 16)
        if v >= 2**32:
            v = 0
        elif v >= 2**31:
            v -= 2**32
    print(v)
)";
  int status = -1;
  const std::vector<std::string> lines = SplitLines(RunPython(script, feed, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(std::to_string(UTHHexToInt(texts[i])), lines[i]) << '"' << texts[i] << '"';
  }
}

}  // namespace
}  // namespace kal
