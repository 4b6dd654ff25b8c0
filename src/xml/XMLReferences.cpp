#include "xml/XMLReferences.h"

#include <algorithm>
#include <vector>

#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLStrings.h"

namespace kal {

namespace {

// Expansions of declared entities in progress on this thread, innermost
// last: the values of entities that refer to each other are expanded
// recursively.
struct Expansion {
  const TVxDeclarations* decls;
  std::u16string name;
  // The expansion's whole length has been counted against the parser's
  // budget already, by this level or one around it.
  bool counted;
};
thread_local std::vector<Expansion> gExpanding;

// What one ParseReference may put together: the entities being expanded,
// outermost first, and the text Retrieve has counted already for the
// reference. Text past that is counted against the parser's budget before it
// is made. Its scan can find references that the normalisation read as part
// of a longer, invalid name, so it refuses cycles and bounds its text itself.
struct Replacement {
  TVxDeclarations& decls;
  const TVxXMLDocument* doc;
  TVxParserContext* parser;
  std::size_t allowance;
  std::vector<std::u16string_view> chain;
};

[[noreturn]] void ExpansionError(const TVxXMLDocument* doc, const std::string& msg);
[[noreturn]] void RefersToItself(const TVxXMLDocument* doc, std::u16string_view name) {
  ExpansionError(doc, "Entity \"" +
                          UnicodeToShort(name, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr) +
                          "\" refers to itself.");
}

// The replacement text `raw` with every declared general entity it refers
// to put in place, expanded the same way; character, predefined, unparsed
// and unknown references stay as written, for the one parse that reads
// them. The depth bound stays.
void AppendReplacementText(Replacement& r, std::u16string_view raw, int depth,
                           std::u16string& out) {
  // At most raw's units are added at this level besides the nested ones,
  // which count their own.
  if (const std::size_t upTo = out.size() + raw.size(); upTo > r.allowance) {
    r.parser->CountExpansion(upTo - r.allowance);
    r.allowance = upTo;
  }
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == u'&' && depth < TVxGEntityReference::kMaxEntityDepth) {
      const std::size_t semi = raw.find(u';', i + 1);
      const std::u16string_view name = semi == std::u16string_view::npos
                                           ? std::u16string_view()
                                           : raw.substr(i + 1, semi - i - 1);
      std::u16string value;
      if (IsReferenceName(name) && name[0] != u'#' && !PredefinedEntity(name) &&
          r.decls.GetEntityDestType(name) != 'F' && r.decls.GetEntityDestType(name) != 'D' &&
          r.decls.GetEntityValue(name, value)) {
        for (std::u16string_view open : r.chain)
          if (XMLCompareText(open, name) == 0) RefersToItself(r.doc, name);
        r.chain.push_back(name);
        AppendReplacementText(r, value, depth + 1, out);
        r.chain.pop_back();
        i = semi;
        continue;
      }
    }
    out.push_back(raw[i]);
  }
}

struct ExpansionGuard {
  ExpansionGuard(const TVxDeclarations* decls, std::u16string_view name, bool counted) {
    gExpanding.push_back({decls, std::u16string(name), counted});
  }
  ~ExpansionGuard() { gExpanding.pop_back(); }
  ExpansionGuard(const ExpansionGuard&) = delete;
  ExpansionGuard& operator=(const ExpansionGuard&) = delete;
};

[[noreturn]] void ExpansionError(const TVxXMLDocument* doc, const std::string& msg) {
  const TVxParserContext* parser = doc ? doc->GetParser() : nullptr;
  throw EVxXMLParserError::CreateWithFileName(msg, parser ? parser->GetFileName() : std::string(),
                                              parser ? parser->GetLineNumber() : 0);
}

bool IsHexMark(char16_t c) {
  return c == u'x' || c == u'X';
}

bool IsXmlCharacter(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

bool IsReferenceName(std::u16string_view name) {
  if (name.empty()) return false;
  if (name[0] != u'#') return IsValidName(name);
  const std::u16string_view digits = name.substr(1);
  if (digits.empty()) return false;
  if (IsHexMark(digits[0])) return digits.size() > 1;
  for (char16_t c : digits)
    if (c < u'0' || c > u'9') return false;
  return true;
}

char16_t PredefinedEntity(std::u16string_view name) {
  if (name == u"amp") return u'&';
  if (name == u"lt") return u'<';
  if (name == u"gt") return u'>';
  if (name == u"quot") return u'"';
  if (name == u"apos") return u'\'';
  return 0;
}

char32_t CharReferenceValue(std::u16string_view name) {
  if (name.size() < 2 || name[0] != u'#') return kNoCharacter;
  std::u16string_view digits = name.substr(1);
  std::int64_t value = 0;
  if (IsHexMark(digits[0])) {
    value = HexStrToInt(digits.substr(1));
  } else {
    for (char16_t c : digits) {
      if (c < u'0' || c > u'9') return kNoCharacter;
      value = value * 10 + (c - u'0');
      if (value > 0x10FFFF) return kNoCharacter;
    }
  }
  if (value < 0 || !IsXmlCharacter(static_cast<char32_t>(value))) return kNoCharacter;
  return static_cast<char32_t>(value);
}

void AppendCodePoint(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
    return;
  }
  c -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

std::size_t TVxDeclarations::GetEntityExpandedLength(std::u16string_view) {
  return kNoExpandedLength;
}

TVxCustomReference::TVxCustomReference(std::u16string_view name, TVxXMLDocument* owner)
    : TVxXMLNode(name, ntReference, owner), FDestType('F') {
  if (!name.empty() && name[0] == u'#') {
    FDestType = 'E';
  } else if (owner) {
    if (const TVxDeclarations* decls = owner->GetDeclarations())
      FDestType = decls->GetEntityDestType(name);
  }
}

bool TVxGEntityReference::Retrieve() {
  SetValue({});
  if (const char16_t c = PredefinedEntity(FNodeName)) {
    SetValue(std::u16string_view(&c, 1));
    return true;
  }
  TVxDeclarations* decls = FDocument ? FDocument->GetDeclarations() : nullptr;
  if (!decls) return false;
  std::u16string value;
  if (!decls->GetEntityValue(FNodeName, value)) return false;
  for (const Expansion& e : gExpanding)
    if (e.decls == decls && XMLCompareText(e.name, FNodeName) == 0)
      RefersToItself(FDocument, FNodeName);
  if (gExpanding.size() >= static_cast<std::size_t>(kMaxEntityDepth))
    ExpansionError(FDocument, "Entities are nested deeper than " + std::to_string(kMaxEntityDepth) +
                                  " levels.");
  // The whole expansion is counted before any of it is made, so a reference
  // whose text would pass the budget fails at once. Only an entity whose
  // length is unknown in advance counts its text level by level.
  bool counted = !gExpanding.empty() && gExpanding.back().counted;
  const std::size_t length = decls->GetEntityExpandedLength(FNodeName);
  if (TVxParserContext* parser = FDocument->GetParser(); parser && !counted) {
    counted = length != kNoExpandedLength;
    parser->CountExpansion(ReferenceExpansionCost(counted ? length : value.size()));
  }
  const ExpansionGuard guard(decls, FNodeName, counted);
  TakeValue(std::move(value));
  Normalize();
  // What ParseReference may rebuild without counting it again.
  FCounted = GetValue().size();
  if (length != kNoExpandedLength) FCounted = std::max(FCounted, length);
  return true;
}

std::unique_ptr<TVxXMLNode> TVxGEntityReference::CloneNode() const {
  auto clone = std::make_unique<TVxGEntityReference>(FNodeName, FDocument);
  clone->SetValue(GetValue());
  clone->FDestType = FDestType;
  return clone;
}

std::unique_ptr<TVxXMLDocument> TVxGEntityReference::ParseReference() const {
  TVxParserContext* parser = FDocument ? FDocument->GetParser() : nullptr;
  TVxDeclarations* decls = FDocument ? FDocument->GetDeclarations() : nullptr;
  if (!parser || !decls) return nullptr;
  // The replacement text as declared, the entities it names put in place:
  // the resolved value has its references resolved once already, and what
  // an escaped "&" or "<" left behind must not be read as a reference or
  // markup a second time.
  std::u16string raw, text;
  if (!decls->GetEntityValue(FNodeName, raw)) return nullptr;
  Replacement r{*decls, FDocument, parser, FCounted, {FNodeName}};
  AppendReplacementText(r, raw, 1, text);
  auto doc = std::make_unique<TVxXMLDocument>();
  parser->ParseFragment(text, *doc);
  return doc;
}

bool TVxCharReference::Retrieve() {
  SetValue({});
  const char32_t c = CharReferenceValue(FNodeName);
  if (c == kNoCharacter) return false;
  std::u16string value;
  AppendCodePoint(value, c);
  SetValue(value);
  return true;
}

std::unique_ptr<TVxXMLNode> TVxCharReference::CloneNode() const {
  auto clone = std::make_unique<TVxCharReference>(FNodeName, FDocument);
  clone->SetValue(GetValue());
  clone->FDestType = FDestType;
  return clone;
}

}  // namespace kal
