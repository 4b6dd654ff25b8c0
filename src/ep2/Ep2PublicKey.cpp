#include "ep2/Ep2PublicKey.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ep2/Ep2Security.h"
#include "platform/AtomicFile.h"
#include "support/CompressedNumeric.h"
#include "support/HexUtilities.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"

namespace kal {

namespace {

using TKey = TEp2PublicKey;

// Key files hold one line; anything far larger is no key file.
constexpr size_t kMaxKeyFileBytes = 1u << 20;
constexpr size_t kOwnerIdDigits = 10;
constexpr size_t kExpDateDigits = 4;
constexpr int kSha1 = 1;
constexpr int kSha256 = 2;

bool IsDigits(std::string_view text, size_t count) {
  return text.size() == count &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The bytes of hex text, blanks skipped, up to the first character that is
// no hex digit (an odd digit at the end is dropped).
std::string HexPrefixToBytes(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    if (!UTHIsHexChar(c)) break;
    digits += c;
  }
  return UTHHexToString(digits);
}

// Compact hex of an even number of digits, blanks removed, else false.
bool HexField(std::string_view text, std::string& bytes) {
  const std::string compact = STRRemoveBlanks(text);
  if (compact.empty() || compact.size() % 2 != 0 || !UTHIsHexString(compact)) return false;
  bytes = UTHHexToString(compact);
  return true;
}

int Fail(int code, const char* text, std::string& sText) {
  sText = text;
  return code;
}

// The record bytes not read yet.
class TRecordCursor {
 public:
  explicit TRecordCursor(std::string_view bytes) : all_(bytes) {}
  bool Take(size_t n, std::string_view& out) {
    if (n > all_.size() - pos_) return false;
    out = all_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool TakeNumber(size_t n, int32_t& value) {
    std::string_view bytes;
    if (!Take(n, bytes)) return false;
    value = 0;
    for (char c : bytes) value = value << 8 | static_cast<uint8_t>(c);
    return true;
  }
  std::string_view Read() const { return all_.substr(0, pos_); }

 private:
  std::string_view all_;
  size_t pos_ = 0;
};

std::string Expand(std::string_view packed) {
  std::string digits;
  (void)TUTCompressedNumeric(0).UTCExpandCompNumericString(packed, digits);
  return digits;
}

}  // namespace

int TEp2PublicKey::ComputeFormattedKey(std::string& sPublicKeyData, std::string& sText) {
  sPublicKeyData.clear();
  HashResult.clear();  // a record that cannot be built has no hash
  const TUTCompressedNumeric cn(0);
  std::string record, packed;
  const std::string ownerId = STRRemoveBlanks(PublicKeyOwnerId);
  if (!IsDigits(ownerId, kOwnerIdDigits) || cn.UTCCompressNumericString(ownerId, packed) != 0)
    return Fail(TKey::cOwnerId, "Incorrect public key owner identifier", sText);
  record += packed;
  if (PublicKeyIndex < 0 || PublicKeyIndex > 0xFF)
    return Fail(TKey::cIndex, "Incorrect public key index", sText);
  record += static_cast<char>(PublicKeyIndex);
  if (!IsDigits(PublicKeyExpDate, kExpDateDigits) ||
      cn.UTCCompressNumericString(PublicKeyExpDate, packed) != 0)
    return Fail(TKey::cExpDate, "Incorrect public key expiration date", sText);
  record += packed;
  if (HashAlgorithmIndicator != kSha1 && HashAlgorithmIndicator != kSha256)
    return Fail(TKey::cHashVerification, "Hash algorithm indicator not 1 or 2, hash not set",
                sText);
  record += static_cast<char>(HashAlgorithmIndicator);
  if (PublicKeyAlgorithmIndicator < 0 || PublicKeyAlgorithmIndicator > 0xFF)
    return Fail(TKey::cKeyAlgorithmIndicator, "Incorrect public key algorithm indicator", sText);
  record += static_cast<char>(PublicKeyAlgorithmIndicator);

  std::string modulus, exponent;
  if (!HexField(PublicKeyModulus, modulus))
    return Fail(TKey::cModulus, "Incorrect public key modulus", sText);
  if (!HexField(PublicKeyExponent, exponent))
    return Fail(TKey::cExponent, "Incorrect public key exponent", sText);
  const bool twoByteLength = HashAlgorithmIndicator != kSha1;
  if (modulus.size() > (twoByteLength ? 0xFFFFu : 0xFFu))
    return Fail(TKey::cModulusLength, "Incorrect public modulus length", sText);
  if (exponent.size() > 0xFF)
    return Fail(TKey::cExponentLength, "Incorrect public key exponent length", sText);
  PublicKeyModulusLength = static_cast<int32_t>(modulus.size());
  PublicKeyExponentLength = static_cast<int32_t>(exponent.size());
  if (twoByteLength) record += static_cast<char>(modulus.size() >> 8);
  record += static_cast<char>(modulus.size() & 0xFF);
  record += static_cast<char>(exponent.size());
  record += modulus;
  record += exponent;

  const std::string hash = TSECep2Security::SECGetHash(record, HashAlgorithmIndicator);
  HashResult = UTHStringToHex(hash);
  sPublicKeyData = UTHStringToCompactHex(record + hash);
  return 0;
}

int TEp2PublicKey::ParsePublicKeyData(std::string_view sPublicKeyData, std::string& sText) {
  const std::string bytes = HexPrefixToBytes(sPublicKeyData);
  TRecordCursor cursor(bytes);
  std::string_view field;

  if (!cursor.Take(5, field))
    return Fail(TKey::cOwnerId, "Incorrect public key owner identifier", sText);
  PublicKeyOwnerId = Expand(field);
  if (!IsDigits(PublicKeyOwnerId, kOwnerIdDigits))
    return Fail(TKey::cOwnerIdDigits,
                "Incorrect public key owner identifier (compressed numeric conversion failed)",
                sText);
  if (!cursor.TakeNumber(1, PublicKeyIndex))
    return Fail(TKey::cIndex, "Incorrect public key index", sText);
  if (!cursor.Take(2, field))
    return Fail(TKey::cExpDate, "Incorrect public key expiration date", sText);
  PublicKeyExpDate = Expand(field);
  if (!IsDigits(PublicKeyExpDate, kExpDateDigits))
    return Fail(TKey::cExpDateDigits,
                "Incorrect public key expiration date (compressed numeric conversion failed)",
                sText);
  if (!cursor.TakeNumber(1, HashAlgorithmIndicator))
    return Fail(TKey::cHashIndicator, "Incorrect hash algorithm indicator", sText);
  if (!cursor.TakeNumber(1, PublicKeyAlgorithmIndicator))
    return Fail(TKey::cKeyAlgorithmIndicator, "Incorrect public key algorithm indicator", sText);
  if (!cursor.TakeNumber(HashAlgorithmIndicator > kSha1 ? 2 : 1, PublicKeyModulusLength) ||
      PublicKeyModulusLength == 0)
    return Fail(TKey::cModulusLength, "Incorrect public modulus length", sText);
  if (!cursor.TakeNumber(1, PublicKeyExponentLength) || PublicKeyExponentLength == 0)
    return Fail(TKey::cExponentLength, "Incorrect public key exponent length", sText);
  if (!cursor.Take(static_cast<size_t>(PublicKeyModulusLength), field))
    return Fail(TKey::cModulus, "Incorrect public key modulus", sText);
  PublicKeyModulus = UTHStringToHex(field);
  if (!cursor.Take(static_cast<size_t>(PublicKeyExponentLength), field))
    return Fail(TKey::cExponent, "Incorrect public key exponent", sText);
  PublicKeyExponent = UTHStringToHex(field);

  const std::string_view covered = cursor.Read();
  if (!cursor.Take(HashAlgorithmIndicator == kSha1 ? 20 : 32, field))
    return Fail(TKey::cHash, "Incorrect hash result", sText);
  HashResult = UTHStringToHex(field);
  ComputedHashResult.clear();
  if (HashAlgorithmIndicator != kSha1 && HashAlgorithmIndicator != kSha256)
    return Fail(TKey::cHashVerification, "Hash algorithm indicator not 1 or 2, hash not verified",
                sText);
  const std::string computed = TSECep2Security::SECGetHash(covered, HashAlgorithmIndicator);
  ComputedHashResult = UTHStringToHex(computed);
  if (computed != field) return Fail(TKey::cHashVerification, "Hash verification failed", sText);
  return 0;
}

int TEp2PublicKey::FindKeyLine(std::string& sPublicKeyData) const {
  sPublicKeyData.clear();
  std::string text;
  if (!PLTReadFile(FileName, text, kMaxKeyFileBytes)) return cAborted;
  TTextLineReader reader(text);
  std::string line;
  while (reader.ReadLine(line)) {
    const std::string compact = STRRemoveBlanks(line);
    if (!compact.empty() && UTHIsHexString(compact)) {
      sPublicKeyData = compact;
      return 0;
    }
  }
  return cAborted;
}

int TEp2PublicKey::ImportFile(std::string& sPublicKeyData, std::string& sText) {
  sPublicKeyData.clear();
  sText = "Import successfully completed!";
  if (ShowFileDialog) {
    std::string name = FileName;
    const std::string folder = std::filesystem::path(FileName).parent_path().string();
    if (chooser_ == nullptr || !chooser_->ChooseOpenFile(folder, name))
      return Fail(cAborted, "Import aborted during file dialog", sText);
    FileName = name;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FileName, ec)) {
    sText = "File " + FileName + " does not exist";
    return cFileError;
  }
  if (FindKeyLine(sPublicKeyData) != 0) return Fail(cAborted, "No key found", sText);
  return ParsePublicKeyData(sPublicKeyData, sText);
}

int TEp2PublicKey::ExportFile(std::string& sPublicKeyData, std::string& sText) {
  sPublicKeyData.clear();
  sText = "Export successfully completed!";
  if (ShowFileDialog) {
    std::string name = FileName;
    const std::string folder = std::filesystem::path(FileName).parent_path().string();
    if (chooser_ == nullptr || !chooser_->ChooseSaveFile(folder, name))
      return Fail(cAborted, "Export aborted during file dialog", sText);
    FileName = name;
  }
  if (const int rc = ComputeFormattedKey(sPublicKeyData, sText); rc != 0) return rc;
  if (!PLTWriteFileAtomically(FileName, sPublicKeyData + "\r\n")) {
    sText = "File " + FileName + " could not be written";
    return cFileError;
  }
  return 0;
}

}  // namespace kal
