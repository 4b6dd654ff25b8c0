// Hex routines against plain models of their rules.
//
// Input: bytes 0 and 1 give a bit number and value for UTHSetBit; the rest is
// the text (and, as bytes, the data) for every routine.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "support/HexUtilities.h"

namespace {

using kal::fuzz::Check;
using kal::fuzz::Digit;

// The hex reader's rules, written out plainly.
std::string ModelHexToString(std::string_view hex) {
  std::string out;
  size_t i = 0;
  while (hex.size() - i >= 2) {
    if (Digit(hex[i]) >= 0 && Digit(hex[i + 1]) >= 0) {
      out.push_back(static_cast<char>(Digit(hex[i]) * 16 + Digit(hex[i + 1])));
      i += 2;
    } else {
      ++i;
    }
  }
  return out;
}

// StrToInt('$' + text): hex digits only, at most 32 significant bits.
int32_t ModelHexToInt(std::string_view hex) {
  if (hex.empty()) return 0;
  uint64_t v = 0;
  for (char c : hex) {
    if (Digit(c) < 0) return 0;
    v = v * 16 + static_cast<uint64_t>(Digit(c));
    if (v > 0xFFFFFFFFu) return 0;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

std::string ModelExpand(std::string_view text) {
  std::string compact, out;
  for (char c : text) {
    if (c != ' ') compact.push_back(c);
  }
  for (size_t i = 0; i + 1 < compact.size(); i += 2) out += compact.substr(i, 2) + " ";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 16)) return 0;
  const int bit = static_cast<int8_t>(data[0]);
  const int value = data[1] % 3;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  Check(kal::UTHHexToString(text) == ModelHexToString(text));
  Check(kal::UTHHexToInt(text) == ModelHexToInt(text));
  Check(kal::UTHExpandHexString(text) == ModelExpand(text));

  const std::string spaced = kal::UTHStringToHex(text);
  const std::string compact = kal::UTHStringToCompactHex(text);
  Check(compact.size() == 2 * text.size());
  Check(spaced.size() == (text.empty() ? 0 : 3 * text.size() - 1));
  Check(kal::UTHIsHexString(compact));
  Check(kal::UTHHexToString(spaced) == text && kal::UTHHexToString(compact) == text);

  bool allHex = true;
  for (char c : text) allHex = allHex && Digit(c) >= 0;
  Check(kal::UTHIsHexString(text) == allHex);
  Check(kal::UTH5BytesSet(text) == (text.size() == 2 && Digit(text[0]) >= 0 &&
                                    (Digit(text[0]) & 1) && (text[1] == 'F' || text[1] == 'f')));

  // UTHSetBit changes at most the one digit it addresses, upper-cased.
  const std::string set = kal::UTHSetBit(text, bit, value);
  Check(set.size() == text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    if (bit >= 1 && i == static_cast<size_t>(bit - 1) / 4) {
      const int d = Digit(set[i]);
      Check(d >= 0 && set[i] == kal::UTHIntToHexChar(d));
      const int mask = 1 << (3 - (bit - 1) % 4);
      Check(((d & mask) != 0) == (value == 1));
      // The other bits come from the digit when it is one of "0"-"9",
      // "A"-"F" after upper-casing, else they are clear.
      const int old = (Digit(upper) >= 0 && !(upper >= 'a' && upper <= 'f')) ? Digit(upper) : 0;
      Check((d & ~mask) == (old & ~mask));
    } else {
      Check(set[i] == upper);
    }
  }
  return 0;
}
