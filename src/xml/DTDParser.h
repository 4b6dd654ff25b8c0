#pragma once

// The parsers of markup declarations. TDTDParser reads declarations into the
// document type of a document: the internal subset, going on with the
// document parser's input and state, or an external DTD with an input of its
// own. TContentModelParser reads the content model of one element
// declaration, going on with the DTD parser's state. Both scanners skip white
// space between tokens and read through the replacement text of parameter
// entities referenced where the grammar allows one.

#include <string>

#include "xml/LexAnalyzer.h"
#include "xml/XMLStrings.h"

namespace kal {

class TVxDocumentType;
class TVxXMLDocument;

// Node-type codes of the DTD parsers' Emit and MEmit beyond the model's.
inline constexpr std::uint8_t ntEntityEnd = 19;
inline constexpr std::uint8_t ntElementContentStart = 20;
inline constexpr std::uint8_t ntElementContentEnd = 21;
inline constexpr std::uint8_t ntElementContentDelimiter = 22;
inline constexpr std::uint8_t ntEnumElement = 24;
inline constexpr std::uint8_t ntAttDefType = 25;
inline constexpr std::uint8_t ntAttDefEnd = 26;
inline constexpr std::uint8_t ntEntityValue = 27;
inline constexpr std::uint8_t ntExternNData = 30;

class TDTDParser final : public TLexAnalyzer {
 public:
  // The internal subset of doc: goes on with the document parser's state
  // (its current token the first one after "[") and hands the state back at
  // the first token that begins no declaration. doc has a document type.
  void Parse(TAnalyzerState& state, TVxXMLDocument& doc);
  // The external subset of doc (bytes with an optional text declaration),
  // named fileName. Everything must be declarations, comments, PIs,
  // parameter-entity references and conditional sections. An error raises
  // EVxXMLParserError with the DTD's file name, the document's line and the
  // line within the DTD (ExtLineNumber).
  void ParseExternal(const std::string& bytes, const std::string& fileName, TVxXMLDocument& doc);

 protected:
  void LexAn() override;
  void Emit(std::uint8_t nodeType, std::u16string_view value) override;
  void MEmit(std::uint8_t nodeType, std::u16string_view value1,
             std::u16string_view value2) override;

 private:
  void ParseDTDContent();
  void ParseElDecl();
  void ParseAttrDecl();
  void ParseEnumType();
  void ParseNotationType();
  void ParseDefault();
  void ParseEntityDecl();
  void ParseNotation();
  void ParseConditionalSect();
  void SkipIgnoreSect();
  void SplitNmtoken();
  TVxDocumentType& DocType() const;

  bool external_ = false;
  std::size_t sectionDepth_ = 0;
  TInvalidChars ownInvalid_;  // for a document without parser
};

class TContentModelParser final : public TLexAnalyzer {
 public:
  // Reads one content model with the DTD parser's state (the current token
  // the first one after the element's name) into the element declaration on
  // top of the stack, and hands the state back at the token after it.
  void Parse(TAnalyzerState& state, TVxXMLDocument& doc);

 protected:
  void LexAn() override;
  void Emit(std::uint8_t nodeType, std::u16string_view value) override;
  void MEmit(std::uint8_t nodeType, std::u16string_view value1,
             std::u16string_view value2) override;

 private:
  void ParseContentModel();
  // A group from its "(" (opened: the "(" has been read).
  void ParseCMExp(bool opened);
  void ParseCMSeq();

  std::size_t depth_ = 0;
};

}  // namespace kal
