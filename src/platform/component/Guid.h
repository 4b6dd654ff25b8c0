#pragma once

// A globally unique identifier (class ids, interface ids, type-library ids)
// with its braces text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kal {

struct TPLTGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  bool operator==(const TPLTGuid&) const = default;
  auto operator<=>(const TPLTGuid&) const = default;
};

// Reads the braces form; hex digits of either case. Anything else (no
// braces, wrong groups, other characters, trailing text) gives nothing.
std::optional<TPLTGuid> PLTGuidFromString(std::string_view text);
// The braces form with upper-case hex digits.
std::string PLTGuidToString(const TPLTGuid& guid);

// A GUID from its text at compile time; a malformed text does not compile.
consteval TPLTGuid PLTGuid(const char (&text)[39]) {
  auto hex = [&](int at, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
      const char c = text[at + i];
      const uint32_t d = c >= '0' && c <= '9'   ? uint32_t(c - '0')
                         : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10)
                         : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                                                : throw "not a hex digit";
      v = v << 4 | d;
    }
    return v;
  };
  if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
      text[37] != '}')
    throw "not a GUID";
  TPLTGuid g;
  g.data1 = hex(1, 8);
  g.data2 = static_cast<uint16_t>(hex(10, 4));
  g.data3 = static_cast<uint16_t>(hex(15, 4));
  g.data4[0] = static_cast<uint8_t>(hex(20, 2));
  g.data4[1] = static_cast<uint8_t>(hex(22, 2));
  for (int i = 0; i < 6; ++i) g.data4[2 + i] = static_cast<uint8_t>(hex(25 + 2 * i, 2));
  return g;
}

}  // namespace kal
