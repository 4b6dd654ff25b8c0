#include "support/CompressedNumeric.h"

#include <gtest/gtest.h>

#include <random>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

// Documented behaviour, case by case.
TEST(CompressedNumeric, CompressPadsOddLengthWithF) {
  const TUTCompressedNumeric cn(4060);
  std::string packed = "stale";
  EXPECT_EQ(cn.UTCCompressNumericString("12345", packed), 0);
  EXPECT_EQ(packed, FromHex("12345F"));
  EXPECT_EQ(cn.UTCCompressNumericString("1234", packed), 0);
  EXPECT_EQ(packed, FromHex("1234"));
  EXPECT_EQ(cn.UTCCompressNumericString("", packed), 0);
  EXPECT_EQ(packed, "");
  EXPECT_EQ(cn.UTCCompressNumericString("7", packed), 0);
  EXPECT_EQ(packed, FromHex("7F"));
}

TEST(CompressedNumeric, CompressAcceptsHexDigitsOfEitherCase) {
  const TUTCompressedNumeric cn(0);
  std::string packed;
  EXPECT_EQ(cn.UTCCompressNumericString("aBcDeF0", packed), 0);
  EXPECT_EQ(packed, FromHex("ABCDEF0F"));
}

TEST(CompressedNumeric, CompressStopsAtTheFirstBadDigitWithBasePlus6) {
  const TUTCompressedNumeric cn(4060);
  std::string packed;
  // First digit of a pair bad: nothing of the pair.
  EXPECT_EQ(cn.UTCCompressNumericString("12X4", packed), 4066);
  EXPECT_EQ(packed, FromHex("12"));
  // Second digit of a pair bad: the pair's byte (first digit x 16) is still
  // appended before the stop.
  EXPECT_EQ(cn.UTCCompressNumericString("1X34", packed), 4066);
  EXPECT_EQ(packed, FromHex("10"));
  EXPECT_EQ(cn.UTCCompressNumericString("123", packed), 0);
  EXPECT_EQ(cn.UTCCompressNumericString("12345g", packed), 4066);
  EXPECT_EQ(packed, FromHex("123450"));
  EXPECT_EQ(cn.UTCCompressNumericString(" 1", packed), 4066);
  EXPECT_EQ(packed, "");
  EXPECT_EQ(TUTCompressedNumeric(50).UTCCompressNumericString("1G", packed), 56);
  EXPECT_EQ(TUTCompressedNumeric(0).UTCCompressNumericString(std::string("1\0", 2), packed), 6);
}

TEST(CompressedNumeric, ExpandGivesUpperCaseDigitsAndKeepsPaddingF) {
  const TUTCompressedNumeric cn(4060);
  std::string digits = "stale";
  EXPECT_EQ(cn.UTCExpandCompNumericString(FromHex("12345F"), digits), 0);
  EXPECT_EQ(digits, "12345F");
  EXPECT_EQ(cn.UTCExpandCompNumericString(FromHex("ABCDEF00FF"), digits), 0);
  EXPECT_EQ(digits, "ABCDEF00FF");
  EXPECT_EQ(cn.UTCExpandCompNumericString("", digits), 0);
  EXPECT_EQ(digits, "");
}

TEST(CompressedNumeric, ExpandIsCompactHexOfEveryByte) {
  const TUTCompressedNumeric cn(0);
  std::mt19937 rng(1);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(rng() % 50, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
    std::string digits, back;
    EXPECT_EQ(cn.UTCExpandCompNumericString(bytes, digits), 0);
    EXPECT_EQ(digits, ToHex(bytes));
    EXPECT_EQ(cn.UTCCompressNumericString(digits, back), 0);
    EXPECT_EQ(back, bytes);
  }
}

TEST(CompressedNumeric, HexCharToIntOverAllCharacters) {
  const TUTCompressedNumeric cn(100);
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    int value = 99;
    const int result = cn.UTCHexCharToInt(c, value);
    if (i >= '0' && i <= '9') {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(value, i - '0');
    } else if ((i >= 'A' && i <= 'F') || (i >= 'a' && i <= 'f')) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(value, (i | 0x20) - 'a' + 10);
    } else {
      EXPECT_EQ(result, 106) << i;
      EXPECT_EQ(value, 0) << i;
    }
  }
}

TEST(CompressedNumeric, IntToHexCharRefusesValuesOutside0To15) {
  const TUTCompressedNumeric cn(4060);
  for (int v = 0; v < 16; ++v) {
    char c = '?';
    EXPECT_EQ(cn.UTCIntToHexChar(v, c), 0);
    EXPECT_EQ(c, "0123456789ABCDEF"[v]);
  }
  for (int v : {-1, 16, 255, -2147483647 - 1}) {
    char c = '?';
    EXPECT_EQ(cn.UTCIntToHexChar(v, c), 4067) << v;
    EXPECT_EQ(c, '?') << v;  // unchanged
  }
}

TEST(CompressedNumeric, ErrorBaseIsKept) {
  EXPECT_EQ(TUTCompressedNumeric(4060).UTCGetErrorBase(), 4060);
  EXPECT_EQ(TUTCompressedNumeric(-5).UTCGetErrorBase(), -5);
}

}  // namespace
}  // namespace kal
