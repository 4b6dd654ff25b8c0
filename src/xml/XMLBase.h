#pragma once

// What the document model, its references and declarations, the writer and
// the parser share: the two exceptions of the XML layer and the interface
// through which a document consults the parser it is linked to. The parser
// implements the interface; the model only holds a pointer to it, so the model
// can be built before the parser.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kal {

class TInvalidChars;
class TVxXMLNode;
class TVxXMLDocument;

// Misuse of the document model. The message is
// "XML-DOM [" + ErrCodeToString(code) + "]: " + text.
class EVxDOMException : public std::runtime_error {
 public:
  EVxDOMException(std::uint8_t code, std::string_view text);

  std::uint8_t Code() const { return FCode; }

  // "INDEX_SIZE_ERR" (1) ... "INVALID_POINTER_ERR" (12); empty for 0, 11 and
  // codes above 12.
  static std::string_view ErrCodeToString(int code);

 private:
  std::uint8_t FCode;
};

// A syntax or content error found while parsing, normalising or converting.
// Messages are UTF-8.
class EVxXMLParserError : public std::runtime_error {
 public:
  static EVxXMLParserError CreateXMLError(const std::string& msg, int lNumber);
  static EVxXMLParserError CreateWithFileName(const std::string& msg, const std::string& fName,
                                              int lNumber);
  static EVxXMLParserError CreateWithExtFileName(const std::string& msg, const std::string& fName,
                                                 int lNumber, int extLNumber);

  int LineNumber = 0;     // line of the document (from 1), 0 when not known
  int ExtLineNumber = 0;  // line within an external entity or DTD, 0 for the document
  std::string FileName;   // empty for stream input

 private:
  explicit EVxXMLParserError(const std::string& msg) : std::runtime_error(msg) {}
};

// The parser a document is linked to, as the model, its references and the
// writer see it. A document consults it for options, for the position to put
// into the errors it raises, for the record of invalid characters and to parse
// markup found in an entity's value.
class TVxParserContext {
 public:
  virtual ~TVxParserContext() = default;

  // The writer indents child nodes.
  virtual bool FormatedOutput() const = 0;
  // External identifiers may be fetched over HTTP or FTP.
  virtual bool RetrieveInternetURI() const = 0;
  // Any external DTD or entity may be read at all, local files included;
  // off for documents that come from a peer.
  virtual bool RetrieveExternal() const = 0;
  // Tells the parser's owner that an external DTD or entity could not be
  // read; sender is the node that asked, fileName the name last tried.
  virtual void FileNotFound(TVxXMLNode& sender, const std::string& fileName) = 0;

  // Line (from 1) and file name (empty for stream input) of the parse in
  // progress, for the errors that the model raises while it is fed.
  virtual int GetLineNumber() const = 0;
  virtual std::string GetFileName() const = 0;

  // The record of invalid characters of the parse or write in progress. A
  // parse clears it when it starts, and so does a write of the document;
  // afterwards it holds what that parse or write replaced by "_". A fragment
  // parsed through ParseFragment has a record of its own.
  virtual TInvalidChars& InvalidCharRecord() = 0;

  // Records a finding of the validation of a document (node not owned, may be
  // null).
  virtual void AddValidationError(const std::string& msg, TVxXMLNode* node) = 0;

  // Parses text as an external parsed entity (content under a pseudo root
  // element "_root") into doc, an empty document the caller owns, with a new
  // parser of its own. Errors are thrown as EVxXMLParserError or
  // EVxDOMException.
  virtual void ParseFragment(std::u16string_view text, TVxXMLDocument& doc) = 0;

  // Counts units of entity replacement text produced during the parse in
  // progress; raises EVxXMLParserError when they exceed the parse's budget.
  virtual void CountExpansion(std::size_t /*units*/) {}
  // Counts bytes of external content read during the parse in progress:
  // input that widens the budget of replacement text, and is counted against
  // it as well, so that content read again and again stays bounded.
  virtual void CountExternalContent(std::size_t /*bytes*/) {}
  // Counts a node made from entity replacement text (the markup of a
  // fragment parsed through ParseFragment); raises EVxXMLParserError past the
  // parse's bound. Nodes of the document's own text are not counted.
  virtual void CountExpansionNode() {}
  // Base address ("http://host:port") of the service that resolves public
  // identifiers; empty when they are not resolved over the network.
  virtual std::string PublicIdResolver() const { return {}; }
};

}  // namespace kal
