#pragma once

// TEp2PublicKey: an ep2 RSA public key as a formatted record, and key files
// holding that record as one line of upper-case hex digits. The record:
//
//   owner identifier         5   compressed numeric, 10 digits
//   public key index         1
//   expiry date              2   compressed numeric, 4 digits
//   hash algorithm indicator 1   1 SHA-1, 2 SHA-256
//   key algorithm indicator  1
//   modulus length           1, or 2 (big-endian) when the hash indicator
//                                is above 1
//   exponent length          1
//   modulus, exponent
//   hash                     20 (indicator 1) or 32: over every byte before
//
// Results are 0 or a code; sText then gets the text for the user (and keeps
// what it held on success). Codes 100 to 112 name the field that is wrong;
// file operations give 1 or 2.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// The file dialogs of import and export, which the GUI implements. Each
// starts in sFolder with sFileName proposed and returns false when the user
// cancels; sFileName then receives the choice.
class IEp2PublicKeyFileChooser {
 public:
  virtual ~IEp2PublicKeyFileChooser() = default;
  virtual bool ChooseOpenFile(const std::string& sFolder, std::string& sFileName) = 0;
  virtual bool ChooseSaveFile(const std::string& sFolder, std::string& sFileName) = 0;
};

class TEp2PublicKey final {
 public:
  // Results of the record (they carry no error base).
  static constexpr int cOwnerId = 100;
  static constexpr int cOwnerIdDigits = 101;
  static constexpr int cIndex = 102;
  static constexpr int cExpDate = 103;
  static constexpr int cExpDateDigits = 104;
  static constexpr int cHashIndicator = 105;
  static constexpr int cKeyAlgorithmIndicator = 106;
  static constexpr int cModulusLength = 107;
  static constexpr int cExponentLength = 108;
  static constexpr int cModulus = 109;
  static constexpr int cExponent = 110;
  static constexpr int cHash = 111;
  static constexpr int cHashVerification = 112;  // also: indicator not 1 or 2
  // Results of the files.
  static constexpr int cAborted = 1;  // dialog cancelled, or no key line
  static constexpr int cFileError = 2;

  // File dialogs go through `chooser` (not owned; may be null, which
  // counts as cancelling every dialog).
  explicit TEp2PublicKey(IEp2PublicKeyFileChooser* chooser = nullptr) : chooser_(chooser) {}

  const std::string& GetPublicKeyOwnerId() const { return PublicKeyOwnerId; }
  void SetPublicKeyOwnerId(std::string_view v) { PublicKeyOwnerId = v; }
  int32_t GetPublicKeyIndex() const { return PublicKeyIndex; }
  void SetPublicKeyIndex(int32_t v) { PublicKeyIndex = v; }
  const std::string& GetPublicKeyExpDate() const { return PublicKeyExpDate; }
  void SetPublicKeyExpDate(std::string_view v) { PublicKeyExpDate = v; }
  int32_t GetHashAlgorithmIndicator() const { return HashAlgorithmIndicator; }
  void SetHashAlgorithmIndicator(int32_t v) { HashAlgorithmIndicator = v; }
  int32_t GetPublicKeyAlgorithmIndicator() const { return PublicKeyAlgorithmIndicator; }
  void SetPublicKeyAlgorithmIndicator(int32_t v) { PublicKeyAlgorithmIndicator = v; }
  int32_t GetPublicKeyModulusLength() const { return PublicKeyModulusLength; }
  void SetPublicKeyModulusLength(int32_t v) { PublicKeyModulusLength = v; }
  int32_t GetPublicKeyExponentLength() const { return PublicKeyExponentLength; }
  void SetPublicKeyExponentLength(int32_t v) { PublicKeyExponentLength = v; }
  // Modulus and exponent as upper-case spaced hex.
  const std::string& GetPublicKeyModulus() const { return PublicKeyModulus; }
  void SetPublicKeyModulus(std::string_view v) { PublicKeyModulus = v; }
  const std::string& GetPublicKeyExponent() const { return PublicKeyExponent; }
  void SetPublicKeyExponent(std::string_view v) { PublicKeyExponent = v; }
  // The record's hash as spaced hex.
  const std::string& GetHashResult() const { return HashResult; }
  void SetHashResult(std::string_view v) { HashResult = v; }
  const std::string& GetFileName() const { return FileName; }
  void SetFileName(std::string_view v) { FileName = v; }
  bool GetShowFileDialog() const { return ShowFileDialog; }
  void SetShowFileDialog(bool v) { ShowFileDialog = v; }
  // The hash the last parse computed, as spaced hex.
  const std::string& GetComputedHashResult() const { return ComputedHashResult; }

  // The record of the properties as compact upper-case hex. The owner id
  // (blanks removed) must be 10 digits, the expiry date 4 digits, index and
  // key algorithm indicator 0-255, the hash indicator 1 or 2, modulus and
  // exponent non-empty hex whose lengths fit their fields; the lengths are
  // taken from them and stored, and the hash is stored in HashResult (empty
  // when the record cannot be built).
  [[nodiscard]] int ComputeFormattedKey(std::string& sPublicKeyData, std::string& sText);

  // Reads a record (blanks allowed; reading stops at the first character
  // that is no hex digit) into the properties, field by field, and checks
  // its hash. A field the data cannot fill stops the parse with its code;
  // the fields before it keep their new values. Bytes after the hash are
  // ignored.
  [[nodiscard]] int ParsePublicKeyData(std::string_view sPublicKeyData, std::string& sText);

  // The first line of FileName that is not empty and, without its blanks,
  // holds hex digits only (returned without blanks); 1 when there is none
  // or the file cannot be read.
  [[nodiscard]] int FindKeyLine(std::string& sPublicKeyData) const;

  // With ShowFileDialog the user chooses FileName first. Then the key line
  // of FileName is parsed.
  [[nodiscard]] int ImportFile(std::string& sPublicKeyData, std::string& sText);
  // With ShowFileDialog the user chooses FileName first. Then the record is
  // built and FileName rewritten with it as its only line.
  [[nodiscard]] int ExportFile(std::string& sPublicKeyData, std::string& sText);

 private:
  IEp2PublicKeyFileChooser* chooser_;

  std::string PublicKeyOwnerId;
  int32_t PublicKeyIndex = 0;
  std::string PublicKeyExpDate;
  int32_t HashAlgorithmIndicator = 0;
  int32_t PublicKeyAlgorithmIndicator = 0;
  int32_t PublicKeyModulusLength = 0;
  int32_t PublicKeyExponentLength = 0;
  std::string PublicKeyModulus;
  std::string PublicKeyExponent;
  std::string HashResult;
  std::string FileName;
  bool ShowFileDialog = false;
  std::string ComputedHashResult;
};

}  // namespace kal
