#include "xml/InputBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>

#include "common/TestSupport.h"
#include "xml/XMLChars.h"

namespace kal {
namespace {

using namespace std::string_literals;

// A buffer over a byte string.
struct Reader {
  explicit Reader(const std::string& bytes, std::size_t blockSize = BLOCKSIZE)
      : in(bytes), buf(inv, blockSize) {
    buf.Init(in);
  }
  std::istringstream in;
  TInvalidChars inv;
  TInputBuffer buf;
};

std::u16string ReadToEnd(TInputBuffer& buf) {
  std::u16string out;
  for (char16_t c; (c = buf.GetChar()) != EOFChar;) out.push_back(c);
  return out;
}

std::u16string Decode(const std::string& bytes) {
  Reader r(bytes);
  return ReadToEnd(r.buf);
}

// Line of the character after each prefix of text: entry i is the line after
// reading i units. LF, CR and CR LF end a line.
std::vector<int> LinesAfter(const std::u16string& text) {
  std::vector<int> lines{1};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool crlf = text[i] == u'\n' && i > 0 && text[i - 1] == u'\r';
    lines.push_back(lines.back() + ((text[i] == u'\r' || text[i] == u'\n') && !crlf));
  }
  return lines;
}

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

TEST(InputBuffer, ByteOrderMarksAndUtf16) {
  Reader bom("\xEF\xBB\xBF<a>\xC3\xA9");
  EXPECT_EQ(ReadToEnd(bom.buf), u"<a>\u00E9");
  // No mark: UTF-8, so a non-ASCII character arrives whole.
  Reader plain("\xFF<a>\xE2\x82\xAC");
  EXPECT_FALSE(plain.buf.IsWide());
  EXPECT_EQ(ReadToEnd(plain.buf), u"_<a>\u20AC");

  // "<", a pair, a lone high surrogate, "a", a lone low surrogate, a NUL and
  // an odd last byte; little-endian, then swapped to big-endian.
  std::string bytes =
      "\xFF\xFE<\0\x3D\xD8\x00\xDE\x00\xD8"
      "a\0\x00\xDC\0\0\x41"s;
  for (bool big : {false, true}) {
    for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{3}, BLOCKSIZE}) {
      Reader r(bytes, block);
      r.buf.SetEncoding(TEncoding::i8859_1);  // the mark decides
      EXPECT_EQ(r.buf.Encoding(), TEncoding::UTF_16);
      EXPECT_EQ(r.buf.IsBigEndian(), big);
      EXPECT_EQ(ReadToEnd(r.buf), u"<\U0001F600_a___") << big << " " << block;
      EXPECT_EQ(r.inv.DataString(), u"\xD800\xDC00\0\x41"s) << big << " " << block;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  }
}

TEST(InputBuffer, Utf8DecodingAgreesWithPythonOnEveryShortSequence) {
  // Every 2-byte sequence, every 3-byte sequence with a 3- or 4-byte lead,
  // and 4-byte sequences with the third and fourth byte at the edges of the
  // continuation range; each followed by "a".
  std::string bytes = "x";
  auto add = [&](std::initializer_list<int> seq) {
    for (int b : seq) bytes.push_back(static_cast<char>(b));
    bytes.push_back('a');
  };
  for (int lead = 0x80; lead < 0x100; ++lead)
    for (int b2 = 0; b2 < 0x100; ++b2) add({lead, b2});
  for (int lead = 0xE0; lead <= 0xF4; ++lead)
    for (int b2 = 0; b2 < 0x100; ++b2)
      for (int b3 = 0; b3 < 0x100; ++b3) add({lead, b2, b3});
  for (int lead = 0xF0; lead <= 0xF5; ++lead)
    for (int b2 = 0; b2 < 0x100; ++b2)
      for (int b3 : {0x00, 0x7F, 0x80, 0xBF, 0xC0, 0xFF})
        for (int b4 : {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xF4, 0xFF})
          add({lead, b2, b3, b4});
  // Python's decoder calls its error handler once for each maximal
  // ill-formed subpart (where "replace" puts one U+FFFD); we put "_" there,
  // and for NUL as well.
  const std::string py = test::RunPython(
      "import sys, codecs\n"
      "codecs.register_error('underscore', lambda e: ('_', e.end))\n"
      "t = sys.stdin.buffer.read().decode('utf-8', 'underscore')\n"
      "sys.stdout.buffer.write(t.replace('\\0', '_').encode('utf-16-le'))\n",
      bytes);
  ASSERT_EQ(py.size() % 2, 0u);
  std::u16string want(py.size() / 2, u'\0');
  for (std::size_t i = 0; i < want.size(); ++i)
    want[i] = CharsToWideChar(static_cast<unsigned char>(py[2 * i + 1]),
                              static_cast<unsigned char>(py[2 * i]));

  for (std::size_t block : {BLOCKSIZE, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
    Reader r(bytes, block);
    const std::u16string got = r.buf.GetChars(want.size());
    ASSERT_EQ(got.size(), want.size());
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    ASSERT_EQ(static_cast<std::size_t>(diff), want.size())
        << "block " << block << ": first difference at unit " << diff;
    EXPECT_EQ(r.buf.GetChar(), EOFChar);
    // Lead bytes and stray continuation bytes are recorded, and the NUL.
    EXPECT_EQ(r.inv.DataString().size(), 0x80u + 1);
  }
}

TEST(InputBuffer, CodePagesDecodeTheBytesNotYetRead) {
  std::string bytes = "x";
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  for (int e = 1; e <= 11; ++e) {
    const auto cp = static_cast<TEncoding>(e);
    Reader r(bytes);
    EXPECT_EQ(r.buf.GetChar(), u'x');
    r.buf.SetEncoding(cp);
    r.buf.SetEncoding(TEncoding::UTF_16);  // ignored: an 8-bit stream stays 8-bit
    r.buf.SetEncoding(TEncoding::n_sup);   // ignored
    EXPECT_EQ(r.buf.Encoding(), cp);
    const std::u16string got = r.buf.GetChars(256);
    std::u16string record;
    for (int b = 0; b < 256; ++b) {
      const char16_t mapped = iso[e - 1][b];
      EXPECT_EQ(got[b], mapped ? mapped : u'_') << e << " " << b;
      if (!mapped) record.push_back(static_cast<char16_t>(b));
    }
    EXPECT_EQ(r.inv.DataString(), record);
  }
  // A switch affects only what comes after: the stepped-back character keeps
  // its UTF-8 decoding.
  Reader r("\xC3\xA9\xC3\xA9");
  EXPECT_EQ(r.buf.GetChar(), u'\u00E9');
  r.buf.UnGetChar();
  r.buf.SetEncoding(TEncoding::i8859_1);
  EXPECT_EQ(r.buf.GetChars(3), u"\u00E9\u00C3\u00A9");
}

// The same text in every encoding, read at every block size character by
// character, stepping back up to three characters at every position.
TEST(InputBuffer, LinesAndSteppingBackAcrossEveryBlockBoundaryInEveryEncoding) {
  const std::u16string lineEnds = u"a\r\nb\rc\n\nd\r\r\ne\n\r";
  struct Encoded {
    std::string name, bytes;
    TEncoding cp;
    std::u16string text;
  };
  std::vector<Encoded> inputs;
  const std::u16string wide = lineEnds + u"\u00E9\u20AC\r\U0001F600\r\n\u07FF\u0800";
  inputs.push_back({"UTF-8", Utf8(wide), TEncoding::UTF_8, wide});
  for (auto order : {TByteOrder::boLittleEndian, TByteOrder::boBigEndian}) {
    const std::string bom = order == TByteOrder::boBigEndian ? "\xFE\xFF" : "\xFF\xFE";
    inputs.push_back({"UTF-16", bom + UnicodeToShort(wide, TEncoding::UTF_16, order, nullptr),
                      TEncoding::UTF_16, wide});
  }
  for (int e = 1; e <= 11; ++e) {
    std::u16string text = lineEnds;
    std::string bytes = Utf8(lineEnds);
    for (int b = 0xA0; b < 0x100; b += 7)
      if (iso[e - 1][b]) {
        text += {static_cast<char16_t>(iso[e - 1][b]), u'\n'};
        bytes += {static_cast<char>(b), '\n'};
      }
    inputs.push_back({std::string(cps[e]), bytes, static_cast<TEncoding>(e), text});
  }
  for (const Encoded& in : inputs) {
    const std::vector<int> lines = LinesAfter(in.text);
    for (std::size_t block = 1; block <= 7; ++block) {
      SCOPED_TRACE(in.name + " block " + std::to_string(block));
      Reader r(in.bytes, block);
      r.buf.SetEncoding(in.cp);
      for (std::size_t i = 0; i < in.text.size(); ++i) {
        ASSERT_EQ(r.buf.GetChar(), in.text[i]) << i;
        ASSERT_EQ(r.buf.GetLineNumber(), lines[i + 1]) << i;
        for (std::size_t k = 1; k <= 3 && k <= i + 1; ++k) {
          r.buf.UnGetChars(k);
          ASSERT_EQ(r.buf.GetLineNumber(), lines[i + 1 - k]) << i << " back " << k;
          ASSERT_EQ(r.buf.GetChars(k), in.text.substr(i + 1 - k, k)) << i << " back " << k;
        }
      }
      EXPECT_EQ(r.buf.GetChar(), EOFChar);
      EXPECT_TRUE(r.inv.DataString().empty());
    }
  }
}

// Random mixes of single reads, bulk reads and steps back, at small block
// sizes, against one plain reading of the same bytes.
TEST(InputBuffer, BulkAndSingleReadsAgreeUnderRandomStepsBack) {
  const char* pieces[] = {
      "abc",  "\r\n",     "\r", "\n",           "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
      "\x80", "\xE2\x82", "\0", "<![CDATA[x]]>"};
  std::uint32_t seed = 12345;
  auto next = [&](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  std::string bytes;
  for (int i = 0; i < 20000; ++i) {
    const char* p = pieces[next(std::size(pieces))];
    bytes.append(p, *p ? std::strlen(p) : 1);
  }
  const std::u16string text = Decode(bytes);
  const std::vector<int> lines = LinesAfter(text);
  for (std::size_t block : {1, 2, 3, 4, 5, 8, 13, 4096}) {
    SCOPED_TRACE("block " + std::to_string(block));
    Reader r(bytes, block);
    std::size_t pos = 0;  // may run past the end: each read there is an EOFChar
    auto at = [&](std::size_t p) { return p < text.size() ? text[p] : EOFChar; };
    while (pos < text.size() + 10) {
      switch (next(3)) {
        case 0:
          ASSERT_EQ(r.buf.GetChar(), at(pos)) << pos;
          ++pos;
          break;
        case 1: {
          const std::size_t n = next(300);
          const std::u16string got = r.buf.GetChars(n);
          ASSERT_EQ(got.size(), n);
          for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(got[i], at(pos + i)) << pos + i;
          pos += n;
          break;
        }
        default: {
          const std::size_t n = std::min<std::size_t>(next(50), pos);
          r.buf.UnGetChars(n);
          pos -= n;
        }
      }
      ASSERT_EQ(r.buf.GetLineNumber(), lines[std::min(pos, text.size())]) << pos;
    }
  }
}

TEST(InputBuffer, EndOfInputAndTheLimitsOfSteppingBack) {
  TInvalidChars inv;
  TInputBuffer buf(inv, 2);
  EXPECT_EQ(buf.GetChar(), EOFChar);  // no stream yet
  std::istringstream in("ab");
  buf.Init(in);
  buf.UnGetChar();  // nothing read yet: nothing to step back over
  EXPECT_EQ(buf.GetChars(4), u"ab\0\0"s);
  buf.UnGetChar();
  EXPECT_EQ(buf.GetChar(), EOFChar);
  buf.UnGetChars(3);
  EXPECT_EQ(buf.GetChar(), u'b');
  buf.Init(in);  // from the start again
  EXPECT_EQ(buf.GetChar(), u'a');

  // Exactly one block; a character split over two blocks.
  Reader full(std::string(BLOCKSIZE, 'a'));
  EXPECT_EQ(full.buf.GetChars(BLOCKSIZE + 1), std::u16string(BLOCKSIZE, u'a') + u'\0');
  Reader split(std::string(BLOCKSIZE - 1, 'a') + "\xE2\x82\xAC\nb");
  EXPECT_EQ(split.buf.GetChars(BLOCKSIZE - 1).size(), BLOCKSIZE - 1);
  EXPECT_EQ(split.buf.GetChars(2), u"\u20AC\n");
  split.buf.UnGetChars(3);
  EXPECT_EQ(split.buf.GetChars(5), u"a\u20AC\nb\0"s);

  std::string many;
  for (int i = 0; i < 5000; ++i) many.push_back(static_cast<char>('a' + i % 26));
  Reader far(many);
  far.buf.GetChars(5000);
  far.buf.UnGetChars(5000);
  EXPECT_EQ(far.buf.GetChar(), static_cast<char16_t>(many[5000 - TInputBuffer::kMaxStepBack]));
}

TEST(InputBuffer, ALongRunGetsRoomForTheRestOfTheInputOnce) {
  // A run far past 64 K units, over block boundaries, in UTF-8 and UTF-16:
  // its string ends within the input's size instead of doubling past it.
  std::string text;
  while (text.size() < 300000)
    text +=
        "Gr\xC3\xBC"
        "ezi 0123456789 abcdefghij\r\n";
  const std::u16string want = Decode(text);
  std::u16string wantRun;
  for (std::size_t i = 0; i < want.size(); ++i)
    if (!(want[i] == u'\n' && i > 0 && want[i - 1] == u'\r'))
      wantRun.push_back(want[i] == u'\r' ? u'\n' : want[i]);
  const std::string tail = "<end/>";
  const std::string inputs[] = {text + tail,
                                "\xFF\xFE" + UnicodeToShort(want + u"<end/>", TEncoding::UTF_16,
                                                            TByteOrder::boLittleEndian, nullptr)};
  for (const std::string& bytes : inputs) {
    Reader r(bytes);
    std::u16string got;
    EXPECT_EQ(r.buf.GetRun(
                  got, [](char16_t c) { return c == u'<'; }, true),
              u'<');
    EXPECT_EQ(got, wantRun);
    EXPECT_LE(got.capacity(), r.buf.IsWide() ? bytes.size() / 2 + 8 : bytes.size());
    EXPECT_GE(r.buf.UnitsLeft(), tail.size());
  }
}

TEST(InputBuffer, RunsAgreeWithSingleReads) {
  // Runs cut by GetRun against the same units read one at a time, with CR LF
  // and CR turned into LF by hand, over random input and every block size.
  static const std::string kPieces[] = {"a",
                                        "Z",
                                        "<",
                                        "]",
                                        "\r",
                                        "\n",
                                        "\r\n",
                                        " ",
                                        "\xC3\xA9",
                                        "\xE2\x82\xAC",
                                        "\xF0\x9F\x98\x80",
                                        "\xFF",
                                        "\xC3",
                                        "\xED\xA0\x80",
                                        "\0"s,
                                        "\x01"};
  const auto stop = [](char16_t c) { return c == u'<' || c == u']' || !IsNameChar(c); };
  const auto stopData = [](char16_t c) { return c == u'<' || c == u']' || c == u'\x01'; };
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (int n = static_cast<int>(rng() % 60); n > 0; --n)
      bytes += kPieces[rng() % std::size(kPieces)];
    const std::size_t block = std::array<std::size_t, 4>{1, 3, 7, BLOCKSIZE}[round % 4];
    const bool lineEnds = round % 3 != 0;
    const bool data = round % 2 == 0;
    Reader runs(bytes, block), single(bytes, block);
    char16_t last = 0;  // the unit delivered last by the single reader
    for (int guard = 0; guard < 1000; ++guard) {
      std::u16string got, want;
      const char16_t a =
          data ? runs.buf.GetRun(got, stopData, lineEnds) : runs.buf.GetRun(got, stop, lineEnds);
      char16_t b;
      for (;;) {
        b = single.buf.GetChar();
        const bool cr = lineEnds && b == u'\r';
        if (b == EOFChar || (!cr && (data ? stopData(b) : stop(b)))) break;
        if (!lineEnds)
          want.push_back(b);
        else if (!(b == u'\n' && last == u'\r'))
          want.push_back(b == u'\r' ? u'\n' : b);
        last = b;
      }
      single.buf.UnGetChar();
      ASSERT_EQ(a, b) << round;
      ASSERT_EQ(got, want) << round;
      ASSERT_EQ(runs.buf.GetLineNumber(), single.buf.GetLineNumber()) << round;
      if (a == EOFChar) break;
      // The unit that stopped the run comes next, and can be stepped back.
      ASSERT_EQ(runs.buf.GetChar(), single.buf.GetChar());
      runs.buf.UnGetChar();
      single.buf.UnGetChar();
      ASSERT_EQ(runs.buf.GetLineNumber(), single.buf.GetLineNumber()) << round;
      ASSERT_EQ(runs.buf.GetChar(), single.buf.GetChar());
      last = a;
    }
    EXPECT_EQ(runs.inv.DataString(), single.inv.DataString()) << round;
  }
}

// PassBlanks passes over blanks only when "<" follows them in the bytes at
// hand, and then leaves the buffer where reading unit by unit would.
TEST(InputBuffer, PassBlanksOnlyBeforeMarkupAndKeepsTheLineCount) {
  struct Case {
    std::string bytes;  // the first unit is read before PassBlanks
    std::size_t block;
    bool passes;
  };
  const Case cases[] = {
      {">\r\n  \r\n\t<a", BLOCKSIZE, true},
      {"\r\n\r \n\r<a", BLOCKSIZE, true},
      {" <", BLOCKSIZE, true},
      {">  x<", BLOCKSIZE, false},
      {">  ", BLOCKSIZE, false},
      {">\n  \n   <a", 3, false},  // the run reaches past the bytes at hand
      {"\xC3\xA9 <", BLOCKSIZE, true},
      {"\xFF\xFE>\0 \0<\0", BLOCKSIZE, false},  // UTF-16
  };
  for (const Case& c : cases) {
    Reader fast(c.bytes, c.block), slow(c.bytes, c.block);
    fast.buf.GetChar();
    slow.buf.GetChar();
    ASSERT_EQ(fast.buf.PassBlanks(), c.passes) << c.bytes;
    if (c.passes) {
      char16_t u;
      while (IsWhite(u = slow.buf.GetChar())) {
      }
      slow.buf.UnGetChar();
    }
    EXPECT_EQ(fast.buf.GetLineNumber(), slow.buf.GetLineNumber()) << c.bytes;
    EXPECT_EQ(ReadToEnd(fast.buf), ReadToEnd(slow.buf)) << c.bytes;
    EXPECT_EQ(fast.buf.GetLineNumber(), slow.buf.GetLineNumber()) << c.bytes;
  }
}

}  // namespace
}  // namespace kal
