#pragma once

// Hex input of the tool windows that show their steps in an info window:
// the field's bytes as every hex field reads them, and a line for the info
// window when the reader left typed digits out.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

// The bytes of a hex field's text, read with UTHHexToString. That reader
// drops a digit without a partner (an odd last digit, a lone digit between
// separators: "ABC" gives AB), so when it does, a line naming the field, the
// digits left out and the bytes read is appended to `notes` (may be null):
// a result then never covers fewer bytes than were typed without a word.
std::string HXIReadHex(std::string_view text, std::string_view field,
                       std::vector<std::string>* notes);

}  // namespace kal
