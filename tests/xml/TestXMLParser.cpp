#include "xml/XMLParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string_view>

#include "XMLSuiteSupport.h"
#include "XMLTestSupport.h"
#include "xml/NodeStore.h"
#include "xml/XMLReferences.h"

namespace kal {
namespace {

using test::ExpectParserError;

std::string Utf8(std::u16string_view s) {
  std::string out;
  for (char c : UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr)) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

// The nodes from first on, one word each: name{...} for an element with its
// content, @name="value", "text", [cdata], <!--comment-->, <?target data?>,
// &reference;.
std::string Dump(const TVxXMLNode* first) {
  std::string out;
  for (const TVxXMLNode* n = first; n; n = n->Next()) {
    if (!out.empty()) out += ' ';
    const std::string name = Utf8(n->GetName()), value = Utf8(n->GetValue());
    switch (n->GetType()) {
      case ntElement:
        out += name + "{" + Dump(n->AsElement()->GetFirstNode()) + "}";
        break;
      case ntAttribute:
        out += "@" + name + "=\"" + value + "\"";
        break;
      case ntText:
        out += "\"" + value + "\"";
        break;
      case ntCData:
        out += "[" + value + "]";
        break;
      case ntComment:
        out += "<!--" + value + "-->";
        break;
      case ntPI:
        out += "<?" + name + " " + value + "?>";
        break;
      case ntReference:
        out += "&" + name + ";";
        break;
      default:
        out += "?" + std::to_string(n->GetType());
    }
  }
  return out;
}

std::string Utf16(std::u16string_view s, TByteOrder order) {
  return UnicodeToShort(s, TEncoding::UTF_16, order, nullptr);
}

std::unique_ptr<TVxXMLDocument> Parse(const std::string& bytes, TVxXMLParser& parser) {
  std::istringstream in(bytes);
  std::unique_ptr<TVxXMLDocument> doc;
  parser.Parse(in, doc);
  return doc;
}

std::string ParseDump(const std::string& bytes) {
  TVxXMLParser parser;
  return Dump(Parse(bytes, parser)->GetFirstNode());
}

TEST(XMLParser, BuildsTheTree) {
  EXPECT_EQ(
      ParseDump("\r\n<?xml version=\"1.0\" encoding='UTF-8' standalone=\"no\"?>\r\n"
                "<!--c  one\r\n  two-->\r\n<?xml-stylesheet   href=\"s\" ?>\r\n"
                "<ep2:m a=\"1\" b='x&amp;y&#65;&#x20AC; \t\r\nz'>\r\n"
                "  <t>12 &lt;&gt;&quot;&apos; </t>\r\n"
                "  <e/>\r\n"
                "  <x>a<![CDATA[<&\r\n]]>b<!--in--><?p?>c&unknown;&#0;</x>\r\n"
                "  <l>1\r\n2\r3\n\n4</l><m></>\r\n"
                "</ep2:m>\r\n<!--after-->\r\n<?p after?> <late/> text"),
      "@version=\"1.0\" @encoding=\"UTF-8\" @standalone=\"no\" <!--c one two--> "
      "<?xml-stylesheet href=\"s\" ?> "
      "ep2:m{@a=\"1\" @b=\"x&yA\xE2\x82\xAC   z\" t{\"12 <>\"' \"} e{} "
      "x{\"a\" [<&\\n] \"b\" <!--in--> <?p ?> \"c\" &unknown; &#0;} l{\"1\\n2\\n3\\n\\n4\"} m{}} "
      "<!--after--> <?p after?>");
}

TEST(XMLParser, ErrorsNameWhatAndWhere) {
  struct Case {
    const char* text;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"", "Unexpected end of file.", 1},
      {"<a>\n<b>", "Unexpected end of file.", 2},
      {"<a>\n\n<b></c></a>", "Start-tag name \"b\" does not match end-tag name \"c\"", 3},
      {"<a>\r\n \r<b>\n\r\n\t</c></a>", "Start-tag name \"b\" does not match end-tag name \"c\"",
       5},
      {"<a></A>", "Start-tag name \"a\" does not match end-tag name \"A\"", 1},
      {"<ab></abc>", "Start-tag name \"ab\" does not match end-tag name \"abc\"", 1},
      {"<a x></a>", "Illegal occurence of \">\"", 1},
      {"<a x=1/>", "Attribute value required or incorrect", 1},
      {"<a x='<'/>", "Illegal character in the attribute value '<'.", 1},
      {"<a>x & y</a>", "Illegal character in the text value '&&'.", 1},
      {"<a>x\x01y</a>", "Illegal occurence of \"&#x1;\"", 1},
      {"<a>\xEF\xBF\xBF</a>", "Illegal occurence of \"&#xFFFF;\"", 1},
      {"x<a/>", "Illegal occurence of \"x\"", 1},
      {"<a/>\ntext", "Unexpected end of file.", 2},
      {"<?xml?><a/>", "XML declaration: version declaration required", 1},
      {"<?xml version='1.1'?><a/>", "Version declaration: version \"1.1\" is not supported.", 1},
      {"<?xml version=' '?><a/>", "Version declaration: version number required", 1},
      {"<?xml version='1.0' encoding='ISO-8859-15'?><a/>",
       "Encoding 'ISO-8859-15' is not supported in this version of XMLParser.", 1},
      {"<!--c-->\n<!DOCTYPE a [\n<!ATTLIST a b STRING #IMPLIED>]>\n<a/>",
       "Unknown attribute type: \"STRING\".", 3},
      {"<a><!-- x -- y --></a>", "Comment contains wrong entry \"--\"", 1},
      {"<a><!-- x", "Comment does not have a matching end-tag.", 1},
      {"<a><![CDATA[x</a>", "CDSection does not have a matching end-tag.", 1},
      {"<a><?pi x", "PI does not have a matching end-tag.", 1},
      {"<a><!DOCTYPE></a>", "Illegal occurence of \"<!DOCTYPE\"", 1},
  };
  for (const Case& c : cases) {
    TVxXMLParser parser;
    const auto e = ExpectParserError([&] { Parse(c.text, parser); }, c.message);
    EXPECT_EQ(e.LineNumber, c.line) << c.text;
  }
}

TEST(XMLParser, StandardXMLIsStrictAboutDeclarationAndEndTags) {
  const char* loose = "<?xml version='1.0' standalone='maybe' encoding='US-ASCII' x='y'?><a></>";
  EXPECT_EQ(ParseDump(loose),
            "@version=\"1.0\" @encoding=\"US-ASCII\" @standalone=\"maybe\" @x=\"y\" a{}");
  TVxXMLParser strict;
  strict.SetStandardXML(true);
  ExpectParserError([&] { Parse("<a></>", strict); }, "Illegal occurence of \">\"");
  ExpectParserError([&] { Parse("<?xml version='1.0' standalone='maybe'?><a/>", strict); },
                    "Standalone declaration: incorrect attribute value");
  // Encoding and standalone only, in that order: anything else ends the
  // declaration too early.
  ExpectParserError(
      [&] { Parse("<?xml version='1.0' standalone='no' encoding='UTF-8'?><a/>", strict); },
      "Illegal occurence of \"encoding\"");
  EXPECT_EQ(Dump(Parse("<?xml version='1.0' encoding='UTF-8' standalone='YES'?><a></a>", strict)
                     ->GetFirstNode()),
            "@version=\"1.0\" @encoding=\"UTF-8\" @standalone=\"YES\" a{}");
}

TEST(XMLParser, EncodingComesFromMarkDeclarationOrDefault) {
  struct Case {
    std::string bytes;
    TEncoding encoding;
    const char* dump;
  };
  const Case cases[] = {
      // No mark, no declaration: UTF-8, without an "encoding" attribute.
      {"<a>\xC3\xA9</a>", TEncoding::UTF_8, "@version=\"1.0\" a{\"\xC3\xA9\"}"},
      // The declaration switches the bytes right after its literal.
      {"<?xml version='1.0' encoding='iso-8859-1' \xE9='\xE9'?><a>\xE9</a>", TEncoding::i8859_1,
       "@version=\"1.0\" @encoding=\"iso-8859-1\" @\xC3\xA9=\"\xC3\xA9\" a{\"\xC3\xA9\"}"},
      // A mark wins over a declaration that contradicts it.
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a>\xC3\xA9</a>", TEncoding::UTF_8,
       "@version=\"1.0\" @encoding=\"UTF-8\" a{\"\xC3\xA9\"}"},
      {"\xFF\xFE" + Utf16(u"<a>\u20AC</a>", TByteOrder::boLittleEndian), TEncoding::UTF_16,
       "@version=\"1.0\" a{\"\xE2\x82\xAC\"}"},
      {"\xFE\xFF" +
           Utf16(u"<?xml version='1.0' encoding='iso-8859-1'?><a/>", TByteOrder::boBigEndian),
       TEncoding::UTF_16, "@version=\"1.0\" @encoding=\"UTF-16\" a{}"},
  };
  for (const Case& c : cases) {
    TVxXMLParser parser;
    // Into a cleared document, whose own encoding would be US-ASCII.
    std::istringstream in(c.bytes);
    auto doc = std::make_unique<TVxXMLDocument>();
    doc->SetEncoding(u"ISO-8859-5");
    parser.Parse(in, doc);
    EXPECT_EQ(doc->GetEncoding(), c.encoding) << c.dump;
    EXPECT_EQ(Dump(doc->GetFirstNode()), c.dump);
  }
  // Bytes that do not decode become "_" and are recorded.
  TVxXMLParser parser;
  EXPECT_EQ(Dump(Parse("<a>\xFF\xC3</a>", parser)->GetFirstNode()), "@version=\"1.0\" a{\"__\"}");
  EXPECT_EQ(parser.InvalidChars, u"\xFF\xC3");
}

TEST(XMLParser, ExistingDocumentIsRefilledOrKeepsWhatWasBuilt) {
  TVxXMLParser parser;
  auto doc = Parse("<?xml version='1.0' encoding='US-ASCII'?><old a='1'/>", parser);
  TVxXMLDocument* same = doc.get();
  std::istringstream in("<new><b>x</b><c>&bad</c></new>");
  EXPECT_THROW(parser.Parse(in, doc), EVxXMLParserError);
  EXPECT_EQ(doc.get(), same);
  EXPECT_EQ(doc->GetParser(), &parser);
  // The text that failed to normalise stays as read.
  EXPECT_EQ(Dump(doc->GetFirstNode()), "@version=\"1.0\" new{b{\"x\"} c{\"&bad\"}}");
}

TEST(XMLParser, RepeatedAttributesKeepTheLaterValue) {
  std::string tag = "<a";
  for (int i = 0; i < 12; ++i) tag += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
  // Repeats while the start tag is short and once it is long; case folds.
  EXPECT_EQ(ParseDump("<a x='1' X='2' y='3'/>"), "@version=\"1.0\" a{@x=\"2\" @y=\"3\"}");
  const std::string dump = ParseDump(tag + " n0='A' N11='B'/>");
  EXPECT_NE(dump.find("a{@n0=\"A\" @n1=\"1\""), std::string::npos) << dump;
  EXPECT_NE(dump.find("@n11=\"B\"}"), std::string::npos) << dump;
  // A value that fails to normalise leaves the first one.
  TVxXMLParser parser;
  std::istringstream in(tag + " n3='<'/>");
  auto doc = std::make_unique<TVxXMLDocument>();
  EXPECT_THROW(parser.Parse(in, doc), EVxXMLParserError);
  EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"n3"), u"3");
}

TEST(XMLParser, NestingIsBoundedAndDeepTreesRoundTrip) {
  std::string deep;
  for (std::size_t i = 0; i < kMaxElementDepth; ++i) deep += "<e>";
  deep += "x";
  for (std::size_t i = 0; i < kMaxElementDepth; ++i) deep += "</e>";
  TVxXMLParser parser;
  auto doc = Parse(deep, parser);
  std::string out;
  doc->Write(out);
  TVxXMLParser again;
  EXPECT_EQ(Dump(Parse(out, again)->GetFirstNode()), Dump(doc->GetFirstNode()));

  ExpectParserError([&] { Parse("<e>" + deep + "</e>", parser); },
                    "Elements are nested deeper than 1000 levels.");
}

TEST(XMLParser, EntityValuesWithMarkupBecomeNodes) {
  // The document type is the next step; here a stand-in supplies the entity.
  TVxXMLParser parser;
  auto doc = Parse("<r/>", parser);
  auto* type = new test::FakeDocType(doc.get());
  type->entities[u"e"] = {'B', u" lead <b x='1'>in</b> tail "};
  doc->SetDocumentType(type);
  TVxXMLElement* root = doc->GetDocumentElement();
  EXPECT_EQ(root->SetCharData(new TVxXMLText(u"[&e;]", doc.get(), true)), nullptr);
  // The markup's text joins the text around the reference.
  EXPECT_EQ(Dump(root->GetFirstNode()), "\"[ lead \" b{@x=\"1\" \"in\"} \" tail ]\"");
  // They are made in the document's store: one of the fragment's would keep
  // the whole fragment's store alive for each reference.
  EXPECT_EQ(&root->GetFirstChild()->GetName(), &doc->Store().Intern(u"b"));

  TVxXMLDocument fragment;
  parser.ParseFragment(u"<?xml encoding='ISO-8859-1'?>\u20AC<c/>", fragment);
  EXPECT_EQ(Dump(fragment.GetDocumentElement()), "_root{\"\xE2\x82\xAC\" c{}}");
  EXPECT_EQ(fragment.GetParser(), &parser);
  ExpectParserError([&] { parser.ParseFragment(u"a</b>", fragment); },
                    "Illegal occurence of \"</\"");
}

TEST(XMLParser, EscapedTextInAnEntityWithMarkupIsReadOnceAndWrittenBackAsRead) {
  // "&amp;e;" is the text "&e;" and "&lt;c/&gt;" the text "<c/>", not a
  // second reference or an element.
  const std::string xml =
      "<!DOCTYPE r [<!ENTITY e \"i<b/>\"><!ENTITY f \"&e;&&amp;e;s\">"
      "<!ENTITY g \"<d/>&lt;c/&gt;\">]><r>&f;x&g;</r>";
  TVxXMLParser parser;
  const auto doc = Parse(xml, parser);
  const std::string tree = Dump(doc->GetDocumentElement());
  EXPECT_EQ(tree, "r{\"i\" b{} \"&&e;sx\" d{} \"<c/>\"}");
  std::string written;
  doc->Write(written);
  TVxXMLParser again;
  EXPECT_EQ(Dump(Parse(written, again)->GetDocumentElement()), tree) << written;
}

// Element content of UTF-8 input is read straight from the bytes at hand
// up to the first construct that needs the character scanner, or the end of
// the bytes read. Each sample is cut by the end of the first block at every
// one of its bytes; the tree built up to the end or the error, the error and
// its line must be those of the same document read as UTF-16, which goes
// through the character scanner alone. The document ends in a mismatched end
// tag, so that every read reports the line it reached.
// A name read from the bytes and the same name given as units are the one
// copy the document's store holds, whatever its length.
TEST(XMLParser, NamesReadFromTheBytesAreTheDocumentsOneCopy) {
  for (const std::u16string_view name :
       {u"a", u"ab", u"abc", u"ep2:", u"ep2:A", u"ep2:TrxDate", u"ep2:TrxSeqCnt", u"x.y-z_123"}) {
    const std::string ascii(name.begin(), name.end());
    SCOPED_TRACE(ascii);
    TVxXMLParser parser;
    std::istringstream in("<r><" + ascii + " " + ascii + "='v'>t</" + ascii + "></r>");
    std::unique_ptr<TVxXMLDocument> doc;
    parser.Parse(in, doc);
    const TVxXMLElement* element = doc->GetDocumentElement()->GetFirstChild();
    ASSERT_EQ(element->GetName(), name);
    const std::u16string& held = doc->Store().Intern(name);
    EXPECT_EQ(&element->GetName(), &held);
    EXPECT_EQ(&element->GetFirstAttribute()->GetName(), &held);
    EXPECT_EQ(element->GetAttribute(name), u"v");
  }
}

TEST(XMLParser, ContentReadFromTheBytesMatchesTheScannerAtEveryBlockEnd) {
  using namespace std::literals;
  const std::string_view samples[] = {
      "<a x=\"1\" y='v \xC3\xA9\xE2\x82\xAC'>text \xC3\xA9 &amp; &#65; more</a>"sv,
      "<a>l1\r\nl2\rl3\n</a>\r\n<b\r\n x = \"1\"\r\n\ty='2'\n/>"sv,
      "<a x=\"t\tab\r\nc\" y=\"&lt;\"/><b x=\"1\"y=\"2\" x=\"3\"></b >"sv,
      "<a><b><c/></b></a><a></a>"sv,
      "<a x='<'/>"sv,
      "<a>bad &amp ref</a>"sv,
      "<b/>\n<a\n x='1'\r\n y='&amp'>t</a>"sv,
      "<b/>\n<a>l\r\n&amp y</a>"sv,
      "<a></b>"sv,
      "<a>x\x01y</a>"sv,
      "<a x=\"\x01\"/>"sv,
      "<a>n\x00l</a>"sv,
      "<a>\xEF\xBF\xBF</a>"sv,
      "<\xC3\xA9>x</\xC3\xA9><a\xC3\xA9/>"sv,
      "<a>\xF0\x9D\x84\x9E</a>"sv,
      "<a><!-- c --><?p d?><![CDATA[x]]>t</a>"sv,
      "<a x=\"1\" x/>"sv,
      "<a></a\xC3\xA9>"sv,
  };
  const auto read = [](const std::string& bytes) {
    TVxXMLParser parser;
    std::istringstream in(bytes);
    std::unique_ptr<TVxXMLDocument> doc;
    std::string error = "none";
    try {
      parser.Parse(in, doc);
    } catch (const EVxXMLParserError& e) {
      error = std::string(e.what()) + " @" + std::to_string(e.LineNumber);
    }
    return Dump(doc ? doc->GetDocumentElement() : nullptr) + " | " + error;
  };
  const std::string head = "<r>\n";
  const std::string tail = "\n<z></y></r>";
  for (const std::string_view text : samples) {
    const std::string sample(text);
    SCOPED_TRACE(sample);
    std::u16string wide;
    const std::string unpadded = head + " " + sample + tail;
    for (std::string_view rest = unpadded; !rest.empty();) {
      std::size_t n = 0;
      const char32_t c = MBToWideChar(rest, n);
      if (c == kInvalidUTF8) {
        wide.push_back(kReplacementChar);
      } else if (c >= 0x10000) {
        wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        wide.push_back(static_cast<char16_t>(c));
      }
      rest.remove_prefix(std::max<std::size_t>(n, 1));
    }
    const std::string expected = read("\xFF\xFE" + Utf16(wide, TByteOrder::boLittleEndian));
    for (std::size_t cut = 0; cut <= sample.size(); ++cut) {
      const std::string pad(BLOCKSIZE - head.size() - cut, ' ');
      EXPECT_EQ(read(head + pad + sample + tail), expected) << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace kal
