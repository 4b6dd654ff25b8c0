// Reads arbitrary bytes as "EMVElements.ini" and looks its names up.
// Checks: every entry has a name, and name and tag are trimmed and hold no
// ";" or line end; there are no more entries than lines; looking a name up
// gives the tag of its first entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "support/StringUnit.h"
#include "workbench/EmvElementMap.h"

namespace {

using kal::fuzz::Check;

void CheckItem(const std::string& item) {
  Check(item == kal::STRTrim(item));
  Check(item.find_first_of(";\n") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kal::TEEMEmvElementMap map;
  map.Parse(text);
  const auto& entries = map.Entries();
  Check(entries.size() <= static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    Check(!entries[i].name.empty());
    CheckItem(entries[i].name);
    CheckItem(entries[i].tag);
    if (i < 64) {
      size_t first = 0;
      while (entries[first].name != entries[i].name) ++first;
      const std::optional<std::string> tag = map.FindTag(entries[i].name);
      Check(tag && *tag == entries[first].tag);
    }
  }
  Check(!map.FindTag("").has_value());
  return 0;
}
