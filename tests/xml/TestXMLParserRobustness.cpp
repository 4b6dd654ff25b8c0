// Every file of the W3C XML conformance suite (XML 1.1 and namespace tests
// and the suite's own catalogs and scripts included) either parses or fails
// with the parser's own exception, each within a time limit. A document that
// parses is written again; libxml2 must find the output well-formed (unless
// it holds a reference the parser kept unresolved, or a declaration it took
// as read), and parsing the output again must give an equal tree.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "XMLSuiteSupport.h"
#include "xml/XMLReferences.h"

namespace kal {
namespace {

constexpr int kFiles = 3445;
// A bound for a parse that hangs, not a speed: the sanitizers on a fully
// loaded machine take many times the usual time.
constexpr auto kTimeLimit = std::chrono::seconds(60);

// Any reference node in the document.
bool HasReference(const TVxXMLDocument& doc) {
  std::vector<const TVxXMLNode*> work{doc.GetFirstNode()};
  while (!work.empty()) {
    const TVxXMLNode* first = work.back();
    work.pop_back();
    for (const TVxXMLNode* n = first; n; n = n->Next()) {
      if (n->GetType() == ntReference) return true;
      if (const TVxXMLElement* e = n->AsElement()) work.push_back(e->GetFirstNode());
    }
  }
  return false;
}

// The XML declaration as the document holds it is one XML allows: version,
// encoding and standalone ("yes" or "no") only. The parser takes others as
// read and the writer puts them out again.
bool DeclarationAsXmlAllows(const TVxXMLDocument& doc) {
  for (const TVxXMLNode* n = doc.GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() != ntAttribute) continue;
    const std::u16string& name = n->GetName();
    if (name == u"standalone" && n->GetValue() != u"yes" && n->GetValue() != u"no") return false;
    if (name != u"version" && name != u"encoding" && name != u"standalone") return false;
  }
  return true;
}

// The document's nodes behind its declaration's pseudo-attributes, of which
// the writer keeps only version, encoding and a standalone of yes or no.
const TVxXMLNode* AfterDeclaration(const TVxXMLNode* n) {
  while (n && n->GetType() == ntAttribute) n = n->Next();
  return n;
}

// Type, name and value of every node, in order.
void ExpectEqualTrees(const TVxXMLNode* a, const TVxXMLNode* b, const std::string& file) {
  std::vector<std::pair<const TVxXMLNode*, const TVxXMLNode*>> work{{a, b}};
  while (!work.empty()) {
    auto [x, y] = work.back();
    work.pop_back();
    for (; x && y; x = x->Next(), y = y->Next()) {
      ASSERT_EQ(x->GetType(), y->GetType()) << file;
      ASSERT_EQ(x->GetName(), y->GetName()) << file;
      ASSERT_EQ(x->GetValue(), y->GetValue()) << file;
      if (x->AsElement())
        work.emplace_back(x->AsElement()->GetFirstNode(), y->AsElement()->GetFirstNode());
    }
    ASSERT_EQ(x, nullptr) << file << ": the first tree has more nodes";
    ASSERT_EQ(y, nullptr) << file << ": the second tree has more nodes";
  }
}

TEST(XMLParserRobustness, EverySuiteFileParsesWritesAndReparses) {
  const test::W3CSuite suite;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(suite.Root()))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  ASSERT_EQ(files.size(), static_cast<std::size_t>(kFiles));
  xmlInitParser();
  int parsed = 0, checked = 0;
  for (const std::string& file : files) {
    const std::string bytes = test::ReadBytes(file);
    TVxXMLParser parser;
    parser.SetRetrieveInternetURI(false);
    const auto start = std::chrono::steady_clock::now();
    test::Parsed first;
    try {
      first = test::ParseBytes(parser, bytes);
    } catch (const std::exception& e) {
      ADD_FAILURE() << file << ": foreign exception " << e.what();
      continue;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, kTimeLimit) << file;
    if (!first.doc) continue;
    ++parsed;
    std::string out;
    first.doc->Write(out);
    if (!HasReference(*first.doc) && DeclarationAsXmlAllows(*first.doc)) {
      ++checked;
      xmlDoc* theirs = xmlReadMemory(out.data(), static_cast<int>(out.size()), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
      EXPECT_NE(theirs, nullptr) << file << ": not well-formed for libxml2:\n" << out;
      xmlFreeDoc(theirs);
    }
    TVxXMLParser again;
    again.SetRetrieveInternetURI(false);
    const test::Parsed second = test::ParseBytes(again, out);
    ASSERT_NE(second.doc, nullptr) << file << ": " << second.error << "\n" << out;
    ExpectEqualTrees(AfterDeclaration(first.doc->GetFirstNode()),
                     AfterDeclaration(second.doc->GetFirstNode()), file);
    for (const char16_t* name : {u"version", u"encoding"})
      EXPECT_EQ(first.doc->GetAttribute(name), second.doc->GetAttribute(name)) << file;
    EXPECT_EQ(first.doc->GetStandalone(), second.doc->GetStandalone()) << file;
    EXPECT_EQ(first.doc->GetEncoding(), second.doc->GetEncoding()) << file;
    if (HasFatalFailure()) return;
  }
  std::printf("%d files, %d parsed, %d checked by libxml2\n", kFiles, parsed, checked);
  xmlCleanupParser();
}

}  // namespace
}  // namespace kal
