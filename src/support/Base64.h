#pragma once

// Base64 coder of unit UTBase64: the standard alphabet of
// RFC 4648 with "=" padding, no line breaks. Holds no state besides the
// filter flag; a const object is safe on any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

class TUTBase64 final {
 public:
  // Results of DecodeData.
  static constexpr uint8_t UTBcOk = 0;
  static constexpr uint8_t UTBcBadCharacter = 2;  // outside the alphabet, or any other failure
  static constexpr uint8_t UTBcBadLength = 3;     // (filtered) length not a multiple of 4
  static constexpr uint8_t UTBcMisplacedPad = 4;  // "=" not where padding may stand
  static constexpr uint8_t UTBcBadPadPair = 5;    // "=" third of the last group, fourth no "="

  // Sets filterdecodeinput.
  TUTBase64() = default;

  // When true (after construction), DecodeData first drops every character
  // that is neither in the alphabet nor "=" (blanks, line breaks, ...).
  bool filterdecodeinput = true;

  // Encodes bytes as Base64 text; empty input gives empty text. Returns the
  // failure flag: false on success, true when the output cannot be allocated
  // (out is then empty).
  [[nodiscard]] bool EncodeData(std::string_view in, std::string& out) const;

  // Decodes Base64 text into bytes. Empty input clears out and gives 0.
  // Otherwise out is cleared and the (filtered) text read in groups of four
  // characters c1 c2 c3 c4: c1 and c2 must be alphabet characters (else 2);
  // c3 "=" must be the second-to-last character (else 4) followed by "="
  // (else 5); c4 "=" must be the last character (else 4); any other
  // non-alphabet character gives 2. A length that is not a multiple of 4
  // gives 3 with out empty. Bytes decoded before another error stay in out,
  // each group giving its bytes one by one as its characters pass. Unused low
  // bits of a padded last group are ignored.
  [[nodiscard]] uint8_t DecodeData(std::string_view in, std::string& out) const;

 private:
  // Copy of the text without the characters that are neither in the
  // alphabet nor "=".
  static std::string filterLine(std::string_view text);
  // Alphabet character of a value 0..63; false (c unchanged) for others.
  static bool ValueToCharacter(int value, char& c);
  // Value 0..63 of an alphabet character; false (value unchanged) for others.
  static bool CharacterToValue(char c, int& value);

  // Decodes the groups of a text whose length is a multiple of 4 with the
  // rules of DecodeData, appending at d; "last character" is the end of text.
  static uint8_t DecodeGroups(std::string_view text, char*& d);
};

}  // namespace kal
