#include "ep2/DocumentText.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kal {

namespace {

// Decodes UTF-8 into d, which has room for one unit per byte; returns the
// end of what was written, or null at the first ill-formed or truncated
// sequence.
char16_t* DecodeUTF8(std::string_view s, char16_t* d) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* const end = p + s.size();
  while (p < end) {
    // Runs of ASCII, the bulk of ep2 values, sixteen or eight bytes at a
    // time.
#if defined(__SSE2__)
    while (end - p >= 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      if (_mm_movemask_epi8(bytes)) break;
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(bytes, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(bytes, zero));
      d += 16;
      p += 16;
    }
#endif
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if (w & 0x8080808080808080u) break;
      for (int i = 0; i < 8; ++i) d[i] = p[i];
      d += 8;
      p += 8;
    }
    if (p == end) break;
    const unsigned char b = *p;
    if (b < 0x80) {
      *d++ = b;
      ++p;
      continue;
    }
    std::uint32_t cp;
    std::size_t extra;
    std::uint32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
      cp = b & 0x1F;
      extra = 1;
      min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      cp = b & 0x0F;
      extra = 2;
      min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      cp = b & 0x07;
      extra = 3;
      min = 0x10000;
    } else {
      return nullptr;
    }
    if (static_cast<std::size_t>(end - p) <= extra) return nullptr;
    for (std::size_t i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return nullptr;
      cp = cp << 6 | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return nullptr;
    if (cp < 0x10000) {
      *d++ = static_cast<char16_t>(cp);
    } else {
      // Four bytes give two units.
      cp -= 0x10000;
      *d++ = static_cast<char16_t>(0xD800 | cp >> 10);
      *d++ = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
    p += extra + 1;
  }
  return d;
}

}  // namespace

void UTFAppendDocumentText(std::string_view value, std::u16string& out) {
  const std::size_t start = out.size();
  // A UTF-8 sequence never gives more units than it has bytes.
  out.resize(start + value.size());
  char16_t* const first = out.data() + start;
  if (char16_t* const last = DecodeUTF8(value, first)) {
    out.resize(static_cast<std::size_t>(last - out.data()));
    return;
  }
  char16_t* d = first;
  for (char c : value) *d++ = static_cast<unsigned char>(c);
}

std::u16string UTFToDocumentText(std::string_view value) {
  std::u16string out;
  UTFAppendDocumentText(value, out);
  return out;
}

void UTFAppendFromDocumentText(std::u16string_view text, std::string& out) {
  const std::size_t start = out.size();
  // At most three bytes per unit (a pair of units gives four).
  out.resize(start + 3 * text.size());
  char* d = out.data() + start;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    // Runs of ASCII, the bulk of ep2 values, eight units at a time.
    while (n - i >= 8) {
      std::uint64_t w[2];
      std::memcpy(w, text.data() + i, sizeof w);
      if ((w[0] | w[1]) & 0xFF80FF80FF80FF80u) break;
      for (int k = 0; k < 8; ++k) d[k] = static_cast<char>(text[i + k]);
      d += 8;
      i += 8;
    }
    if (i == n) break;
    std::uint32_t c = text[i];
    if (c < 0x80) {
      *d++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *d++ = static_cast<char>(0xC0 | c >> 6);
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0xD800 || c > 0xDFFF) {
      *d++ = static_cast<char>(0xE0 | c >> 12);
      *d++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
      *d++ = static_cast<char>(0xF0 | c >> 18);
      *d++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
      *d++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *d++ = '_';
    }
  }
  out.resize(static_cast<std::size_t>(d - out.data()));
}

std::string UTFFromDocumentText(std::u16string_view text) {
  std::string out;
  UTFAppendFromDocumentText(text, out);
  return out;
}

}  // namespace kal
