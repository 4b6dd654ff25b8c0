#include "support/Des.h"

#include <bit>
#include <cstring>
#include <utility>

#include "support/SecureWipe.h"

namespace kal {

namespace {

// FIPS 46-3 tables (bit positions counted from 1 at the most significant bit).
// clang-format off
constexpr uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                              10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                              63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                              14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
                              23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
                              41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
                              44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
// S1 ... S8, four rows of sixteen.
constexpr uint8_t kS[8][64] = {
    {14,  4, 13,  1,  2, 15, 11,  8,  3, 10,  6, 12,  5,  9,  0,  7,
      0, 15,  7,  4, 14,  2, 13,  1, 10,  6, 12, 11,  9,  5,  3,  8,
      4,  1, 14,  8, 13,  6,  2, 11, 15, 12,  9,  7,  3, 10,  5,  0,
     15, 12,  8,  2,  4,  9,  1,  7,  5, 11,  3, 14, 10,  0,  6, 13},
    {15,  1,  8, 14,  6, 11,  3,  4,  9,  7,  2, 13, 12,  0,  5, 10,
      3, 13,  4,  7, 15,  2,  8, 14, 12,  0,  1, 10,  6,  9, 11,  5,
      0, 14,  7, 11, 10,  4, 13,  1,  5,  8, 12,  6,  9,  3,  2, 15,
     13,  8, 10,  1,  3, 15,  4,  2, 11,  6,  7, 12,  0,  5, 14,  9},
    {10,  0,  9, 14,  6,  3, 15,  5,  1, 13, 12,  7, 11,  4,  2,  8,
     13,  7,  0,  9,  3,  4,  6, 10,  2,  8,  5, 14, 12, 11, 15,  1,
     13,  6,  4,  9,  8, 15,  3,  0, 11,  1,  2, 12,  5, 10, 14,  7,
      1, 10, 13,  0,  6,  9,  8,  7,  4, 15, 14,  3, 11,  5,  2, 12},
    { 7, 13, 14,  3,  0,  6,  9, 10,  1,  2,  8,  5, 11, 12,  4, 15,
     13,  8, 11,  5,  6, 15,  0,  3,  4,  7,  2, 12,  1, 10, 14,  9,
     10,  6,  9,  0, 12, 11,  7, 13, 15,  1,  3, 14,  5,  2,  8,  4,
      3, 15,  0,  6, 10,  1, 13,  8,  9,  4,  5, 11, 12,  7,  2, 14},
    { 2, 12,  4,  1,  7, 10, 11,  6,  8,  5,  3, 15, 13,  0, 14,  9,
     14, 11,  2, 12,  4,  7, 13,  1,  5,  0, 15, 10,  3,  9,  8,  6,
      4,  2,  1, 11, 10, 13,  7,  8, 15,  9, 12,  5,  6,  3,  0, 14,
     11,  8, 12,  7,  1, 14,  2, 13,  6, 15,  0,  9, 10,  4,  5,  3},
    {12,  1, 10, 15,  9,  2,  6,  8,  0, 13,  3,  4, 14,  7,  5, 11,
     10, 15,  4,  2,  7, 12,  9,  5,  6,  1, 13, 14,  0, 11,  3,  8,
      9, 14, 15,  5,  2,  8, 12,  3,  7,  0,  4, 10,  1, 13, 11,  6,
      4,  3,  2, 12,  9,  5, 15, 10, 11, 14,  1,  7,  6,  0,  8, 13},
    { 4, 11,  2, 14, 15,  0,  8, 13,  3, 12,  9,  7,  5, 10,  6,  1,
     13,  0, 11,  7,  4,  9,  1, 10, 14,  3,  5, 12,  2, 15,  8,  6,
      1,  4, 11, 13, 12,  3,  7, 14, 10, 15,  6,  8,  0,  5,  9,  2,
      6, 11, 13,  8,  1,  4, 10,  7,  9,  5,  0, 15, 14,  2,  3, 12},
    {13,  2,  8,  4,  6, 15, 11,  1, 10,  9,  3, 14,  5,  0, 12,  7,
      1, 15, 13,  8, 10,  3,  7,  4, 12,  5,  6, 11,  0, 14,  9,  2,
      7, 11,  4,  1,  9, 12, 14,  2,  0,  6, 10, 13, 15,  3,  5,  8,
      2,  1, 14,  7,  4, 10,  8, 13, 15, 12,  9,  0,  3,  5,  6, 11},
};
// clang-format on

// Representation. The round function works on the halves rotated right by
// one bit (R' = rotr(R, 1)). Then the expansion E needs no table: S-box
// inputs 1, 3, 5, 7 are the top six bits of each byte of R', inputs 2, 4, 6,
// 8 those of rotl(R', 4). Each S-box has a 64-entry table that already holds
// P applied to its output, rotated the same way (the combined S-box/P
// tables), so a round is two XORs with the round-key words, eight lookups
// and seven XORs.
struct SPTables {
  uint32_t t[8][64];
};

constexpr SPTables MakeSP() {
  SPTables sp{};
  for (int s = 0; s < 8; ++s) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int col = (v >> 1) & 15;
      const uint32_t pre = static_cast<uint32_t>(kS[s][row * 16 + col]) << (28 - 4 * s);
      uint32_t post = 0;
      for (int i = 0; i < 32; ++i)
        if ((pre >> (32 - kP[i])) & 1u) post |= 1u << (31 - i);
      sp.t[s][v] = std::rotr(post, 1);
    }
  }
  return sp;
}

alignas(64) constexpr SPTables kSP = MakeSP();

inline uint32_t F(uint32_t r, uint32_t k0, uint32_t k1) {
  const uint32_t u = r ^ k0;
  const uint32_t t = std::rotl(r, 4) ^ k1;
  const auto& sp = kSP.t;
  return sp[0][u >> 26] ^ sp[2][(u >> 18) & 63] ^ sp[4][(u >> 10) & 63] ^ sp[6][(u >> 2) & 63] ^
         sp[1][t >> 26] ^ sp[3][(t >> 18) & 63] ^ sp[5][(t >> 10) & 63] ^ sp[7][(t >> 2) & 63];
}

// Sixteen rounds forwards (encipher) or with the round keys reversed
// (decipher); (l, r) = (L0, R0) in, (L16, R16) out.
inline void EncRounds(uint32_t& l, uint32_t& r, const uint32_t* k) {
#pragma GCC unroll 8
  for (int i = 0; i < 32; i += 4) {
    l ^= F(r, k[i], k[i + 1]);
    r ^= F(l, k[i + 2], k[i + 3]);
  }
}

inline void DecRounds(uint32_t& l, uint32_t& r, const uint32_t* k) {
#pragma GCC unroll 8
  for (int i = 28; i >= 0; i -= 4) {
    l ^= F(r, k[i + 2], k[i + 3]);
    r ^= F(l, k[i], k[i + 1]);
  }
}

// A block as two words: bytes 0-3 and 4-7 read little-endian and rotated by
// 16 bits, the order in which the swap network below yields IP. Linear per
// byte, so XOR of two loaded blocks is the load of their XOR.
inline uint32_t LoadWord(const uint8_t* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return std::rotl(v, 16);
}

inline void StoreWord(uint8_t* p, uint32_t v) {
  v = std::rotl(v, 16);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// IP as five delta swaps on the loaded words (checked bit by bit against the
// standard's table when it was written, and by the known-answer tests), then
// the rotation into the round representation.
inline void InitialPermutation(uint32_t& a, uint32_t& b) {
  uint32_t l = a, r = b, w;
  // clang-format off
  w = ((l >> 4) ^ r) & 0x0f0f0f0fu; r ^= w; l ^= w << 4;
  w = ((l >> 16) ^ r) & 0x0000ffffu; r ^= w; l ^= w << 16;
  w = ((r >> 2) ^ l) & 0x33333333u; l ^= w; r ^= w << 2;
  w = ((r >> 8) ^ l) & 0x00ff00ffu; l ^= w; r ^= w << 8;
  w = ((r >> 1) ^ l) & 0x55555555u; l ^= w; r ^= w << 1;
  // clang-format on
  a = std::rotr(r, 1);  // L0'
  b = std::rotr(l, 1);  // R0'
}

// IP^-1 of R16 || L16, given L16' and R16'; the words to store.
inline void FinalPermutation(uint32_t& a, uint32_t& b) {
  uint32_t l = std::rotl(a, 1), r = std::rotl(b, 1), w;
  // clang-format off
  w = ((r >> 1) ^ l) & 0x55555555u; l ^= w; r ^= w << 1;
  w = ((r >> 8) ^ l) & 0x00ff00ffu; l ^= w; r ^= w << 8;
  w = ((r >> 2) ^ l) & 0x33333333u; l ^= w; r ^= w << 2;
  w = ((l >> 16) ^ r) & 0x0000ffffu; r ^= w; l ^= w << 16;
  w = ((l >> 4) ^ r) & 0x0f0f0f0fu; r ^= w; l ^= w << 4;
  // clang-format on
  a = l;
  b = r;
}

void MakeKeySchedule(const uint8_t* key, TDESKeySchedule& ks) {
  uint64_t k = 0;
  for (int i = 0; i < 8; ++i) k = k << 8 | key[i];
  uint32_t c = 0, d = 0;  // 28-bit halves
  for (int i = 0; i < 28; ++i) c = c << 1 | static_cast<uint32_t>((k >> (64 - kPC1[i])) & 1u);
  for (int i = 28; i < 56; ++i) d = d << 1 | static_cast<uint32_t>((k >> (64 - kPC1[i])) & 1u);
  for (int round = 0; round < 16; ++round) {
    const int s = kShifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0x0fffffffu;
    d = ((d << s) | (d >> (28 - s))) & 0x0fffffffu;
    const uint64_t cd = static_cast<uint64_t>(c) << 28 | d;
    uint64_t sub = 0;
    for (int i = 0; i < 48; ++i) sub = sub << 1 | ((cd >> (56 - kPC2[i])) & 1u);
    uint32_t chunk[8];
    for (int j = 0; j < 8; ++j) chunk[j] = static_cast<uint32_t>(sub >> (42 - 6 * j)) & 63u;
    ks.K[2 * round] = chunk[0] << 26 | chunk[2] << 18 | chunk[4] << 10 | chunk[6] << 2;
    ks.K[2 * round + 1] = chunk[1] << 26 | chunk[3] << 18 | chunk[5] << 10 | chunk[7] << 2;
    SecureWipe(chunk, sizeof(chunk));
    SecureWipe(&sub, sizeof(sub));
  }
  SecureWipe(&k, sizeof(k));
  SecureWipe(&c, sizeof(c));
  SecureWipe(&d, sizeof(d));
}

struct Block {
  uint32_t a, b;
};

inline Block Load(const uint8_t* p) {
  return {LoadWord(p), LoadWord(p + 4)};
}
inline void Store(uint8_t* p, Block x) {
  StoreWord(p, x.a);
  StoreWord(p + 4, x.b);
}

// One block through the unrolled rounds. Inlined into a loop over
// independent blocks (ECB, CBC decryption), the rounds are vectorized into
// hundreds of kilobytes of emulated table gathers that take most of a minute
// to compile and run no faster, so those loops call functions compiled once
// (the ...Call and Decrypt functions). Only CBC encryption, a chain no
// compiler vectorizes, has the rounds inlined into its loop.
inline Block Encrypt1(Block x, const TDESKeySchedule& k) {
  InitialPermutation(x.a, x.b);
  EncRounds(x.a, x.b, k.K.data());
  FinalPermutation(x.a, x.b);
  return x;
}

[[gnu::noinline]] Block Decrypt1(Block x, const TDESKeySchedule& k) {
  InitialPermutation(x.a, x.b);
  DecRounds(x.a, x.b, k.K.data());
  FinalPermutation(x.a, x.b);
  return x;
}

// E_K3(D_K2(E_K1(x))) with one IP and one FP: between two DES operations
// FP and IP cancel and only the halves swap.
inline Block Encrypt3(Block x, const TDESKeySchedule* k) {
  InitialPermutation(x.a, x.b);
  EncRounds(x.a, x.b, k[0].K.data());
  DecRounds(x.b, x.a, k[1].K.data());
  EncRounds(x.a, x.b, k[2].K.data());
  FinalPermutation(x.a, x.b);
  return x;
}

[[gnu::noinline]] Block Decrypt3(Block x, const TDESKeySchedule* k) {
  InitialPermutation(x.a, x.b);
  DecRounds(x.a, x.b, k[2].K.data());
  EncRounds(x.b, x.a, k[1].K.data());
  DecRounds(x.a, x.b, k[0].K.data());
  FinalPermutation(x.a, x.b);
  return x;
}

[[gnu::noinline]] Block Encrypt1Call(Block x, const TDESKeySchedule& k) {
  return Encrypt1(x, k);
}
[[gnu::noinline]] Block Encrypt3Call(Block x, const TDESKeySchedule* k) {
  return Encrypt3(x, k);
}

// The mode loops, shared by single and triple DES. The register stays in
// loaded form during the loop.
template <typename Enc, typename EncCall>
void EncipherLoop(const uint8_t* in, uint8_t* out, size_t blocks, TCipherMode mode, uint8_t* reg,
                  Enc enc, EncCall encCall) {
  if (mode == TCipherMode::CBCMode) {
    Block c = Load(reg);
    for (size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
      const Block p = Load(in);
      c = enc(Block{p.a ^ c.a, p.b ^ c.b});
      Store(out, c);
    }
    Store(reg, c);
  } else {
    for (size_t i = 0; i < blocks; ++i, in += 8, out += 8) Store(out, encCall(Load(in)));
  }
}

template <typename Dec>
void DecipherLoop(const uint8_t* in, uint8_t* out, size_t blocks, TCipherMode mode, uint8_t* reg,
                  Dec dec) {
  if (mode == TCipherMode::CBCMode) {
    Block c = Load(reg);
    for (size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
      const Block x = Load(in);  // read before `out` (maybe `in`) is written
      const Block p = dec(x);
      Store(out, Block{p.a ^ c.a, p.b ^ c.b});
      c = x;
    }
    Store(reg, c);
  } else {
    for (size_t i = 0; i < blocks; ++i, in += 8, out += 8) Store(out, dec(Load(in)));
  }
}

}  // namespace

// --- TDES ---

TDES::TDES() : TCrypto(8) {}

TDES::~TDES() {
  SecureWipe(&FKeys, sizeof(FKeys));
}

bool TDES::SetKeys(std::string_view key) {
  SecureWipe(&FKeys, sizeof(FKeys));
  if (key.size() < 8) return false;
  MakeKeySchedule(reinterpret_cast<const uint8_t*>(key.data()), FKeys);
  return true;
}

void TDES::EncipherBLOCK(uint8_t* block) const {
  Store(block, Encrypt1Call(Load(block), FKeys));
}
void TDES::DecipherBLOCK(uint8_t* block) const {
  Store(block, Decrypt1(Load(block), FKeys));
}

void TDES::Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const TDESKeySchedule& k = FKeys;
  EncipherLoop(
      in, out, blocks, FCipherMode, FIVTemp.data(), [&k](Block x) { return Encrypt1(x, k); },
      [&k](Block x) { return Encrypt1Call(x, k); });
}

void TDES::Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const TDESKeySchedule& k = FKeys;
  DecipherLoop(in, out, blocks, FCipherMode, FIVTemp.data(),
               [&k](Block x) { return Decrypt1(x, k); });
}

// --- TTripleDES ---

TTripleDES::TTripleDES() : TCrypto(8) {}

TTripleDES::~TTripleDES() {
  SecureWipe(FKeys, sizeof(FKeys));
}

bool TTripleDES::SetKeys(std::string_view key) {
  SecureWipe(FKeys, sizeof(FKeys));
  if (key.size() != 16 && key.size() != 24) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(key.data());
  MakeKeySchedule(p, FKeys[0]);
  MakeKeySchedule(p + 8, FKeys[1]);
  if (key.size() == 24)
    MakeKeySchedule(p + 16, FKeys[2]);
  else
    FKeys[2] = FKeys[0];
  return true;
}

void TTripleDES::EncipherBLOCK(uint8_t* block) const {
  Store(block, Encrypt3Call(Load(block), FKeys));
}
void TTripleDES::DecipherBLOCK(uint8_t* block) const {
  Store(block, Decrypt3(Load(block), FKeys));
}

void TTripleDES::Encipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const TDESKeySchedule* k = FKeys;
  EncipherLoop(
      in, out, blocks, FCipherMode, FIVTemp.data(), [k](Block x) { return Encrypt3(x, k); },
      [k](Block x) { return Encrypt3Call(x, k); });
}

void TTripleDES::Decipher_Bytes(const uint8_t* in, uint8_t* out, size_t blocks) {
  const TDESKeySchedule* k = FKeys;
  DecipherLoop(in, out, blocks, FCipherMode, FIVTemp.data(),
               [k](Block x) { return Decrypt3(x, k); });
}

}  // namespace kal
