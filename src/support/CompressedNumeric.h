#pragma once

// Compressed-numeric (packed BCD) converter of unit UTCompressedNumeric
//: two digits per byte, first digit in the high nibble, an odd
// length padded on the right with the digit F. Stateless besides its error
// base; a const object is safe on any thread.

#include <string>
#include <string_view>

namespace kal {

class TUTCompressedNumeric final {
 public:
  // Offsets added to the error base.
  static constexpr int UTCcBadDigit = 6;  // a character that is no hex digit
  static constexpr int UTCcBadValue = 7;  // a value outside 0..15

  // UTCCreate: stores the error base (the ep2 security passes
  // its own base + 60, so that users see 4066 and 4067).
  explicit TUTCompressedNumeric(int errorBase) : UTCiErrorBase(errorBase) {}

  // Packs a digit text: 0, or base + 6 at the first character that is no hex
  // digit ("0"-"9", "A"-"F" in either case are accepted). The byte of a pair
  // whose second digit is bad is still appended (as first digit x 16) before
  // the stop; callers discard the output on error.
  [[nodiscard]] int UTCCompressNumericString(std::string_view digits, std::string& packed) const;

  // Unpacks bytes into upper-case hex digits, two per byte; a padding F stays.
  // Always 0.
  [[nodiscard]] int UTCExpandCompNumericString(std::string_view packed, std::string& digits) const;

  // 0 with the digit's value, or base + 6 with value 0 for a character that
  // is no hex digit.
  [[nodiscard]] int UTCHexCharToInt(char c, int& value) const;

  // 0 with the upper-case digit, or base + 7 with c unchanged for a value
  // outside 0..15.
  [[nodiscard]] int UTCIntToHexChar(int value, char& c) const;

  int UTCGetErrorBase() const { return UTCiErrorBase; }

 private:
  int UTCiErrorBase;
};

}  // namespace kal
