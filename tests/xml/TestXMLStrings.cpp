#include "xml/XMLStrings.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace kal {
namespace {

using namespace std::string_literals;

TEST(XMLStrings, UnicodeToShortAgreesWithPythonOverEveryCodePoint) {
  // Every code point from U+0001 to U+10FFFF except the surrogates, in
  // UTF-16LE (our input), UTF-8 and UTF-16BE, each preceded by its length.
  const std::string py = test::RunPython(
      "import sys, itertools\n"
      "s = ''.join(map(chr, itertools.chain(range(1, 0xD800), range(0xE000, 0x110000))))\n"
      "for codec in ('utf-16-le', 'utf-8', 'utf-16-be', 'utf-16-le'):\n"
      "    b = s.encode(codec)\n"
      "    sys.stdout.buffer.write(b'%d\\n' % len(b) + b)\n",
      "");
  std::size_t pos = 0;
  auto next = [&] {
    const std::size_t nl = py.find('\n', pos);
    const std::size_t len = std::stoul(py.substr(pos, nl - pos));
    pos = nl + 1 + len;
    return py.substr(nl + 1, len);
  };
  const std::string le = next();
  std::u16string text(le.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = CharsToWideChar(le[2 * i + 1], le[2 * i]);
  for (auto [cp, order] : {std::pair{TEncoding::UTF_8, TByteOrder::boBigEndian},
                           std::pair{TEncoding::UTF_16, TByteOrder::boBigEndian},
                           std::pair{TEncoding::UTF_16, TByteOrder::boLittleEndian}}) {
    const std::string want = next();
    TInvalidChars inv;
    const std::string got = UnicodeToShort(text, cp, order, &inv);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "first difference at byte "
                             << std::mismatch(got.begin(), got.end(), want.begin()).first -
                                    got.begin();
    EXPECT_TRUE(inv.DataString().empty());
  }
}

TEST(XMLStrings, UnicodeToShortReplacesLoneSurrogatesAndNulInEveryEncoding) {
  // A pair, a lone high and a lone low surrogate, a reversed pair, a NUL.
  const std::u16string s =
      u"a\xD83D\xDE00"
      u"b\xD800"
      u"c\xDC00\xDC01\xD801"
      u"\0d"s;
  TInvalidChars inv;
  EXPECT_EQ(test::ToHex(UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, &inv)),
            test::ToHex("a\xF0\x9F\x98\x80"
                        "b_c___"
                        "_d"));
  EXPECT_TRUE(inv.DataString() == u"\xD800\xDC00\xDC01\xD801\0"s);
  inv.Clear();
  EXPECT_EQ(test::ToHex(UnicodeToShort(s, TEncoding::UTF_16, TByteOrder::boBigEndian, &inv)),
            "0061D83DDE000062005F0063005F005F005F005F0064");
  EXPECT_EQ(inv.DataString().size(), 5u);
  inv.Clear();
  EXPECT_EQ(UnicodeToShort(s, TEncoding::i8859_1, TByteOrder::boBigEndian, &inv), "a__b_c____d");
  EXPECT_TRUE(inv.DataString() == u"\xD83D\xDE00\xD800\xDC00\xDC01\xD801\0"s);
}

TEST(XMLStrings, UnicodeToShortRecordsAnUnrepresentableCharacterOnce) {
  TInvalidChars inv;
  EXPECT_EQ(UnicodeToShort(u"\u20AC1\u20AC\u00E9\u20AC", TEncoding::i8859_1,
                           TByteOrder::boBigEndian, &inv),
            "_1_\xE9_");
  EXPECT_TRUE(inv.DataString() == u"\u20AC");
  EXPECT_EQ(UnicodeToShort(u"\u20AC\u00E9", TEncoding::US_ASCII, TByteOrder::boBigEndian, &inv),
            "__");
  EXPECT_TRUE(inv.DataString() == u"\u20AC\u00E9");
  // No record given: still replaced.
  EXPECT_EQ(UnicodeToShort(u"\u20AC", TEncoding::i8859_2, TByteOrder::boBigEndian, nullptr), "_");
}

TEST(XMLStrings, SingleCharacterUtf8Forms) {
  EXPECT_EQ(test::ToHex(WideCharToMB(0x7FF)), "DFBF");
  EXPECT_EQ(test::ToHex(WideCharToMB(0x800)), "E0A080");
  EXPECT_EQ(test::ToHex(WideCharToMB(0x10FFFF)), "F48FBFBF");
  EXPECT_EQ(WideCharToMB(0xDFFF) + WideCharToMB(0x110000), "__");
  // Ill-formed: the longest prefix that could have begun a sequence.
  for (auto [hex, length] : {std::pair{"C080", 1u},
                             {"E09FBF", 1u},
                             {"EDA080", 1u},
                             {"F4908080", 1u},
                             {"E282", 2u},
                             {"F09F98C0", 3u}}) {
    std::size_t got = 0;
    EXPECT_EQ(MBToWideChar(test::FromHex(hex), got), kInvalidUTF8) << hex;
    EXPECT_EQ(got, length) << hex;
  }
  std::size_t got = 9;
  EXPECT_EQ(MBToWideChar("", got), 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(MBToWideChar(test::FromHex("F09F9880"), got), 0x1F600u);
  EXPECT_EQ(got, 4u);
}

TEST(XMLStrings, CompareLengthFirstThenUnits) {
  EXPECT_EQ(WCompareStr(u"b", u"aa"), -1);
  EXPECT_EQ(WCompareStr(u"aa", u"b"), 1);
  EXPECT_EQ(WCompareStr(u"ab", u"ab"), 0);
  EXPECT_EQ(WCompareStr(u"ab", u"ac"), -1);
  EXPECT_EQ(WCompareStr(u"\uFFFF", u"a"), 1);
  EXPECT_EQ(WCompareStr(u"abc", u"ABC"), 1);
  EXPECT_EQ(WCompareText(u"abc", u"ABC"), 0);
  EXPECT_EQ(WCompareText(u"ep2:Msg", u"EP2:mSG"), 0);
  EXPECT_NE(WCompareText(u"\u00E9", u"\u00C9"), 0);  // only a-z fold
  EXPECT_EQ(WCompareText(u"a", u"["), -1);           // compared as "A"
  EXPECT_EQ(WCompareText(u"abc", u"ab"), 1);
}

TEST(XMLStrings, TrimLengthAndCopy) {
  EXPECT_TRUE(WTrim(u" \t\r\n \n") == u"");
  EXPECT_TRUE(WTrim(u"\r\n a b \t") == u"a b");
  EXPECT_TRUE(WTrim(u"\u00A0a ") == u"\u00A0a");
  EXPECT_TRUE(WTrim(u"\x0B"
                    u"a") ==
              u"\x0B"
              u"a");
  EXPECT_EQ(WLength(u"abc"), 3u);
  EXPECT_EQ(WLength(u"ab\0c"s), 2u);
  std::u16string dest = u"old";
  WStrCopy(dest, u"xy\0z"s);
  EXPECT_TRUE(dest == u"xy");
}

}  // namespace
}  // namespace kal
