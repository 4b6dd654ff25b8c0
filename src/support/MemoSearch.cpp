#include "support/MemoSearch.h"

namespace kal {

namespace {

// Pairs of neighbours where the capital is at the even (or, with `oddUpper`,
// the odd) code point.
char16_t FoldPair(char16_t c, bool oddUpper) {
  const bool odd = (c & 1) != 0;
  return odd == oddUpper ? static_cast<char16_t>(c + 1) : c;
}

}  // namespace

char16_t MSRFoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c == 0x00B5) return 0x03BC;  // micro sign folds to small mu
  if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return static_cast<char16_t>(c + 0x20);
  if (c < 0x0100) return c;
  if (c <= 0x017F) {
    // Latin Extended-A: dotted and dotless i, kra and apostrophe n have no
    // simple folding.
    if (c == 0x0130 || c == 0x0131 || c == 0x0138 || c == 0x0149) return c;
    if (c == 0x0178) return 0x00FF;
    if (c == 0x017F) return u's';
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return FoldPair(c, true);
    return FoldPair(c, false);
  }
  if (c >= 0x0386 && c <= 0x03AB) {
    if (c == 0x0386) return 0x03AC;
    if (c >= 0x0388 && c <= 0x038A) return static_cast<char16_t>(c + 37);
    if (c == 0x038C) return 0x03CC;
    if (c == 0x038E || c == 0x038F) return static_cast<char16_t>(c + 63);
    if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return static_cast<char16_t>(c + 0x20);
    return c;
  }
  if (c == 0x03C2) return 0x03C3;  // final sigma
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
  if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) ||
      (c >= 0x04D0 && c <= 0x052F)) {
    return FoldPair(c, false);
  }
  if (c == 0x04C0) return 0x04CF;
  if (c >= 0x04C1 && c <= 0x04CE) return FoldPair(c, true);
  if (c == 0x212A) return u'k';    // Kelvin sign
  if (c == 0x212B) return 0x00E5;  // Angstrom sign
  return c;
}

std::optional<size_t> FindNextString(std::u16string_view text, size_t from,
                                     std::u16string_view needle) {
  if (needle.empty() || from > text.size() || needle.size() > text.size() - from) {
    return std::nullopt;
  }
  const char16_t first = MSRFoldCase(needle[0]);
  for (size_t pos = from; pos + needle.size() <= text.size(); ++pos) {
    if (MSRFoldCase(text[pos]) != first) continue;
    size_t i = 1;
    while (i < needle.size() && MSRFoldCase(text[pos + i]) == MSRFoldCase(needle[i])) ++i;
    if (i == needle.size()) return pos;
  }
  return std::nullopt;
}

}  // namespace kal
