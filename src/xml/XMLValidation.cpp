// Validity checks of a document against its document type. Every finding is
// a text and the node concerned, handed to the parser the document is linked
// to (AddValidationError); nothing here raises.
#include <string>
#include <unordered_map>
#include <vector>

#include "xml/ContentModelAnalyzer.h"
#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLDOM.h"
#include "xml/XMLDTD.h"
#include "xml/XMLStrings.h"

namespace kal {

namespace {

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

// text with its "%s" replaced by args in order.
std::string Format(std::string_view text, std::initializer_list<std::u16string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && arg != args.end()) {
      out += Utf8(*arg++);
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Names as the declaration lookups compare them: ASCII letters folded.
std::u16string Folded(std::u16string_view s) {
  std::u16string f(s);
  for (char16_t& c : f) c = XMLUpCase(c);
  return f;
}

void Report(const TVxXMLNode& about, TVxXMLNode* node, const std::string& msg) {
  const TVxXMLDocument* doc = about.GetOwnerDocument();
  if (doc && doc->GetParser()) doc->GetParser()->AddValidationError(msg, node);
}

TVxDocumentType* DocTypeOf(const TVxXMLDocument* doc) {
  return doc ? dynamic_cast<TVxDocumentType*>(doc->GetDocumentType()) : nullptr;
}

// The blank-separated pieces of a value (attribute values of list types are
// normalised already; runs of white space still give no empty pieces).
std::vector<std::u16string_view> Pieces(std::u16string_view v) {
  std::vector<std::u16string_view> out;
  std::size_t i = 0;
  while (i < v.size()) {
    while (i < v.size() && IsWhite(v[i])) ++i;
    const std::size_t start = i;
    while (i < v.size() && !IsWhite(v[i])) ++i;
    if (i > start) out.push_back(v.substr(start, i - start));
  }
  return out;
}

bool IsUnparsedEntity(const TVxDocumentType* docType, std::u16string_view name) {
  const auto* decl =
      docType ? dynamic_cast<const TVxGEntityDecl*>(docType->GetEntityDecl(name)) : nullptr;
  return decl && decl->IsUnparsed();
}

bool HasElementChildOrData(const TVxXMLElement& el, bool childElements) {
  for (const TVxXMLNode* n = el.GetFirstNode(); n; n = n->Next()) {
    const std::uint8_t t = n->GetType();
    if (t == ntCData || t == ntPI || t == ntText || (childElements && t == ntElement)) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// The document type and its entities

void TVxDocumentType::Validate() {
  TVxXMLDocument* doc = FDocument;
  if (!doc) return;
  const TVxXMLElement* root = doc->GetDocumentElement();
  if (!root) {
    Report(*this, doc, "[XML]: Root element not found.");
  } else if (XMLCompareStr(FNodeName, root->GetName()) != 0) {
    Report(*this, this,
           Format("[DTD]: Root name \"%s\" in declaration does not match root name \"%s\" in "
                  "document.",
                  {FNodeName, root->GetName()}));
  }

  std::unordered_map<std::u16string, int> declared;
  for (TVxXMLNode* n = FContentList.GetRoot(ntElementDecl); n; n = n->NextSibling())
    ++declared[Folded(n->GetName())];
  for (TVxXMLNode* n = FContentList.GetRoot(ntElementDecl); n; n = n->NextSibling())
    if (declared[Folded(n->GetName())] > 1)
      Report(*this, n, Format("[DTD]: Element \"%s\" is declared more than once.", {n->GetName()}));

  if (doc->GetStandalone()) {
    for (TVxXMLNode* n = FContentList.GetRoot(ntEntity); n; n = n->NextSibling())
      if (!static_cast<TVxCustomEntityDecl*>(n)->IsInternal())
        Report(*this, doc->GetAttributeNode(u"standalone"),
               "[XML]: Wrong document standalone declaration.");
  }
  for (TVxXMLNode* n = FContentList.GetRoot(ntEntity); n; n = n->NextSibling())
    if (!static_cast<TVxCustomEntityDecl*>(n)->IsParameter()) n->Validate();
}

void TVxGEntityDecl::Validate() {
  const TVxDocumentType* docType = DocTypeOf(FDocument);
  if (FUnparsed && (!docType || !docType->GetNotationDecl(FNotation)))
    Report(*this, this,
           Format("[Unparsed entity declaration: \"%s\"]: Notation name \"%s\" is not declared.",
                  {FNodeName, FNotation}));
}

// ---------------------------------------------------------------------------
// Elements

void TVxXMLElement::Validate() {
  const TVxDocumentType* docType = DocTypeOf(FDocument);
  if (!docType) return;
  // The first declaration of each name binds, as in the document type's own
  // lookups; indexed once for the whole subtree.
  std::unordered_map<std::u16string, const TVxElementDecl*> elementDecls;
  std::unordered_map<std::u16string, const TVxAttListDecl*> attLists;
  for (const TVxXMLNode* n = docType->GetContentList().GetFirst(); n; n = n->Next()) {
    if (n->GetType() == ntElementDecl)
      elementDecls.emplace(Folded(n->GetName()), static_cast<const TVxElementDecl*>(n));
    else if (n->GetType() == ntAttListDecl)
      attLists.emplace(Folded(n->GetName()), static_cast<const TVxAttListDecl*>(n));
  }
  // The declarations of each name, found once per name: names are interned
  // per document, so elements of one name share the same string.
  struct Decls {
    const TVxElementDecl* element;
    const TVxAttListDecl* list;
  };
  std::unordered_map<const std::u16string*, Decls> byName;
  TContentModelAnalyzer analyzer;
  // Pre-order walk of this element's subtree, without recursion.
  for (TVxXMLElement* el = this; el;) {
    auto [at, added] = byName.try_emplace(&el->GetName());
    if (added) {
      const std::u16string key = Folded(el->GetName());
      const auto decl = elementDecls.find(key);
      const auto found = attLists.find(key);
      at->second = {decl == elementDecls.end() ? nullptr : decl->second,
                    found == attLists.end() ? nullptr : found->second};
    }
    if (const TVxElementDecl* decl = at->second.element)
      decl->ValidateElementDecl(*el, &analyzer);
    else
      Report(*el, el, Format("[Element \"%s\"]: Element is not declared.", {el->GetName()}));

    const TVxAttListDecl* list = at->second.list;
    if (list) list->ValidateAttList(*el);
    for (TVxXMLNode* n = el->GetDataList().GetRoot(ntAttribute); n; n = n->NextSibling()) {
      auto* attr = static_cast<TVxXMLAttr*>(n);
      // An element without an attribute-list declaration declares none of
      // its attributes either.
      if (const TVxAttDef* def = list ? list->GetAtt(attr->GetName()) : nullptr)
        def->ValidateAttDef(*attr);
      else
        Report(*el, attr,
               Format("[Element: \"%s\" Attribute: \"%s\"]: Attribute is not declared.",
                      {el->GetName(), attr->GetName()}));
    }

    if (TVxXMLElement* child = el->GetFirstChild()) {
      el = child;
      continue;
    }
    while (el != this && !el->NextSibling()) el = el->GetParent()->AsElement();
    el = el != this ? el->NextSibling() : nullptr;
  }
}

void TVxElementDecl::ValidateElementDecl(TVxXMLElement& el, TContentModelAnalyzer* analyzer) const {
  if (!Content) return;
  switch (Content->ContentType) {
    case ctEmpty:
      if (HasElementChildOrData(el, true))
        Report(el, &el,
               Format("[Element \"%s\"]: Element declared as EMPTY can not have a content.",
                      {el.GetName()}));
      return;
    case ctMixed:
      if (el.HasPI())
        Report(el, &el,
               Format("[Element \"%s\"]: Element declared as MIXED has improper content.",
                      {el.GetName()}));
      for (TVxXMLElement* child = el.GetFirstChild(); child; child = child->NextSibling())
        if (!Content->GetChildList().GetChild(child->GetName(), ntElementContent))
          Report(el, child,
                 Format("[Element \"%s\"]: Element is not declared as a child of \"%s\".",
                        {child->GetName(), el.GetName()}));
      return;
    case ctChildren: {
      if (HasElementChildOrData(el, false))
        Report(el, &el,
               Format("[Element \"%s\"]: Element declared as CHILDREN has improper content.",
                      {el.GetName()}));
      TContentModelAnalyzer own;
      TContentModelAnalyzer& a = analyzer ? *analyzer : own;
      if (!a.MatchContentModel(el.GetFirstChild(), *Content))
        Report(el, &el,
               Format("[Element \"%s\"]: Content of the element does not match its declaration.",
                      {el.GetName()}));
      return;
    }
    default:
      return;  // ANY
  }
}

// ---------------------------------------------------------------------------
// Attributes

void TVxAttListDecl::ValidateAttList(TVxXMLElement& el) const {
  for (const TVxXMLNode* n = AttList.GetFirst(); n; n = n->Next()) {
    const auto* def = static_cast<const TVxAttDef*>(n);
    if (def->DefaultType != dtRequired) continue;
    bool present = false;
    for (const TVxXMLNode* a = el.GetDataList().GetRoot(ntAttribute); a && !present;
         a = a->NextSibling())
      present = a->GetName() == def->GetName();
    if (!present)
      Report(el, &el,
             Format("[Element: \"%s\" Attribute: \"%s\"]: Element does not contain #REQUIRED "
                    "attribute.",
                    {el.GetName(), def->GetName()}));
  }
}

void TVxAttDef::ValidateAttDef(TVxXMLAttr& attr) const {
  const TVxXMLDocument* doc = attr.GetOwnerDocument();
  const TVxDocumentType* docType = DocTypeOf(doc);
  const auto* el = dynamic_cast<const TVxXMLElement*>(attr.GetParent());
  const std::u16string elName = el ? el->GetName() : std::u16string();
  const std::u16string& name = attr.GetName();
  const std::u16string& value = attr.GetValue();
  const auto report = [&](const char* text, std::u16string_view extra = {}) {
    Report(attr, &attr, Format(text, {elName, name, value, extra}));
  };
  const auto listed = [this](std::u16string_view v) {
    if (!Enumeration) return false;
    for (const TVxXMLNode* n = Enumeration->GetElements().GetFirst(); n; n = n->Next())
      if (n->GetName() == v) return true;
    return false;
  };

  if (AttributeType == atNotation && Enumeration) {
    for (const TVxXMLNode* n = Enumeration->GetElements().GetFirst(); n; n = n->Next())
      if (!docType || !docType->GetNotationDecl(n->GetName()))
        Report(attr, &attr, Format("[DTD]: Notation name \"%s\" is not declared.", {n->GetName()}));
  }
  if (DefaultType == dtFixed && value != FDefaultValue)
    report(
        "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value doesn't match the "
        "default value \"%s\".",
        FDefaultValue);

  static constexpr const char* kName =
      "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value doesn't match NAME "
      "production .";
  static constexpr const char* kNames =
      "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute value doesn't match NAMES "
      "production .";
  static constexpr const char* kEntitiesNames =
      "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value doesn't match NAMES "
      "production .";
  static constexpr const char* kIdRef =
      "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: The value of an IDREF Attribute matches "
      "the value of a nonexisting ID attribute.";
  static constexpr const char* kEntity =
      "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: The value of an ENTITY Attribute "
      "matches a nonexisting unparsed entity.";
  const auto idCount = [doc](std::u16string_view v) { return doc ? doc->IdCount(v) : 0; };

  switch (AttributeType) {
    case atID: {
      if (!IsValidName(value)) report(kName);
      if (idCount(value) > 1)
        report(
            "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value of type ID "
            "appears more than once.");
      // Reported once per element: with its first attribute of type ID.
      const TVxXMLNode* a = el ? el->GetDataList().GetRoot(ntAttribute) : nullptr;
      while (a && static_cast<const TVxXMLAttr*>(a)->GetAttrType() != atID) a = a->NextSibling();
      if (a == &attr) {
        for (a = a->NextSibling(); a; a = a->NextSibling())
          if (static_cast<const TVxXMLAttr*>(a)->GetAttrType() == atID) {
            Report(attr, const_cast<TVxXMLElement*>(el),
                   Format("[Element: \"%s\"]: Element has more than one attribute of type ID.",
                          {elName}));
            break;
          }
      }
      if (DefaultType != dtImplied && DefaultType != dtRequired)
        Report(attr, &attr,
               Format("[Element: \"%s\" Attribute: \"%s\"]: An ID attribute must have a declared "
                      "default of #IMPLIED or #REQUIRED.",
                      {elName, name}));
      break;
    }
    case atIDRef:
      if (!IsValidName(value))
        report(kName);
      else if (idCount(value) == 0)
        report(kIdRef);
      break;
    case atIDRefs: {
      const std::vector<std::u16string_view> refs = Pieces(value);
      bool names = !refs.empty();
      for (std::u16string_view r : refs) names = names && IsValidName(r);
      if (!names) {
        report(kNames);
        break;
      }
      for (std::u16string_view r : refs)
        if (idCount(r) == 0) {
          report(kIdRef);
          break;
        }
      break;
    }
    case atEntity:
      if (!IsValidName(value))
        report(kName);
      else if (!IsUnparsedEntity(docType, value))
        report(kEntity);
      break;
    case atEntities: {
      const std::vector<std::u16string_view> names = Pieces(value);
      bool valid = !names.empty();
      for (std::u16string_view n : names) valid = valid && IsValidName(n);
      if (!valid) {
        report(kEntitiesNames);
        break;
      }
      for (std::u16string_view n : names)
        if (!IsUnparsedEntity(docType, n)) {
          report(kEntity);
          break;
        }
      break;
    }
    case atNmtoken:
      if (!IsValidToken(value))
        report(
            "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value doesn't match "
            "NMTOKEN production .");
      break;
    case atNmtokens: {
      const std::vector<std::u16string_view> tokens = Pieces(value);
      bool valid = !tokens.empty();
      for (std::u16string_view t : tokens) valid = valid && IsValidToken(t);
      if (!valid)
        report(
            "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Attribute's value doesn't match "
            "TOKENS production .");
      break;
    }
    default:
      break;
  }
  if ((AttributeType == atNotation || AttributeType == atEnumeration) && !listed(value))
    report(
        "[Element: \"%s\" Attribute: \"%s\" Value: \"%s\"]: Improper value of an enumerated "
        "attribute.");
}

}  // namespace kal
