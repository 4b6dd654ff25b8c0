#include "workbench/ElementLookup.h"

#include "ep2/MessageReader.h"
#include "support/HexUtilities.h"

namespace kal {

int CEXFindElement(const std::string& name, const std::string& type, int occurrence,
                   const TVxXMLElement* parent, const TCOMEp2InMessage& reader, bool findAny,
                   std::string& value, bool& found, TVxXMLElement*& element) {
  value.clear();
  found = false;
  element = nullptr;
  using Getter = int32_t (TCOMEp2InMessage::*)(const std::string&, const TVxXMLElement*, int, bool,
                                               bool&, std::string&, TVxXMLElement*&) const;
  Getter getter = nullptr;
  if (type == "a")
    getter = &TCOMEp2InMessage::COMGetElementA;
  else if (type == "an")
    getter = &TCOMEp2InMessage::COMGetElementAN;
  else if (type == "ans")
    getter = &TCOMEp2InMessage::COMGetElementANS;
  else if (type == "cn")
    getter = &TCOMEp2InMessage::COMGetElementCN;
  else if (type == "date")
    getter = &TCOMEp2InMessage::COMGetElementDate;
  else if (type == "expdate")
    getter = &TCOMEp2InMessage::COMGetElementExpDate;
  else if (type == "n")
    getter = &TCOMEp2InMessage::COMGetElementN;
  else if (type == "time")
    getter = &TCOMEp2InMessage::COMGetElementTime;
  if (getter != nullptr)
    return (reader.*getter)(name, parent, occurrence, findAny, found, value, element);
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
