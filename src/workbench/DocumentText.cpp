#include "workbench/DocumentText.h"

#include "xml/XMLStrings.h"

namespace kal {

std::u16string CEXToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    size_t length = 0;
    char32_t c = MBToWideChar(utf8, length);
    if (length == 0) length = 1;
    utf8.remove_prefix(length);
    if (c == kInvalidUTF8) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string CEXToUtf8(std::u16string_view utf16) {
  return UnicodeToShort(utf16, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

}  // namespace kal
