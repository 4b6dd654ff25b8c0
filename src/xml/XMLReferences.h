#pragma once

// Entity and character references: what the normalisers of the document
// model resolve, and the reference nodes that keep a reference the document
// cannot resolve. Declared entities are looked up through TVxDeclarations,
// which the document type implements; a document without one knows only the
// five predefined entities and character references.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "xml/XMLDOM.h"

namespace kal {

// The declarations of a document type as references and attribute
// normalisation see them.
class TVxDeclarations {
 public:
  // The destination type of a reference to name: 'A' parameter entity, 'B'
  // internal general entity, 'C' external parsed general entity, 'D'
  // unparsed entity, 'F' not declared.
  virtual char GetEntityDestType(std::u16string_view name) const = 0;
  // The value of the general entity name as declared (before the base
  // normalisation that the reference applies); false when there is none.
  virtual bool GetEntityValue(std::u16string_view name, std::u16string& value) = 0;
  // The declared type of attribute attr of element elementName, ':' (CDATA)
  // when it is not declared.
  virtual char GetAttrType(std::u16string_view elementName, std::u16string_view attr) const = 0;
  // What the full expansion of the general entity name costs, an upper bound
  // of its length: its value with every reference to a declared entity
  // replaced by that entity's cost plus kEntityReferenceCost, every other
  // reference counted as written. kNoExpandedLength when it cannot be known
  // in advance (the entity is not declared, or its references lead into a
  // cycle, which expanding reports).
  virtual std::size_t GetEntityExpandedLength(std::u16string_view name);

 protected:
  ~TVxDeclarations() = default;
};

inline constexpr std::size_t kNoExpandedLength = static_cast<std::size_t>(-1);

// Each entity reference expanded counts this many units against the parse's
// budget besides its text: expanding a reference is work of its own, so
// many references to short values cannot cost more than their text shows.
inline constexpr std::size_t kEntityReferenceCost = 20;

// What expanding a reference to `units` units of text counts against the
// budget: the text and kEntityReferenceCost (kNoExpandedLength when that
// passes it).
inline constexpr std::size_t ReferenceExpansionCost(std::size_t units) {
  return units > kNoExpandedLength - kEntityReferenceCost ? kNoExpandedLength
                                                          : units + kEntityReferenceCost;
}

// Returned by CharReferenceValue for a body that gives no character.
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// True for the body of a reference: a name, "#" and decimal digits, or "#x"
// (or "#X") and at least one more unit.
bool IsReferenceName(std::u16string_view name);
// The character of "&name;" for "amp", "lt", "gt", "quot" and "apos" (exact
// case), 0 for any other name.
char16_t PredefinedEntity(std::u16string_view name);
// The code point of a character reference body ("#65", "#x41"): decimal, or
// after "x" hexadecimal read by HexStrToInt (so "G" counts 23).
// kNoCharacter when the number is no XML character (NUL and the other C0
// controls but TAB, LF and CR, surrogates, U+FFFE, U+FFFF, above U+10FFFF).
char32_t CharReferenceValue(std::u16string_view name);
// Appends code point c as one or two UTF-16 units.
void AppendCodePoint(std::u16string& out, char32_t c);

// A reference node (type 7): the name without "&" and ";", the value once
// retrieved. It is written back as "&name;".
class TVxCustomReference : public TVxXMLNode {
 public:
  // The destination type follows from the name ("#..." 'E') and the
  // declarations of owner's document type ('F' without).
  TVxCustomReference(std::u16string_view name, TVxXMLDocument* owner);

  char GetDestType() const { return FDestType; }
  // Puts the referenced text into the value; false (value empty) when it
  // cannot be had.
  virtual bool Retrieve() = 0;
  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  char FDestType;
};

class TVxGEntityReference : public TVxCustomReference {
 public:
  using TVxCustomReference::TVxCustomReference;
  // The predefined entities (exact names), else the declared value after the
  // base normalisation. An entity that refers to itself, directly or through
  // others, and expansion nested deeper than kMaxEntityDepth raise
  // EVxXMLParserError; so does text beyond the parser's expansion budget.
  bool Retrieve() override;
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  // The declared replacement text (not the resolved value), with the
  // declared entities it names put in place, parsed as an external parsed
  // entity by the document's parser into a new document (content under the
  // element "_root"); null when the document has no parser or the entity no
  // value.
  std::unique_ptr<TVxXMLDocument> ParseReference() const;

  static constexpr int kMaxEntityDepth = 40;

 private:
  // The text Retrieve counted against the parser's budget for this
  // reference (or an enclosing one did): what ParseReference may rebuild
  // without counting it again.
  std::size_t FCounted = 0;
};

class TVxCharReference : public TVxCustomReference {
 public:
  using TVxCustomReference::TVxCustomReference;
  // The character of the reference (CharReferenceValue) in UTF-16, whatever
  // the document's encoding; false for a number that is no character.
  bool Retrieve() override;
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
};

}  // namespace kal
