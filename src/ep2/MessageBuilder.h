#pragma once

// The ep2 message builder: turns a message, given element by element, into a
// document of the XML document model and writes it. Each valued element is
// checked against its format first; a value that fails is not added. The
// document element is either a header element with the message element as
// its only child, or the message element itself.
//
// Element values are byte strings holding UTF-8 (Latin-1 when not valid
// UTF-8); they go into the document unchanged, and the writer escapes what
// markup needs.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/XMLParser.h"

namespace kal {

class TVxXMLDocument;
class TVxXMLElement;

class TCEOEp2MessageElements {
 public:
  // Results are 0, a format code (1-6, 16 for a b value and 26 for a cn
  // value whose Base64 encoding failed; these carry no error base), or:
  static constexpr int32_t CEOcException = 1;         // + error base: the model refused a call
  static constexpr int32_t CEOcHeaderAttributes = 2;  // + error base: names and values do not pair

  explicit TCEOEp2MessageElements(int32_t iErrorBase);
  ~TCEOEp2MessageElements();
  TCEOEp2MessageElements(const TCEOEp2MessageElements&) = delete;
  TCEOEp2MessageElements& operator=(const TCEOEp2MessageElements&) = delete;

  // Starts a new document (the previous one and its parser are freed, so
  // elements handed out before are gone). The document element is named
  // sMsgHeader, or msgName when that is empty, and carries the header
  // attributes: the ";"-separated names and values, each trimmed, taken in
  // pairs until either runs out; when one runs out before the other the
  // result is base + 2 and no message element is made. With a header, the
  // message element msgName is appended to it, with "msgnum" = msgNum when
  // msgNum is not blank. aMsgroot receives the message element (null on
  // failure); the builder owns it.
  [[nodiscard]] int32_t CEOCreateMessage(const std::string& sMsgHeader,
                                         const std::string& sMsgHeaderAttr,
                                         const std::string& sMsgHeaderAttrVal,
                                         const std::string& msgName, const std::string& msgNum,
                                         TVxXMLElement*& aMsgroot);

  // Appends an empty element sTag as the last child of aParent.
  [[nodiscard]] int32_t CEOAddChildContainer(std::string_view sTag, TVxXMLElement* aParent,
                                             TVxXMLElement*& aXMLElement);

  // Each runs its format's check on sValue; a failing check's code is the
  // result and nothing is appended. Otherwise the element sTag holding
  // sValue is appended to aParent and returned in aXMLElement. An empty
  // value gives an element without text.
  [[nodiscard]] int32_t CEOAddElementA(std::string_view sTag, const std::string& sValue,
                                       TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementAN(std::string_view sTag, const std::string& sValue,
                                        TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementANS(std::string_view sTag, const std::string& sValue,
                                         TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementDate(std::string_view sTag, const std::string& sValue,
                                          TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementExpDate(std::string_view sTag, const std::string& sValue,
                                             TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementN(std::string_view sTag, const std::string& sValue,
                                       TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);
  [[nodiscard]] int32_t CEOAddElementTime(std::string_view sTag, const std::string& sValue,
                                          TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);

  // With bEncode, sValue (raw bytes) becomes its Base64 text (16 when the
  // encoding fails); without, sValue is taken as Base64 text unchecked.
  [[nodiscard]] int32_t CEOAddElementB(std::string_view sTag, const std::string& sValue,
                                       TVxXMLElement* aParent, bool bEncode,
                                       TVxXMLElement*& aXMLElement);
  // sValue (hex digits, either case) packed two per byte, an odd count
  // padded with the digit F, then Base64 encoded. 6 for a character that is
  // no hex digit, 26 when the encoding fails.
  [[nodiscard]] int32_t CEOAddElementCN(std::string_view sTag, const std::string& sValue,
                                        TVxXMLElement* aParent, TVxXMLElement*& aXMLElement);

  // Writes the whole document (declaration, UTF-8, standard DTD output
  // mode) to aStream, or in place of out. Base + 1 without a document.
  [[nodiscard]] int32_t CEOCompleteMessage(std::ostream& aStream);
  [[nodiscard]] int32_t CEOCompleteMessage(std::string& out);

  // The text of the last exception caught, from the character after its
  // first ":" on (the whole text when it has none).
  std::string CEOGetErrorMessage() const;
  // The document being built (owned by the builder), or null.
  TVxXMLDocument* CEOGetXMLDocument() const { return CEOaVxXMLDocument.get(); }

 private:
  // Appends the element sTag with the UTF-8 text value to aParent.
  int32_t AddValued(std::string_view sTag, std::string_view value, TVxXMLElement* aParent,
                    TVxXMLElement*& aXMLElement);
  int32_t Failed(const char* text);
  // s in UTF-16, in one of the buffers below.
  static std::u16string_view Wide(std::string_view s, std::u16string& buffer);

  // Declared before the document, which points at it, so that it is freed
  // after the document. Held in place: a parser is large, and a heap block
  // of its size costs more to get than the rest of a small message.
  std::optional<TVxXMLParser> CEOaVxXMLParser;
  std::unique_ptr<TVxXMLDocument> CEOaVxXMLDocument;
  int32_t CEOiErrorBase;
  std::string CEOsErrorMessage;
  // Reused for every name, value and coded value on its way into the
  // document, so that adding an element allocates only what the document
  // keeps.
  std::u16string CEOsWideName;
  std::u16string CEOsWideValue;
  std::string CEOsPacked;
  std::string CEOsCoded;
};

}  // namespace kal
