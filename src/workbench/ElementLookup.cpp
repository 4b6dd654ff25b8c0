#include "workbench/ElementLookup.h"

#include <string_view>

#include "ep2/ElementFormats.h"
#include "ep2/MessageReader.h"
#include "support/HexUtilities.h"

namespace kal {

int CEXFindElement(const std::string& name, const std::string& type, int occurrence,
                   const TVxXMLElement* parent, const TCOMEp2InMessage& reader, bool findAny,
                   std::string& value, bool& found, TVxXMLElement*& element) {
  value.clear();
  found = false;
  element = nullptr;
  // The format check of each checked type.
  static constexpr struct {
    std::string_view type;
    TCOMEp2InMessage::TCOMFormatCheck check;
  } kChecked[] = {
      {"a", CHKCheckFormatA},       {"an", CHKCheckFormatAN},           {"ans", CHKCheckFormatANS},
      {"date", CHKCheckFormatDate}, {"expdate", CHKCheckFormatExpDate}, {"n", CHKCheckFormatN},
      {"time", CHKCheckFormatTime}};
  for (const auto& entry : kChecked) {
    if (type == entry.type)
      return reader.COMGetElement(name, parent, occurrence, findAny, entry.check, found, value,
                                  element);
  }
  if (type == "cn")
    return reader.COMGetElementCN(name, parent, occurrence, findAny, found, value, element);
  if (type == "b") {
    const int rc =
        reader.COMGetElementB(name, parent, occurrence, true, findAny, found, value, element);
    if (rc == 0) value = UTHStringToCompactHex(value);
    return rc;
  }
  if (type == "c") return reader.COMGetContainer(name, parent, occurrence, findAny, found, element);
  return 0;
}

}  // namespace kal
