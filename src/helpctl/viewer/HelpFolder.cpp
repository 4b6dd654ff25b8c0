#include "helpctl/viewer/HelpFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kal {

namespace {

constexpr std::streamsize kMaxFileBytes = 1 << 20;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The entry lines of a folder file, each split at its first `fields` - 1
// "|" (the last field keeps any further "|").
std::vector<std::vector<std::string>> ReadLines(const std::string& path, size_t fields) {
  std::vector<std::vector<std::string>> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  std::string text(static_cast<size_t>(kMaxFileBytes), '\0');
  in.read(text.data(), kMaxFileBytes);
  text.resize(static_cast<size_t>(in.gcount()));
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || line[0] == '#') continue;
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < fields) {
      const size_t bar = line.find('|', start);
      if (bar == std::string::npos) break;
      parts.push_back(Trim(line.substr(start, bar - start)));
      start = bar + 1;
    }
    parts.push_back(Trim(line.substr(start)));
    if (parts.size() == fields) lines.push_back(std::move(parts));
  }
  return lines;
}

std::optional<int32_t> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

std::string HLVFold(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

THLVAddress HLVParseAddress(const std::string& address) {
  std::string rest = address.substr(0, address.find('>'));
  THLVAddress result;
  const size_t inner = rest.find("::");
  result.folder = rest.substr(0, inner);
  if (inner != std::string::npos) {
    result.page = rest.substr(inner + 2);
    while (!result.page.empty() && (result.page[0] == '/' || result.page[0] == '\\'))
      result.page.erase(0, 1);
  }
  return result;
}

bool THLVHelpFolder::HLVLoad(const std::string& folder) {
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  folder_ = folder;
  contents_.clear();
  index_.clear();
  map_.clear();
  for (auto& f : ReadLines(HLVPath("contents.txt"), 3)) {
    const auto depth = Number(f[0]);
    if (depth && *depth >= 0) contents_.push_back({*depth, f[1], f[2]});
  }
  for (auto& f : ReadLines(HLVPath("index.txt"), 2)) index_.push_back({f[0], f[1]});
  for (auto& f : ReadLines(HLVPath("map.txt"), 2)) {
    if (const auto number = Number(f[0])) map_.emplace(*number, f[1]);
  }
  return true;
}

std::optional<std::string> THLVHelpFolder::HLVPageOf(int32_t context) const {
  const auto it = map_.find(context);
  if (it == map_.end()) return std::nullopt;
  return it->second;
}

std::optional<THLVIndexEntry> THLVHelpFolder::HLVLookup(const std::string& keywords) const {
  std::istringstream stream(keywords);
  std::string keyword;
  while (std::getline(stream, keyword, ';')) {
    const std::string folded = HLVFold(Trim(keyword));
    if (folded.empty()) continue;
    for (const THLVIndexEntry& entry : index_)
      if (HLVFold(entry.keyword) == folded) return entry;
  }
  return std::nullopt;
}

std::string THLVHelpFolder::HLVFirstPage() const {
  for (const THLVContentsEntry& entry : contents_)
    if (!entry.page.empty()) return entry.page;
  return {};
}

std::string THLVHelpFolder::HLVPath(const std::string& page) const {
  if (folder_.empty() || folder_.back() == '/') return folder_ + page;
  return folder_ + "/" + page;
}

std::optional<std::string> HLVPopupText(const std::string& path, int32_t number) {
  for (auto& f : ReadLines(path, 2)) {
    if (Number(f[0]) != number) continue;
    std::string text;
    for (size_t i = 0; i < f[1].size(); ++i) {
      if (f[1][i] == '\\' && i + 1 < f[1].size() && f[1][i + 1] == 'n') {
        text += '\n';
        ++i;
      } else {
        text += f[1][i];
      }
    }
    return text;
  }
  return std::nullopt;
}

}  // namespace kal
