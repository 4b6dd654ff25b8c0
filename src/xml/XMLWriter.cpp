#include "xml/XMLWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <ostream>
#include <utility>
#include <vector>

#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLReferences.h"
#include "xml/XMLStrings.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kal {

namespace {

using Mode = TVxXMLWriter::Mode;
using Enc = TVxXMLWriter::Enc;

constexpr int kModes = 7;

// For each mode, the ASCII units that need more than their own byte: the
// controls XML cannot carry in every mode, and the characters each mode
// escapes or watches.
constexpr std::array<std::array<bool, 128>, kModes> BuildSpecial() {
  std::array<std::array<bool, 128>, kModes> t{};
  for (auto& row : t)
    for (int c = 0; c < 0x20; ++c) row[c] = c != '\t' && c != '\n' && c != '\r';
  auto mark = [&t](Mode m, std::string_view chars) {
    for (char c : chars) t[static_cast<int>(m)][static_cast<unsigned char>(c)] = true;
  };
  // A CR in text is written as a reference: readers turn a literal CR into
  // LF, so only the reference brings it back.
  mark(Mode::Text, "&<>\r");
  mark(Mode::Attr, "&<\"\t\n\r");
  mark(Mode::CData, ">");
  mark(Mode::Comment, "-");
  mark(Mode::PI, "?");
  return t;
}
constexpr auto kSpecial = BuildSpecial();

// For each mode, the printable ASCII characters (U+0020-U+007E) that it does
// not write as they are, padded with NUL, which is no printable character.
using TStops = std::array<char, 3>;
constexpr std::array<TStops, kModes> BuildStops() {
  std::array<TStops, kModes> t{};
  for (int m = 0; m < kModes; ++m) {
    std::size_t n = 0;
    for (int c = 0x20; c < 0x7F; ++c)
      if (kSpecial[m][c]) {
        if (n == t[m].size()) throw "a mode stops at more printable characters than fit";
        t[m][n++] = static_cast<char>(c);
      }
  }
  return t;
}
constexpr auto kStops = BuildStops();

// The length of the run at the start of s (n units at most) of printable
// ASCII other than stops; its units are written to p, one byte each. Blocks
// of 16 or 8 units are narrowed and tested at once (a unit above U+00FF
// saturates to 00 or FF, which are no printable bytes), the last block
// ending at n and overlapping units already known to be plain. A block is
// stored whole, so p must have room for n bytes.
inline std::size_t NarrowPlain(const char16_t* s, std::size_t n, char* p, const TStops& stops) {
#if defined(__SSE2__)
  if (n >= 8) {
    const __m128i below = _mm_set1_epi8(0x20 - 1);
    const __m128i above = _mm_set1_epi8(0x7E + 1);
    const __m128i stop0 = _mm_set1_epi8(stops[0]);
    const __m128i stop1 = _mm_set1_epi8(stops[1]);
    const __m128i stop2 = _mm_set1_epi8(stops[2]);
    // The lanes of bytes that belong to the run, as bits.
    const auto plain = [&](__m128i bytes) {
      const __m128i printable =
          _mm_and_si128(_mm_cmpgt_epi8(bytes, below), _mm_cmplt_epi8(bytes, above));
      const __m128i stop =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, stop0), _mm_cmpeq_epi8(bytes, stop1)),
                       _mm_cmpeq_epi8(bytes, stop2));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(stop, printable)));
    };
    // The units from k on that belong to the run: 16 when all of them do.
    const auto block16 = [&](std::size_t k) {
      const __m128i bytes =
          _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k + 8)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + k), bytes);
      return static_cast<std::size_t>(std::countr_one(plain(bytes)));
    };
    const auto block8 = [&](std::size_t k) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k));
      const __m128i bytes = _mm_packus_epi16(units, units);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p + k), bytes);
      return static_cast<std::size_t>(std::countr_one(plain(bytes) & 0xFF));
    };
    if (n < 16) {
      if (const std::size_t run = block8(0); run < 8) return run;
      return n - 8 + block8(n - 8);
    }
    std::size_t k = 0;
    for (; k + 16 <= n; k += 16)
      if (const std::size_t run = block16(k); run < 16) return k + run;
    return k == n ? n : n - 16 + block16(n - 16);
  }
#endif
  std::size_t k = 0;
  for (; k < n; ++k) {
    const char16_t c = s[k];
    if (c < 0x20 || c > 0x7E || c == stops[0] || c == stops[1] || c == stops[2]) break;
    p[k] = static_cast<char>(c);
  }
  return k;
}

// Bytes one code unit can take at most: "]]><![CDATA[>" in UTF-16.
constexpr std::size_t kMaxBytesPerUnit = 26;
// Units escaped per reservation, so that a long value does not reserve its
// worst case all at once.
constexpr std::size_t kChunk = 1024;
constexpr std::size_t kInitialSize = 4096;

// The block of the last writer that went on this thread, when it was small,
// kept for the next writer: messages are written one after the other, and
// getting a fresh block costs more than writing a small document into it.
constexpr std::size_t kKeptBlockMax = 64 * 1024;
struct TKeptBlock {
  char* block = nullptr;
  std::size_t size = 0;
  ~TKeptBlock() { std::free(block); }
};
thread_local TKeptBlock keptBlock;

template <Enc E>
inline char* PutAscii(char* p, char c) {
  if constexpr (E == Enc::Utf16LE) {
    p[0] = c;
    p[1] = 0;
    return p + 2;
  } else if constexpr (E == Enc::Utf16BE) {
    p[0] = 0;
    p[1] = c;
    return p + 2;
  } else {
    *p = c;
    return p + 1;
  }
}

template <Enc E>
inline char* PutAscii(char* p, std::string_view s) {
  if constexpr (E == Enc::Utf8 || E == Enc::Single) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
  } else {
    for (char c : s) p = PutAscii<E>(p, c);
    return p;
  }
}

template <Enc E>
inline char* PutUnit16(char* p, char16_t w) {
  const char hi = static_cast<char>(w >> 8), lo = static_cast<char>(w & 0xFF);
  p[0] = E == Enc::Utf16BE ? hi : lo;
  p[1] = E == Enc::Utf16BE ? lo : hi;
  return p + 2;
}

// A code point of a Unicode encoding.
template <Enc E>
inline char* PutCodePoint(char* p, char32_t c) {
  if constexpr (E == Enc::Utf8) {
    if (c < 0x800) {
      p[0] = static_cast<char>(0xC0 | (c >> 6));
      p[1] = static_cast<char>(0x80 | (c & 0x3F));
      return p + 2;
    }
    if (c < 0x10000) {
      p[0] = static_cast<char>(0xE0 | (c >> 12));
      p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      p[2] = static_cast<char>(0x80 | (c & 0x3F));
      return p + 3;
    }
    p[0] = static_cast<char>(0xF0 | (c >> 18));
    p[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    p[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    p[3] = static_cast<char>(0x80 | (c & 0x3F));
    return p + 4;
  } else {
    if (c < 0x10000) return PutUnit16<E>(p, static_cast<char16_t>(c));
    c -= 0x10000;
    p = PutUnit16<E>(p, static_cast<char16_t>(0xD800 + (c >> 10)));
    return PutUnit16<E>(p, static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// "&#xHEX;" for code point c.
template <Enc E>
char* PutCharRef(char* p, char32_t c) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = "0123456789ABCDEF"[c & 0xF];
    c >>= 4;
  } while (c);
  p = PutAscii<E>(p, "&#x");
  while (n) p = PutAscii<E>(p, digits[--n]);
  return PutAscii<E>(p, ';');
}

}  // namespace

TVxXMLWriter::TVxXMLWriter(const TVxXMLDocument& doc, TInvalidChars& invChars, bool formatedOutput)
    : doc_(doc), invChars_(invChars), formatedOutput_(formatedOutput), cp_(doc.GetEncoding()) {
  if (cp_ == TEncoding::UTF_16)
    enc_ = doc.ByteOrder == TByteOrder::boBigEndian ? Enc::Utf16BE : Enc::Utf16LE;
  else if (IsSingleByte(cp_))
    enc_ = Enc::Single;
  else
    enc_ = Enc::Utf8;
  delAllowed_ = enc_ != Enc::Single || CodePageTable(cp_)[0x7F] == 0x7F;
  buf_ = std::exchange(keptBlock.block, nullptr);
  cap_ = std::exchange(keptBlock.size, 0);
}

TVxXMLWriter::~TVxXMLWriter() {
  if (cap_ <= kKeptBlockMax && !keptBlock.block) {
    keptBlock.block = buf_;
    keptBlock.size = cap_;
  } else {
    std::free(buf_);
  }
}

void TVxXMLWriter::Grow(std::size_t n) {
  const std::size_t cap = std::max({kInitialSize, 2 * cap_, size_ + n});
  char* grown = static_cast<char*>(std::realloc(buf_, cap));
  if (!grown) throw std::bad_alloc();
  buf_ = grown;
  cap_ = cap;
}

// True when the output before p ends with "]]" (which character data and
// CDATA never escape, so the source had it there too).
template <Enc E>
bool TVxXMLWriter::EndsWithBrackets(const char* p) const {
  if constexpr (E == Enc::Utf8 || E == Enc::Single) {
    return p - buf_ >= 2 && p[-1] == ']' && p[-2] == ']';
  } else {
    // Each unit is two bytes, the low byte first in little-endian order.
    const int lo = E == Enc::Utf16LE ? 2 : 1;
    const int hi = E == Enc::Utf16LE ? 1 : 2;
    return p - buf_ >= 4 && p[-lo] == ']' && p[-hi] == 0 && p[-2 - lo] == ']' && p[-2 - hi] == 0;
  }
}

void TVxXMLWriter::AsciiWide(std::string_view s) {
  char* p = Reserve(2 * s.size());
  p = enc_ == Enc::Utf16LE ? PutAscii<Enc::Utf16LE>(p, s) : PutAscii<Enc::Utf16BE>(p, s);
  size_ = static_cast<std::size_t>(p - buf_);
}

void TVxXMLWriter::NewLineWide(std::size_t blanks) {
  char* p = Reserve(2 * (blanks + 2));
  const bool le = enc_ == Enc::Utf16LE;
  p = le ? PutAscii<Enc::Utf16LE>(p, "\r\n") : PutAscii<Enc::Utf16BE>(p, "\r\n");
  for (std::size_t i = 0; i < blanks; ++i)
    p = le ? PutAscii<Enc::Utf16LE>(p, ' ') : PutAscii<Enc::Utf16BE>(p, ' ');
  size_ = static_cast<std::size_t>(p - buf_);
}

void TVxXMLWriter::ByteOrderMark() {
  if (enc_ == Enc::Utf16BE || enc_ == Enc::Utf16LE) {
    char* p = Reserve(2);
    p = enc_ == Enc::Utf16BE ? PutUnit16<Enc::Utf16BE>(p, 0xFEFF)
                             : PutUnit16<Enc::Utf16LE>(p, 0xFEFF);
    size_ = static_cast<std::size_t>(p - buf_);
  }
}

void TVxXMLWriter::Markup(std::u16string_view s) {
  Put(s, Mode::Markup);
}
void TVxXMLWriter::Text(std::u16string_view s) {
  Put(s, Mode::Text);
}
void TVxXMLWriter::AttValue(std::u16string_view s) {
  Put(s, Mode::Attr);
}
void TVxXMLWriter::EntityValue(std::u16string_view s) {
  Put(s, Mode::Entity);
}
void TVxXMLWriter::CData(std::u16string_view s) {
  Put(s, Mode::CData);
}
void TVxXMLWriter::Comment(std::u16string_view s) {
  Put(s, Mode::Comment);
}
void TVxXMLWriter::PIData(std::u16string_view s) {
  Put(s, Mode::PI);
}

void TVxXMLWriter::Put(std::u16string_view s, Mode mode) {
  switch (enc_) {
    case Enc::Utf8:
      PutAs<Enc::Utf8>(s, mode);
      break;
    case Enc::Utf16LE:
      PutAs<Enc::Utf16LE>(s, mode);
      break;
    case Enc::Utf16BE:
      PutAs<Enc::Utf16BE>(s, mode);
      break;
    case Enc::Single:
      PutAs<Enc::Single>(s, mode);
      break;
  }
}

template <Enc E>
void TVxXMLWriter::PutAs(std::u16string_view s, Mode mode) {
  const std::array<bool, 128>& special = kSpecial[static_cast<int>(mode)];
  const TStops& stops = kStops[static_cast<int>(mode)];
  const bool refsAllowed = mode == Mode::Text || mode == Mode::Attr || mode == Mode::Entity;
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t end = std::min(n, i + kChunk);
    char* p = Reserve((end - i + 1) * kMaxBytesPerUnit);
    // The unit of the last step may be the first half of a pair that ends
    // past end; the loop then takes one unit more than the chunk.
    for (; i < end; ++i) {
      const char16_t c = s[i];
      if constexpr (E == Enc::Utf8 || E == Enc::Single) {
        // A run of characters written as they are, when this is one.
        if (c >= 0x20 && c <= 0x7E && !special[c]) {
          const std::size_t run = NarrowPlain(s.data() + i, end - i, p, stops);
          p += run;
          i += run - 1;
          continue;
        }
      } else {
        (void)stops;
      }
      // DEL is ASCII, but the ISO-8859 encodings do not carry it.
      if (c < 0x80 && !(E == Enc::Single && c == 0x7F && !delAllowed_)) {
        if (!special[c]) {
          p = PutAscii<E>(p, static_cast<char>(c));
          continue;
        }
        switch (c) {
          case u'&':
            p = PutAscii<E>(p, "&amp;");
            break;
          case u'<':
            p = PutAscii<E>(p, "&lt;");
            break;
          case u'>':
            if (!EndsWithBrackets<E>(p))
              p = PutAscii<E>(p, '>');
            else
              p = PutAscii<E>(p, mode == Mode::Text ? "&gt;" : "]]><![CDATA[>");
            break;
          case u'"':
            p = PutAscii<E>(p, "&quot;");
            break;
          case u'\t':
            p = PutAscii<E>(p, "&#9;");
            break;
          case u'\n':
            p = PutAscii<E>(p, "&#10;");
            break;
          case u'\r':
            p = PutAscii<E>(p, "&#13;");
            break;
          case u'-':
            p = PutAscii<E>(p, '-');
            if (i + 1 == n || s[i + 1] == u'-') p = PutAscii<E>(p, ' ');
            break;
          case u'?':
            p = PutAscii<E>(p, '?');
            if (i + 1 < n && s[i + 1] == u'>') p = PutAscii<E>(p, ' ');
            break;
          default:
            // A control XML cannot carry.
            invChars_.Add(c);
            p = PutAscii<E>(p, kReplacementChar);
        }
        continue;
      }
      char32_t cp = c;
      std::size_t units = 1;
      if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
        cp = 0x10000 + ((char32_t{c} - 0xD800) << 10) + (s[i + 1] - 0xDC00);
        units = 2;
      } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c >= 0xFFFE) {
        invChars_.Add(c);
        p = PutAscii<E>(p, kReplacementChar);
        continue;
      }
      if constexpr (E == Enc::Single) {
        const std::uint8_t b = units == 1 ? IChr(c, cp_, nullptr) : 0;
        if (b >= 0x80) {
          *p++ = static_cast<char>(b);
        } else if (refsAllowed) {
          p = PutCharRef<E>(p, cp);
        } else {
          for (std::size_t k = 0; k < units; ++k) {
            invChars_.Add(s[i + k]);
            *p++ = kReplacementChar;
          }
        }
      } else {
        (void)refsAllowed;
        p = PutCodePoint<E>(p, cp);
      }
      i += units - 1;
    }
    size_ = static_cast<std::size_t>(p - buf_);
  }
}

// ---------------------------------------------------------------------------
// The writers of the nodes

void TVxXMLNode::Write(TVxXMLWriter& writer, int) const {
  writer.Markup(FNodeName);
  writer.Ascii(" ");
  writer.Text(FNodeValue);
  writer.PrevIsText = false;
}

void TVxXMLText::Write(TVxXMLWriter& writer, int) const {
  writer.Text(FNodeValue);
  writer.PrevIsText = true;
}

namespace {

// The start of a CDATA section, comment or PI at level l of its parent.
void OpenLeaf(TVxXMLWriter& writer, int l, std::string_view opening) {
  if (!writer.PrevIsText) writer.NewLine(writer.FormatedOutput() ? l + 3 : l);
  writer.Ascii(opening);
}

}  // namespace

void TVxXMLCData::Write(TVxXMLWriter& writer, int l) const {
  OpenLeaf(writer, l, "<![CDATA[");
  writer.CData(FNodeValue);
  writer.Ascii("]]>");
  writer.PrevIsText = false;
}

void TVxXMLComment::Write(TVxXMLWriter& writer, int l) const {
  OpenLeaf(writer, l, "<!--");
  writer.Comment(FNodeValue);
  writer.Ascii("-->");
  writer.PrevIsText = false;
}

void TVxXMLPi::Write(TVxXMLWriter& writer, int l) const {
  OpenLeaf(writer, l, "<?");
  writer.Markup(FNodeName);
  if (!XMLTrim(FNodeValue).empty()) {
    writer.Ascii(" ");
    writer.PIData(FNodeValue);
  }
  writer.Ascii("?>");
  writer.PrevIsText = false;
}

void TVxXMLAttr::Write(TVxXMLWriter& writer, int) const {
  writer.Ascii(" ");
  writer.Markup(FNodeName);
  writer.Ascii(" = \"");
  if (GetAttrType() == ':') {
    writer.AttValue(FNodeValue);
  } else {
    // A declared type other than CDATA trims and collapses the blanks it
    // reads; the blanks it would drop are written as references.
    const std::u16string_view v = FNodeValue;
    std::size_t from = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (v[i] != u' ' || (i > 0 && i + 1 < v.size() && v[i - 1] != u' ')) continue;
      writer.AttValue(v.substr(from, i - from));
      writer.Ascii("&#32;");
      from = i + 1;
    }
    writer.AttValue(v.substr(from));
  }
  writer.Ascii("\"");
  writer.PrevIsText = false;
}

void TVxCustomReference::Write(TVxXMLWriter& writer, int) const {
  writer.Ascii("&");
  writer.Markup(FNodeName);
  writer.Ascii(";");
  writer.PrevIsText = true;
}

namespace {

// Writes the start tag of e at level l; false when e has no content (then
// the tag is closed with "/>"). name receives where the tag's name went in
// the output and its length in bytes.
bool OpenElement(TVxXMLWriter& writer, const TVxXMLElement& e, int l, std::size_t& name,
                 std::size_t& nameBytes) {
  if (!writer.PrevIsText) writer.NewLine(l);
  writer.Ascii("<");
  name = writer.Output().size();
  writer.Markup(e.TagName());
  nameBytes = writer.Output().size() - name;
  bool content = false;
  for (const TVxXMLNode* n = e.GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() == ntAttribute)
      n->Write(writer, 0);
    else
      content = true;
  }
  if (content) {
    writer.Ascii(">");
    return true;
  }
  writer.Ascii("/>");
  writer.PrevIsText = false;
  return false;
}

}  // namespace

void TVxXMLElement::Write(TVxXMLWriter& writer, int l) const {
  struct Frame {
    const TVxXMLElement* element;
    const TVxXMLNode* next;  // the next node of its list to write
    int level;
    // The element's name as its start tag wrote it, which its end tag
    // repeats byte for byte.
    std::size_t name;
    std::size_t nameBytes;
  };
  std::size_t name = 0, nameBytes = 0;
  if (!OpenElement(writer, *this, l, name, nameBytes)) return;
  const int step = writer.FormatedOutput() ? 3 : 0;
  std::vector<Frame> open;
  open.reserve(16);
  open.push_back({this, GetFirstNode(), l, name, nameBytes});
  while (!open.empty()) {
    Frame& top = open.back();
    const TVxXMLNode* n = top.next;
    while (n && n->GetType() == ntAttribute) n = n->Next();
    if (!n) {
      if (!writer.PrevIsText) writer.NewLine(top.level);
      writer.Ascii("</");
      writer.Repeat(top.name, top.nameBytes);
      writer.Ascii(">");
      writer.PrevIsText = false;
      open.pop_back();
      continue;
    }
    top.next = n->Next();
    const int level = top.level + step;
    const TVxXMLElement* child = n->GetType() == ntElement ? n->AsElement() : nullptr;
    if (child) {
      if (OpenElement(writer, *child, level, name, nameBytes))
        open.push_back({child, child->GetFirstNode(), level, name, nameBytes});
    } else {
      n->Write(writer, level);
    }
  }
}

void TVxXMLDocument::Write(std::string& out) const {
  TInvalidChars own;
  TInvalidChars& invChars = FParser ? FParser->InvalidCharRecord() : own;
  invChars.Clear();
  TVxXMLWriter writer(*this, invChars, FParser ? FParser->FormatedOutput() : true);
  writer.ByteOrderMark();
  // Only what an XML declaration may hold, in its order and with its
  // names: version, encoding and a standalone of "yes" or "no". Other
  // pseudo-attributes the parser tolerated are not written.
  writer.Ascii("<?xml");
  const auto pseudo = [&writer](const char* name, std::u16string_view value) {
    writer.Ascii(" ");
    writer.Ascii(name);
    writer.Ascii(" = \"");
    writer.AttValue(value);
    writer.Ascii("\"");
  };
  // The attribute GetAttributeNode would give for each name (the first of
  // that name, in any case), found in one walk of the list.
  constexpr std::u16string_view kNames[] = {u"version", u"encoding", u"standalone"};
  const TVxXMLNode* first[std::size(kNames)] = {};
  for (const TVxXMLNode* n = GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() != ntAttribute) continue;
    for (std::size_t k = 0; k < std::size(kNames); ++k)
      if (!first[k] && XMLCompareText(n->GetName(), kNames[k]) == 0) first[k] = n;
  }
  const auto attribute = [&first](std::size_t k) {
    return dynamic_cast<const TVxXMLAttr*>(first[k]);
  };
  if (const TVxXMLAttr* a = attribute(0)) pseudo("version", a->GetValue());
  if (const TVxXMLAttr* a = attribute(1)) pseudo("encoding", a->GetValue());
  if (const TVxXMLAttr* a = attribute(2)) {
    if (XMLCompareText(a->GetValue(), u"yes") == 0)
      pseudo("standalone", u"yes");
    else if (XMLCompareText(a->GetValue(), u"no") == 0)
      pseudo("standalone", u"no");
  }
  writer.Ascii("?>\r\n");
  writer.PrevIsText = false;
  for (const TVxXMLNode* n = GetFirstNode(); n; n = n->Next())
    if (n->GetType() != ntAttribute) n->Write(writer, 0);
  out.assign(writer.Output());
}

void TVxXMLDocument::Write(std::ostream& stream) const {
  std::string bytes;
  Write(bytes);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kal
