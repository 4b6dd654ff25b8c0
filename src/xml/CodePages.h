#pragma once

// The encodings the XML layer reads and writes, their names and the
// byte-to-Unicode tables of the single-byte ones.

#include <array>
#include <cstdint>
#include <string_view>

namespace kal {

// Numbered as stored in documents and options; the single-byte encodings
// i8859_1 ... US_ASCII index `iso` with (value - 1).
enum class TEncoding : std::uint8_t {
  n_sup = 0,
  i8859_1 = 1,
  i8859_2 = 2,
  i8859_3 = 3,
  i8859_4 = 4,
  i8859_5 = 5,
  i8859_6 = 6,
  i8859_7 = 7,
  i8859_8 = 8,
  i8859_9 = 9,
  i8859_10 = 10,
  US_ASCII = 11,
  UTF_8 = 12,
  UTF_16 = 13,
};

// Byte order of UTF-16 output.
enum class TByteOrder : std::uint8_t { boLittleEndian = 0, boBigEndian = 1 };

inline constexpr int kEncodingCount = 14;
inline constexpr int kSingleByteTableCount = 11;

// Encoding names indexed by TEncoding ("not supported" for n_sup).
extern const std::array<std::string_view, kEncodingCount> cps;

// One table per single-byte encoding: entry b is the UTF-16 code unit of byte
// b, 0 where the byte is not allowed (C0 controls other than TAB, LF and CR,
// DEL, the C1 range and unassigned positions; for US-ASCII only 0x00 and the
// upper half). ISO-8859-7 follows its 1987 edition and ISO-8859-8 its 1988
// edition.
using TCodePageTable = std::array<std::uint16_t, 256>;
extern const std::array<TCodePageTable, kSingleByteTableCount> iso;

// True for i8859_1 ... US_ASCII, the encodings with a table.
constexpr bool IsSingleByte(TEncoding cp) {
  return cp >= TEncoding::i8859_1 && cp <= TEncoding::US_ASCII;
}

// The table of a single-byte encoding; an encoding without a table gets the
// US-ASCII one.
inline const TCodePageTable& CodePageTable(TEncoding cp) {
  return iso[IsSingleByte(cp) ? static_cast<std::size_t>(cp) - 1 : kSingleByteTableCount - 1];
}

// Compares s with the names of the encodings 1 to 13 in that order, ignoring
// ASCII case; n_sup when none matches ("UTF8" is not "UTF-8").
TEncoding StringToEncoding(std::u16string_view s);

}  // namespace kal
