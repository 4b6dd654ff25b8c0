#include "xml/XMLDOM.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "XMLTestSupport.h"
#include "xml/XMLBase.h"
#include "xml/XMLParser.h"
#include "xml/XMLReferences.h"

namespace kal {
namespace {

using test::ExpectDOMError;
using test::ExpectParserError;
using test::FakeParser;
using test::Names;

TEST(XMLDOM, NewDocumentDeclarationAndEncoding) {
  FakeParser parser;
  TVxXMLDocument doc;
  doc.AssignParser(&parser);
  EXPECT_EQ(Names(doc.GetFirstNode()), std::vector<std::u16string>{u"version"});
  EXPECT_EQ(doc.GetVersion(), u"1.0");
  EXPECT_EQ(doc.GetEncoding(), TEncoding::UTF_8);

  doc.SetStandalone(true);
  doc.SetEncoding(u"utf-8");
  EXPECT_EQ(Names(doc.GetFirstNode()),
            (std::vector<std::u16string>{u"version", u"encoding", u"standalone"}));
  EXPECT_EQ(doc.GetAttribute(u"encoding"), u"utf-8");
  EXPECT_TRUE(doc.GetStandalone());
  doc.SetEncoding(u"ISO-8859-5");
  EXPECT_EQ(doc.GetEncoding(), TEncoding::i8859_5);
  EXPECT_EQ(doc.GetAttribute(u"encoding"), u"ISO-8859-5");

  parser.line = 4;
  parser.file = "in.xml";
  const auto e = ExpectParserError([&] { doc.SetEncoding(u"ISO-8859-15"); },
                                   "Encoding 'ISO-8859-15' is not supported in this version of "
                                   "XMLParser.");
  EXPECT_EQ(e.LineNumber, 4);
  EXPECT_EQ(e.FileName, "in.xml");
  EXPECT_EQ(doc.GetEncoding(), TEncoding::i8859_5);
  EXPECT_EQ(doc.GetAttribute(u"encoding"), u"ISO-8859-5");

  doc.SetDocumentElement(new TVxXMLElement(u"R", &doc));
  // A call that raises leaves the node with the caller.
  auto second = std::make_unique<TVxXMLElement>(u"S", &doc);
  ExpectDOMError([&] { doc.SetDocumentElement(second.get()); }, 5,
                 "TVxXMLDocument.setDocumentElement: DocumentElement alredy exists");
  doc.Clear();
  EXPECT_EQ(Names(doc.GetFirstNode()), std::vector<std::u16string>{u"version"});
  EXPECT_EQ(doc.GetDocumentElement(), nullptr);
  EXPECT_EQ(doc.GetEncoding(), TEncoding::US_ASCII);
  EXPECT_EQ(doc.GetParser(), &parser);
}

TEST(XMLDOM, NamesAreCheckedOnCreation) {
  TVxXMLDocument doc;
  ExpectDOMError([&] { TVxXMLElement(u"1a", &doc); }, 5,
                 "TVxXMLDocument.TVxXMLNode.Create(\"1a\"): invalid character(s) for name");
  ExpectDOMError([&] { TVxXMLAttr(u"a b", u"", &doc); }, 5,
                 "TVxXMLDocument.TVxXMLNode.Create(\"a b\"): invalid character(s) for name");
  for (const char16_t* target : {u"xml", u"XmL", u"1pi"})
    ExpectDOMError([&] { TVxXMLPi(target, u"", &doc); }, 5,
                   "TVxXMLDocument.createProcessingInstruction: invalid character for name");
  // "ep2:Message" is one name; text and references take any name.
  EXPECT_EQ(TVxXMLElement(u"ep2:Message", &doc).TagName(), u"ep2:Message");
  EXPECT_NO_THROW(TVxXMLText(u"x", &doc));

  // A node that fails in the arena, before or after its base is made, lets
  // the store go again, and the heap node made next is not taken for it
  // (the sanitizers watch both).
  ExpectDOMError([&] { delete new (doc.Store()) TVxXMLElement(u"1a", &doc); }, 5,
                 "TVxXMLDocument.TVxXMLNode.Create(\"1a\"): invalid character(s) for name");
  ExpectParserError([&] { delete new (doc.Store()) TVxXMLAttr(u"a", u"<", &doc, false, true); },
                    "Illegal character in the attribute value '<'.");
  delete new TVxXMLElement(u"b", &doc);
}

TEST(XMLDOM, ListLinkingAndItsErrors) {
  TVxXMLDocument doc;
  auto* root = doc.SetDocumentElement(new TVxXMLElement(u"R", &doc));
  auto* a = static_cast<TVxXMLElement*>(root->AppendChild(new TVxXMLElement(u"A", &doc)));
  auto* other = new TVxXMLElement(u"O", &doc);
  root->AppendChild(other);
  TVxNodeList& list = root->GetDataList();

  ExpectDOMError([&] { other->AppendChild(a); }, 10,
                 "TNamedNodeMap.setNamedItem: attribute \"A\" already in use (use clone)");
  ExpectDOMError([&] { list.InsertBefore(a, nullptr); }, 10,
                 "TVxNodeList.insertBefore: attribute already in use (use clone)");
  auto* clone = other->AppendChild(a->CloneNode().release());

  // Insertion around nodes of the list; refChild must be one of them.
  auto b = std::make_unique<TVxXMLElement>(u"B", &doc);
  ExpectDOMError([&] { list.InsertBefore(b.get(), clone); }, 8,
                 "TVxNodeList.insertBefore: the reference child is not in the list");
  list.InsertBefore(b.release(), other);
  list.InsertAfter(new TVxXMLElement(u"C", &doc), other);
  list.InsertAfter(new TVxXMLElement(u"D", &doc), a);
  EXPECT_EQ(Names(list.GetFirst()), (std::vector<std::u16string>{u"A", u"D", u"B", u"O", u"C"}));

  // A container cannot be linked below itself.
  auto loose = std::make_unique<TVxXMLElement>(u"L", &doc);
  ExpectDOMError([&] { loose->AppendChild(loose.get()); }, 3,
                 "TVxNodeList.appendChild: a node cannot be linked below itself");

  // Removal only from the node's own list.
  ExpectDOMError([&] { list.RemoveChild(nullptr); }, 12,
                 "TVxNodeList.RemoveChildNode: you are trying to remove not existing child");
  ExpectDOMError([&] { list.RemoveChild(loose.get()); }, 12,
                 "TVxNodeList.RemoveChildNode: you are trying to remove child out of list.");
  ExpectDOMError([&] { list.RemoveChild(clone); }, 12,
                 "TVxNodeList.RemoveChildNode: you are trying to remove not existing child");
  EXPECT_EQ(other->GetFirstChild(), clone);
  ExpectDOMError([&] { list.RemoveChild(u"Z", ntElement); }, 12,
                 "TVxNodeList.RemoveChildNode: you are trying to remove not existing child");
  std::unique_ptr<TVxXMLNode> removed = list.RemoveChild(u"b", ntElement);  // ASCII case folded
  EXPECT_EQ(removed->GetName(), u"B");
  root->AppendChild(removed.release());
  EXPECT_EQ(Names(list.GetFirst()), (std::vector<std::u16string>{u"A", u"D", u"O", u"C", u"B"}));

  // Deleting a linked node unlinks it first.
  delete list.GetChild(u"O", ntElement);
  EXPECT_EQ(Names(list.GetFirst()), (std::vector<std::u16string>{u"A", u"D", u"C", u"B"}));

  // Item is 1-based (0 and 1 give the first), Length counts the first
  // node's type.
  root->SetAttribute(u"x", u"1");
  EXPECT_EQ(list.Item(0, ntElement)->GetName(), u"A");
  EXPECT_EQ(list.Item(1, ntElement)->GetName(), u"A");
  EXPECT_EQ(list.Item(4, ntElement)->GetName(), u"B");
  EXPECT_EQ(list.Item(1, ntAttribute)->GetName(), u"x");
  EXPECT_EQ(list.Length(), 4);
  EXPECT_EQ(list.GetChild(u"x", 0), nullptr);  // walks the first node's type only
  EXPECT_EQ(a->NextSibling()->GetName(), u"D");
}

TEST(XMLDOM, NodesMovedToAnotherDocumentFollowIt) {
  TVxXMLDocument one, two;
  auto tree = std::make_unique<TVxXMLElement>(u"T", &one);
  auto* leaf = tree->AppendChild(new TVxXMLElement(u"L", &one));
  auto* text = static_cast<TVxXMLElement*>(leaf)->AppendChild(new TVxXMLText(u"t", &one));
  two.SetDocumentElement(tree.release());
  EXPECT_EQ(leaf->GetOwnerDocument(), &two);
  EXPECT_EQ(text->GetOwnerDocument(), &two);
}

// Parsed nodes come from their document's arena, their names interned
// there; a node taken out of the document, or moved into another, keeps both
// alive after the document is cleared or gone (the sanitizers watch).
TEST(XMLDOM, ParsedNodesOutliveTheirDocument) {
  TVxXMLParser parser;
  const auto parse = [&parser](const std::string& text, std::unique_ptr<TVxXMLDocument>& doc) {
    std::istringstream in(text);
    parser.Parse(in, doc);
  };
  std::unique_ptr<TVxXMLDocument> doc;
  parse("<r><e a='1'>text</e><f><g>kept</g></f></r>", doc);
  TVxNodeList& list = doc->GetDocumentElement()->GetDataList();
  std::unique_ptr<TVxXMLNode> taken = list.RemoveChild(list.GetChild(u"e", ntElement));
  TVxXMLDocument other;
  other.SetDocumentElement(
      static_cast<TVxXMLElement*>(list.RemoveChild(list.GetChild(u"f", ntElement)).release()));

  // Reading another document into the same one starts a new store, as the
  // old one still has users.
  parse("<r2><e>new</e></r2>", doc);
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstChild()->GetFirstCharData()->GetValue(), u"new");
  doc.reset();

  const TVxXMLElement* e = taken->AsElement();
  EXPECT_EQ(e->TagName(), u"e");
  EXPECT_EQ(e->GetAttribute(u"a"), u"1");
  EXPECT_EQ(e->GetFirstCharData()->GetValue(), u"text");
  const TVxXMLElement* moved = other.GetDocumentElement();
  EXPECT_EQ(moved->GetFirstChild()->GetOwnerDocument(), &other);
  EXPECT_EQ(moved->GetFirstChild()->GetFirstCharData()->GetValue(), u"kept");
  // Linked into the other document, the node goes with it.
  other.GetDocumentElement()->AppendChild(taken.release());
  EXPECT_EQ(Names(moved->GetFirstNode()), (std::vector<std::u16string>{u"g", u"e"}));

  // Reading again into a document none of whose nodes escaped reuses its
  // store; the names of the new document are its own.
  std::unique_ptr<TVxXMLDocument> again;
  parse("<a><b/></a>", again);
  parse("<c><d/></c>", again);
  EXPECT_EQ(again->GetDocumentElement()->TagName(), u"c");
  EXPECT_EQ(again->GetDocumentElement()->GetFirstChild()->TagName(), u"d");
}

// Whatever reaches a node's document finds none once the document has gone:
// the node, its copies and a list made for the document keep working, and
// the node can join another document (the sanitizers watch for freed
// memory).
TEST(XMLDOM, NodesFindNoDocumentOnceItHasGone) {
  struct Row {
    const char* how;
    std::function<TVxXMLElement*(TVxXMLDocument&)> take;  // e, owned by the caller
  };
  const Row rows[] = {
      {"parsed and removed",
       [](TVxXMLDocument& doc) {
         TVxNodeList& list = doc.GetDocumentElement()->GetDataList();
         return list.RemoveChild(list.GetChild(u"e", ntElement)).release()->AsElement();
       }},
      {"made for the document, never linked",
       [](TVxXMLDocument& doc) {
         auto* e = new TVxXMLElement(u"e", &doc);
         e->SetAttribute(u"a", u"1");
         e->AppendChild(new TVxXMLElement(u"g", &doc));
         e->AppendChild(new TVxGEntityReference(u"u", &doc));
         return e;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.how);
    TVxXMLParser parser;
    std::istringstream in("<r><e a='1'><g/>&u;</e></r>");
    std::unique_ptr<TVxXMLDocument> doc;
    parser.Parse(in, doc);
    std::unique_ptr<TVxXMLElement> e(row.take(*doc));
    TVxNodeList list(doc.get());
    doc.reset();

    EXPECT_EQ(e->GetOwnerDocument(), nullptr);
    EXPECT_EQ(list.GetOwner(), nullptr);
    e->SetAttribute(u"a", u"2");
    e->SetAttribute(u"b", u"<3>");
    e->SetCharData(new TVxXMLText(u"t", e->GetOwnerDocument()));
    std::unique_ptr<TVxXMLNode> copy = e->CloneNode();
    EXPECT_EQ(copy->GetOwnerDocument(), nullptr);
    EXPECT_EQ(copy->AsElement()->GetAttribute(u"b"), u"<3>");
    TVxXMLNode* ref = e->GetFirstNode();
    while (ref && ref->GetType() != ntReference) ref = ref->Next();
    ASSERT_NE(ref, nullptr);
    EXPECT_FALSE(static_cast<TVxGEntityReference*>(ref)->Retrieve());
    list.AppendChild(copy.release());
    EXPECT_EQ(e->GetElementsByTagName(u"g")->Length(), 1);

    TVxXMLDocument other;
    other.SetDocumentElement(e.release());
    EXPECT_EQ(other.GetDocumentElement()->GetFirstChild()->GetOwnerDocument(), &other);
    std::string written;
    other.Write(written);
    EXPECT_EQ(written,
              "<?xml version = \"1.0\"?>\r\n\r\n<e a = \"2\" b = \"&lt;3>\">\r\n   "
              "<g/>&u;t</e>");
  }
}

// A value is kept in its document's arena, in place when a new one fits and
// on the heap once it outgrows its place; whichever way the node was made,
// its value stays readable after the node moves into another document and
// the first document is gone (the sanitizers watch the memory).
TEST(XMLDOM, ValuesSurviveChangesMovesAndTheirDocument) {
  const std::u16string large(5000, u'x');
  struct Row {
    const char* name;
    std::vector<std::u16string> values;  // set one after the other
  };
  // clang-format off
  const Row rows[] = {
      {"one value",                  {u"abc"}},
      {"empty, then a value",        {u"", u"value"}},
      {"shrinks in place",           {u"abcdefgh", u"ab"}},
      {"grows back within its room", {u"abcdefgh", u"ab", u"abcdefgh"}},
      {"outgrows its place",         {u"ab", u"abcdefghijklmnopq"}},
      {"keeps growing",              {u"a", u"bb", u"ccccc", u"dddddddddd", u"eeeeeeeeeeeeeeeeeeee"}},
      {"large",                      {u"ab", large, u"cd"}},
  };
  // clang-format on
  enum class Made { Arena, Heap, NoDocument };
  for (const Row& row : rows)
    for (const Made made : {Made::Arena, Made::Heap, Made::NoDocument}) {
      SCOPED_TRACE(std::string(row.name) + " / " + std::to_string(static_cast<int>(made)));
      auto one = std::make_unique<TVxXMLDocument>();
      TVxXMLDocument* owner = made == Made::NoDocument ? nullptr : one.get();
      std::unique_ptr<TVxXMLText> text(made == Made::Arena ? new (one->Store())
                                                                 TVxXMLText(u"", owner, true)
                                                           : new TVxXMLText(u"", owner, true));
      for (const std::u16string& v : row.values) {
        text->SetValue(v);
        ASSERT_EQ(text->GetValue(), v);
      }
      // A value that is a part of the current one.
      const std::u16string tail = row.values.back().substr(1);
      text->SetValue(text->GetValue().substr(1));
      ASSERT_EQ(text->GetValue(), tail);

      auto element = std::make_unique<TVxXMLElement>(u"e", owner);
      element->AppendChild(text.release());
      TVxXMLDocument two;
      two.SetDocumentElement(element.release());
      one.reset();
      const TVxXMLText* moved = two.GetDocumentElement()->GetFirstCharData();
      EXPECT_EQ(moved->GetOwnerDocument(), &two);
      EXPECT_EQ(moved->GetValue(), tail);
      EXPECT_EQ(moved->CloneNode()->GetValue(), tail);
    }
}

TEST(XMLDOM, Attributes) {
  FakeParser parser;
  TVxXMLDocument doc;
  doc.AssignParser(&parser);
  TVxXMLElement* el = doc.SetDocumentElement(new TVxXMLElement(u"M", &doc));
  el->SetAttribute(u"msgnum", u"1");
  el->SetAttribute(u"b", u"a<b & \"c\" &amp;\t'd'");
  EXPECT_EQ(el->GetAttribute(u"MsgNum"), u"1");
  EXPECT_EQ(el->GetAttribute(u"missing"), u"");
  // Stored as given, TAB as a blank.
  EXPECT_EQ(el->GetAttribute(u"b"), u"a<b & \"c\" &amp; 'd'");
  el->SetAttribute(u"MSGNUM", u"2");
  EXPECT_EQ(Names(el->GetFirstNode()), (std::vector<std::u16string>{u"msgnum", u"b"}));
  EXPECT_EQ(el->GetAttribute(u"msgnum"), u"2");

  // The parser's form resolves references and normalises white space.
  el->FSetAttribute(u"p", u"x&lt;y&#x9;&#65;\r\nz\tw");
  EXPECT_EQ(el->GetAttribute(u"p"), u"x<y\tA z w");
  parser.line = 9;
  const auto e = ExpectParserError([&] { el->FSetAttribute(u"p", u"a<b"); },
                                   "Illegal character in the attribute value '<'.");
  EXPECT_EQ(e.LineNumber, 9);
  ExpectParserError([&] { el->FSetAttribute(u"p", u"a&b"); },
                    "Illegal character in the attribute value '&'.");
  ExpectParserError([&] { el->FSetAttribute(u"q", u"&"); },
                    "Illegal character in the attribute value '&'.");
  EXPECT_EQ(el->GetAttribute(u"p"), u"x<y\tA z w");
  EXPECT_EQ(el->GetAttributeNode(u"q"), nullptr);
  // An undeclared entity stays as written.
  el->FSetAttribute(u"p", u"&Amp;");
  EXPECT_EQ(el->GetAttribute(u"p"), u"&Amp;");

  auto dup = std::make_unique<TVxXMLAttr>(u"B", u"", &doc);
  ExpectDOMError([&] { el->SetAttributeNode(dup.get()); }, 15,
                 "TVxContainer.setAttributeNode: element already contains the attribute \"B\"");
  ExpectDOMError([&] { doc.SetAttributeNode(el->GetAttributeNode(u"b")); }, 10,
                 "TVxContainer.setAttributeNode: attribute already in use");
  TVxXMLDocument other;
  auto foreign = std::make_unique<TVxXMLAttr>(u"f", u"", &other);
  ExpectDOMError([&] { el->SetAttributeNode(foreign.get()); }, 4,
                 "TVxContainer.setAttributeNode: wrong document in attribute node");
  auto fresh = std::make_unique<TVxXMLAttr>(u"f", u"v", &doc);
  EXPECT_EQ(el->SetAttributeNode(fresh.release())->GetParent(), el);
}

TEST(XMLDOM, CharacterDataOfElements) {
  FakeParser parser;
  TVxXMLDocument doc;
  doc.AssignParser(&parser);
  TVxXMLElement* el = doc.SetDocumentElement(new TVxXMLElement(u"A", &doc));

  std::unique_ptr<TVxXMLText> dropped = el->SetCharData(new TVxXMLText(u" \t\r\n", &doc));
  ASSERT_TRUE(dropped);
  EXPECT_EQ(dropped->GetList(), nullptr);
  EXPECT_EQ(el->GetFirstCharData(), nullptr);
  EXPECT_FALSE(el->HasCharData());

  // Whatever the caller stores comes back unchanged.
  EXPECT_FALSE(el->SetCharData(new TVxXMLText(u"a<b R&D; &amp; &#65; \r\n", &doc)));
  EXPECT_EQ(el->GetFirstCharData()->GetValue(), u"a<b R&D; &amp; &#65; \r\n");

  // The parser's text: references resolved, white space kept.
  TVxXMLElement* b = el->AppendChild(new TVxXMLElement(u"B", &doc))->AsElement();
  b->SetCharData(new TVxXMLText(u"&lt;&#x41;&#66;&#x1F600;\t&gt; x & y;", &doc, true));
  EXPECT_EQ(b->GetFirstCharData()->GetValue(), u"<AB\U0001F600\t> x & y;");
  EXPECT_EQ(b->GetFirstCharData()->Next(), nullptr);

  // Unresolved references become reference nodes at their place.
  TVxXMLElement* c = el->AppendChild(new TVxXMLElement(u"C", &doc))->AsElement();
  c->SetCharData(new TVxXMLText(u"x&Amp;y&#0;", &doc, true));
  std::vector<std::pair<int, std::u16string>> nodes;
  for (const TVxXMLNode* n = c->GetFirstNode(); n; n = n->Next())
    nodes.emplace_back(n->GetType(), n->GetName() + u"|" + n->GetValue());
  EXPECT_EQ(nodes,
            (std::vector<std::pair<int, std::u16string>>{
                {ntText, u"|x"}, {ntReference, u"Amp|"}, {ntText, u"|y"}, {ntReference, u"#0|"}}));
  // A reference alone leaves an empty first text.
  TVxXMLElement* d = el->AppendChild(new TVxXMLElement(u"D", &doc))->AsElement();
  EXPECT_FALSE(d->SetCharData(new TVxXMLText(u"&e;", &doc, true)));
  EXPECT_EQ(d->GetFirstCharData()->GetValue(), u"");
  EXPECT_EQ(d->GetFirstCharData()->Next()->GetName(), u"e");

  parser.line = 3;
  TVxXMLElement* f = el->AppendChild(new TVxXMLElement(u"F", &doc))->AsElement();
  auto* bad = new TVxXMLText(u"a &amp b", &doc, true);
  const auto e =
      ExpectParserError([&] { f->SetCharData(bad); }, "Illegal character in the text value '&&'.");
  EXPECT_EQ(e.LineNumber, 3);
  EXPECT_EQ(bad->GetValue(), u"a &amp b");  // left as it was, owned by f

  // CDATA sections, comments and PIs hold their text literally.
  el->SetCData(new TVxXMLCData(u"&amp;<x>", &doc));
  el->SetComment(new TVxXMLComment(u"&lt;", &doc));
  el->SetPI(new TVxXMLPi(u"pi", u"&gt;\r\n", &doc));
  EXPECT_TRUE(el->HasCData());
  EXPECT_TRUE(el->HasComment());
  EXPECT_TRUE(el->HasPI());
  EXPECT_EQ(el->GetDataList().GetRoot(ntCData)->GetValue(), u"&amp;<x>");
  EXPECT_EQ(el->GetDataList().GetRoot(ntComment)->GetValue(), u"&lt;");
  EXPECT_EQ(el->GetDataList().GetRoot(ntPI)->GetValue(), u"&gt;\r\n");
}

TEST(XMLDOM, CharacterDataEditing) {
  TVxXMLDocument doc;
  TVxXMLText t(u"abcdef", &doc, true);
  t.InsertData(0, u"<");
  t.DeleteData(1, 2);
  EXPECT_EQ(t.SubstringData(1, 100), u"cdef");
  t.ReplaceData(4, 1, u"]");  // the last unit can be replaced
  EXPECT_EQ(t.Data(), u"<cde]");
  ExpectDOMError([&] { t.InsertData(5, u"x"); }, 1,
                 "TVxCharacterData.insertData: invalid offset value");
  ExpectDOMError([&] { t.DeleteData(0, -1); }, 1,
                 "TVxCharacterData.deleteData: invalid offset/count values");
  ExpectDOMError([&] { t.SubstringData(-1, 1); }, 1,
                 "TVxCharacterData.substring: invalid offset/count values");
  ExpectDOMError([&] { t.ReplaceData(5, 1, u"x"); }, 1,
                 "TVxCharacterData.deleteData: invalid offset/count values");
  EXPECT_EQ(t.Data(), u"<cde]");
}

TEST(XMLDOM, QueriesReturnListsOfClones) {
  TVxXMLDocument doc;
  TVxXMLElement* root = doc.SetDocumentElement(new TVxXMLElement(u"msgnum", &doc));
  TVxXMLElement* a = root->AppendChild(new TVxXMLElement(u"a", &doc))->AsElement();
  a->AppendChild(new TVxXMLElement(u"msgnum", &doc))
      ->AsElement()
      ->SetCharData(new TVxXMLText(u"inner", &doc));
  root->AppendChild(new TVxXMLElement(u"msgnum", &doc));
  a->SetAttribute(u"k", u"v");

  EXPECT_EQ(root->GetElementsByTagName(u"Msgnum")->Length(), 0);
  std::unique_ptr<TVxNodeList> found = root->GetElementsByTagName(u"msgnum");
  EXPECT_EQ(found->Length(), 3);
  TVxXMLElement* first = found->Item(1)->AsElement();
  EXPECT_EQ(found->Item(0), first);
  EXPECT_NE(first, root);
  EXPECT_EQ(first->GetParent(), root);
  // The first entry is a deep clone of the queried element itself.
  EXPECT_EQ(first->GetFirstChild()->GetAttribute(u"k"), u"v");
  EXPECT_EQ(first->GetFirstChild()->GetFirstChild()->GetFirstCharData()->GetValue(), u"inner");
  EXPECT_EQ(found->Item(2)->AsElement()->GetFirstCharData()->GetValue(), u"inner");
  // Changing or destroying the clones leaves the document alone.
  first->GetFirstChild()->SetAttribute(u"k", u"changed");
  found.reset();
  EXPECT_EQ(a->GetAttribute(u"k"), u"v");
  EXPECT_EQ(root->GetFirstChild(), a);

  TVxNodeList children(&doc);
  root->GetChildren(children);
  EXPECT_EQ(Names(children.GetFirst()), (std::vector<std::u16string>{u"a", u"msgnum"}));
  EXPECT_EQ(children.GetFirst()->GetParent(), nullptr);  // a list without parent
  // Nodes of a list without parent are still linked: they move only as clones.
  ExpectDOMError([&] { root->AppendChild(children.GetFirst()); }, 10,
                 "TNamedNodeMap.setNamedItem: attribute \"a\" already in use (use clone)");
  EXPECT_EQ(children.RemoveChild(children.GetFirst())->GetName(), u"a");
}

// Builds a chain of n elements, each the only child of the one before;
// bottom-up, so that no linking walks the depth.
std::unique_ptr<TVxXMLElement> DeepTree(TVxXMLDocument& doc, int n) {
  auto top = std::make_unique<TVxXMLElement>(u"e", &doc);
  for (int i = 1; i < n; ++i) {
    auto parent = std::make_unique<TVxXMLElement>(u"e", &doc);
    parent->AppendChild(top.release());
    top = std::move(parent);
  }
  return top;
}

TEST(XMLDOM, LongChainsAndDeepTreesNeedNoStack) {
  constexpr int kCount = 300000;
  FakeParser parser;
  parser.formated = false;  // keeps the output of the deep tree linear
  TVxXMLDocument doc;
  doc.AssignParser(&parser);
  TVxXMLElement* root = doc.SetDocumentElement(new TVxXMLElement(u"R", &doc));
  for (int i = 0; i < kCount; ++i) root->AppendChild(new TVxXMLText(u"x", &doc, true));
  auto deep = std::make_unique<TVxXMLElement>(u"top", &doc);
  deep->AppendChild(DeepTree(doc, kCount).release());
  deep->SetAttribute(u"id", u"top");
  std::unique_ptr<TVxXMLNode> copy = deep->CloneNode();
  EXPECT_EQ(deep->GetElementsByTagName(u"none")->Length(), 0);
  EXPECT_EQ(deep->GetElementsByTagName(u"top")->Length(), 1);
  root->AppendChild(deep.release());
  std::string out;
  doc.Write(out);
  EXPECT_GT(out.size(), static_cast<std::size_t>(kCount) * 4);
  doc.Clear();
  EXPECT_EQ(doc.GetFirstNode()->Next(), nullptr);
  EXPECT_EQ(static_cast<TVxXMLElement*>(copy.get())->GetAttribute(u"id"), u"top");
}

}  // namespace
}  // namespace kal
