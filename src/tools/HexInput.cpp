#include "tools/HexInput.h"

#include <algorithm>

#include "support/HexUtilities.h"

namespace kal {

std::string HXIReadHex(std::string_view text, std::string_view field,
                       std::vector<std::string>* notes) {
  std::string bytes = UTHHexToString(text);
  // Every digit the reader took went into a byte with its partner.
  const size_t digits = static_cast<size_t>(std::count_if(text.begin(), text.end(), UTHIsHexChar));
  const size_t dropped = digits - 2 * bytes.size();
  if (dropped != 0 && notes != nullptr) {
    notes->push_back(
        std::string(field) + ": " + std::to_string(dropped) +
        (dropped == 1 ? " hex digit without a partner was" : " hex digits without a partner were") +
        " left out; " + std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes") +
        " read");
  }
  return bytes;
}

}  // namespace kal
