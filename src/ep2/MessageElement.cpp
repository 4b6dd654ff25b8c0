#include "ep2/MessageElement.h"

#include <algorithm>
#include <limits>

#include "ep2/ElementFormats.h"
#include "ep2/Utf8Text.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"

namespace kal {

namespace {

constexpr size_t kTreeValueChars = 128;

bool HasLineBreak(std::string_view s) {
  for (const char c : s)
    if (c == '\r' || c == '\n') return true;
  return false;
}

// A decimal 32-bit number with an optional sign; blanks around it are allowed.
bool ParseDecimal(std::string_view line, int32_t& value) {
  const std::string s = STRTrim(line);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

bool UAXRecordHasTLVTag(std::string_view version) {
  if (version.empty()) return true;
  const size_t dot = version.find('.');
  if (dot != std::string_view::npos && dot + 1 >= 3) return true;
  return static_cast<unsigned char>(version[0]) >= static_cast<unsigned char>('2');
}

TUAXxmlElement::TUAXxmlElement(std::string sName, std::string sValue, std::string sType,
                               std::string sAttributes, std::string sTLVTag, int32_t iParentID)
    : UAXsName(std::move(sName)),
      UAXsValue(std::move(sValue)),
      UAXsType(std::move(sType)),
      UAXsAttributes(std::move(sAttributes)),
      UAXsTLVTag(std::move(sTLVTag)),
      UAXiParentID(iParentID) {}

std::string TUAXxmlElement::GetTreeString() const {
  std::string text;
  text.reserve(2 * UAXsName.size() + std::min<size_t>(UAXsValue.size(), 4 * kTreeValueChars) +
               UAXsType.size() + UAXsAttributes.size() + UAXsTLVTag.size() + 16);
  text.append("<").append(UAXsName).append(">");
  // No more bytes than the limit means no more characters either.
  if (UAXsValue.size() <= kTreeValueChars || UTFCharacterCount(UAXsValue) <= kTreeValueChars)
    text.append(UAXsValue);
  else
    text.append("...").append(UTFLastCharacters(UAXsValue, kTreeValueChars));
  if (UAXsType != kCHKContainerType)
    text.append("</").append(UAXsName).append(">: ").append(UAXsType);
  if (!UAXsAttributes.empty()) text.append(", ").append(UAXsAttributes);
  if (!UAXsTLVTag.empty()) text.append(", ").append(UAXsTLVTag);
  return text;
}

std::string TUAXxmlElement::GetTreeShortString() const {
  std::string text = "<" + UAXsName + ">";
  if (UAXsType != kCHKContainerType) text += ": " + UAXsType;
  if (!UAXsAttributes.empty()) text += ", " + UAXsAttributes;
  if (!UAXsTLVTag.empty()) text += ", " + UAXsTLVTag;
  return text;
}

std::unique_ptr<TUAXxmlElement> TUAXxmlElement::CreateCopy() const {
  auto copy = std::make_unique<TUAXxmlElement>(UAXsName, UAXsValue, UAXsType, UAXsAttributes,
                                               UAXsTLVTag, UAXiParentID);
  copy->UAXiID = UAXiID;
  copy->UAXsActValue = UAXsActValue;
  return copy;
}

bool TUAXxmlElement::SameRecord(const TUAXxmlElement& other) const {
  return UAXiID == other.UAXiID && UAXiParentID == other.UAXiParentID &&
         UAXsValue == other.UAXsValue && UAXsName == other.UAXsName && UAXsType == other.UAXsType &&
         UAXsAttributes == other.UAXsAttributes && UAXsTLVTag == other.UAXsTLVTag;
}

void TUAXxmlElement::AssignRead(const TUAXxmlElement& read) {
  UAXsName = read.UAXsName;
  UAXsValue = read.UAXsValue;
  UAXsActValue.clear();
  UAXsType = read.UAXsType;
  UAXsAttributes = read.UAXsAttributes;
  UAXsTLVTag = read.UAXsTLVTag;
  UAXiID = read.UAXiID;
  UAXiParentID = read.UAXiParentID;
  UAXiOldID = read.UAXiOldID;
  UAXaVxXMLElement = nullptr;
  UAXbUseActValue = false;
}

int32_t TUAXxmlElement::SaveToFile(TTextLineWriter& file, std::string& errorText) const {
  errorText.clear();
  const struct {
    const std::string* field;
    const char* what;
  } fields[] = {{&UAXsName, "name"},
                {&UAXsValue, "value"},
                {&UAXsType, "type"},
                {&UAXsAttributes, "attributes"},
                {&UAXsTLVTag, "TLV tag"}};
  for (const auto& f : fields) {
    if (!HasLineBreak(*f.field)) continue;
    // The name goes into a one-line message, so its own line breaks become blanks.
    std::string shownName = UAXsName;
    for (char& c : shownName)
      if (c == '\r' || c == '\n') c = ' ';
    errorText = "Element " + shownName + " cannot be saved: line break in its " + f.what;
    return kUAXRecordLineBreak;
  }
  file.WriteLine(UAXsName);
  file.WriteLine(UAXsValue);
  file.WriteLine(UAXsType);
  file.WriteLine(UAXsAttributes);
  file.WriteLine(UAXsTLVTag);
  file.WriteLine(std::to_string(UAXiParentID));
  file.WriteLine(std::to_string(UAXiID));
  return 0;
}

int32_t TUAXxmlElement::LoadFromFile(std::string_view sVersion, TTextLineReader& file) {
  std::string name, value, type, attributes, tlvTag, line;
  int32_t parentID = 0, id = 0;
  const auto readText = [&file](std::string& out) {
    if (!file.ReadLine(out)) return false;
    if (!UTFIsValidUTF8(out)) out = UTFLatin1ToUTF8(out);
    return true;
  };
  if (!readText(name) || !readText(value) || !readText(type) || !readText(attributes))
    return kUAXRecordEndOfFile;
  if (UAXRecordHasTLVTag(sVersion) && !readText(tlvTag)) return kUAXRecordEndOfFile;
  if (!file.ReadLine(line)) return kUAXRecordEndOfFile;
  if (!ParseDecimal(line, parentID)) return kUAXRecordBadNumber;
  if (!file.ReadLine(line)) return kUAXRecordEndOfFile;
  if (!ParseDecimal(line, id)) return kUAXRecordBadNumber;
  UAXsName = std::move(name);
  UAXsValue = std::move(value);
  UAXsType = std::move(type);
  UAXsAttributes = std::move(attributes);
  UAXsTLVTag = std::move(tlvTag);
  UAXiParentID = parentID;
  UAXiID = id;
  UAXsActValue.clear();
  return 0;
}

void TUAXxmlElement::RemoveAttribute(char c) {
  std::erase(UAXsAttributes, c);
}

}  // namespace kal
