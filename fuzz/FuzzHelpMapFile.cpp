// Reads arbitrary bytes as a help map file and asks what the help engine
// asks of it. Checks: values stay within the value buffer; a number that is
// a sign and a few digits reads as that number, an empty value as the
// default; a [MAP] entry exists exactly for a non-empty value, and its topic
// is that value's first item, which holds no ";".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "helpctl/HelpMapFile.h"

namespace {

using kal::THLPHelpMapFile;
using kal::THLPMapEntry;
using kal::fuzz::Check;

// A value of an optional sign and one to nine digits, read as a number.
std::optional<int32_t> PlainNumber(std::string_view v) {
  const size_t digits = v.size() - (!v.empty() && (v[0] == '-' || v[0] == '+'));
  if (digits == 0 || digits > 9) return std::nullopt;
  int32_t n = 0;
  for (char c : v.substr(v.size() - digits)) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return v[0] == '-' ? -n : n;
}

void CheckEntry(const THLPMapEntry& entry, std::string_view value) {
  Check(entry.topic.find(';') == std::string::npos);
  Check(value.substr(0, value.find(';')).find(entry.topic) != std::string_view::npos);
  if (value.find("width:") == std::string_view::npos) Check(entry.width == 0 && entry.height == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  THLPHelpMapFile map;
  map.HLPParse(text);

  const struct {
    const char* section;
    const char* key;
  } asked[] = {
      {"OPTIONS", "Compiled File"},
      {"Text Popups", "Popup File"},
      {"Text Popups", "Popup Font"},
      {"Text Popups", "Popup Vertmarg"},
      {"Text Popups", "Popup Textcolor"},
      {"TEMPLATES", "Starting Frameset"},
      {"MAP", "1"},
  };
  for (const auto& a : asked) {
    const std::string value = map.HLPReadString(a.section, a.key);
    Check(value.size() <= THLPHelpMapFile::HLPcMaxValue);
    const int32_t number = map.HLPReadInteger(a.section, a.key, -7);
    if (value.empty()) Check(number == -7);
    if (const std::optional<int32_t> plain = PlainNumber(value)) Check(number == *plain);
  }

  // The context numbers the input names as keys of its lines, and a few.
  std::vector<int32_t> numbers = {-1, 0, 1, INT32_MAX};
  for (std::string_view rest = text; !rest.empty();) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (const std::optional<int32_t> n = PlainNumber(line.substr(0, line.find('='))))
      numbers.push_back(*n);
  }
  for (const int32_t n : numbers) {
    const std::string value = n < 0 ? "" : map.HLPReadString("MAP", std::to_string(n));
    const std::optional<THLPMapEntry> entry = map.HLPMapEntry(n);
    Check(entry.has_value() == !value.empty());
    if (entry) CheckEntry(*entry, value);
  }
  CheckEntry(THLPHelpMapFile::HLPParseMapValue(text), text);
  return 0;
}
