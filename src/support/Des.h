#pragma once

// DES (FIPS 46-3) in the block-cipher frame, and Triple DES
// (EDE, outer CBC as ANSI X9.52 and NIST SP 800-67) for the ep2
// cryptography.

#include <array>
#include <cstdint>

#include "support/BlockCipher.h"

namespace kal {

// The sixteen round keys of one DES key, in the form the round function
// consumes (two 32-bit words per round: S-box inputs 1, 3, 5, 7 and 2, 4, 6, 8).
struct TDESKeySchedule {
  std::array<uint32_t, 32> K{};
};

class TDES final : public TCrypto {
 public:
  TDES();
  ~TDES() override;
  TDES(const TDES&) = default;
  TDES& operator=(const TDES&) = default;

 protected:
  void EncipherBLOCK(uint8_t* block) const override;
  void DecipherBLOCK(uint8_t* block) const override;
  // The round keys from the first 8 bytes of the key (at least 8 bytes;
  // parity bits are ignored, as in the standard).
  bool SetKeys(std::string_view key) override;
  void Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) override;
  void Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) override;

 private:
  TDESKeySchedule FKeys;
};

// Triple DES: C = E_K3(D_K2(E_K1(P))) per block. The key is 24 bytes
// K1 || K2 || K3, or 16 bytes K1 || K2 with K3 = K1. CBC chains around the
// whole EDE operation (outer CBC).
class TTripleDES final : public TCrypto {
 public:
  TTripleDES();
  ~TTripleDES() override;
  TTripleDES(const TTripleDES&) = default;
  TTripleDES& operator=(const TTripleDES&) = default;

 protected:
  void EncipherBLOCK(uint8_t* block) const override;
  void DecipherBLOCK(uint8_t* block) const override;
  bool SetKeys(std::string_view key) override;
  void Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) override;
  void Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) override;

 private:
  TDESKeySchedule FKeys[3];
};

}  // namespace kal
