// The cryptogram window's split of a cryptogram into its fields and the
// cryptogram of the fields.
#include "tools/CryptogramFields.h"

#include <gtest/gtest.h>

#include <string>

namespace kal {
namespace {

const std::string kSender = "3132333435363738";
const std::string kKey16 = "00112233445566778899AABBCCDDEEFF";
const std::string kKey24 = kKey16 + "0123456789ABCDEF";
const std::string kSecret = "FFEEDDCCBBAA99887766554433221100";

struct SplitCase {
  const char* name;
  std::string text;
  std::string message;  // empty: split into the fields below
  TSKCFields fields;
};

TEST(CryptogramFields, SplitsByLengthAndLeadingByte) {
  const TSKCFields before{"AA", "BB", "CC", "DD"};
  const std::string body16 = kSender + kKey16 + kSecret;
  // clang-format off
  const SplitCase cases[] = {
      {"80 digits", ("7F" + body16).substr(0, 80), "Cryptogramm length is lower than 41", before},
      {"82 digits, lower-case 7f", "7f" + body16, "", {"7f", kSender, kKey16, kSecret}},
      {"82 digits in spaced pairs", "7F 31 32 33 34 35 36 37 38" + std::string(" ") + kKey16 + " " + kSecret,
       "", {"7F", kSender, kKey16, kSecret}},
      {"98 digits: a 24-byte key", "7F" + kSender + kKey24 + kSecret, "",
       {"7F", kSender, kKey24, kSecret}},
      {"90 digits: the 16-byte layout", "7F" + body16 + "01020304", "",
       {"7F", kSender, kKey16, kSecret}},
      {"leading 77", "77" + body16, "Cryptogramm starts with byte not equal to 7F", before},
      {"leading 8F", "8F" + body16, "Cryptogramm starts with byte not equal to 7F", before},
  };
  // clang-format on
  for (const SplitCase& c : cases) {
    TSKCFields fields = before;
    EXPECT_EQ(SKCSplitCryptogramm(c.text, fields), c.message) << c.name;
    EXPECT_EQ(fields.leadingByte, c.fields.leadingByte) << c.name;
    EXPECT_EQ(fields.senderId, c.fields.senderId) << c.name;
    EXPECT_EQ(fields.sessionKey, c.fields.sessionKey) << c.name;
    EXPECT_EQ(fields.componentSecret, c.fields.componentSecret) << c.name;
  }
}

TEST(CryptogramFields, JoinsTheFieldsInSpacedPairs) {
  EXPECT_EQ(SKCJoinCryptogramm({"7F", "31 32", "0a0B", "FF"}), "7F 31 32 0a 0B FF ");
  // A split of the joined text gives the fields back.
  TSKCFields fields;
  ASSERT_EQ(SKCSplitCryptogramm(SKCJoinCryptogramm({"7F", kSender, kKey24, kSecret}), fields), "");
  EXPECT_EQ(fields.sessionKey, kKey24);
}

}  // namespace
}  // namespace kal
