#pragma once

// Overwrites key material with zero bytes in a way the optimiser keeps
// (glibc's explicit_bzero).

#include <string.h>

#include <cstddef>
#include <string>

namespace kal {

inline void SecureWipe(void* p, size_t n) {
  if (p != nullptr && n != 0) explicit_bzero(p, n);
}

// Wipes the characters of a string (its whole capacity) and empties it.
inline void SecureWipe(std::string& s) {
  s.resize(s.capacity());
  SecureWipe(s.data(), s.size());
  s.clear();
}

}  // namespace kal
