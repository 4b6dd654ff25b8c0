// libFuzzer target for the ep2 message reader. The input is parsed as a
// received message; a parse either succeeds or gives error base + 1 with a
// text. On success every element is looked up again by name and occurrence
// below its parent and by the deep search below the document element, and
// read with the getter of every format: each lookup must hand back the
// document's own element, each getter give its format's codes only, text
// values stay valid UTF-8, and cn digits are two per decoded byte. The
// formatted text the reader hands back must parse again to the same message
// name, number and element values, and to the same text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "ep2/DocumentText.h"
#include "ep2/ElementFormats.h"
#include "ep2/MessageReader.h"
#include "ep2/Utf8Text.h"
#include "support/Base64.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace {

using kal::TCOMEp2InMessage;
using kal::TVxXMLDocument;
using kal::TVxXMLElement;
using kal::fuzz::Check;

constexpr int32_t kBase = 3000;
// Elements looked up with every getter; the rest only take part in the
// comparison after the second parse, so that a wide document stays fast.
constexpr std::size_t kCheckedElements = 200;

// The elements of the document in document order, with their parent.
std::vector<std::pair<TVxXMLElement*, TVxXMLElement*>> Elements(const TVxXMLDocument& doc) {
  std::vector<std::pair<TVxXMLElement*, TVxXMLElement*>> out;
  TVxXMLElement* root = doc.GetDocumentElement();
  if (!root) return out;
  std::vector<TVxXMLElement*> stack{root};
  out.emplace_back(root, nullptr);
  // Pre-order without recursion: children are visited before siblings.
  std::vector<TVxXMLElement*> next{root->GetFirstChild()};
  while (!next.empty()) {
    TVxXMLElement* e = next.back();
    if (!e) {
      next.pop_back();
      stack.pop_back();
      continue;
    }
    next.back() = e->NextSibling();
    out.emplace_back(e, stack.back());
    stack.push_back(e);
    next.push_back(e->GetFirstChild());
  }
  return out;
}

void CheckGetters(const TCOMEp2InMessage& reader, const std::string& name,
                  const TVxXMLElement* parent, int occurrence, TVxXMLElement* expected,
                  const std::string& value) {
  bool found = false;
  std::string v;
  TVxXMLElement* e = nullptr;
  const TCOMEp2InMessage::TCOMFormatCheck checks[] = {
      kal::CHKCheckFormatA, kal::CHKCheckFormatAN,   kal::CHKCheckFormatANS,
      kal::CHKCheckFormatN, kal::CHKCheckFormatDate, kal::CHKCheckFormatTime,
  };
  for (const auto check : checks) {
    const int32_t rc = reader.COMGetElement(name, parent, occurrence, false, check, found, v, e);
    Check(found && e == expected && v == value && rc == check(v));
    Check(kal::UTFIsValidUTF8(v));
  }
  const int32_t exp = reader.COMGetElement(name, parent, occurrence, false,
                                           kal::CHKCheckFormatExpDate, found, v, e);
  Check(found && e == expected && (exp == 0 || exp == kal::kCHKErrorFormatDate));

  int32_t rc = reader.COMGetElementB(name, parent, occurrence, false, false, found, v, e);
  Check(rc == 0 && found && e == expected && v == value);
  rc = reader.COMGetElementB(name, parent, occurrence, true, false, found, v, e);
  std::string bytes;
  const uint8_t decoded = kal::TUTBase64().DecodeData(value, bytes);
  Check(found && rc == (decoded ? 10 + decoded : 0));
  if (rc == 0) Check(v == bytes);

  rc = reader.COMGetElementCN(name, parent, occurrence, false, found, v, e);
  Check(found && rc == (decoded ? 20 + decoded : 0));
  if (rc == 0) {
    Check(v.size() == 2 * bytes.size());
    for (char c : v) Check((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
  }
}

// Parses text; on success the message name, number and every element's
// name and value in document order.
struct Reading {
  int32_t rc = 0;
  std::string name, num, text;
  std::vector<std::pair<std::u16string, std::string>> values;
};

Reading Read(const std::string& input, bool checkLookups) {
  Reading r;
  TCOMEp2InMessage reader(kBase, true);
  kal::TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  std::string error;
  TVxXMLElement* msg = nullptr;
  r.text = input;
  r.rc = reader.COMParseInMessage(parser, doc, r.text, r.name, r.num, msg, error);
  if (r.rc != 0) {
    Check(r.rc == kBase + 1 && !error.empty());
    Check(r.name.empty() && r.num.empty() && msg == nullptr && r.text == input);
    return r;
  }
  Check(kal::UTFIsValidUTF8(r.name) && kal::UTFIsValidUTF8(r.num));
  TVxXMLElement* root = doc->GetDocumentElement();
  Check(root != nullptr);
  Check(msg == root->GetFirstChild());

  const auto elements = Elements(*doc);
  for (std::size_t i = 0; i < elements.size(); ++i) {
    auto [e, parent] = elements[i];
    Check(e->GetOwnerDocument() == doc.get());
    const std::string value = TCOMEp2InMessage::COMElementValue(*e);
    Check(kal::UTFIsValidUTF8(value));
    r.values.emplace_back(e->TagName(), value);
    if (!checkLookups || i >= kCheckedElements) continue;
    // A name the UTF-8 side cannot spell (a lone surrogate) is not looked up.
    const std::string name = kal::UTFFromDocumentText(e->TagName());
    if (kal::UTFToDocumentText(name) != e->TagName()) continue;

    bool found = false;
    std::string v;
    TVxXMLElement* got = nullptr;
    reader.COMFindAnyElement(name, root, v, found, got);
    Check(found && got != nullptr && got->TagName() == e->TagName());
    Check(got->GetOwnerDocument() == doc.get());
    if (!parent) continue;
    int occurrence = 0;
    for (TVxXMLElement* s = parent->GetFirstChild(); s; s = s->NextSibling()) {
      if (s->TagName() == e->TagName()) ++occurrence;
      if (s == e) break;
    }
    reader.COMFindElement(name, parent, occurrence, true, false, found, v, got);
    Check(found && got == e && v == value);
    CheckGetters(reader, name, parent, occurrence, e, value);
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const Reading first = Read(input, true);
  if (first.rc != 0) return 0;
  const Reading again = Read(first.text, false);
  Check(again.rc == 0);
  Check(again.name == first.name && again.num == first.num);
  Check(again.values == first.values);
  Check(again.text == first.text);
  return 0;
}
