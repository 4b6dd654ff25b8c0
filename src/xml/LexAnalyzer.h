#pragma once

// The lexical analyser of the XML parsers: tokens and their codes, the symbol
// table, the node stack on which a parser builds the tree, and TLexAnalyzer,
// the base of the recursive-descent parsers. The base owns the input buffer,
// the symbol table, the current and previous token and the stack; it matches
// tokens with the parser's error messages, cuts the special lexemes out of
// the input (the scanner pieces a parser's LexAn is made of) and holds the
// productions the parsers share.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "xml/InputBuffer.h"
#include "xml/XMLStrings.h"

namespace kal {

class TVxXMLNode;
class TVxXMLDocument;

// Token codes. Any other single character is a token whose code is the
// character itself ("=" is 61).
inline constexpr int tkComntStag = 256;   // "<!--"
inline constexpr int tkPIStag = 257;      // "<?"
inline constexpr int tkCDStag = 258;      // "<![CDATA["
inline constexpr int tkXMLStag = 259;     // "<?xml"
inline constexpr int tkDTDStag = 260;     // "<!DOCTYPE"
inline constexpr int tkStag = 261;        // "<"
inline constexpr int tkEtag = 262;        // ">"
inline constexpr int tkEmptyEtag = 263;   // "/>"
inline constexpr int tkElemEtag = 264;    // "</"
inline constexpr int tkElemDecl = 265;    // "<!ELEMENT"
inline constexpr int tkAttrDecl = 266;    // "<!ATTLIST"
inline constexpr int tkIncludeSec = 267;  // "<!["
inline constexpr int tkEntityDecl = 268;  // "<!ENTITY"
inline constexpr int tkComntEtag = 269;   // "-->"
inline constexpr int tkPIEtag = 270;      // "?>"
inline constexpr int tkCDEtag = 271;      // "]]>"
inline constexpr int tkPcdata = 272;      // "#PCDATA"
inline constexpr int tkRequired = 273;    // "#REQUIRED"
inline constexpr int tkImplied = 274;     // "#IMPLIED"
inline constexpr int tkFixed = 275;       // "#FIXED"
inline constexpr int tkNotSTag = 276;     // "<!NOTATION"
inline constexpr int tkName = 300;
inline constexpr int tkLiteral = 302;   // a quoted literal without its quotes
inline constexpr int tkCharData = 303;  // character data, comment, CDATA or PI text
inline constexpr int tkNmtoken = 307;   // a name token that is no name (declarations)
inline constexpr int tkDone = 400;      // end of input
inline constexpr int tkUnknown = 401;   // markup beginning with "<" that is no keyword

// Node-type codes of Emit and MEmit beyond those of the document model.
inline constexpr std::uint8_t ntElementEnd = 15;
inline constexpr std::uint8_t ntExternSystem = 28;  // a system literal
inline constexpr std::uint8_t ntExternPublic = 29;  // a public identifier

// Elements nest at most this deep; the parser raises an error beyond.
inline constexpr std::size_t kMaxElementDepth = 1000;

// One token or symbol: its lexeme, its code and its symbol-table index (-1
// when the lexeme is not in the table). The lexeme is zero-terminated and
// stays valid while its owner keeps it: the symbol table for the whole parse,
// the analyser's lexeme slots until the token after next is read.
struct TSTEntry {
  TSTEntry() = default;
  TSTEntry(int t, std::u16string_view lexeme, int val)
      : LexPtr(lexeme.data()), Length(lexeme.size()), Token(t), Value(val) {}
  void SetValues(int t, std::u16string_view lexeme, int val) { *this = TSTEntry(t, lexeme, val); }
  std::u16string_view Lexeme() const { return {LexPtr, Length}; }

  const char16_t* LexPtr = u"";
  std::size_t Length = 0;
  int Token = 0;
  int Value = -1;
};

// The interned lexemes: PRIME lists, chosen by a hash that ignores ASCII
// case. An index is (position in its list << 8) | list number.
class TSymTab {
 public:
  static constexpr unsigned PRIME = 211;

  // The list of s (up to its first zero unit).
  static unsigned hash(std::u16string_view s);
  // The index of the first entry whose lexeme equals s with ASCII case
  // ignored, -1 when there is none.
  int Lookup(std::u16string_view s) const;
  // Appends an entry for a copy of s with token t (value -1) without looking
  // for an equal lexeme; returns its index.
  int Insert(std::u16string_view s, int t) { return Add(s, t, true); }
  // The same for a lexeme that outlives the table (a keyword's literal): it
  // is not copied.
  int InsertStatic(std::u16string_view s, int t) { return Add(s, t, false); }
  int GetToken(int index) const { return Entry(index).Token; }
  const char16_t* GetLexemPtr(int index) const { return Entry(index).LexPtr; }
  const TSTEntry& Entry(int index) const {
    return hs[static_cast<unsigned>(index) & 0xFF][static_cast<unsigned>(index) >> 8];
  }
  // The token of keyword t (256 ... 276) as first inserted: its lexeme,
  // code and index (an empty token when there is none).
  const TSTEntry& Keyword(int t) const { return keywords_[t - tkComntStag]; }
  // The index SetCharToken found for the ASCII character c, -1 before it
  // looked; forgotten by Truncate.
  int& CharIndex(char16_t c) { return charIndex_[c & 0x7F]; }
  // The number of entries.
  std::size_t Size() const { return log_.size(); }
  // Removes the entries inserted after the first n.
  void Truncate(std::size_t n);

 private:
  int Add(std::u16string_view s, int t, bool copy);

  std::array<std::vector<TSTEntry>, PRIME> hs;
  std::deque<std::u16string> lexemes_;  // the copies; a deque never moves them
  std::array<TSTEntry, tkNotSTag - tkComntStag + 1> keywords_;
  // The list of every entry, in the order inserted, and whether its lexeme
  // is a copy.
  struct Logged {
    unsigned char list;
    bool copied;
  };
  std::vector<Logged> log_;
  std::array<int, 128> charIndex_ = MakeCharIndex();
  static constexpr std::array<int, 128> MakeCharIndex() {
    std::array<int, 128> a{};
    for (int& i : a) i = -1;
    return a;
  }
};

// The open nodes that parsed content is attached to (not owned).
class TXMLStack {
 public:
  void Push(TVxXMLNode* node) { items_.push_back(node); }
  // Removes the top node and returns its name (empty for a null item), which
  // lives as long as the node. Only called when the stack is not empty.
  std::u16string_view Pop();
  TVxXMLNode* GetHead() const { return items_.empty() ? nullptr : items_.back(); }
  std::size_t Depth() const { return items_.size(); }

 private:
  std::vector<TVxXMLNode*> items_;
};

// The two lexeme slots of the analyser's data tokens (names, literals,
// character data). Tokens point into them, so they live on the heap and move
// between analysers with the state.
struct TLexemeSlots {
  std::array<std::u16string, 2> slot;
  int next = 0;
};

// The replacement text of a parameter entity, read in place of its
// reference: the text between two blanks, in UTF-16 behind its byte-order
// mark, so that every character reads back as it is.
struct TEntityInput {
  std::unique_ptr<std::istringstream> stream;
  std::unique_ptr<TInputBuffer> buffer;
  std::u16string name;
};

// What one analyser hands to another that goes on reading the same input
// (the declarations inside a document). Ownership passes with it.
struct TAnalyzerState {
  std::unique_ptr<TInputBuffer> FirstBuffer;
  TInputBuffer* Buffer = nullptr;
  std::unique_ptr<TSymTab> Symbols;
  TSTEntry PrevToken;
  TSTEntry CurToken;
  char16_t CurChar = 0;
  std::unique_ptr<TXMLStack> Stack;
  std::unique_ptr<TLexemeSlots> Lexemes;
  std::string FileName;
  std::vector<TEntityInput> Entities;
  TInvalidChars* InvChars = nullptr;
};

class TLexAnalyzer {
 public:
  TLexAnalyzer() = default;
  // Hands the spare symbol table to the next analyser of this thread.
  virtual ~TLexAnalyzer();
  TLexAnalyzer(const TLexAnalyzer&) = delete;
  TLexAnalyzer& operator=(const TLexAnalyzer&) = delete;

  // Line of the next character of the input (from 1; LF, CR and CR LF end a
  // line), in the replacement text of a parameter entity the line of its
  // reference; 0 when no input is being read.
  int GetLineNumber() const {
    return FirstBuffer ? FirstBuffer->GetLineNumber() : Buffer ? Buffer->GetLineNumber() : 0;
  }
  // The name of the input reported in errors; empty for stream input.
  const std::string& GetSourceName() const { return FileName; }

 protected:
  // Creates the buffer (recording undecodable input in invChars, which must
  // outlive the parse), the symbol table with the keywords, the stack and
  // empty tokens. Finalize frees them, but for the buffer, a symbol table
  // that holds the keywords only and the lexeme slots, which the next Init
  // of this analyser takes up again.
  void Init(TInvalidChars& invChars);
  void Finalize();
  TAnalyzerState GetAnalyzerState();
  void SetAnalyzerState(TAnalyzerState state);

  // Reads the next token and keeps PrevToken as it was.
  void SkipEmpty();
  // Match* read the next token when the current one is the expected one and
  // raise "Unexpected end of file." or "Illegal occurence of ..." otherwise.
  virtual void Match(int t);
  // The current lexeme equals s with ASCII case ignored.
  virtual void MatchString(std::u16string_view s);
  virtual void MatchTokens(int t1, int t2);
  // Reads one token: PrevToken := CurToken, CurToken := the next token.
  virtual void LexAn() = 0;
  // The parser's callbacks that turn a recognised construct into nodes; the
  // first argument is a node-type code.
  virtual void Emit(std::uint8_t nodeType, std::u16string_view value) = 0;
  virtual void MEmit(std::uint8_t nodeType, std::u16string_view value1,
                     std::u16string_view value2) = 0;

  // The productions the parsers share.
  void ParseComment();
  void ParsePI();
  // SYSTEM literal, or PUBLIC literal and an optional literal; with
  // systemRequired (a document type or an entity) the system literal after a
  // public identifier must be there.
  void ParseExternalId(bool systemRequired = false);
  void ParseTextDecl();
  // An attribute when the current token is a name equal to name (ASCII case
  // ignored): name, "=", literal, with MEmit(ntAttribute, name, value) before
  // the token after the literal is read. False, with nothing read, for any
  // other token. Afterwards PrevToken is the literal.
  bool ParseAttribute(std::u16string_view name);

  // A parameter-entity reference "%name;" at the current token: its
  // replacement text is read next, then what follows the reference. A
  // reference to an undeclared entity, to an entity being read already, or
  // nested deeper than TVxGEntityReference::kMaxEntityDepth raises an error.
  void ParseReference();
  // At the end of a replacement text: goes on with the text it was
  // referenced from; false at the end of the input itself.
  bool PopEntity();
  // Expands every parameter-entity reference standing at the current token.
  void ExpandReferences();
  // The matching operations that first expand a parameter-entity reference
  // standing where another token is expected.
  void RMatch(int t);
  void RMatchString(std::u16string_view s);
  // The current token, after expanding references, is t (or equals s with
  // ASCII case ignored).
  bool EqualTokens(int t);
  bool EqualStrings(std::u16string_view s);

  // Raises EVxXMLParserError with the line and file name of the input; "%s"
  // in text is replaced by arg, the second by arg2.
  [[noreturn]] void Error(std::string_view text) const;
  [[noreturn]] void Error(std::string_view text, std::u16string_view arg,
                          std::u16string_view arg2 = {}) const;
  [[noreturn]] void MatchError() const;
  // "Illegal occurence" of a character XML does not allow, named as a
  // character reference.
  [[noreturn]] void IllegalChar(char16_t c) const;

  // Scanner pieces. Each starts at CurChar, reads on from the buffer and sets
  // CurToken.
  void SplitCDSec();
  void SplitComment();
  void SplitSTag();
  void SplitCharData();
  void SplitETag();
  void SplitPredefined();
  void SplitPIData();
  void SplitLiteral();
  void SplitName();
  // CurToken := keyword t, the one-character token c, or the lexeme looked
  // up in the symbol table (interned with code t when absent).
  void SetKeyword(int t);
  void SetCharToken(char16_t c);
  void SetInterned(std::u16string_view lexeme, int t);
  // An empty lexeme slot for the next data token; SetData makes it the
  // current token.
  std::u16string& NewLexeme();
  void SetData(int t, const std::u16string& lexeme) { CurToken.SetValues(t, lexeme, -1); }
  // The current token's lexeme, taken out of its slot without a copy when it
  // is in one; the token is left with an empty lexeme.
  std::u16string TakeLexeme();

  TInputBuffer* Buffer = nullptr;  // the buffer being read
  std::unique_ptr<TInputBuffer> FirstBuffer;
  std::unique_ptr<TSymTab> Symbols;
  TSTEntry PrevToken;
  TSTEntry CurToken;
  char16_t CurChar = 0;  // the character the scanner looked at last
  std::unique_ptr<TXMLStack> Stack;
  std::unique_ptr<TLexemeSlots> Lexemes;
  std::string FileName;            // reported in errors; empty for stream input
  TVxXMLDocument* FDoc = nullptr;  // the document being built (not owned)
  bool IsPIData = false;           // the next token is the data of a PI
  bool IsElContent = false;        // the root element has started
  bool IsCharData = false;         // character data may follow the last delimiter
  // Character data may run to the end of the input (an entity's text);
  // otherwise text there is an error.
  bool CharDataToEnd = false;
  // The parameter entities being read, innermost last.
  std::vector<TEntityInput> EntityInputs;
  TInvalidChars* InvChars = nullptr;  // the record of the parse (not owned)

 private:
  std::u16string attrName_;  // the name ParseAttribute is reading
  struct Spare {
    std::unique_ptr<TInputBuffer> buffer;
    const TInvalidChars* invChars = nullptr;  // the record the buffer writes to
    std::unique_ptr<TSymTab> symbols;
    std::unique_ptr<TLexemeSlots> lexemes;
  } spare_;
};

}  // namespace kal
