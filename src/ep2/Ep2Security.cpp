#include "ep2/Ep2Security.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>

#include "support/CompressedNumeric.h"
#include "support/Des.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/Sha1.h"
#include "support/Sha256.h"

namespace kal {

namespace {

using TSEC = TSECep2Security;

constexpr size_t kPoolBytes = 32;
constexpr size_t kBinLineLength = 100;
constexpr std::string_view kBanner = "============================================================";

struct TVariant {
  uint16_t word;
  const char* label;  // of the mask line in the step trace
};
constexpr TVariant kVariants[6] = {
    {TSEC::SECcOrConstantTC, "XOR Constant Variant TC "},
    {TSEC::SECcOrConstantMACSend, "XOR Constant Variant MAC Send "},
    {TSEC::SECcOrConstantMACRec, "XOR Constant Variant MAC Receive "},
    {TSEC::SECcOrConstantEncryption, "XOR Constant Variant Encryption "},
    {TSEC::SECcOrConstantPIN, "XOR Constant Variant PIN "},
    {TSEC::SECcOrConstantKey, "XOR Constant Variant Key Encryption "},
};

bool IsKeyLength(size_t n) {
  return n == TSEC::SECcKeyLength || n == TSEC::SECcKeyLength24;
}

// The variant's word repeated to `length` bytes, high byte first.
std::string Mask(uint16_t word, size_t length) {
  std::string mask(length, '\0');
  for (size_t i = 0; i < length; ++i)
    mask[i] = static_cast<char>(i % 2 == 0 ? word >> 8 : word & 0xFF);
  return mask;
}

std::string Xor(std::string_view a, std::string_view b) {
  std::string r(a);
  for (size_t i = 0; i < r.size() && i < b.size(); ++i) r[i] = static_cast<char>(r[i] ^ b[i]);
  return r;
}

std::string_view View(const uint8_t* p, size_t n) {
  return {reinterpret_cast<const char*>(p), n};
}
const uint8_t* Data(std::string_view s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

void InvalidKeyLength(TSECMemo* memo, size_t length, bool alsoLength24) {
  if (memo == nullptr) return;
  TSEC::SECDumpString(memo, "Invalid key length");
  std::string line = " Length= " + std::to_string(length) + " Expected length= 16";
  if (alsoLength24) line += " or 24";
  TSEC::SECDumpString(memo, line);
}

// K1, K2 and K3 of a 16-byte (K3 = K1) or 24-byte key.
struct TKeyParts {
  std::string_view k1, k2, k3;
};
TKeyParts SplitKey(std::string_view key) {
  return {key.substr(0, 8), key.substr(8, 8),
          key.size() == 24 ? key.substr(16, 8) : key.substr(0, 8)};
}

bool Ok(TCryptoResult r) {
  return r == TCryptoResult::Ok;
}

// Builds the key schedules of a 16- or 24-byte key unless they are built.
bool LoadRetailMacKeys(TSECRetailMacKeys& keys, std::string_view key) {
  if (!keys.key.empty() && keys.key == key) return true;
  SecureWipe(keys.key);
  const TKeyParts k = SplitKey(key);
  if (!Ok(keys.k1.SetKey(k.k1)) || !Ok(keys.k2.SetKey(k.k2)) ||
      (k.k3 != k.k1 && !Ok(keys.k3.SetKey(k.k3))) || !Ok(keys.k1.SetIVector({})))
    return false;
  keys.key = key;
  return true;
}

// ANSI X9.19 over `whole` (whole blocks) followed by `tail` (0 or 8 bytes)
// under loaded keys: DES-CBC under K1 with a zero IV, the last block
// deciphered under K2 and enciphered under K3. With a memo every step is
// traced.
bool RetailMac(TSECRetailMacKeys& keys, std::string_view whole, std::string_view tail,
               TSECMemo* memo, uint8_t mac[8]) {
  const TKeyParts k = SplitKey(keys.key);
  TDES& d1 = keys.k1;
  d1.SetCipherMode(TCipherMode::CBCMode);
  TSEC::SECDumpStringAndBinary(memo, "Mode CBC, Key1 = ", k.k1);
  bool chained = false;
  size_t position = 0;  // bytes enciphered so far
  auto encipher = [&](std::string_view blocks, uint8_t* out) {
    if (!Ok(d1.EncipherData(Data(blocks), blocks.size(), out, chained))) return false;
    chained = true;
    if (memo != nullptr) {
      const std::string label = "Encipher text position " + std::to_string(position + 1) + " to " +
                                std::to_string(position + 8) + ": ";
      TSEC::SECDumpBufferAndBinary(memo, label, out, 8);
    }
    position += blocks.size();
    return true;
  };
  // Without a trace, long texts go through in chunks; with one, block by block.
  std::array<uint8_t, 512> buffer;
  const size_t chunk = memo == nullptr ? buffer.size() : 8;
  for (size_t done = 0; done < whole.size();) {
    const size_t n = std::min(chunk, whole.size() - done);
    if (!encipher(whole.substr(done, n), buffer.data())) return false;
    std::memcpy(mac, buffer.data() + n - 8, 8);
    done += n;
  }
  if (!tail.empty() && !encipher(tail, mac)) return false;
  SecureWipe(buffer.data(), buffer.size());

  TSEC::SECDumpString(memo, "Tripple DES Encryption of last block");
  TSEC::SECDumpStringAndBinary(memo, "Mode ECB, Key2 = ", k.k2);
  keys.k2.SetCipherMode(TCipherMode::ECBMode);
  if (!Ok(keys.k2.DecipherData(mac, 8, mac, false))) return false;
  TSEC::SECDumpBufferAndBinary(memo, "Decipher : ", mac, 8);
  const bool sameKey = k.k3 == k.k1;
  TSEC::SECDumpStringAndBinary(memo, sameKey ? "Key1 = " : "Key3 = ", k.k3);
  TDES& d3 = sameKey ? d1 : keys.k3;
  d3.SetCipherMode(TCipherMode::ECBMode);
  if (!Ok(d3.EncipherData(mac, 8, mac, false))) return false;
  TSEC::SECDumpBufferAndBinary(memo, "Encipher : ", mac, 8);
  return true;
}

// The PAN field of a format-3 PIN block as 8 bytes: the PAN or track 2 data
// without its "F" digits, cut before the first "D"; then "0000" and the 12
// rightmost digits, the last one included. False when fewer than
// minDigits remain or one of the 12 is no decimal digit.
bool PANField(std::string_view panOrTrack2, size_t minDigits, std::string& field) {
  std::string cleaned;
  for (char c : panOrTrack2)
    if (c != 'F') cleaned += c;
  if (const size_t d = cleaned.find('D'); d != std::string::npos) cleaned.resize(d);
  if (cleaned.size() < std::max<size_t>(minDigits, 12)) return false;
  const std::string_view digits = std::string_view(cleaned).substr(cleaned.size() - 12);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  field = UTHHexToString("0000" + std::string(digits));
  return true;
}

}  // namespace

TSECep2Security::TSECep2Security(int iBase) : TSECep2Security(iBase, SECSystemRandom()) {}

TSECep2Security::TSECep2Security(int iBase, ISECRandomSource& source)
    : SECiErrorBase(iBase), SECaRandomSource(source) {}

TSECep2Security::~TSECep2Security() {
  SecureWipe(SECsRandomPool);
  SecureWipe(SECsSessionKeyCryptogramm);
  for (TVariantOfKey& v : SECaVariants) {
    SecureWipe(v.key);
    SecureWipe(v.variant);
  }
}

// --- Random generator ---

void TSECep2Security::SECInitRandomgenerator() {
  SECiRandomPoolCounter = -1;
  SECsRandomPool.resize(kPoolBytes);
  SECaRandomSource.SECFillRandom(reinterpret_cast<uint8_t*>(SECsRandomPool.data()), kPoolBytes);
}

std::string TSECep2Security::SECGetRandomNumber(int iLength) {
  if (iLength <= 0) return {};
  SECsRandomPool.resize(kPoolBytes);
  SECaRandomSource.SECFillRandom(reinterpret_cast<uint8_t*>(SECsRandomPool.data()), kPoolBytes);
  const size_t length = static_cast<size_t>(iLength);
  std::string random;
  random.reserve(length);
  while (random.size() < length) {
    SECiRandomPoolCounter = SECiRandomPoolCounter == INT32_MAX ? 0 : SECiRandomPoolCounter + 1;
    TSHA1 sha;
    sha.TransformString(std::to_string(SECiRandomPoolCounter));
    sha.TransformString(SECsRandomPool);
    sha.Complete();
    random.append(reinterpret_cast<const char*>(sha.HashValue()),
                  std::min(sha.DigestSize(), length - random.size()));
  }
  return random;
}

// --- Key variants ---

int TSECep2Security::SECGenerateSessionKeyVariant(int iVariant, std::string_view sSessionKey,
                                                  TSECMemo* aMemo,
                                                  std::string& sSessionKeyVariant) {
  if (sSessionKey.size() == SECcKeyLength)
    return SECGenerateSessionKeyVariant16(iVariant, sSessionKey, aMemo, sSessionKeyVariant);
  if (sSessionKey.size() == SECcKeyLength24)
    return SECGenerateSessionKeyVariant24(iVariant, sSessionKey, aMemo, sSessionKeyVariant);
  sSessionKeyVariant.clear();
  InvalidKeyLength(aMemo, sSessionKey.size(), false);
  return Error(SECcInvalidSessionKeyLength);
}

int TSECep2Security::SECGenerateSessionKeyVariant16(int iVariant, std::string_view sSessionKey,
                                                    TSECMemo* aMemo,
                                                    std::string& sSessionKeyVariant) {
  sSessionKeyVariant.clear();
  SECDumpTitle(aMemo, "Generate Session Key Variant 16 Byte");
  if (iVariant < 0 || iVariant > 5) return Error(SECcInvalidSessionKeyVariant);
  if (sSessionKey.size() != SECcKeyLength) {
    InvalidKeyLength(aMemo, sSessionKey.size(), false);
    return Error(SECcInvalidSessionKeyLength);
  }
  const TVariant& variant = kVariants[iVariant];
  const std::string mask = Mask(variant.word, SECcKeyLength);
  SECDumpStringAndBinary(aMemo, "Key = ", sSessionKey);
  SECDumpStringAndBinary(aMemo, variant.label, mask);
  sSessionKeyVariant = Xor(sSessionKey, mask);
  SECDumpStringAndBinary(aMemo, "Session Key Variant = ", sSessionKeyVariant);
  return 0;
}

int TSECep2Security::SECGenerateSessionKeyVariant24(int iVariant, std::string_view sSessionKey,
                                                    TSECMemo* aMemo,
                                                    std::string& sSessionKeyVariant) {
  sSessionKeyVariant.clear();
  SECDumpTitle(aMemo, "Generate Session Key Variant 24 Byte");
  if (iVariant < 0 || iVariant > 5) return Error(SECcInvalidSessionKeyVariant);
  if (sSessionKey.size() != SECcKeyLength24) {
    InvalidKeyLength(aMemo, sSessionKey.size(), false);
    return Error(SECcInvalidSessionKeyLength);
  }
  TVariantOfKey& kept = SECaVariants[static_cast<size_t>(iVariant)];
  if (aMemo == nullptr && !kept.key.empty() && kept.key == sSessionKey) {
    sSessionKeyVariant = kept.variant;
    return 0;
  }
  const TVariant& variant = kVariants[iVariant];
  const std::string c = Mask(variant.word, SECcDESBlocklength);
  SECDumpStringAndBinary(aMemo, "Key = ", sSessionKey);
  SECDumpStringAndBinary(aMemo, variant.label, c);
  std::string r1, r2, r3;
  int rc = SECDESEncryptString(c, sSessionKey, false, nullptr, r1);
  if (rc != 0) return rc;
  const std::string x1 = Xor(r1, c);
  rc = SECDESEncryptString(x1, sSessionKey, false, nullptr, r2);
  if (rc != 0) return rc;
  const std::string x2 = Xor(r2, c);
  rc = SECDESEncryptString(x2, sSessionKey, false, nullptr, r3);
  if (rc != 0) return rc;
  SECDumpStringAndBinary(aMemo, "Byte 1..8 = ", r1);
  SECDumpStringAndBinary(aMemo, "Byte 1..8 XOR Result = ", x1);
  SECDumpStringAndBinary(aMemo, "Byte 1..16 = ", r1 + r2);
  SECDumpStringAndBinary(aMemo, "Byte 9..16 XOR Result = ", x2);
  sSessionKeyVariant = r1 + r2 + r3;
  SECDumpStringAndBinary(aMemo, "Key Variant = ", sSessionKeyVariant);
  SecureWipe(kept.key);
  SecureWipe(kept.variant);
  kept.key = sSessionKey;
  kept.variant = sSessionKeyVariant;
  return 0;
}

// --- Hash, MAC, Triple DES ---

std::string TSECep2Security::SECGetHash(std::string_view sString, int iHashAlgorithm) {
  if (iHashAlgorithm == 1) {
    TSHA1 sha;
    sha.TransformString(sString);
    sha.Complete();
    return sha.HashValueString();
  }
  return CalcSHA256(sString).AsBytes();
}

int TSECep2Security::SECComputeMac(std::string_view sKey, std::string_view sText, TSECMemo* aMemo,
                                   std::string& sMac) {
  sMac.clear();
  SECDumpTitle(aMemo, "Compute MAC");
  if (!IsKeyLength(sKey.size())) {
    InvalidKeyLength(aMemo, sKey.size(), true);
    return Error(SECcInvalidMACKeyLength);
  }
  SECDumpStringAndBinary(aMemo, "Key = ", sKey);
  SECDumpStringAndBinary(aMemo, "Hash = ", sText);
  // Padding method 2: 0x80 and 0x00 bytes, always at least the 0x80, so the
  // padded text ends in one block made of the text's rest.
  const size_t whole = sText.size() / 8 * 8;
  std::array<uint8_t, 8> tail{};
  std::memcpy(tail.data(), sText.data() + whole, sText.size() - whole);
  tail[sText.size() - whole] = SECcPaddingChar;
  if (aMemo != nullptr)
    SECDumpStringAndBinary(aMemo, "Padded hash = ",
                           std::string(sText.substr(0, whole)) + std::string(View(tail.data(), 8)));
  uint8_t mac[8];
  if (!LoadRetailMacKeys(SECaMacKeys, sKey) ||
      !RetailMac(SECaMacKeys, sText.substr(0, whole), View(tail.data(), 8), aMemo, mac))
    return Error(SECcInvalidMACKeyLength);
  sMac.assign(View(mac, 8));
  SECDumpStringAndBinary(aMemo, "MAC = ", sMac);
  return 0;
}

int TSECep2Security::SECDESEncryptString(std::string_view sString,
                                         std::string_view sSessionKeyVariant,
                                         bool bMandatoryPadding, TSECMemo* aMemo,
                                         std::string& sEncryptedString) {
  sEncryptedString.clear();
  SECDumpTitle(aMemo, "Encrypt string");
  if (!IsKeyLength(sSessionKeyVariant.size())) {
    InvalidKeyLength(aMemo, sSessionKeyVariant.size(), false);
    return Error(SECcInvalidSessionKeyLength);
  }
  const bool pad = bMandatoryPadding || sString.size() % 8 != 0;
  const size_t padded = pad ? (sString.size() / 8 + 1) * 8 : sString.size();
  if (padded > SECcMaxEncryptLength) return SECcValueTooLongForEncryption;
  std::array<uint8_t, SECcMaxEncryptLength> buffer{};
  std::memcpy(buffer.data(), sString.data(), sString.size());
  if (pad) buffer[sString.size()] = SECcPaddingChar;
  SECDumpStringAndBinary(aMemo, "Key = ", sSessionKeyVariant);
  SECDumpBufferAndBinary(aMemo, "Padded string = ", buffer.data(), padded);
  TTripleDES cipher;
  if (!Ok(cipher.SetKey(sSessionKeyVariant)) || !Ok(cipher.SetIVector({})))
    return Error(SECcInvalidSessionKeyLength);
  cipher.SetCipherMode(TCipherMode::CBCMode);
  sEncryptedString.resize(padded);
  const bool ok = Ok(cipher.EncipherData(
      buffer.data(), padded, reinterpret_cast<uint8_t*>(sEncryptedString.data()), false));
  SecureWipe(buffer.data(), buffer.size());
  if (!ok) {
    sEncryptedString.clear();
    return Error(SECcInvalidSessionKeyLength);
  }
  SECDumpStringAndBinary(aMemo, "Encrypted string = ", sEncryptedString);
  return 0;
}

int TSECep2Security::SECDESDecryptString(std::string_view sEncryptedString,
                                         std::string_view sSessionKeyVariant,
                                         bool bMandatoryPadding, TSECMemo* aMemo,
                                         std::string& sString) {
  sString.clear();
  SECDumpTitle(aMemo, "Decrypt string");
  if (!IsKeyLength(sSessionKeyVariant.size())) {
    InvalidKeyLength(aMemo, sSessionKeyVariant.size(), false);
    return Error(SECcInvalidReceiveSessionKeyLength);
  }
  if (sEncryptedString.empty()) return 0;
  if (sEncryptedString.size() % 8 != 0) return Error(SECcInvalidReceiveStringLength);
  SECDumpStringAndBinary(aMemo, "Key = ", sSessionKeyVariant);
  TTripleDES cipher;
  if (!Ok(cipher.SetKey(sSessionKeyVariant)) || !Ok(cipher.SetIVector({})))
    return Error(SECcInvalidReceiveSessionKeyLength);
  cipher.SetCipherMode(TCipherMode::CBCMode);
  std::string plain;
  if (!Ok(cipher.DecipherData(sEncryptedString, plain, false)))
    return Error(SECcInvalidReceiveStringLength);
  if (bMandatoryPadding) {
    SECDumpStringAndBinary(aMemo, "Pad string = ", plain);
    // 0x80 followed by 0 to 7 zero bytes ends the text.
    const size_t last = plain.find_last_not_of('\0');
    if (last == std::string::npos || plain.size() - last > 8 ||
        static_cast<uint8_t>(plain[last]) != SECcPaddingChar) {
      SecureWipe(plain);
      return Error(SECcPaddingNotFound);
    }
    plain.resize(last);
  }
  sString = std::move(plain);
  SECDumpStringAndBinary(aMemo, "Decrypted string = ", sString);
  return 0;
}

std::string TSECep2Security::SECTrippleDESEncrypt(std::string_view sKey1, std::string_view sKey2,
                                                  std::string_view sKey3,
                                                  std::string_view sEncodeString) {
  if (sEncodeString.empty() || sKey1.size() != 8 || sKey2.size() != 8 || sKey3.size() != 8)
    return {};
  const size_t whole = sEncodeString.size() / 8 * 8;
  std::array<uint8_t, 8> tail{};
  std::memcpy(tail.data(), sEncodeString.data() + whole, sEncodeString.size() - whole);
  const std::string_view tailView =
      whole == sEncodeString.size() ? std::string_view() : View(tail.data(), 8);
  std::string key(sKey1);
  key.append(sKey2).append(sKey3);
  TSECRetailMacKeys keys;
  uint8_t mac[8];
  const bool ok = LoadRetailMacKeys(keys, key) &&
                  RetailMac(keys, sEncodeString.substr(0, whole), tailView, nullptr, mac);
  SecureWipe(key);
  if (!ok) return {};
  return std::string(View(mac, 8));
}

std::string TSECep2Security::SECPINDecrypt(std::string_view sKey1, std::string_view sKey2,
                                           std::string_view sKey3, std::string_view sDecodeString) {
  if (sDecodeString.size() != 8 || sKey1.size() != 8 || sKey2.size() != 8 || sKey3.size() != 8)
    return {};
  TDES d1, d2, d3;
  if (!Ok(d1.SetKey(sKey1)) || !Ok(d2.SetKey(sKey2)) || !Ok(d3.SetKey(sKey3))) return {};
  std::string block(sDecodeString), out;
  if (!Ok(d3.DecipherData(block, out, false)) || !Ok(d2.EncipherData(out, block, false)) ||
      !Ok(d1.DecipherData(block, out, false)))
    return {};
  SecureWipe(block);
  return out;
}

// --- PIN blocks ---

int TSECep2Security::SECGenerateEncryptedPINBlock(std::string_view sPin,
                                                  std::string_view sPANorTrack2,
                                                  std::string_view sSessionKeyVariantPIN,
                                                  int iBlock, std::string& sEncryptedPinBlock) {
  sEncryptedPinBlock.clear();
  const TUTCompressedNumeric packer(SECiErrorBase + SECcPINBlockErrors);
  char lengthDigit = '0';
  // The control digit, the length digit and the PIN fill the 16 digits of
  // the block: a longer PIN has no block.
  if (sPin.size() > SECcMaxPINBlockDigits)
    return Error(SECcPINBlockErrors + TUTCompressedNumeric::UTCcBadValue);
  const int length = static_cast<int>(sPin.size());
  if (const int rc = packer.UTCIntToHexChar(length, lengthDigit); rc != 0) return rc;
  if (!std::all_of(sPin.begin(), sPin.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return SECiErrorBase + SECcPINBlockErrors + TUTCompressedNumeric::UTCcBadDigit;
  const bool format3 = iBlock == 3;
  std::string panField;
  if (format3 && !PANField(sPANorTrack2, SECcMinPANDigitsToBuild, panField))
    return Error(SECcInvalidPANForPINBlock);
  if (!IsKeyLength(sSessionKeyVariantPIN.size())) return Error(SECcInvalidSessionKeyLengthPIN);

  std::string digits;
  digits += format3 ? '3' : '2';
  digits += lengthDigit;
  digits += sPin;
  while (digits.size() < 16) {
    if (!format3) {
      digits += 'F';
      continue;
    }
    // A uniform digit A-F: bytes from 252 on are drawn again.
    uint8_t b = 255;
    while (b >= 252) SECaRandomSource.SECFillRandom(&b, 1);
    digits += static_cast<char>('A' + b % 6);
  }
  std::string block;
  const int rc = packer.UTCCompressNumericString(digits, block);
  SecureWipe(digits);
  if (rc != 0) return rc;
  if (format3) block = Xor(block, panField);
  const TKeyParts k = SplitKey(sSessionKeyVariantPIN);
  sEncryptedPinBlock = SECTrippleDESEncrypt(k.k1, k.k2, k.k3, block);
  SecureWipe(block);
  return 0;
}

int TSECep2Security::SECGenerateDecryptedPIN(std::string_view sEncryptedPinBlock,
                                             std::string_view sPANOrTrack2,
                                             std::string_view sSessionKeyVariantPIN, int iBlock,
                                             std::string& sPin) {
  sPin.clear();
  if (sEncryptedPinBlock.empty()) return 0;
  if (sEncryptedPinBlock.size() != SECcPINBlockLength)
    return Error(SECcInvalidReceivedPINBlockLength);
  if (!IsKeyLength(sSessionKeyVariantPIN.size()))
    return Error(SECcInvalidReceivedSessionKeyLengthPIN);
  const TKeyParts k = SplitKey(sSessionKeyVariantPIN);
  std::string block = SECPINDecrypt(k.k1, k.k2, k.k3, sEncryptedPinBlock);
  if (iBlock == 3) {
    std::string panField;
    if (!PANField(sPANOrTrack2, SECcMinPANDigitsToRead, panField)) {
      SecureWipe(block);
      return Error(SECcInvalidPANForPINBlock);
    }
    block = Xor(block, panField);
  }
  const TUTCompressedNumeric expander(SECiErrorBase + SECcReceivedPINBlockErrors);
  std::string digits;
  int rc = expander.UTCExpandCompNumericString(block, digits);
  SecureWipe(block);
  if (rc == 0 && digits.size() == 16) {
    const int length = UTHHexCharToInt(digits[1]);
    if (length > static_cast<int>(SECcMaxPINBlockDigits))
      rc = Error(SECcPINBlockErrors + TUTCompressedNumeric::UTCcBadValue);
    else if (length < SECcMinPINLength || length > SECcMaxPINLength)
      rc = Error(SECcInvalidReceivedPINLength);
    else
      sPin = digits.substr(2, static_cast<size_t>(length));
  }
  SecureWipe(digits);
  return rc;
}

// --- Step trace ---

void TSECep2Security::SECDumpTitle(TSECMemo* aMemo, std::string_view sTitle) {
  SECDumpString(aMemo, kBanner);
  SECDumpString(aMemo, sTitle);
}

void TSECep2Security::SECDumpString(TSECMemo* aMemo, std::string_view sString) {
  if (aMemo != nullptr) aMemo->emplace_back(sString);
}

void TSECep2Security::SECDumpStringAndBinary(TSECMemo* aMemo, std::string_view sLabel,
                                             std::string_view sString) {
  if (aMemo == nullptr) return;
  aMemo->push_back(std::string(sLabel) + UTHStringToHex(sString));
  // Each value carries the comma or the closing brace behind it; the blank
  // between two values is left out where a new line starts.
  std::string line = "bin {";
  for (size_t i = 0; i < sString.size(); ++i) {
    std::string value = std::to_string(static_cast<uint8_t>(sString[i]));
    value += i + 1 < sString.size() ? ',' : '}';
    const size_t blank = i == 0 ? 0 : 1;
    if (line.size() + blank + value.size() > kBinLineLength) {
      aMemo->push_back(std::exchange(line, value));
      continue;
    }
    if (blank != 0) line += ' ';
    line += value;
  }
  if (sString.empty()) line += '}';
  aMemo->push_back(std::move(line));
  aMemo->emplace_back();
}

void TSECep2Security::SECDumpBufferAndBinary(TSECMemo* aMemo, std::string_view sLabel,
                                             const uint8_t* aBuffer, size_t count) {
  SECDumpStringAndBinary(aMemo, sLabel, View(aBuffer, count));
}

}  // namespace kal
