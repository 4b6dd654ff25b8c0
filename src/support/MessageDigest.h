#pragma once

// The message-digest class family: TMessageDigest (buffering of
// partial blocks, completion state) and TMD4Family (the padding and length
// field shared by MD4, SHA-1 and SHA-256). TSHA1 (Sha1.h) and TSHA256
// (Sha256.h) derive from TMD4Family.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kal {

// Misuse of a digest object: feeding a completed one ("Message digest already
// complete.") or reading an incomplete one ("Message digest not complete.").
class EMessageDigest : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class TMessageDigest {
 public:
  virtual ~TMessageDigest();
  TMessageDigest(const TMessageDigest&) = default;
  TMessageDigest& operator=(const TMessageDigest&) = default;

  // Feeds bytes; several calls concatenate. Throws EMessageDigest when the
  // digest is complete.
  void TransformString(std::string_view s) { TransformBytes(s.data(), s.size()); }
  void TransformBytes(const void* data, size_t count);

  // Finishes the digest (padding and length per the standard). Completing a
  // completed digest changes nothing.
  virtual void Complete() = 0;
  // Starts a new digest in the same object.
  virtual void Clear();

  // The digest as raw bytes (DigestSize() of them). Throws EMessageDigest
  // when the digest is not complete.
  std::string HashValueString() const;
  // The digest bytes without a copy; same precondition.
  const uint8_t* HashValue() const;

  // The algorithm's name ("SHA1", "SHA256").
  virtual std::string AsString() const = 0;

  size_t BlockSize() const { return FBlockSize; }
  size_t DigestSize() const { return FDigestSize; }
  bool Completed() const { return FCompleted; }
  // Bytes fed since the last Clear (64 bits: no wrap-around for any input
  // this program can hold).
  uint64_t MessageLength() const { return FBlocksDigested * FBlockSize + NumLastBlockBytes; }

 protected:
  static constexpr size_t kMaxBlockSize = 64;
  static constexpr size_t kMaxDigestSize = 32;

  TMessageDigest(size_t blockSize, size_t digestSize);

  // Processes `count` whole blocks (count * BlockSize() bytes).
  virtual void TransformBlocks(const uint8_t* blocks, size_t count) = 0;

  std::array<uint8_t, kMaxDigestSize> PDigest{};
  std::array<uint8_t, kMaxBlockSize> PLastBlock{};
  size_t NumLastBlockBytes = 0;
  size_t FBlockSize;
  size_t FDigestSize;
  uint64_t FBlocksDigested = 0;
  bool FCompleted = false;
};

// Merkle-Damgård digests on 32-bit words: 0x80, zero bytes and the 64-bit bit
// length close the message; the chaining words become the digest.
class TMD4Family : public TMessageDigest {
 public:
  ~TMD4Family() override;
  TMD4Family(const TMD4Family&) = default;
  TMD4Family& operator=(const TMD4Family&) = default;

  void Complete() override;
  void Clear() override;

 protected:
  static constexpr size_t kMaxChainingWords = 8;

  // `initial` holds digestSize / 4 words.
  TMD4Family(size_t blockSize, size_t digestSize, const uint32_t* initial, bool bigEndian);

  std::array<uint32_t, kMaxChainingWords> PInitialChainingValues{};
  std::array<uint32_t, kMaxChainingWords> PChainingVars{};
  bool FIsBigEndian;
};

}  // namespace kal
