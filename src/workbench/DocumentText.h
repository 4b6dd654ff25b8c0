#pragma once

// Conversions between the UTF-8 texts of element values and the UTF-16
// strings of the document model.

#include <string>
#include <string_view>

namespace kal {

// An ill-formed sequence becomes U+FFFD.
std::u16string CEXToUtf16(std::string_view utf8);
// A lone surrogate becomes "_".
std::string CEXToUtf8(std::u16string_view utf16);

}  // namespace kal
