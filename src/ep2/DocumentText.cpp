#include "ep2/DocumentText.h"

#include <cstdint>

namespace kal {

namespace {

// Decodes UTF-8 onto out; false (out then holds a partial decoding past its
// old size) at the first ill-formed or truncated sequence.
bool DecodeUTF8(std::string_view s, std::u16string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* const end = p + s.size();
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      out.push_back(b);
      ++p;
      continue;
    }
    std::uint32_t cp;
    std::size_t extra;
    std::uint32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
      cp = b & 0x1F;
      extra = 1;
      min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      cp = b & 0x0F;
      extra = 2;
      min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      cp = b & 0x07;
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) <= extra) return false;
    for (std::size_t i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | cp >> 10));
      out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
    p += extra + 1;
  }
  return true;
}

}  // namespace

void UTFAppendDocumentText(std::string_view value, std::u16string& out) {
  const std::size_t start = out.size();
  out.reserve(start + value.size());
  if (DecodeUTF8(value, out)) return;
  out.resize(start);
  for (char c : value) out.push_back(static_cast<unsigned char>(c));
}

std::u16string UTFToDocumentText(std::string_view value) {
  std::u16string out;
  UTFAppendDocumentText(value, out);
  return out;
}

void UTFAppendFromDocumentText(std::u16string_view text, std::string& out) {
  out.reserve(out.size() + text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0xD800 || c > 0xDFFF) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back('_');
    }
  }
}

std::string UTFFromDocumentText(std::u16string_view text) {
  std::string out;
  UTFAppendFromDocumentText(text, out);
  return out;
}

}  // namespace kal
