#include "tools/KeyFormatting.h"

#include <limits>

#include "config/Config.h"
#include "ep2/Ep2PublicKey.h"
#include "support/HexUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

std::string Decimal(int32_t v) {
  return std::to_string(v);
}

int32_t DecimalOrInvalid(std::string_view text) {
  int32_t value = 0;
  return STRWholeNumber(text, value) ? value : -1;
}

bool Blank(std::string_view text) {
  return STRTrim(text).empty();
}

}  // namespace

TKFMFields KFMFieldsOf(const TEp2PublicKey& key) {
  std::string index;
  for (uint32_t v = static_cast<uint32_t>(key.GetPublicKeyIndex()); v != 0 || index.empty();
       v >>= 4)
    index.insert(index.begin(), UTHIntToHexChar(static_cast<int>(v & 0xF)));
  return {key.GetPublicKeyOwnerId(),
          index,
          key.GetPublicKeyExpDate(),
          Decimal(key.GetHashAlgorithmIndicator()),
          Decimal(key.GetPublicKeyAlgorithmIndicator()),
          Decimal(key.GetPublicKeyModulusLength()),
          Decimal(key.GetPublicKeyExponentLength()),
          key.GetPublicKeyModulus(),
          key.GetPublicKeyExponent(),
          key.GetHashResult()};
}

void KFMStoreFields(const TKFMFields& f, TEp2PublicKey& key) {
  key.SetPublicKeyOwnerId(f.ownerId);
  key.SetPublicKeyIndex(KFMReadIndex(f.index).value_or(-1));
  key.SetPublicKeyExpDate(f.expDate);
  key.SetHashAlgorithmIndicator(DecimalOrInvalid(f.hashIndicator));
  key.SetPublicKeyAlgorithmIndicator(DecimalOrInvalid(f.keyAlgorithmIndicator));
  key.SetPublicKeyModulusLength(DecimalOrInvalid(f.modulusLength));
  key.SetPublicKeyExponentLength(DecimalOrInvalid(f.exponentLength));
  key.SetPublicKeyModulus(f.modulus);
  key.SetPublicKeyExponent(f.exponent);
}

std::optional<int32_t> KFMReadIndex(std::string_view text) {
  const std::string digits = STRTrim(text);
  if (digits.empty() || !UTHIsHexString(digits)) return std::nullopt;
  int64_t value = 0;
  for (const char c : digits) {
    value = value * 16 + UTHHexCharToInt(c);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(value);
}

int32_t KFMHexPairs(std::string_view hex) {
  return static_cast<int32_t>(STRRemoveBlanks(hex).size() / 2);
}

std::string KFMUseNow(TCFGConfig& config, std::string_view index, std::string_view modulus,
                      std::string_view exponent) {
  if (!Blank(index)) {
    const std::optional<int32_t> value = KFMReadIndex(index);
    if (!value || *value > 0xFF) return "Public Key Index is not a valid Hex String";
    config.CFGSetPublicKeyIndex(static_cast<uint8_t>(*value));
  }
  if (!Blank(modulus)) config.CFGSetPublicKeyModulus(modulus);
  if (!Blank(exponent)) config.CFGSetPublicKeyExponent(exponent);
  return {};
}

}  // namespace kal
