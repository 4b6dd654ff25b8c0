#include "xml/XMLBase.h"

#include <array>

namespace kal {

namespace {

std::string DOMMessage(std::uint8_t code, std::string_view text) {
  std::string msg = "XML-DOM [";
  msg += EVxDOMException::ErrCodeToString(code);
  msg += "]: ";
  msg += text;
  return msg;
}

}  // namespace

EVxDOMException::EVxDOMException(std::uint8_t code, std::string_view text)
    : std::runtime_error(DOMMessage(code, text)), FCode(code) {}

std::string_view EVxDOMException::ErrCodeToString(int code) {
  static constexpr std::array<std::string_view, 13> kNames = {
      "",
      "INDEX_SIZE_ERR",
      "DOMSTRING_SIZE_ERR",
      "HIERARCHY_REQUEST_ERR",
      "WRONG_DOCUMENT_ERR",
      "INVALID_CHARACTER_ERR",
      "NO_DATA_ALLOWED_ERR",
      "NO_MODIFICATION_ALLOWED_ERR",
      "NOT_FOUND_ERR",
      "NOT_SUPPORTED_ERR",
      "INUSE_ATTRIBUTE_ERR",
      "",
      "INVALID_POINTER_ERR",
  };
  if (code < 0 || code >= static_cast<int>(kNames.size())) return {};
  return kNames[code];
}

EVxXMLParserError EVxXMLParserError::CreateXMLError(const std::string& msg, int lNumber) {
  EVxXMLParserError e(msg);
  e.LineNumber = lNumber;
  return e;
}

EVxXMLParserError EVxXMLParserError::CreateWithFileName(const std::string& msg,
                                                        const std::string& fName, int lNumber) {
  EVxXMLParserError e = CreateXMLError(msg, lNumber);
  e.FileName = fName;
  return e;
}

EVxXMLParserError EVxXMLParserError::CreateWithExtFileName(const std::string& msg,
                                                           const std::string& fName, int lNumber,
                                                           int extLNumber) {
  EVxXMLParserError e = CreateWithFileName(msg, fName, lNumber);
  e.ExtLineNumber = extLNumber;
  return e;
}

}  // namespace kal
