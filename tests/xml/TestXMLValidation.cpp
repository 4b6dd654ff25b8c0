// Validation of whole documents: the findings of each rule with their exact
// texts and nodes, in the order the checks make them, and the parser's result.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "xml/XMLDTD.h"
#include "xml/XMLParser.h"
#include "xml/XMLStrings.h"

namespace kal {
namespace {

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

struct Validated {
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  bool result = false;

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const TVxError& e : parser.ValidationErrors) out.push_back(e.Msg);
    return out;
  }
};

std::unique_ptr<Validated> Validate(const std::string& text) {
  auto v = std::make_unique<Validated>();
  v->parser.SetRetrieveExternal(false);
  v->parser.SetValidateDocument(true);
  std::istringstream in(text);
  v->result = v->parser.Parse(in, v->doc);
  return v;
}

using Messages = std::vector<std::string>;

TEST(XMLValidation, ValidDocumentsHaveNoFindingsAndValidationIsOffByDefault) {
  const std::string valid =
      "<?xml version='1.0'?>\n"
      "<!DOCTYPE shop [\n"
      "<!ELEMENT shop (item+, note?)>\n"
      "<!ELEMENT item (#PCDATA|b)*>\n"
      "<!ELEMENT b (#PCDATA)>\n"
      "<!ELEMENT note ANY>\n"
      "<!ATTLIST item id ID #REQUIRED ref IDREF #IMPLIED refs IDREFS #IMPLIED\n"
      "               kind (new|used) 'new' size NMTOKEN #IMPLIED tags NMTOKENS #IMPLIED\n"
      "               cur CDATA #FIXED 'CHF'>\n"
      "<!ENTITY sp ' i3 '>\n"
      "]>\n"
      "<shop><item id='i1' kind='used' size='42' tags=' a  b-1 '>one <b>bold</b></item>\n"
      "<item id='i2' ref='i1' refs='i1  i2' cur='CHF'/><item id='&sp;'/>\n"
      "<note><b/>text<?pi data?></note></shop>";
  const auto v = Validate(valid);
  EXPECT_TRUE(v->result);
  EXPECT_EQ(v->Messages(), Messages{}) << v->Messages()[0];

  // The same document with an error, read without validation, is simply
  // read; validating it afterwards finds the error.
  TVxXMLParser parser;
  parser.SetRetrieveExternal(false);
  std::istringstream in("<!DOCTYPE r [<!ELEMENT r EMPTY>]><r><x/></r>");
  std::unique_ptr<TVxXMLDocument> doc;
  EXPECT_TRUE(parser.Parse(in, doc));
  EXPECT_TRUE(parser.ValidationErrors.empty());
  EXPECT_FALSE(parser.Validate(doc.get()));
  // Validating again clears the findings of the last run first.
  EXPECT_FALSE(parser.Validate(doc.get()));
  ASSERT_EQ(parser.ValidationErrors.size(), 2u);
  EXPECT_EQ(parser.ValidationErrors[0].Msg,
            "[Element \"r\"]: Element declared as EMPTY can not have a content.");
  EXPECT_EQ(parser.ValidationErrors[1].Msg, "[Element \"x\"]: Element is not declared.");
}

TEST(XMLValidation, DocumentLevelFindingsStopAtTheFirst) {
  TVxXMLParser parser;
  EXPECT_FALSE(parser.Validate(nullptr));
  EXPECT_EQ(parser.ValidationErrors.size(), 1u);
  EXPECT_EQ(parser.ValidationErrors[0].Msg, "[XML]: The document is empty.");

  // A document without a document type gives exactly one finding.
  const auto v = Validate("<r><undeclared/></r>");
  EXPECT_FALSE(v->result);
  EXPECT_EQ(v->Messages(), Messages{"[XML]: Document type declaration not found."});
  EXPECT_EQ(v->parser.ValidationErrors[0].Node, v->doc.get());

  // Versions other than 1.0 exist only in documents built by hand.
  TVxXMLDocument doc;
  doc.SetAttribute(u"version", u"1.1");
  EXPECT_FALSE(parser.Validate(&doc));
  EXPECT_EQ(parser.ValidationErrors.size(), 1u);
  EXPECT_EQ(parser.ValidationErrors[0].Msg, "[XML]: Unsupported version number \"1.1\".");
  EXPECT_EQ(doc.GetParser(), &parser);
  doc.SetAttribute(u"version", u" \t");
  EXPECT_FALSE(parser.Validate(&doc));
  EXPECT_EQ(parser.ValidationErrors[0].Msg,
            "[XML]: The document does not have a proper version declaration.");
  doc.SetAttribute(u"version", u"1.0");
  doc.SetDocumentType(new TVxDocumentType(u"r", &doc));
  EXPECT_FALSE(parser.Validate(&doc));
  ASSERT_EQ(parser.ValidationErrors.size(), 1u);
  EXPECT_EQ(parser.ValidationErrors[0].Msg, "[XML]: Root element not found.");
  EXPECT_EQ(parser.ValidationErrors[0].Node, &doc);
}

TEST(XMLValidation, DeclarationFindings) {
  const auto v = Validate(
      "<?xml version='1.0' standalone='yes'?>\n"
      "<!DOCTYPE Root [\n"
      "<!ELEMENT root ANY>\n"
      "<!ELEMENT a EMPTY>\n"
      "<!ELEMENT ROOT (a)>\n"
      "<!NOTATION png SYSTEM 'viewer'>\n"
      "<!ENTITY pic SYSTEM 'pic.png' NDATA png>\n"
      "<!ENTITY doc SYSTEM 'doc.gif' NDATA gif>\n"
      "<!ENTITY % ext SYSTEM 'ext.dtd'>\n"
      "]><root/>");
  EXPECT_FALSE(v->result);
  EXPECT_EQ(v->Messages(),
            (Messages{
                "[DTD]: Root name \"Root\" in declaration does not match root name \"root\" in "
                "document.",
                "[DTD]: Element \"root\" is declared more than once.",
                "[DTD]: Element \"ROOT\" is declared more than once.",
                "[XML]: Wrong document standalone declaration.",
                "[XML]: Wrong document standalone declaration.",
                "[XML]: Wrong document standalone declaration.",
                "[Unparsed entity declaration: \"doc\"]: Notation name \"gif\" is not declared.",
            }));
  const TVxErrorsList& e = v->parser.ValidationErrors;
  EXPECT_EQ(e[0].Node, v->doc->GetDocumentType());
  EXPECT_EQ(e[1].Node->GetName(), u"root");
  EXPECT_EQ(e[1].Node->GetType(), ntElementDecl);
  EXPECT_EQ(e[2].Node->GetName(), u"ROOT");
  EXPECT_EQ(e[3].Node, v->doc->GetAttributeNode(u"standalone"));
  EXPECT_EQ(e[6].Node->GetName(), u"doc");
}

TEST(XMLValidation, ElementContentFindings) {
  const auto v = Validate(
      "<!DOCTYPE r [\n"
      "<!ELEMENT r (e1, e2, m, c, c, any)>\n"
      "<!ELEMENT e1 EMPTY><!ELEMENT e2 EMPTY>\n"
      "<!ELEMENT m (#PCDATA|e1)*>\n"
      "<!ELEMENT c (e1,e2?)>\n"
      "<!ELEMENT any ANY>\n"
      "]>\n"
      "<r><e1>text</e1><e2><?pi x?></e2><m>t<?pi x?><e1/><E2/><x/></m>"
      "<c>text<e1/></c><c><e2/><e1/></c><any><x/>t</any></r>");
  EXPECT_FALSE(v->result);
  EXPECT_EQ(v->Messages(),
            (Messages{
                "[Element \"e1\"]: Element declared as EMPTY can not have a content.",
                "[Element \"e2\"]: Element declared as EMPTY can not have a content.",
                "[Element \"m\"]: Element declared as MIXED has improper content.",
                "[Element \"E2\"]: Element is not declared as a child of \"m\".",
                "[Element \"x\"]: Element is not declared as a child of \"m\".",
                // Declarations are looked up with ASCII case ignored.
                "[Element \"x\"]: Element is not declared.",
                "[Element \"c\"]: Element declared as CHILDREN has improper content.",
                "[Element \"c\"]: Content of the element does not match its declaration.",
                "[Element \"x\"]: Element is not declared.",
            }));
  // Element findings name the element, a stray child in mixed content the
  // child.
  const TVxErrorsList& e = v->parser.ValidationErrors;
  EXPECT_EQ(e[0].Node->GetName(), u"e1");
  EXPECT_EQ(e[3].Node->GetName(), u"E2");
  EXPECT_EQ(e[3].Node->GetType(), ntElement);
}

TEST(XMLValidation, AttributeFindings) {
  const auto v = Validate(
      "<!DOCTYPE r [\n"
      "<!ELEMENT r ANY><!ELEMENT e EMPTY><!ELEMENT plain EMPTY>\n"
      "<!NOTATION png SYSTEM 'v'>\n"
      "<!ENTITY pic SYSTEM 'p.png' NDATA png>\n"
      "<!ENTITY txt 'text'>\n"
      "<!ATTLIST r need CDATA #REQUIRED opt CDATA #IMPLIED>\n"
      "<!ATTLIST e id ID #IMPLIED id2 ID #FIXED 'x' ref IDREF #IMPLIED refs IDREFS #IMPLIED\n"
      "   ent ENTITY #IMPLIED ents ENTITIES #IMPLIED tok NMTOKEN #IMPLIED toks NMTOKENS #IMPLIED\n"
      "   fmt NOTATION (png|gif) #IMPLIED kind (a|b) #IMPLIED cur CDATA #FIXED 'CHF'>\n"
      "]>\n"
      "<r Need='x' extra='1'>\n"
      "<e id='1a' ref='nowhere' refs='dup 1x' ent='txt' ents='pic txt' tok='a b'\n"
      "   toks='a $' fmt='jpg' kind='A' cur='EUR'/>\n"
      "<e id='dup' id2='x'/><e id='dup' refs='dup nowhere' ent='1' ents='pic 1'/>\n"
      "<plain any='1'/></r>");
  EXPECT_FALSE(v->result);
  const std::string e = "[Element: \"e\" Attribute: ";
  EXPECT_EQ(v->Messages(),
            (Messages{
                "[Element: \"r\" Attribute: \"need\"]: Element does not contain #REQUIRED "
                "attribute.",
                "[Element: \"r\" Attribute: \"extra\"]: Attribute is not declared.",
                e + "\"id\" Value: \"1a\"]: Attribute's value doesn't match NAME production .",
                e + "\"ref\" Value: \"nowhere\"]: The value of an IDREF Attribute matches the "
                    "value of a nonexisting ID attribute.",
                e + "\"refs\" Value: \"dup 1x\"]: Attribute value doesn't match NAMES "
                    "production .",
                e + "\"ent\" Value: \"txt\"]: The value of an ENTITY Attribute matches a "
                    "nonexisting unparsed entity.",
                e + "\"ents\" Value: \"pic txt\"]: The value of an ENTITY Attribute matches a "
                    "nonexisting unparsed entity.",
                e + "\"tok\" Value: \"a b\"]: Attribute's value doesn't match NMTOKEN "
                    "production .",
                e + "\"toks\" Value: \"a $\"]: Attribute's value doesn't match TOKENS "
                    "production .",
                "[DTD]: Notation name \"gif\" is not declared.",
                e + "\"fmt\" Value: \"jpg\"]: Improper value of an enumerated attribute.",
                e + "\"kind\" Value: \"A\"]: Improper value of an enumerated attribute.",
                e + "\"cur\" Value: \"EUR\"]: Attribute's value doesn't match the default "
                    "value \"CHF\".",
                e + "\"id\" Value: \"dup\"]: Attribute's value of type ID appears more than "
                    "once.",
                "[Element: \"e\"]: Element has more than one attribute of type ID.",
                e + "\"id2\"]: An ID attribute must have a declared default of #IMPLIED or "
                    "#REQUIRED.",
                e + "\"id\" Value: \"dup\"]: Attribute's value of type ID appears more than "
                    "once.",
                e + "\"refs\" Value: \"dup nowhere\"]: The value of an IDREF Attribute matches "
                    "the value of a nonexisting ID attribute.",
                e + "\"ent\" Value: \"1\"]: Attribute's value doesn't match NAME production .",
                e + "\"ents\" Value: \"pic 1\"]: Attribute's value doesn't match NAMES "
                    "production .",
                // An element without any attribute-list declaration declares
                // no attributes either.
                "[Element: \"plain\" Attribute: \"any\"]: Attribute is not declared.",
            }));
  const TVxErrorsList& f = v->parser.ValidationErrors;
  EXPECT_EQ(f[0].Node->GetName(), u"r");
  EXPECT_EQ(f[1].Node->GetType(), ntAttribute);
  EXPECT_EQ(f[1].Node->GetName(), u"extra");
  EXPECT_EQ(f[14].Node->GetType(), ntElement);
  EXPECT_EQ(Utf8(f.back().Node->GetName()), "any");
  // The ID list lives only while the document is validated.
  EXPECT_EQ(v->doc->IdList, nullptr);
}

TEST(XMLValidation, TokenisedValuesLoseTheBlanksReferencesBringToTheirEnds) {
  const auto v = Validate(
      "<!DOCTYPE r [<!ELEMENT r EMPTY>"
      "<!ATTLIST r id ID #IMPLIED ref IDREF #IMPLIED toks NMTOKENS #IMPLIED>"
      "<!ENTITY name ' n99 '>]>"
      "<r id='\t&name; ' ref=' &name;&#32;' toks='&#32;a&name;b '/>");
  EXPECT_TRUE(v->result) << v->Messages()[0];
  const TVxXMLElement* r = v->doc->GetDocumentElement();
  EXPECT_EQ(r->GetAttribute(u"id"), u"n99");
  EXPECT_EQ(r->GetAttribute(u"ref"), u"n99");
  EXPECT_EQ(r->GetAttribute(u"toks"), u"a n99 b");
}

TEST(XMLValidation, DeepHandBuiltTreesAreWalkedWithoutRecursion) {
  TVxXMLParser parser;
  TVxXMLDocument doc;
  auto* type = new TVxDocumentType(u"n", &doc);
  doc.SetDocumentType(type);
  auto* decl = new TVxElementDecl(u"n", &doc);
  auto* model = new TVxContentModel(ctChildren, &doc);
  model->AddElement(u"n", tcQuest);
  decl->SetContentModel(model);
  type->SetElementDecl(decl);
  TVxXMLElement* el = doc.SetDocumentElement(new TVxXMLElement(u"n", &doc));
  for (int i = 0; i < 200000; ++i)
    el = static_cast<TVxXMLElement*>(el->AppendChild(new TVxXMLElement(u"n", &doc)));
  el->AppendChild(new TVxXMLElement(u"leaf", &doc));
  EXPECT_FALSE(parser.Validate(&doc));
  ASSERT_EQ(parser.ValidationErrors.size(), 2u);
  EXPECT_EQ(parser.ValidationErrors[0].Msg,
            "[Element \"n\"]: Content of the element does not match its declaration.");
  EXPECT_EQ(parser.ValidationErrors[0].Node, el);
  EXPECT_EQ(parser.ValidationErrors[1].Msg, "[Element \"leaf\"]: Element is not declared.");
}

}  // namespace
}  // namespace kal
