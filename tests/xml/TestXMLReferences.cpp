#include "xml/XMLReferences.h"

#include <gtest/gtest.h>

#include "XMLTestSupport.h"
#include "xml/XMLBase.h"
#include "xml/XMLWriter.h"

namespace kal {
namespace {

using test::ExpectParserError;
using test::FakeDocType;
using test::FakeParser;

TEST(XMLReferences, CharacterAndPredefinedReferences) {
  EXPECT_EQ(CharReferenceValue(u"#65"), U'A');
  EXPECT_EQ(CharReferenceValue(u"#X41"), U'A');
  EXPECT_EQ(CharReferenceValue(u"#x1F600"), U'\U0001F600');
  EXPECT_EQ(CharReferenceValue(u"#x4G"), U'W');  // "G" counts 23
  for (const char16_t* none : {u"#0", u"#x0", u"#8", u"#xD800", u"#xFFFE", u"#1114112",
                               u"#99999999999999999999", u"#xFFFFFFFFFFFF", u"#x-", u"#12a"})
    EXPECT_EQ(CharReferenceValue(none), kNoCharacter);
  for (const char16_t* junk : {u"", u"#", u"#x", u"#12a", u" b", u"1a"})
    EXPECT_FALSE(IsReferenceName(junk));
  EXPECT_TRUE(IsReferenceName(u"#xZZ"));
  EXPECT_EQ(PredefinedEntity(u"Amp"), 0);

  // The value is the code point in every encoding, not a byte of it.
  for (const char16_t* encoding : {u"UTF-8", u"ISO-8859-7", u"UTF-16"}) {
    TVxXMLDocument doc;
    doc.SetEncoding(encoding);
    TVxCharReference ref(u"#233", &doc);
    EXPECT_EQ(ref.GetDestType(), 'E');
    EXPECT_TRUE(ref.Retrieve());
    EXPECT_EQ(ref.GetValue(), u"\u00E9");
  }
  TVxXMLDocument doc;
  TVxCharReference zero(u"#0", &doc);
  EXPECT_FALSE(zero.Retrieve());
  TVxGEntityReference amp(u"amp", &doc);
  EXPECT_TRUE(amp.Retrieve());
  EXPECT_EQ(amp.GetValue(), u"&");
  TVxGEntityReference other(u"Amp", &doc);
  EXPECT_EQ(other.GetDestType(), 'F');
  EXPECT_FALSE(other.Retrieve());
  EXPECT_FALSE(other.ParseReference());  // no parser
}

struct DeclaredFixture {
  DeclaredFixture() {
    doc.AssignParser(&parser);
    types = static_cast<FakeDocType*>(doc.SetDocumentType(new FakeDocType(&doc)));
    root = doc.SetDocumentElement(new TVxXMLElement(u"R", &doc));
    types->entities = {
        {u"e", {'B', u"v\r\nw"}},     {u"nested", {'B', u"[&e;&#65;]"}},
        {u"loop", {'B', u"<&loop;"}}, {u"markup", {'B', u"<b>bold</b>"}},
        {u"pic", {'D', u""}},         {u"ext", {'C', u""}},
        {u"param", {'A', u"%x;"}},
    };
  }
  FakeParser parser;
  TVxXMLDocument doc;
  FakeDocType* types;
  TVxXMLElement* root;
};

TEST(XMLReferences, DeclaredEntitiesInText) {
  DeclaredFixture f;
  TVxXMLElement* a = f.root->AppendChild(new TVxXMLElement(u"A", &f.doc))->AsElement();
  a->SetCharData(new TVxXMLText(u"1&e;2&nested;3&ext;4", &f.doc, true));
  // Declared values are normalised (line ends as blanks, nested references
  // expanded); an external entity cannot be had yet and stays a reference.
  EXPECT_EQ(a->GetFirstCharData()->GetValue(), u"1v w2[v wA]3");
  ASSERT_NE(a->GetFirstCharData()->Next(), nullptr);
  EXPECT_EQ(a->GetFirstCharData()->Next()->GetName(), u"ext");
  EXPECT_EQ(static_cast<TVxCustomReference*>(a->GetFirstCharData()->Next())->GetDestType(), 'C');
  EXPECT_EQ(a->GetFirstCharData()->Next()->Next()->GetValue(), u"4");

  // An entity that refers to itself is an error, and the text stays as read.
  TVxXMLElement* b = f.root->AppendChild(new TVxXMLElement(u"B", &f.doc))->AsElement();
  ExpectParserError([&] { b->SetCharData(new TVxXMLText(u"&loop;", &f.doc, true)); },
                    "Entity \"loop\" refers to itself.");
  EXPECT_EQ(b->GetFirstCharData()->GetValue(), u"&loop;");

  ExpectParserError([&] { f.root->SetCharData(new TVxXMLText(u"&pic;", &f.doc, true)); },
                    "Reference to an unparsed entity is not allowed in the character data.");
  ExpectParserError([&] { f.root->FSetAttribute(u"a", u"&pic;"); },
                    "Reference to an unparsed entity is not allowed in the attribute value.");
  ExpectParserError([&] { f.root->FSetAttribute(u"a", u"&ext;"); },
                    "Reference to an external entity is not allowed in the attribute value.");
}

TEST(XMLReferences, MarkupInAnEntityValueBecomesNodesAtItsPlace) {
  DeclaredFixture f;
  f.parser.fragment = [](std::u16string_view, TVxXMLDocument& doc) {
    // What the parser makes of "<b>bold</b>" as an external parsed entity.
    TVxXMLElement* root = doc.SetDocumentElement(new TVxXMLElement(u"_root", &doc));
    TVxXMLElement* b = root->AppendChild(new TVxXMLElement(u"b", &doc))->AsElement();
    b->SetCharData(new TVxXMLText(u"bold", &doc));
  };
  f.root->SetCharData(new TVxXMLText(u"x&markup;y", &f.doc, true));
  EXPECT_EQ(f.parser.fragments, std::vector<std::u16string>{u"<b>bold</b>"});
  std::string out;
  f.doc.Write(out);
  EXPECT_EQ(out.substr(out.find("<R>")), "<R>x<b>bold</b>y</R>");
  const TVxXMLElement* b = f.root->GetFirstChild();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetOwnerDocument(), &f.doc);
  EXPECT_EQ(b->GetParent(), f.root);

  // Without markup from the parser the value stays text.
  f.parser.fragment = nullptr;
  TVxXMLElement* c = f.root->AppendChild(new TVxXMLElement(u"C", &f.doc))->AsElement();
  c->SetCharData(new TVxXMLText(u"&markup;", &f.doc, true));
  EXPECT_EQ(c->GetFirstCharData()->GetValue(), u"<b>bold</b>");
}

TEST(XMLReferences, DeclaredAttributeTypesCollapseWhiteSpace) {
  DeclaredFixture f;
  f.types->attrTypes[{u"R", u"t"}] = '7';  // NMTOKEN
  f.root->FSetAttribute(u"t", u" \t a \r\n b&#32;&#32;c  ");
  EXPECT_EQ(f.root->GetAttribute(u"t"), u"a b  c");
  f.root->FSetAttribute(u"u", u" a \r\n b ");
  EXPECT_EQ(f.root->GetAttribute(u"u"), u" a   b ");
  f.root->FSetAttribute(u"e", u"[&e;]");
  EXPECT_EQ(f.root->GetAttribute(u"e"), u"[v w]");

  // The declared values of an ID attribute of the subtree.
  f.types->attrTypes[{u"C", u"id"}] = '2';
  TVxXMLElement* c = f.root->AppendChild(new TVxXMLElement(u"C", &f.doc))->AsElement();
  c->SetAttribute(u"id", u" x1 ");
  std::unique_ptr<TVxNodeList> ids = f.root->GetAttributesByType('2');
  ASSERT_EQ(ids->Length(), 1);
  EXPECT_EQ(ids->GetFirst()->GetValue(), u"x1");
}

}  // namespace
}  // namespace kal
