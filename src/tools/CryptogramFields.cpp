#include "tools/CryptogramFields.h"

#include "support/HexUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

// Digits of the 24-byte layout: 7F, identifier 8, session key 24, secret 16.
constexpr size_t kDigits24 = 98;
// Digits of the 16-byte layout.
constexpr size_t kDigits16 = 82;

}  // namespace

std::string SKCSplitCryptogramm(std::string_view hex, TSKCFields& fields) {
  const std::string digits = STRRemoveBlanks(hex);
  if (digits.size() < kDigits16) return "Cryptogramm length is lower than 41";
  if (digits[0] != '7' || (digits[1] != 'F' && digits[1] != 'f'))
    return "Cryptogramm starts with byte not equal to 7F";
  const size_t keyDigits = digits.size() == kDigits24 ? 48 : 32;
  fields.leadingByte = digits.substr(0, 2);
  fields.senderId = digits.substr(2, 16);
  fields.sessionKey = digits.substr(18, keyDigits);
  fields.componentSecret = digits.substr(18 + keyDigits, 32);
  return {};
}

std::string SKCJoinCryptogramm(const TSKCFields& fields) {
  return UTHExpandHexString(STRRemoveBlanks(fields.leadingByte + fields.senderId +
                                            fields.sessionKey + fields.componentSecret));
}

}  // namespace kal
