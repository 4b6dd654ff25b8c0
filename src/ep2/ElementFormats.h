#pragma once

// Element value formats: the checks of each format type with their result
// codes, and the escaping of the XML reserved characters. Strings are byte
// strings; a character is one byte. Every routine is free of state and safe
// to call from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// Results of the format checks (0 is success). They carry no error base; the
// error-code table gives their texts.
inline constexpr int32_t kCHKErrorFormatA = 1;
inline constexpr int32_t kCHKErrorFormatAN = 2;
inline constexpr int32_t kCHKErrorFormatANS = 3;
inline constexpr int32_t kCHKErrorFormatDate = 4;  // date and expiration date
inline constexpr int32_t kCHKErrorFormatTime = 5;
inline constexpr int32_t kCHKErrorFormatN = 6;  // also a cn value with a non-hex digit
// Base64 encoding of a b or cn value failed while a message was built.
inline constexpr int32_t kCHKErrorEncodeB = 16;
inline constexpr int32_t kCHKErrorEncodeCN = 26;

// A format type (an element's type text) and the text the element dialog
// lists for it. The container type "c" has no entry.
struct TCHKFormatType {
  const char* type;
  const char* listText;
};
inline constexpr TCHKFormatType kCHKFormatTypes[] = {
    {"a", "Alphabetic character"},
    {"an", "Alphanumeric character"},
    {"ans", "Printable ASCII"},
    {"b", "Binary (HEX)"},
    {"cn", "Compressed numeric (ASCII)"},
    {"date", "Date YYYYMMDD"},
    {"expdate", "Expiration date YYMMDD"},
    {"n", "Numeric"},
    {"time", "Time HHMMSS"},
};
inline constexpr const char* kCHKContainerType = "c";

// 1 when a character lies outside A-Z and a-z.
[[nodiscard]] int32_t CHKCheckFormatA(std::string_view s);
// 2 when a character lies outside 0-9, A-Z and a-z.
[[nodiscard]] int32_t CHKCheckFormatAN(std::string_view s);
// 3 when a character has a code below 32 other than CR, LF and backspace;
// codes 32 to 255 all pass.
[[nodiscard]] int32_t CHKCheckFormatANS(std::string_view s);
// 6 when a character is not a digit, except a "-" in the first place.
[[nodiscard]] int32_t CHKCheckFormatN(std::string_view s);

// Calendar checks. Only the ASCII digits 0-9 are accepted in the fields, and
// the value must be a real date or time (years 0001 to 9999).
// 4 unless the value is YYYYMMDD.
[[nodiscard]] int32_t CHKCheckFormatDate(std::string_view s);
// 4 unless the value is YYMMDD. The two-digit year lies in the 100-year
// window that starts 50 years before the current year; the first form takes
// the current year from the local clock, the second from the caller.
[[nodiscard]] int32_t CHKCheckFormatExpDate(std::string_view s);
[[nodiscard]] int32_t CHKCheckFormatExpDate(std::string_view s, int currentYear);
// 5 unless the value is HHMMSS with hours 00-23, minutes and seconds 00-59.
[[nodiscard]] int32_t CHKCheckFormatTime(std::string_view s);

// The four-digit year that a two-digit year (0-99) stands for in the window
// of the given current year.
int CHKExpandTwoDigitYear(int twoDigitYear, int currentYear);

// One left-to-right scan of `s`: where `s` continues with `sOld`, `sNew` is
// output and the scan moves past `sOld`; replaced text is not scanned again.
// An empty `sOld` leaves `s` as it is. Returns 0.
int32_t CHKReplaceOccurences(std::string_view sOld, std::string_view sNew, std::string& s);

// Escapes & < > ' and the double quote as references ("&" first, so the
// references of the later passes stay intact). Returns 0.
int32_t CHKReplaceXMLReserved(std::string& s);

// The inverse: &lt; &gt; &apos; &quot; and last &amp;, so each escaped
// character comes back exactly once (&amp;lt; becomes &lt;). Returns 0.
int32_t CHKInverseReplaceXMLReserved(std::string& s);

}  // namespace kal
