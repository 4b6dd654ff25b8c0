#pragma once

// Element values and names between the message layer and the document
// model: values are byte strings holding UTF-8, documents hold UTF-16. A
// value that is not valid UTF-8 comes from an old 8-bit file and is taken as
// Latin-1, as everywhere else in the message layer.

#include <string>
#include <string_view>

namespace kal {

// The UTF-16 form of a value: its UTF-8 decoded (a character above U+FFFF
// becomes a surrogate pair), or each byte as the Latin-1 character of that
// code when the value is not valid UTF-8.
std::u16string UTFToDocumentText(std::string_view value);
void UTFAppendDocumentText(std::string_view value, std::u16string& out);

// Appends the UTF-8 form of document text to out. A surrogate pair becomes
// its 4-byte sequence; a lone surrogate, which no well-formed document
// holds, becomes "_" as in the XML layer's own conversions.
void UTFAppendFromDocumentText(std::u16string_view text, std::string& out);
std::string UTFFromDocumentText(std::u16string_view text);

}  // namespace kal
