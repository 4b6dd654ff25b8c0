#include "ep2/MessageBuilder.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <sstream>

#include "ep2/ElementFormats.h"
#include "xml/XMLDOM.h"

namespace kal {
namespace {

// The text of the first text child, as UTF-8 for ASCII content.
std::string Text(const TVxXMLElement* e) {
  const TVxXMLText* t = e ? e->GetFirstCharData() : nullptr;
  return t ? std::string(t->GetValue().begin(), t->GetValue().end()) : std::string();
}

std::string Narrow(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

// libxml2 reads the text as a well-formed document.
bool WellFormed(const std::string& xml) {
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) return false;
  xmlFreeDoc(doc);
  return true;
}

class MessageBuilder : public ::testing::Test {
 protected:
  TCEOEp2MessageElements builder{6000};
  TVxXMLElement* msg = nullptr;
  TVxXMLElement* e = nullptr;
};

TEST_F(MessageBuilder, HeaderAttributesAndMessageNumber) {
  ASSERT_EQ(builder.CEOCreateMessage("ep2:Header", " a ;b", "1; 2 ", "ep2:Req", " 07 ", msg), 0);
  const TVxXMLElement* root = builder.CEOGetXMLDocument()->GetDocumentElement();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Narrow(root->TagName()), "ep2:Header");
  EXPECT_EQ(Narrow(root->GetAttribute(u"a")), "1");
  EXPECT_EQ(Narrow(root->GetAttribute(u"b")), "2");
  ASSERT_NE(msg, nullptr);
  EXPECT_EQ(msg, root->GetFirstChild());
  EXPECT_EQ(msg->NextSibling(), nullptr);
  EXPECT_EQ(Narrow(msg->TagName()), "ep2:Req");
  EXPECT_EQ(Narrow(msg->GetAttribute(u"msgnum")), " 07 ");  // stored untrimmed

  // Blank number: no attribute; no header: the message element is the root
  // and carries the header attributes but no number.
  ASSERT_EQ(builder.CEOCreateMessage("H", "", "", "M", "   ", msg), 0);
  EXPECT_EQ(msg->GetAttributeNode(u"msgnum"), nullptr);
  EXPECT_EQ(msg->GetFirstAttribute(), nullptr);
  ASSERT_EQ(builder.CEOCreateMessage("", "x", "9", "ep2:Rsp", "12", msg), 0);
  EXPECT_EQ(msg, builder.CEOGetXMLDocument()->GetDocumentElement());
  EXPECT_EQ(Narrow(msg->GetAttribute(u"x")), "9");
  EXPECT_EQ(msg->GetAttributeNode(u"msgnum"), nullptr);
}

TEST_F(MessageBuilder, HeaderAttributeListsThatDoNotPair) {
  EXPECT_EQ(builder.CEOCreateMessage("H", "a;b", "1", "M", "", msg), 6002);
  EXPECT_EQ(msg, nullptr);
  const TVxXMLElement* root = builder.CEOGetXMLDocument()->GetDocumentElement();
  EXPECT_EQ(Narrow(root->GetAttribute(u"a")), "1");  // set before the lists parted
  EXPECT_EQ(root->GetFirstChild(), nullptr);
  EXPECT_EQ(builder.CEOCreateMessage("H", "a;;b", "1;2;3", "M", "", msg), 6002);
  EXPECT_EQ(builder.CEOCreateMessage("H", "a;b;c", "1;2", "M", "", msg), 6002);
}

TEST_F(MessageBuilder, ModelExceptionsBecomeBasePlusOne) {
  EXPECT_EQ(builder.CEOCreateMessage("bad name", "", "", "M", "", msg), 6001);
  EXPECT_EQ(msg, nullptr);
  const std::string text = builder.CEOGetErrorMessage();
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find("XML-DOM"), std::string::npos);  // only the text after the first colon

  ASSERT_EQ(builder.CEOCreateMessage("H", "", "", "M", "", msg), 0);
  EXPECT_TRUE(builder.CEOGetErrorMessage().empty());
  EXPECT_EQ(builder.CEOAddElementN("1x", "5", msg, e), 6001);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(msg->GetFirstChild(), nullptr);  // nothing appended
  EXPECT_EQ(builder.CEOAddChildContainer("<", msg, e), 6001);
  EXPECT_EQ(builder.CEOAddElementA("ok", "x", nullptr, e), 6001);

  TCEOEp2MessageElements fresh(0);
  std::string out;
  EXPECT_EQ(fresh.CEOCompleteMessage(out), 1);
}

TEST_F(MessageBuilder, FormatChecksRefuseAndAppendNothing) {
  ASSERT_EQ(builder.CEOCreateMessage("", "", "", "M", "", msg), 0);
  EXPECT_EQ(builder.CEOAddElementA("a", "ab1", msg, e), kCHKErrorFormatA);
  EXPECT_EQ(builder.CEOAddElementAN("a", "a-1", msg, e), kCHKErrorFormatAN);
  EXPECT_EQ(builder.CEOAddElementANS("a", "a\tb", msg, e), kCHKErrorFormatANS);
  EXPECT_EQ(builder.CEOAddElementDate("a", "20230229", msg, e), kCHKErrorFormatDate);
  EXPECT_EQ(builder.CEOAddElementExpDate("a", "251301", msg, e), kCHKErrorFormatDate);
  EXPECT_EQ(builder.CEOAddElementN("a", "1.5", msg, e), kCHKErrorFormatN);
  EXPECT_EQ(builder.CEOAddElementTime("a", "240000", msg, e), kCHKErrorFormatTime);
  EXPECT_EQ(builder.CEOAddElementCN("a", "12G4", msg, e), kCHKErrorFormatN);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(msg->GetFirstChild(), nullptr);

  EXPECT_EQ(builder.CEOAddElementDate("d", "20240229", msg, e), 0);
  EXPECT_EQ(Text(e), "20240229");
  EXPECT_EQ(builder.CEOAddElementTime("t", "235959", msg, e), 0);
  EXPECT_EQ(builder.CEOAddElementN("n", "-5", msg, e), 0);
  EXPECT_EQ(builder.CEOAddElementN("n", "", msg, e), 0);  // empty: no text child
  EXPECT_EQ(e->GetFirstNode(), nullptr);
  int count = 0;
  for (const TVxXMLElement* c = msg->GetFirstChild(); c; c = c->NextSibling()) ++count;
  EXPECT_EQ(count, 4);
}

TEST_F(MessageBuilder, BinaryAndCompressedNumericValues) {
  ASSERT_EQ(builder.CEOCreateMessage("", "", "", "M", "", msg), 0);
  ASSERT_EQ(builder.CEOAddElementB("b", std::string("\x00\xFF\x10", 3), msg, true, e), 0);
  EXPECT_EQ(Text(e), "AP8Q");
  ASSERT_EQ(builder.CEOAddElementB("b", "not base64 & <", msg, false, e), 0);  // taken unchecked
  EXPECT_EQ(Text(e), "not base64 & <");
  ASSERT_EQ(builder.CEOAddElementCN("c", "123", msg, e), 0);  // 12 3F
  EXPECT_EQ(Text(e), "Ej8=");
  ASSERT_EQ(builder.CEOAddElementCN("c", "abCD", msg, e), 0);  // AB CD
  EXPECT_EQ(Text(e), "q80=");
}

TEST_F(MessageBuilder, ValuesAreStoredUnchangedAndWrittenWellFormed) {
  ASSERT_EQ(builder.CEOCreateMessage("ep2:H", "xmlns:ep2", "http://x/y?a=1&b=2", "ep2:M", "3", msg),
            0);
  const std::string value = "a<b & 'c' \"d\" &amp; &lt; &#65; ]]> ;";
  ASSERT_EQ(builder.CEOAddElementANS("ep2:V", value, msg, e), 0);
  EXPECT_EQ(Text(e), value);
  TVxXMLElement* group = nullptr;
  ASSERT_EQ(builder.CEOAddChildContainer("ep2:G", msg, group), 0);
  ASSERT_EQ(builder.CEOAddElementANS("ep2:U", "Z\xC3\xBCrich \xF0\x9F\x92\xB3", group, e), 0);
  EXPECT_EQ(e->GetFirstCharData()->GetValue(), u"Z\u00FCrich \U0001F4B3");
  ASSERT_EQ(builder.CEOAddElementANS("ep2:L", "caf\xE9", group, e), 0);  // Latin-1 byte
  EXPECT_EQ(e->GetFirstCharData()->GetValue(), u"caf\u00E9");

  std::string xml;
  ASSERT_EQ(builder.CEOCompleteMessage(xml), 0);
  EXPECT_EQ(xml.rfind("<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n", 0), 0u) << xml;
  EXPECT_NE(xml.find("a&lt;b &amp; 'c' \"d\" &amp;amp; &amp;lt; &amp;#65; ]]&gt; ;"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("Z\xC3\xBCrich \xF0\x9F\x92\xB3"), std::string::npos);
  EXPECT_TRUE(WellFormed(xml)) << xml;
  std::ostringstream stream;
  ASSERT_EQ(builder.CEOCompleteMessage(stream), 0);
  EXPECT_EQ(stream.str(), xml);
}

}  // namespace
}  // namespace kal
