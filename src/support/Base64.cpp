#include "support/Base64.h"

#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kal {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr bool kLittle = std::endian::native == std::endian::little;
static_assert(kLittle || std::endian::native == std::endian::big, "mixed-endian machine");

// Shift that puts a byte at memory position k (0..3) of a uint32_t.
constexpr int At(int k) {
  return kLittle ? 8 * k : 8 * (3 - k);
}

// Decoding is table driven: for a group c1 c2 c3 c4,
//   dec[0][c1] | dec[1][c2] | dec[2][c3] | dec[3][c4]
// holds the three output bytes at memory positions 0..2, and kBad at
// position 3 when any of the four is no alphabet character ("=" included).
// Encoding maps 12 input bits to two characters at once.
constexpr uint32_t kBad = uint32_t{1} << At(3);

struct Base64Tables {
  int8_t value[256];  // 0..63, or -1
  bool keep[256];     // alphabet or "=": survives the input filter
  uint32_t dec[4][256];
  char enc2[4096][2];
};

constexpr Base64Tables MakeTables() {
  Base64Tables t{};
  for (int c = 0; c < 256; ++c) {
    t.value[c] = -1;
    t.keep[c] = c == '=';
  }
  for (int v = 0; v < 64; ++v) {
    const auto c = static_cast<unsigned char>(kAlphabet[v]);
    t.value[c] = static_cast<int8_t>(v);
    t.keep[c] = true;
  }
  for (int c = 0; c < 256; ++c) {
    const int v = t.value[c];
    if (v < 0) {
      for (auto& d : t.dec) d[c] = kBad;
      continue;
    }
    const auto u = static_cast<uint32_t>(v);
    t.dec[0][c] = (u << 2) << At(0);
    t.dec[1][c] = ((u >> 4) << At(0)) | (((u & 15) << 4) << At(1));
    t.dec[2][c] = ((u >> 2) << At(1)) | (((u & 3) << 6) << At(2));
    t.dec[3][c] = u << At(2);
  }
  for (int i = 0; i < 4096; ++i) {
    t.enc2[i][0] = kAlphabet[i >> 6];
    t.enc2[i][1] = kAlphabet[i & 63];
  }
  return t;
}

constexpr Base64Tables kTab = MakeTables();

inline uint32_t DecodeGroup(const unsigned char* s) {
  return kTab.dec[0][s[0]] | kTab.dec[1][s[1]] | kTab.dec[2][s[2]] | kTab.dec[3][s[3]];
}

// Decodes the leading groups of four alphabet characters (no "=", nothing to
// filter) and stops before the first other group or a tail of under four
// characters. Returns the characters consumed; d advances by 3 per group.
// The output buffer must hold 3 bytes per complete group of the text: a
// group followed by another complete group is stored with one 4-byte write
// whose last byte the next group overwrites.
size_t DecodeCleanGroups(std::string_view text, char*& d) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* s = begin;
  const auto* const end = begin + text.size();
  char* o = d;
  while (end - s >= 12) {
    const uint32_t x0 = DecodeGroup(s);
    const uint32_t x1 = DecodeGroup(s + 4);
    if ((x0 | x1) & kBad) break;
    std::memcpy(o, &x0, 4);
    std::memcpy(o + 3, &x1, 4);
    o += 6;
    s += 8;
  }
  while (end - s >= 8) {
    const uint32_t x = DecodeGroup(s);
    if (x & kBad) break;
    std::memcpy(o, &x, 4);
    o += 3;
    s += 4;
  }
  if (end - s >= 4 && end - s < 8) {
    const uint32_t x = DecodeGroup(s);
    if (!(x & kBad)) {
      char bytes[4];
      std::memcpy(bytes, &x, 4);
      std::memcpy(o, bytes, 3);
      o += 3;
      s += 4;
    }
  }
  d = o;
  return static_cast<size_t>(s - begin);
}

bool HasCharactersToDrop(std::string_view text) {
  for (char c : text) {
    if (!kTab.keep[static_cast<unsigned char>(c)]) return true;
  }
  return false;
}

}  // namespace

bool TUTBase64::ValueToCharacter(int value, char& c) {
  if (value < 0 || value > 63) return false;
  c = kAlphabet[value];
  return true;
}

bool TUTBase64::CharacterToValue(char c, int& value) {
  const int v = kTab.value[static_cast<unsigned char>(c)];
  if (v < 0) return false;
  value = v;
  return true;
}

std::string TUTBase64::filterLine(std::string_view text) {
  // Branch-free: every character is written, the position advances only
  // past the ones kept.
  std::string out(text.size(), '\0');
  char* d = out.data();
  for (char c : text) {
    *d = c;
    d += kTab.keep[static_cast<unsigned char>(c)];
  }
  out.resize(static_cast<size_t>(d - out.data()));
  return out;
}

bool TUTBase64::EncodeData(std::string_view in, std::string& out) const {
  const size_t groups = in.size() / 3;
  const size_t rest = in.size() % 3;
  if (groups > (out.max_size() - 4) / 4) {
    out.clear();
    return true;
  }
  try {
    out.resize(groups * 4 + (rest ? 4 : 0));
  } catch (const std::exception&) {
    out.clear();
    return true;
  }
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  char* d = out.data();
  // Two groups (6 bytes, 8 characters) per step while 8 bytes can be read.
  const unsigned char* const end = s + groups * 3;
  while (end - s >= 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    if constexpr (kLittle) w = __builtin_bswap64(w);
    std::memcpy(d, kTab.enc2[(w >> 52) & 0xFFF], 2);
    std::memcpy(d + 2, kTab.enc2[(w >> 40) & 0xFFF], 2);
    std::memcpy(d + 4, kTab.enc2[(w >> 28) & 0xFFF], 2);
    std::memcpy(d + 6, kTab.enc2[(w >> 16) & 0xFFF], 2);
    s += 6;
    d += 8;
  }
  while (s < end) {
    const uint32_t l = (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
    std::memcpy(d, kTab.enc2[l >> 12], 2);
    std::memcpy(d + 2, kTab.enc2[l & 0xFFF], 2);
    s += 3;
    d += 4;
  }
  if (rest == 1) {
    const uint32_t l = uint32_t{s[0]} << 4;  // 8 bits, padded to 12
    std::memcpy(d, kTab.enc2[l], 2);
    d[2] = '=';
    d[3] = '=';
  } else if (rest == 2) {
    const uint32_t l = (uint32_t{s[0]} << 10) | (uint32_t{s[1]} << 2);  // 16 bits, padded to 18
    std::memcpy(d, kTab.enc2[l >> 6], 2);
    ValueToCharacter(static_cast<int>(l & 63), d[2]);
    d[3] = '=';
  }
  return false;
}

uint8_t TUTBase64::DecodeGroups(std::string_view text, char*& d) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; i += 4) {
    int v1 = 0, v2 = 0, v3 = 0, v4 = 0;
    if (!CharacterToValue(text[i], v1) || !CharacterToValue(text[i + 1], v2)) {
      return UTBcBadCharacter;
    }
    *d++ = static_cast<char>((v1 << 2) | (v2 >> 4));
    if (text[i + 2] == '=') {
      if (i + 2 != n - 2) return UTBcMisplacedPad;
      if (text[i + 3] != '=') return UTBcBadPadPair;
    } else {
      if (!CharacterToValue(text[i + 2], v3)) return UTBcBadCharacter;
      *d++ = static_cast<char>(((v2 & 15) << 4) | (v3 >> 2));
    }
    if (text[i + 3] == '=') {
      if (i + 3 != n - 1) return UTBcMisplacedPad;
    } else {
      if (!CharacterToValue(text[i + 3], v4)) return UTBcBadCharacter;
      *d++ = static_cast<char>(((v3 & 3) << 6) | v4);
    }
  }
  return UTBcOk;
}

uint8_t TUTBase64::DecodeData(std::string_view in, std::string& out) const {
  if (in.empty()) {
    out.clear();
    return UTBcOk;
  }
  if (!filterdecodeinput && in.size() % 4 != 0) {
    out.clear();
    return UTBcBadLength;
  }
  try {
    // Filtering only shortens the text, so 3 bytes per 4 input characters
    // bound the output. Resizing without clearing first keeps a reused
    // buffer: every byte up to the final size is written below.
    out.resize(in.size() / 4 * 3);
    char* const base = out.data();
    char* d = base;
    // Fast path: leading groups of four alphabet characters decode the same
    // whether filtered or not, because nothing in them is dropped.
    std::string_view rest = in.substr(DecodeCleanGroups(in, d));
    std::string filtered;
    if (filterdecodeinput && HasCharactersToDrop(rest)) {
      filtered = filterLine(rest);
      rest = filtered;
    }
    if (rest.size() % 4 != 0) {
      out.clear();
      return UTBcBadLength;
    }
    rest.remove_prefix(DecodeCleanGroups(rest, d));
    const uint8_t result = DecodeGroups(rest, d);
    out.resize(static_cast<size_t>(d - base));
    return result;
  } catch (const std::exception&) {
    out.clear();
    return UTBcBadCharacter;
  }
}

}  // namespace kal
