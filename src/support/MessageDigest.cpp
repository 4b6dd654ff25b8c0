#include "support/MessageDigest.h"

#include <algorithm>
#include <cstring>

#include "support/SecureWipe.h"

namespace kal {

TMessageDigest::TMessageDigest(size_t blockSize, size_t digestSize)
    : FBlockSize(blockSize), FDigestSize(digestSize) {}

TMessageDigest::~TMessageDigest() {
  SecureWipe(PDigest.data(), PDigest.size());
  SecureWipe(PLastBlock.data(), PLastBlock.size());
}

void TMessageDigest::TransformBytes(const void* data, size_t count) {
  if (FCompleted) throw EMessageDigest("Message digest already complete.");
  auto p = static_cast<const uint8_t*>(data);
  if (NumLastBlockBytes != 0) {
    const size_t take = std::min(count, FBlockSize - NumLastBlockBytes);
    std::memcpy(PLastBlock.data() + NumLastBlockBytes, p, take);
    NumLastBlockBytes += take;
    p += take;
    count -= take;
    if (NumLastBlockBytes < FBlockSize) return;
    TransformBlocks(PLastBlock.data(), 1);
    ++FBlocksDigested;
    NumLastBlockBytes = 0;
  }
  const size_t blocks = count / FBlockSize;
  if (blocks != 0) {
    TransformBlocks(p, blocks);
    FBlocksDigested += blocks;
    p += blocks * FBlockSize;
    count -= blocks * FBlockSize;
  }
  if (count != 0) {
    std::memcpy(PLastBlock.data(), p, count);
    NumLastBlockBytes = count;
  }
}

void TMessageDigest::Clear() {
  SecureWipe(PDigest.data(), PDigest.size());
  SecureWipe(PLastBlock.data(), PLastBlock.size());
  NumLastBlockBytes = 0;
  FBlocksDigested = 0;
  FCompleted = false;
}

const uint8_t* TMessageDigest::HashValue() const {
  if (!FCompleted) throw EMessageDigest("Message digest not complete.");
  return PDigest.data();
}

std::string TMessageDigest::HashValueString() const {
  const uint8_t* d = HashValue();
  return std::string(reinterpret_cast<const char*>(d), FDigestSize);
}

TMD4Family::TMD4Family(size_t blockSize, size_t digestSize, const uint32_t* initial, bool bigEndian)
    : TMessageDigest(blockSize, digestSize), FIsBigEndian(bigEndian) {
  std::memcpy(PInitialChainingValues.data(), initial, digestSize);
  PChainingVars = PInitialChainingValues;
}

TMD4Family::~TMD4Family() {
  SecureWipe(PChainingVars.data(), sizeof(PChainingVars));
}

void TMD4Family::Clear() {
  TMessageDigest::Clear();
  PChainingVars = PInitialChainingValues;
}

void TMD4Family::Complete() {
  if (FCompleted) return;
  const uint64_t bits = MessageLength() * 8;
  // 0x80, then zeros up to 8 bytes before a block boundary (one or two
  // blocks), then the 64-bit length.
  uint8_t tail[2 * kMaxBlockSize] = {};
  size_t n = NumLastBlockBytes;
  std::memcpy(tail, PLastBlock.data(), n);
  tail[n++] = 0x80;
  const size_t total = (n + 8 <= FBlockSize) ? FBlockSize : 2 * FBlockSize;
  for (int i = 0; i < 8; ++i) {
    const auto b = static_cast<uint8_t>(bits >> (8 * i));
    if (FIsBigEndian)
      tail[total - 1 - i] = b;
    else
      tail[total - 8 + i] = b;
  }
  TransformBlocks(tail, total / FBlockSize);
  SecureWipe(tail, sizeof(tail));
  for (size_t w = 0; w < FDigestSize / 4; ++w) {
    const uint32_t v = PChainingVars[w];
    for (int i = 0; i < 4; ++i)
      PDigest[4 * w + i] = static_cast<uint8_t>(FIsBigEndian ? v >> (24 - 8 * i) : v >> (8 * i));
  }
  FCompleted = true;
}

}  // namespace kal
