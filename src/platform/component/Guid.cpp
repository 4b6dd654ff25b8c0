#include "platform/component/Guid.h"

#include <cstdio>

namespace kal {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadHex(std::string_view text, size_t at, size_t digits, uint32_t& value) {
  value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int d = HexDigit(text[at + i]);
    if (d < 0) return false;
    value = value << 4 | static_cast<uint32_t>(d);
  }
  return true;
}

}  // namespace

std::optional<TPLTGuid> PLTGuidFromString(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-')
    return std::nullopt;
  TPLTGuid g;
  uint32_t v = 0;
  if (!ReadHex(text, 1, 8, g.data1)) return std::nullopt;
  if (!ReadHex(text, 10, 4, v)) return std::nullopt;
  g.data2 = static_cast<uint16_t>(v);
  if (!ReadHex(text, 15, 4, v)) return std::nullopt;
  g.data3 = static_cast<uint16_t>(v);
  for (size_t i = 0; i < 8; ++i) {
    if (!ReadHex(text, i < 2 ? 20 + 2 * i : 25 + 2 * (i - 2), 2, v)) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}

std::string PLTGuidToString(const TPLTGuid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return buf;
}

}  // namespace kal
