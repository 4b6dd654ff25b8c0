#include "support/HexUtilities.h"

#include <cstring>

namespace kal {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Value of a character as a hex digit, or kNotHex. A bit above the four value
// bits lets a pair be checked with one test.
constexpr uint16_t kNotHex = 0x100;

struct HexTables {
  uint16_t value[256];
  char pair[256][2];  // upper-case digits of each byte
};

constexpr HexTables MakeHexTables() {
  HexTables t{};
  for (int c = 0; c < 256; ++c) {
    if (c >= '0' && c <= '9') {
      t.value[c] = static_cast<uint16_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      t.value[c] = static_cast<uint16_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      t.value[c] = static_cast<uint16_t>(c - 'a' + 10);
    } else {
      t.value[c] = kNotHex;
    }
    t.pair[c][0] = kDigits[c >> 4];
    t.pair[c][1] = kDigits[c & 15];
  }
  return t;
}

constexpr HexTables kHex = MakeHexTables();

inline uint16_t HexValue(char c) {
  return kHex.value[static_cast<unsigned char>(c)];
}

inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

}  // namespace

std::string UTHStringToHex(std::string_view bytes) {
  std::string out;
  if (bytes.empty()) return out;
  out.resize(bytes.size() * 3);
  char* d = out.data();
  for (unsigned char b : bytes) {
    std::memcpy(d, kHex.pair[b], 2);
    d[2] = ' ';
    d += 3;
  }
  out.pop_back();  // the trailing blank
  return out;
}

std::string UTHStringToCompactHex(std::string_view bytes) {
  std::string out;
  out.resize(bytes.size() * 2);
  char* d = out.data();
  for (unsigned char b : bytes) {
    std::memcpy(d, kHex.pair[b], 2);
    d += 2;
  }
  return out;
}

std::string UTHHexToString(std::string_view hex) {
  std::string out;
  out.resize(hex.size() / 2);
  char* d = out.data();
  const char* p = hex.data();
  const char* const end = p + hex.size();
  while (end - p >= 2) {
    const uint16_t hi = HexValue(p[0]);
    if (hi & kNotHex) {
      ++p;
      continue;
    }
    const uint16_t lo = HexValue(p[1]);
    if (lo & kNotHex) {
      // The reader advances by one to p[1], which is no digit either, so
      // both are passed.
      p += 2;
      continue;
    }
    *d++ = static_cast<char>((hi << 4) | lo);
    p += 2;
  }
  out.resize(static_cast<size_t>(d - out.data()));
  return out;
}

bool UTHIsHexChar(char c) {
  return !(HexValue(c) & kNotHex);
}

bool UTHIsHexString(std::string_view text) {
  for (char c : text) {
    if (HexValue(c) & kNotHex) return false;
  }
  return true;
}

int UTHHexCharToInt(char c) {
  const uint16_t v = HexValue(c);
  return (v & kNotHex) ? 0 : v;
}

char UTHIntToHexChar(int value) {
  return (value >= 0 && value <= 15) ? kDigits[value] : '0';
}

int32_t UTHHexToInt(std::string_view hex) {
  if (hex.empty()) return 0;
  size_t i = 0;
  while (i < hex.size() && hex[i] == '0') ++i;  // leading zeros never overflow
  if (hex.size() - i > 8) return 0;
  uint32_t value = 0;
  for (; i < hex.size(); ++i) {
    const uint16_t v = HexValue(hex[i]);
    if (v & kNotHex) return 0;
    value = (value << 4) | v;
  }
  return static_cast<int32_t>(value);
}

bool UTH5BytesSet(std::string_view hex) {
  if (hex.size() != 2) return false;
  // "1F", "3F", ..., "FF": an odd first digit and "F" (or "f").
  const uint16_t hi = HexValue(hex[0]);
  const uint16_t lo = HexValue(hex[1]);
  return !((hi | lo) & kNotHex) && (hi & 1) && lo == 15;
}

std::string UTHSetBit(std::string_view hex, int bit, int value) {
  std::string out(hex);
  for (char& c : out) c = AsciiUpper(c);
  if (bit < 1 || static_cast<size_t>(bit - 1) / 4 >= out.size()) return out;
  char& digit = out[static_cast<size_t>(bit - 1) / 4];
  std::array<bool, 4> bits = UTHHexCharToBits(digit);
  // bit mod 4 = 1, 2, 3, 0 select weight 8, 4, 2, 1 (index 0..3).
  bits[static_cast<size_t>(bit - 1) % 4] = (value == 1);
  digit = UTHBitsToHexChar(bits);
  return out;
}

std::array<bool, 4> UTHHexCharToBits(char c) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  if (v < 0) return {false, false, false, false};
  return {(v & 8) != 0, (v & 4) != 0, (v & 2) != 0, (v & 1) != 0};
}

void UTHHexCharToBits(char c, bool& bit8, bool& bit4, bool& bit2, bool& bit1) {
  const std::array<bool, 4> bits = UTHHexCharToBits(c);
  bit8 = bits[0];
  bit4 = bits[1];
  bit2 = bits[2];
  bit1 = bits[3];
}

char UTHBitsToHexChar(const std::array<bool, 4>& bits) {
  return UTHBitsToHexChar(bits[0], bits[1], bits[2], bits[3]);
}

char UTHBitsToHexChar(bool bit8, bool bit4, bool bit2, bool bit1) {
  return kDigits[(bit8 ? 8 : 0) | (bit4 ? 4 : 0) | (bit2 ? 2 : 0) | (bit1 ? 1 : 0)];
}

std::string UTHExpandHexString(std::string_view text) {
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (c != ' ') compact.push_back(c);
  }
  std::string out;
  out.reserve(compact.size() / 2 * 3);
  for (size_t i = 0; i + 1 < compact.size(); i += 2) {
    out.push_back(compact[i]);
    out.push_back(compact[i + 1]);
    out.push_back(' ');
  }
  return out;
}

}  // namespace kal
