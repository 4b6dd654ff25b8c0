#pragma once

// Reading one element of a parsed message with the getter of its format
// type, as the receive road and the transfer of input values do.

#include <string>

namespace kal {

class TCOMEp2InMessage;
class TVxXMLElement;

// The occurrence-th element `name` under `parent` (with `findAny` anywhere
// below it when not there), read by the getter of `type` ("a", "an",
// "ans", "b", "cn", "date", "expdate", "n", "time", or the container getter
// for "c"); a "b" value comes back as hex text. Another type finds nothing.
// The getter's result: 0, or the format code of a value that fails.
[[nodiscard]] int CEXFindElement(const std::string& name, const std::string& type, int occurrence,
                                 const TVxXMLElement* parent, const TCOMEp2InMessage& reader,
                                 bool findAny, std::string& value, bool& found,
                                 TVxXMLElement*& element);

}  // namespace kal
