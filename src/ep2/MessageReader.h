#pragma once

// The ep2 message reader: parses a received ep2 XML message into a document
// of the XML document model, finds its message element, name and number,
// and reads elements by name, occurrence and format.
//
// A received message is parsed with every external retrieval off: no DTD or
// entity outside the text is read, neither from a local file nor from the
// network. Every lookup hands back the document's own elements, valid while
// the document lives. An element's value is the concatenation of its text
// and CDATA children, as UTF-8.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kal {

class TVxXMLParser;
class TVxXMLDocument;
class TVxXMLElement;
class TCOMChildIndex;

class TCOMEp2InMessage {
 public:
  // Added to the error base when parsing failed.
  static constexpr int32_t COMcErrorParserFailed = 1;
  // Added to a Base64 decoder result of a b or cn value.
  static constexpr int32_t COMcBase64ErrorB = 10;
  static constexpr int32_t COMcBase64ErrorCN = 20;

  // With bWriteBack, a parsed message's text is replaced by the document
  // written back formatted (what the receive road shows); without it the
  // text stays as it was and no writing is done.
  explicit TCOMEp2InMessage(int32_t iErrorBase, bool bWriteBack = false)
      : COMiErrorBase(iErrorBase), COMbWriteBack(bWriteBack) {}

  // From now on children are found through an index of each parent's
  // children by name, made when the parent is first looked in, which tries
  // the child after the one found last first; so looking up every child of
  // a wide element in turn is not quadratic. The index keeps pointers into
  // the documents searched: they must not change while this reader (or a
  // copy) is used.
  void COMIndexChildren();

  // Parses aXMLDocString with aVxXMLParser into aVxXMLDocument (created when
  // empty, else cleared and refilled; it stays linked to the parser). On
  // success the result is 0, aXMLElement the first child element of the
  // document element (null when it has none), sMsgName its tag name and
  // sMsgNum its "msgnum" attribute (both empty without it), and, for a
  // reader made with bWriteBack, aXMLDocString is replaced by the document
  // written in the standard output mode. Any parser or document-model failure gives error base + 1
  // with sErrorMessage "line " + line + ": " + the parser's message (the
  // model's message alone when it has no line); the document then holds
  // what was built before the error.
  [[nodiscard]] int32_t COMParseInMessage(TVxXMLParser& aVxXMLParser,
                                          std::unique_ptr<TVxXMLDocument>& aVxXMLDocument,
                                          std::string& aXMLDocString, std::string& sMsgName,
                                          std::string& sMsgNum, TVxXMLElement*& aXMLElement,
                                          std::string& sErrorMessage) const;

  // The iOccurence-th (from 1) child element of aParent named sName
  // (exactly); with bGetValue its value. When there is none and bFindAny is
  // set, COMFindAnyElement is tried. A null aParent finds nothing. Result 0.
  int32_t COMFindElement(std::string_view sName, const TVxXMLElement* aParent, int iOccurence,
                         bool bGetValue, bool bFindAny, bool& bFound, std::string& sValue,
                         TVxXMLElement*& aXMLElement) const;

  // aParent itself when it is named sName (with an empty value); otherwise
  // the first element named sName below aParent in document order, with its
  // value. Result 0.
  int32_t COMFindAnyElement(std::string_view sName, const TVxXMLElement* aParent,
                            std::string& sValue, bool& bFound, TVxXMLElement*& aXMLElement) const;

  // COMFindElement without the value.
  int32_t COMGetContainer(std::string_view sName, const TVxXMLElement* aParent, int iOccurence,
                          bool bFindAny, bool& bFound, TVxXMLElement*& aXMLElement) const;

  // A format check of ElementFormats.h (CHKCheckFormatA, ...AN, ...ANS, ...N,
  // ...Date, ...ExpDate, ...Time): 0 or its error code.
  using TCOMFormatCheck = int32_t (*)(std::string_view);

  // Find the element with its value; only when it was found, fCheck runs on
  // the value and gives the result. A missing element gives 0 with bFound
  // false. No error base is added. An ans value is returned as the document
  // holds it: the parser has resolved its references once, and it is not
  // unescaped again.
  [[nodiscard]] int32_t COMGetElement(std::string_view sName, const TVxXMLElement* aParent,
                                      int iOccurence, bool bFindAny, TCOMFormatCheck fCheck,
                                      bool& bFound, std::string& sValue,
                                      TVxXMLElement*& aXMLElement) const;
  // With bDecode the Base64 text becomes bytes (decoder result + 10 when it
  // fails); without, the text is returned unchanged.
  [[nodiscard]] int32_t COMGetElementB(std::string_view sName, const TVxXMLElement* aParent,
                                       int iOccurence, bool bDecode, bool bFindAny, bool& bFound,
                                       std::string& sValue, TVxXMLElement*& aXMLElement) const;
  // The Base64 text decoded (decoder result + 20 when it fails) and the
  // bytes expanded to upper-case digits, two per byte, a padding F kept.
  [[nodiscard]] int32_t COMGetElementCN(std::string_view sName, const TVxXMLElement* aParent,
                                        int iOccurence, bool bFindAny, bool& bFound,
                                        std::string& sValue, TVxXMLElement*& aXMLElement) const;

  // The value of an element: its text and CDATA children joined, as UTF-8.
  static std::string COMElementValue(const TVxXMLElement& element);

  int32_t COMGetErrorBase() const { return COMiErrorBase; }

 private:
  int32_t COMiErrorBase;
  bool COMbWriteBack;
  std::shared_ptr<TCOMChildIndex> COMaIndex;  // null: children are scanned
};

}  // namespace kal
