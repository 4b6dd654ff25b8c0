#include "xml/XMLDTD.h"

#include <sstream>
#include <utility>

#include "xml/DTDParser.h"
#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLStrings.h"
#include "xml/XMLWriter.h"

namespace kal {

namespace {

int ParserLine(const TVxXMLDocument* doc) {
  return doc && doc->GetParser() ? doc->GetParser()->GetLineNumber() : 0;
}

[[noreturn]] void EntityValueError(const TVxXMLDocument* doc, const std::string& msg) {
  throw EVxXMLParserError::CreateWithFileName(
      msg, doc && doc->GetParser() ? doc->GetParser()->GetFileName() : std::string(),
      ParserLine(doc));
}

void CountExpansion(const TVxXMLDocument* doc, std::size_t units) {
  if (doc && doc->GetParser()) doc->GetParser()->CountExpansion(units);
}

void CountExternalContent(const TVxXMLDocument* doc, std::size_t bytes) {
  if (doc && doc->GetParser()) doc->GetParser()->CountExternalContent(bytes);
}

// The document type of doc forgets the expanded lengths of its entities.
void EntityChanged(const TVxXMLDocument* doc) {
  if (auto* docType = doc ? dynamic_cast<TVxDocumentType*>(doc->GetDocumentType()) : nullptr)
    docType->EntitiesChanged();
}

// Marks an entity whose expanded length is being worked out.
constexpr std::size_t kLengthInProgress = kNoExpandedLength - 1;

// Sums lengths, saturating below kLengthInProgress; kNoExpandedLength stays.
std::size_t AddLength(std::size_t a, std::size_t b) {
  if (a == kNoExpandedLength || b == kNoExpandedLength) return kNoExpandedLength;
  return b >= kLengthInProgress - 1 - a ? kLengthInProgress - 1 : a + b;
}

// A literal in double quotes, or in single quotes when it holds a double
// quote (a literal never holds both).
void WriteLiteral(TVxXMLWriter& writer, std::u16string_view s) {
  const char* quote = s.find(u'"') == std::u16string_view::npos ? "\"" : "'";
  writer.Ascii(quote);
  writer.Markup(s);
  writer.Ascii(quote);
}

void WriteExternalId(TVxXMLWriter& writer, const std::u16string& pub, const std::u16string& sys) {
  if (!pub.empty()) {
    writer.Ascii(" PUBLIC ");
    WriteLiteral(writer, pub);
    writer.Ascii(" ");
    WriteLiteral(writer, sys);
  } else {
    writer.Ascii(" SYSTEM ");
    WriteLiteral(writer, sys);
  }
}

void WriteOccurrence(TVxXMLWriter& writer, std::uint8_t occurrence) {
  switch (occurrence) {
    case tcQuest:
      writer.Ascii("?");
      break;
    case tcOneBase:
      writer.Ascii("+");
      break;
    case tcZeroBase:
      writer.Ascii("*");
      break;
    default:
      break;
  }
}

// An entity value as a literal that reads back as the same value. Reading
// a literal collapses white space and resolves character and parameter
// references, so the quote, "%", TAB, LF, CR and every blank behind a
// blank are written as character references, and so is every "&" that does
// not begin a general entity reference the value keeps as written: a
// character reference in the value came from an escaped "&" (those that
// resolve are resolved when the value is read), and a reference to an
// unparsed entity would be refused.
std::u16string EscapedEntityValue(std::u16string_view v, const TVxDeclarations* decls) {
  std::u16string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char16_t c = v[i];
    switch (c) {
      case u'"':
        out += u"&#34;";
        break;
      case u'%':
        out += u"&#37;";
        break;
      case u'\t':
        out += u"&#9;";
        break;
      case u'\n':
        out += u"&#10;";
        break;
      case u'\r':
        out += u"&#13;";
        break;
      case u' ':
        out += i > 0 && v[i - 1] == u' ' ? u"&#32;" : u" ";
        break;
      case u'&': {
        const std::size_t semi = v.find(u';', i + 1);
        const std::u16string_view name = semi == std::u16string_view::npos
                                             ? std::u16string_view()
                                             : v.substr(i + 1, semi - i - 1);
        const bool reference =
            IsValidName(name) && (!decls || decls->GetEntityDestType(name) != 'D');
        out += reference ? u"&" : u"&#38;";
        break;
      }
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Enumeration, content model, declarations

TVxEnumeration::TVxEnumeration(TVxXMLDocument* owner)
    : TVxXMLNode(u"", ntEnumeration, owner), enumList(owner, this) {}

void TVxEnumeration::AddElement(std::u16string_view name) {
  enumList.AppendChild(new TVxXMLNode(name, ntElementContent, FDocument));
}

void TVxEnumeration::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  ReleaseList(enumList, chains);
}

void TVxEnumeration::Write(TVxXMLWriter& writer, int) const {
  writer.Ascii(" (");
  for (const TVxXMLNode* n = enumList.GetFirst(); n; n = n->Next()) {
    if (n != enumList.GetFirst()) writer.Ascii("|");
    writer.Markup(n->GetName());
  }
  writer.Ascii(")");
}

TVxContentModel::TVxContentModel(std::uint8_t contentType, TVxXMLDocument* owner)
    : TVxXMLNode(u"", ntElementContent, owner), ContentType(contentType), ChildList(owner, this) {}

TVxContentModel::TVxContentModel(std::u16string_view name, std::uint8_t contentType,
                                 TVxXMLDocument* owner)
    : TVxXMLNode(name, ntElementContent, owner), ContentType(contentType), ChildList(owner, this) {}

void TVxContentModel::AddElement(std::u16string_view name, std::uint8_t param) {
  if (ContentType == ctMixed && ChildList.GetChild(name, ntElementContent))
    throw EVxDOMException(14, "Duplicate typesdeclaration is not allowed in mixed content.");
  auto leaf = std::make_unique<TVxContentModel>(name, ContentType, FDocument);
  leaf->Occurrence = param;
  ChildList.AppendChild(leaf.get());
  leaf.release();
}

void TVxContentModel::AddElement(TVxContentModel* model) {
  ChildList.AppendChild(model);
}

void TVxContentModel::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  ReleaseList(ChildList, chains);
}

void TVxContentModel::Write(TVxXMLWriter& writer, int l) const {
  if (IsLeaf()) {
    writer.Markup(FNodeName);
    if (ContentType != ctMixed) WriteOccurrence(writer, Occurrence);
    return;
  }
  switch (ContentType) {
    case ctEmpty:
      writer.Ascii(" EMPTY");
      return;
    case ctAny:
      writer.Ascii(" ANY");
      return;
    case ctMixed:
      writer.Ascii("(#PCDATA");
      for (const TVxXMLNode* n = ChildList.GetFirst(); n; n = n->Next()) {
        writer.Ascii("|");
        writer.Markup(n->GetName());
      }
      writer.Ascii(ChildList.GetFirst() ? ")*" : ")");
      return;
    default:
      writer.Ascii("(");
      for (const TVxXMLNode* n = ChildList.GetFirst(); n; n = n->Next()) {
        if (n != ChildList.GetFirst()) writer.Markup(std::u16string_view(&Delimiter, 1));
        n->Write(writer, l);
      }
      writer.Ascii(")");
      WriteOccurrence(writer, Occurrence);
  }
}

TVxElementDecl::TVxElementDecl(std::u16string_view name, TVxXMLDocument* owner)
    : TVxXMLNode(name, ntElementDecl, owner) {}

TVxElementDecl::~TVxElementDecl() {
  delete Content;
}

void TVxElementDecl::SetContentModel(TVxContentModel* content) {
  delete Content;
  Content = content;
}

void TVxElementDecl::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  if (Content) chains.push_back(std::exchange(Content, nullptr));
}

void TVxElementDecl::Write(TVxXMLWriter& writer, int l) const {
  writer.Markup(LeadWhite(l));
  writer.Ascii("<!ELEMENT ");
  writer.Markup(FNodeName);
  writer.Ascii(" ");
  if (Content) Content->Write(writer, l);
  writer.Ascii(">\r\n");
}

TVxAttDef::TVxAttDef(std::u16string_view name, TVxXMLDocument* owner)
    : TVxXMLNode(name, ntAttDef, owner) {}

TVxAttDef::TVxAttDef(std::u16string_view name, char attType, std::u16string_view defValue,
                     std::uint8_t defType, TVxXMLDocument* owner)
    : TVxXMLNode(name, ntAttDef, owner),
      AttributeType(attType),
      DefaultType(defType),
      FDefaultValue(defValue) {}

TVxAttDef::~TVxAttDef() {
  delete Enumeration;
}

TVxEnumeration& TVxAttDef::MakeEnumeration() {
  if (!Enumeration) Enumeration = new TVxEnumeration(FDocument);
  return *Enumeration;
}

std::unique_ptr<TVxXMLNode> TVxAttDef::CloneNode() const {
  auto clone =
      std::make_unique<TVxAttDef>(FNodeName, AttributeType, FDefaultValue, DefaultType, FDocument);
  clone->SetValue(GetValue());
  return clone;
}

void TVxAttDef::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  if (Enumeration) chains.push_back(std::exchange(Enumeration, nullptr));
}

void TVxAttDef::Write(TVxXMLWriter& writer, int l) const {
  writer.NewLine(l + 10);
  writer.Markup(FNodeName);
  switch (AttributeType) {
    case atID:
      writer.Ascii(" ID");
      break;
    case atIDRef:
      writer.Ascii(" IDREF");
      break;
    case atIDRefs:
      writer.Ascii(" IDREFS");
      break;
    case atEntity:
      writer.Ascii(" ENTITY");
      break;
    case atEntities:
      writer.Ascii(" ENTITIES");
      break;
    case atNmtoken:
      writer.Ascii(" NMTOKEN");
      break;
    case atNmtokens:
      writer.Ascii(" NMTOKENS");
      break;
    case atNotation:
      writer.Ascii(" NOTATION");
      if (Enumeration) Enumeration->Write(writer, l);
      break;
    case atEnumeration:
      if (Enumeration) Enumeration->Write(writer, l);
      break;
    default:
      writer.Ascii(" CDATA");
  }
  switch (DefaultType) {
    case dtRequired:
      writer.Ascii(" #REQUIRED");
      break;
    case dtImplied:
      writer.Ascii(" #IMPLIED");
      break;
    case dtFixed:
      writer.Ascii(" #FIXED \"");
      writer.AttValue(FDefaultValue);
      writer.Ascii("\"");
      break;
    default:
      writer.Ascii(" \"");
      writer.AttValue(FDefaultValue);
      writer.Ascii("\"");
  }
}

TVxAttListDecl::TVxAttListDecl(std::u16string_view name, TVxXMLDocument* owner)
    : TVxXMLNode(name, ntAttListDecl, owner), AttList(owner, this) {}

bool TVxAttListDecl::AddAtt(TVxAttDef* att) {
  if (GetAtt(att->GetName())) return false;
  AttList.AppendChild(att);
  return true;
}

TVxAttDef* TVxAttListDecl::GetAtt(std::u16string_view name) const {
  return static_cast<TVxAttDef*>(AttList.GetChild(name, ntAttDef));
}

void TVxAttListDecl::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  ReleaseList(AttList, chains);
}

void TVxAttListDecl::Write(TVxXMLWriter& writer, int l) const {
  writer.Markup(LeadWhite(l));
  writer.Ascii("<!ATTLIST ");
  writer.Markup(FNodeName);
  for (const TVxXMLNode* n = AttList.GetFirst(); n; n = n->Next()) n->Write(writer, l);
  writer.Ascii(">\r\n");
}

TVxNotation::TVxNotation(std::u16string_view name, TVxXMLDocument* owner)
    : TVxExternalNode(name, ntNotation, owner) {}

void TVxNotation::Write(TVxXMLWriter& writer, int l) const {
  writer.Markup(LeadWhite(l));
  writer.Ascii("<!NOTATION ");
  writer.Markup(FNodeName);
  if (!FPublic.empty()) {
    writer.NewLine(l + 10);
    writer.Ascii("PUBLIC ");
    WriteLiteral(writer, FPublic);
    if (!FSystem.empty()) {
      writer.Ascii(" ");
      WriteLiteral(writer, FSystem);
    }
  } else {
    writer.NewLine(l + 10);
    writer.Ascii("SYSTEM ");
    WriteLiteral(writer, FSystem);
  }
  writer.Ascii(">\r\n");
}

// ---------------------------------------------------------------------------
// Entities

TVxCustomEntityDecl::TVxCustomEntityDecl(std::u16string_view name, TVxXMLDocument* owner)
    : TVxExternalNode(name, ntEntity, owner) {}

void TVxCustomEntityDecl::SetInternal(bool internal) {
  FInternal = internal;
  EntityChanged(FDocument);
}

void TVxCustomEntityDecl::SetValue(std::u16string_view value) {
  if (!FInternal) EntityValueError(FDocument, "Can not set a value of an external entity.");
  EntityChanged(FDocument);
  std::u16string old(GetValue());
  TVxXMLNode::SetValue(value);
  try {
    Normalize();
  } catch (...) {
    TakeValue(std::move(old));
    throw;
  }
}

void TVxCustomEntityDecl::Normalize() {
  const std::u16string_view v = GetValue();
  TVxDeclarations* decls = FDocument ? FDocument->GetDeclarations() : nullptr;
  auto* docType = dynamic_cast<TVxDocumentType*>(decls);
  // The values of the parameter entities it names are counted as a whole
  // before any of them is put in place, so a value that would pass the
  // parse's budget fails at once (their own references were expanded when
  // they were declared).
  std::size_t expansion = 0;
  for (std::size_t i = 0; docType && i < v.size(); ++i) {
    if (v[i] != u'%' && v[i] != u'&') continue;
    const std::size_t semi = v.find(u';', i + 1);
    if (semi == std::u16string_view::npos) break;
    if (v[i] == u'%')
      if (const TVxCustomEntityDecl* pe =
              docType->GetEntityDecl(v.substr(i + 1, semi - i - 1), true);
          pe && pe->HasValue())
        expansion += ReferenceExpansionCost(pe->GetValue().size());
    i = semi;
  }
  if (expansion > 0) CountExpansion(FDocument, expansion);
  std::u16string out;
  const auto blank = [&out] {
    if (out.empty() || out.back() != u' ') out.push_back(u' ');
  };
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char16_t c = v[i];
    switch (c) {
      case u' ':
      case u'\t':
      case u'\r':
        blank();
        break;
      case u'\n':
        if (i == 0 || v[i - 1] != u'\r') blank();
        break;
      case u'%':
      case u'&': {
        if (i + 1 == v.size())
          EntityValueError(FDocument, "Illegal character in the entity value '&&' or '%'.");
        const std::size_t semi = v.find(u';', i + 1);
        if (semi == std::u16string_view::npos)
          EntityValueError(FDocument, "Illegal character in the the entity value '&&' or '%'.");
        const std::u16string_view name = v.substr(i + 1, semi - i - 1);
        const std::u16string_view whole = v.substr(i, semi - i + 1);
        i = semi;
        if (c == u'%') {
          const TVxCustomEntityDecl* pe = docType ? docType->GetEntityDecl(name, true) : nullptr;
          if (pe && pe->HasValue()) {
            out += pe->GetValue();
          } else {
            out += whole;
          }
        } else if (!name.empty() && name[0] == u'#') {
          const char32_t cp = CharReferenceValue(name);
          if (cp == kNoCharacter)
            out += whole;
          else
            AppendCodePoint(out, cp);
        } else {
          if (decls && decls->GetEntityDestType(name) == 'D')
            EntityValueError(FDocument,
                             "Reference to an unparsed entity is not allowed in the entity value.");
          out += whole;
        }
        break;
      }
      default:
        out.push_back(c);
    }
  }
  TakeValue(std::move(out));
}

void TVxCustomEntityDecl::Retrieve() {
  if (FInternal) return;
  std::string bytes;
  if (!ReadExternalFile(bytes)) return;
  CountExternalContent(FDocument, bytes.size());
  TakeValue(DecodeExternalText(bytes, FDocument ? FDocument->GetParser() : nullptr));
  FRetrieved = true;
  EntityChanged(FDocument);
}

void TVxCustomEntityDecl::Write(TVxXMLWriter& writer, int l) const {
  writer.Markup(LeadWhite(l));
  writer.Ascii(IsParameter() ? "<!ENTITY % " : "<!ENTITY ");
  writer.Markup(FNodeName);
  writer.Ascii(" ");
  const TWriteMode mode = FDocument ? FDocument->WriteMode : TWriteMode::wmStandard;
  const auto* general = dynamic_cast<const TVxGEntityDecl*>(this);
  const bool unparsed = general && general->IsUnparsed();
  if ((!FInternal && mode == TWriteMode::wmStandard) || mode == TWriteMode::wmAllExternal ||
      unparsed) {
    WriteExternalId(writer, FPublic, FInternal ? FNodeName + u".ent" : FSystem);
    if (unparsed) {
      writer.NewLine(l + 10);
      writer.Ascii("NDATA ");
      writer.Markup(general->GetNotation());
    }
  } else {
    writer.Ascii("\"");
    writer.EntityValue(
        EscapedEntityValue(GetValue(), FDocument ? FDocument->GetDeclarations() : nullptr));
    writer.Ascii("\"");
  }
  writer.Ascii(">\r\n");
}

void TVxGEntityDecl::Retrieve() {
  if (!FUnparsed) TVxCustomEntityDecl::Retrieve();
}

TVxPEntityReference::TVxPEntityReference(std::u16string_view name, TVxXMLDocument* owner)
    : TVxCustomReference(name, owner) {
  const auto* docType = owner ? dynamic_cast<TVxDocumentType*>(owner->GetDeclarations()) : nullptr;
  FDestType = docType && docType->GetEntityDecl(name, true) ? 'A' : 'F';
}

bool TVxPEntityReference::Retrieve() {
  SetValue({});
  const auto* docType =
      FDocument ? dynamic_cast<TVxDocumentType*>(FDocument->GetDeclarations()) : nullptr;
  const TVxCustomEntityDecl* decl = docType ? docType->GetEntityDecl(FNodeName, true) : nullptr;
  if (!decl || !decl->HasValue()) return false;
  SetValue(decl->GetValue());
  return true;
}

void TVxPEntityReference::Write(TVxXMLWriter& writer, int l) const {
  writer.Markup(LeadWhite(l));
  writer.Ascii("%");
  writer.Markup(FNodeName);
  writer.Ascii(";\r\n");
}

// ---------------------------------------------------------------------------
// The document type

TVxDocumentType::TVxDocumentType(std::u16string_view name, TVxXMLDocument* owner)
    : TVxExternalNode(name, ntDocumentType, owner), FContentList(owner, this) {}

void TVxDocumentType::SetElementDecl(TVxElementDecl* elementDecl) {
  FContentList.AppendChild(elementDecl);
}

void TVxDocumentType::SetComment(TVxXMLComment* comment) {
  FContentList.AppendChild(comment);
}

void TVxDocumentType::SetPI(TVxXMLPi* pi) {
  FContentList.AppendChild(pi);
}

void TVxDocumentType::SetNotationDecl(TVxNotation* notation) {
  FContentList.AppendChild(notation);
}

bool TVxDocumentType::SetEntityDecl(TVxCustomEntityDecl* entityDecl) {
  if (GetEntityDecl(entityDecl->GetName(), entityDecl->IsParameter())) return false;
  FContentList.AppendChild(entityDecl);
  EntitiesChanged();
  return true;
}

bool TVxDocumentType::SetAttListDecl(TVxAttListDecl* attListDecl) {
  TVxAttListDecl* existing = GetAttListDecl(attListDecl->GetName());
  if (!existing) {
    FContentList.AppendChild(attListDecl);
    return true;
  }
  for (const TVxXMLNode* n = attListDecl->GetAttList().GetFirst(); n; n = n->Next()) {
    if (existing->GetAtt(n->GetName())) continue;
    existing->AddAtt(static_cast<TVxAttDef*>(n->CloneNode().release()));
  }
  return false;
}

TVxXMLNode* TVxDocumentType::FindDecl(std::uint8_t type, std::u16string_view name) const {
  return FContentList.GetChild(name, type);
}

TVxElementDecl* TVxDocumentType::GetElementDecl(std::u16string_view name) const {
  return static_cast<TVxElementDecl*>(FindDecl(ntElementDecl, name));
}

TVxAttListDecl* TVxDocumentType::GetAttListDecl(std::u16string_view name) const {
  return static_cast<TVxAttListDecl*>(FindDecl(ntAttListDecl, name));
}

TVxCustomEntityDecl* TVxDocumentType::GetEntityDecl(std::u16string_view name,
                                                    bool parameter) const {
  for (TVxXMLNode* n = FContentList.GetRoot(ntEntity); n; n = n->NextSibling()) {
    auto* decl = static_cast<TVxCustomEntityDecl*>(n);
    if (decl->IsParameter() == parameter && XMLCompareText(n->GetName(), name) == 0) return decl;
  }
  return nullptr;
}

TVxNotation* TVxDocumentType::GetNotationDecl(std::u16string_view name) const {
  return static_cast<TVxNotation*>(FindDecl(ntNotation, name));
}

void TVxDocumentType::EndInternalSubset() {
  FInternalLast = FContentList.GetLast();
  FInternalEnded = true;
}

void TVxDocumentType::Retrieve() {
  if (!HasExternalId()) return;
  std::string bytes, name;
  if (!ReadExternalFile(bytes, &name)) return;
  CountExternalContent(FDocument, bytes.size());
  TDTDParser parser;
  parser.ParseExternal(bytes, name, *FDocument);
}

char TVxDocumentType::GetEntityDestType(std::u16string_view name) const {
  const auto* decl = static_cast<const TVxGEntityDecl*>(GetEntityDecl(name));
  if (!decl) return 'F';
  if (decl->IsUnparsed()) return 'D';
  return decl->IsInternal() ? 'B' : 'C';
}

bool TVxDocumentType::GetEntityValue(std::u16string_view name, std::u16string& value) {
  const auto* decl = static_cast<const TVxGEntityDecl*>(GetEntityDecl(name));
  if (!decl || decl->IsUnparsed() || !decl->HasValue()) return false;
  value = decl->GetValue();
  return true;
}

std::size_t TVxDocumentType::GetEntityExpandedLength(std::u16string_view name) {
  return ExpandedLength(GetEntityDecl(name));
}

// A walk over the references, without recursion: each entity's length is
// its text with every reference to an expandable entity replaced by that
// entity's length and the cost of a reference. Lengths are kept, so each
// entity is read once however often it is referenced. An entity met again
// while its own length is being worked out closes a cycle: it and every
// entity whose text leads there get kNoExpandedLength.
std::size_t TVxDocumentType::ExpandedLength(const TVxCustomEntityDecl* entity) {
  const auto expandable = [](const TVxCustomEntityDecl* e) {
    return e && e->HasValue() && !static_cast<const TVxGEntityDecl*>(e)->IsUnparsed();
  };
  if (!expandable(entity)) return kNoExpandedLength;
  if (const auto it = FExpandedLengths.find(entity); it != FExpandedLengths.end())
    return it->second;
  struct Frame {
    const TVxCustomEntityDecl* entity;
    std::size_t at = 0;
    std::size_t length = 0;
  };
  std::vector<Frame> open{{entity}};
  FExpandedLengths[entity] = kLengthInProgress;
  std::size_t result = 0;
  while (!open.empty()) {
    Frame& f = open.back();
    const std::u16string_view v = f.entity->GetValue();
    const TVxCustomEntityDecl* next = nullptr;
    while (!next && f.at < v.size() && f.length != kNoExpandedLength) {
      const std::size_t i = f.at;
      if (v[i] != u'&') {
        f.at = std::min(v.find(u'&', i), v.size());
        f.length = AddLength(f.length, f.at - i);
        continue;
      }
      const std::size_t semi = v.find(u';', i + 1);
      if (semi == std::u16string::npos) {
        f.length = AddLength(f.length, v.size() - i);
        f.at = v.size();
        break;
      }
      const std::u16string_view refName = std::u16string_view(v).substr(i + 1, semi - i - 1);
      if (!IsReferenceName(refName)) {
        f.length = AddLength(f.length, 1);
        f.at = i + 1;
        continue;
      }
      f.at = semi + 1;
      const TVxCustomEntityDecl* ref = refName[0] == u'#' ? nullptr : GetEntityDecl(refName);
      if (!expandable(ref)) {
        f.length = AddLength(f.length, semi - i + 1);
      } else if (const auto it = FExpandedLengths.find(ref); it != FExpandedLengths.end()) {
        f.length = it->second == kLengthInProgress
                       ? kNoExpandedLength
                       : AddLength(f.length, AddLength(it->second, kEntityReferenceCost));
      } else {
        next = ref;
      }
    }
    if (next) {
      FExpandedLengths[next] = kLengthInProgress;
      open.push_back({next});
      continue;
    }
    const std::size_t length = f.length;
    FExpandedLengths[f.entity] = length;
    open.pop_back();
    if (open.empty())
      result = length;
    else
      open.back().length = AddLength(open.back().length, AddLength(length, kEntityReferenceCost));
  }
  return result;
}

char TVxDocumentType::GetAttrType(std::u16string_view elementName, std::u16string_view attr) const {
  const TVxAttListDecl* list = GetAttListDecl(elementName);
  const TVxAttDef* def = list ? list->GetAtt(attr) : nullptr;
  return def ? def->AttributeType : atCData;
}

void TVxDocumentType::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  ReleaseList(FContentList, chains);
}

void TVxDocumentType::Write(TVxXMLWriter& writer, int) const {
  writer.Ascii("<!DOCTYPE ");
  writer.Markup(FNodeName);
  const TWriteMode mode = FDocument ? FDocument->WriteMode : TWriteMode::wmStandard;
  const bool linked = (HasExternalId() && mode != TWriteMode::wmStandalone) ||
                      mode == TWriteMode::wmLinkedDTD || mode == TWriteMode::wmExternalDTD ||
                      mode == TWriteMode::wmAllExternal;
  // Linked to its external subset, the document keeps only the declarations
  // of its internal subset; standalone it carries them all.
  const TVxXMLNode* last = FContentList.GetLast();
  if (linked) {
    WriteExternalId(writer, FPublic, FSystem.empty() ? FNodeName + u".dtd" : FSystem);
    last = FInternalEnded ? FInternalLast : last;
  }
  writer.Ascii(" [");
  if (last) {
    writer.Ascii("\r\n");
    for (const TVxXMLNode* n = FContentList.GetFirst(); n; n = n->Next()) {
      writer.PrevIsText = false;
      n->Write(writer, 3);
      if (n->GetType() == ntComment || n->GetType() == ntPI) writer.Ascii("\r\n");
      if (n == last) break;
    }
  }
  writer.Ascii("]>\r\n");
  writer.PrevIsText = false;
}

}  // namespace kal
