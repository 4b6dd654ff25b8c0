#pragma once

// The block-cipher frame: runs a block cipher over a byte
// buffer in ECB or CBC mode with an initial vector. TDES and TTripleDES
// (Des.h) fill it.
//
// Contract of a chain:
// - The key schedule is built once by SetKey and kept, across any number of
//   calls, until the next SetKey or the destruction of the object. bContinue
//   has no effect on it.
// - The chaining register (CBC) is loaded from the initial vector by
//   SetIVector and by every call with bContinue == false. A call with
//   bContinue == true starts from the register as the previous call left it
//   (the last ciphertext block of that call, enciphering or deciphering), so
//   consecutive calls continue one chain.
// - An empty initial vector is one block of 0x00 bytes.
// - Enciphering accepts any length: a partial last block is filled with 0x00
//   bytes, so the output is the input length rounded up to whole blocks.
//   Deciphering requires whole blocks.
// - Keys, round keys, the initial vector and the chaining register are
//   overwritten with zero bytes on destruction.
// CFB mode and file or string input of the original frame are left out (no
// caller uses them).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

enum class TCipherMode { ECBMode, CBCMode };

enum class TCryptoResult : int {
  Ok = 0,
  NoKey = 1,         // no key was set, or the last SetKey failed
  BadKeyLength = 2,  // the key has a length the cipher does not take
  BadIVLength = 3,   // the initial vector is neither empty nor one block
  PartialBlock = 4,  // deciphering input that is not whole blocks
};

class TCrypto {
 public:
  static constexpr size_t kMaxBlockSize = 16;

  virtual ~TCrypto();
  TCrypto(const TCrypto&) = default;
  TCrypto& operator=(const TCrypto&) = default;

  size_t BlockSize() const { return FBLOCKSIZE; }
  // The output length of enciphering `length` bytes.
  size_t PaddedLength(size_t length) const {
    return (length + FBLOCKSIZE - 1) / FBLOCKSIZE * FBLOCKSIZE;
  }

  // Sets the key and builds the key schedule. On failure the object has no
  // key until a SetKey succeeds.
  [[nodiscard]] TCryptoResult SetKey(std::string_view key);
  bool HasKey() const { return FHasKey; }
  // Sets the initial vector (empty: a zero block) and loads the register.
  [[nodiscard]] TCryptoResult SetIVector(std::string_view iv);
  void SetCipherMode(TCipherMode mode) { FCipherMode = mode; }
  TCipherMode CipherMode() const { return FCipherMode; }

  // Enciphers `in` into `out` (replaced; PaddedLength(in.size()) bytes).
  [[nodiscard]] TCryptoResult EncipherData(std::string_view in, std::string& out, bool bContinue);
  // Deciphers `in` (whole blocks) into `out` (replaced, same length).
  [[nodiscard]] TCryptoResult DecipherData(std::string_view in, std::string& out, bool bContinue);

  // The same on caller buffers: `out` has room for PaddedLength(length)
  // bytes and may be the same buffer as `in` (not a partly overlapping one).
  [[nodiscard]] TCryptoResult EncipherData(const uint8_t* in, size_t length, uint8_t* out,
                                           bool bContinue);
  [[nodiscard]] TCryptoResult DecipherData(const uint8_t* in, size_t length, uint8_t* out,
                                           bool bContinue);

 protected:
  explicit TCrypto(size_t blockSize);

  // One block in place under the current key schedule.
  virtual void EncipherBLOCK(uint8_t* block) const = 0;
  virtual void DecipherBLOCK(uint8_t* block) const = 0;
  // Builds the key schedule from the key; false when the key length does not
  // fit the cipher.
  virtual bool SetKeys(std::string_view key) = 0;
  // `blocks` whole blocks in the current mode, chaining through FIVTemp.
  // The frame's versions call EncipherBLOCK/DecipherBLOCK per block; a
  // cipher overrides them with a loop that needs no virtual call per block.
  virtual void Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks);
  virtual void Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks);

  std::array<uint8_t, kMaxBlockSize> FIVector{};  // the initial vector
  std::array<uint8_t, kMaxBlockSize> FIVTemp{};   // the chaining register
  TCipherMode FCipherMode = TCipherMode::ECBMode;
  size_t FBLOCKSIZE;
  bool FHasKey = false;
};

}  // namespace kal
