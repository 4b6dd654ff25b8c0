#pragma once

// The memo search of the find commands and the tool windows: a text is found
// regardless of case, comparing character by character under simple case
// folding, so the position found is the one in the original text.

#include <cstddef>
#include <optional>
#include <string_view>

namespace kal {

// The simple case folding of one UTF-16 unit for the Latin, Greek and
// Cyrillic letters (ASCII, Latin-1, Latin Extended-A, basic Greek, Cyrillic
// and its supplement, the Kelvin and Angstrom signs); any other unit is
// returned as it is.
char16_t MSRFoldCase(char16_t c);

// The first occurrence of `needle` in `text` starting at or after `from`,
// ignoring case; nothing for an empty needle or no occurrence. Positions are
// UTF-16 units.
std::optional<size_t> FindNextString(std::u16string_view text, size_t from,
                                     std::u16string_view needle);

// Where a search starts: behind the selection when there is one, otherwise at
// the beginning of the text.
inline size_t MSRSearchStart(size_t selectionStart, size_t selectionLength) {
  return selectionLength == 0 ? 0 : selectionStart + selectionLength;
}

}  // namespace kal
