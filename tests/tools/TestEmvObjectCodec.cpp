#include "tools/EmvObjectCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "common/TestSupport.h"
#include "support/StringGrid.h"

namespace kal {
namespace {

std::vector<TEMVBitByte> NoBits(TEMVPage page) {
  return std::vector<TEMVBitByte>(static_cast<size_t>(EMVBitPageBytes(page)));
}

// --- Check-list pages ---

TEST(EmvBitPages, EachBitAloneGivesItsHexDigitAndDecodesBack) {
  for (TEMVPage page : {TEMVPage::TVR, TEMVPage::ApplicationInterchangeProfile,
                        TEMVPage::TerminalCapabilities, TEMVPage::AdditionalTerminalCapabilities}) {
    const size_t count = static_cast<size_t>(EMVBitPageBytes(page));
    for (size_t b = 0; b < count; ++b) {
      for (size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(std::string(EMVPageCaption(page)) + " byte " + std::to_string(b + 1) +
                     " item " + std::to_string(i));
        std::vector<TEMVBitByte> bytes = NoBits(page);
        bytes[b][i] = true;
        std::string expected(2 * count, '0');
        expected[2 * b + i / 4] = "8421"[i % 4];
        const std::string hex = EMVEncodeBits(bytes);
        EXPECT_EQ(hex, expected);
        std::vector<TEMVBitByte> back = NoBits(page);
        back[0][7] = true;  // every item is written, set ones cleared too
        ASSERT_TRUE(EMVDecodeBits(hex, back));
        EXPECT_EQ(back, bytes);
      }
    }
  }
}

TEST(EmvBitPages, DecodesSpacedLowerCaseAndRefusesOtherLengthsOrNonHex) {
  std::vector<TEMVBitByte> tvr = NoBits(TEMVPage::TVR);
  ASSERT_TRUE(EMVDecodeBits("80 00 00 00 00", tvr));
  EXPECT_TRUE(tvr[0][0]);
  EXPECT_EQ(EMVEncodeBits(tvr), "8000000000");
  ASSERT_TRUE(EMVDecodeBits("ff 0a 00 00 01", tvr));
  EXPECT_EQ(EMVEncodeBits(tvr), "FF0A000001");

  for (const char* bad : {"800000000", "80000000000", "", "80 00 00 00 0G", "80-0000000"}) {
    std::vector<TEMVBitByte> unchanged = tvr;
    EXPECT_FALSE(EMVDecodeBits(bad, unchanged)) << bad;
    EXPECT_EQ(unchanged, tvr) << bad;
  }
  EXPECT_STREQ(EMVBitItemText(TEMVPage::ApplicationInterchangeProfile, 0, 6),
               "Combined DDA - GENERATE AC supported");
  EXPECT_STREQ(EMVBitItemText(TEMVPage::TerminalCapabilities, 2, 3),
               "Combined DDA / AC Generation");
}

// --- CVM Results ---

TEST(EmvCvmResults, DecodesAndEncodesBack) {
  struct Case {
    const char* value;
    int method, onFailure, condition, result;
    const char* otherMethod;
    const char* otherCondition;
    const char* encoded;
  };
  const Case cases[] = {
      {"41 03 02", 1, 1, 3, 2, "", "", "410302"},
      {"4E0302", TEMVCvmResults::OtherMethod, 1, 3, 2, "4E", "", "4E0302"},
      {"1f0a01", 7, 0, TEMVCvmResults::OtherCondition, 1, "", "0A", "1F0A01"},
      {"5E0900", 6, 1, 7, 0, "", "", "5E0900"},
      // b8 set: the failure choice stays as it was (here 0), the byte is "Other".
      {"C10000", TEMVCvmResults::OtherMethod, 0, 0, 0, "C1", "", "C10000"},
      // An unknown result byte leaves no result selected; it encodes as 00.
      {"020105", 2, 0, 1, -1, "", "", "020100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TEMVCvmResults page;
    page.onFailure = 0;
    ASSERT_TRUE(EMVDecodeCvmResults(c.value, page));
    EXPECT_EQ(page.method, c.method);
    EXPECT_EQ(page.onFailure, c.onFailure);
    EXPECT_EQ(page.condition, c.condition);
    EXPECT_EQ(page.result, c.result);
    EXPECT_EQ(page.otherMethod, c.otherMethod);
    EXPECT_EQ(page.otherCondition, c.otherCondition);
    std::string message;
    EXPECT_EQ(EMVEncodeCvmResults(page, message), c.encoded);
    EXPECT_EQ(message, "");
  }
}

TEST(EmvCvmResults, MalformedValuesAndOtherFields) {
  TEMVCvmResults page;
  for (const char* bad : {"41030", "4103020", "41030G", ""})
    EXPECT_FALSE(EMVDecodeCvmResults(bad, page)) << bad;
  EXPECT_EQ(page.method, -1);

  page.method = TEMVCvmResults::OtherMethod;
  page.otherMethod = " 7c ";
  page.condition = TEMVCvmResults::OtherCondition;
  page.otherCondition = "0A";
  page.result = 1;
  std::string message;
  EXPECT_EQ(EMVEncodeCvmResults(page, message), "7C0A01");
  EXPECT_EQ(message, "");
  for (const char* bad : {"", "7", "7CC", "XY"}) {
    page.otherMethod = bad;
    EXPECT_EQ(EMVEncodeCvmResults(page, message), "000A01") << bad;
    EXPECT_EQ(message, "Enter a hex byte e.g. \"FF\" for other value");
  }
}

// --- Terminal Type ---

TEST(EmvTerminalType, DecodesValidNumbersAndClearsOthers) {
  for (int number = 0; number <= 99; ++number) {
    const std::string value = (number < 10 ? "0" : "") + std::to_string(number);
    TEMVTerminalType page{1, 1, 1};
    const bool valid = (number >= 11 && number <= 16) || (number >= 21 && number <= 26) ||
                       (number >= 34 && number <= 36);
    EXPECT_EQ(EMVDecodeTerminalType(value, page), valid) << value;
    if (!valid) {
      EXPECT_EQ(page.environment, -1) << value;
      EXPECT_EQ(page.capability, -1) << value;
      EXPECT_EQ(page.control, -1) << value;
      continue;
    }
    std::string encoded;
    EXPECT_EQ(EMVEncodeTerminalType(page, encoded), TEMVTerminalTypeCode::Encoded);
    EXPECT_EQ(encoded, value);
  }
  TEMVTerminalType page;
  ASSERT_TRUE(EMVDecodeTerminalType("22", page));
  EXPECT_EQ(page.environment, 0);  // attended
  EXPECT_EQ(page.capability, 1);   // offline with online capability
  EXPECT_EQ(page.control, 1);      // merchant
  for (const char* bad : {"4A", "2", "222", "A2", ""}) {
    page = TEMVTerminalType{0, 0, 0};
    EXPECT_FALSE(EMVDecodeTerminalType(bad, page)) << bad;
    EXPECT_EQ(page.control, -1) << bad;
  }
}

TEST(EmvTerminalType, AttendedCardholderIsAnErrorAndGapsWriteNothing) {
  std::string value = "22";
  EXPECT_EQ(EMVEncodeTerminalType({0, 1, 2}, value), TEMVTerminalTypeCode::Error);
  EXPECT_EQ(EMVEncodeTerminalType({-1, 1, 1}, value), TEMVTerminalTypeCode::Incomplete);
  EXPECT_EQ(EMVEncodeTerminalType({0, -1, 1}, value), TEMVTerminalTypeCode::Incomplete);
  EXPECT_EQ(EMVEncodeTerminalType({0, 1, -1}, value), TEMVTerminalTypeCode::Incomplete);
  EXPECT_EQ(value, "22");
}

// --- Cryptogram Information Data ---

TEST(EmvCryptogramInfo, FieldsMapOntoTheirBits) {
  struct Case {
    TEMVCryptogramInfo page;
    const char* hex;
  };
  const Case cases[] = {
      {{2, 0, 1, 3}, "8B"}, {{0, 0, 0, 0}, "00"}, {{3, 3, 1, 7}, "FF"},
      {{1, 2, 0, 4}, "64"}, {{0, 1, 1, 1}, "19"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EMVEncodeCryptogramInfo(c.page), c.hex);
    TEMVCryptogramInfo back;
    ASSERT_TRUE(EMVDecodeCryptogramInfo(std::string(" ") + c.hex, back));
    EXPECT_EQ(EMVEncodeCryptogramInfo(back), c.hex);
    EXPECT_EQ(back.type, c.page.type);
    EXPECT_EQ(back.reason, c.page.reason);
  }
  // Groups without a selection give clear bits.
  EXPECT_EQ(EMVEncodeCryptogramInfo({-1, 3, -1, -1}), "30");
  TEMVCryptogramInfo page;
  ASSERT_TRUE(EMVDecodeCryptogramInfo("8b", page));
  EXPECT_EQ(EMVEncodeCryptogramInfo(page), "8B");
  // A character that is no hex digit reads as four clear bits.
  ASSERT_TRUE(EMVDecodeCryptogramInfo("8Z", page));
  EXPECT_EQ(EMVEncodeCryptogramInfo(page), "80");
  for (const char* bad : {"8", "8B0", ""}) EXPECT_FALSE(EMVDecodeCryptogramInfo(bad, page)) << bad;
}

// --- Issuer Script Commands ---

TEST(EmvScriptCommands, DecoderMessages) {
  struct Case {
    const char* value;
    const char* message;
  };
  const Case cases[] = {
      {"7107 9F1804 00001234", "   "},
      {"7312 9F1804 00001234 8605 00A4000000", "Command tag is not 71 or 72"},
      {"71XY 9F1804 00001234", "Length Byte of issuer script commands is not a valid Hex String"},
      {"7182 0G 9F1804 00001234",
       "Length Byte of issuer script commands is not a valid Hex String"},
      {"7109 9F1804 00001234", "Length Byte is not equal issuer script commands element length"},
      // More length bytes than any value here can need.
      {"7185 0000000007 9F1804 00001234",
       "Length Byte of issuer script commands is not a valid Hex String"},
      {"7181 07 9F1804 00001234", "   "},
      {"7107 9F1904 00001234", "Script ID tag must be 9F18"},
      {"7107 9F1805 00001234", "Script ID length must be 04"},
      {"7107 9F1804 0000123G", "Script ID is not a Hex String"},
      {"710A 9F1804 00001234 8701 00", "Command tag must be 86"},
      {"710A 9F1804 00001234 86GG 00", "Length Byte of command is not a valid Hex String"},
      {"710A 9F1804 00001234 8602 00", "Length Byte is not equal command length"},
      {"710E 9F1804 00001234 8602 0G00 8601 AA", "Command is not a valid Hex String: 0G00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TEMVScriptCommands page;
    std::string message;
    EXPECT_TRUE(EMVDecodeScriptCommands(c.value, page, message));
    EXPECT_EQ(message, c.message);
  }
  // The command after a non-hex one still goes to the first row.
  TEMVScriptCommands page;
  page.commands = {"11", "22", "33"};
  std::string message;
  EXPECT_TRUE(EMVDecodeScriptCommands("720E 9F1804 0000ABCD 8602 0G00 8601 aa", page, message));
  EXPECT_EQ(page.tag, 1);
  EXPECT_EQ(page.scriptId, "0000ABCD");
  EXPECT_EQ(page.commands, (std::vector<std::string>{"AA", "22", "33"}));

  // Odd lengths and values under 18 digits are not read.
  for (const char* unread : {"7108 9F1804 0000123", "7107 9F1804 000012", ""}) {
    page = TEMVScriptCommands{};
    EXPECT_FALSE(EMVDecodeScriptCommands(unread, page, message)) << unread;
    EXPECT_TRUE(page.scriptId.empty());
  }
}

TEST(EmvScriptCommands, EmptyGridEncodesToAValueThatDecodes) {
  TEMVScriptCommands page;
  page.scriptId = "00001234";
  page.commands = {"", " ", ""};
  const std::string value = EMVEncodeScriptCommands(page);
  EXPECT_EQ(value, "71079F180400001234");
  TEMVScriptCommands back;
  std::string message;
  ASSERT_TRUE(EMVDecodeScriptCommands(value, back, message));
  EXPECT_EQ(message, "   ");
  EXPECT_EQ(back.scriptId, "00001234");
}

// One line of `openssl asn1parse`: "    0:d=0  hl=2 l=  14 cons: appl [ 17 ]".
struct Asn1Row {
  unsigned depth = 0, header = 0, length = 0, tag = 0;
  std::string form, tagClass;
};

bool ReadAsn1Row(const std::string& text, Asn1Row& row) {
  unsigned offset = 0;
  char form[8] = {}, tagClass[16] = {};
  if (std::sscanf(text.c_str(), " %u:d=%u hl=%u l= %u %7[a-z]: %15[a-z] [ %u ]", &offset,
                  &row.depth, &row.header, &row.length, form, tagClass, &row.tag) != 7)
    return false;
  row.form = form;
  row.tagClass = tagClass;
  return true;
}

// The template is read by OpenSSL's DER parser: application class 17 or 18
// (constructed), holding context [24] of 4 bytes and context [6] of n bytes.
TEST(EmvScriptCommands, OpenSslReadsTemplatesWithLongCommands) {
  std::mt19937 rng(35);
  for (unsigned tag = 0; tag < 2; ++tag) {
    for (unsigned n : {0u, 1u, 127u, 128u, 255u, 256u, 300u}) {
      SCOPED_TRACE("tag " + std::to_string(tag) + " command bytes " + std::to_string(n));
      TEMVScriptCommands page;
      page.tag = static_cast<int>(tag);
      page.scriptId = "0102A3B4";
      page.commands = {test::ToHex(test::RandomBytes(rng, n))};
      const std::string value = EMVEncodeScriptCommands(page);
      int status = 0;
      const std::string out =
          test::RunCommand("openssl asn1parse -inform DER", test::FromHex(value), &status);
      ASSERT_EQ(status, 0) << out;
      std::vector<Asn1Row> rows;
      for (const std::string& text : test::SplitLines(out)) {
        Asn1Row row;
        ASSERT_TRUE(ReadAsn1Row(text, row)) << text;
        rows.push_back(row);
      }
      const unsigned body = 7 + (n == 0 ? 0 : 1 + (n < 128 ? 1 : n < 256 ? 2 : 3) + n);
      ASSERT_EQ(rows.size(), n == 0 ? 2u : 3u) << out;
      EXPECT_EQ(rows[0].form, "cons");
      EXPECT_EQ(rows[0].tagClass, "appl");
      EXPECT_EQ(rows[0].tag, 17 + tag);
      EXPECT_EQ(rows[0].length, body);
      EXPECT_EQ(rows[0].header, body < 128 ? 2u : body < 256 ? 3u : 4u);
      EXPECT_EQ(rows[1].tagClass, "cont");
      EXPECT_EQ(rows[1].tag, 24u);
      EXPECT_EQ(rows[1].length, 4u);
      if (n == 0) continue;
      EXPECT_EQ(rows[2].depth, 1u);
      EXPECT_EQ(rows[2].form, "prim");
      EXPECT_EQ(rows[2].tagClass, "cont");
      EXPECT_EQ(rows[2].tag, 6u);
      EXPECT_EQ(rows[2].length, n);
    }
  }
}

TEST(EmvScriptCommands, RandomScriptsSurviveDecodeThenEncode) {
  std::mt19937 rng(3501);
  for (int round = 0; round < 200; ++round) {
    TEMVScriptCommands page;
    page.tag = static_cast<int>(rng() % 2);
    page.scriptId = test::ToHex(test::RandomBytes(rng, 4));
    const size_t count = rng() % 5;
    for (size_t i = 0; i < count; ++i)
      page.commands.push_back(test::ToHex(test::RandomBytes(rng, 1 + rng() % 300)));
    const std::string value = EMVEncodeScriptCommands(page);
    TEMVScriptCommands back;
    std::string message;
    ASSERT_TRUE(EMVDecodeScriptCommands(value, back, message));
    EXPECT_EQ(message, "   ");
    EXPECT_EQ(back.commands, page.commands);
    EXPECT_EQ(EMVEncodeScriptCommands(back), value);
  }
}

TEST(EmvScriptCommands, GridTrimKeepsElevenRowsAndOneEmptyRowAtTheEnd) {
  TStringGrid grid;
  grid.SetColCount(2);
  grid.SetRowCount(15);
  grid.SetFixedRows(1);
  grid.SetFixedCols(1);
  grid.SetCell(1, 3, "00A4");
  EMVTrimCommandGrid(grid, 11);
  EXPECT_EQ(grid.RowCount(), 11);
  grid.SetCell(1, 10, "00B2");
  EMVTrimCommandGrid(grid, 11);
  EXPECT_EQ(grid.RowCount(), 12);
  EXPECT_EQ(grid.Cell(1, 11), "");
}

// --- Issuer Script Results ---

TEST(EmvScriptResults, AddRemoveAndEncode) {
  TEMVScriptResults page = EMVInitialScriptResults();
  EMVAddScriptResult(page);
  EMVAddScriptResult(page);
  EMVSetScriptResultsId(page, "1234");
  page.groups[0].result = 2;
  page.groups[1].result = 1;
  page.groups[2].result = 0;
  EXPECT_EQ(EMVEncodeScriptResults(page), "210000123412000012340300001234");

  for (int i = 4; i <= 16; ++i) EMVAddScriptResult(page);
  std::string digits;
  for (const TEMVScriptResult& g : page.groups) digits += g.sequence;
  EXPECT_EQ(digits, "123456789ABCDEFF");
  EXPECT_EQ(EMVEncodeScriptResults(page).substr(140, 2), "2F");

  // Removing renumbers the rest with their digits.
  EMVRemoveScriptResult(page, 0);
  digits.clear();
  for (const TEMVScriptResult& g : page.groups) digits += g.sequence;
  EXPECT_EQ(digits, "123456789ABCDEF");
  EXPECT_EQ(page.groups[0].result, 1);
}

TEST(EmvScriptResults, DecoderMessagesAndLengths) {
  TEMVScriptResults page = EMVInitialScriptResults();
  std::string message;
  EXPECT_FALSE(EMVDecodeScriptResults("210000123", page, message));
  EXPECT_EQ(page.groups.size(), 1u);
  EXPECT_TRUE(EMVDecodeScriptResults("2100001234 3200001234", page, message));
  EXPECT_EQ(message, "Script result must be 0..2. Found :3");
  EXPECT_EQ(page.groups.size(), 1u);
  EXPECT_TRUE(EMVDecodeScriptResults("2G00001234", page, message));
  EXPECT_EQ(message, "Command Sequence Number is not a valid hex char: G");
  EXPECT_TRUE(page.groups.empty());

  ASSERT_TRUE(EMVDecodeScriptResults("21 0000abcd 13 00001111 0F 00002222", page, message));
  EXPECT_EQ(message, "");
  EXPECT_EQ(page.scriptId, "0000ABCD");
  ASSERT_EQ(page.groups.size(), 3u);
  EXPECT_EQ(page.groups[1].number, 3);
  EXPECT_EQ(page.groups[2].number, 3);  // "F": its position
  EXPECT_EQ(page.groups[2].scriptId, "00002222");
}

TEST(EmvScriptResults, RandomListsWithGapsAndDuplicatesSurviveDecodeThenEncode) {
  std::mt19937 rng(3502);
  const char* hex = "0123456789ABCDEF";
  for (int round = 0; round < 200; ++round) {
    std::string value;
    const size_t count = 1 + rng() % 20;
    for (size_t i = 0; i < count; ++i) {
      value += static_cast<char>('0' + rng() % 3);
      value += hex[rng() % 16];
      value += test::ToHex(test::RandomBytes(rng, 4));
    }
    TEMVScriptResults page;
    std::string message;
    ASSERT_TRUE(EMVDecodeScriptResults(value, page, message));
    ASSERT_EQ(message, "");
    EXPECT_EQ(EMVEncodeScriptResults(page), value);
  }
}

}  // namespace
}  // namespace kal
