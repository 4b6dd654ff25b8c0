#pragma once

// 16-bit string functions and the conversions between the encodings of
// TEncoding and UTF-16, with the record of characters that a conversion could
// not carry over. Nothing here throws: an unconvertible character becomes "_"
// and is recorded.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/CodePages.h"

namespace kal {

// Growable character buffer in which the normalisers and escapers build their
// results.
class TStringBuffer {
 public:
  explicit TStringBuffer(std::size_t dataSize = 0) { Data.reserve(dataSize); }
  void Cat(char16_t c) { Data.push_back(c); }
  void StrCat(std::u16string_view s) { Data.append(s); }
  // The characters written since creation or the last Clear.
  std::u16string DataString() const { return Data; }
  // Forgets the characters and keeps the capacity.
  void Clear() { Data.clear(); }

 private:
  std::u16string Data;
};

// The characters that one parse or one write replaced by "_": code units for
// characters without a byte in the target encoding, byte values (as the code
// units 0x0000-0x00FF) for input bytes that decode to nothing. Each is held
// once, in the order met. Every parse and every write owns its own record.
class TInvalidChars {
 public:
  // Records w unless it is already there.
  void Add(char16_t w) {
    std::uint64_t& word = seen_[w >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (w & 63);
    if (word & bit) return;
    word |= bit;
    chars_.push_back(w);
  }
  bool InvCharExists(char16_t w) const { return (seen_[w >> 6] >> (w & 63)) & 1; }
  const std::u16string& DataString() const { return chars_; }
  void Clear();

 private:
  std::u16string chars_;
  std::array<std::uint64_t, 1024> seen_{};  // one bit per code unit
};

// The character "_" that stands for anything that could not be converted.
inline constexpr char16_t kReplacementChar = u'_';

constexpr char16_t CharsToWideChar(std::uint8_t hi, std::uint8_t lo) {
  return static_cast<char16_t>(hi << 8 | lo);
}
constexpr std::uint8_t LoChar(char16_t w) {
  return static_cast<std::uint8_t>(w & 0xFF);
}
constexpr std::uint8_t HiChar(char16_t w) {
  return static_cast<std::uint8_t>(w >> 8);
}
constexpr int UOrd(char16_t w) {
  return w;
}

constexpr bool IsHighSurrogate(char16_t w) {
  return w >= 0xD800 && w <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t w) {
  return w >= 0xDC00 && w <= 0xDFFF;
}

// Byte b of a single-byte encoding as a code unit; a byte the table does not
// allow gives "_" and its value is recorded in invChars (when given). An
// encoding without a table reads through the US-ASCII table.
char16_t UChr(std::uint8_t b, TEncoding cp, TInvalidChars* invChars);

// Code unit w as a byte of a single-byte encoding: below 127 its low byte;
// otherwise the first byte 128-255 that the table maps to w; none gives "_"
// and w is recorded in invChars (when given).
std::uint8_t IChr(char16_t w, TEncoding cp, TInvalidChars* invChars);

// The bytes of s in encoding cp (no byte-order mark). UTF-16 puts the high
// byte first for boBigEndian; UTF-8 writes a surrogate pair as one 4-byte
// sequence; single-byte encodings go through IChr. A lone surrogate and a NUL
// unit, which no encoding can carry into a document, become "_" and are
// recorded. n_sup, which has no bytes of its own, is written as UTF-8.
std::string UnicodeToShort(std::u16string_view s, TEncoding cp, TByteOrder byteOrder,
                           TInvalidChars* invChars);

// The UTF-8 form of one character (a code point, so a BMP code unit passes
// as it is). A surrogate or a value above U+10FFFF has no UTF-8 form and
// gives "_".
std::string WideCharToMB(char32_t c);

// Returned by MBToWideChar for an ill-formed sequence.
inline constexpr char32_t kInvalidUTF8 = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at the start of s and sets length to the bytes
// it took. An ill-formed or truncated sequence (overlong forms, encoded
// surrogates and values above U+10FFFF included) gives kInvalidUTF8, and
// length covers the longest prefix that could have begun a well-formed
// sequence (at least one byte), so that decoding resumes after it. An empty s
// gives 0 with length 0.
char32_t MBToWideChar(std::string_view s, std::size_t& length);

// 16-bit string functions. Strings are views; WLength and WStrCopy stop at the
// first zero unit as well.

// Number of code units up to the first zero unit (or the end).
std::size_t WLength(std::u16string_view s);
// +1 when b is shorter than a, -1 when b is longer; strings of equal length
// compare unit by unit (-1, 0 or +1).
int WCompareStr(std::u16string_view a, std::u16string_view b);
// As WCompareStr, but units below 0x100 compare after ASCII upper-casing.
int WCompareText(std::u16string_view a, std::u16string_view b);
// s without blanks, TABs, LFs and CRs at either end.
std::u16string WTrim(std::u16string_view s);
// a-z upper-cased; every other unit unchanged.
constexpr char16_t WUpCase(char16_t w) {
  return (w >= u'a' && w <= u'z') ? w - 32 : w;
}
// dest := src up to its first zero unit.
void WStrCopy(std::u16string& dest, std::u16string_view src);

// The string functions the rest of the XML layer calls.
inline constexpr auto XMLLength = &WLength;
inline constexpr auto XMLCompareStr = &WCompareStr;
inline constexpr auto XMLCompareText = &WCompareText;
inline constexpr auto XMLTrim = &WTrim;
inline constexpr auto XMLOrd = &UOrd;
inline constexpr auto XMLCopy = &WStrCopy;
inline constexpr auto XMLUpCase = &WUpCase;

}  // namespace kal
