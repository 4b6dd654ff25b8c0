#include "xml/XMLParser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <sstream>

#include "xml/DTDParser.h"
#include "xml/NodeStore.h"
#include "xml/XMLChars.h"
#include "xml/XMLDTD.h"

namespace kal {

namespace {

bool SameText(std::u16string_view a, std::u16string_view b) {
  return XMLCompareText(a, b) == 0;
}

// Nothing but characters up to the blank.
bool IsBlank(std::u16string_view s) {
  for (char16_t c : s)
    if (c > u' ') return false;
  return true;
}

// The tokens after which element content continues with character data.
constexpr bool StartsCharData(int t) {
  return t == tkEtag || t == tkEmptyEtag || t == tkPIEtag || t == tkComntEtag || t == tkCDEtag;
}

std::u16string EncodingName(TEncoding cp) {
  const std::string_view name = cps[static_cast<std::size_t>(cp)];
  return std::u16string(name.begin(), name.end());
}

// A start tag holds this many attributes before the parser looks up repeated
// names in a map instead of the list.
constexpr std::size_t kShortAttributeList = 8;

// Character data of at least this many units moves into its node.
constexpr std::size_t kMoveText = 4096;

// Names the byte scanner reads; longer ones go the long way.
constexpr std::size_t kMaxByteName = 128;

constexpr bool IsByteBlank(unsigned b) {
  return b == ' ' || b == '\t' || b == '\n' || b == '\r';
}
// Bytes that are ASCII name characters (1) and name-start characters (2).
const std::array<std::uint8_t, 256> kByteNames = [] {
  std::array<std::uint8_t, 256> t{};
  for (char16_t b = 0; b < 0x80; ++b)
    t[b] = static_cast<std::uint8_t>((IsNameChar(b) ? 1 : 0) | (IsFirstNameChar(b) ? 2 : 0));
  return t;
}();
bool IsByteNameStart(unsigned char b) {
  return kByteNames[b] & 2;
}
bool IsByteNameChar(unsigned char b) {
  return kByteNames[b] & 1;
}

// The units widened from the UTF-8 bytes [from, to) into out (room for
// to - from units): ASCII and two- and three-byte sequences of characters,
// with CR LF and a lone CR as LF when lineEnds. SIZE_MAX at anything else:
// a character XML does not allow, a NUL, an ill-formed or four-byte
// sequence; the scanner reports, replaces or splits those. last receives the
// last unit as read (a CR stays a CR).
std::size_t WidenUtf8(const unsigned char* from, const unsigned char* to, char16_t* out,
                      bool lineEnds, char16_t& last) {
  char16_t* dst = out;
  char16_t c = 0;
  for (const unsigned char* q = from; q < to;) {
    const unsigned b = *q;
    if (b >= 0x20 && b < 0x80) {
      c = static_cast<char16_t>(b);
      ++q;
    } else if (b == '\t' || b == '\n') {
      c = static_cast<char16_t>(b);
      ++q;
    } else if (b == '\r') {
      c = u'\r';
      ++q;
      if (lineEnds) {
        *dst++ = u'\n';
        if (q < to && *q == '\n') c = *q++;
        continue;
      }
    } else if (b >= 0xC2 && b <= 0xDF) {
      if (to - q < 2 || (q[1] & 0xC0) != 0x80) return SIZE_MAX;
      c = static_cast<char16_t>((b & 0x1F) << 6 | (q[1] & 0x3F));
      q += 2;
    } else if ((b & 0xF0) == 0xE0) {
      if (to - q < 3) return SIZE_MAX;
      const unsigned b1 = q[1], b2 = q[2];
      const unsigned lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
      if (b1 < lo || b1 > hi || (b2 & 0xC0) != 0x80) return SIZE_MAX;
      c = static_cast<char16_t>((b & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
      if (!IsChar(c)) return SIZE_MAX;
      q += 3;
    } else {
      return SIZE_MAX;
    }
    *dst++ = c;
  }
  last = c;
  return static_cast<std::size_t>(dst - out);
}

}  // namespace

std::size_t TVxXMLParser::FoldedHash::operator()(std::u16string_view s) const {
  std::size_t h = 14695981039346656037u;
  for (char16_t c : s) h = (h ^ XMLUpCase(c)) * 1099511628211u;
  return h;
}

// ---------------------------------------------------------------------------
// Parsing a stream

bool TVxXMLParser::Parse(std::istream& stream, std::unique_ptr<TVxXMLDocument>& doc) {
  if (doc) {
    doc->Clear();
  } else {
    doc = std::make_unique<TVxXMLDocument>();
  }
  ParseInto(stream, *doc);
  return FParseDTD ? Validate(doc.get()) : true;
}

bool TVxXMLParser::Validate(TVxXMLDocument* doc) {
  if (!doc) {
    ValidationErrors.clear();
    AddValidationError("[XML]: The document is empty.", nullptr);
    return false;
  }
  doc->AssignParser(this);
  ValidationErrors.clear();
  const std::u16string version = XMLTrim(doc->GetVersion());
  if (version.empty()) {
    AddValidationError("[XML]: The document does not have a proper version declaration.", doc);
    return false;
  }
  if (version != u"1.0") {
    AddValidationError(
        "[XML]: Unsupported version number \"" +
            UnicodeToShort(version, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr) + "\".",
        doc);
    return false;
  }
  TVxXMLNode* docType = doc->GetDocumentType();
  if (!docType) {
    AddValidationError("[XML]: Document type declaration not found.", doc);
    return false;
  }
  docType->Validate();
  if (TVxXMLElement* root = doc->GetDocumentElement()) {
    doc->SetIdList(root->GetAttributesByType(atID));
    root->Validate();
    doc->SetIdList(nullptr);
  }
  return ValidationErrors.empty();
}

// Parses into doc, a new or cleared document.
void TVxXMLParser::ParseInto(std::istream& stream, TVxXMLDocument& doc) {
  doc.AssignParser(this);
  FDoc = &doc;
  FInvalid.Clear();
  if (!budgetOwner_) {
    // The expansion budget follows the input's size (taken as empty for a
    // stream that cannot tell it).
    inputSize_ = 0;
    const std::istream::pos_type start = stream.tellg();
    if (start != std::istream::pos_type(-1) && stream.seekg(0, std::ios::end)) {
      const std::istream::pos_type end = stream.tellg();
      if (end != std::istream::pos_type(-1) && end > start)
        inputSize_ = static_cast<std::size_t>(end - start);
    }
    stream.clear();
    stream.seekg(start);
    expanded_ = expansionNodes_ = external_ = 0;
  }
  lineSource_ = nullptr;
  restUnread_ = false;
  Init(FInvalid);
  // The analyser's objects go on every path; the record of invalid
  // characters is kept for the caller.
  struct Finish {
    TVxXMLParser& p;
    ~Finish() {
      p.Finalize();
      p.FDoc = nullptr;
      p.InvalidChars = p.FInvalid.DataString();
    }
  } finish{*this};
  FirstBuffer->Init(stream);
  ValidationErrors.clear();
  doc.SetInputEncoding(FirstBuffer->IsWide() ? TEncoding::UTF_16 : TEncoding::UTF_8);
  tagAttrs_.clear();
  tagAttrMap_.clear();
  try {
    if (FParserMode == 'e') {
      // An entity's text is content from its first character on, and may
      // end anywhere.
      IsElContent = IsCharData = CharDataToEnd = true;
      SetKeyword(tkEtag);
      LexAn();
      ParseTextDecl();
      Emit(ntElement, u"_root");
      ParseElCont();
      if (CurToken.Token != tkDone) MatchError();
      Stack->Pop();
    } else {
      IsElContent = IsCharData = CharDataToEnd = false;
      LexAn();
      ParseProlog();
      IsElContent = true;
      ParseElement();
      ParseMisc();
      restUnread_ = CurToken.Token != tkDone;
    }
  } catch (const EVxDOMException&) {
    doc.Clear();
    throw;
  }
}

void TVxXMLParser::ParseFragment(std::u16string_view text, TVxXMLDocument& doc) {
  CountExpansionNodes(kFragmentCost);
  TVxXMLParser parser;
  parser.FStandardXML = FStandardXML;
  parser.FFmtOut = FFmtOut;
  parser.FInternet = FInternet;
  parser.FExternal = FExternal;
  parser.FResolver = FResolver;
  parser.FileName = FileName;
  parser.OnFileNotFound = OnFileNotFound;
  parser.budgetOwner_ = &BudgetOwner();
  parser.SetParserMode('e');
  // UTF-16 behind its byte-order mark carries every character of the text,
  // and a text declaration cannot switch it to another encoding.
  std::istringstream in(
      "\xFF\xFE" + UnicodeToShort(text, TEncoding::UTF_16, TByteOrder::boLittleEndian, nullptr));
  doc.Clear();
  try {
    parser.ParseInto(in, doc);
  } catch (...) {
    doc.AssignParser(this);
    throw;
  }
  // The fragment's parser ends here; the document outlives it.
  doc.AssignParser(this);
}

// ---------------------------------------------------------------------------
// Productions

void TVxXMLParser::ParseProlog() {
  ParseXMLDecl();
  ParseMisc();
  ParseDTDStag();
}

void TVxXMLParser::ParseXMLDecl() {
  if (CurToken.Token != tkXMLStag) return;
  Match(tkXMLStag);
  if (!ParseAttribute(u"version")) Error("XML declaration: version declaration required");
  const std::u16string_view version = PrevToken.Lexeme();
  if (XMLTrim(version).empty()) Error("Version declaration: version number required");
  if (version != u"1.0") Error("Version declaration: version \"%s\" is not supported.", version);
  if (FStandardXML) {
    ParseAttribute(u"encoding");
    if (ParseAttribute(u"standalone") && !SameText(PrevToken.Lexeme(), u"yes") &&
        !SameText(PrevToken.Lexeme(), u"no"))
      Error("Standalone declaration: incorrect attribute value");
  } else {
    while (CurToken.Token == tkName && ParseAttribute(CurToken.Lexeme())) {
    }
    // A repeated version replaces the one checked above; it must pass too.
    if (const std::u16string stored = FDoc->GetVersion(); stored != u"1.0")
      Error("Version declaration: version \"%s\" is not supported.", stored);
  }
  Match(tkPIEtag);
}

// Comments and PIs before and after the root element. After it the scanner
// reads element content, so the white space between them comes as
// character data, which is passed over.
void TVxXMLParser::ParseMisc() {
  for (;;) {
    if (CurToken.Token == tkComntStag)
      ParseComment();
    else if (CurToken.Token == tkPIStag)
      ParsePI();
    else if (CurToken.Token == tkCharData && IsBlank(CurToken.Lexeme()))
      Match(tkCharData);
    else
      return;
  }
}

void TVxXMLParser::ParseDTDStag() {
  if (CurToken.Token != tkDTDStag) return;
  Match(tkDTDStag);
  Match(tkName);
  Emit(ntDocumentType, PrevToken.Lexeme());
  if (CurToken.Token == tkName) ParseExternalId(true);
  if (CurToken.Token == '[') {
    MatchString(u"[");
    TAnalyzerState state = GetAnalyzerState();
    TDTDParser declarations;
    try {
      declarations.Parse(state, *FDoc);
    } catch (...) {
      SetAnalyzerState(std::move(state));
      throw;
    }
    SetAnalyzerState(std::move(state));
    MatchString(u"]");
  }
  Emit(ntDocumentType, {});
  Match(tkEtag);
  ParseMisc();
}

void TVxXMLParser::ParseElement() {
  const std::size_t base = Stack->Depth();
  ParseStartTag();
  if (Stack->Depth() == base) return;
  ParseElCont();
  ParseEndTag();
}

void TVxXMLParser::ParseStartTag() {
  Match(tkStag);
  if (CurToken.Token != tkName) MatchError();
  if (Stack->Depth() >= kMaxElementDepth)
    Error("Elements are nested deeper than " + std::to_string(kMaxElementDepth) + " levels.");
  Match(tkName);
  Emit(ntElement, PrevToken.Lexeme());
  tagAttrs_.clear();
  if (!tagAttrMap_.empty()) tagAttrMap_.clear();
  while (CurToken.Token == tkName && ParseAttribute(CurToken.Lexeme())) {
  }
  if (CurToken.Token == tkEmptyEtag) {
    Match(tkEmptyEtag);
    Emit(ntElementEnd, {});
    return;
  }
  if (CurToken.Token != tkEtag) MatchError();
  Match(tkEtag);
}

void TVxXMLParser::ParseEndTag() {
  Match(tkElemEtag);
  // Without StandardXML "</>" closes the open element.
  if (CurToken.Token == tkName || FStandardXML) {
    Match(tkName);
    const std::u16string& start = Stack->GetHead()->GetName();
    if (XMLCompareStr(start, PrevToken.Lexeme()) != 0)
      Error("Start-tag name \"%s\" does not match end-tag name \"%s\"", start, PrevToken.Lexeme());
  }
  Emit(ntElementEnd, {});
  Match(tkEtag);
}

// Content up to the end tag of the element open on entry; the elements
// opened meanwhile are closed here, so nesting costs no recursion.
void TVxXMLParser::ParseElCont() {
  const std::size_t base = Stack->Depth();
  for (;;) {
    switch (CurToken.Token) {
      case tkStag:
        if (!ScanContent(base)) ParseStartTag();
        break;
      case tkPIStag:
        ParsePI();
        break;
      case tkCharData:
        EmitText();
        Match(tkCharData);
        break;
      case tkCDStag:
        ParseCDSec();
        break;
      case tkComntStag:
        ParseComment();
        break;
      default:
        if (Stack->Depth() <= base) return;
        ParseEndTag();
    }
  }
}

void TVxXMLParser::ParseCDSec() {
  Match(tkCDStag);
  if (CurToken.Token != tkCharData) MatchError();
  Emit(ntCData, CurToken.Lexeme());
  Match(tkCharData);
  Match(tkCDEtag);
}

// ---------------------------------------------------------------------------
// Element content from the bytes

bool TVxXMLParser::ScanContent(std::size_t base) {
  const unsigned char* start = nullptr;
  const unsigned char* end = nullptr;
  if (Buffer != FirstBuffer.get() || !EntityInputs.empty() || !Buffer->PeekBytes(start, end))
    return false;
  // The bytes are passed to the buffer (done) before a node is made whose
  // value may raise an error (one holding "&" or "<"), so that the error
  // carries the line the scanner would give, and at the end; read marks the
  // end of the last construct read.
  const unsigned char* done = start;
  const unsigned char* read = start;
  char16_t readLast = 0;
  const auto mark = [&](const unsigned char* to, char16_t last) {
    read = to;
    readLast = last;
  };
  // Passes the bytes up to to, whose last unit is last.
  const auto pass = [&](const unsigned char* to, char16_t last) {
    // Units are the bytes that begin a character; CR LF ends one line.
    // Counted in one loop that reads the byte after each, up to the last
    // byte at hand, which has none. Byte-wide counts over blocks of at most
    // 255 bytes let the loop take 16 or 32 bytes a step.
    std::size_t follow = 0, lines = 0;
    const unsigned char* q = done;
    for (const unsigned char* const stop = to < end ? to : end - 1; q < stop;) {
      const unsigned char* const block = q + std::min<std::ptrdiff_t>(stop - q, 255);
      std::uint8_t f = 0, l = 0;
      for (; q < block; ++q) {
        f += (*q & 0xC0) == 0x80;
        l += (*q == '\n') | ((*q == '\r') & (q[1] != '\n'));
      }
      follow += f;
      lines += l;
    }
    for (; q < to; ++q) {
      follow += (*q & 0xC0) == 0x80;
      lines += *q == '\n' || *q == '\r';
    }
    const auto bytes = static_cast<std::size_t>(to - done);
    Buffer->PassBytes(bytes, bytes - follow, static_cast<int>(lines), last);
    done = to;
  };
  int resume = tkEtag;  // the token the bytes passed end with
  // p stands after a "<"; the "<" itself is passed with the construct.
  for (const unsigned char* p = start; p < end;) {
    const unsigned char* q = p;
    if (*q == '/') {
      // The end tag of the open element, by its name as stored.
      if (Stack->Depth() <= base) break;
      const TVxXMLNode* open = Stack->GetHead();
      const std::u16string& name = open->GetName();
      ++q;
      if (open->GetType() != ntElement || name.empty() ||
          static_cast<std::size_t>(end - q) <= name.size())
        break;
      const char16_t* const units = name.data();
      const std::size_t size = name.size();
      std::size_t i = 0;
      while (i < size && q[i] < 0x80 && q[i] == units[i]) ++i;
      if (i < size || IsByteNameChar(q[i]) || q[i] >= 0x80) break;
      q += i;
      while (q < end && IsByteBlank(*q)) ++q;
      if (q == end || *q != '>') break;
      mark(++q, u'>');
      Emit(ntElementEnd, {});
      resume = tkEtag;
    } else {
      // A start tag, read to its end before any node is made.
      if (Stack->Depth() >= kMaxElementDepth || !IsByteNameStart(*q)) break;
      while (++q < end && IsByteNameChar(*q)) {
      }
      const unsigned char* const nameEnd = q;
      if (q == end || *q >= 0x80 || static_cast<std::size_t>(nameEnd - p) > kMaxByteName) break;
      spans_.clear();
      std::size_t widened = 0;
      bool closed = false, empty = false;
      for (;;) {
        while (q < end && IsByteBlank(*q)) ++q;
        if (q == end) break;
        if (*q == '>') {
          closed = true;
          ++q;
          break;
        }
        if (*q == '/') {
          if (end - q >= 2 && q[1] == '>') closed = empty = true, q += 2;
          break;
        }
        TAttrSpan span{};
        span.name = static_cast<std::uint32_t>(q - p);
        if (!IsByteNameStart(*q)) break;
        while (++q < end && IsByteNameChar(*q)) {
        }
        span.nameEnd = static_cast<std::uint32_t>(q - p);
        if (q == end || *q >= 0x80 || span.nameEnd - span.name > kMaxByteName) break;
        while (q < end && IsByteBlank(*q)) ++q;
        if (q == end || *q != '=') break;
        ++q;
        while (q < end && IsByteBlank(*q)) ++q;
        if (q == end || (*q != '"' && *q != '\'')) break;
        const unsigned char quote = *q++;
        const auto* close = static_cast<const unsigned char*>(
            std::memchr(q, quote, static_cast<std::size_t>(end - q)));
        if (!close) break;
        const auto length = static_cast<std::size_t>(close - q);
        if (wide_.size() < widened + length)
          wide_.resize(std::max(widened + length, 2 * wide_.size()));
        char16_t last = 0;
        const std::size_t units = WidenUtf8(q, close, wide_.data() + widened, false, last);
        if (units == SIZE_MAX) break;
        span.value = static_cast<std::uint32_t>(widened);
        widened += units;
        span.valueEnd = static_cast<std::uint32_t>(widened);
        q = close + 1;
        span.close = static_cast<std::uint32_t>(q - p);
        span.special =
            std::memchr(close - length, '&', length) || std::memchr(close - length, '<', length);
        spans_.push_back(span);
      }
      if (!closed) break;
      // The nodes, each made where the scanner would make it, so that an
      // error carries the same line.
      const std::u16string& tag =
          FDoc->Store().InternAscii(p, static_cast<std::size_t>(nameEnd - p));
      EmitElement(tag, &tag);
      tagAttrs_.clear();
      if (!tagAttrMap_.empty()) tagAttrMap_.clear();
      TVxXMLElement* element = OpenElement();
      for (const TAttrSpan& span : spans_) {
        if (span.special) pass(p + span.close, p[span.close - 1]);
        const std::u16string& name =
            FDoc->Store().InternAscii(p + span.name, span.nameEnd - span.name);
        SetAttribute(*element, name,
                     std::u16string_view(wide_.data() + span.value, span.valueEnd - span.value),
                     &name);
      }
      mark(q, u'>');
      if (empty) Emit(ntElementEnd, {});
      resume = empty ? tkEmptyEtag : tkEtag;
    }
    // Text up to the next "<". What holds nothing but blanks is dropped, as
    // the scanner does between tags.
    const auto* lt =
        static_cast<const unsigned char*>(std::memchr(q, '<', static_cast<std::size_t>(end - q)));
    if (!lt) break;
    const unsigned char* t = q;
    while (t < lt && IsByteBlank(*t)) ++t;
    if (t == lt && lt > q) {
      mark(lt, lt[-1]);  // indentation
    } else if (TVxXMLElement* element = lt > q ? OpenElement() : nullptr;
               element && static_cast<std::size_t>(lt - q) <= TVxXMLNode::kArenaValueMax) {
      // Widened once, into the room its node keeps in the arena; the room
      // for units the UTF-8 sequences took more bytes for is given back.
      const auto length = static_cast<std::size_t>(lt - q);
      TVxNodeStore& store = FDoc->Store();
      const std::size_t room = (length + 3) & ~std::size_t{3};
      auto* chars = static_cast<char16_t*>(store.Allocate(room * sizeof(char16_t)));
      char16_t last = 0;
      const std::size_t units = WidenUtf8(q, lt, chars, true, last);
      if (units == SIZE_MAX) {
        store.Shrink(chars, room * sizeof(char16_t), 0);
        break;
      }
      const std::size_t cap = (units + 3) & ~std::size_t{3};
      store.Shrink(chars, room * sizeof(char16_t), cap * sizeof(char16_t));
      mark(lt, last);
      if (std::memchr(q, '&', length)) {
        pass(lt, last);
        // What normalising leaves blank comes back and is dropped.
        element->SetCharData(TVxXMLText::InArena(*FDoc, chars, units, cap));
      } else {
        // Nothing to normalise, and not blank: the bytes showed a
        // character that is not.
        element->AppendChild(TVxXMLText::InArena(*FDoc, chars, units, cap));
      }
      resume = tkEtag;
    } else if (lt > q) {
      const auto length = static_cast<std::size_t>(lt - q);
      if (wide_.size() < length) wide_.resize(std::max(length, 2 * wide_.size()));
      char16_t last = 0;
      const std::size_t units = WidenUtf8(q, lt, wide_.data(), true, last);
      if (units == SIZE_MAX) break;
      mark(lt, last);
      if (std::memchr(q, '&', length)) pass(lt, last);
      AddText(std::u16string_view(wide_.data(), units));
      resume = tkEtag;
    }
    p = lt + 1;
  }
  if (read == start) return false;
  if (read > done) pass(read, readLast);
  // The scanner goes on as after the last construct read.
  CurToken = Symbols->Keyword(resume);
  IsCharData = true;
  LexAn();
  return true;
}

// ---------------------------------------------------------------------------
// The document scanner

void TVxXMLParser::Match(int t) {
  if (CurToken.Token != t) MatchError();
  LexAn();
}

void TVxXMLParser::LexAn() {
  PrevToken = CurToken;
  for (;;) {
    const char16_t c = CurChar = Buffer->GetChar();
    if (IsPIData) return SplitPIData();
    if (PrevToken.Token == tkCDStag) return SplitCDSec();
    if (PrevToken.Token == tkComntStag) return SplitComment();
    if (!IsCharData && (c == u' ' || c == u'\t' || c == u'\r')) continue;
    if (c == u'<') return SplitSTag();
    if (IsCharData && IsDataChar(c) && StartsCharData(PrevToken.Token)) {
      // Indentation between tags goes without a lexeme when the bytes at
      // hand show that markup follows it.
      if (IsWhite(c) && Stack->Depth() > 0 && Buffer->PassBlanks()) continue;
      SplitCharData();
      // Blank text inside an element (the indentation between tags) is
      // dropped by the parser anyway, so it is passed over here without a
      // token: it can only end at "<" or at the end of the input, and
      // either is read next as if the text had been matched.
      if (Stack->Depth() > 0 && IsBlank(CurToken.Lexeme())) continue;
      return;
    }
    // No name begins with a delimiter, "#" or a quote, so names, the most
    // frequent tokens in markup, are tried first.
    if (IsFirstNameChar(c)) {
      // The name of an end tag is most often the open element's: then the
      // token is that name, read without a lexeme of its own.
      if (PrevToken.Token == tkElemEtag) {
        const TVxXMLNode* open = Stack->GetHead();
        if (open && open->GetType() == ntElement) {
          const std::u16string& name = open->GetName();
          if (!name.empty() && name[0] == c && Buffer->PassName(name, IsNameChar)) {
            CurToken = TSTEntry(tkName, name, -1);
            return;
          }
        }
      }
      return SplitName();
    }
    if (IsRightBracket(c)) return SplitETag();
    if (c == u'#') return SplitPredefined();
    if (c == u'"' || c == u'\'') return SplitLiteral();
    if (c == u'\n') continue;
    if (c == EOFChar) {
      CurToken = TSTEntry(tkDone, u"", -1);
      return;
    }
    if (!IsChar(c)) IllegalChar(c);
    return SetCharToken(c);
  }
}

// ---------------------------------------------------------------------------
// Building the tree

TVxContainer* TVxXMLParser::OpenContainer() const {
  TVxXMLNode* head = Stack->GetHead();
  if (head && head->GetType() == ntElement) return static_cast<TVxXMLElement*>(head);
  return FDoc;
}

TVxXMLElement* TVxXMLParser::OpenElement() const {
  TVxXMLNode* head = Stack->GetHead();
  return head && head->GetType() == ntElement ? static_cast<TVxXMLElement*>(head) : nullptr;
}

void TVxXMLParser::Emit(std::uint8_t nodeType, std::u16string_view value) {
  switch (nodeType) {
    case ntElement:
      return EmitElement(value, nullptr);
    case ntElementEnd:
      Stack->Pop();
      return;
    case ntText: {
      TVxXMLElement* element = OpenElement();
      if (!element || IsBlank(value)) return;
      NodeMade();
      // Linked before it is normalised, so the element owns it from here on;
      // what normalising leaves blank comes back and is dropped.
      element->SetCharData(new (FDoc->Store()) TVxXMLText(value, FDoc, true));
      return;
    }
    case ntCData:
      if (TVxXMLElement* element = OpenElement()) {
        NodeMade();
        auto data = std::make_unique<TVxXMLCData>(value, FDoc);
        element->SetCData(data.get());
        data.release();
      }
      return;
    case ntComment: {
      NodeMade();
      auto comment = std::make_unique<TVxXMLComment>(value, FDoc);
      OpenContainer()->SetComment(comment.get());
      comment.release();
      return;
    }
    case ntDocumentType: {
      if (value.empty()) {
        // The external subset is read after the internal one, so that the
        // internal declarations bind first.
        auto* docType = static_cast<TVxDocumentType*>(Stack->GetHead());
        docType->EndInternalSubset();
        docType->Retrieve();
        Stack->Pop();
        return;
      }
      auto docType = std::make_unique<TVxDocumentType>(value, FDoc);
      docType->SetBase(FileName);
      FDoc->SetDocumentType(docType.get());
      Stack->Push(docType.release());
      return;
    }
    case ntExternSystem:
    case ntExternPublic:
      if (TVxXMLNode* head = Stack->GetHead(); head && head->GetType() == ntDocumentType) {
        auto* docType = static_cast<TVxDocumentType*>(head);
        if (nodeType == ntExternSystem)
          docType->SetSystemLiteral(value);
        else
          docType->SetPublicLiteral(value);
      }
      return;
    default:
      return;
  }
}

// An element opened by its start tag. The scanner read the name as a name
// (the pseudo root's is one too); interned, when given, is the name as the
// document's store holds it.
void TVxXMLParser::EmitElement(std::u16string_view name, const std::u16string* interned) {
  NodeMade();
  auto element = std::unique_ptr<TVxXMLElement>(
      new (FDoc->Store()) TVxXMLElement(name, FDoc, TVxXMLNode::TCheckedName{interned}));
  if (TVxXMLElement* parent = OpenElement())
    parent->AppendChild(element.get());
  else
    FDoc->SetDocumentElement(element.get());
  Stack->Push(element.release());
}

// The character data of the current token as a text node of the open
// element. A long text moves from the scanner's slot into the node; a string
// that holds far more than it needs (room made for the rest of the input)
// gives the rest back. A short one is copied, so that the slot keeps its
// room for the next token instead of growing again from nothing.
void TVxXMLParser::EmitText() {
  if (CurToken.Length < kMoveText) return AddText(CurToken.Lexeme());
  TVxXMLElement* element = OpenElement();
  if (!element || IsBlank(CurToken.Lexeme())) return;
  NodeMade();
  std::u16string text = TakeLexeme();
  if (text.capacity() - text.size() > text.size() / 4 + 8) text.shrink_to_fit();
  element->SetCharData(TVxXMLText::Take(std::move(text), FDoc).release());
}

void TVxXMLParser::AddText(std::u16string_view text) {
  TVxXMLElement* element = OpenElement();
  if (!element || IsBlank(text)) return;
  NodeMade();
  element->SetCharData(new (FDoc->Store()) TVxXMLText(text, FDoc, true));
}

void TVxXMLParser::MEmit(std::uint8_t nodeType, std::u16string_view value1,
                         std::u16string_view value2) {
  if (nodeType == ntAttribute) {
    if (TVxXMLElement* element = OpenElement())
      SetAttribute(*element, value1, value2);
    else if (SameText(value1, u"encoding"))
      DeclareEncoding(value2);
    else
      FDoc->FSetAttribute(value1, value2);
  } else if (nodeType == ntPI) {
    NodeMade();
    auto pi = std::make_unique<TVxXMLPi>(value1, value2, FDoc);
    OpenContainer()->SetPI(pi.get());
    pi.release();
  }
}

// An attribute of the start tag being read; a repeated name keeps the later
// value (its place and first spelling stay).
void TVxXMLParser::SetAttribute(TVxXMLElement& element, std::u16string_view name,
                                std::u16string_view value, const std::u16string* interned) {
  TVxXMLAttr* found = nullptr;
  if (tagAttrMap_.empty()) {
    for (TVxXMLAttr* attr : tagAttrs_)
      if (SameText(attr->GetName(), name)) {
        found = attr;
        break;
      }
  } else if (const auto it = tagAttrMap_.find(name); it != tagAttrMap_.end()) {
    found = it->second;
  }
  if (found) {
    const std::u16string old = found->GetValue();
    found->SetValue(value);
    try {
      found->Normalize();
    } catch (...) {
      found->SetValue(old);
      throw;
    }
    return;
  }
  NodeMade();
  TVxXMLAttr* attr = interned
                         ? element.AppendAttribute(name, value, TVxXMLNode::TCheckedName{interned})
                         : element.AppendAttribute(name, value);
  tagAttrs_.push_back(attr);
  if (!tagAttrMap_.empty()) {
    tagAttrMap_.emplace(attr->GetName(), attr);
  } else if (tagAttrs_.size() > kShortAttributeList) {
    for (TVxXMLAttr* a : tagAttrs_) tagAttrMap_.emplace(a->GetName(), a);
  }
}

// The encoding named by the XML or text declaration. A byte-order mark has
// decided it already: the document then takes the mark's encoding, under
// the declared name when that names the same one.
void TVxXMLParser::DeclareEncoding(std::u16string_view name) {
  if (FirstBuffer->HasByteOrderMark()) {
    const TEncoding bom = FirstBuffer->IsWide() ? TEncoding::UTF_16 : TEncoding::UTF_8;
    FDoc->SetEncoding(StringToEncoding(name) == bom ? std::u16string(name) : EncodingName(bom));
    return;
  }
  FDoc->SetEncoding(name);
  // The bytes after the declaration are read in the declared encoding.
  Buffer->SetEncoding(FDoc->GetEncoding());
}

// ---------------------------------------------------------------------------
// TVxParserContext

void TVxXMLParser::FileNotFound(TVxXMLNode& sender, const std::string& fileName) {
  if (OnFileNotFound) OnFileNotFound(sender, fileName);
}

namespace {

std::size_t SaturatedAdd(std::size_t a, std::size_t b) {
  return b > SIZE_MAX - a ? SIZE_MAX : a + b;
}

std::size_t SaturatedTimes(std::size_t a, std::size_t factor) {
  return a > SIZE_MAX / factor ? SIZE_MAX : a * factor;
}

}  // namespace

std::size_t TVxXMLParser::ExpansionBudget() const {
  const std::size_t cap =
      std::max(kMinExpansionBudget, SaturatedTimes(inputSize_, kExpansionFactor));
  const std::size_t input = SaturatedAdd(inputSize_, external_);
  return std::min(cap, SaturatedAdd(kExpansionFloor, SaturatedTimes(input, kExpansionFactor)));
}

void TVxXMLParser::CountExpansion(std::size_t units) {
  TVxXMLParser& owner = BudgetOwner();
  // Checked before it is counted: the count never passes the budget.
  const std::size_t budget = owner.ExpansionBudget();
  if (units > budget - std::min(budget, owner.expanded_))
    throw EVxXMLParserError::CreateWithFileName(
        "Entity expansion exceeds the limit of " + std::to_string(budget) + " characters.",
        GetFileName(), GetLineNumber());
  owner.expanded_ += units;
}

void TVxXMLParser::CountExternalContent(std::size_t bytes) {
  TVxXMLParser& owner = BudgetOwner();
  owner.external_ = SaturatedAdd(owner.external_, bytes);
  CountExpansion(bytes);
}

void TVxXMLParser::CountExpansionNodes(std::size_t nodes) {
  TVxXMLParser& owner = BudgetOwner();
  const std::size_t bound =
      SaturatedAdd(kExpansionNodeFloor, SaturatedAdd(owner.inputSize_, owner.external_));
  if (nodes > bound - std::min(bound, owner.expansionNodes_))
    throw EVxXMLParserError::CreateWithFileName(
        "Entity expansion exceeds the limit of " + std::to_string(bound) + " nodes.", GetFileName(),
        GetLineNumber());
  owner.expansionNodes_ += nodes;
}

void TVxXMLParser::AddValidationError(const std::string& msg, TVxXMLNode* node) {
  ValidationErrors.push_back({msg, node});
}

}  // namespace kal
