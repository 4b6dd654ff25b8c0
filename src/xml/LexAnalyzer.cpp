#include "xml/LexAnalyzer.h"

#include <algorithm>
#include <utility>

#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLDOM.h"
#include "xml/XMLDTD.h"

namespace kal {

namespace {

struct Keyword {
  std::u16string_view lexeme;
  int token;
};

// The keywords in the order they are interned.
constexpr Keyword kKeywords[] = {
    {u"<", tkStag},
    {u">", tkEtag},
    {u"</", tkElemEtag},
    {u"/>", tkEmptyEtag},
    {u"<!--", tkComntStag},
    {u"-->", tkComntEtag},
    {u"<!DOCTYPE", tkDTDStag},
    {u"<!ELEMENT", tkElemDecl},
    {u"<!ATTLIST", tkAttrDecl},
    {u"<!ENTITY", tkEntityDecl},
    {u"<!NOTATION", tkNotSTag},
    {u"<?", tkPIStag},
    {u"?>", tkPIEtag},
    {u"<![CDATA[", tkCDStag},
    {u"]]>", tkCDEtag},
    {u"<?xml", tkXMLStag},
    {u"<![", tkIncludeSec},
    {u"#REQUIRED", tkRequired},
    {u"#IMPLIED", tkImplied},
    {u"#FIXED", tkFixed},
    {u"#PCDATA", tkPcdata},
    {u"%", '%'},
    {u"?", '?'},
    {u"*", '*'},
    {u"+", '+'},
    {u"(", '('},
    {u")", ')'},
    {u"|", '|'},
    {u",", ','},
};

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

// A character XML 1.0 does not allow in a document (C0 controls other than
// TAB, LF and CR, U+FFFE, U+FFFF); the end of the input (0) counts too, so
// that one test stops a run at both.
constexpr bool IsNonChar(char16_t c) {
  return !IsChar(c);
}

// The text with which an error names a character it does not allow.
std::u16string CharRefText(char16_t c) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), kHex[c & 0xF]);
    c = static_cast<char16_t>(c >> 4);
  } while (c);
  return u"&#x" + digits + u";";
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  return XMLCompareText(a, b) == 0;
}

// The characters of a public identifier.
bool IsPubidChar(char16_t c) {
  return c == u' ' || c == u'\r' || c == u'\n' || (c >= u'a' && c <= u'z') ||
         (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         std::u16string_view(u"-'()+,./:=?;!*#@$_%").find(c) != std::u16string_view::npos;
}

// The units of s before the first end-of-input unit.
std::u16string_view BeforeEnd(std::u16string_view s) {
  return s.substr(0, std::min(s.size(), s.find(EOFChar)));
}

}  // namespace

// ---------------------------------------------------------------------------
// TSymTab

unsigned TSymTab::hash(std::u16string_view s) {
  std::uint32_t h = 0;
  for (char16_t c : s) {
    if (c == 0) break;
    h = (h << 4) + static_cast<std::uint32_t>(XMLOrd(XMLUpCase(c)));
    const std::uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      h ^= g >> 24;
      h ^= g;
    }
  }
  return h % PRIME;
}

int TSymTab::Lookup(std::u16string_view s) const {
  const unsigned list = hash(s);
  const std::vector<TSTEntry>& entries = hs[list];
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (SameText(entries[i].Lexeme(), s)) return static_cast<int>(i << 8 | list);
  return -1;
}

int TSymTab::Add(std::u16string_view s, int t, bool copy) {
  const unsigned list = hash(s);
  const std::u16string_view lexeme = copy ? std::u16string_view(lexemes_.emplace_back(s)) : s;
  std::vector<TSTEntry>& entries = hs[list];
  const int index = static_cast<int>(entries.size() << 8 | list);
  entries.emplace_back(t, lexeme, -1);
  log_.push_back({static_cast<unsigned char>(list), copy});
  if (t >= tkComntStag && t <= tkNotSTag && keywords_[t - tkComntStag].Value < 0)
    keywords_[t - tkComntStag] = TSTEntry(t, lexeme, index);
  return index;
}

void TSymTab::Truncate(std::size_t n) {
  if (log_.size() > n) charIndex_ = MakeCharIndex();
  while (log_.size() > n) {
    hs[log_.back().list].pop_back();
    if (log_.back().copied) lexemes_.pop_back();
    log_.pop_back();
  }
}

// ---------------------------------------------------------------------------
// TXMLStack

std::u16string_view TXMLStack::Pop() {
  TVxXMLNode* top = items_.back();
  items_.pop_back();
  return top ? std::u16string_view(top->GetName()) : std::u16string_view();
}

// ---------------------------------------------------------------------------
// Set-up and state

namespace {

// The keyword table of the last analyser that went on this thread, for the
// next one: a parser made per message then builds no table of its own. A
// table freed after the thread's own objects (a static parser at exit) is
// dropped.
struct TSpareSymbols {
  std::unique_ptr<TSymTab> table;
  bool gone = false;
  ~TSpareSymbols() {
    table.reset();
    gone = true;
  }
};
thread_local TSpareSymbols tSpareSymbols;

}  // namespace

TLexAnalyzer::~TLexAnalyzer() {
  if (spare_.symbols && !tSpareSymbols.gone) tSpareSymbols.table = std::move(spare_.symbols);
}

void TLexAnalyzer::Init(TInvalidChars& invChars) {
  if (spare_.buffer && spare_.invChars == &invChars)
    FirstBuffer = std::move(spare_.buffer);
  else
    FirstBuffer = std::make_unique<TInputBuffer>(invChars);
  Buffer = FirstBuffer.get();
  if (spare_.symbols) {
    Symbols = std::move(spare_.symbols);
  } else if (!tSpareSymbols.gone && tSpareSymbols.table) {
    Symbols = std::move(tSpareSymbols.table);
  } else {
    Symbols = std::make_unique<TSymTab>();
    for (const Keyword& k : kKeywords) Symbols->InsertStatic(k.lexeme, k.token);
  }
  Stack = std::make_unique<TXMLStack>();
  Lexemes = spare_.lexemes ? std::move(spare_.lexemes) : std::make_unique<TLexemeSlots>();
  CurToken = PrevToken = TSTEntry();
  CurChar = 0;
  IsPIData = false;
  EntityInputs.clear();
  InvChars = &invChars;
}

void TLexAnalyzer::Finalize() {
  // The tokens point into the symbol table and the lexeme slots.
  CurToken = PrevToken = TSTEntry();
  Buffer = nullptr;
  // The buffer, the symbol table with its keywords and the lexeme slots
  // serve the next parse, which then allocates nothing up front.
  if (FirstBuffer) {
    spare_.invChars = &FirstBuffer->InvalidCharRecord();
    spare_.buffer = std::move(FirstBuffer);
  }
  if (Symbols) {
    Symbols->Truncate(std::size(kKeywords));
    spare_.symbols = std::move(Symbols);
  }
  if (Lexemes) spare_.lexemes = std::move(Lexemes);
  Stack.reset();
  EntityInputs.clear();
}

TAnalyzerState TLexAnalyzer::GetAnalyzerState() {
  TAnalyzerState state;
  state.FirstBuffer = std::move(FirstBuffer);
  state.Buffer = std::exchange(Buffer, nullptr);
  state.Symbols = std::move(Symbols);
  state.PrevToken = PrevToken;
  state.CurToken = CurToken;
  state.CurChar = CurChar;
  state.Stack = std::move(Stack);
  state.Lexemes = std::move(Lexemes);
  state.FileName = FileName;
  state.Entities = std::move(EntityInputs);
  EntityInputs.clear();
  state.InvChars = InvChars;
  return state;
}

void TLexAnalyzer::SetAnalyzerState(TAnalyzerState state) {
  FirstBuffer = std::move(state.FirstBuffer);
  Buffer = state.Buffer;
  Symbols = std::move(state.Symbols);
  PrevToken = state.PrevToken;
  CurToken = state.CurToken;
  CurChar = state.CurChar;
  Stack = std::move(state.Stack);
  Lexemes = std::move(state.Lexemes);
  FileName = std::move(state.FileName);
  EntityInputs = std::move(state.Entities);
  InvChars = state.InvChars;
}

// ---------------------------------------------------------------------------
// Errors and matching

void TLexAnalyzer::Error(std::string_view text) const {
  throw EVxXMLParserError::CreateWithFileName(std::string(text), FileName, GetLineNumber());
}

void TLexAnalyzer::Error(std::string_view text, std::u16string_view arg,
                         std::u16string_view arg2) const {
  std::string msg(text);
  std::size_t at = msg.find("%s");
  if (at != std::string::npos) {
    const std::string first = Utf8(arg);
    msg.replace(at, 2, first);
    at = msg.find("%s", at + first.size());
    if (at != std::string::npos) msg.replace(at, 2, Utf8(arg2));
  }
  Error(msg);
}

void TLexAnalyzer::MatchError() const {
  if (CurToken.Token == tkDone) Error("Unexpected end of file.");
  Error("Illegal occurence of \"%s\"", CurToken.Lexeme());
}

void TLexAnalyzer::IllegalChar(char16_t c) const {
  Error("Illegal occurence of \"%s\"", CharRefText(c));
}

void TLexAnalyzer::SkipEmpty() {
  const TSTEntry prev = PrevToken;
  LexAn();
  PrevToken = prev;
}

void TLexAnalyzer::Match(int t) {
  if (CurToken.Token != t) MatchError();
  LexAn();
}

void TLexAnalyzer::MatchString(std::u16string_view s) {
  if (CurToken.Token == tkDone || !SameText(CurToken.Lexeme(), s)) MatchError();
  LexAn();
}

void TLexAnalyzer::MatchTokens(int t1, int t2) {
  if (CurToken.Token != t1 && CurToken.Token != t2) MatchError();
  LexAn();
}

// ---------------------------------------------------------------------------
// Shared productions

void TLexAnalyzer::ParseComment() {
  Match(tkComntStag);
  Match(tkCharData);
  Emit(ntComment, PrevToken.Lexeme());
  Match(tkComntEtag);
}

void TLexAnalyzer::ParsePI() {
  Match(tkPIStag);
  IsPIData = true;
  Match(tkName);
  IsPIData = false;
  // The target is a name and lives in a lexeme slot that the token after
  // the data reuses.
  const std::u16string target(PrevToken.Lexeme());
  Match(tkCharData);
  MEmit(ntPI, target, PrevToken.Lexeme());
  Match(tkPIEtag);
}

void TLexAnalyzer::ParseExternalId(bool systemRequired) {
  if (CurToken.Token == tkName && SameText(CurToken.Lexeme(), u"SYSTEM")) {
    MatchString(u"SYSTEM");
    Match(tkLiteral);
    Emit(ntExternSystem, PrevToken.Lexeme());
  } else if (CurToken.Token == tkName && SameText(CurToken.Lexeme(), u"PUBLIC")) {
    MatchString(u"PUBLIC");
    if (CurToken.Token == tkLiteral) {
      for (char16_t c : CurToken.Lexeme())
        if (!IsPubidChar(c))
          Error("Illegal character in the public identifier \"%s\".", CurToken.Lexeme());
    }
    Match(tkLiteral);
    Emit(ntExternPublic, PrevToken.Lexeme());
    if (CurToken.Token == tkLiteral || systemRequired) {
      Match(tkLiteral);
      Emit(ntExternSystem, PrevToken.Lexeme());
    }
  } else {
    if (CurToken.Token == tkDone) Error("Unexpected end of file.");
    Error("Illegal occurence of \"%s\".", CurToken.Lexeme());
  }
}

void TLexAnalyzer::ParseTextDecl() {
  if (CurToken.Token != tkXMLStag) return;
  Match(tkXMLStag);
  if (ParseAttribute(u"version")) {
    const std::u16string version = XMLTrim(PrevToken.Lexeme());
    if (version.empty()) Error("Version declaration: version number required");
    if (version != u"1.0") Error("Version declaration: version \"%s\" is not supported.", version);
  }
  if (!ParseAttribute(u"encoding")) Error("Encoding declaration required");
  Match(tkPIEtag);
}

bool TLexAnalyzer::ParseAttribute(std::u16string_view name) {
  if (CurToken.Token != tkName || !SameText(CurToken.Lexeme(), name)) return false;
  // The name is needed after two more tokens have been read.
  attrName_.assign(CurToken.Lexeme());
  Match(tkName);
  Match('=');
  if (CurToken.Token != tkLiteral) Error("Attribute value required or incorrect");
  // Emitted before the next token is read: an encoding declared here then
  // decodes everything after the literal.
  MEmit(ntAttribute, attrName_, CurToken.Lexeme());
  Match(tkLiteral);
  return true;
}

// ---------------------------------------------------------------------------
// Parameter-entity references

void TLexAnalyzer::ParseReference() {
  const TSTEntry prev = PrevToken;
  MatchString(u"%");
  if (CurToken.Token != tkName) MatchError();
  const std::u16string name(CurToken.Lexeme());
  Match(tkName);
  if (CurToken.Token != ';') MatchError();
  TVxPEntityReference ref(name, FDoc);
  if (!ref.Retrieve())
    Error("Can't retrieve parameter entity value. Entity \"%s\" is not declared.", name);
  for (const TEntityInput& e : EntityInputs)
    if (SameText(e.name, name)) Error("Entity \"%s\" refers to itself.", name);
  if (EntityInputs.size() >= static_cast<std::size_t>(TVxGEntityReference::kMaxEntityDepth))
    Error("Entities are nested deeper than " +
          std::to_string(TVxGEntityReference::kMaxEntityDepth) + " levels.");
  if (TVxParserContext* parser = FDoc ? FDoc->GetParser() : nullptr)
    parser->CountExpansion(ReferenceExpansionCost(ref.GetValue().size()));
  TEntityInput input;
  input.stream = std::make_unique<std::istringstream>(
      "\xFF\xFE" + UnicodeToShort(u" " + ref.GetValue() + u" ", TEncoding::UTF_16,
                                  TByteOrder::boLittleEndian, nullptr));
  input.buffer = std::make_unique<TInputBuffer>(*InvChars);
  input.buffer->Init(*input.stream);
  input.name = name;
  EntityInputs.push_back(std::move(input));
  Buffer = EntityInputs.back().buffer.get();
  // The ";" read, the first token of the replacement text follows.
  MatchString(u";");
  PrevToken = prev;
}

bool TLexAnalyzer::PopEntity() {
  if (EntityInputs.empty()) return false;
  EntityInputs.pop_back();
  Buffer = EntityInputs.empty() ? FirstBuffer.get() : EntityInputs.back().buffer.get();
  return true;
}

void TLexAnalyzer::ExpandReferences() {
  while (CurToken.Token == '%') ParseReference();
}

void TLexAnalyzer::RMatch(int t) {
  if (t != '%') ExpandReferences();
  Match(t);
}

void TLexAnalyzer::RMatchString(std::u16string_view s) {
  if (s != u"%") ExpandReferences();
  MatchString(s);
}

bool TLexAnalyzer::EqualTokens(int t) {
  if (t != '%') ExpandReferences();
  return CurToken.Token == t;
}

bool TLexAnalyzer::EqualStrings(std::u16string_view s) {
  if (s != u"%") ExpandReferences();
  return CurToken.Token != tkDone && SameText(CurToken.Lexeme(), s);
}

// ---------------------------------------------------------------------------
// Tokens

void TLexAnalyzer::SetKeyword(int t) {
  CurToken = Symbols->Keyword(t);
}

void TLexAnalyzer::SetInterned(std::u16string_view lexeme, int t) {
  int index = Symbols->Lookup(lexeme);
  if (index < 0) index = Symbols->Insert(lexeme, t);
  const TSTEntry& entry = Symbols->Entry(index);
  CurToken = TSTEntry(entry.Token, entry.Lexeme(), index);
}

void TLexAnalyzer::SetCharToken(char16_t c) {
  if (c >= 0x80) return SetInterned(std::u16string_view(&c, 1), c);
  // "=" between every attribute's name and value: looked up once per table.
  int& index = Symbols->CharIndex(c);
  if (index < 0) {
    SetInterned(std::u16string_view(&c, 1), c);
    index = CurToken.Value;
    return;
  }
  const TSTEntry& entry = Symbols->Entry(index);
  CurToken = TSTEntry(entry.Token, entry.Lexeme(), index);
}

std::u16string& TLexAnalyzer::NewLexeme() {
  std::u16string& s = Lexemes->slot[Lexemes->next];
  Lexemes->next ^= 1;
  s.clear();
  return s;
}

std::u16string TLexAnalyzer::TakeLexeme() {
  std::u16string taken;
  for (std::u16string& slot : Lexemes->slot)
    if (!slot.empty() && slot.data() == CurToken.LexPtr && slot.size() == CurToken.Length) {
      taken.swap(slot);
      break;
    }
  if (taken.empty()) taken = CurToken.Lexeme();
  CurToken.SetValues(CurToken.Token, u"", -1);
  return taken;
}

// ---------------------------------------------------------------------------
// Scanner pieces

void TLexAnalyzer::SplitCDSec() {
  std::u16string& text = NewLexeme();
  Buffer->UnGetChar();
  for (;;) {
    const char16_t stop = Buffer->GetRun(
        text, [](char16_t c) { return c == u']' || IsNonChar(c); }, true);
    if (stop == u']') {
      const std::u16string end = Buffer->GetChars(3);
      if (end == u"]]>") {
        Buffer->UnGetChars(3);
        break;
      }
      Buffer->UnGetChars(2);
      text.push_back(u']');
    } else if (stop == EOFChar) {
      Error("CDSection does not have a matching end-tag.");
    } else {
      IllegalChar(stop);
    }
  }
  SetData(tkCharData, text);
}

void TLexAnalyzer::SplitComment() {
  std::u16string& text = NewLexeme();
  for (char16_t c = CurChar;; c = Buffer->GetChar()) {
    if (c == EOFChar) Error("Comment does not have a matching end-tag.");
    if (c == u'-') {
      if (Buffer->GetChar() == u'-') {
        if (Buffer->GetChar() != u'>') Error("Comment contains wrong entry \"--\"");
        Buffer->UnGetChars(3);
        break;
      }
      Buffer->UnGetChar();
      text.push_back(c);
    } else if (c == u' ' || c == u'\r' || c == u'\n') {
      // Runs of blanks and line ends become one blank, so that the words and
      // hyphens of two lines stay apart.
      if (text.empty() || text.back() != u' ') text.push_back(u' ');
    } else if (IsNonChar(c)) {
      IllegalChar(c);
    } else {
      text.push_back(c);
    }
  }
  SetData(tkCharData, text);
}

void TLexAnalyzer::SplitSTag() {
  if (IsElContent) IsCharData = false;
  const char16_t c = Buffer->GetChar();
  if (c == u'!') {
    const char16_t c2 = Buffer->GetChar();
    if (c2 == u'-') {
      if (Buffer->GetChar() != u'-') Error("Wrong declaration (comment?): \"%s\".", u"<!-");
      SetKeyword(tkComntStag);
      return;
    }
    if (c2 == u'[') {
      const std::u16string rest = Buffer->GetChars(6);
      if (SameText(rest, u"CDATA[")) {
        SetKeyword(tkCDStag);
        return;
      }
      Buffer->UnGetChars(6);
      SetInterned(u"<![", tkUnknown);
      return;
    }
    // The declaration keywords: ENTITY, then DOCTYPE, ELEMENT and ATTLIST,
    // then NOTATION; what follows a shorter one is stepped back.
    const std::u16string word = c2 + Buffer->GetChars(7);
    static constexpr Keyword kDeclarations[] = {{u"ENTITY", tkEntityDecl},
                                                {u"DOCTYPE", tkDTDStag},
                                                {u"ELEMENT", tkElemDecl},
                                                {u"ATTLIST", tkAttrDecl},
                                                {u"NOTATION", tkNotSTag}};
    for (const Keyword& k : kDeclarations) {
      if (SameText(std::u16string_view(word).substr(0, k.lexeme.size()), k.lexeme)) {
        Buffer->UnGetChars(word.size() - k.lexeme.size());
        SetKeyword(k.token);
        return;
      }
    }
    Error("Wrong declaration: \"%s\".", u"<!");
  }
  if (c == u'/') {
    SetKeyword(tkElemEtag);
    return;
  }
  if (c == u'?') {
    const std::u16string target = Buffer->GetChars(3);
    if (SameText(target, u"xml")) {
      // "<?xml" followed by a name character begins a PI target such as
      // xml-stylesheet.
      const bool longer = IsNameChar(Buffer->GetChar());
      Buffer->UnGetChars(longer ? 4 : 1);
      SetKeyword(longer ? tkPIStag : tkXMLStag);
      return;
    }
    Buffer->UnGetChars(3);
    SetKeyword(tkPIStag);
    return;
  }
  Buffer->UnGetChar();
  SetKeyword(tkStag);
}

void TLexAnalyzer::SplitCharData() {
  std::u16string& text = NewLexeme();
  // A data character (neither "<" nor a non-character); a CR is read as LF,
  // and GetRun drops an LF after it.
  text.push_back(CurChar == u'\r' ? u'\n' : CurChar);
  const char16_t stop = Buffer->GetRun(
      text, [](char16_t c) { return c == u'<' || IsNonChar(c); }, true);
  if (stop == EOFChar) {
    if (!CharDataToEnd)
      for (char16_t c : text)
        if (!IsWhite(c)) Error("Unexpected end of file.");
  } else if (stop != u'<') {
    IllegalChar(stop);
  }
  SetData(tkCharData, text);
}

void TLexAnalyzer::SplitETag() {
  if (IsElContent) IsCharData = true;
  switch (CurChar) {
    case u'-':
      if (Buffer->GetChar() != u'-' || Buffer->GetChar() != u'>')
        Error("Illegal occurence of : \"--\".");
      SetKeyword(tkComntEtag);
      return;
    case u'/':
      if (Buffer->GetChar() != u'>') Error("Illegal occurence of : \"/\".");
      SetKeyword(tkEmptyEtag);
      return;
    case u'?':
      if (Buffer->GetChar() == u'>') {
        SetKeyword(tkPIEtag);
        return;
      }
      Buffer->UnGetChar();
      SetCharToken(u'?');
      return;
    case u']':
      if (Buffer->GetChar() == u']') {
        if (Buffer->GetChar() != u'>') Error("Illegal occurence of : \"]]\".");
        SetKeyword(tkCDEtag);
        return;
      }
      Buffer->UnGetChar();
      SetCharToken(u']');
      return;
    default:
      SetKeyword(tkEtag);
  }
}

void TLexAnalyzer::SplitPredefined() {
  const char16_t c = Buffer->GetChar();
  static constexpr Keyword kPredefined[] = {{u"FIXED", tkFixed},
                                            {u"IMPLIED", tkImplied},
                                            {u"PCDATA", tkPcdata},
                                            {u"REQUIRED", tkRequired}};
  // What was read, as the errors name it.
  std::u16string read(u"#");
  for (const Keyword& k : kPredefined) {
    if (XMLUpCase(c) != k.lexeme[0]) continue;
    const std::u16string word = c + Buffer->GetChars(k.lexeme.size() - 1);
    if (!SameText(word, k.lexeme)) {
      read += BeforeEnd(word);
      Error("Unsupported keyword: \"%s\".", read);
    }
    SetKeyword(k.token);
    return;
  }
  if (c != EOFChar) read += c;
  Error("Wrong declaration: \"%s\".", read);
}

void TLexAnalyzer::SplitPIData() {
  // The data begins after the blanks that separate it from the target.
  char16_t c = CurChar;
  while (IsWhite(c)) c = Buffer->GetChar();
  Buffer->UnGetChar();
  std::u16string& text = NewLexeme();
  for (;;) {
    const char16_t stop = Buffer->GetRun(
        text, [](char16_t u) { return u == u'?' || IsNonChar(u); }, true);
    if (stop == u'?') {
      Buffer->GetChar();
      if (Buffer->GetChar() == u'>') {
        Buffer->UnGetChars(2);
        break;
      }
      Buffer->UnGetChar();
      text.push_back(u'?');
    } else if (stop == EOFChar) {
      Error("PI does not have a matching end-tag.");
    } else {
      IllegalChar(stop);
    }
  }
  SetData(tkCharData, text);
}

void TLexAnalyzer::SplitLiteral() {
  const char16_t quote = CurChar;
  std::u16string& text = NewLexeme();
  const char16_t stop =
      Buffer->GetRun(text, [quote](char16_t c) { return c == quote || IsNonChar(c); });
  // A literal that is not closed ends with the input.
  if (stop == quote)
    Buffer->GetChar();
  else if (stop != EOFChar)
    IllegalChar(stop);
  SetData(tkLiteral, text);
}

void TLexAnalyzer::SplitName() {
  std::u16string& name = NewLexeme();
  name.push_back(CurChar);
  Buffer->GetRun<false>(name, [](char16_t c) { return !IsNameChar(c); });
  SetData(tkName, name);
}

}  // namespace kal
