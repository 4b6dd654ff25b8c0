#pragma once

// The key formatting window's work on a public-key record: its fields as
// texts to and from the record, the length a modulus or exponent text
// gives, and "Use Now", which takes index, modulus and exponent into the
// configuration.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kal {

class TCFGConfig;
class TEp2PublicKey;

// The window's fields. Index in hex; indicators and lengths in decimal;
// modulus, exponent and hash result in hex.
struct TKFMFields {
  std::string ownerId, index, expDate, hashIndicator, keyAlgorithmIndicator, modulusLength,
      exponentLength, modulus, exponent, hashResult;
};

// The record's properties as the window shows them: the index in upper-case
// hex without leading zeros, indicators and lengths in decimal.
TKFMFields KFMFieldsOf(const TEp2PublicKey& key);

// Copies the fields into the record: owner identifier, expiry date, modulus
// and exponent as texts, the index read as hex, indicators and lengths as
// decimal numbers. A number that cannot be read is stored as -1, so the
// record's own check names its field.
void KFMStoreFields(const TKFMFields& fields, TEp2PublicKey& key);

// The index text (blanks around it allowed) as a number: hex digits of
// either case, any number of leading zeros; nothing for any other text.
// Values past 32 bits give INT32_MAX.
std::optional<int32_t> KFMReadIndex(std::string_view text);

// The length field of a modulus or exponent text: its hex pairs, blanks
// removed (length div 2).
int32_t KFMHexPairs(std::string_view hex);

// "Use Now": writes the public key index (when its text is not blank), then
// the public modulus and exponent (each only when its text is not blank)
// into the configuration. An index that is not one byte of hex writes
// nothing at all and gives the message to show; empty otherwise.
std::string KFMUseNow(TCFGConfig& config, std::string_view index, std::string_view modulus,
                      std::string_view exponent);

}  // namespace kal
