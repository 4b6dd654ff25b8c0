#include "ep2/ReferenceLookup.h"

#include "ep2/MessageReader.h"
#include "ep2/Utf8Text.h"
#include "platform/AtomicFile.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"

namespace kal {

namespace {

constexpr const char* kElseKey = "$ELSE";

bool IsBlank(const std::string& s) {
  return STRTrim(s).empty();
}

}  // namespace

TUERFindElement UERMessageElementFinder(const TCOMEp2InMessage& reader,
                                        const TVxXMLElement* aParent) {
  return [&reader, aParent](const std::string& name, std::string& value) {
    bool found = false;
    TVxXMLElement* element = nullptr;
    reader.COMFindAnyElement(name, aParent, value, found, element);
    return found;
  };
}

int32_t UERGetValuePoolErrorText(const std::string& sValue, const std::string& sFileName,
                                 const TUERFindElement& findElement, std::string& sText) {
  sText.clear();
  std::string raw;
  if (!PLTReadFile(sFileName, raw, kUERMaxFileBytes)) {
    sText = "Reference Lookup File not found: " + sFileName;
    return 1;
  }
  const std::string content = UTFTextAsUTF8(raw);

  std::string defaultText;
  int32_t result = -1;  // not decided yet
  TTextLineReader lines(content);
  std::string line;
  while (result < 0 && lines.ReadLine(line)) {
    std::string rest = line;
    const std::string key = STRTrim(STRGetItem(";", rest));
    const std::string text = STRGetItem(";", rest);
    if (key == kElseKey) {
      defaultText = text;
      continue;
    }
    if (key != sValue) continue;
    sText = text;
    if (IsBlank(text)) {
      result = 0;
      break;
    }
    const std::string condition = STRTrim(STRGetItem(";", rest));
    if (condition.empty()) {
      result = 2;
      break;
    }
    const std::string expected = STRTrim(STRGetItem(";", rest));
    std::string found;
    if (!findElement || !findElement(condition, found)) {
      result = 0;  // the condition element is not in the message
      break;
    }
    if (STRTrim(found) == expected) {
      result = 2;
      break;
    }
    sText.clear();  // the condition does not hold: the match is cancelled
  }
  if (result < 0) {
    sText = defaultText;
    result = IsBlank(sText) ? 0 : 2;
  }
  sText = STRReplaceOccurrences("$VALUE", sValue, sText, true);
  return result;
}

}  // namespace kal
