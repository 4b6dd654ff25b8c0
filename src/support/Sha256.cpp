#include "support/Sha256.h"

#include <bit>
#include <stdexcept>

#include "support/SecureWipe.h"

namespace kal {

namespace {

constexpr uint32_t kInitial[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                  0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};

// FIPS 180-2, 4.2.2.
constexpr uint32_t K[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u,
    0xab1c5ed5u, 0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu,
    0x9bdc06a7u, 0xc19bf174u, 0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu,
    0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau, 0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u,
    0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u, 0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu,
    0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u, 0xa2bfe8a1u, 0xa81a664bu,
    0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u, 0x19a4c116u,
    0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u,
    0xc67178f2u};

inline uint32_t LoadBE32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

inline uint32_t S0(uint32_t x) {
  return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22);
}
inline uint32_t S1(uint32_t x) {
  return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
}
inline uint32_t s0(uint32_t x) {
  return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
}
inline uint32_t s1(uint32_t x) {
  return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10);
}

// Whole blocks. The eight working words rotate through the macro arguments;
// the schedule is a 16-word ring W[t] += s1(W[t-2]) + W[t-7] + s0(W[t-15]).
void Sha256Blocks(uint32_t h[8], const uint8_t* p, size_t count) {
  for (; count != 0; --count, p += 64) {
    uint32_t W[16];
    for (int i = 0; i < 16; ++i) W[i] = LoadBE32(p + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];

    // clang-format off
#define KAL_SHA256_ROUND(a, b, c, d, e, f, g, h, t, w)                   \
  {                                                                      \
    const uint32_t t1 = h + S1(e) + (g ^ (e & (f ^ g))) + K[t] + (w);    \
    d += t1;                                                             \
    h = t1 + S0(a) + ((a & b) | (c & (a | b)));                          \
  }
#define KAL_SHA256_SCHED(t) \
  (W[(t) & 15] += s1(W[((t) + 14) & 15]) + W[((t) + 9) & 15] + s0(W[((t) + 1) & 15]))
#define KAL_SHA256_16(j, W0, W1, W2, W3, W4, W5, W6, W7, W8, W9, W10, W11, W12, W13, W14, W15) \
  KAL_SHA256_ROUND(a, b, c, d, e, f, g, hh, (j) + 0, W0)                                         \
  KAL_SHA256_ROUND(hh, a, b, c, d, e, f, g, (j) + 1, W1)                                         \
  KAL_SHA256_ROUND(g, hh, a, b, c, d, e, f, (j) + 2, W2)                                         \
  KAL_SHA256_ROUND(f, g, hh, a, b, c, d, e, (j) + 3, W3)                                         \
  KAL_SHA256_ROUND(e, f, g, hh, a, b, c, d, (j) + 4, W4)                                         \
  KAL_SHA256_ROUND(d, e, f, g, hh, a, b, c, (j) + 5, W5)                                         \
  KAL_SHA256_ROUND(c, d, e, f, g, hh, a, b, (j) + 6, W6)                                         \
  KAL_SHA256_ROUND(b, c, d, e, f, g, hh, a, (j) + 7, W7)                                         \
  KAL_SHA256_ROUND(a, b, c, d, e, f, g, hh, (j) + 8, W8)                                         \
  KAL_SHA256_ROUND(hh, a, b, c, d, e, f, g, (j) + 9, W9)                                         \
  KAL_SHA256_ROUND(g, hh, a, b, c, d, e, f, (j) + 10, W10)                                       \
  KAL_SHA256_ROUND(f, g, hh, a, b, c, d, e, (j) + 11, W11)                                       \
  KAL_SHA256_ROUND(e, f, g, hh, a, b, c, d, (j) + 12, W12)                                       \
  KAL_SHA256_ROUND(d, e, f, g, hh, a, b, c, (j) + 13, W13)                                       \
  KAL_SHA256_ROUND(c, d, e, f, g, hh, a, b, (j) + 14, W14)                                       \
  KAL_SHA256_ROUND(b, c, d, e, f, g, hh, a, (j) + 15, W15)

    KAL_SHA256_16(0, W[0], W[1], W[2], W[3], W[4], W[5], W[6], W[7], W[8], W[9], W[10], W[11],
                  W[12], W[13], W[14], W[15])
    for (int j = 16; j < 64; j += 16) {
      KAL_SHA256_16(j, KAL_SHA256_SCHED(0), KAL_SHA256_SCHED(1), KAL_SHA256_SCHED(2),
                    KAL_SHA256_SCHED(3), KAL_SHA256_SCHED(4), KAL_SHA256_SCHED(5),
                    KAL_SHA256_SCHED(6), KAL_SHA256_SCHED(7), KAL_SHA256_SCHED(8),
                    KAL_SHA256_SCHED(9), KAL_SHA256_SCHED(10), KAL_SHA256_SCHED(11),
                    KAL_SHA256_SCHED(12), KAL_SHA256_SCHED(13), KAL_SHA256_SCHED(14),
                    KAL_SHA256_SCHED(15))
    }
    // clang-format on
#undef KAL_SHA256_16
#undef KAL_SHA256_SCHED
#undef KAL_SHA256_ROUND

    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
    h[5] += f;
    h[6] += g;
    h[7] += hh;
  }
}

}  // namespace

void TransformSHA256Buf(uint32_t state[8], const void* buf, size_t count) {
  if (count % 64 != 0) throw std::invalid_argument("BufSize must be multiple of 64 bytes");
  Sha256Blocks(state, static_cast<const uint8_t*>(buf), count / 64);
}

TSHA256::TSHA256() : TMD4Family(64, 32, kInitial, true) {}

void TSHA256::TransformBlocks(const uint8_t* blocks, size_t count) {
  Sha256Blocks(PChainingVars.data(), blocks, count);
}

T256BitDigest CalcSHA256(const void* buf, size_t count) {
  TSHA256 sha;
  sha.TransformBytes(buf, count);
  sha.Complete();
  T256BitDigest d;
  std::memcpy(d.Bytes.data(), sha.HashValue(), 32);
  return d;
}

T256BitDigest CalcSHA256(std::string_view s) {
  return CalcSHA256(s.data(), s.size());
}

std::u16string SHA256DigestToHexW(const T256BitDigest& digest) {
  // Local lower-case hex (the support hex routines give upper case).
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string out(64, u'0');
  for (size_t i = 0; i < 32; ++i) {
    out[2 * i] = kDigits[digest.Bytes[i] >> 4];
    out[2 * i + 1] = kDigits[digest.Bytes[i] & 15];
  }
  return out;
}

}  // namespace kal
