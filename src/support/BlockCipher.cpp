#include "support/BlockCipher.h"

#include <cstring>

#include "support/SecureWipe.h"

namespace kal {

TCrypto::TCrypto(size_t blockSize) : FBLOCKSIZE(blockSize) {}

TCrypto::~TCrypto() {
  SecureWipe(FIVector.data(), FIVector.size());
  SecureWipe(FIVTemp.data(), FIVTemp.size());
}

TCryptoResult TCrypto::SetKey(std::string_view key) {
  FHasKey = SetKeys(key);
  return FHasKey ? TCryptoResult::Ok : TCryptoResult::BadKeyLength;
}

TCryptoResult TCrypto::SetIVector(std::string_view iv) {
  if (!iv.empty() && iv.size() != FBLOCKSIZE) return TCryptoResult::BadIVLength;
  FIVector.fill(0);
  if (!iv.empty()) std::memcpy(FIVector.data(), iv.data(), iv.size());
  FIVTemp = FIVector;
  return TCryptoResult::Ok;
}

TCryptoResult TCrypto::EncipherData(const uint8_t* in, size_t length, uint8_t* out,
                                    bool bContinue) {
  if (!FHasKey) return TCryptoResult::NoKey;
  if (!bContinue) FIVTemp = FIVector;
  const size_t whole = length / FBLOCKSIZE;
  if (whole != 0) Encipher_Bytes(in, out, whole);
  const size_t rest = length - whole * FBLOCKSIZE;
  if (rest != 0) {
    // The partial last block, filled with 0x00.
    uint8_t last[kMaxBlockSize] = {};
    std::memcpy(last, in + whole * FBLOCKSIZE, rest);
    Encipher_Bytes(last, out + whole * FBLOCKSIZE, 1);
    SecureWipe(last, sizeof(last));
  }
  return TCryptoResult::Ok;
}

TCryptoResult TCrypto::DecipherData(const uint8_t* in, size_t length, uint8_t* out,
                                    bool bContinue) {
  if (!FHasKey) return TCryptoResult::NoKey;
  if (length % FBLOCKSIZE != 0) return TCryptoResult::PartialBlock;
  if (!bContinue) FIVTemp = FIVector;
  if (length != 0) Decipher_Bytes(in, out, length / FBLOCKSIZE);
  return TCryptoResult::Ok;
}

TCryptoResult TCrypto::EncipherData(std::string_view in, std::string& out, bool bContinue) {
  if (!FHasKey) return TCryptoResult::NoKey;
  std::string result(PaddedLength(in.size()), '\0');
  const TCryptoResult r = EncipherData(reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                                       reinterpret_cast<uint8_t*>(result.data()), bContinue);
  if (r == TCryptoResult::Ok) out.swap(result);
  return r;
}

TCryptoResult TCrypto::DecipherData(std::string_view in, std::string& out, bool bContinue) {
  if (!FHasKey) return TCryptoResult::NoKey;
  if (in.size() % FBLOCKSIZE != 0) return TCryptoResult::PartialBlock;
  std::string result(in.size(), '\0');
  const TCryptoResult r = DecipherData(reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                                       reinterpret_cast<uint8_t*>(result.data()), bContinue);
  if (r == TCryptoResult::Ok) out.swap(result);
  return r;
}

void TCrypto::Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const size_t bs = FBLOCKSIZE;
  uint8_t block[kMaxBlockSize];
  for (size_t i = 0; i < blocks; ++i, in += bs, out += bs) {
    std::memcpy(block, in, bs);
    if (FCipherMode == TCipherMode::CBCMode)
      for (size_t k = 0; k < bs; ++k) block[k] ^= FIVTemp[k];
    EncipherBLOCK(block);
    if (FCipherMode == TCipherMode::CBCMode) std::memcpy(FIVTemp.data(), block, bs);
    std::memcpy(out, block, bs);
  }
  SecureWipe(block, sizeof(block));
}

void TCrypto::Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const size_t bs = FBLOCKSIZE;
  uint8_t block[kMaxBlockSize];
  uint8_t cipher[kMaxBlockSize];
  for (size_t i = 0; i < blocks; ++i, in += bs, out += bs) {
    std::memcpy(block, in, bs);
    std::memcpy(cipher, in, bs);  // `out` may be `in`
    DecipherBLOCK(block);
    if (FCipherMode == TCipherMode::CBCMode) {
      for (size_t k = 0; k < bs; ++k) block[k] ^= FIVTemp[k];
      std::memcpy(FIVTemp.data(), cipher, bs);
    }
    std::memcpy(out, block, bs);
  }
  SecureWipe(block, sizeof(block));
}

}  // namespace kal
