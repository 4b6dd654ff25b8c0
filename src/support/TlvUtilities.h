#pragma once

// BER-TLV reader of unit UTLTlvUtilities, with strict error rules. The TLV data is compact hex
// text; each call takes one item off the front of a string_view, which is advanced past what was
// consumed, so walking a list is linear in its length.
//
// Between pairs the reader skips blanks and control characters: after every
// pair taken, except the first pair of a tag, characters up to and including
// " " are trimmed from both ends of the rest (as Delphi's Trim). The first
// tag pair is taken as it stands, and nothing is trimmed after a value.

#include <string>
#include <string_view>

namespace kal {

// Results of UTLGetTagLength and UTLGetTagLengthValue.
inline constexpr int UTLcOk = 0;
inline constexpr int UTLcNoData = 1;          // fewer than two characters of data
inline constexpr int UTLcBadTagOrLength = 2;  // tag or length malformed or cut short
inline constexpr int UTLcValueTooShort = 3;   // value missing, cut short or not hex

// Takes tag and length off the front of the data.
// - tag: the hex text of all tag bytes, upper-cased ("9F33"). A first byte
//   with its low five bits set announces further bytes, up to and including
//   the first one whose top bit is clear.
// - length: the value length in bytes: short form (one byte below 80), or
//   long form 8n followed by n bytes (n = 0 gives 0, n at most 4).
// Result 0, or 1 for fewer than two characters, or 2 for: a character that
// is no hex digit in the tag or length; announced tag bytes that do not
// follow or do not end; no length byte; long-form length bytes missing; more
// than 4 length bytes; a length above 2147483647. The length is not checked
// against the rest of the data (a data-object list carries no values).
// On 1 and 2 length is 0, tag holds the tag pairs read so far (upper-cased)
// and data starts just behind the last well-formed pair read (at a faulty
// pair), so the caller can tell where the fault lies.
[[nodiscard]] int UTLGetTagLength(std::string_view& data, std::string& tag, int& length);

// As UTLGetTagLength, then takes 2 x length characters as the value (case
// kept, no trimming afterwards). value is cleared first. Result 3 when fewer
// than 2 x length characters remain or they are not all hex digits; data
// then starts at the value and tag and length are set.
[[nodiscard]] int UTLGetTagLengthValue(std::string_view& data, std::string& tag, int& length,
                                       std::string& value);

}  // namespace kal
