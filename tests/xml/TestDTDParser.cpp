// The declarations of internal subsets as the DTD and content-model parsers
// read them, the entities they declare as the document sees them, and the
// declarations written back.
#include "xml/DTDParser.h"

#include <gtest/gtest.h>

#include <sstream>

#include "XMLTestSupport.h"
#include "xml/XMLDTD.h"
#include "xml/XMLParser.h"

namespace kal {
namespace {

using test::ExpectParserError;

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

struct Parsed {
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  TVxDocumentType* type = nullptr;
};

std::unique_ptr<Parsed> Parse(const std::string& text) {
  auto p = std::make_unique<Parsed>();
  p->parser.SetRetrieveExternal(false);
  std::istringstream in(text);
  p->parser.Parse(in, p->doc);
  p->type = dynamic_cast<TVxDocumentType*>(p->doc->GetDocumentType());
  return p;
}

// A content model as text: names with occurrence, groups with delimiter.
std::string Model(const TVxContentModel* m) {
  if (!m) return "null";
  static const char* kOcc[] = {"?", "", "+", "*"};
  const std::string occ =
      m->Occurrence >= tcQuest && m->Occurrence <= tcZeroBase ? kOcc[m->Occurrence - tcQuest] : "!";
  if (m->IsLeaf()) return Utf8(m->GetName()) + occ;
  if (m->ContentType == ctEmpty) return "EMPTY";
  if (m->ContentType == ctAny) return "ANY";
  std::string out = m->ContentType == ctMixed ? "M(" : "(";
  for (const TVxXMLNode* n = m->GetChildList().GetFirst(); n; n = n->Next()) {
    if (n != m->GetChildList().GetFirst()) out += static_cast<char>(m->Delimiter);
    out += Model(static_cast<const TVxContentModel*>(n));
  }
  return out + ")" + occ;
}

std::string ElementModel(const Parsed& p, std::u16string_view name) {
  const TVxElementDecl* decl = p.type->GetElementDecl(name);
  return decl ? Model(decl->GetContentModel()) : "undeclared";
}

TEST(DTDParser, ContentModelsAreReadIntoNestedGroups) {
  const auto p = Parse(
      "<!DOCTYPE r [\n"
      "<!ELEMENT r (a, (b | c)*, d?)+>\n"
      "<!ELEMENT a EMPTY>\n"
      "<!ELEMENT b ANY>\n"
      "<!element c (#PCDATA)>\n"
      "<!ELEMENT d (#PCDATA|a|b)*>\n"
      "<!ELEMENT e ((a,b),c,(d|e)?)>\n"
      "]><r/>");
  ASSERT_NE(p->type, nullptr);
  EXPECT_EQ(Utf8(p->type->GetName()), "r");
  EXPECT_EQ(ElementModel(*p, u"r"), "(a,(b|c)*,d?)+");
  EXPECT_EQ(ElementModel(*p, u"a"), "EMPTY");
  EXPECT_EQ(ElementModel(*p, u"B"), "ANY");  // declaration lookups fold case
  EXPECT_EQ(ElementModel(*p, u"c"), "M()");
  EXPECT_EQ(ElementModel(*p, u"d"), "M(a|b)");
  EXPECT_EQ(ElementModel(*p, u"e"), "((a,b),c,(d|e)?)");
}

TEST(DTDParser, ContentModelErrors) {
  struct Case {
    const char* decl;
    const char* message;
  };
  const Case cases[] = {
      {"<!ELEMENT r (#PCDATA|a|a)*>", ""},
      {"<!ELEMENT r ()>", "Illegal occurence of \")\""},
      {"<!ELEMENT r (a,)>", "Illegal occurence of \")\""},
      {"<!ELEMENT r foo>", "Illegal occurence of \"foo\""},
      {"<!ELEMENT r (a b)>", "Illegal occurence of \"b\""},
      {"<!ELEMENT r (a", "Illegal occurence of \"]\""},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("<!DOCTYPE r [") + c.decl + "]><r/>";
    if (*c.message == 0) {
      test::ExpectDOMError([&] { Parse(text); }, 14,
                           "Duplicate typesdeclaration is not allowed in mixed content.");
      continue;
    }
    const auto e = ExpectParserError([&] { Parse(text); }, c.message);
    EXPECT_EQ(e.LineNumber, 1) << c.decl;
  }
  // Groups nest boundedly instead of exhausting the stack.
  std::string deep = "<!DOCTYPE r [<!ELEMENT r ";
  for (int i = 0; i < 5000; ++i) deep += "(";
  ExpectParserError([&] { Parse(deep); },
                    "Content model groups are nested deeper than 1000 levels.");
}

TEST(DTDParser, AttributeListsAndTheFirstDefinitionBinds) {
  const auto p = Parse(
      "<!DOCTYPE r [\n"
      "<!ATTLIST r id ID #REQUIRED\n"
      "            kind (x|y|1z) 'x'\n"
      "            n NOTATION (png|gif) #IMPLIED\n"
      "            f CDATA #FIXED \"a&amp;b\">\n"
      "<!ATTLIST r id CDATA 'dropped' toks NMTOKENS #IMPLIED>\n"
      "]><r id='i' toks='  a   b  '/>");
  const TVxAttListDecl* list = p->type->GetAttListDecl(u"r");
  ASSERT_NE(list, nullptr);
  std::vector<std::string> defs;
  for (const TVxXMLNode* n = list->GetAttList().GetFirst(); n; n = n->Next()) {
    const auto* def = static_cast<const TVxAttDef*>(n);
    std::string enumeration;
    if (const TVxEnumeration* e = def->GetEnumeration())
      for (const TVxXMLNode* v = e->GetElements().GetFirst(); v; v = v->Next())
        enumeration += "|" + Utf8(v->GetName());
    defs.push_back(Utf8(def->GetName()) + " " + def->AttributeType + enumeration + " " +
                   static_cast<char>(def->DefaultType) + Utf8(def->GetDefaultValue()));
  }
  EXPECT_EQ(defs, (std::vector<std::string>{"id 2 <", "kind ;|x|y|1z ?x",
                                            "n 9|png|gif =", "f : >a&b", "toks 8 ="}));
  // The declared type decides the normalisation of the element's values.
  EXPECT_EQ(p->doc->GetDocumentElement()->GetAttribute(u"toks"), u"a b");

  ExpectParserError([] { Parse("<!DOCTYPE r [<!ATTLIST r a STRING #IMPLIED>]><r/>"); },
                    "Unknown attribute type: \"STRING\".");
  ExpectParserError([] { Parse("<!DOCTYPE r [<!ATTLIST r a CDATA>]><r/>"); },
                    "Attribute defaults required or incorrect.");
  ExpectParserError([] { Parse("<!DOCTYPE r [<!ATTLIST r a CDATA '<'>]><r/>"); },
                    "Illegal character in the attribute value '<'.");
}

TEST(DTDParser, EntitiesAreNormalisedAndTheFirstDeclarationBinds) {
  const auto p = Parse(
      "<!DOCTYPE r [\n"
      "<!ENTITY % pe 'P'>\n"
      "<!ENTITY e \"a\r\n\tb &#65;%pe;&g;\">\n"
      "<!ENTITY e 'second'>\n"
      "<!ENTITY pe 'general'>\n"
      "<!ENTITY g 'G'>\n"
      "<!ENTITY x SYSTEM 'x.ent'>\n"
      "<!NOTATION n SYSTEM 'viewer'>\n"
      "<!ENTITY u PUBLIC '-//U//EN' 'u.bin' NDATA n>\n"
      "]><r>[&e;][&pe;]</r>");
  const TVxCustomEntityDecl* e = p->type->GetEntityDecl(u"e");
  ASSERT_NE(e, nullptr);
  // White space runs become one blank, character references and parameter
  // entities are expanded, general entities kept.
  EXPECT_EQ(e->GetValue(), u"a b AP&g;");
  // General and parameter entities are apart.
  EXPECT_EQ(p->type->GetEntityDecl(u"pe", true)->GetValue(), u"P");
  EXPECT_EQ(p->type->GetEntityDecl(u"pe")->GetValue(), u"general");
  EXPECT_EQ(p->type->GetEntityDestType(u"e"), 'B');
  EXPECT_EQ(p->type->GetEntityDestType(u"x"), 'C');
  EXPECT_EQ(p->type->GetEntityDestType(u"u"), 'D');
  EXPECT_EQ(p->type->GetEntityDestType(u"none"), 'F');
  const auto* u = static_cast<const TVxGEntityDecl*>(p->type->GetEntityDecl(u"u"));
  EXPECT_EQ(u->GetNotation(), u"n");
  EXPECT_EQ(u->GetPublicLiteral(), u"-//U//EN");
  EXPECT_TRUE(p->type->HasExternalEntity());
  // The standalone declaration stays as written.
  EXPECT_EQ(p->doc->GetAttribute(u"standalone"), u"");
  EXPECT_EQ(p->doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"[a b APG][general]");

  ExpectParserError([] { Parse("<!DOCTYPE r [<!ENTITY e 'a&'>]><r/>"); },
                    "Illegal character in the entity value '&&' or '%'.");
  ExpectParserError([] { Parse("<!DOCTYPE r [<!ENTITY e 'a&b c'>]><r/>"); },
                    "Illegal character in the the entity value '&&' or '%'.");
  ExpectParserError(
      [] {
        Parse(
            "<!DOCTYPE r [<!NOTATION n SYSTEM 'v'><!ENTITY u SYSTEM 'u' NDATA n>"
            "<!ENTITY e '&u;'>]><r/>");
      },
      "Reference to an unparsed entity is not allowed in the entity value.");
  ExpectParserError([] { Parse("<!DOCTYPE r [<!ENTITY e PUBLIC 'a{b' 'x'>]><r/>"); },
                    "Illegal character in the public identifier \"a{b\".");
}

TEST(DTDParser, MarkupInAnEntityIsSplicedWhereItsReferenceStands) {
  const auto p = Parse(
      "<!DOCTYPE r [<!ENTITY m '<b>bold</b> and <i/>'>]>"
      "<r>before &m; after</r>");
  std::string out;
  p->doc->Write(out);
  EXPECT_EQ(out.substr(out.find("<r>")), "<r>before <b>bold</b> and <i/> after</r>");
}

// The nodes of an element's list other than attributes, one letter per
// type with the value or name: "T(text) E(name) C(comment) R(name)".
std::string Nodes(const TVxXMLElement& e) {
  std::string out;
  for (const TVxXMLNode* n = e.GetFirstNode(); n; n = n->Next()) {
    switch (n->GetType()) {
      case ntAttribute:
        continue;
      case ntText:
        out += "T(" + Utf8(n->GetValue()) + ")";
        break;
      case ntElement:
        out += "E(" + Utf8(n->GetName()) + ")";
        break;
      case ntComment:
        out += "C(" + Utf8(n->GetValue()) + ")";
        break;
      case ntReference:
        out += "R(" + Utf8(n->GetName()) + ")";
        break;
      default:
        out += "?(" + Utf8(n->GetName()) + ")";
    }
    out += " ";
  }
  return out;
}

TEST(DTDParser, TextOfSplicedMarkupJoinsTheTextBesideIt) {
  struct Case {
    const char* content;
    const char* nodes;
  };
  const Case cases[] = {
      // Text before, between and after the references joins the markup's
      // own text at either end.
      {"a&m;b&t;", "T(ax) E(e) T(ybz) "},
      {"&m;&m;", "T(x) E(e) T(yx) E(e) T(y) "},
      {"&t;&m;&t;", "T(zx) E(e) T(yz) "},
      {"&n;", "T(x) E(e) T(yx) E(e) T(y) "},
      {"&c;&c;", "T(p) C(c) T(qp) C(c) T(q) "},
      // A reference left unresolved keeps its own node between the texts.
      {"&m;&u;&m;", "T(x) E(e) T(y) R(u) T(x) E(e) T(y) "},
      // Text that begins with a reference begins with an empty text node,
      // behind spliced markup too; blank text before it stays with it.
      {"&u;", "T() R(u) "},
      {"&b;&u;", "E(e) T() R(u) "},
      {"&b;&u;&u;", "E(e) T() R(u) R(u) "},
      {"&b; &u;", "E(e) T( ) R(u) "},
      // Blank text between markup goes, as between tags.
      {"&b; &b;", "E(e) E(e) "},
  };
  for (const Case& c : cases) {
    const std::string text = std::string(
                                 "<!DOCTYPE d [\n"
                                 "<!ENTITY m 'x<e/>y'>\n"
                                 "<!ENTITY n '&m;&m;'>\n"
                                 "<!ENTITY t 'z'>\n"
                                 "<!ENTITY b '<e/>'>\n"
                                 "<!ENTITY c 'p<!--c-->q'>\n"
                                 "]><d>") +
                             c.content + "</d>";
    const auto first = Parse(text);
    EXPECT_EQ(Nodes(*first->doc->GetDocumentElement()), c.nodes) << c.content;
    // The written document reads back as the same nodes.
    std::string out;
    first->doc->Write(out);
    const auto second = Parse(out);
    EXPECT_EQ(Nodes(*second->doc->GetDocumentElement()), c.nodes) << out;
  }
}

TEST(DTDParser, ParameterEntitiesAreReadAsDeclarations) {
  const auto p = Parse(
      "<!DOCTYPE r [\n"
      "<!ENTITY % decls '<!ELEMENT r (%list;)> <!ENTITY made \"yes\">'>\n"
      "<!ENTITY % list 'a,b'>\n"
      "%decls;\n"
      "<!ELEMENT a EMPTY>\n"
      "]><r>&made;</r>");
  EXPECT_EQ(ElementModel(*p, u"r"), "(a,b)");
  EXPECT_EQ(p->doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"yes");
  EXPECT_EQ(ElementModel(*p, u"a"), "EMPTY");

  ExpectParserError([] { Parse("<!DOCTYPE r [%nothing;]><r/>"); },
                    "Can't retrieve parameter entity value. Entity \"nothing\" is not declared.");
  const auto loop = ExpectParserError(
      [] { Parse("<!DOCTYPE r [\n<!ENTITY % a '%b;'>\n<!ENTITY % b '%a;'>\n%a;]><r/>"); },
      "Entity \"b\" refers to itself.");
  EXPECT_EQ(loop.LineNumber, 4);
  // A conditional section belongs to the external subset.
  ExpectParserError([] { Parse("<!DOCTYPE r [<![INCLUDE[<!ELEMENT r ANY>]]>]><r/>"); },
                    "Illegal occurence of \"<![\"");
}

TEST(DTDParser, DeclarationsAreWrittenSoTheyReadBackTheSame) {
  const std::string text =
      "<!DOCTYPE r [\n"
      "<!ELEMENT r (a+,(b|c)*)?>\n"
      "<!ELEMENT a (#PCDATA|b)*>\n"
      "<!ATTLIST r k (x|y) 'x' t NMTOKENS #IMPLIED q CDATA #FIXED 'say \"hi\"'>\n"
      "<!ENTITY v 'a \"quoted\" &#37; and &#38; and &g;'>\n"
      "<!ENTITY g 'G'>\n"
      "<!NOTATION n PUBLIC '-//N//EN'>\n"
      "<!ENTITY u SYSTEM \"it's\" NDATA n>\n"
      "<!-- note -->\n"
      "]><r t=' a&#32;&#32;b '/>";
  const auto first = Parse(text);
  std::string out;
  first->doc->Write(out);
  const auto second = Parse(out);
  std::string again;
  second->doc->Write(again);
  EXPECT_EQ(out, again);
  EXPECT_EQ(ElementModel(*second, u"r"), "(a+,(b|c)*)?");
  EXPECT_EQ(second->type->GetEntityDecl(u"v")->GetValue(), u"a \"quoted\" % and & and &g;");
  EXPECT_EQ(second->type->GetEntityDecl(u"u")->GetSystemLiteral(), u"it's");
  EXPECT_EQ(second->doc->GetDocumentElement()->GetAttribute(u"t"), u"a  b");
  EXPECT_NE(out.find("<!-- note -->"), std::string::npos);
  EXPECT_NE(out.find("<!ATTLIST r\r\n             k (x|y) \"x\""), std::string::npos) << out;
}

TEST(DTDParser, EntityValuesAreWrittenSoTheyReadBackExactly) {
  const std::string text =
      "<?xml version='1.0' encoding='ISO-8859-1'?>\n"
      "<!DOCTYPE r [\n"
      "<!NOTATION n SYSTEM 'v'>\n"
      "<!ENTITY u SYSTEM 'u.bin' NDATA n>\n"
      "<!ENTITY % blank ' '>\n"
      "<!ENTITY controls 'a&#9;b&#10;c&#13;d'>\n"
      "<!ENTITY blanks ' &#32;x &#32; y&#32;'>\n"
      "<!ENTITY expanded 'a %blank;b'>\n"
      "<!ENTITY charref '&#38;#65; &#38;#x41;'>\n"
      "<!ENTITY unparsed '&#38;u;'>\n"
      "<!ENTITY kept '&g; &#38;g;'>\n"
      "<!ENTITY euro '&#x20AC;'>\n"
      "<!ENTITY g 'G'>\n"
      "]><r/>";
  const std::pair<std::u16string, std::u16string> values[] = {
      {u"controls", u"a\tb\nc\rd"},  {u"blanks", u"  x  y "}, {u"expanded", u"a  b"},
      {u"charref", u"&#65; &#x41;"}, {u"unparsed", u"&u;"},   {u"kept", u"&g; &g;"},
      {u"euro", u"\u20AC"},
  };
  const auto first = Parse(text);
  std::string out;
  first->doc->Write(out);
  // The encoding lacks the euro sign, which goes as a character reference.
  EXPECT_EQ(first->parser.InvalidCharRecord().DataString(), u"");
  EXPECT_NE(out.find("<!ENTITY euro \"&#x20AC;\">"), std::string::npos) << out;
  const auto second = Parse(out);
  for (const auto& [name, value] : values) {
    EXPECT_EQ(first->type->GetEntityDecl(name)->GetValue(), value) << Utf8(name);
    EXPECT_EQ(second->type->GetEntityDecl(name)->GetValue(), value) << Utf8(name);
  }
  std::string again;
  second->doc->Write(again);
  EXPECT_EQ(out, again);
}

}  // namespace
}  // namespace kal
