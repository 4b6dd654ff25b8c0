#pragma once

// Textbook RSA on byte strings. Padding (random filling, OAEP) is the
// caller's (the ep2 cryptography).
//
// Inputs are checked: a message
// representative must lie below the modulus (one block each way, no
// multi-chunk output); the modulus must be odd and greater than 1; the
// exponent must not be empty (zero). Each of these is a result code, never
// a wrong or multi-block output.

#include <string>
#include <string_view>

#include "support/BigInteger.h"

namespace kal {

enum class TRSAResult : int {
  Ok = 0,
  InvalidModulus = 1,          // zero, one, even or negative modulus
  EmptyExponent = 2,           // exponent zero (empty) or negative
  MessageNotBelowModulus = 3,  // the input's integer value is >= the modulus
  InvalidCRTKey = 4,           // p * q != n, or dp, dq, p, q unusable
};

// E = P^exp mod modb, P and E big-endian bytes. E has no leading zero bytes;
// a zero result (for example from an empty P) is the single byte 0x00.
[[nodiscard]] TRSAResult RSAEncrypt(std::string_view P, const TFGInt& exp, const TFGInt& modb,
                                    std::string& E);

// D = E^d mod n as exactly ceil(bits(n) / 8) big-endian bytes (leading zero
// bytes kept). With d given the plain power is used (as the system always
// does); with d empty (zero) the Chinese-remainder form with p, q,
// dp = d mod (p-1) and dq = d mod (q-1).
[[nodiscard]] TRSAResult RSADecrypt(std::string_view E, const TFGInt& d, const TFGInt& n,
                                    std::string& D, const TFGInt& p, const TFGInt& q,
                                    const TFGInt& dp, const TFGInt& dq);
// The same with d only.
[[nodiscard]] TRSAResult RSADecrypt(std::string_view E, const TFGInt& d, const TFGInt& n,
                                    std::string& D);

}  // namespace kal
