#pragma once

// TSECep2Security: the cryptography of the ep2 protocol over byte strings
// (std::string of raw bytes): the random generator and session keys, the six
// session-key variants, hashes, the retail MAC, Triple-DES encryption of
// strings, PIN blocks of formats 2 and 3, RSA, the OAEP encoding with MGF1,
// and the session-key cryptogram (SessionKeyCryptogram.cpp).
//
// Results are codes: 0 for success, otherwise the error base given at
// construction plus an offset below (texts in the error-code table for the
// base 4000), or the plain code 7. Outputs of a failed operation are empty.
// Operations that take a memo append their steps to it (the step trace) when
// it is not null.
//
// An object is used by one thread at a time; it keeps the random pool, the
// generator's counter and the last decrypted session-key cryptogram, all of
// which are wiped on destruction.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ep2/RandomSource.h"
#include "support/Des.h"
#include "support/SecureWipe.h"

namespace kal {

// The lines of a step trace.
using TSECMemo = std::vector<std::string>;

// The DES key schedules of one retail-MAC key: K1, K2 and K3 (K1 serves as
// K3 when they are equal). A session key's MAC variant serves many
// messages, so the schedules are kept while the key stays the same.
struct TSECRetailMacKeys {
  std::string key;  // the 16 or 24 bytes they were built from; empty when none
  TDES k1, k2, k3;
  ~TSECRetailMacKeys() { SecureWipe(key); }
};

class TSECep2Security final {
 public:
  // Session-key variants and the 16-bit words that make their XOR masks.
  static constexpr int SECcSessionKeyVariantTC = 0;
  static constexpr int SECcSessionKeyVariantMACSend = 1;
  static constexpr int SECcSessionKeyVariantMACRec = 2;
  static constexpr int SECcSessionKeyVariantEncryption = 3;  // PAN and track data
  static constexpr int SECcSessionKeyVariantPIN = 4;         // PIN block
  static constexpr int SECcSessionKeyVariantKeyEnc = 5;      // receipt PAN
  static constexpr uint16_t SECcOrConstantTC = 0x7184;
  static constexpr uint16_t SECcOrConstantMACSend = 0xEB5A;
  static constexpr uint16_t SECcOrConstantMACRec = 0x9309;
  static constexpr uint16_t SECcOrConstantEncryption = 0x0C7E;
  static constexpr uint16_t SECcOrConstantPIN = 0xC5B1;
  static constexpr uint16_t SECcOrConstantKey = 0x3FE7;

  // Lengths in bytes (PIN lengths in digits).
  static constexpr size_t SECcDESBlocklength = 8;
  static constexpr size_t SECcPINBlockLength = 8;
  static constexpr size_t SECcKeyLength = 16;
  static constexpr size_t SECcKeyLength24 = 24;
  static constexpr size_t SECcHashLength256 = 32;
  static constexpr int SECcMinPINLength = 4;
  static constexpr int SECcMaxPINLength = 12;
  // A PIN block holds 16 digits: control, length and at most 14 PIN digits.
  static constexpr size_t SECcMaxPINBlockDigits = 14;
  // Cleaned PAN digits a format-3 PIN block needs when built and when read.
  static constexpr size_t SECcMinPANDigitsToBuild = 13;
  static constexpr size_t SECcMinPANDigitsToRead = 12;
  static constexpr uint8_t SECcPaddingChar = 0x80;
  static constexpr size_t SECcMinCryptogrammLength = 41;   // 0x7F, identifier, 16-byte key, secret
  static constexpr size_t SECcCryptogrammLengthOAEP = 49;  // the same with a 24-byte key
  static constexpr size_t SECcSenderIDLength = 8;
  static constexpr size_t SECcComponentSecretLength = 16;
  static constexpr size_t SECcMaxEncryptLength = 248;  // padded text of a string encryption

  // Offsets added to the error base.
  static constexpr int SECcInvalidSessionKeyVariant = 1;
  static constexpr int SECcInvalidSessionKeyLength = 2;  // also: cryptogram with such a key
  static constexpr int SECcInvalidSessionKeyLengthPIN = 3;
  static constexpr int SECcInvalidMACKeyLength = 4;
  static constexpr int SECcInvalidSessionCryptogrammLength = 5;  // decrypted data below 41 bytes
  static constexpr int SECcInvalidReceivedPINBlockLength = 6;
  static constexpr int SECcInvalidReceivedPINLength = 7;
  static constexpr int SECcInvalidReceivedSessionKeyLengthPIN = 8;
  static constexpr int SECcInvalidReceiveSessionKeyLength = 9;
  static constexpr int SECcInvalidReceiveStringLength = 10;
  // Format 3: the cleaned PAN has fewer than 13 digits (building) or 12
  // (reading), or a character that is no decimal digit among the 12 it
  // gives the PIN block.
  static constexpr int SECcInvalidPANForPINBlock = 12;
  // Mandatory padding expected, but the plaintext does not end in 0x80 and
  // at most seven 0x00 bytes.
  static constexpr int SECcPaddingNotFound = 13;
  // OAEP and MGF1: the message does not fit the modulus, the seed is not one
  // hash long, or a mask would need a counter above 65535.
  static constexpr int SECcInvalidOAEPParameters = 14;
  // OAEP decoding failed (any cause: one code, so that a peer learns nothing
  // about which check failed).
  static constexpr int SECcOAEPDecodingFailed = 15;
  // The decrypted cryptogram is not a block of the expected form.
  static constexpr int SECcInvalidCryptogrammBlock = 16;
  // Building a cryptogram: the component secret is not 16 bytes.
  static constexpr int SECcInvalidComponentSecretLength = 17;
  // RSA refused the key or the value (modulus even, zero or one; exponent
  // zero; value not below the modulus; a cryptogram longer than the modulus;
  // a modulus too short for a cryptogram block).
  static constexpr int SECcRSAError = 18;
  // Compressed-numeric converter bases of PIN block generation and PIN
  // decryption (their offsets 6 and 7 give base + 56, 57, 66, 67).
  static constexpr int SECcPINBlockErrors = 50;
  static constexpr int SECcReceivedPINBlockErrors = 60;
  // Plain code: the padded text of a string encryption exceeds 248 bytes.
  static constexpr int SECcValueTooLongForEncryption = 7;

  // Draws random bytes from the operating system.
  explicit TSECep2Security(int iBase);
  // Draws random bytes from `source` (not owned; must outlive the object).
  TSECep2Security(int iBase, ISECRandomSource& source);
  ~TSECep2Security();
  TSECep2Security(const TSECep2Security&) = delete;
  TSECep2Security& operator=(const TSECep2Security&) = delete;

  int SECGetErrorBase() const { return SECiErrorBase; }

  // --- Random generator ---

  // Counter := -1 and a fresh pool.
  void SECInitRandomgenerator();
  // n random bytes (none for n <= 0): a fresh pool of 32 bytes from the
  // random source, then SHA-1 digests of the counter's decimal text followed
  // by the pool, the counter going up by one before each (from 2147483647 it
  // wraps to 0).
  std::string SECGetRandomNumber(int iLength);
  std::string SECGenerateSessionKey(int iLength) { return SECGetRandomNumber(iLength); }

  // --- Key variants ---

  // Dispatches on the key length (16 or 24 bytes, else base + 2).
  [[nodiscard]] int SECGenerateSessionKeyVariant(int iVariant, std::string_view sSessionKey,
                                                 TSECMemo* aMemo, std::string& sSessionKeyVariant);
  // The key XOR the variant's mask; base + 1 for a variant outside 0-5, base
  // + 2 for a key that is not 16 bytes.
  [[nodiscard]] int SECGenerateSessionKeyVariant16(int iVariant, std::string_view sSessionKey,
                                                   TSECMemo* aMemo,
                                                   std::string& sSessionKeyVariant);
  // R1 = E(C), R2 = E(R1 XOR C), R3 = E(R2 XOR C) with C the first 8 bytes of
  // the mask and E Triple-DES under the 24-byte key; the variant is
  // R1 || R2 || R3. Base + 1 or base + 2 as above.
  [[nodiscard]] int SECGenerateSessionKeyVariant24(int iVariant, std::string_view sSessionKey,
                                                   TSECMemo* aMemo,
                                                   std::string& sSessionKeyVariant);

  // --- Hash, MAC, Triple DES ---

  // Algorithm 1: the 20-byte SHA-1 digest; any other: the 32-byte SHA-256
  // digest.
  static std::string SECGetHash(std::string_view sString, int iHashAlgorithm);

  // ISO/IEC 9797-1 MAC algorithm 3 with padding method 2 (retail MAC) under
  // a 16- or 24-byte key (else base + 4); 8 bytes.
  [[nodiscard]] int SECComputeMac(std::string_view sKey, std::string_view sText, TSECMemo* aMemo,
                                  std::string& sMac);

  // Triple-DES EDE in outer-CBC mode with a zero IV under a 16- or 24-byte
  // key (else base + 2). The text is padded with 0x80 and 0x00 bytes to a
  // multiple of 8 when bMandatoryPadding is set or its length is not a
  // multiple of 8; a padded text above 248 bytes gives the plain code 7.
  [[nodiscard]] int SECDESEncryptString(std::string_view sString,
                                        std::string_view sSessionKeyVariant, bool bMandatoryPadding,
                                        TSECMemo* aMemo, std::string& sEncryptedString);
  // The inverse: base + 9 for a key that is not 16 or 24 bytes, base + 10 for
  // a length that is not a multiple of 8 (an empty text gives an empty result).
  // With bMandatoryPadding the padding (0x80 followed by at most seven 0x00
  // bytes) is removed, base + 13 when there is none.
  [[nodiscard]] int SECDESDecryptString(std::string_view sEncryptedString,
                                        std::string_view sSessionKeyVariant, bool bMandatoryPadding,
                                        TSECMemo* aMemo, std::string& sString);

  // ANSI X9.19: DES-CBC under K1 (zero IV) over the text, a partial last
  // block filled with 0x00, then the last block deciphered under K2 and
  // enciphered under K3; 8 bytes (for one block: Triple-DES EDE of it). Empty
  // for an empty text or a key that is not 8 bytes.
  static std::string SECTrippleDESEncrypt(std::string_view sKey1, std::string_view sKey2,
                                          std::string_view sKey3, std::string_view sEncodeString);
  // D_K1(E_K2(D_K3(block))) of one 8-byte block; empty for any other length
  // or a key that is not 8 bytes.
  static std::string SECPINDecrypt(std::string_view sKey1, std::string_view sKey2,
                                   std::string_view sKey3, std::string_view sDecodeString);

  // --- PIN blocks ---

  // The encrypted PIN block of format 3 (iBlock 3: fill digits random from
  // A-F, XORed with the PAN field) or format 2 (any other iBlock: fill
  // digits F). Errors: base + 57 for a PIN of more than 14 digits, base + 56
  // for a PIN character that is no decimal digit, base + 12 for a PAN of
  // fewer than 13 digits or otherwise unusable (format 3), base + 3 for a
  // key that is not 16 or 24 bytes. No block on an error.
  [[nodiscard]] int SECGenerateEncryptedPINBlock(std::string_view sPin,
                                                 std::string_view sPANorTrack2,
                                                 std::string_view sSessionKeyVariantPIN, int iBlock,
                                                 std::string& sEncryptedPinBlock);
  // The PIN digits of an encrypted block. An empty block gives an empty PIN
  // and 0. Errors: base + 6 for a block that is not 8 bytes, base + 8 for a
  // key that is not 16 or 24 bytes, base + 12 for an unusable PAN (format 3),
  // base + 57 for a PIN length above 14, base + 7 for one outside 4-12.
  [[nodiscard]] int SECGenerateDecryptedPIN(std::string_view sEncryptedPinBlock,
                                            std::string_view sPANOrTrack2,
                                            std::string_view sSessionKeyVariantPIN, int iBlock,
                                            std::string& sPin);

  // --- RSA and OAEP (SessionKeyCryptogram.cpp) ---

  // s^e mod n, written in the modulus length (the modulus' byte count
  // without leading zero bytes). Exponent and modulus are big-endian bytes.
  // Base + 18 when RSA refuses key or value.
  [[nodiscard]] int SECRSAEncryptString(std::string_view sString, std::string_view sPublicExponent,
                                        std::string_view sPublicModulus, std::string& sEncrypted);
  // s^d mod n (no Chinese-remainder shortcut), taken as exactly k bytes, k
  // the modulus length; base + 18 when RSA refuses key or value or s is
  // longer than k bytes. With bRSAES_OAEP the first byte must be 0x00 and the
  // k - 1 bytes behind it are the result (the encoded message as
  // SECComputeEncodedMessage gives it), else base + 15. Without it the
  // result is the block of the length a cryptogram of this modulus has: k
  // bytes when the modulus' first byte is 0x80 or more, else k - 1 bytes
  // behind a 0x00 byte (base + 16 when that byte is not 0x00).
  [[nodiscard]] int SECRSADecryptString(std::string_view sString, std::string_view sPrivateExponent,
                                        std::string_view sPrivateModulus, bool bRSAES_OAEP,
                                        std::string& sDecrypted);

  // MGF1 with hash variant 1 (SHA-1) or any other (SHA-256): iLength bytes
  // of Hash(s || I2OSP(0)) || Hash(s || I2OSP(1)) || ... Base + 14 for a
  // negative length or one that needs a counter above 65535.
  [[nodiscard]] int SECMGF1(TSECMemo* aMemo, std::string_view s, int iLength, int iHashVariant,
                            std::string& sMasked);
  // The 4-byte big-endian form of i.
  static std::string SECI2OSP(uint32_t i);
  // The bytewise XOR of two strings of equal length (empty when the lengths
  // differ).
  static std::string SECOrStrings(TSECMemo* aMemo, std::string_view s1, std::string_view s2);
  // RSAES-OAEP encoding (PKCS #1 v2.1, empty label) of a message with the
  // given seed for a modulus of iModulusLength (k) bytes: maskedSeed ||
  // maskedDB, k - 1 bytes (the leading 0x00 octet of the standard encoding
  // is left out; as an integer the value is the same). Base + 14 when the
  // message is longer than k - 2 * hLen - 2 or the seed is not hLen bytes.
  [[nodiscard]] int SECComputeEncodedMessage(TSECMemo* aMemo, std::string_view sMessage,
                                             std::string_view sSeed, int iHashVariant,
                                             int iModulusLength, std::string& sEncodedMessage);
  // The inverse. The encoded message has k - 1 bytes, or k bytes of which
  // the first is 0x00. The label hash, the zero bytes and the 0x01 separator
  // are checked; any mismatch gives base + 15.
  [[nodiscard]] int SECComputeDecodedMessage(TSECMemo* aMemo, std::string_view sEncodedMessage,
                                             int iHashVariant, int iModulusLength,
                                             std::string& sSeed, std::string& sMessage);

  // --- Session-key cryptogram (SessionKeyCryptogram.cpp) ---

  // The RSA cryptogram, in the modulus length, of 0x7F || sender identifier
  // (its last 8 characters, or left-padded with "0" to 8) || session key ||
  // component secret: a 16-byte key with random filling up to the block
  // length, a 24-byte key OAEP-encoded with SHA-256 and a fresh random seed.
  // Base + 2 for a session key that is not 16 or 24 bytes, base + 17 for a
  // component secret that is not 16 bytes, base + 14 or base + 18 when the
  // modulus is too short for the data or RSA refuses the key.
  [[nodiscard]] int SECGenerateSessionKeyCryptogramm(std::string_view sSenderID,
                                                     std::string_view sSessionKey,
                                                     std::string_view sComponentSecret,
                                                     std::string_view sPublicKeyExponent,
                                                     std::string_view sPublicKeyModulus,
                                                     std::string& sSessionKeyCryptogramm);
  // Opens a cryptogram with the private key; bRSAES_OAEP selects the 24-byte
  // key form. The decrypted data (the OAEP message, or the block) is kept as
  // SECSessionKeyCryptogramm() and returned in
  // sDecryptedSessionKeyCryptogramm. Errors: base + 18 (RSA), base + 15 (OAEP
  // decoding), base + 5 (data below 41 bytes), base + 16 (data not starting
  // with 0x7F, or OAEP data that is not 49 bytes).
  [[nodiscard]] int SECParseSessionKeyCryptogramm(std::string_view sSessionKeyCryptogramm,
                                                  std::string_view sPrivateKeyExponent,
                                                  std::string_view sPrivateKeyModulus,
                                                  bool bRSAES_OAEP, std::string& sSenderID,
                                                  std::string& sSessionKey,
                                                  std::string& sComponentSecret,
                                                  std::string& sDecryptedSessionKeyCryptogramm);
  // Opens a cryptogram of either layout: the strict OAEP decoding (49 bytes
  // of data behind it) first, then the strict raw block. Errors as
  // SECParseSessionKeyCryptogramm; the raw layout's when neither fits.
  [[nodiscard]] int SECOpenSessionKeyCryptogramm(std::string_view sSessionKeyCryptogramm,
                                                 std::string_view sPrivateKeyExponent,
                                                 std::string_view sPrivateKeyModulus,
                                                 std::string& sSenderID, std::string& sSessionKey,
                                                 std::string& sComponentSecret,
                                                 std::string& sDecryptedSessionKeyCryptogramm);
  const std::string& SECSessionKeyCryptogramm() const { return SECsSessionKeyCryptogramm; }

  // --- Step trace ---

  // Appends the text as one line.
  static void SECDumpString(TSECMemo* aMemo, std::string_view sString);
  // Appends label + the spaced upper-case hex of the bytes, then
  // "bin {" + the decimal byte values separated by ", " + "}" (a value that
  // would take the line past 100 characters starts a new line, and the blank
  // in front of it is left out), then an empty line.
  static void SECDumpStringAndBinary(TSECMemo* aMemo, std::string_view sLabel,
                                     std::string_view sString);
  static void SECDumpBufferAndBinary(TSECMemo* aMemo, std::string_view sLabel,
                                     const uint8_t* aBuffer, size_t count);

 private:
  int Error(int offset) const { return SECiErrorBase + offset; }
  // The parts of decrypted cryptogram data of one layout.
  [[nodiscard]] int ReadCryptogramData(std::string_view data, bool bRSAES_OAEP,
                                       std::string& sSenderID, std::string& sSessionKey,
                                       std::string& sComponentSecret) const;
  // The opening of the cryptogram readers: clears the outputs and the kept
  // decrypted data, then decrypts the cryptogram with one RSA step.
  [[nodiscard]] int DecryptCryptogram(std::string_view sSessionKeyCryptogramm,
                                      std::string_view sPrivateKeyExponent,
                                      std::string_view sPrivateKeyModulus, bool bRSAES_OAEP,
                                      std::string& sSenderID, std::string& sSessionKey,
                                      std::string& sComponentSecret,
                                      std::string& sDecryptedSessionKeyCryptogramm,
                                      std::string& sBlock);
  // The OAEP decoding of a cryptogram block under a modulus of k bytes; the
  // seed is wiped.
  [[nodiscard]] int DecodeCryptogramBlock(std::string_view sEncodedMessage, size_t k,
                                          std::string& sData);
  // The closing of the cryptogram readers: keeps the decrypted data, reads
  // the parts of its layout and wipes it.
  [[nodiscard]] int TakeCryptogramData(std::string& sData, bool bRSAES_OAEP, std::string& sSenderID,
                                       std::string& sSessionKey, std::string& sComponentSecret,
                                       std::string& sDecryptedSessionKeyCryptogramm);
  // A banner of "=" characters and the operation's title.
  static void SECDumpTitle(TSECMemo* aMemo, std::string_view sTitle);

  int SECiErrorBase;
  ISECRandomSource& SECaRandomSource;
  std::string SECsRandomPool;
  int32_t SECiRandomPoolCounter = 0;
  std::string SECsSessionKeyCryptogramm;
  TSECRetailMacKeys SECaMacKeys;
  // The last variant made of a 24-byte key, per variant, with that key: the
  // messages of a run are made under one key (made without a memo only).
  struct TVariantOfKey {
    std::string key, variant;
  };
  std::array<TVariantOfKey, 6> SECaVariants;
};

}  // namespace kal
