#include "support/XmlLine.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(XmlLine, CompleteElementGivesTagAndValue) {
  std::string tag, value = "old";
  UXMParseXMLLine("   <ep2:TrmID>12345</ep2:TrmID>\r\n", tag, value);
  EXPECT_EQ(tag, "ep2:TrmID");
  EXPECT_EQ(value, "12345");
  UXMParseXMLLine("<a></a>", tag, value);
  EXPECT_EQ(tag, "a");
  EXPECT_EQ(value, "");
}

TEST(XmlLine, StartTagLeavesTheValueAsItWas) {
  std::string tag, value = "old";
  UXMParseXMLLine("\t<ep2:EMVData>", tag, value);
  EXPECT_EQ(tag, "ep2:EMVData");
  EXPECT_EQ(value, "old");
}

TEST(XmlLine, AttributesBelongToTheTag) {
  std::string tag, value;
  UXMParseXMLLine("<x a=\"1\">v</x>", tag, value);
  EXPECT_EQ(tag, "x a=\"1\"");
  EXPECT_EQ(value, "v");
}

TEST(XmlLine, EndTagAndOddLines) {
  std::string tag, value = "old";
  UXMParseXMLLine("</ep2:EMVData>", tag, value);
  EXPECT_EQ(tag, "/ep2:EMVData");
  EXPECT_EQ(value, "");  // "</" before the first ">"
  value = "old";
  UXMParseXMLLine("", tag, value);
  EXPECT_EQ(tag, "");
  EXPECT_EQ(value, "old");
  UXMParseXMLLine("no tag", tag, value);
  EXPECT_EQ(tag, "");
  UXMParseXMLLine(">x</y>", tag, value);
  EXPECT_EQ(tag, "");
  EXPECT_EQ(value, "x");
  UXMParseXMLLine("abc</x", tag, value);
  EXPECT_EQ(tag, "");
  EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace kal
