#include "xml/DTDParser.h"

#include <sstream>

#include "xml/XMLChars.h"
#include "xml/XMLDTD.h"
#include "xml/XMLParser.h"

namespace kal {

namespace {

bool SameText(std::u16string_view a, std::u16string_view b) {
  return XMLCompareText(a, b) == 0;
}

std::uint8_t OccurrenceOf(std::u16string_view c) {
  if (c == u"?") return tcQuest;
  if (c == u"*") return tcZeroBase;
  if (c == u"+") return tcOneBase;
  return tcNone;
}

bool IsOccurrence(int t) {
  return t == '?' || t == '*' || t == '+';
}

// While a declaration parser reads, the errors the document model raises
// name its line and input: it is the document parser's line source.
class LineSource {
 public:
  LineSource(TVxXMLDocument& doc, const TLexAnalyzer* source)
      : parser_(dynamic_cast<TVxXMLParser*>(doc.GetParser())) {
    if (parser_) previous_ = parser_->SetLineSource(source);
  }
  ~LineSource() {
    if (parser_) parser_->SetLineSource(previous_);
  }
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

 private:
  TVxXMLParser* parser_;
  const TLexAnalyzer* previous_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// TDTDParser

TVxDocumentType& TDTDParser::DocType() const {
  return *static_cast<TVxDocumentType*>(FDoc->GetDocumentType());
}

void TDTDParser::Parse(TAnalyzerState& state, TVxXMLDocument& doc) {
  SetAnalyzerState(std::move(state));
  FDoc = &doc;
  external_ = false;
  const LineSource source(doc, this);
  try {
    ParseDTDContent();
    // The subset ends in the document, not inside an entity's text.
    if (!EntityInputs.empty()) MatchError();
  } catch (...) {
    state = GetAnalyzerState();
    throw;
  }
  state = GetAnalyzerState();
}

void TDTDParser::ParseExternal(const std::string& bytes, const std::string& fileName,
                               TVxXMLDocument& doc) {
  TVxParserContext* context = doc.GetParser();
  const int docLine = context ? context->GetLineNumber() : 0;
  FDoc = &doc;
  external_ = true;
  Init(context ? context->InvalidCharRecord() : ownInvalid_);
  struct Finish {
    TDTDParser& p;
    ~Finish() { p.Finalize(); }
  } finish{*this};
  FileName = fileName;
  std::istringstream in(bytes);
  FirstBuffer->Init(in);
  Stack->Push(&DocType());
  const LineSource source(doc, this);
  try {
    LexAn();
    ParseTextDecl();
    ParseDTDContent();
    if (CurToken.Token != tkDone) Error("Illegal occurence of \"%s\".", CurToken.Lexeme());
  } catch (const EVxXMLParserError& e) {
    // An error of a DTD this one names has its place already.
    if (e.ExtLineNumber != 0) throw;
    throw EVxXMLParserError::CreateWithExtFileName(e.what(), fileName, docLine, e.LineNumber);
  }
}

void TDTDParser::LexAn() {
  PrevToken = CurToken;
  for (;;) {
    const char16_t c = CurChar = Buffer->GetChar();
    if (IsPIData) return SplitPIData();
    if (PrevToken.Token == tkComntStag) return SplitComment();
    if (IsWhite(c)) continue;
    if (c == u'<') return SplitSTag();
    if (IsFirstNameChar(c)) return SplitName();
    if (c == u'-') {
      // "-->" closes a comment; any other "-" begins a name token.
      const bool closing = Buffer->GetChar() == u'-';
      Buffer->UnGetChar();
      if (closing) return SplitETag();
      return SplitNmtoken();
    }
    if (IsRightBracket(c)) return SplitETag();
    if (IsNameChar(c)) return SplitNmtoken();
    if (c == u'#') return SplitPredefined();
    if (c == u'"' || c == u'\'') return SplitLiteral();
    if (c == EOFChar) {
      if (PopEntity()) continue;
      CurToken = TSTEntry(tkDone, u"", -1);
      return;
    }
    if (!IsChar(c)) IllegalChar(c);
    return SetCharToken(c);
  }
}

void TDTDParser::SplitNmtoken() {
  std::u16string& token = NewLexeme();
  token.push_back(CurChar);
  Buffer->GetRun(token, [](char16_t c) { return !IsNameChar(c); });
  SetData(tkNmtoken, token);
}

void TDTDParser::ParseDTDContent() {
  for (;;) {
    switch (CurToken.Token) {
      case tkElemDecl:
        ParseElDecl();
        break;
      case tkAttrDecl:
        ParseAttrDecl();
        break;
      case tkEntityDecl:
        ParseEntityDecl();
        break;
      case tkNotSTag:
        ParseNotation();
        break;
      case tkPIStag:
        ParsePI();
        break;
      case tkComntStag:
        ParseComment();
        break;
      case '%':
        ParseReference();
        break;
      case tkIncludeSec:
        // Conditional sections belong to the external subset and to the
        // text of parameter entities.
        if (!external_ && EntityInputs.empty()) return;
        ParseConditionalSect();
        break;
      default:
        return;
    }
  }
}

void TDTDParser::ParseElDecl() {
  Match(tkElemDecl);
  RMatch(tkName);
  Emit(ntElementDecl, PrevToken.Lexeme());
  {
    TAnalyzerState state = GetAnalyzerState();
    TContentModelParser models;
    try {
      models.Parse(state, *FDoc);
    } catch (...) {
      SetAnalyzerState(std::move(state));
      throw;
    }
    SetAnalyzerState(std::move(state));
  }
  Emit(ntElementDecl, {});
  RMatch(tkEtag);
}

void TDTDParser::ParseAttrDecl() {
  Match(tkAttrDecl);
  RMatch(tkName);
  Emit(ntAttListDecl, PrevToken.Lexeme());
  while (EqualTokens(tkName)) {
    Match(tkName);
    Emit(ntAttDef, PrevToken.Lexeme());
    ExpandReferences();
    Emit(ntAttDefType, CurToken.Lexeme());
    if (CurToken.Token == tkName && SameText(CurToken.Lexeme(), u"NOTATION"))
      ParseNotationType();
    else if (CurToken.Token == '(')
      ParseEnumType();
    else
      Match(tkName);
    ParseDefault();
  }
  RMatch(tkEtag);
  Emit(ntAttDefEnd, {});
}

void TDTDParser::ParseEnumType() {
  Match('(');
  for (;;) {
    ExpandReferences();
    if (CurToken.Token != tkName && CurToken.Token != tkNmtoken) MatchError();
    Emit(ntEnumElement, CurToken.Lexeme());
    LexAn();
    if (!EqualTokens('|')) break;
    Match('|');
  }
  RMatch(')');
}

void TDTDParser::ParseNotationType() {
  MatchString(u"NOTATION");
  RMatch('(');
  for (;;) {
    RMatch(tkName);
    Emit(ntEnumElement, PrevToken.Lexeme());
    if (!EqualTokens('|')) break;
    Match('|');
  }
  RMatch(')');
}

void TDTDParser::ParseDefault() {
  ExpandReferences();
  switch (CurToken.Token) {
    case tkRequired:
      Match(tkRequired);
      MEmit(ntAttDef, u"#REQUIRED", {});
      return;
    case tkImplied:
      Match(tkImplied);
      MEmit(ntAttDef, u"#IMPLIED", {});
      return;
    case tkFixed:
      Match(tkFixed);
      if (!EqualTokens(tkLiteral)) Error("Attribute defaults required or incorrect.");
      Match(tkLiteral);
      MEmit(ntAttDef, u"#FIXED", PrevToken.Lexeme());
      return;
    case tkLiteral:
      Match(tkLiteral);
      MEmit(ntAttDef, {}, PrevToken.Lexeme());
      return;
    default:
      Error("Attribute defaults required or incorrect.");
  }
}

void TDTDParser::ParseEntityDecl() {
  Match(tkEntityDecl);
  const bool parameter = CurToken.Token == '%';
  if (parameter) MatchString(u"%");
  RMatch(tkName);
  MEmit(ntEntity, PrevToken.Lexeme(), parameter ? u"%" : u"");
  if (EqualTokens(tkLiteral)) {
    Match(tkLiteral);
    Emit(ntEntityValue, PrevToken.Lexeme());
  } else {
    if (CurToken.Token != tkName) {
      if (CurToken.Token == tkDone) Error("Unexpected end of file.");
      Error("Illegal occurence of \"%s\".", CurToken.Lexeme());
    }
    ParseExternalId(true);
    if (EqualStrings(u"NDATA")) {
      Match(tkName);
      RMatch(tkName);
      Emit(ntExternNData, PrevToken.Lexeme());
    }
  }
  RMatch(tkEtag);
  Emit(ntEntityEnd, {});
}

void TDTDParser::ParseNotation() {
  Match(tkNotSTag);
  RMatch(tkName);
  Emit(ntNotation, PrevToken.Lexeme());
  ExpandReferences();
  ParseExternalId();
  RMatch(tkEtag);
  Emit(ntNotation, {});
}

// "<![" INCLUDE "[" declarations "]]>", or IGNORE with everything up to the
// matching "]]>" passed over.
void TDTDParser::ParseConditionalSect() {
  if (sectionDepth_ >= kMaxElementDepth)
    Error("Conditional sections are nested deeper than " + std::to_string(kMaxElementDepth) +
          " levels.");
  Match(tkIncludeSec);
  ExpandReferences();
  if (CurToken.Token != tkName) MatchError();
  const bool include = SameText(CurToken.Lexeme(), u"INCLUDE");
  if (!include && !SameText(CurToken.Lexeme(), u"IGNORE"))
    Error("Illegal occurence of \"%s\".", CurToken.Lexeme());
  Match(tkName);
  ExpandReferences();
  if (CurToken.Token != '[') MatchError();
  if (include) {
    Match('[');
    ++sectionDepth_;
    ParseDTDContent();
    --sectionDepth_;
    Match(tkCDEtag);
    return;
  }
  SkipIgnoreSect();
  LexAn();
}

void TDTDParser::SkipIgnoreSect() {
  std::size_t depth = 1;
  char16_t p2 = 0, p1 = 0;
  for (;;) {
    const char16_t c = Buffer->GetChar();
    if (c == EOFChar) Error("Unexpected end of file.");
    if (p2 == u'<' && p1 == u'!' && c == u'[') {
      ++depth;
      p2 = p1 = 0;
      continue;
    }
    if (p2 == u']' && p1 == u']' && c == u'>') {
      if (--depth == 0) return;
      p2 = p1 = 0;
      continue;
    }
    p2 = p1;
    p1 = c;
  }
}

void TDTDParser::Emit(std::uint8_t nodeType, std::u16string_view value) {
  TVxXMLNode* head = Stack->GetHead();
  switch (nodeType) {
    case ntComment: {
      auto comment = std::make_unique<TVxXMLComment>(value, FDoc);
      DocType().SetComment(comment.get());
      comment.release();
      return;
    }
    case ntElementDecl:
      if (value.empty()) {
        Stack->Pop();
        return;
      } else {
        auto decl = std::make_unique<TVxElementDecl>(value, FDoc);
        DocType().SetElementDecl(decl.get());
        Stack->Push(decl.release());
      }
      return;
    case ntAttListDecl: {
      TVxAttListDecl* list = DocType().GetAttListDecl(value);
      if (!list) {
        auto created = std::make_unique<TVxAttListDecl>(value, FDoc);
        DocType().SetAttListDecl(created.get());
        list = created.release();
      }
      Stack->Push(list);
      return;
    }
    case ntAttDef: {
      auto* list = static_cast<TVxAttListDecl*>(head);
      if (list->GetAtt(value)) {
        // The first definition of a name binds; this one is read and dropped.
        Stack->Push(nullptr);
        return;
      }
      auto def = std::make_unique<TVxAttDef>(value, FDoc);
      list->AddAtt(def.get());
      Stack->Push(def.release());
      return;
    }
    case ntAttDefType: {
      // clang-format off
      static constexpr std::pair<std::u16string_view, char> kTypes[] = {
          {u"CDATA", atCData},       {u"ID", atID},           {u"IDREF", atIDRef},
          {u"IDREFS", atIDRefs},     {u"ENTITY", atEntity},   {u"ENTITIES", atEntities},
          {u"NMTOKEN", atNmtoken},   {u"NMTOKENS", atNmtokens}, {u"NOTATION", atNotation},
          {u"(", atEnumeration}};
      // clang-format on
      for (const auto& [word, type] : kTypes) {
        if (!SameText(value, word)) continue;
        if (auto* def = static_cast<TVxAttDef*>(head)) {
          def->AttributeType = type;
          if (type == atNotation || type == atEnumeration) def->MakeEnumeration();
        }
        return;
      }
      if (CurToken.Token == tkDone) Error("Unexpected end of file.");
      Error("Unknown attribute type: \"%s\".", value);
    }
    case ntEnumElement:
      if (auto* def = static_cast<TVxAttDef*>(head)) def->MakeEnumeration().AddElement(value);
      return;
    case ntAttDefEnd:
      Stack->Pop();
      return;
    case ntEntityValue:
      if (auto* entity = static_cast<TVxCustomEntityDecl*>(head)) entity->SetValue(value);
      return;
    case ntExternSystem:
    case ntExternPublic:
      if (auto* node = dynamic_cast<TVxExternalNode*>(head)) {
        if (nodeType == ntExternSystem)
          node->SetSystemLiteral(value);
        else
          node->SetPublicLiteral(value);
        if (auto* entity = dynamic_cast<TVxCustomEntityDecl*>(node)) {
          entity->SetInternal(false);
          DocType().SetExternalEntity();
        }
      }
      return;
    case ntExternNData:
      if (auto* entity = dynamic_cast<TVxGEntityDecl*>(head)) {
        entity->SetUnparsed(true);
        entity->SetNotation(value);
      }
      return;
    case ntEntityEnd:
      if (auto* entity = static_cast<TVxCustomEntityDecl*>(head); entity && !entity->IsInternal())
        entity->Retrieve();
      Stack->Pop();
      return;
    case ntNotation:
      if (value.empty()) {
        Stack->Pop();
      } else {
        auto notation = std::make_unique<TVxNotation>(value, FDoc);
        notation->SetBase(FileName);
        DocType().SetNotationDecl(notation.get());
        Stack->Push(notation.release());
      }
      return;
    default:
      return;
  }
}

void TDTDParser::MEmit(std::uint8_t nodeType, std::u16string_view value1,
                       std::u16string_view value2) {
  switch (nodeType) {
    case ntPI: {
      auto pi = std::make_unique<TVxXMLPi>(value1, value2, FDoc);
      DocType().SetPI(pi.get());
      pi.release();
      return;
    }
    case ntAttribute:
      // The text declaration of an external DTD: its encoding decodes the
      // rest, unless a byte-order mark has decided.
      if (SameText(value1, u"encoding") && !FirstBuffer->HasByteOrderMark()) {
        const TEncoding cp = StringToEncoding(value2);
        if (cp == TEncoding::n_sup)
          Error("Encoding '%s' is not supported in this version of XMLParser.", value2);
        Buffer->SetEncoding(cp);
      }
      return;
    case ntAttDef:
      if (auto* def = static_cast<TVxAttDef*>(Stack->GetHead())) {
        // The default is stored as an attribute value reads: references
        // resolved, line ends as blanks; what no attribute value may hold
        // raises the attribute's errors here.
        const TVxXMLAttr probe(def->GetName(), value2, FDoc, false, true);
        def->SetDefaultValue(probe.GetValue());
        if (SameText(value1, u"#REQUIRED"))
          def->DefaultType = dtRequired;
        else if (SameText(value1, u"#IMPLIED"))
          def->DefaultType = dtImplied;
        else if (SameText(value1, u"#FIXED"))
          def->DefaultType = dtFixed;
        else
          def->DefaultType = dtDefault;
      }
      Stack->Pop();
      return;
    case ntEntity: {
      std::unique_ptr<TVxCustomEntityDecl> entity;
      if (value2 == u"%")
        entity = std::make_unique<TVxPEntityDecl>(value1, FDoc);
      else
        entity = std::make_unique<TVxGEntityDecl>(value1, FDoc);
      entity->SetBase(FileName);
      if (!DocType().SetEntityDecl(entity.get())) {
        // The first declaration of a name binds; this one is read and dropped.
        Stack->Push(nullptr);
        return;
      }
      Stack->Push(entity.release());
      return;
    }
    default:
      return;
  }
}

// ---------------------------------------------------------------------------
// TContentModelParser

void TContentModelParser::Parse(TAnalyzerState& state, TVxXMLDocument& doc) {
  SetAnalyzerState(std::move(state));
  FDoc = &doc;
  try {
    ParseContentModel();
  } catch (...) {
    state = GetAnalyzerState();
    throw;
  }
  state = GetAnalyzerState();
}

void TContentModelParser::LexAn() {
  PrevToken = CurToken;
  for (;;) {
    const char16_t c = CurChar = Buffer->GetChar();
    if (IsWhite(c)) continue;
    if (c == u'#') return SplitPredefined();
    if (IsNameChar(c)) {
      std::u16string& name = NewLexeme();
      name.push_back(c);
      Buffer->GetRun(name, [](char16_t u) { return !IsNameChar(u); });
      return SetData(IsFirstNameChar(c) ? tkName : tkNmtoken, name);
    }
    if (c == EOFChar) {
      if (PopEntity()) continue;
      CurToken = TSTEntry(tkDone, u"", -1);
      return;
    }
    if (!IsChar(c)) IllegalChar(c);
    return SetCharToken(c);
  }
}

void TContentModelParser::ParseContentModel() {
  ExpandReferences();
  if (CurToken.Token == tkName) {
    if (SameText(CurToken.Lexeme(), u"EMPTY") || SameText(CurToken.Lexeme(), u"ANY")) {
      const std::u16string word(CurToken.Lexeme());
      Match(tkName);
      Emit(ntElementContentStart, word);
    }
    return;
  }
  RMatch('(');
  if (!EqualTokens(tkPcdata)) {
    ParseCMExp(true);
    return;
  }
  Match(tkPcdata);
  Emit(ntElementContentStart, u"#PCDATA");
  while (EqualTokens('|')) {
    Match('|');
    Emit(ntElementContentDelimiter, u"|");
    RMatch(tkName);
    MEmit(ntElementContent, PrevToken.Lexeme(), {});
  }
  RMatch(')');
  Emit(ntElementContentEnd, u")");
  if (CurToken.Token == '*') Match('*');
}

void TContentModelParser::ParseCMExp(bool opened) {
  if (depth_ >= kMaxElementDepth)
    Error("Content model groups are nested deeper than " + std::to_string(kMaxElementDepth) +
          " levels.");
  ++depth_;
  if (!opened) RMatch('(');
  Emit(ntElementContentStart, u"(");
  ParseCMSeq();
  for (;;) {
    ExpandReferences();
    if (CurToken.Token != ',' && CurToken.Token != '|') break;
    const char16_t delimiter = static_cast<char16_t>(CurToken.Token);
    Match(CurToken.Token);
    Emit(ntElementContentDelimiter, std::u16string_view(&delimiter, 1));
    ParseCMSeq();
  }
  RMatch(')');
  std::u16string occurrence;
  if (IsOccurrence(CurToken.Token)) {
    occurrence.push_back(static_cast<char16_t>(CurToken.Token));
    Match(CurToken.Token);
  }
  Emit(ntElementContentEnd, occurrence);
  --depth_;
}

void TContentModelParser::ParseCMSeq() {
  ExpandReferences();
  if (CurToken.Token == tkName) {
    const std::u16string name(CurToken.Lexeme());
    Match(tkName);
    std::u16string occurrence;
    if (IsOccurrence(CurToken.Token)) {
      occurrence.push_back(static_cast<char16_t>(CurToken.Token));
      Match(CurToken.Token);
    }
    MEmit(ntElementContent, name, occurrence);
  } else if (CurToken.Token == '(') {
    ParseCMExp(false);
  } else {
    // A group holds at least one particle, and no delimiter stands alone.
    MatchError();
  }
}

void TContentModelParser::Emit(std::uint8_t nodeType, std::u16string_view value) {
  TVxXMLNode* head = Stack->GetHead();
  auto* model =
      head && head->GetType() == ntElementContent ? static_cast<TVxContentModel*>(head) : nullptr;
  switch (nodeType) {
    case ntElementContentStart: {
      std::uint8_t type = ctChildren;
      if (SameText(value, u"EMPTY"))
        type = ctEmpty;
      else if (SameText(value, u"ANY"))
        type = ctAny;
      else if (SameText(value, u"#PCDATA"))
        type = ctMixed;
      if (head && head->GetType() == ntElementDecl) {
        auto* created = new TVxContentModel(type, FDoc);
        static_cast<TVxElementDecl*>(head)->SetContentModel(created);
        if (type == ctMixed || type == ctChildren) Stack->Push(created);
      } else if (model) {
        auto group = std::make_unique<TVxContentModel>(ctChildren, FDoc);
        model->AddElement(group.get());
        Stack->Push(group.release());
      } else {
        Stack->Push(nullptr);
      }
      return;
    }
    case ntElementContentEnd:
      if (model) model->Occurrence = OccurrenceOf(value);
      Stack->Pop();
      return;
    case ntElementContentDelimiter:
      if (model && !value.empty()) model->SetDelimiter(value[0]);
      return;
    default:
      return;
  }
}

void TContentModelParser::MEmit(std::uint8_t nodeType, std::u16string_view value1,
                                std::u16string_view value2) {
  if (nodeType != ntElementContent) return;
  TVxXMLNode* head = Stack->GetHead();
  if (head && head->GetType() == ntElementContent)
    static_cast<TVxContentModel*>(head)->AddElement(value1, OccurrenceOf(value2));
}

}  // namespace kal
