#include "ep2/MessageReader.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "ep2/ElementFormats.h"
#include "ep2/MessageBuilder.h"
#include "ep2/ReferenceLookup.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {
namespace {

class MessageReader : public ::testing::Test {
 protected:
  // Parses xml; the formatted text replaces xml on success.
  int32_t Parse(std::string xml) {
    text = std::move(xml);
    return reader.COMParseInMessage(parser, doc, text, name, num, msg, error);
  }

  TCOMEp2InMessage reader{3000, true};
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  std::string text, name, num, error, value;
  TVxXMLElement* msg = nullptr;
  TVxXMLElement* e = nullptr;
  bool found = false;
};

const char* const kMessage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ep2:H xmlns:ep2=\"urn:x\"><ep2:Req msgnum=\"0042\">\n"
    "  <ep2:A>abc</ep2:A>\n"
    "  <ep2:G><ep2:A>inner</ep2:A><ep2:N>-12</ep2:N></ep2:G>\n"
    "  <ep2:A>second</ep2:A>\n"
    "  <ep2:T>x &amp;lt; <![CDATA[<y>&amp;]]> z&#233;</ep2:T>\n"
    "  <ep2:B>AP8Q</ep2:B><ep2:C>Ej8=</ep2:C><ep2:Bad>AP8</ep2:Bad><ep2:Eq>=AAA</ep2:Eq>\n"
    "</ep2:Req></ep2:H>\n";

TEST_F(MessageReader, ParseFindsTheMessageAndFormatsTheText) {
  ASSERT_EQ(Parse(kMessage), 0) << error;
  EXPECT_EQ(name, "ep2:Req");
  EXPECT_EQ(num, "0042");
  ASSERT_NE(msg, nullptr);
  EXPECT_EQ(msg, doc->GetDocumentElement()->GetFirstChild());
  EXPECT_EQ(text.rfind("<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n   <ep2:Req msgnum = \"0042\">\r\n      <ep2:A>abc</ep2:A>"),
            std::string::npos)
      << text;

  // The same parser and document again: the document is refilled.
  TVxXMLDocument* first = doc.get();
  ASSERT_EQ(Parse("<m><r/></m>"), 0);
  EXPECT_EQ(doc.get(), first);
  EXPECT_EQ(name, "r");
  EXPECT_EQ(num, "");
  ASSERT_EQ(Parse("<only>text</only>"), 0);  // no child element
  EXPECT_EQ(name, "");
  EXPECT_EQ(msg, nullptr);

  // A reader not asked for the write-back leaves the text as received.
  const TCOMEp2InMessage plain(3000);
  text = kMessage;
  ASSERT_EQ(plain.COMParseInMessage(parser, doc, text, name, num, msg, error), 0);
  EXPECT_EQ(text, kMessage);
  EXPECT_EQ(name, "ep2:Req");
}

TEST_F(MessageReader, ParseErrorsGiveBasePlusOneWithTheLine) {
  const std::string bad = "<m>\n<r>\n</m>";
  EXPECT_EQ(Parse(bad), 3001);
  EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
  EXPECT_GT(error.size(), 8u);
  EXPECT_EQ(text, bad);  // the text is kept
  EXPECT_EQ(name, "");
  EXPECT_EQ(msg, nullptr);
  EXPECT_EQ(Parse(""), 3001);
  EXPECT_EQ(Parse("<m><r a=\"<\"/></m>"), 3001);
  TCOMEp2InMessage base0(0);
  text = "<a>";
  EXPECT_EQ(base0.COMParseInMessage(parser, doc, text, name, num, msg, error), 1);
}

TEST_F(MessageReader, FindByOccurrenceAndDeepSearch) {
  ASSERT_EQ(Parse(kMessage), 0);
  reader.COMFindElement("ep2:A", msg, 2, true, false, found, value, e);
  EXPECT_TRUE(found);
  EXPECT_EQ(value, "second");
  reader.COMFindElement("ep2:A", msg, 1, false, false, found, value, e);
  EXPECT_TRUE(found);
  EXPECT_EQ(value, "");  // no value asked for
  reader.COMFindElement("ep2:A", msg, 3, true, false, found, value, e);
  EXPECT_FALSE(found);
  EXPECT_EQ(e, nullptr);
  reader.COMFindElement("ep2:N", msg, 2, true, true, found, value, e);  // deep search
  EXPECT_TRUE(found);
  EXPECT_EQ(value, "-12");
  reader.COMFindElement("ep2:a", msg, 1, true, true, found, value, e);  // names are exact
  EXPECT_FALSE(found);
  reader.COMFindElement("ep2:A", msg, 0, true, false, found, value, e);
  EXPECT_FALSE(found);
  reader.COMFindElement("ep2:A", nullptr, 1, true, true, found, value, e);
  EXPECT_FALSE(found);

  // The deep search: the parent itself (without value), else document order.
  reader.COMFindAnyElement("ep2:Req", msg, value, found, e);
  EXPECT_TRUE(found);
  EXPECT_EQ(e, msg);
  EXPECT_EQ(value, "");
  TVxXMLElement* group = nullptr;
  reader.COMGetContainer("ep2:G", msg, 1, false, found, group);
  ASSERT_TRUE(found);
  reader.COMFindAnyElement("ep2:A", doc->GetDocumentElement(), value, found, e);
  EXPECT_EQ(value, "abc");
  reader.COMFindAnyElement("ep2:A", group, value, found, e);
  EXPECT_EQ(value, "inner");
  reader.COMFindAnyElement("ep2:B", group, value, found, e);  // not below the group
  EXPECT_FALSE(found);
  reader.COMFindAnyElement("ep2:Bad", doc->GetDocumentElement(), value, found, e);
  EXPECT_TRUE(found);
}

TEST_F(MessageReader, LookupsReturnTheDocumentsOwnElements) {
  ASSERT_EQ(Parse(kMessage), 0);
  TVxXMLElement* group = nullptr;
  reader.COMGetContainer("ep2:G", msg, 1, false, found, group);
  reader.COMFindAnyElement("ep2:N", msg, value, found, e);
  ASSERT_TRUE(found);
  EXPECT_EQ(e->GetParent(), group);
  EXPECT_EQ(e->GetOwnerDocument(), doc.get());
  EXPECT_EQ(e, group->GetFirstChild()->NextSibling());
  // A change through the element is a change of the document.
  e->SetAttribute(u"seen", u"1");
  std::string again;
  doc->Write(again);
  EXPECT_NE(again.find("<ep2:N seen = \"1\">-12</ep2:N>"), std::string::npos) << again;
}

TEST_F(MessageReader, ValueIsTextAndCDataJoined) {
  ASSERT_EQ(Parse(kMessage), 0);
  EXPECT_EQ(reader.COMGetElement("ep2:T", msg, 1, false, CHKCheckFormatANS, found, value, e), 0);
  // References resolved once by the parser and not again.
  EXPECT_EQ(value, "x &lt; <y>&amp; z\xC3\xA9");
  EXPECT_EQ(TCOMEp2InMessage::COMElementValue(*e), value);
}

TEST_F(MessageReader, GettersCheckAndDecode) {
  ASSERT_EQ(Parse(kMessage), 0);
  EXPECT_EQ(reader.COMGetElement("ep2:A", msg, 1, false, CHKCheckFormatA, found, value, e), 0);
  EXPECT_EQ(reader.COMGetElement("ep2:N", msg, 1, true, CHKCheckFormatA, found, value, e),
            kCHKErrorFormatA);
  EXPECT_EQ(reader.COMGetElement("ep2:N", msg, 1, true, CHKCheckFormatAN, found, value, e),
            kCHKErrorFormatAN);
  EXPECT_EQ(reader.COMGetElement("ep2:N", msg, 1, true, CHKCheckFormatN, found, value, e), 0);
  EXPECT_EQ(reader.COMGetElement("ep2:A", msg, 1, false, CHKCheckFormatN, found, value, e),
            kCHKErrorFormatN);
  EXPECT_EQ(reader.COMGetElement("ep2:A", msg, 1, false, CHKCheckFormatDate, found, value, e),
            kCHKErrorFormatDate);
  EXPECT_EQ(reader.COMGetElement("ep2:A", msg, 1, false, CHKCheckFormatExpDate, found, value, e),
            kCHKErrorFormatDate);
  EXPECT_EQ(reader.COMGetElement("ep2:A", msg, 1, false, CHKCheckFormatTime, found, value, e),
            kCHKErrorFormatTime);
  // A missing element is no error.
  EXPECT_EQ(reader.COMGetElement("ep2:None", msg, 1, true, CHKCheckFormatDate, found, value, e), 0);
  EXPECT_FALSE(found);

  EXPECT_EQ(reader.COMGetElementB("ep2:B", msg, 1, true, false, found, value, e), 0);
  EXPECT_EQ(value, std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(reader.COMGetElementB("ep2:B", msg, 1, false, false, found, value, e), 0);
  EXPECT_EQ(value, "AP8Q");
  EXPECT_EQ(reader.COMGetElementB("ep2:Bad", msg, 1, true, false, found, value, e), 13);
  EXPECT_EQ(reader.COMGetElementB("ep2:A", msg, 2, true, false, found, value, e), 13);  // "second"
  EXPECT_EQ(reader.COMGetElementB("ep2:Eq", msg, 1, true, false, found, value, e), 12);

  EXPECT_EQ(reader.COMGetElementCN("ep2:C", msg, 1, false, found, value, e), 0);
  EXPECT_EQ(value, "123F");  // the padding digit stays
  EXPECT_EQ(reader.COMGetElementCN("ep2:Bad", msg, 1, false, found, value, e), 23);
  EXPECT_EQ(reader.COMGetElementCN("ep2:Eq", msg, 1, false, found, value, e), 22);
}

TEST_F(MessageReader, ExternalDocumentTypesAndEntitiesAreNeverRead) {
  test::TempDir dir;
  const std::string secret = dir.file("secret.txt");
  const std::string marker = "MARKER-1f3a9c-SECRET";
  test::WriteFile(secret, marker);
  const std::string docs[] = {
      "<!DOCTYPE m SYSTEM \"" + secret + "\"><m><r>x</r></m>",
      "<!DOCTYPE m SYSTEM \"/etc/hostname\"><m><r>x</r></m>",
      "<!DOCTYPE m [<!ENTITY e SYSTEM \"" + secret + "\">]><m><r>&e;</r></m>",
      "<!DOCTYPE m [<!ENTITY e SYSTEM \"file://" + secret + "\">]><m><r>a&e;b</r></m>",
      "<!DOCTYPE m [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]><m><r>x</r></m>",
  };
  for (const std::string& xml : docs) {
    parser.SetRetrieveExternal(true);  // the reader turns it off itself
    const int32_t rc = Parse(xml);
    EXPECT_TRUE(rc == 0 || rc == 3001) << xml;
    EXPECT_EQ(text.find(marker), std::string::npos) << xml;
    EXPECT_EQ(error.find(marker), std::string::npos) << xml;
    if (rc != 0) continue;
    reader.COMFindAnyElement("r", doc->GetDocumentElement(), value, found, e);
    EXPECT_EQ(value.find(marker), std::string::npos) << xml;
    std::string written;
    doc->Write(written);
    EXPECT_EQ(written.find(marker), std::string::npos) << xml;
  }
}

TEST_F(MessageReader, BuiltMessagesReadBackExactly) {
  TCEOEp2MessageElements builder(6000);
  TVxXMLElement* root = nullptr;
  ASSERT_EQ(builder.CEOCreateMessage("ep2:H", "v", "1", "ep2:M", "9", root), 0);
  const std::string ans = "<&>\"'; &amp; &lt;x&gt; &#38; &unknown; ]]> Z\xC3\xBCrich";
  const std::string bytes("\x00\x01<&\xFF\r\n", 7);
  ASSERT_EQ(builder.CEOAddElementANS("ans", ans, root, e), 0);
  ASSERT_EQ(builder.CEOAddElementB("b", bytes, root, true, e), 0);
  ASSERT_EQ(builder.CEOAddElementCN("cn", "12345", root, e), 0);
  ASSERT_EQ(builder.CEOAddElementN("n", "-0012", root, e), 0);
  std::string xml;
  ASSERT_EQ(builder.CEOCompleteMessage(xml), 0);

  ASSERT_EQ(Parse(xml), 0) << error;
  EXPECT_EQ(name, "ep2:M");
  EXPECT_EQ(num, "9");
  EXPECT_EQ(reader.COMGetElement("ans", msg, 1, false, CHKCheckFormatANS, found, value, e), 0);
  EXPECT_EQ(value, ans);
  EXPECT_EQ(reader.COMGetElementB("b", msg, 1, true, false, found, value, e), 0);
  EXPECT_EQ(value, bytes);
  EXPECT_EQ(reader.COMGetElementCN("cn", msg, 1, false, found, value, e), 0);
  EXPECT_EQ(value, "12345F");
  EXPECT_EQ(reader.COMGetElement("n", msg, 1, false, CHKCheckFormatN, found, value, e), 0);
  EXPECT_EQ(value, "-0012");
  EXPECT_EQ(text, xml);  // written back unchanged
}

TEST_F(MessageReader, ReferenceLookupSearchesTheMessage) {
  ASSERT_EQ(Parse(kMessage), 0);
  test::TempDir dir;
  test::WriteFile(dir.file("l.txt"), "5;inner seen;ep2:A;inner\n5;never;ep2:A;abc\n");
  std::string out;
  TVxXMLElement* group = nullptr;
  reader.COMGetContainer("ep2:G", msg, 1, false, found, group);
  // Below the group the first ep2:A holds "inner"; below the message, "abc".
  EXPECT_EQ(
      UERGetValuePoolErrorText("5", dir.file("l.txt"), UERMessageElementFinder(reader, group), out),
      2);
  EXPECT_EQ(out, "inner seen");
  EXPECT_EQ(
      UERGetValuePoolErrorText("5", dir.file("l.txt"), UERMessageElementFinder(reader, msg), out),
      2);
  EXPECT_EQ(out, "never");
}

}  // namespace
}  // namespace kal
