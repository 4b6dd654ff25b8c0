#pragma once

// The document parser: reads an XML document from a byte stream into a
// TVxXMLDocument. Documents built by hand are linked to a parser too, for the
// options the writer consults.
//
// The grammar is XML 1.0 with these deliberate differences: the XML
// declaration may carry any attributes after "version" (unless StandardXML),
// "</>" closes the open element (unless StandardXML), an attribute given
// twice keeps the later value, white space is not required between
// attributes, text and markup after the root element and its trailing
// comments and PIs are not read, names follow the first to fourth editions
// of XML 1.0. The internal subset of a document type declaration is read
// before its external subset, so that its declarations bind first.

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xml/LexAnalyzer.h"
#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLStrings.h"

namespace kal {

class TVxXMLAttr;

class TVxXMLParser : public TLexAnalyzer, public TVxParserContext {
 public:
  TVxXMLParser() = default;

  // Reads a document from stream (from its beginning when it can seek). When
  // doc is null a new document is created and handed back in doc; otherwise
  // doc is cleared and refilled. The document is linked to this parser,
  // which must outlive its use. The encoding of the input comes from a
  // byte-order mark (which wins over the declaration), else from the XML
  // declaration, else UTF-8; the document's encoding follows it.
  //
  // Raises EVxXMLParserError on a syntax error (doc keeps what was built up
  // to it) and EVxDOMException when the model refuses a node (doc is cleared
  // first). Returns true, or with ValidateDocument what Validate returns.
  bool Parse(std::istream& stream, std::unique_ptr<TVxXMLDocument>& doc);

  // Checks doc against its document type and puts the findings into
  // ValidationErrors (cleared first); true when there are none. doc (null:
  // the finding that the document is empty) is linked to this parser.
  // Raises nothing.
  bool Validate(TVxXMLDocument* doc);

  // 'd' reads a document, 'e' an external parsed entity: content (after an
  // optional text declaration) under the pseudo root element "_root".
  void SetParserMode(char pMode) { FParserMode = pMode; }

  // Strict XML declaration (encoding and standalone only, standalone "yes"
  // or "no") and end tags that always name their element.
  bool StandardXML() const { return FStandardXML; }
  void SetStandardXML(bool on) { FStandardXML = on; }
  // Every document read is validated after parsing (off by default).
  bool ValidateDocument() const { return FParseDTD; }
  void SetValidateDocument(bool on) { FParseDTD = on; }
  void SetFormatedOutput(bool on) { FFmtOut = on; }
  void SetRetrieveInternetURI(bool on) { FInternet = on; }
  // Off: no external DTD or entity is read, neither a local file nor over
  // the network, whatever RetrieveInternetURI says.
  void SetRetrieveExternal(bool on) { FExternal = on; }
  // The name of the file the next parses read (empty for other streams):
  // reported in errors, and relative system literals are resolved against
  // its folder (or, for a URL, against the URL).
  void SetFileName(const std::string& name) { FileName = name; }
  // Base address ("http://host:port") of the service that resolves public
  // identifiers; empty (the default) leaves them unresolved.
  void SetPublicIdResolver(const std::string& address) { FResolver = address; }

  // Entity replacement text and external content a parse may produce
  // together: at most this many units, or ten times the input's size when
  // that is more.
  static constexpr std::size_t kMinExpansionBudget = 10'000'000;
  // Within that, what entities expand to is bounded by the input (the
  // document's bytes and the external content read): kExpansionFloor units
  // plus kExpansionFactor per byte of input, so that a few hundred bytes
  // cannot make megabytes.
  static constexpr std::size_t kExpansionFloor = 1'000'000;
  static constexpr std::size_t kExpansionFactor = 10;
  // The nodes that the markup in replacement text may make: kExpansionNodeFloor
  // plus one per byte of input. Each parse of such markup counts as
  // kFragmentCost nodes besides the ones it makes: setting up a parse costs
  // about as much as making that many.
  static constexpr std::size_t kExpansionNodeFloor = 100'000;
  static constexpr std::size_t kFragmentCost = 32;
  // The units of replacement text and external content the last parse
  // counted against its budget (never more than the budget): an entity's
  // whole expanded length is counted before it is expanded.
  std::size_t ExpandedCharacters() const { return expanded_; }
  // The nodes the last parse counted for the markup of replacement text.
  std::size_t ExpansionNodes() const { return expansionNodes_; }
  // After a document parse: true when more than blanks followed the root
  // element and its trailing comments and PIs (that rest is not read).
  bool RestUnread() const { return restUnread_; }

  // Called when an external DTD or entity cannot be read (sender, the name
  // last tried).
  std::function<void(TVxXMLNode&, const std::string&)> OnFileNotFound;
  // Findings of the last validation.
  TVxErrorsList ValidationErrors;
  // The characters the last parse replaced by "_" (code units of
  // characters, byte values of undecodable input), each once, in order.
  std::u16string InvalidChars;

  // TVxParserContext
  bool FormatedOutput() const override { return FFmtOut; }
  bool RetrieveInternetURI() const override { return FInternet; }
  bool RetrieveExternal() const override { return FExternal; }
  void FileNotFound(TVxXMLNode& sender, const std::string& fileName) override;
  int GetLineNumber() const override {
    return lineSource_ ? lineSource_->GetLineNumber() : TLexAnalyzer::GetLineNumber();
  }
  std::string GetFileName() const override {
    return lineSource_ ? lineSource_->GetSourceName() : FileName;
  }
  TInvalidChars& InvalidCharRecord() override { return FInvalid; }
  void AddValidationError(const std::string& msg, TVxXMLNode* node) override;
  void ParseFragment(std::u16string_view text, TVxXMLDocument& doc) override;
  void CountExpansion(std::size_t units) override;
  void CountExternalContent(std::size_t bytes) override;
  void CountExpansionNode() override { NodeMade(); }
  std::string PublicIdResolver() const override { return FResolver; }

  // The analyser whose line and input name the errors raised meanwhile carry
  // (a declaration parser reading on behalf of this one; null: this one);
  // returns the previous one.
  const TLexAnalyzer* SetLineSource(const TLexAnalyzer* source) {
    return std::exchange(lineSource_, source);
  }

 protected:
  // The document scanner, and matching that never switches buffers. Final,
  // so that the productions below call them directly.
  void LexAn() final;
  void Match(int t) final;
  void Emit(std::uint8_t nodeType, std::u16string_view value) override;
  void MEmit(std::uint8_t nodeType, std::u16string_view value1,
             std::u16string_view value2) override;

 private:
  void ParseInto(std::istream& stream, TVxXMLDocument& doc);
  void ParseProlog();
  void ParseXMLDecl();
  void ParseMisc();
  void ParseDTDStag();
  void ParseElement();
  // Start tag; an element with content stays open on the stack.
  void ParseStartTag();
  void ParseEndTag();
  void ParseElCont();
  void ParseCDSec();
  void EmitElement(std::u16string_view name, const std::u16string* interned);
  // Element content read straight from the bytes at hand of UTF-8 input, at
  // a start-tag token: start tags with ASCII names and their attributes, end
  // tags of open elements other than the one at depth base, and text up to
  // the next "<". Stops before the first construct it does not take (any
  // other markup, a name that is not ASCII, a character that is replaced or
  // not allowed, the end of the bytes at hand), which the scanner then reads
  // as it would have; the nodes, errors and lines are the same. Returns
  // false with nothing read when not even the first tag is taken; otherwise
  // the next token has been read.
  bool ScanContent(std::size_t base);
  void EmitText();
  void AddText(std::u16string_view text);
  void DeclareEncoding(std::u16string_view name);
  // interned: the name as the document's store holds it, when the caller
  // has it.
  void SetAttribute(TVxXMLElement& element, std::u16string_view name, std::u16string_view value,
                    const std::u16string* interned = nullptr);
  TVxContainer* OpenContainer() const;
  TVxXMLElement* OpenElement() const;

  bool FStandardXML = false;
  bool FParseDTD = false;
  char FParserMode = 'd';
  bool FFmtOut = true;
  bool FInternet = true;
  bool FExternal = true;
  std::string FResolver;
  bool restUnread_ = false;
  TInvalidChars FInvalid;
  const TLexAnalyzer* lineSource_ = nullptr;
  // The bound of replacement text and external content at this point of
  // the parse.
  std::size_t ExpansionBudget() const;
  // A node made by a fragment parser counts against its creator's bound; a
  // node of the document's own text does not.
  void NodeMade() {
    if (budgetOwner_) CountExpansionNodes(1);
  }
  void CountExpansionNodes(std::size_t nodes);
  // The parser whose budget this one spends: its creator's for a fragment
  // parser, else its own.
  TVxXMLParser& BudgetOwner() { return budgetOwner_ ? *budgetOwner_ : *this; }

  // The expansion budget of a parse; a fragment parser spends its creator's.
  std::size_t expanded_ = 0;
  std::size_t expansionNodes_ = 0;
  std::size_t inputSize_ = 0;  // the document's bytes
  std::size_t external_ = 0;   // bytes of external content read
  TVxXMLParser* budgetOwner_ = nullptr;

  // The attributes of the start tag being read, to find a repeated name
  // without searching the element: a list while it is short, then a map.
  struct FoldedHash {
    std::size_t operator()(std::u16string_view s) const;
  };
  struct FoldedEqual {
    bool operator()(std::u16string_view a, std::u16string_view b) const {
      return XMLCompareText(a, b) == 0;
    }
  };
  std::vector<TVxXMLAttr*> tagAttrs_;
  // What ScanContent found of a start tag before it builds it: each
  // attribute's name (bytes from the tag's start), the end of its closing
  // quote, its value in wide_, and whether the value holds "&" or "<".
  struct TAttrSpan {
    std::uint32_t name, nameEnd, close, value, valueEnd;
    bool special;
  };
  std::vector<TAttrSpan> spans_;
  std::u16string wide_;  // text and values widened by ScanContent
  std::unordered_map<std::u16string_view, TVxXMLAttr*, FoldedHash, FoldedEqual> tagAttrMap_;
};

}  // namespace kal
