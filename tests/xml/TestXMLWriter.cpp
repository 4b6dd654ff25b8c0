#include "xml/XMLWriter.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <random>
#include <sstream>

#include "XMLTestSupport.h"
#include "xml/XMLDOM.h"

namespace kal {
namespace {

using test::FakeParser;

TVxXMLElement* Child(TVxXMLElement* parent, std::u16string_view tag) {
  return parent->AppendChild(new TVxXMLElement(tag, parent->GetOwnerDocument()))->AsElement();
}

TVxXMLElement* Leaf(TVxXMLElement* parent, std::u16string_view tag, std::u16string_view text) {
  TVxXMLElement* e = Child(parent, tag);
  e->SetCharData(new TVxXMLText(text, parent->GetOwnerDocument()));
  return e;
}

struct Fixture {
  Fixture() {
    doc.AssignParser(&parser);
    root = doc.SetDocumentElement(new TVxXMLElement(u"R", &doc));
  }
  std::string Out() const {
    std::string out;
    doc.Write(out);
    return out;
  }
  // The output after the declaration line and the line break before the root.
  std::string Body() const {
    const std::string out = Out();
    return out.substr(out.find("?>\r\n\r\n") + 6);
  }
  FakeParser parser;
  TVxXMLDocument doc;
  TVxXMLElement* root;
};

TEST(XMLWriter, GoldenSample) {
  Fixture f;
  f.doc.SetEncoding(u"UTF-8");
  f.root->SetAttribute(u"a", u"x");
  TVxXMLElement* m = Child(f.root, u"M");
  m->SetAttribute(u"msgnum", u"1");
  Leaf(m, u"A", u"1");
  Leaf(m, u"B", u"2");
  EXPECT_EQ(f.Out(),
            "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n"
            "\r\n"
            "<R a = \"x\">\r\n"
            "   <M msgnum = \"1\">\r\n"
            "      <A>1</A>\r\n"
            "      <B>2</B>\r\n"
            "   </M>\r\n"
            "</R>");
  std::ostringstream stream;
  f.doc.Write(stream);
  EXPECT_EQ(stream.str(), f.Out());
}

TEST(XMLWriter, TheDeclarationHoldsOnlyVersionEncodingAndAValidStandalone) {
  struct Row {
    std::vector<std::pair<std::u16string, std::u16string>> attributes;  // set in this order
    std::string declaration;
  };
  const Row rows[] = {
      {{{u"standalone", u"no"}, {u"foo", u"bar"}, {u"encoding", u"UTF-8"}},
       "<?xml version = \"1.0\" encoding = \"UTF-8\" standalone = \"no\"?>"},
      {{{u"standalone", u"maybe"}}, "<?xml version = \"1.0\"?>"},
      {{{u"STANDALONE", u"YES"}}, "<?xml version = \"1.0\" standalone = \"yes\"?>"},
  };
  for (const Row& row : rows) {
    Fixture f;
    for (const auto& [name, value] : row.attributes) f.doc.SetAttribute(name, value);
    const std::string out = f.Out();
    EXPECT_EQ(out.substr(0, out.find("\r\n")), row.declaration);
    // Another XML reader takes it.
    xmlDocPtr parsed = xmlReadMemory(out.data(), static_cast<int>(out.size()), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_NE(parsed, nullptr) << out;
    xmlFreeDoc(parsed);
  }
}

TEST(XMLWriter, Layout) {
  Fixture f;
  Child(f.root, u"E")->SetAttribute(u"a", u"1");
  Leaf(f.root, u"Blank", u"   ");
  TVxXMLElement* p = Child(f.root, u"P");
  p->SetCharData(new TVxXMLText(u"t1", &f.doc));
  Child(p, u"C");
  p->SetCharData(new TVxXMLText(u"t2", &f.doc));
  TVxXMLElement* q = Child(f.root, u"Q");
  q->SetCharData(new TVxXMLText(u"t", &f.doc));
  Child(q, u"C");
  q->SetComment(new TVxXMLComment(u"c", &f.doc));
  q->SetCData(new TVxXMLCData(u"d", &f.doc));
  q->SetCharData(new TVxXMLText(u"x", &f.doc));
  q->SetPI(new TVxXMLPi(u"pi", u" ", &f.doc));
  q->SetPI(new TVxXMLPi(u"pi", u"data", &f.doc));
  f.doc.GetDataList().InsertBefore(new TVxXMLComment(u"top", &f.doc), f.root);
  EXPECT_EQ(f.Out(),
            "<?xml version = \"1.0\"?>\r\n"
            "\r\n"
            "   <!--top-->\r\n"
            "<R>\r\n"
            "   <E a = \"1\"/>\r\n"
            "   <Blank/>\r\n"
            "   <P>t1<C/>t2</P>\r\n"
            "   <Q>t<C/>\r\n"
            "         <!--c-->\r\n"
            "         <![CDATA[d]]>x<?pi?>\r\n"
            "         <?pi data?>\r\n"
            "   </Q>\r\n"
            "</R>");

  Fixture flat;
  flat.parser.formated = false;
  Leaf(Child(flat.root, u"M"), u"A", u"1");
  Child(flat.root, u"M")->SetComment(new TVxXMLComment(u"c", &flat.doc));
  EXPECT_EQ(flat.Body(), "<R>\r\n<M>\r\n<A>1</A>\r\n</M>\r\n<M>\r\n<!--c-->\r\n</M>\r\n</R>");
}

TEST(XMLWriter, EscapesWhatWouldBeMarkup) {
  Fixture f;
  Leaf(f.root, u"T", u"a&b<c>d]]>e R&D; &amp; \"'\r\n");
  TVxXMLElement* split = Child(f.root, u"S");
  split->AppendChild(new TVxXMLText(u"x]]", &f.doc, true));
  split->AppendChild(new TVxXMLText(u">", &f.doc, true));
  TVxXMLElement* a = Child(f.root, u"A");
  a->SetAttribute(u"v", u"");
  a->GetAttributeNode(u"v")->SetValue(u"q\"<&>'\t\r\n");
  Child(f.root, u"U")->SetCharData(new TVxXMLText(u"x&Unknown;y", &f.doc, true));
  TVxXMLElement* c = Child(f.root, u"C");
  c->SetCData(new TVxXMLCData(u"a]]>b<&", &f.doc));
  c->SetComment(new TVxXMLComment(u"a--b-", &f.doc));
  c->SetPI(new TVxXMLPi(u"pi", u"x?>y", &f.doc));
  EXPECT_EQ(f.Body(),
            "<R>\r\n"
            "   <T>a&amp;b&lt;c>d]]&gt;e R&amp;D; &amp;amp; \"'&#13;\n</T>\r\n"
            "   <S>x]]&gt;</S>\r\n"
            "   <A v = \"q&quot;&lt;&amp;>'&#9;&#13;&#10;\"/>\r\n"
            "   <U>x&Unknown;y</U>\r\n"
            "   <C>\r\n"
            "         <![CDATA[a]]]]><![CDATA[>b<&]]>\r\n"
            "         <!--a- -b- -->\r\n"
            "         <?pi x? >y?>\r\n"
            "   </C>\r\n"
            "</R>");
}

TEST(XMLWriter, CharactersXmlCannotCarryBecomeUnderscores) {
  Fixture f;
  const std::u16string text = std::u16string(u"a\x01") + u'\0' + u"b\uFFFE\xD800" + u"c\x1F";
  f.root->AppendChild(new TVxXMLText(text, &f.doc, true));
  f.root->SetComment(new TVxXMLComment(u"\x02", &f.doc));
  EXPECT_EQ(f.Body(), "<R>a__b__c_<!--_-->\r\n</R>");
  EXPECT_EQ(f.parser.invalid.DataString(), (std::u16string{1, 0, 0xFFFE, 0xD800, 0x1F, 2}));
  // Every write starts a new record.
  f.root->GetDataList().RemoveChild(f.root->GetFirstNode());
  f.root->GetDataList().RemoveChild(f.root->GetFirstNode());
  f.Out();
  EXPECT_EQ(f.parser.invalid.DataString(), u"");
}

TEST(XMLWriter, Encodings) {
  Fixture f;
  Leaf(f.root, u"T", u"\u00E9\u20AC\U0001F600");
  f.root->SetAttribute(u"a", u"\u20AC");
  f.root->SetComment(new TVxXMLComment(u"\u00E9\u20AC", &f.doc));

  // UTF-16 starts with its byte-order mark (libxml2 reads both orders back
  // in the random test below).
  f.doc.SetEncoding(u"UTF-16");
  EXPECT_EQ(f.Out().substr(0, 6), std::string("\xFE\xFF\x00<\x00?", 6));
  f.doc.ByteOrder = TByteOrder::boLittleEndian;
  EXPECT_EQ(f.Out().substr(0, 6), std::string("\xFF\xFE<\x00?\x00", 6));
  f.doc.SetEncoding(u"UTF-8");
  EXPECT_NE(f.Out().find("<T>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</T>"), std::string::npos);

  // Characters a single-byte encoding lacks: references in text and
  // attribute values, "_" elsewhere.
  f.doc.SetEncoding(u"ISO-8859-1");
  Leaf(f.root, u"D", u"\u007F");  // DEL has no byte in ISO-8859-1
  std::string latin = f.Out();
  EXPECT_NE(latin.find("<D>&#x7F;</D>"), std::string::npos);
  EXPECT_NE(latin.find("<R a = \"&#x20AC;\">"), std::string::npos);
  EXPECT_NE(latin.find("<T>\xE9&#x20AC;&#x1F600;</T>"), std::string::npos);
  EXPECT_NE(latin.find("<!--\xE9_-->"), std::string::npos);
  EXPECT_EQ(f.parser.invalid.DataString(), u"\u20AC");
  // A document without an "encoding" attribute writes its encoding too.
  f.doc.Clear();
  TVxXMLElement* r = f.doc.SetDocumentElement(new TVxXMLElement(u"R", &f.doc));
  Leaf(r, u"T", u"\u00E9");
  EXPECT_EQ(f.Out(), "<?xml version = \"1.0\"?>\r\n\r\n<R>\r\n   <T>&#xE9;</T>\r\n</R>");
}

// Runs of plain ASCII are written in blocks: a character that needs more
// than its own byte is found wherever it falls in a long run, in every kind
// of content, in UTF-8 and in a single-byte encoding.
TEST(XMLWriter, EveryPlaceInALongRun) {
  enum class Kind { Text, Attr, CData, Comment, PI, Name };
  struct Row {
    Kind kind;
    std::u16string_view unit;
    std::string_view utf8;    // how it is written in UTF-8
    std::string_view latin1;  // and in ISO-8859-1
  };
  // clang-format off
  const Row rows[] = {
      {Kind::Text, u"&", "&amp;", "&amp;"},
      {Kind::Text, u"<", "&lt;", "&lt;"},
      {Kind::Text, u"\r", "&#13;", "&#13;"},
      {Kind::Text, u"\n", "\n", "\n"},
      {Kind::Text, u"\x01", "_", "_"},
      {Kind::Text, u"\x7F", "\x7F", "&#x7F;"},
      {Kind::Text, u"\u00E9", "\xC3\xA9", "\xE9"},
      {Kind::Text, u"\u0120", "\xC4\xA0", "&#x120;"},
      {Kind::Text, u"\uFF21", "\xEF\xBC\xA1", "&#xFF21;"},
      {Kind::Text, u"\U0001F600", "\xF0\x9F\x98\x80", "&#x1F600;"},
      {Kind::Attr, u"\"", "&quot;", "&quot;"},
      {Kind::Attr, u"\t", "&#9;", "&#9;"},
      {Kind::Attr, u">", ">", ">"},
      {Kind::CData, u"<&", "<&", "<&"},
      {Kind::Comment, u"-", "-", "-"},
      {Kind::PI, u"?", "?", "?"},
      {Kind::Name, u"\u00E9", "\xC3\xA9", "\xE9"},
      {Kind::Name, u"\u0100", "\xC4\x80", "_"},
  };
  // clang-format on
  const std::size_t kRun = 40;
  for (const Row& row : rows) {
    for (const bool latin1 : {false, true}) {
      for (std::size_t k = 0; k <= kRun; ++k) {
        Fixture f;
        f.doc.SetEncoding(latin1 ? u"ISO-8859-1" : u"UTF-8");
        const std::u16string v =
            std::u16string(k, u'x') + std::u16string(row.unit) + std::u16string(kRun + 1 - k, u'y');
        std::string open, close;
        switch (row.kind) {
          case Kind::Text:
            f.root->AppendChild(new TVxXMLText(v, &f.doc, true));
            open = "<R>", close = "</R>";
            break;
          case Kind::Attr:
            f.root->SetAttribute(u"a", u"");
            f.root->GetAttributeNode(u"a")->SetValue(v);
            open = "<R a = \"", close = "\"/>";
            break;
          case Kind::CData:
            f.root->SetCData(new TVxXMLCData(v, &f.doc));
            open = "<![CDATA[", close = "]]>";
            break;
          case Kind::Comment:
            f.root->SetComment(new TVxXMLComment(v, &f.doc));
            open = "<!--", close = "-->";
            break;
          case Kind::PI:
            f.root->SetPI(new TVxXMLPi(u"pi", v, &f.doc));
            open = "<?pi ", close = "?>";
            break;
          case Kind::Name:
            Child(f.root, v);
            open = "<", close = "/>";
            break;
        }
        const std::string expected = open + std::string(k, 'x') +
                                     std::string(latin1 ? row.latin1 : row.utf8) +
                                     std::string(kRun + 1 - k, 'y') + close;
        const std::string out = f.Out();
        ASSERT_NE(out.find(expected), std::string::npos)
            << static_cast<int>(row.kind) << " " << row.utf8 << " at " << k << "\n"
            << out;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Random documents read back by libxml2

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

class RandomDocument {
 public:
  explicit RandomDocument(std::uint32_t seed) : rng_(seed) {}

  std::u16string Value() {
    static const std::u16string_view kPieces[] = {
        u"&",  u"<",     u">",      u"\"",     u"'",    u";",  u"R&D;", u"&amp;",      u"a<b;c",
        u"]]", u"]]>",   u"\t",     u"\r\n",   u"\r",   u"\n", u" ",    u"abc",        u"\u00E9",
        u"x",  u"&#65;", u"\u20AC", u"\u4E2D", u"&lt;", u"--", u"?>",   u"\U0001F600", u"Z"};
    std::u16string v;
    for (int n = Pick(6); n > 0; --n) v += kPieces[Pick(std::size(kPieces))];
    return v;
  }

  void Fill(TVxXMLElement* e, int depth) {
    static const std::u16string_view kNames[] = {u"a", u"msgnum", u"x-y", u"c.d", u"Msg_1"};
    for (int n = Pick(4); n > 0; --n) {
      const std::u16string_view name = kNames[Pick(std::size(kNames))];
      e->SetAttribute(name, Value());
      // Values the normalisation of SetAttribute cannot give: TAB, CR, LF.
      if (Pick(3) == 0) e->GetAttributeNode(name)->SetValue(Value());
    }
    if (depth == 0 || Pick(3) == 0) {
      Text(e);
      return;
    }
    bool lastWasText = false;
    for (int n = Pick(5); n > 0; --n) {
      if (!lastWasText && Pick(2) == 0) {
        lastWasText = Text(e);
      } else {
        Fill(Child(e, kNames[Pick(std::size(kNames))]), depth - 1);
        lastWasText = false;
      }
    }
  }

 private:
  int Pick(std::size_t n) { return static_cast<int>(rng_() % n); }
  bool Text(TVxXMLElement* e) {
    return e->SetCharData(new TVxXMLText(Value(), e->GetOwnerDocument())) == nullptr;
  }
  std::mt19937 rng_;
};

std::string XmlString(const xmlChar* s) {
  return s ? reinterpret_cast<const char*>(s) : "";
}

bool IsLayout(const xmlNode* n) {
  if (n->type != XML_TEXT_NODE) return false;
  for (const xmlChar* p = n->content; *p; ++p)
    if (*p != ' ' && *p != '\n' && *p != '\t') return false;
  return true;
}

// Compares our element with the element libxml2 read from our output.
void ExpectSame(const TVxXMLElement& ours, const xmlNode* theirs, const std::string& where) {
  ASSERT_EQ(XmlString(theirs->name), Utf8(ours.TagName())) << where;
  int attrs = 0;
  for (const xmlAttr* a = theirs->properties; a; a = a->next) ++attrs;
  const xmlNode* child = theirs->children;
  for (const TVxXMLNode* n = ours.GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() == ntAttribute) {
      --attrs;
      xmlChar* value =
          xmlGetProp(theirs, reinterpret_cast<const xmlChar*>(Utf8(n->GetName()).c_str()));
      EXPECT_EQ(XmlString(value), Utf8(n->GetValue())) << where << " @" << Utf8(n->GetName());
      xmlFree(value);
      continue;
    }
    while (child && IsLayout(child)) child = child->next;
    ASSERT_NE(child, nullptr) << where;
    if (const TVxXMLElement* e = n->AsElement()) {
      ASSERT_EQ(child->type, XML_ELEMENT_NODE) << where;
      ExpectSame(*e, child, where + "/" + Utf8(e->TagName()));
    } else {
      ASSERT_EQ(child->type, XML_TEXT_NODE) << where;
      // A CR in text is written as a reference, so it comes back as CR.
      EXPECT_EQ(XmlString(child->content), Utf8(n->GetValue())) << where;
    }
    child = child->next;
  }
  while (child && IsLayout(child)) child = child->next;
  EXPECT_EQ(child, nullptr) << where;
  EXPECT_EQ(attrs, 0) << where;
}

TEST(XMLWriter, RandomDocumentsReadBackThroughLibxml2) {
  struct Output {
    const char16_t* encoding;
    TByteOrder order;
  };
  const Output kOutputs[] = {{u"UTF-8", TByteOrder::boBigEndian},
                             {u"UTF-16", TByteOrder::boBigEndian},
                             {u"UTF-16", TByteOrder::boLittleEndian},
                             {u"ISO-8859-1", TByteOrder::boBigEndian},
                             {u"US-ASCII", TByteOrder::boBigEndian}};
  xmlInitParser();
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    Fixture f;
    const Output& output = kOutputs[seed % std::size(kOutputs)];
    f.doc.SetEncoding(output.encoding);
    f.doc.ByteOrder = output.order;
    f.parser.formated = seed % 7 != 0;
    RandomDocument(seed).Fill(f.root, 4);
    const std::string out = f.Out();
    EXPECT_EQ(f.parser.invalid.DataString(), u"") << seed;
    xmlDoc* read = xmlReadMemory(out.data(), static_cast<int>(out.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    ASSERT_NE(read, nullptr) << "seed " << seed << " not well-formed:\n" << out;
    ExpectSame(*f.root, xmlDocGetRootElement(read), "seed " + std::to_string(seed));
    xmlFreeDoc(read);
    if (HasFatalFailure()) return;
  }
  xmlCleanupParser();
}

}  // namespace
}  // namespace kal
