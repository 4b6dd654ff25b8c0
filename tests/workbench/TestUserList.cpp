#include "workbench/UserList.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "support/TraceLogger.h"

namespace kal {
namespace {

// openssl's two-key Triple DES (K1 K2 K1), zero IV, over the text padded with
// 0x80 and 0x00 bytes to a multiple of 8, then Base64 on one line.
std::string OpensslEncode(const std::string& plain) {
  std::string padded = plain + '\x80';
  while (padded.size() % 8 != 0) padded += '\0';
  const std::string key(AUUcPasswordKey);
  const std::string k3 = test::ToHex(key + key.substr(0, 8));
  int status = 0;
  std::string out = test::RunCommand(
      "openssl enc -des-ede3-cbc -nopad -a -A -K " + k3 + " -iv 0000000000000000", padded, &status);
  EXPECT_EQ(status, 0);
  return out;
}

TEST(UserList, EncodingIsTripleDesAndBase64) {
  for (const std::string& plain :
       {std::string(), std::string("secret"), std::string("1234567"), std::string("12345678"),
        std::string("Passw\xC3\xB6rter mit Leerzeichen"), std::string(247, 'z')}) {
    const std::string encoded = AUUEncodePassword(plain);
    EXPECT_EQ(encoded, OpensslEncode(plain)) << plain;
    EXPECT_EQ(AUUDecodePassword(encoded), plain);
  }
  EXPECT_EQ(AUUEncodePassword(std::string(248, 'z')), "");
}

TEST(UserList, UndecodableTextGivesEmptyAndTraceHoldsNoPassword) {
  TTDBTraceList lines;
  TTDBDebug trace(&lines);
  EXPECT_EQ(AUUDecodePassword("not base64!", &trace), "");
  EXPECT_EQ(AUUDecodePassword("AAAA", &trace), "");  // 3 bytes: not whole blocks
  // Decrypts, but without the 0x80 padding.
  int status = 0;
  const std::string key(AUUcPasswordKey);
  const std::string nopad =
      test::RunCommand("openssl enc -des-ede3-cbc -nopad -a -A -K " +
                           test::ToHex(key + key.substr(0, 8)) + " -iv 0000000000000000",
                       "ABCDEFGH", &status);
  EXPECT_EQ(AUUDecodePassword(nopad, &trace), "");

  const std::string encoded = AUUEncodePassword("hunter2");
  EXPECT_EQ(AUUDecodePassword(encoded, &trace), "hunter2");
  for (const std::string& line : lines.Lines()) {
    EXPECT_EQ(line.find("hunter2"), std::string::npos);
    EXPECT_EQ(line.find(encoded), std::string::npos);
  }
  EXPECT_FALSE(lines.Lines().empty());
}

TEST(UserList, FindIgnoresCaseAndSurroundingBlanks) {
  TAUUUserList list;
  list.AUUAddUser("Nobody", "", true);  // empty password: never matches
  list.AUUAddUser("  ", "pw", true);    // blank name: never matches
  list.AUUAddUser(" Alice ", "Secret", false);
  list.AUUAddUser("alice", "secret", true);  // shadowed by the first match
  list.AUUAddUser("Root", "Toor", true);
  bool admin = true;
  EXPECT_TRUE(list.AUUFindUser("alice ", " SECRET", admin));
  EXPECT_FALSE(admin);
  EXPECT_TRUE(list.AUUFindUser("ROOT", "toor", admin));
  EXPECT_TRUE(admin);
  EXPECT_FALSE(list.AUUFindUser("Nobody", "", admin));
  EXPECT_FALSE(admin);
  admin = true;
  EXPECT_FALSE(list.AUUFindUser("", "pw", admin));
  EXPECT_FALSE(admin);
  EXPECT_FALSE(list.AUUFindUser("Root", "Toor!", admin));
  list.AUUEmptyList();
  EXPECT_FALSE(list.AUUFindUser("Root", "Toor", admin));
}

}  // namespace
}  // namespace kal
