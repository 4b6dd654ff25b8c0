#include "support/ErrorTable.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

std::string Main(int code) {
  std::string m, s;
  TERRErrorTable::ERRGettexts(code, m, s);
  return m;
}

std::string Sub(int code) {
  std::string m, s;
  TERRErrorTable::ERRGettexts(code, m, s);
  return s;
}

TEST(ErrorTable, ComposedTextKeepsBothBlanksAndTheSubText) {
  EXPECT_EQ(TERRErrorTable::ERRComposeText(4005, "x"),
            "error during decryption of session key cryptogram:  x. cryptogram is smaller than 41");
  EXPECT_EQ(TERRErrorTable::ERRComposeText(7007, "timeout"), "Error:  timeout. ");
  EXPECT_EQ(TERRErrorTable::ERRComposeText(7022, "abc"), " abc. ");
  EXPECT_EQ(TERRErrorTable::ERRComposeText(7021, "Value pool file not found: p.txt"),
            " Value pool file not found: p.txt. ");
  EXPECT_EQ(TERRErrorTable::ERRComposeText(1004, ""),
            "incorrect data stream:  . length bytes different from stream length");
}

TEST(ErrorTable, GroupZeroAlwaysHasTheMessageSourceMainText) {
  for (int code : {0, 8, 10, 17, 999, -1, -999}) {
    EXPECT_EQ(Main(code), "incorrect message source: ") << code;
    EXPECT_EQ(Sub(code), "") << code;
  }
  EXPECT_EQ(Sub(13), "format b element input data length is not a UTBase64 length (mod 4)");
  EXPECT_EQ(Sub(16), "format b element could not be encoded as UTBase64");
  EXPECT_EQ(Sub(26), "format cn element could not be encoded as UTBase64");
  EXPECT_EQ(Sub(15),
            "format b element wrong padding (input data isnt closed with correct padding "
            "characters))");
  EXPECT_EQ(Sub(25),
            "format cn element wrong padding (input data is not closed with correct padding "
            "characters))");
}

TEST(ErrorTable, UnlistedCodesKeepTheDefaults) {
  for (int code : {1001, 3002, 4011, 6003, 7007, 7010, 9006, 2001, 8001, 10000, -1005}) {
    EXPECT_EQ(Main(code), "Error: ") << code;
    EXPECT_EQ(Sub(code), "") << code;
  }
}

TEST(ErrorTable, PlugInRangeOfGroup9000) {
  for (int code : {9100, 9101, 9199}) {
    EXPECT_EQ(Main(code), "Plug in error. ") << code;
    EXPECT_EQ(Sub(code), "") << code;
  }
  EXPECT_EQ(Sub(9104), "Plug in error detected, see log of plug in");
  EXPECT_EQ(Main(9200), "Error: ");
  EXPECT_EQ(Main(9099), "Error: ");
  EXPECT_EQ(Main(9005), "Invalid track 2 equivalent data");
}

TEST(ErrorTable, RowsOfEachGroup) {
  EXPECT_EQ(Main(1003), "software error: ");
  EXPECT_EQ(Sub(1003), "unexpected encoding byte in outgoing stream");
  EXPECT_EQ(Main(3001), "XML parser error: ");
  EXPECT_EQ(Main(4066), "compressed numeric format error: ");
  EXPECT_EQ(Sub(4067), "illegal character in received hex string");
  EXPECT_EQ(Main(5003), "software error: ");
  EXPECT_EQ(Main(6002), "Number of attributes and attribute values is different");
  EXPECT_EQ(Main(7002), "Socket error: ");
  EXPECT_EQ(Main(7011), "Frame length exceeds limit: ");
  EXPECT_EQ(Sub(7006), "Wrong message tag");
  EXPECT_EQ(Main(7009), "");
  EXPECT_EQ(Sub(7009), "No key from incoming message available (press again to use default key)");
}

TEST(ErrorTable, TheByteStreamsSecurityCodesReadAsTheEp2SecurityRows) {
  for (int offset : {100, 200}) {
    for (int detail : {4, 18, 57}) {
      EXPECT_EQ(Main(1000 + offset + detail), Main(4000 + detail)) << offset + detail;
      EXPECT_EQ(Sub(1000 + offset + detail), Sub(4000 + detail)) << offset + detail;
    }
  }
  EXPECT_EQ(Sub(1204), "invalid session key length variant MAC");
  EXPECT_EQ(Main(1211), "Error: ");
}

}  // namespace
}  // namespace kal
