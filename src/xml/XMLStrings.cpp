#include "xml/XMLStrings.h"

namespace kal {

namespace {

void Record(TInvalidChars* invChars, char16_t w) {
  if (invChars) invChars->Add(w);
}

void AppendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

constexpr bool IsSpaceUnit(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

void TInvalidChars::Clear() {
  for (char16_t w : chars_) seen_[w >> 6] = 0;
  chars_.clear();
}

char16_t UChr(std::uint8_t b, TEncoding cp, TInvalidChars* invChars) {
  const char16_t w = CodePageTable(cp)[b];
  if (w != 0) return w;
  Record(invChars, b);
  return kReplacementChar;
}

std::uint8_t IChr(char16_t w, TEncoding cp, TInvalidChars* invChars) {
  if (w < 127) return LoChar(w);
  const TCodePageTable& table = CodePageTable(cp);
  for (int b = 128; b < 256; ++b)
    if (table[b] == w) return static_cast<std::uint8_t>(b);
  Record(invChars, w);
  return static_cast<std::uint8_t>(kReplacementChar);
}

std::string UnicodeToShort(std::u16string_view s, TEncoding cp, TByteOrder byteOrder,
                           TInvalidChars* invChars) {
  std::string out;
  const std::size_t n = s.size();
  // A unit that is a NUL or a surrogate without its partner: "_", recorded.
  auto replaced = [&](char16_t w) {
    Record(invChars, w);
    return kReplacementChar;
  };
  if (cp == TEncoding::UTF_16) {
    out.resize(2 * n);
    const bool big = byteOrder == TByteOrder::boBigEndian;
    for (std::size_t i = 0; i < n; ++i) {
      char16_t w = s[i];
      if (w == 0) {
        w = replaced(w);
      } else if (IsHighSurrogate(w) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
        out[2 * i] = static_cast<char>(big ? HiChar(w) : LoChar(w));
        out[2 * i + 1] = static_cast<char>(big ? LoChar(w) : HiChar(w));
        w = s[++i];
      } else if (IsHighSurrogate(w) || IsLowSurrogate(w)) {
        w = replaced(w);
      }
      out[2 * i] = static_cast<char>(big ? HiChar(w) : LoChar(w));
      out[2 * i + 1] = static_cast<char>(big ? LoChar(w) : HiChar(w));
    }
    return out;
  }
  if (IsSingleByte(cp)) {
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      out[i] = static_cast<char>(s[i] == 0 ? replaced(0) : IChr(s[i], cp, invChars));
    return out;
  }
  // UTF-8 (and n_sup, which has no bytes of its own).
  out.reserve(n + n / 2);
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t w = s[i];
    if (w != 0 && w < 0x80) {
      out.push_back(static_cast<char>(w));
    } else if (w == 0) {
      out.push_back(static_cast<char>(replaced(w)));
    } else if (IsHighSurrogate(w) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      const char32_t c = 0x10000 + ((char32_t{w} - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      AppendUTF8(out, c);
      ++i;
    } else if (IsHighSurrogate(w) || IsLowSurrogate(w)) {
      out.push_back(static_cast<char>(replaced(w)));
    } else {
      AppendUTF8(out, w);
    }
  }
  return out;
}

std::string WideCharToMB(char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return "_";
  std::string out;
  AppendUTF8(out, c);
  return out;
}

char32_t MBToWideChar(std::string_view s, std::size_t& length) {
  length = 0;
  if (s.empty()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned lead = p[0];
  length = 1;
  if (lead < 0x80) return lead;
  // Number of continuation bytes and the range the first of them must lie in
  // (this excludes overlong forms, encoded surrogates and values above
  // U+10FFFF); the others lie in 0x80-0xBF.
  int more;
  unsigned lo = 0x80, hi = 0xBF;
  char32_t c;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    c = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    c = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return kInvalidUTF8;
  }
  for (int k = 1; k <= more; ++k) {
    if (static_cast<std::size_t>(k) >= s.size()) return kInvalidUTF8;
    const unsigned b = p[k];
    if (b < lo || b > hi) return kInvalidUTF8;
    lo = 0x80;
    hi = 0xBF;
    c = (c << 6) | (b & 0x3F);
    length = static_cast<std::size_t>(k) + 1;
  }
  return c;
}

std::size_t WLength(std::u16string_view s) {
  const std::size_t zero = s.find(u'\0');
  return zero == std::u16string_view::npos ? s.size() : zero;
}

int WCompareStr(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() > b.size() ? 1 : -1;
  return Sign(a.compare(b));
}

int WCompareText(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() > b.size() ? 1 : -1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x < 0x100 && y < 0x100) {
      x = WUpCase(x);
      y = WUpCase(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::u16string WTrim(std::u16string_view s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && IsSpaceUnit(s[begin])) ++begin;
  while (end > begin && IsSpaceUnit(s[end - 1])) --end;
  return std::u16string(s.substr(begin, end - begin));
}

void WStrCopy(std::u16string& dest, std::u16string_view src) {
  dest.assign(src.substr(0, WLength(src)));
}

}  // namespace kal
