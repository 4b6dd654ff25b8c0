#pragma once

// SHA-256 (FIPS 180-2): the plain routines the system calls and
// a digest object of the TMD4Family for incremental use.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "support/MessageDigest.h"

namespace kal {

// A 32-byte digest. Bytes holds the digest in the standard's byte order;
// Longs() and Words() view the same memory as 32-bit and 16-bit words in the
// machine's byte order.
struct T256BitDigest {
  std::array<uint8_t, 32> Bytes{};

  uint32_t Longs(size_t i) const { return View<uint32_t>(i); }
  uint16_t Words(size_t i) const { return View<uint16_t>(i); }
  // The 32 digest bytes as a byte string.
  std::string AsBytes() const {
    return std::string(reinterpret_cast<const char*>(Bytes.data()), 32);
  }
  bool operator==(const T256BitDigest&) const = default;

 private:
  template <typename T>
  T View(size_t i) const {
    T v;
    std::memcpy(&v, Bytes.data() + i * sizeof(T), sizeof(T));
    return v;
  }
};

// A 64-byte message block.
struct T512BitBuf {
  std::array<uint8_t, 64> Bytes{};
};

// The digest of the bytes of s, or of `count` bytes at `buf`.
T256BitDigest CalcSHA256(std::string_view s);
T256BitDigest CalcSHA256(const void* buf, size_t count);

// The digest as 64 lower-case hex digits (16-bit text, for display).
std::u16string SHA256DigestToHexW(const T256BitDigest& digest);

// Transforms whole 64-byte blocks into the eight chaining words `state`.
// Throws std::invalid_argument("BufSize must be multiple of 64 bytes") when
// `count` is not a multiple of 64.
void TransformSHA256Buf(uint32_t state[8], const void* buf, size_t count);

class TSHA256 final : public TMD4Family {
 public:
  TSHA256();  // a cleared digest object
  std::string AsString() const override { return "SHA256"; }

 protected:
  void TransformBlocks(const uint8_t* blocks, size_t count) override;
};

}  // namespace kal
