#include "workbench/EmvElementMap.h"

#include "platform/AtomicFile.h"
#include "platform/ProgramDirectory.h"
#include "support/StringUnit.h"

namespace kal {

std::string TEEMEmvElementMap::DefaultPath() {
  return PLTProgramDirectory() + "EMVElements.ini";
}

bool TEEMEmvElementMap::Load(const std::string& path, std::string& error) {
  std::string text;
  // The table has a few hundred lines; anything far larger is not one.
  if (!PLTReadFile(path, text, 16u * 1024u * 1024u)) {
    error = "Cannot read " + path;
    return false;
  }
  Parse(text);
  return true;
}

void TEEMEmvElementMap::Parse(std::string_view text) {
  entries_.clear();
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t first = line.find(';');
    TEEMEntry entry;
    entry.name = STRTrim(line.substr(0, first));
    if (first != std::string_view::npos) {
      const std::string_view rest = line.substr(first + 1);
      entry.tag = STRTrim(rest.substr(0, rest.find(';')));
    }
    if (!entry.name.empty()) entries_.push_back(std::move(entry));
  }
}

std::optional<std::string> TEEMEmvElementMap::FindTag(std::string_view name) const {
  for (const TEEMEntry& entry : entries_)
    if (entry.name == name) return entry.tag;
  return std::nullopt;
}

}  // namespace kal
