// Parses arbitrary bytes as a document, with the default options and with
// StandardXML, and as an entity's text. Only the XML layer's own exceptions
// may come out. A document that parses is written and parsed again, which
// must succeed and, unless the writer had to replace characters its encoding
// cannot carry in names (which only a declaration that switches encodings
// twice, or names non-ASCII attributes before its encoding, can bring about),
// give the same tree and the same encoding. A document that parses is also
// validated, twice: validation raises nothing, its result says whether there
// are findings, and the second run finds the same.
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"
#include "xml/XMLStrings.h"

namespace {

using kal::fuzz::Check;

// The document from bytes, or null when the parser refused them.
std::unique_ptr<kal::TVxXMLDocument> Parse(kal::TVxXMLParser& parser, const std::string& bytes) {
  std::istringstream in(bytes);
  std::unique_ptr<kal::TVxXMLDocument> doc;
  try {
    parser.Parse(in, doc);
  } catch (const kal::EVxXMLParserError&) {
    return nullptr;
  } catch (const kal::EVxDOMException&) {
    return nullptr;
  }
  return doc;
}

bool SameTree(const kal::TVxXMLNode* a, const kal::TVxXMLNode* b) {
  std::vector<std::pair<const kal::TVxXMLNode*, const kal::TVxXMLNode*>> work{{a, b}};
  while (!work.empty()) {
    auto [x, y] = work.back();
    work.pop_back();
    for (; x && y; x = x->Next(), y = y->Next()) {
      if (x->GetType() != y->GetType() || x->GetName() != y->GetName() ||
          x->GetValue() != y->GetValue())
        return false;
      if (x->AsElement())
        work.emplace_back(x->AsElement()->GetFirstNode(), y->AsElement()->GetFirstNode());
    }
    if (x || y) return false;
  }
  return true;
}

// The document's nodes behind its declaration's pseudo-attributes, of which
// the writer keeps only version, encoding and a standalone of yes or no.
const kal::TVxXMLNode* AfterDeclaration(const kal::TVxXMLNode* n) {
  while (n && n->GetType() == kal::ntAttribute) n = n->Next();
  return n;
}

std::vector<std::string> Findings(const kal::TVxXMLParser& parser) {
  std::vector<std::string> out;
  for (const kal::TVxError& e : parser.ValidationErrors) out.push_back(e.Msg);
  return out;
}

void Validate(kal::TVxXMLParser& parser, kal::TVxXMLDocument& doc) {
  const bool valid = parser.Validate(&doc);
  Check(valid == parser.ValidationErrors.empty());
  const std::vector<std::string> first = Findings(parser);
  for (const std::string& msg : first) Check(!msg.empty() && msg[0] == '[');
  Check(parser.Validate(&doc) == valid);
  Check(Findings(parser) == first);
  Check(doc.IdList == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 16) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const bool strict : {false, true}) {
    kal::TVxXMLParser parser;
    parser.SetStandardXML(strict);
    // External DTDs and entities would read whatever the input names.
    parser.SetRetrieveExternal(false);
    const std::unique_ptr<kal::TVxXMLDocument> doc = Parse(parser, bytes);
    if (!doc) continue;
    Validate(parser, *doc);
    std::string out;
    doc->Write(out);
    const bool lossless = parser.InvalidCharRecord().DataString().empty();
    kal::TVxXMLParser again;
    again.SetStandardXML(strict);
    again.SetRetrieveExternal(false);
    const std::unique_ptr<kal::TVxXMLDocument> back = Parse(again, out);
    Check(back != nullptr);
    if (!lossless) continue;
    Check(SameTree(AfterDeclaration(doc->GetFirstNode()), AfterDeclaration(back->GetFirstNode())));
    for (const char16_t* name : {u"version", u"encoding"})
      Check(doc->GetAttribute(name) == back->GetAttribute(name));
    Check(doc->GetStandalone() == back->GetStandalone());
    Check(doc->GetEncoding() == back->GetEncoding());
  }

  // The bytes as UTF-8 text of an entity.
  std::u16string text;
  for (std::string_view rest(bytes); !rest.empty();) {
    std::size_t length = 0;
    const char32_t c = kal::MBToWideChar(rest, length);
    if (c != kal::kInvalidUTF8 && c < 0x10000) text.push_back(static_cast<char16_t>(c));
    rest.remove_prefix(length);
  }
  kal::TVxXMLParser parser;
  parser.SetRetrieveExternal(false);
  kal::TVxXMLDocument fragment;
  try {
    parser.ParseFragment(text, fragment);
    Check(fragment.GetDocumentElement() != nullptr);
  } catch (const kal::EVxXMLParserError&) {
  } catch (const kal::EVxDOMException&) {
  }
  return 0;
}
