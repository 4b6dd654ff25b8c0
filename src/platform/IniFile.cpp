#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <limits>

#include "platform/AtomicFile.h"

namespace kal {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The section name of a header line, or false when the line is no header.
bool ParseHeader(std::string_view line, std::string_view& name) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  std::string_view rest = t.substr(1);
  const size_t close = rest.find(']');
  if (close != std::string_view::npos) rest = rest.substr(0, close);
  name = Trim(rest);
  return true;
}

}  // namespace

int TPLTIniFile::PLTLoad(const std::string& path, size_t maxBytes) {
  PLTParse("");
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes) return EFBIG;
  std::string content;
  errno = 0;
  if (!PLTReadFile(path, content, maxBytes)) {
    // A file that grew past the limit after stat() also ends up here.
    return errno != 0 ? errno : EIO;
  }
  PLTParse(content);
  return 0;
}

void TPLTIniFile::PLTParse(std::string_view text) {
  sections_.clear();
  sections_.emplace_back();  // the lines in front of the first header
  // Lines end at CR LF, LF or a lone CR, as in support's TTextLineReader
  // (this layer lies below it).
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    AddLine(text.substr(pos, end - pos));
    pos = end + 1;
    if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  RebuildSectionIndex();
}

void TPLTIniFile::AddLine(std::string_view line) {
  std::string_view name;
  if (ParseHeader(line, name)) {
    TSection s;
    s.hasHeader = true;
    s.header = std::string(line);
    s.folded = Fold(name);
    sections_.push_back(std::move(s));
    return;
  }
  TLine l;
  l.raw = std::string(line);
  const std::string_view t = Trim(line);
  const size_t eq = t.find('=');
  if (!t.empty() && t.front() != ';' && t.front() != '#' && eq != std::string_view::npos) {
    const std::string_view key = Trim(t.substr(0, eq));
    if (!key.empty()) {
      l.isKey = true;
      l.key = std::string(key);
      l.value = std::string(Trim(t.substr(eq + 1)));
    }
  }
  sections_.back().lines.push_back(std::move(l));
}

void TPLTIniFile::RebuildSectionIndex() {
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) {
    sections_[i].indexValid = false;
    if (sections_[i].hasHeader) sectionIndex_.emplace(sections_[i].folded, i);
  }
}

void TPLTIniFile::IndexSection(const TSection& s) {
  if (s.indexValid) return;
  s.keyIndex.clear();
  for (size_t i = 0; i < s.lines.size(); ++i)
    if (s.lines[i].isKey) s.keyIndex.emplace(Fold(s.lines[i].key), i);
  s.indexValid = true;
}

std::string TPLTIniFile::PLTText() const {
  std::string out;
  for (const TSection& s : sections_) {
    if (s.hasHeader) out.append(s.header).append("\r\n");
    for (const TLine& l : s.lines) out.append(l.raw).append("\r\n");
  }
  return out;
}

int TPLTIniFile::PLTSave(const std::string& path, unsigned allowedMode) const {
  errno = 0;
  if (PLTWriteFileAtomically(path, PLTText(), allowedMode)) return 0;
  return errno != 0 ? errno : EIO;
}

const TPLTIniFile::TSection* TPLTIniFile::FindSection(std::string_view section) const {
  const auto it = sectionIndex_.find(Fold(Trim(section)));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const TPLTIniFile::TLine* TPLTIniFile::FindKey(std::string_view section,
                                               std::string_view key) const {
  const TSection* s = FindSection(section);
  if (s == nullptr) return nullptr;
  IndexSection(*s);
  const auto it = s->keyIndex.find(Fold(Trim(key)));
  return it == s->keyIndex.end() ? nullptr : &s->lines[it->second];
}

bool TPLTIniFile::PLTSectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool TPLTIniFile::PLTValueExists(std::string_view section, std::string_view key) const {
  return FindKey(section, key) != nullptr;
}

std::string TPLTIniFile::PLTReadString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  const TLine* l = FindKey(section, key);
  return l != nullptr ? l->value : std::string(defaultValue);
}

int32_t TPLTIniFile::PLTReadInteger(std::string_view section, std::string_view key,
                                    int32_t defaultValue) const {
  const TLine* l = FindKey(section, key);
  if (l == nullptr) return defaultValue;
  std::string_view v = l->value;
  bool negative = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  if (v.empty()) return defaultValue;
  int64_t n = 0;
  for (const char c : v) {
    if (c < '0' || c > '9') return defaultValue;
    n = n * 10 + (c - '0');
    if (n > int64_t{std::numeric_limits<int32_t>::max()} + 1) return defaultValue;
  }
  if (negative) n = -n;
  if (n > std::numeric_limits<int32_t>::max()) return defaultValue;
  return static_cast<int32_t>(n);
}

void TPLTIniFile::PLTWriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  const std::string_view trimmedKey = Trim(key);
  const std::string folded = Fold(trimmedKey);

  auto it = sectionIndex_.find(Fold(Trim(section)));
  if (it == sectionIndex_.end()) {
    // A new section goes at the end of the file, behind a blank line.
    const TSection& lastSection = sections_.back();
    const bool fileEmpty = sections_.size() == 1 && lastSection.lines.empty();
    const bool endsBlank = lastSection.lines.empty() ? !lastSection.hasHeader
                                                     : Trim(lastSection.lines.back().raw).empty();
    if (!fileEmpty && !endsBlank) sections_.back().lines.push_back(TLine{});
    TSection s;
    s.hasHeader = true;
    s.header.append("[").append(Trim(section)).append("]");
    s.folded = Fold(Trim(section));
    s.indexValid = true;
    sections_.push_back(std::move(s));
    it = sectionIndex_.emplace(sections_.back().folded, sections_.size() - 1).first;
  }
  TSection& s = sections_[it->second];
  IndexSection(s);
  const auto k = s.keyIndex.find(folded);
  if (k != s.keyIndex.end()) {
    TLine& l = s.lines[k->second];
    if (l.value != Trim(v)) {
      l.value = std::string(Trim(v));
      l.raw = l.key + "=" + v;
    }
    return;
  }
  TLine l;
  l.isKey = true;
  l.key = std::string(trimmedKey);
  l.value = std::string(Trim(v));
  l.raw = l.key + "=" + v;
  // Behind the last key of the section (right behind the header when it has
  // none), so that comments and blank lines that close the section stay
  // where they are.
  size_t pos = s.lines.size();
  while (pos > 0 && !s.lines[pos - 1].isKey) --pos;
  if (pos == s.lines.size()) {
    s.lines.push_back(std::move(l));
    s.keyIndex.emplace(folded, pos);
  } else {
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(l));
    s.indexValid = false;
  }
}

void TPLTIniFile::PLTWriteInteger(std::string_view section, std::string_view key, int32_t value) {
  PLTWriteString(section, key, std::to_string(value));
}

void TPLTIniFile::PLTEraseSection(std::string_view section) {
  const std::string folded = Fold(Trim(section));
  std::vector<TSection> kept;
  kept.reserve(sections_.size());
  for (TSection& s : sections_)
    if (!s.hasHeader || s.folded != folded) kept.push_back(std::move(s));
  sections_ = std::move(kept);
  RebuildSectionIndex();
}

}  // namespace kal
