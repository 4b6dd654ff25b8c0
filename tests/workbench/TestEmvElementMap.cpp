#include "workbench/EmvElementMap.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace kal {
namespace {

TEST(EmvElementMap, LookupTakesTheFirstExactMatch) {
  test::TempDir dir;
  test::WriteFile(dir.file("EMVElements.ini"),
                  "; element;tag\r\n"
                  "  ep2:AppPAN ;  5A \r\n"
                  "ep2:TVR;95;Terminal Verification Results\r\n"
                  "ep2:AppPAN;9F99\r\n"
                  "ep2:Alone\r\n"
                  "\r\n"
                  "EP2:TVR;11\n"
                  "ep2:CID ; 9F27");
  TEEMEmvElementMap map;
  std::string error;
  ASSERT_TRUE(map.Load(dir.file("EMVElements.ini"), error)) << error;
  struct Case {
    const char* name;
    const char* tag;  // nullptr: not found
  };
  const Case cases[] = {
      {"ep2:AppPAN", "5A"},  // first of two lines, blanks trimmed
      {"ep2:TVR", "95"},     // third item ignored
      {"EP2:TVR", "11"},     // case-sensitive
      {"ep2:Alone", ""},     // one-item line: empty tag
      {"ep2:CID", "9F27"},   // last line without line end
      {"ep2:tvr", nullptr}, {"ep2:AppPAN ", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> tag = map.FindTag(c.name);
    if (c.tag == nullptr) {
      EXPECT_FALSE(tag.has_value()) << c.name;
    } else {
      ASSERT_TRUE(tag.has_value()) << c.name;
      EXPECT_EQ(*tag, c.tag) << c.name;
    }
  }
}

TEST(EmvElementMap, MissingFileNamesItAndKeepsTheTable) {
  test::TempDir dir;
  TEEMEmvElementMap map;
  map.Parse("ep2:TVR;95\n");
  std::string error;
  EXPECT_FALSE(map.Load(dir.file("EMVElements.ini"), error));
  EXPECT_NE(error.find(dir.file("EMVElements.ini")), std::string::npos) << error;
  EXPECT_EQ(map.FindTag("ep2:TVR"), "95");
  EXPECT_NE(TEEMEmvElementMap::DefaultPath().find("/EMVElements.ini"), std::string::npos);
}

}  // namespace
}  // namespace kal
