#pragma once

// The session-key cryptogram as the cryptogram window edits it: the split
// of a cryptogram's hex text into its fields, the cryptogram of the fields,
// and the window's fixed values (default seed and the two encoding
// self-tests).

#include <string>
#include <string_view>

namespace kal {

// Hex texts as they stand in the cryptogram's text (case kept, no blanks).
struct TSKCFields {
  std::string leadingByte;      // 1 byte, 7F
  std::string senderId;         // 8 bytes
  std::string sessionKey;       // 16 bytes, or 24 in a cryptogram of 98 digits
  std::string componentSecret;  // 16 bytes
};

// Splits a cryptogram's hex text, blanks removed. A text of exactly 98
// digits holds a 24-byte session key; any other is read in the 16-byte
// layout from its first 82 digits. Empty on success, else the message:
// "Cryptogramm length is lower than 41" (fewer than 82 digits) or
// "Cryptogramm starts with byte not equal to 7F"; the fields are then left
// as they were.
std::string SKCSplitCryptogramm(std::string_view hex, TSKCFields& fields);

// The fields joined, blanks removed and written in spaced pairs as
// UTHExpandHexString writes them.
std::string SKCJoinCryptogramm(const TSKCFields& fields);

// A fixed OAEP encoding: message and seed as compact hex, the encoded length
// in bytes and the hash algorithm (1 SHA-1, 2 SHA-256).
struct TSKCEncodingTest {
  const char* message;
  const char* seed;
  int encodedLength;
  int hashAlgorithm;
};

// The window's fixed values, in one place.
struct TSKCFixedValues {
  const char* defaultSeed;       // 32 bytes
  TSKCEncodingTest testRsaLab;   // 16-byte message, 20-byte seed, 128, SHA-1
  TSKCEncodingTest testEp2Spec;  // 10-byte message, 32-byte seed, 256, SHA-256
};

// clang-format off
inline constexpr TSKCFixedValues kSKCFixedValues = {
    "3F28F3DECEC071510C95B99CEE55DA8E3093EA2322ADED08ADE6E920F5426F4D",
    // PKCS #1 v2.1 (RSA Laboratories), oaep-int.txt: "Message to be
    // encrypted" and "seed".
    {"D436E99569FD32A7C8A05BBC90D32C49",
     "AAFD12F659CAE63489B479E5076DDEC2F06CB58F", 128, 1},
    {"7F4B414C4D4F52450A01",
     "50BD0261EE151C3D8738635AF6473711EA5B69B452761424E89FAB34BDBF6198", 256, 2},
};
// clang-format on

}  // namespace kal
