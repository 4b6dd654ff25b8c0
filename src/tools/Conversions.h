#pragma once

// The work behind the conversion tool windows: hex and Base64, hex and
// integer, BER-TLV items as table rows, and the XML formatter. No Qt, no
// state; every function is safe on any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TEEMEmvElementMap;

// --- Hex and Base64 ---

// The Base64 text of the bytes a hex text holds (read as every hex field
// reads it, UTHHexToString); nothing when encoding fails.
std::optional<std::string> CNVHexToBase64(std::string_view hex);

// The bytes of a Base64 text (characters outside the alphabet and "=" are
// skipped first) as compact upper-case hex; nothing unless the whole text
// decodes.
std::optional<std::string> CNVBase64ToHex(std::string_view base64);

// --- Hex and integer ---

// What a field shows when its partner's text cannot be read.
inline constexpr std::string_view CNVcInvalidValue = "Value is invalid or too large";

// Reads a hex number the way the hex field of "Hex to Integer Conversion"
// is read: any number of leading blanks (" "), then one or more hex digits
// of either case and nothing else (no trailing blank, sign or prefix), any
// number of leading zeros, the value at most FFFFFFFF. Nothing for any
// other text, the empty text included.
std::optional<uint32_t> CNVReadHexNumber(std::string_view text);

// The hex field's text as an unsigned decimal number (0 to 4294967295), or
// CNVcInvalidValue.
std::string CNVHexToIntegerText(std::string_view text);

// The integer field's text read as a signed 32-bit decimal number
// (STRWholeNumber), shown as its 32-bit pattern in upper-case hex without
// leading zeros ("-1" gives "FFFFFFFF", "0" gives "0"), or CNVcInvalidValue.
std::string CNVIntegerToHexText(std::string_view text);

// --- BER-TLV items as rows ---

struct TCNVTlvRow {
  std::string xmlTag;  // the element whose EMV tag this is; empty if none
  std::string tag;     // upper-case hex
  int length = 0;      // in bytes
  std::string value;   // hex as it stood; empty for a data-object list
};

// The ep2 element of the first line of the table whose EMV tag equals
// `tag` exactly; empty when no line has it.
std::string CNVXmlTagOf(const TEEMEmvElementMap& table, std::string_view tag);

// Splits a hex text into items: blanks removed, then tag and length (a
// data-object list) or tag, length and value taken off the front until a
// call fails or fewer than two characters remain. Each item's element is
// looked up in `table` (as CNVXmlTagOf). Linear in the length of the text
// and the size of the table.
std::vector<TCNVTlvRow> CNVSplitTlv(std::string_view hex, bool valuesIncluded,
                                    const TEEMEmvElementMap& table);

// --- XML formatter ---

enum class TCNVXmlFormat {
  Empty,      // nothing but blanks and control characters: nothing done
  Formatted,  // text holds the formatted document
  Failed,     // text holds the message to show
};

struct TCNVXmlResult {
  TCNVXmlFormat status = TCNVXmlFormat::Empty;
  std::string text;
};

// The message shown when the parser gives no text of its own.
inline constexpr std::string_view CNVcXmlNotParsed = "XML document could not be parsed";

// Formats a UTF-8 XML text: anything before the first "<" is dropped,
// control characters go and every end tag and empty-element tag ends a line
// (STRPreformatXML); the result is parsed as an ep2 message by a fresh
// reader and parser (nothing outside the text is read) and written back in
// the standard output mode.
TCNVXmlResult CNVFormatXmlDocument(std::string_view text);

}  // namespace kal
