#include "support/StringUnit.h"

#include "support/HexUtilities.h"

#include <algorithm>

namespace kal {

namespace {

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualAt(std::string_view text, size_t pos, std::string_view searched, bool caseSensitive) {
  if (caseSensitive) return text.compare(pos, searched.size(), searched) == 0;
  for (size_t i = 0; i < searched.size(); ++i)
    if (Lower(text[pos + i]) != Lower(searched[i])) return false;
  return true;
}

// Position of the first occurrence of `searched` at or behind `from`; npos
// when there is none. `searched` is not empty.
size_t FindFrom(std::string_view text, std::string_view searched, size_t from, bool caseSensitive) {
  if (caseSensitive) return text.find(searched, from);
  if (searched.size() > text.size()) return std::string_view::npos;
  for (size_t pos = from; pos + searched.size() <= text.size(); ++pos)
    if (EqualAt(text, pos, searched, false)) return pos;
  return std::string_view::npos;
}

size_t FindLast(std::string_view text, std::string_view searched, bool caseSensitive) {
  if (caseSensitive) return text.rfind(searched);
  if (searched.size() > text.size()) return std::string_view::npos;
  for (size_t pos = text.size() - searched.size() + 1; pos-- > 0;)
    if (EqualAt(text, pos, searched, false)) return pos;
  return std::string_view::npos;
}

std::string ReplaceAll(std::string_view searched, std::string_view replacement,
                       std::string_view source, bool caseSensitive) {
  std::string out;
  out.reserve(source.size());
  size_t from = 0;
  for (;;) {
    const size_t pos = FindFrom(source, searched, from, caseSensitive);
    if (pos == std::string_view::npos) break;
    out.append(source.substr(from, pos - from));
    out.append(replacement);
    from = pos + searched.size();
  }
  out.append(source.substr(from));
  return out;
}

std::string ReplaceAt(std::string_view source, size_t pos, size_t length,
                      std::string_view replacement) {
  std::string out;
  out.reserve(source.size() - length + replacement.size());
  out.append(source.substr(0, pos));
  out.append(replacement);
  out.append(source.substr(pos + length));
  return out;
}

size_t Clamp(int n) {
  return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace

std::string STRTrimLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && IsTrimmed(text[b])) ++b;
  return std::string(text.substr(b));
}

std::string STRTrimRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && IsTrimmed(text[e - 1])) --e;
  return std::string(text.substr(0, e));
}

std::string STRTrim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsTrimmed(text[b])) ++b;
  while (e > b && IsTrimmed(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

bool STRWholeNumber(std::string_view text, int32_t& value) {
  const std::string t = STRTrim(text);
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) i = 1;
  if (i == t.size()) return false;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

std::string STRUpperCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Upper);
  return out;
}

std::string STRLowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

std::string STRRemoveBlanks(std::string_view text) {
  return STRRemoveChars(' ', text);
}

std::string STRRemoveChars(char c, std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != c) out.push_back(ch);
  return out;
}

std::string STRRemoveLeadingChars(char c, std::string_view text) {
  size_t b = 0;
  while (b < text.size() && text[b] == c) ++b;
  return std::string(text.substr(b));
}

std::string STRGetItem(std::string_view separator, std::string& list) {
  const size_t pos = separator.empty() ? std::string::npos : list.find(separator);
  if (pos == std::string::npos) {
    std::string item = std::move(list);
    list.clear();
    return item;
  }
  std::string item = list.substr(0, pos);
  list.erase(0, pos + separator.size());
  return item;
}

std::string STRAddTrailingBlanks(std::string_view text, int length) {
  return STRAddTrailingChars(' ', text, length);
}

std::string STRAddLeadingBlanks(std::string_view text, int length) {
  return STRAddLeadingChars(' ', text, length);
}

std::string STRAddTrailingChars(char c, std::string_view text, int length) {
  std::string out(text);
  if (out.size() < Clamp(length)) out.append(Clamp(length) - out.size(), c);
  return out;
}

std::string STRAddLeadingChars(char c, std::string_view text, int length) {
  if (text.size() >= Clamp(length)) return std::string(text);
  std::string out(Clamp(length) - text.size(), c);
  out.append(text);
  return out;
}

std::string STRAddLeadingCharsAbsolute(char c, std::string_view text, int count) {
  std::string out(Clamp(count), c);
  out.append(text);
  return out;
}

std::string STRRemoveAllNonAlphaNumeric(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) c = ' ';
  }
  return out;
}

std::string STRPreformatXML(std::string_view xml) {
  std::string out;
  out.reserve(xml.size() + xml.size() / 8);
  bool slash = false;
  for (char c : xml) {
    if (static_cast<unsigned char>(c) < 32) continue;
    out.push_back(c);
    if (c == '/') {
      slash = true;
    } else if (c == '<') {
      slash = false;
    } else if (c == '>' && slash) {
      out.append("\r\n");
      slash = false;
    }
  }
  return out;
}

std::string STRStringToHex(std::string_view bytes) {
  return UTHStringToCompactHex(bytes);
}

uint32_t STRStringToLength(std::string_view bytes) {
  if (bytes.size() < 4) return 0;
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return v;
}

std::string STRReplaceSubstring(std::string_view searched, std::string_view replacement,
                                std::string_view source, bool caseSensitive, int mode) {
  if (source.empty() || searched.empty()) return std::string(source);
  if (mode == kSTRReplaceAll) return ReplaceAll(searched, replacement, source, caseSensitive);
  const size_t pos = mode == kSTRReplaceLast ? FindLast(source, searched, caseSensitive)
                                             : FindFrom(source, searched, 0, caseSensitive);
  if (pos == std::string_view::npos) return std::string(source);
  return ReplaceAt(source, pos, searched.size(), replacement);
}

std::string STRReplaceOccurrences(std::string_view searched, std::string_view replacement,
                                  std::string_view source, bool all) {
  if (searched.empty()) return std::string(source);
  if (all) return ReplaceAll(searched, replacement, source, true);
  const size_t pos = source.find(searched);
  if (pos == std::string_view::npos) return std::string(source);
  return ReplaceAt(source, pos, searched.size(), replacement);
}

bool STRIsNumeric(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string STRRemoveLabeledItem(std::string_view label, std::string& list) {
  std::string key(label);
  key.push_back('=');
  const size_t start = list.find(key);
  if (start == std::string::npos) return {};
  size_t end = list.find(';', start);
  if (end == std::string::npos) end = list.size();
  const std::string item = list.substr(start, end - start);
  list.erase(start, end - start);
  return item.substr(item.find('=') + 1);
}

void STRGetLabeledItem(std::string& list, std::string& label, std::string& value) {
  const std::string item = STRGetItem(";", list);
  const size_t eq = item.find('=');
  if (eq == std::string::npos) {
    label = item;
    value.clear();
    return;
  }
  label = STRTrim(std::string_view(item).substr(0, eq));
  value = STRTrim(std::string_view(item).substr(eq + 1));
}

std::string STRInsertSubstring(std::string_view text, std::string_view insertion, int step) {
  if (step < 1) return std::string(text);
  const size_t s = static_cast<size_t>(step);
  std::string out;
  out.reserve(text.size() + (text.size() / s) * insertion.size());
  for (size_t i = 0; i < text.size(); i += s) {
    if (i > 0) out.append(insertion);
    out.append(text.substr(i, s));
  }
  return out;
}

}  // namespace kal
