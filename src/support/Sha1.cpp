#include "support/Sha1.h"

#include <bit>
#include <cstring>

namespace kal {

namespace {

constexpr uint32_t kInitial[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

inline uint32_t LoadBE32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

// One block; the five working words rotate through the macro arguments, so
// the 80 rounds are straight-line code on registers. The message schedule
// lives in a 16-word ring: W[t] = rotl(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16], 1).
void Sha1Block(uint32_t h[5], const uint8_t* block) {
  uint32_t W[16];
  for (int i = 0; i < 16; ++i) W[i] = LoadBE32(block + 4 * i);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];

  // clang-format off
#define KAL_SHA1_W(t) \
  (W[(t) & 15] = std::rotl(W[((t) + 13) & 15] ^ W[((t) + 8) & 15] ^ W[((t) + 2) & 15] ^ W[(t) & 15], 1))
#define KAL_SHA1_F1(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define KAL_SHA1_F2(x, y, z) ((x) ^ (y) ^ (z))
#define KAL_SHA1_F3(x, y, z) (((x) & (y)) | ((z) & ((x) | (y))))
#define KAL_SHA1_R0(v, w, x, y, z, t) \
  z += KAL_SHA1_F1(w, x, y) + W[t] + 0x5A827999u + std::rotl(v, 5); w = std::rotl(w, 30);
#define KAL_SHA1_R1(v, w, x, y, z, t) \
  z += KAL_SHA1_F1(w, x, y) + KAL_SHA1_W(t) + 0x5A827999u + std::rotl(v, 5); w = std::rotl(w, 30);
#define KAL_SHA1_R2(v, w, x, y, z, t) \
  z += KAL_SHA1_F2(w, x, y) + KAL_SHA1_W(t) + 0x6ED9EBA1u + std::rotl(v, 5); w = std::rotl(w, 30);
#define KAL_SHA1_R3(v, w, x, y, z, t) \
  z += KAL_SHA1_F3(w, x, y) + KAL_SHA1_W(t) + 0x8F1BBCDCu + std::rotl(v, 5); w = std::rotl(w, 30);
#define KAL_SHA1_R4(v, w, x, y, z, t) \
  z += KAL_SHA1_F2(w, x, y) + KAL_SHA1_W(t) + 0xCA62C1D6u + std::rotl(v, 5); w = std::rotl(w, 30);

  KAL_SHA1_R0(a, b, c, d, e, 0) KAL_SHA1_R0(e, a, b, c, d, 1) KAL_SHA1_R0(d, e, a, b, c, 2)
  KAL_SHA1_R0(c, d, e, a, b, 3) KAL_SHA1_R0(b, c, d, e, a, 4) KAL_SHA1_R0(a, b, c, d, e, 5)
  KAL_SHA1_R0(e, a, b, c, d, 6) KAL_SHA1_R0(d, e, a, b, c, 7) KAL_SHA1_R0(c, d, e, a, b, 8)
  KAL_SHA1_R0(b, c, d, e, a, 9) KAL_SHA1_R0(a, b, c, d, e, 10) KAL_SHA1_R0(e, a, b, c, d, 11)
  KAL_SHA1_R0(d, e, a, b, c, 12) KAL_SHA1_R0(c, d, e, a, b, 13) KAL_SHA1_R0(b, c, d, e, a, 14)
  KAL_SHA1_R0(a, b, c, d, e, 15) KAL_SHA1_R1(e, a, b, c, d, 16) KAL_SHA1_R1(d, e, a, b, c, 17)
  KAL_SHA1_R1(c, d, e, a, b, 18) KAL_SHA1_R1(b, c, d, e, a, 19)

  KAL_SHA1_R2(a, b, c, d, e, 20) KAL_SHA1_R2(e, a, b, c, d, 21) KAL_SHA1_R2(d, e, a, b, c, 22)
  KAL_SHA1_R2(c, d, e, a, b, 23) KAL_SHA1_R2(b, c, d, e, a, 24) KAL_SHA1_R2(a, b, c, d, e, 25)
  KAL_SHA1_R2(e, a, b, c, d, 26) KAL_SHA1_R2(d, e, a, b, c, 27) KAL_SHA1_R2(c, d, e, a, b, 28)
  KAL_SHA1_R2(b, c, d, e, a, 29) KAL_SHA1_R2(a, b, c, d, e, 30) KAL_SHA1_R2(e, a, b, c, d, 31)
  KAL_SHA1_R2(d, e, a, b, c, 32) KAL_SHA1_R2(c, d, e, a, b, 33) KAL_SHA1_R2(b, c, d, e, a, 34)
  KAL_SHA1_R2(a, b, c, d, e, 35) KAL_SHA1_R2(e, a, b, c, d, 36) KAL_SHA1_R2(d, e, a, b, c, 37)
  KAL_SHA1_R2(c, d, e, a, b, 38) KAL_SHA1_R2(b, c, d, e, a, 39)

  KAL_SHA1_R3(a, b, c, d, e, 40) KAL_SHA1_R3(e, a, b, c, d, 41) KAL_SHA1_R3(d, e, a, b, c, 42)
  KAL_SHA1_R3(c, d, e, a, b, 43) KAL_SHA1_R3(b, c, d, e, a, 44) KAL_SHA1_R3(a, b, c, d, e, 45)
  KAL_SHA1_R3(e, a, b, c, d, 46) KAL_SHA1_R3(d, e, a, b, c, 47) KAL_SHA1_R3(c, d, e, a, b, 48)
  KAL_SHA1_R3(b, c, d, e, a, 49) KAL_SHA1_R3(a, b, c, d, e, 50) KAL_SHA1_R3(e, a, b, c, d, 51)
  KAL_SHA1_R3(d, e, a, b, c, 52) KAL_SHA1_R3(c, d, e, a, b, 53) KAL_SHA1_R3(b, c, d, e, a, 54)
  KAL_SHA1_R3(a, b, c, d, e, 55) KAL_SHA1_R3(e, a, b, c, d, 56) KAL_SHA1_R3(d, e, a, b, c, 57)
  KAL_SHA1_R3(c, d, e, a, b, 58) KAL_SHA1_R3(b, c, d, e, a, 59)

  KAL_SHA1_R4(a, b, c, d, e, 60) KAL_SHA1_R4(e, a, b, c, d, 61) KAL_SHA1_R4(d, e, a, b, c, 62)
  KAL_SHA1_R4(c, d, e, a, b, 63) KAL_SHA1_R4(b, c, d, e, a, 64) KAL_SHA1_R4(a, b, c, d, e, 65)
  KAL_SHA1_R4(e, a, b, c, d, 66) KAL_SHA1_R4(d, e, a, b, c, 67) KAL_SHA1_R4(c, d, e, a, b, 68)
  KAL_SHA1_R4(b, c, d, e, a, 69) KAL_SHA1_R4(a, b, c, d, e, 70) KAL_SHA1_R4(e, a, b, c, d, 71)
  KAL_SHA1_R4(d, e, a, b, c, 72) KAL_SHA1_R4(c, d, e, a, b, 73) KAL_SHA1_R4(b, c, d, e, a, 74)
  KAL_SHA1_R4(a, b, c, d, e, 75) KAL_SHA1_R4(e, a, b, c, d, 76) KAL_SHA1_R4(d, e, a, b, c, 77)
  KAL_SHA1_R4(c, d, e, a, b, 78) KAL_SHA1_R4(b, c, d, e, a, 79)
  // clang-format on

#undef KAL_SHA1_W
#undef KAL_SHA1_F1
#undef KAL_SHA1_F2
#undef KAL_SHA1_F3
#undef KAL_SHA1_R0
#undef KAL_SHA1_R1
#undef KAL_SHA1_R2
#undef KAL_SHA1_R3
#undef KAL_SHA1_R4

                                                                                                      h[0] +=
      a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

}  // namespace

TSHA1::TSHA1() : TMD4Family(64, 20, kInitial, true) {}

void TSHA1::TransformBlocks(const uint8_t* blocks, size_t count) {
  uint32_t h[5];
  std::memcpy(h, PChainingVars.data(), sizeof(h));
  for (size_t i = 0; i < count; ++i) Sha1Block(h, blocks + 64 * i);
  std::memcpy(PChainingVars.data(), h, sizeof(h));
}

}  // namespace kal
