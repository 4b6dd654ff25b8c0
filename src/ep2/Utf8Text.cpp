#include "ep2/Utf8Text.h"

namespace kal {

namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

bool UTFIsValidUTF8(std::string_view text) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;  // no overlong forms
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;  // no overlong forms
      if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (n - i < len) return false;
    const unsigned char c1 = static_cast<unsigned char>(text[i + 1]);
    if (c1 < lo || c1 > hi) return false;
    for (size_t k = 2; k < len; ++k)
      if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return false;
    i += len;
  }
  return true;
}

std::string UTFLatin1ToUTF8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string UTFTextAsUTF8(std::string_view text) {
  return UTFIsValidUTF8(text) ? std::string(text) : UTFLatin1ToUTF8(text);
}

size_t UTFCharacterCount(std::string_view text) {
  if (!UTFIsValidUTF8(text)) return text.size();
  size_t count = 0;
  for (const char c : text)
    if (!IsContinuation(static_cast<unsigned char>(c))) ++count;
  return count;
}

std::string UTFLastCharacters(std::string_view text, size_t count) {
  if (!UTFIsValidUTF8(text))
    return std::string(text.size() > count ? text.substr(text.size() - count) : text);
  size_t start = text.size();
  size_t taken = 0;
  while (start > 0 && taken < count) {
    --start;
    if (!IsContinuation(static_cast<unsigned char>(text[start]))) ++taken;
  }
  return std::string(text.substr(start));
}

}  // namespace kal
