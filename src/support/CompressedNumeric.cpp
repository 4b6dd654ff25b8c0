#include "support/CompressedNumeric.h"

#include "support/HexUtilities.h"

namespace kal {

int TUTCompressedNumeric::UTCHexCharToInt(char c, int& value) const {
  if (!UTHIsHexChar(c)) {
    value = 0;
    return UTCiErrorBase + UTCcBadDigit;
  }
  value = UTHHexCharToInt(c);
  return 0;
}

int TUTCompressedNumeric::UTCIntToHexChar(int value, char& c) const {
  if (value < 0 || value > 15) return UTCiErrorBase + UTCcBadValue;
  c = UTHIntToHexChar(value);
  return 0;
}

int TUTCompressedNumeric::UTCCompressNumericString(std::string_view digits,
                                                   std::string& packed) const {
  packed.clear();
  packed.reserve(digits.size() / 2 + 1);
  for (size_t i = 0; i < digits.size(); i += 2) {
    int high = 0;
    int low = 0;
    const int first = UTCHexCharToInt(digits[i], high);
    if (first != 0) return first;
    const int second = UTCHexCharToInt(i + 1 < digits.size() ? digits[i + 1] : 'F', low);
    packed.push_back(static_cast<char>(high * 16 + low));
    if (second != 0) return second;
  }
  return 0;
}

int TUTCompressedNumeric::UTCExpandCompNumericString(std::string_view packed,
                                                     std::string& digits) const {
  digits.clear();
  digits.reserve(packed.size() * 2);
  for (unsigned char b : packed) {
    digits.push_back(UTHIntToHexChar(b >> 4));
    digits.push_back(UTHIntToHexChar(b & 15));
  }
  return 0;
}

}  // namespace kal
