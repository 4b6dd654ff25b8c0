#include "ep2/MessageBuilder.h"

#include <exception>
#include <ostream>

#include "ep2/DocumentText.h"
#include "ep2/ElementFormats.h"
#include "support/Base64.h"
#include "support/CompressedNumeric.h"
#include "support/StringUnit.h"
#include "xml/NodeStore.h"
#include "xml/XMLDOM.h"

namespace kal {

TCEOEp2MessageElements::TCEOEp2MessageElements(int32_t iErrorBase) : CEOiErrorBase(iErrorBase) {}

TCEOEp2MessageElements::~TCEOEp2MessageElements() = default;

std::u16string_view TCEOEp2MessageElements::Wide(std::string_view s, std::u16string& buffer) {
  buffer.clear();
  UTFAppendDocumentText(s, buffer);
  return buffer;
}

int32_t TCEOEp2MessageElements::Failed(const char* text) {
  CEOsErrorMessage = text;
  return CEOiErrorBase + CEOcException;
}

int32_t TCEOEp2MessageElements::CEOCreateMessage(const std::string& sMsgHeader,
                                                 const std::string& sMsgHeaderAttr,
                                                 const std::string& sMsgHeaderAttrVal,
                                                 const std::string& msgName,
                                                 const std::string& msgNum,
                                                 TVxXMLElement*& aMsgroot) {
  aMsgroot = nullptr;
  CEOsErrorMessage.clear();
  CEOaVxXMLDocument.reset();
  CEOaVxXMLParser.reset();
  try {
    CEOaVxXMLParser.emplace();
    CEOaVxXMLDocument = std::make_unique<TVxXMLDocument>();
    TVxXMLDocument* doc = CEOaVxXMLDocument.get();
    doc->AssignParser(&*CEOaVxXMLParser);
    doc->SetEncoding(u"UTF-8");

    auto rootNode = std::make_unique<TVxXMLElement>(
        UTFToDocumentText(sMsgHeader.empty() ? msgName : sMsgHeader), doc);
    TVxXMLElement* root = doc->SetDocumentElement(rootNode.get());
    rootNode.release();

    std::string names = sMsgHeaderAttr;
    std::string values = sMsgHeaderAttrVal;
    for (;;) {
      const std::string name = STRTrim(STRGetItem(";", names));
      const std::string value = STRTrim(STRGetItem(";", values));
      if (name.empty() || value.empty()) {
        if (name.empty() != value.empty()) return CEOiErrorBase + CEOcHeaderAttributes;
        break;
      }
      root->SetAttribute(UTFToDocumentText(name), UTFToDocumentText(value));
    }

    if (sMsgHeader.empty()) {
      aMsgroot = root;
      return 0;
    }
    auto message = std::make_unique<TVxXMLElement>(UTFToDocumentText(msgName), doc);
    if (!STRTrim(msgNum).empty()) message->SetAttribute(u"msgnum", UTFToDocumentText(msgNum));
    root->AppendChild(message.get());
    aMsgroot = message.release();
    return 0;
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

int32_t TCEOEp2MessageElements::CEOAddChildContainer(std::string_view sTag, TVxXMLElement* aParent,
                                                     TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (!aParent) return Failed("no parent element");
  try {
    TVxXMLDocument* doc = CEOaVxXMLDocument.get();
    auto element = std::unique_ptr<TVxXMLElement>(new (doc->Store())
                                                      TVxXMLElement(Wide(sTag, CEOsWideName), doc));
    aParent->AppendChild(element.get());
    aXMLElement = element.release();
    return 0;
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

int32_t TCEOEp2MessageElements::AddValued(std::string_view sTag, std::string_view value,
                                          TVxXMLElement* aParent, TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (!aParent) return Failed("no parent element");
  try {
    TVxXMLDocument* doc = CEOaVxXMLDocument.get();
    // The message's nodes come from its document's arena.
    auto element = std::unique_ptr<TVxXMLElement>(new (doc->Store())
                                                      TVxXMLElement(Wide(sTag, CEOsWideName), doc));
    // The model keeps text as it is given here; the writer escapes it. So
    // the value, references and markup characters included, reads back
    // unchanged.
    std::unique_ptr<TVxXMLText> text;
    if (!value.empty())
      text.reset(new (doc->Store()) TVxXMLText(Wide(value, CEOsWideValue), doc, true));
    // Linked while it is empty, so the model has no subtree to look for its
    // new parent in; linking the text into a linked element cannot fail.
    aParent->AppendChild(element.get());
    aXMLElement = element.release();
    if (text) aXMLElement->AppendChild(text.release());
    return 0;
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

int32_t TCEOEp2MessageElements::CEOAddElementA(std::string_view sTag, const std::string& sValue,
                                               TVxXMLElement* aParent,
                                               TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatA(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementAN(std::string_view sTag, const std::string& sValue,
                                                TVxXMLElement* aParent,
                                                TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatAN(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementANS(std::string_view sTag, const std::string& sValue,
                                                 TVxXMLElement* aParent,
                                                 TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatANS(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementDate(std::string_view sTag, const std::string& sValue,
                                                  TVxXMLElement* aParent,
                                                  TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatDate(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementExpDate(std::string_view sTag,
                                                     const std::string& sValue,
                                                     TVxXMLElement* aParent,
                                                     TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatExpDate(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementN(std::string_view sTag, const std::string& sValue,
                                               TVxXMLElement* aParent,
                                               TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatN(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementTime(std::string_view sTag, const std::string& sValue,
                                                  TVxXMLElement* aParent,
                                                  TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (const int32_t rc = CHKCheckFormatTime(sValue)) return rc;
  return AddValued(sTag, sValue, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementB(std::string_view sTag, const std::string& sValue,
                                               TVxXMLElement* aParent, bool bEncode,
                                               TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  if (!bEncode) return AddValued(sTag, sValue, aParent, aXMLElement);
  if (TUTBase64().EncodeData(sValue, CEOsCoded)) return kCHKErrorEncodeB;
  return AddValued(sTag, CEOsCoded, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOAddElementCN(std::string_view sTag, const std::string& sValue,
                                                TVxXMLElement* aParent,
                                                TVxXMLElement*& aXMLElement) {
  aXMLElement = nullptr;
  CEOsPacked.clear();
  if (TUTCompressedNumeric(0).UTCCompressNumericString(sValue, CEOsPacked) != 0)
    return kCHKErrorFormatN;
  if (TUTBase64().EncodeData(CEOsPacked, CEOsCoded)) return kCHKErrorEncodeCN;
  return AddValued(sTag, CEOsCoded, aParent, aXMLElement);
}

int32_t TCEOEp2MessageElements::CEOCompleteMessage(std::string& out) {
  out.clear();
  if (!CEOaVxXMLDocument) return Failed("no message created");
  try {
    CEOaVxXMLDocument->WriteMode = TWriteMode::wmStandard;
    CEOaVxXMLDocument->Write(out);
    return 0;
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

int32_t TCEOEp2MessageElements::CEOCompleteMessage(std::ostream& aStream) {
  std::string out;
  const int32_t rc = CEOCompleteMessage(out);
  if (rc == 0) aStream.write(out.data(), static_cast<std::streamsize>(out.size()));
  return rc;
}

std::string TCEOEp2MessageElements::CEOGetErrorMessage() const {
  const std::size_t colon = CEOsErrorMessage.find(':');
  return colon == std::string::npos ? CEOsErrorMessage : CEOsErrorMessage.substr(colon + 1);
}

}  // namespace kal
