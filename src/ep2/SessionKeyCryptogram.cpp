// RSA on byte strings, MGF1, the OAEP encoding and the session-key
// cryptogram of TSECep2Security.
#include <algorithm>
#include <climits>

#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/Rsa.h"
#include "support/SecureWipe.h"

namespace kal {

namespace {

using TSEC = TSECep2Security;

constexpr int kOAEPHashVariant = 2;  // SHA-256
constexpr uint8_t kBlockStart = 0x7F;
constexpr uint32_t kMaxMaskBlocks = 65536;  // MGF1 counters 0 to 65535

size_t HashLength(int variant) {
  return variant == 1 ? 20 : 32;
}
const char* HashName(int variant) {
  return variant == 1 ? "SHA-1" : "SHA-256";
}

// The big-endian bytes without leading zero bytes.
std::string_view Significant(std::string_view bytes) {
  const size_t first = bytes.find_first_not_of('\0');
  return first == std::string_view::npos ? std::string_view() : bytes.substr(first);
}

void OAEPHeader(TSECMemo* memo, int variant, int k) {
  TSEC::SECDumpString(memo, std::string("Hash algorthm: ") + HashName(variant));
  TSEC::SECDumpString(memo, "Modulus length: " + std::to_string(k));
}

}  // namespace

// --- RSA ---

int TSECep2Security::SECRSAEncryptString(std::string_view sString, std::string_view sPublicExponent,
                                         std::string_view sPublicModulus, std::string& sEncrypted) {
  sEncrypted.clear();
  TFGInt e, n;
  Base256StringToFGInt(sPublicExponent, e);
  Base256StringToFGInt(sPublicModulus, n);
  std::string c;
  if (RSAEncrypt(sString, e, n, c) != TRSAResult::Ok) return Error(SECcRSAError);
  const size_t k = Significant(sPublicModulus).size();
  // c < n has at most k significant bytes; a zero result is the single 0x00.
  const std::string_view value = c.size() > k ? std::string_view(c).substr(c.size() - k) : c;
  sEncrypted.reserve(k);
  sEncrypted.assign(k - value.size(), '\0');
  sEncrypted += value;
  return 0;
}

int TSECep2Security::SECRSADecryptString(std::string_view sString,
                                         std::string_view sPrivateExponent,
                                         std::string_view sPrivateModulus, bool bRSAES_OAEP,
                                         std::string& sDecrypted) {
  sDecrypted.clear();
  TFGInt d, n;
  Base256StringToFGInt(sPrivateExponent, d);
  Base256StringToFGInt(sPrivateModulus, n);
  // A cryptogram is never longer than the modulus.
  if (sString.size() > Significant(sPrivateModulus).size()) return Error(SECcRSAError);
  std::string block;  // exactly the modulus length
  if (RSADecrypt(sString, d, n, block) != TRSAResult::Ok) return Error(SECcRSAError);
  // With OAEP the encoding's leading zero octet goes; without it, the zero
  // byte in front of a block one byte shorter than the modulus.
  const bool dropFirst =
      bRSAES_OAEP || static_cast<uint8_t>(Significant(sPrivateModulus)[0]) < 0x80;
  if (dropFirst && block[0] != '\0') {
    SecureWipe(block);
    return Error(bRSAES_OAEP ? SECcOAEPDecodingFailed : SECcInvalidCryptogrammBlock);
  }
  sDecrypted.assign(block, dropFirst ? 1 : 0);
  SecureWipe(block);
  return 0;
}

// --- MGF1 and OAEP ---

std::string TSECep2Security::SECI2OSP(uint32_t i) {
  return {static_cast<char>(i >> 24), static_cast<char>(i >> 16), static_cast<char>(i >> 8),
          static_cast<char>(i)};
}

std::string TSECep2Security::SECOrStrings(TSECMemo* aMemo, std::string_view s1,
                                          std::string_view s2) {
  std::string result;
  if (s1.size() == s2.size()) {
    result.assign(s1);
    for (size_t i = 0; i < result.size(); ++i) result[i] = static_cast<char>(result[i] ^ s2[i]);
  }
  if (aMemo != nullptr) {
    SECDumpTitle(aMemo, "OR-Function of Strings: ");
    SECDumpStringAndBinary(aMemo, "String 1:", s1);
    SECDumpStringAndBinary(aMemo, "String 2:", s2);
    SECDumpStringAndBinary(aMemo, "Result: ", result);
  }
  return result;
}

int TSECep2Security::SECMGF1(TSECMemo* aMemo, std::string_view s, int iLength, int iHashVariant,
                             std::string& sMasked) {
  sMasked.clear();
  const size_t hLen = HashLength(iHashVariant);
  if (iLength < 0 || static_cast<size_t>(iLength) > hLen * kMaxMaskBlocks)
    return Error(SECcInvalidOAEPParameters);
  const size_t length = static_cast<size_t>(iLength);
  if (aMemo != nullptr) {
    SECDumpTitle(aMemo, "Compute MGF Function of String " + UTHStringToHex(s) + " of length " +
                            std::to_string(iLength));
  }
  // s followed by the counter's four bytes, rewritten for each block.
  std::string input(s);
  input.append(4, '\0');
  sMasked.reserve(length + hLen);
  for (uint32_t i = 0; sMasked.size() < length; ++i) {
    const std::string counter = SECI2OSP(i);
    input.replace(s.size(), 4, counter);
    const std::string hash = SECGetHash(input, iHashVariant);
    if (aMemo != nullptr) {
      SECDumpStringAndBinary(aMemo, "Octet String of i=" + std::to_string(i) + ": ", counter);
      SECDumpStringAndBinary(aMemo, "Hash of i=" + std::to_string(i) + ": ", hash);
    }
    sMasked += hash;
  }
  sMasked.resize(length);
  SECDumpStringAndBinary(aMemo, "Masked String = ", sMasked);
  return 0;
}

int TSECep2Security::SECComputeEncodedMessage(TSECMemo* aMemo, std::string_view sMessage,
                                              std::string_view sSeed, int iHashVariant,
                                              int iModulusLength, std::string& sEncodedMessage) {
  sEncodedMessage.clear();
  const size_t hLen = HashLength(iHashVariant);
  if (aMemo != nullptr) {
    SECDumpTitle(aMemo, "Compute Encoded Message ");
    SECDumpStringAndBinary(aMemo, "Message: ", sMessage);
    SECDumpStringAndBinary(aMemo, "Seed: ", sSeed);
    OAEPHeader(aMemo, iHashVariant, iModulusLength);
  }
  if (iModulusLength < 0 || sSeed.size() != hLen ||
      static_cast<size_t>(iModulusLength) < 2 * hLen + 2 + sMessage.size())
    return Error(SECcInvalidOAEPParameters);
  const size_t k = static_cast<size_t>(iModulusLength);
  // DB = lHash || PS || 0x01 || M, k - hLen - 1 bytes.
  const std::string lHash = SECGetHash({}, iHashVariant);
  SECDumpStringAndBinary(aMemo, "Hash of empty string: ", lHash);
  std::string db = lHash;
  db.append(k - sMessage.size() - 2 * hLen - 2, '\0');
  db += '\x01';
  db += sMessage;
  SECDumpStringAndBinary(aMemo, "Data block: ", db);
  std::string dbMask, seedMask;
  int rc = SECMGF1(aMemo, sSeed, static_cast<int>(db.size()), iHashVariant, dbMask);
  if (rc != 0) return rc;
  const std::string maskedDB = SECOrStrings(aMemo, db, dbMask);
  SecureWipe(db);
  SECDumpStringAndBinary(aMemo, "Masked DB: ", maskedDB);
  rc = SECMGF1(aMemo, maskedDB, static_cast<int>(hLen), iHashVariant, seedMask);
  if (rc != 0) return rc;
  const std::string maskedSeed = SECOrStrings(aMemo, sSeed, seedMask);
  SECDumpStringAndBinary(aMemo, "Masked Seed: ", maskedSeed);
  sEncodedMessage.reserve(k - 1);
  sEncodedMessage = maskedSeed;
  sEncodedMessage += maskedDB;
  SECDumpStringAndBinary(aMemo, "Resulting Encoded Message EM: ", sEncodedMessage);
  return 0;
}

int TSECep2Security::SECComputeDecodedMessage(TSECMemo* aMemo, std::string_view sEncodedMessage,
                                              int iHashVariant, int iModulusLength,
                                              std::string& sSeed, std::string& sMessage) {
  sSeed.clear();
  sMessage.clear();
  const size_t hLen = HashLength(iHashVariant);
  if (aMemo != nullptr) {
    SECDumpTitle(aMemo, "Compute Decoded Message ");
    SECDumpStringAndBinary(aMemo, "Encodedmessage: ", sEncodedMessage);
    OAEPHeader(aMemo, iHashVariant, iModulusLength);
  }
  if (iModulusLength < 0 || static_cast<size_t>(iModulusLength) < 2 * hLen + 2)
    return Error(SECcOAEPDecodingFailed);
  const size_t k = static_cast<size_t>(iModulusLength);
  std::string_view em = sEncodedMessage;
  bool good = true;
  if (em.size() == k) {
    good = em[0] == '\0';
    em.remove_prefix(1);
  } else if (em.size() != k - 1) {
    return Error(SECcOAEPDecodingFailed);
  }
  const std::string_view maskedSeed = em.substr(0, hLen);
  const std::string_view maskedDB = em.substr(hLen);
  SECDumpStringAndBinary(aMemo, "Masked Seed: ", maskedSeed);
  SECDumpStringAndBinary(aMemo, "Masked DB: ", maskedDB);
  std::string seedMask, dbMask;
  int rc = SECMGF1(aMemo, maskedDB, static_cast<int>(hLen), iHashVariant, seedMask);
  if (rc != 0) return Error(SECcOAEPDecodingFailed);
  std::string seed = SECOrStrings(aMemo, maskedSeed, seedMask);
  SECDumpStringAndBinary(aMemo, "Seed: ", seed);
  rc = SECMGF1(aMemo, seed, static_cast<int>(maskedDB.size()), iHashVariant, dbMask);
  if (rc != 0) return Error(SECcOAEPDecodingFailed);
  std::string db = SECOrStrings(aMemo, maskedDB, dbMask);
  SECDumpStringAndBinary(aMemo, "Data block: ", db);
  const std::string lHash = SECGetHash({}, iHashVariant);
  SECDumpStringAndBinary(aMemo, "Hash of empty string: ", lHash);
  // Every check runs; one result for all of them.
  uint8_t diff = 0;
  for (size_t i = 0; i < hLen; ++i) diff |= static_cast<uint8_t>(db[i] ^ lHash[i]);
  size_t separator = 0;
  for (size_t i = hLen; i < db.size(); ++i) {
    if (separator != 0) continue;
    if (db[i] == '\x01')
      separator = i;
    else if (db[i] != '\0')
      good = false;
  }
  if (!good || diff != 0 || separator == 0) {
    SecureWipe(db);
    SecureWipe(seed);
    return Error(SECcOAEPDecodingFailed);
  }
  sMessage.assign(db, separator + 1);
  sSeed = std::move(seed);
  SecureWipe(db);
  SECDumpStringAndBinary(aMemo, "Resulting Decoded Message: ", sMessage);
  return 0;
}

// --- Session-key cryptogram ---

int TSECep2Security::SECGenerateSessionKeyCryptogramm(std::string_view sSenderID,
                                                      std::string_view sSessionKey,
                                                      std::string_view sComponentSecret,
                                                      std::string_view sPublicKeyExponent,
                                                      std::string_view sPublicKeyModulus,
                                                      std::string& sSessionKeyCryptogramm) {
  sSessionKeyCryptogramm.clear();
  if (sSessionKey.size() != SECcKeyLength && sSessionKey.size() != SECcKeyLength24)
    return Error(SECcInvalidSessionKeyLength);
  if (sComponentSecret.size() != SECcComponentSecretLength)
    return Error(SECcInvalidComponentSecretLength);
  const std::string_view modulus = Significant(sPublicKeyModulus);
  if (modulus.empty()) return Error(SECcRSAError);
  const size_t k = modulus.size();

  std::string data;
  data.reserve(std::max(k, SECcCryptogrammLengthOAEP));
  data += static_cast<char>(kBlockStart);
  if (sSenderID.size() >= SECcSenderIDLength)
    data += sSenderID.substr(sSenderID.size() - SECcSenderIDLength);
  else
    data.append(SECcSenderIDLength - sSenderID.size(), '0').append(sSenderID);
  data += sSessionKey;
  data += sComponentSecret;

  int rc = 0;
  std::string block;
  if (sSessionKey.size() == SECcKeyLength24) {
    const std::string seed = SECGetRandomNumber(static_cast<int>(SECcHashLength256));
    rc = SECComputeEncodedMessage(nullptr, data, seed, kOAEPHashVariant,
                                  static_cast<int>(std::min<size_t>(k, INT_MAX)), block);
  } else {
    // A block one byte shorter than the modulus when its first byte is below
    // 0x80, so that the block (first byte 0x7F) lies below the modulus.
    const size_t length = static_cast<uint8_t>(modulus[0]) < 0x80 ? k - 1 : k;
    if (length < SECcMinCryptogrammLength) {
      rc = Error(SECcRSAError);
    } else {
      block = std::move(data);
      block += SECGetRandomNumber(static_cast<int>(length - SECcMinCryptogrammLength));
    }
  }
  if (rc == 0)
    rc = SECRSAEncryptString(block, sPublicKeyExponent, sPublicKeyModulus, sSessionKeyCryptogramm);
  SecureWipe(data);
  SecureWipe(block);
  return rc;
}

// The parts of decrypted cryptogram data of the given layout: 0x7F, the
// identifier, the key (24 bytes with OAEP, else 16), the secret; OAEP data
// is exactly 49 bytes, a raw block at least 41.
int TSECep2Security::ReadCryptogramData(std::string_view data, bool bRSAES_OAEP,
                                        std::string& sSenderID, std::string& sSessionKey,
                                        std::string& sComponentSecret) const {
  const size_t keyLength = bRSAES_OAEP ? SECcKeyLength24 : SECcKeyLength;
  if (data.size() < SECcMinCryptogrammLength) return Error(SECcInvalidSessionCryptogrammLength);
  if (static_cast<uint8_t>(data[0]) != kBlockStart ||
      (bRSAES_OAEP && data.size() != SECcCryptogrammLengthOAEP))
    return Error(SECcInvalidCryptogrammBlock);
  sSenderID = data.substr(1, SECcSenderIDLength);
  sSessionKey = data.substr(1 + SECcSenderIDLength, keyLength);
  sComponentSecret = data.substr(1 + SECcSenderIDLength + keyLength, SECcComponentSecretLength);
  return 0;
}

int TSECep2Security::DecryptCryptogram(std::string_view sSessionKeyCryptogramm,
                                       std::string_view sPrivateKeyExponent,
                                       std::string_view sPrivateKeyModulus, bool bRSAES_OAEP,
                                       std::string& sSenderID, std::string& sSessionKey,
                                       std::string& sComponentSecret,
                                       std::string& sDecryptedSessionKeyCryptogramm,
                                       std::string& sBlock) {
  sSenderID.clear();
  sSessionKey.clear();
  sComponentSecret.clear();
  sDecryptedSessionKeyCryptogramm.clear();
  SecureWipe(SECsSessionKeyCryptogramm);
  return SECRSADecryptString(sSessionKeyCryptogramm, sPrivateKeyExponent, sPrivateKeyModulus,
                             bRSAES_OAEP, sBlock);
}

int TSECep2Security::DecodeCryptogramBlock(std::string_view sEncodedMessage, size_t k,
                                           std::string& sData) {
  std::string seed;
  const int rc =
      SECComputeDecodedMessage(nullptr, sEncodedMessage, kOAEPHashVariant,
                               static_cast<int>(std::min<size_t>(k, INT_MAX)), seed, sData);
  SecureWipe(seed);
  return rc;
}

int TSECep2Security::TakeCryptogramData(std::string& sData, bool bRSAES_OAEP,
                                        std::string& sSenderID, std::string& sSessionKey,
                                        std::string& sComponentSecret,
                                        std::string& sDecryptedSessionKeyCryptogramm) {
  SECsSessionKeyCryptogramm = sData;
  sDecryptedSessionKeyCryptogramm = sData;
  const int rc = ReadCryptogramData(sData, bRSAES_OAEP, sSenderID, sSessionKey, sComponentSecret);
  SecureWipe(sData);
  return rc;
}

int TSECep2Security::SECParseSessionKeyCryptogramm(std::string_view sSessionKeyCryptogramm,
                                                   std::string_view sPrivateKeyExponent,
                                                   std::string_view sPrivateKeyModulus,
                                                   bool bRSAES_OAEP, std::string& sSenderID,
                                                   std::string& sSessionKey,
                                                   std::string& sComponentSecret,
                                                   std::string& sDecryptedSessionKeyCryptogramm) {
  std::string data;
  int rc = DecryptCryptogram(sSessionKeyCryptogramm, sPrivateKeyExponent, sPrivateKeyModulus,
                             bRSAES_OAEP, sSenderID, sSessionKey, sComponentSecret,
                             sDecryptedSessionKeyCryptogramm, data);
  if (rc != 0) return rc;
  if (bRSAES_OAEP) {
    std::string em = std::move(data);
    rc = DecodeCryptogramBlock(em, Significant(sPrivateKeyModulus).size(), data);
    SecureWipe(em);
    if (rc != 0) return rc;
  }
  return TakeCryptogramData(data, bRSAES_OAEP, sSenderID, sSessionKey, sComponentSecret,
                            sDecryptedSessionKeyCryptogramm);
}

int TSECep2Security::SECOpenSessionKeyCryptogramm(std::string_view sSessionKeyCryptogramm,
                                                  std::string_view sPrivateKeyExponent,
                                                  std::string_view sPrivateKeyModulus,
                                                  std::string& sSenderID, std::string& sSessionKey,
                                                  std::string& sComponentSecret,
                                                  std::string& sDecryptedSessionKeyCryptogramm) {
  // One RSA step gives the whole block; the layouts are then tried on it.
  std::string block;
  const int rc = DecryptCryptogram(sSessionKeyCryptogramm, sPrivateKeyExponent, sPrivateKeyModulus,
                                   false, sSenderID, sSessionKey, sComponentSecret,
                                   sDecryptedSessionKeyCryptogramm, block);
  if (rc != 0) return rc;
  const size_t k = Significant(sPrivateKeyModulus).size();
  // SECRSADecryptString drops the leading zero byte below a modulus whose
  // first byte is under 0x80; the OAEP encoding wants it back.
  std::string em;
  if (block.size() + 1 == k) em.assign(1, '\0');
  em += block;

  std::string data;
  bool oaep = false;
  if (DecodeCryptogramBlock(em, k, data) == 0 && data.size() == SECcCryptogrammLengthOAEP &&
      static_cast<uint8_t>(data[0]) == kBlockStart) {
    oaep = true;
  } else {
    // The raw block as the writer makes it: k - 1 bytes below a modulus
    // whose first byte is under 0x80, else k bytes, starting with 0x7F.
    SecureWipe(data);
    data = block;
  }
  SecureWipe(em);
  SecureWipe(block);
  return TakeCryptogramData(data, oaep, sSenderID, sSessionKey, sComponentSecret,
                            sDecryptedSessionKeyCryptogramm);
}

}  // namespace kal
