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
// of XML 1.0. Document type declarations are not read: a document that has
// one is refused with an error.

#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
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
  // first). Returns true.
  bool Parse(std::istream& stream, std::unique_ptr<TVxXMLDocument>& doc);

  // 'd' reads a document, 'e' an external parsed entity: content (after an
  // optional text declaration) under the pseudo root element "_root".
  void SetParserMode(char pMode) { FParserMode = pMode; }

  // Strict XML declaration (encoding and standalone only, standalone "yes"
  // or "no") and end tags that always name their element.
  bool StandardXML() const { return FStandardXML; }
  void SetStandardXML(bool on) { FStandardXML = on; }
  void SetFormatedOutput(bool on) { FFmtOut = on; }
  void SetRetrieveInternetURI(bool on) { FInternet = on; }
  // Off: no external DTD or entity is read, neither a local file nor over
  // the network, whatever RetrieveInternetURI says.
  void SetRetrieveExternal(bool on) { FExternal = on; }

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
  int GetLineNumber() const override { return TLexAnalyzer::GetLineNumber(); }
  std::string GetFileName() const override { return FileName; }
  TInvalidChars& InvalidCharRecord() override { return FInvalid; }
  void AddValidationError(const std::string& msg, TVxXMLNode* node) override;
  void ParseFragment(std::u16string_view text, TVxXMLDocument& doc) override;

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
  void DeclareEncoding(std::u16string_view name);
  void SetAttribute(TVxXMLElement& element, std::u16string_view name, std::u16string_view value);
  TVxContainer* OpenContainer() const;
  TVxXMLElement* OpenElement() const;

  bool FStandardXML = false;
  char FParserMode = 'd';
  bool FFmtOut = true;
  bool FInternet = true;
  bool FExternal = true;
  TInvalidChars FInvalid;

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
  std::unordered_map<std::u16string_view, TVxXMLAttr*, FoldedHash, FoldedEqual> tagAttrMap_;
};

}  // namespace kal
