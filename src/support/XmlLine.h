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

// Element text as one line of a recorded file holds it: "&", "<" and ">"
// become "&amp;", "&lt;" and "&gt;"; every other byte stays.
std::string UXMEscapeText(std::string_view text);

// The inverse for text read back: the five predefined entities and
// character references ("&#65;", "&#x41;") of characters XML allows become
// their UTF-8 bytes; an "&" that starts none of them (a file written before
// values were escaped) stays as it stands.
std::string UXMUnescapeText(std::string_view text);

}  // namespace kal
