#pragma once

// The text policy of element values: values are byte strings holding UTF-8.
// Text read from a file that is not valid UTF-8 comes from an old 8-bit file
// and is taken as Latin-1, so such files still load.

#include <string>
#include <string_view>

namespace kal {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). The empty text is valid.
bool UTFIsValidUTF8(std::string_view text);

// Each byte as the Latin-1 character of the same code, encoded as UTF-8.
std::string UTFLatin1ToUTF8(std::string_view text);

// `text` itself when it is valid UTF-8, else its Latin-1 reading as UTF-8.
std::string UTFTextAsUTF8(std::string_view text);

// The number of characters of a valid UTF-8 text (bytes that do not
// continue a sequence); for other text, the number of bytes.
size_t UTFCharacterCount(std::string_view text);

// The last `count` characters of `text`, counted as UTFCharacterCount does;
// the whole text when it has no more than that.
std::string UTFLastCharacters(std::string_view text, size_t count);

}  // namespace kal
