#pragma once

// Small helpers shared by the fuzz targets' reference models.

#include <cstdlib>

namespace kal::fuzz {

// Aborts (a finding for libFuzzer) when a property does not hold.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// Value of a hex digit of either case, -1 for any other character.
inline int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace kal::fuzz
