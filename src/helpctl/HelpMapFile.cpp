#include "helpctl/HelpMapFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

namespace kal {

namespace {

// Blanks at both ends removed (space and tab).
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A popup size: digits accumulate, a "-" anywhere makes the number
// negative, the first other character ends it; clamped to 16 bits.
int16_t ReadSize(std::string_view text) {
  text = TrimBlanks(text);
  int64_t value = 0;
  bool negative = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{1} << 32);
    } else if (c == '-') {
      negative = true;
    } else {
      break;
    }
  }
  if (negative) value = -value;
  return static_cast<int16_t>(std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

}  // namespace

bool THLPHelpMapFile::HLPExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void THLPHelpMapFile::HLPLoad(const std::string& path) {
  if (ini_.PLTLoad(path) != 0) ini_.PLTParse("");
}

std::string THLPHelpMapFile::HLPReadString(std::string_view section, std::string_view key) const {
  std::string value = ini_.PLTReadString(section, key, "");
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  if (value.size() > HLPcMaxValue) value.resize(HLPcMaxValue);
  return value;
}

int32_t THLPHelpMapFile::HLPReadInteger(std::string_view section, std::string_view key,
                                        int32_t defaultValue) const {
  const std::string value = HLPReadString(section, key);
  if (value.empty()) return defaultValue;
  std::string_view s = value;
  bool negative = false;
  if (s.front() == '-' || s.front() == '+') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    n = std::min<int64_t>(n * 10 + (c - '0'), int64_t{1} << 32);
  }
  if (negative) n = -n;
  return static_cast<int32_t>(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::optional<THLPMapEntry> THLPHelpMapFile::HLPMapEntry(int32_t number) const {
  if (number < 0) return std::nullopt;
  const std::string value = HLPReadString("MAP", std::to_string(number));
  if (value.empty()) return std::nullopt;
  return HLPParseMapValue(value);
}

THLPMapEntry THLPHelpMapFile::HLPParseMapValue(std::string_view value) {
  THLPMapEntry entry;
  const size_t semi = value.find(';');
  std::string_view topic = value.substr(0, semi);
  if (const size_t q = topic.find('"'); q != std::string_view::npos) {
    topic = topic.substr(q + 1);
    if (const size_t last = topic.rfind('"'); last != std::string_view::npos)
      topic = topic.substr(0, last);
  }
  entry.topic = std::string(topic);
  if (semi == std::string_view::npos) return entry;
  const std::string_view size = value.substr(semi + 1);
  const size_t w = size.find("width:");
  if (w == std::string_view::npos) return entry;
  const std::string_view afterWidth = size.substr(w + 6);
  const size_t h = afterWidth.find("height:");
  if (h == std::string_view::npos) {
    entry.width = entry.height = ReadSize(afterWidth);
  } else {
    entry.width = ReadSize(afterWidth.substr(0, h));
    entry.height = ReadSize(afterWidth.substr(h + 7));
  }
  return entry;
}

}  // namespace kal
