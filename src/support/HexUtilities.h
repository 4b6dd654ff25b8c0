#pragma once

// Free hex routines of unit UTHHexUtilities: byte strings to and
// from hex text, single hex digits, bits of a hex digit. Stateless and safe
// on any thread. Byte strings are std::string of raw bytes; only ASCII
// letters count as hex digits and case folding is ASCII only.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// Spaced form: each byte as two upper-case digits, pairs separated by one
// blank, no leading or trailing blank ("01 A2 3C"); empty input gives "".
std::string UTHStringToHex(std::string_view bytes);

// Compact form: each byte as two upper-case digits, no separators ("01A23C").
std::string UTHStringToCompactHex(std::string_view bytes);

// The hex reader behind every hex input field: while two characters remain,
// a pair of hex digits (either case) gives one byte and advances by two,
// anything else advances by one; a last single character is ignored. So
// "01 a2:3c" gives 01 A2 3C, "0 12" gives 12 and "ABC" gives AB.
std::string UTHHexToString(std::string_view hex);

// True for "0"-"9", "A"-"F", "a"-"f".
bool UTHIsHexChar(char c);

// True when every character is a hex digit; true for empty text.
bool UTHIsHexString(std::string_view text);

// Value 0..15 of a hex digit of either case; any other character gives 0.
int UTHHexCharToInt(char c);

// 0..9 give "0".."9", 10..15 give "A".."F"; any other value (negative too)
// gives "0".
char UTHIntToHexChar(int value);

// The text read as a 32-bit hexadecimal number as Delphi's StrToInt reads
// "$" + text, with 0 for any conversion failure:
// - one or more hex digits of either case and nothing else: no blanks (the
//   run-time library skips blanks only before the "$"), no sign, no "$" or
//   "0x" prefix, no NUL or other characters; empty text gives 0;
// - leading zeros are free, but more than eight significant digits overflow
//   and give 0 (the run-time library refuses a value above $FFFFFFFF);
// - the 32 bits are the two's-complement pattern: "7FFFFFFF" gives
//   2147483647, "80000000" gives -2147483648, "FFFFFFFF" gives -1.
int32_t UTHHexToInt(std::string_view hex);

// True when the text, upper-cased, is one of "1F", "3F", "5F", "7F", "9F",
// "BF", "DF", "FF": the first byte of a BER tag with its low five bits set,
// so that further tag bytes follow. Any other text (also a longer one) gives
// false.
bool UTH5BytesSet(std::string_view hex);

// Sets (value 1) or clears (any other value) one bit of a hex text. Bits are
// numbered from 1 at the most significant bit of the first digit (bit 1 is
// weight 8 of digit 1, bit 5 weight 8 of digit 2). The text is upper-cased
// first; a bit number below 1 or above 4 x the length gives the upper-cased
// text with no bit changed. The digit is split with UTHHexCharToBits, so a
// character that is no upper-case hex digit counts as 0.
std::string UTHSetBit(std::string_view hex, int bit, int value);

// Splits a hex digit into its bits, weights 8, 4, 2, 1 in this order. Only
// "0"-"9" and "A"-"F" are recognised; any other character (a lower-case
// letter too) gives four false bits.
std::array<bool, 4> UTHHexCharToBits(char c);
void UTHHexCharToBits(char c, bool& bit8, bool& bit4, bool& bit2, bool& bit1);

// Joins four bits (weights 8, 4, 2, 1 in this order) into one of "0"-"9",
// "A"-"F".
char UTHBitsToHexChar(const std::array<bool, 4>& bits);
char UTHBitsToHexChar(bool bit8, bool bit4, bool bit2, bool bit1);

// Normalises spacing: removes every blank (" " only), then writes each
// complete pair of characters followed by one blank. Characters are copied
// as they stand (no upper-casing, no hex check), an odd last character is
// dropped and the trailing blank stays ("0a1b2" gives "0a 1b ").
std::string UTHExpandHexString(std::string_view text);

}  // namespace kal
