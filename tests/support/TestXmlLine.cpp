#include "support/XmlLine.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

TEST(XmlLine, TextEscapesMarkupAndUnescapesEntitiesAndReferences) {
  EXPECT_EQ(UXMEscapeText("a&b<c]]>\"'"), "a&amp;b&lt;c]]&gt;\"'");
  // Read back: the predefined entities and references to allowed
  // characters; an "&" of an older unescaped file stays as it stands.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a&amp;b&lt;c]]&gt;&quot;&apos;", "a&b<c]]>\"'"},
      {"&#65;&#x42;&#X43;&#xe4;&#x20AC;&#x1F600;", "AB&#X43;\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"R&D; Q&A &amp", "R&D; Q&A &amp"},
      {"&#0;&#xD800;&#x110000;&#;&#x;&#123456789;&", "&#0;&#xD800;&#x110000;&#;&#x;&#123456789;&"},
      {"&amp;amp;", "&amp;"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(UXMUnescapeText(text), want) << text;
  for (const std::string text : {"x&y", "<&>", "\xC3\xA4 &amp;"})
    EXPECT_EQ(UXMUnescapeText(UXMEscapeText(text)), text);
}

}  // namespace
}  // namespace kal
