#pragma once

// The one-line XML reader (unit UXMxmlUtilities), used when
// recorded EMV files are read back line by line.

#include <string>
#include <string_view>

namespace kal {

// Trims the line; tag := the text from its second character up to, not
// including, the first ">" (empty when there is no ">"). When the line
// contains "</", value := the text between the first ">" and the first "</"
// (empty when they are not in that order); otherwise `value` is left as it was.
void UXMParseXMLLine(std::string_view line, std::string& tag, std::string& value);

}  // namespace kal
