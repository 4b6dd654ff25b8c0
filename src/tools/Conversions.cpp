#include "tools/Conversions.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>

#include "ep2/MessageReader.h"
#include "support/Base64.h"
#include "support/HexUtilities.h"
#include "support/StringUnit.h"
#include "support/TlvUtilities.h"
#include "workbench/EmvElementMap.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {

std::optional<std::string> CNVHexToBase64(std::string_view hex) {
  std::string base64;
  if (TUTBase64().EncodeData(UTHHexToString(hex), base64)) return std::nullopt;
  return base64;
}

std::optional<std::string> CNVBase64ToHex(std::string_view base64) {
  std::string bytes;
  if (TUTBase64().DecodeData(base64, bytes) != TUTBase64::UTBcOk) return std::nullopt;
  return UTHStringToCompactHex(bytes);
}

std::optional<uint32_t> CNVReadHexNumber(std::string_view text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return std::nullopt;  // empty or blanks only
  text.remove_prefix(i);
  if (!UTHIsHexString(text)) return std::nullopt;
  i = 0;
  while (i < text.size() && text[i] == '0') ++i;
  if (text.size() - i > 8) return std::nullopt;
  uint32_t value = 0;
  for (; i < text.size(); ++i)
    value = (value << 4) | static_cast<uint32_t>(UTHHexCharToInt(text[i]));
  return value;
}

std::string CNVHexToIntegerText(std::string_view text) {
  const std::optional<uint32_t> value = CNVReadHexNumber(text);
  return value ? std::to_string(*value) : std::string(CNVcInvalidValue);
}

std::string CNVIntegerToHexText(std::string_view text) {
  int32_t number = 0;
  if (!STRWholeNumber(text, number)) return std::string(CNVcInvalidValue);
  uint32_t pattern = static_cast<uint32_t>(number);
  std::string hex;
  do {
    hex.insert(hex.begin(), UTHIntToHexChar(static_cast<int>(pattern & 15)));
    pattern >>= 4;
  } while (pattern != 0);
  return hex;
}

std::string CNVXmlTagOf(const TEEMEmvElementMap& table, std::string_view tag) {
  for (const TEEMEntry& entry : table.Entries())
    if (entry.tag == tag) return entry.name;
  return {};
}

std::vector<TCNVTlvRow> CNVSplitTlv(std::string_view hex, bool valuesIncluded,
                                    const TEEMEmvElementMap& table) {
  // The element of each tag, the first line's winning, looked up once.
  std::unordered_map<std::string_view, std::string_view> elements;
  for (const TEEMEntry& entry : table.Entries()) elements.try_emplace(entry.tag, entry.name);
  std::vector<TCNVTlvRow> rows;
  const std::string compact = STRRemoveBlanks(hex);
  std::string_view data = compact;
  while (data.size() >= 2) {
    TCNVTlvRow row;
    const int result = valuesIncluded ? UTLGetTagLengthValue(data, row.tag, row.length, row.value)
                                      : UTLGetTagLength(data, row.tag, row.length);
    if (result != UTLcOk) break;
    if (const auto found = elements.find(row.tag); found != elements.end())
      row.xmlTag = found->second;
    rows.push_back(std::move(row));
  }
  return rows;
}

namespace {

bool NameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool NameChar(unsigned char c) {
  return NameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The length of the reference at the start of `text` ("&name;", "&#n;",
// "&#xh;"); 0 when the "&" starts none.
size_t ReferenceLength(std::string_view text) {
  size_t i = 1;
  if (i < text.size() && text[i] == '#') {
    const bool hex = ++i < text.size() && text[i] == 'x';
    if (hex) ++i;
    const size_t digits = i;
    while (i < text.size() && (hex ? UTHIsHexChar(text[i]) : (text[i] >= '0' && text[i] <= '9')))
      ++i;
    if (i == digits) return 0;
  } else {
    if (i >= text.size() || !NameStart(static_cast<unsigned char>(text[i]))) return 0;
    while (i < text.size() && NameChar(static_cast<unsigned char>(text[i]))) ++i;
  }
  return i < text.size() && text[i] == ';' ? i + 1 : 0;
}

// The position of the first "&" outside comments, CDATA sections and
// processing instructions that starts no reference; npos when there is
// none. The parser reads such an "&" up to the next ";" as a reference of
// that name and keeps it, where a document holding it is not well-formed.
size_t BareAmpersand(std::string_view text) {
  constexpr std::pair<std::string_view, std::string_view> kSkipped[] = {
      {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  size_t i = 0;
  while ((i = text.find_first_of("<&", i)) != std::string_view::npos) {
    if (text[i] == '&') {
      const size_t length = ReferenceLength(text.substr(i));
      if (length == 0) return i;
      i += length;
      continue;
    }
    size_t next = i + 1;
    for (const auto& [open, close] : kSkipped) {
      if (text.substr(i, open.size()) != open) continue;
      const size_t end = text.find(close, i + open.size());
      next = end == std::string_view::npos ? text.size() : end + close.size();
      break;
    }
    i = next;
  }
  return std::string_view::npos;
}

}  // namespace

TCNVXmlResult CNVFormatXmlDocument(std::string_view text) {
  // Whatever stands before the first "<" (a log prefix, a byte order mark)
  // is no part of the document.
  const size_t open = text.find('<');
  if (open != std::string_view::npos) text.remove_prefix(open);
  std::string document = STRPreformatXML(text);
  TCNVXmlResult result;
  if (STRTrim(document).empty()) return result;

  // The reader's error base only sets the code, which the window does not
  // show.
  const TCOMEp2InMessage reader(0, true);
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> parsed;
  std::string name, number, message;
  TVxXMLElement* element = nullptr;
  // The parser keeps a bare "&" and stops reading after the root element;
  // a formatted memo would lose what follows the root, so both are refused.
  result.status = TCNVXmlFormat::Failed;
  if (const size_t bare = BareAmpersand(document); bare != std::string_view::npos) {
    const auto line = std::count(document.begin(), document.begin() + bare, '\n') + 1;
    result.text = "line " + std::to_string(line) + ": \"&\" starts no reference.";
    return result;
  }
  if (reader.COMParseInMessage(parser, parsed, document, name, number, element, message) != 0) {
    result.text = message.empty() ? std::string(CNVcXmlNotParsed) : message;
  } else if (parser.RestUnread()) {
    result.text = std::string(CNVcXmlNotParsed) + ": text or markup follows the root element.";
  } else {
    result.status = TCNVXmlFormat::Formatted;
    result.text = std::move(document);
  }
  return result;
}

}  // namespace kal
