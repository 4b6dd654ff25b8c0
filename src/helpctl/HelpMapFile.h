#pragma once

// The help map file: an INI file that maps context numbers to topics and
// names the compiled help file, read with the profile functions' rules on
// top of the project's INI class: one pair of surrounding double quotes is
// stripped, values are cut at 1,999 characters, there are no inline
// comments (the ";" of a [MAP] value stays), an empty value counts as
// missing, and integers are read as sign and leading digits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

namespace kal {

// A [MAP] entry: the topic and the size of an active popup (0 by 0 when the
// value gives none).
struct THLPMapEntry {
  std::string topic;
  int16_t width = 0;
  int16_t height = 0;
  bool operator==(const THLPMapEntry&) const = default;
};

class THLPHelpMapFile final {
 public:
  // Values are read into a 2,000-character buffer with its terminator.
  static constexpr size_t HLPcMaxValue = 1999;

  // True when a regular file exists at `path`.
  static bool HLPExists(const std::string& path);

  // Reads the file; an unreadable file reads as empty.
  void HLPLoad(const std::string& path);
  // Replaces the content with the given text (tests).
  void HLPParse(std::string_view text) { ini_.PLTParse(text); }

  // The value, or "" when the key is missing or empty.
  std::string HLPReadString(std::string_view section, std::string_view key) const;
  // Sign and leading digits of the value ("12;x" gives 12, "x" gives 0);
  // `defaultValue` when the key is missing or empty.
  int32_t HLPReadInteger(std::string_view section, std::string_view key,
                         int32_t defaultValue) const;

  // The [MAP] entry of a context number; none for a missing or empty entry
  // and for a negative number.
  std::optional<THLPMapEntry> HLPMapEntry(int32_t number) const;

  // A [MAP] value split into topic and size: the topic is the text before
  // the first ";" without one pair of double quotes; after "width:" come
  // the width and, after "height:", the height (without "height:" the width
  // gives both). Sizes are clamped to the 16-bit range.
  static THLPMapEntry HLPParseMapValue(std::string_view value);

 private:
  TPLTIniFile ini_;
};

}  // namespace kal
