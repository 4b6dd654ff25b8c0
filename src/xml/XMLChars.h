#pragma once

// XML character classes, name and token checks, the escaping of the five
// special characters into references, and the hexadecimal converter. All of
// them work on single UTF-16 code units: characters above U+FFFF reach them as
// two surrogate units.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

namespace xmlchars {
// Bits of kCharClasses.
inline constexpr std::uint8_t kLetter = 1;     // BaseChar or Ideographic (XML 1.0 Appendix B)
inline constexpr std::uint8_t kDigit = 2;      // Digit (Appendix B)
inline constexpr std::uint8_t kNameStart = 4;  // Letter, "_" or ":"
inline constexpr std::uint8_t kNameChar = 8;   // NameChar: adds digits, ".", "-", combining
                                               // characters and extenders
// The classes of every BMP code unit.
extern const std::array<std::uint8_t, 0x10000> kCharClasses;
}  // namespace xmlchars

// TAB, LF, CR, 0x20-0xFFFD without 0xFFFE and 0xFFFF. Surrogate units count
// as characters: a pair is a character above U+FFFF, and the input side never
// delivers a lone surrogate.
constexpr bool IsChar(char16_t c) {
  return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xFFFD);
}
inline bool IsLetter(char16_t c) {
  return xmlchars::kCharClasses[c] & xmlchars::kLetter;
}
inline bool IsDigit(char16_t c) {
  return xmlchars::kCharClasses[c] & xmlchars::kDigit;
}
constexpr bool IsWhite(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}
inline bool IsFirstNameChar(char16_t c) {
  return xmlchars::kCharClasses[c] & xmlchars::kNameStart;
}
inline bool IsNameChar(char16_t c) {
  return xmlchars::kCharClasses[c] & xmlchars::kNameChar;
}
// The characters that can begin a closing delimiter.
constexpr bool IsRightBracket(char16_t c) {
  return c == u'-' || c == u'?' || c == u']' || c == u'/' || c == u'>';
}
constexpr bool IsDataChar(char16_t c) {
  return IsChar(c) && c != u'<';
}
constexpr bool IsSpecial(char16_t c) {
  return c == u'<' || c == u'>' || c == u'&' || c == u'\'' || c == u'"';
}

// Name: not empty, a name-start character, then name characters.
bool IsValidName(std::u16string_view s);
// Nmtoken: not empty, name characters only.
bool IsValidToken(std::u16string_view s);
// Trims s (XMLTrim), splits it at blanks (runs of blanks give no empty
// pieces) and checks every piece; true when all pass. When list is given,
// every piece is appended to it, valid or not; a string that trims to nothing
// gives false and appends one empty piece.
bool AreValidNames(std::u16string_view s, std::vector<std::u16string>* list = nullptr);
bool AreValidTokens(std::u16string_view s, std::vector<std::u16string>* list = nullptr);
// A processing-instruction target: a name other than "xml" in any ASCII case.
bool IsValidPIData(std::u16string_view s);

// "&lt;", "&gt;", "&amp;", "&quot;" or "&apos;" for the five special
// characters, empty for any other unit.
std::u16string_view EscapeReference(char16_t c);
// From index start: the index of the first ";" met before any "&", or npos
// when an "&" or the end comes first.
std::size_t EndPos(std::u16string_view s, std::size_t start);
// Copy of s with each c replaced by its reference. Every occurrence is
// replaced, also an "&" that looks like the start of a reference: text that
// turns its references back into characters (the normalisers of the document
// model) then gives exactly s.
std::u16string CharToReference(std::u16string_view s, char16_t c);
// The same for all five special characters at once.
std::u16string CharsToReference(std::u16string_view s);
// n blanks (none for n <= 0).
std::u16string LeadWhite(int n);

// Hexadecimal value of s. "A"-"F" and "a"-"f" count 10-15, any other unit its
// code minus 48 (so "G" counts 23); the empty string gives 0. A value outside
// the 32-bit range saturates at INT32_MIN or INT32_MAX instead of wrapping,
// so that a long string never aliases a small number.
std::int32_t HexStrToInt(std::u16string_view s);

}  // namespace kal
