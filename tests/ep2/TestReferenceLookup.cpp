#include "ep2/ReferenceLookup.h"

#include <gtest/gtest.h>

#include <map>

#include "common/TestSupport.h"

namespace kal {
namespace {

class ReferenceLookup : public ::testing::Test {
 protected:
  int32_t Lookup(const std::string& value, const std::string& content) {
    test::WriteFile(file, content);
    return UERGetValuePoolErrorText(value, file, finder, text);
  }
  test::TempDir dir;
  std::string file = dir.file("codes.txt");
  std::string text;
  std::map<std::string, std::string> message;  // the received message's elements
  TUERFindElement finder = [this](const std::string& name, std::string& value) {
    const auto it = message.find(name);
    if (it != message.end()) value = it->second;
    return it != message.end();
  };
};

TEST_F(ReferenceLookup, KeysAndTheDefaultLine) {
  const std::string codes = " 05 ;Declined\r\n$ELSE;Unknown $VALUE ($VALUE)\r\n";
  EXPECT_EQ(Lookup("05", codes), 2);
  EXPECT_EQ(text, "Declined");
  EXPECT_EQ(Lookup("17", codes), 2);
  EXPECT_EQ(text, "Unknown 17 (17)");
  EXPECT_EQ(Lookup("9", "$ELSE;first\n1;one\n$ELSE; second \n"), 2);  // the later one, untrimmed
  EXPECT_EQ(text, " second ");
  EXPECT_EQ(Lookup("1", "1;  \n1;later\n$ELSE;default\n"), 0);  // a blank text ends the search
  EXPECT_EQ(text, "  ");
  EXPECT_EQ(Lookup("2", "1;one\n$ELSE; \n"), 0);
  EXPECT_EQ(Lookup("2", ""), 0);
  EXPECT_EQ(text, "");
  // One pass: a value holding "$VALUE" is not replaced again.
  EXPECT_EQ(Lookup("$VALUE$VALUE", "$ELSE;<$VALUE>\n"), 2);
  EXPECT_EQ(text, "<$VALUE$VALUE>");
  EXPECT_EQ(Lookup("1", "1;r\xE9sum\xE9 $value\r\n"), 2);  // old 8-bit file
  EXPECT_EQ(text, "r\xC3\xA9sum\xC3\xA9 $value");
}

TEST_F(ReferenceLookup, ConditionElements) {
  const std::string codes =
      "05;Terminal A;ep2:TrmID; A1 \n"
      "05;Terminal B;ep2:TrmID;B2\n"
      "$ELSE;Other: $VALUE\n";
  message["ep2:TrmID"] = " A1";
  EXPECT_EQ(Lookup("05", codes), 2);
  EXPECT_EQ(text, "Terminal A");
  message["ep2:TrmID"] = "B2";
  EXPECT_EQ(Lookup("05", codes), 2);
  EXPECT_EQ(text, "Terminal B");
  message["ep2:TrmID"] = "C3";  // no line holds: the default applies
  EXPECT_EQ(Lookup("05", codes), 2);
  EXPECT_EQ(text, "Other: 05");
  message.clear();  // the condition element is missing: its text with 0
  EXPECT_EQ(Lookup("05", codes), 0);
  EXPECT_EQ(text, "Terminal A");
}

TEST_F(ReferenceLookup, UnreadableFiles) {
  const std::string missing = dir.file("nope.txt");
  EXPECT_EQ(UERGetValuePoolErrorText("1", missing, finder, text), 1);
  EXPECT_EQ(text, "Reference Lookup File not found: " + missing);
  EXPECT_EQ(UERGetValuePoolErrorText("1", dir.path(), finder, text), 1);
  EXPECT_EQ(Lookup("1", std::string(kUERMaxFileBytes + 1, 'x')), 1);
}

}  // namespace
}  // namespace kal
