#pragma once

// String editing and item lists: the routines of the units STRStringUnit and
// StringUnit. Strings are byte strings, one character per byte;
// positions and lengths count bytes. Where the two units have a routine of
// the same name that behaves differently, the older unit's routine has its
// own name here (STRReplaceOccurrences).

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// ---- Stand-ins for the run-time library's text routines -------------------

// Removes every character of code 32 or below from both ends (the RTL's Trim).
std::string STRTrim(std::string_view text);
std::string STRTrimLeft(std::string_view text);
std::string STRTrimRight(std::string_view text);
// ASCII case mapping; other bytes stay as they are.
std::string STRUpperCase(std::string_view text);
std::string STRLowerCase(std::string_view text);
// The program's one rule for a whole number typed into a field: trimmed
// (STRTrim), an optional sign, then decimal digits only, within int32. False
// (and `value` untouched) for anything else, the empty text included.
bool STRWholeNumber(std::string_view text, int32_t& value);

// ---- Both units --------------------------------------------------------------

// Removes every blank (" " only; tabs and line breaks stay).
std::string STRRemoveBlanks(std::string_view text);
// Removes every occurrence of `c`.
std::string STRRemoveChars(char c, std::string_view text);
// Removes `c` from the front as long as the text starts with it.
std::string STRRemoveLeadingChars(char c, std::string_view text);

// Item := the text before the first occurrence of `separator`; the item and
// the separator are removed from `list`. Without the separator (or with an
// empty separator) the whole list is the item and `list` becomes empty.
std::string STRGetItem(std::string_view separator, std::string& list);

// Padding to a length in bytes; a text already that long (or longer) is
// returned unchanged, never cut. Negative lengths and counts act as 0.
std::string STRAddTrailingBlanks(std::string_view text, int length);
std::string STRAddLeadingBlanks(std::string_view text, int length);
std::string STRAddTrailingChars(char c, std::string_view text, int length);
std::string STRAddLeadingChars(char c, std::string_view text, int length);
// Prepends `c` exactly `count` times, whatever the length.
std::string STRAddLeadingCharsAbsolute(char c, std::string_view text, int count);

// Replaces every byte that is not 0-9, A-Z or a-z by a blank (length kept).
std::string STRRemoveAllNonAlphaNumeric(std::string_view text);

// Drops every character below code 32 and puts CR LF after each end tag and
// each empty-element tag: a "/" sets a flag, "<" clears it, and a ">" while
// the flag is set is followed by CR LF.
std::string STRPreformatXML(std::string_view xml);

// The first four bytes as a big-endian unsigned 32-bit number; 0 for a text
// of fewer than four bytes.
uint32_t STRStringToLength(std::string_view bytes);

// Bytes as compact upper-case hex (the same as UTHStringToCompactHex).
std::string STRStringToHex(std::string_view bytes);

// Replacement modes of STRReplaceSubstring.
inline constexpr int kSTRReplaceFirst = 0;  // also every mode other than 1 and 2
inline constexpr int kSTRReplaceLast = 1;
inline constexpr int kSTRReplaceAll = 2;

// STRStringUnit's replacement: replaces the first (mode 0 and any other
// mode), the last (mode 1) or every (mode 2) occurrence of `searched` in
// `source`. Without `caseSensitive`, occurrences are found without regard to
// ASCII case, but the source text around them and the replacement keep their
// own case. Replacing every occurrence resumes behind the inserted text, so it
// always ends. An empty source or an empty searched text gives the source.
std::string STRReplaceSubstring(std::string_view searched, std::string_view replacement,
                                std::string_view source, bool caseSensitive, int mode);

// StringUnit's replacement ("STRReplaceSubstring" there): case-sensitive;
// the first occurrence, or with `all` every occurrence, resuming behind each
// inserted text. An empty searched text gives the source.
std::string STRReplaceOccurrences(std::string_view searched, std::string_view replacement,
                                  std::string_view source, bool all);

// ---- StringUnit only ---------------------------------------------------------

// True when every byte is 0-9; true for an empty text.
bool STRIsNumeric(std::string_view text);

// Finds label + "=" anywhere in `list` (plain, case-sensitive search). The
// item runs from there up to, not including, the next ";" or the end, and is
// removed from `list` (the ";" stays). Returns the part of the item after its
// first "=". No match: empty result, `list` unchanged.
std::string STRRemoveLabeledItem(std::string_view label, std::string& list);

// Takes the first ";"-item off `list` (STRGetItem). With a "=" in it, label
// and value are the trimmed texts before and after the first "="; otherwise
// the label is the whole item and the value is empty.
void STRGetLabeledItem(std::string& list, std::string& label, std::string& value);

// Inserts `insertion` after every `step` bytes of `text`, never at the very
// end ("AABBCC", " ", 2 gives "AA BB CC"). A step below 1 gives the text.
std::string STRInsertSubstring(std::string_view text, std::string_view insertion, int step);

}  // namespace kal
