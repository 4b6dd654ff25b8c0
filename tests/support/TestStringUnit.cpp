#include "support/StringUnit.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "common/TestSupport.h"

namespace kal {
namespace {

using namespace std::string_literals;

TEST(StringUnit, TrimRemovesControlCharactersAndBlanksAtBothEnds) {
  EXPECT_EQ(STRTrim(" \t\r\n a b \x01\x1f "), "a b");
  EXPECT_EQ(STRTrim("\xA0x\xA0"), "\xA0x\xA0");  // bytes above 32 stay
  EXPECT_EQ(STRTrimLeft("  a  "), "a  ");
  EXPECT_EQ(STRTrimRight("  a  "), "  a");
  EXPECT_EQ(STRTrim("   "), "");
  EXPECT_EQ(STRUpperCase("abz-\xE4"), "ABZ-\xE4");
  EXPECT_EQ(STRLowerCase("ABZ-\xC4"), "abz-\xC4");
}

TEST(StringUnit, RemoveBlanksRemovesOnlyTheBlank) {
  EXPECT_EQ(STRRemoveBlanks(" a b\tc\r\nd  "), "ab\tc\r\nd");
  EXPECT_EQ(STRRemoveBlanks(""), "");
  EXPECT_EQ(STRRemoveChars(';', ";a;;b;"), "ab");
  EXPECT_EQ(STRRemoveChars('\0', "a\0b"s), "ab");
  EXPECT_EQ(STRRemoveLeadingChars('0', "000120"), "120");
  EXPECT_EQ(STRRemoveLeadingChars('0', "000"), "");
}

TEST(StringUnit, GetItemTakesTheTextBeforeTheSeparator) {
  std::string list = "a;b;c";
  EXPECT_EQ(STRGetItem(";", list), "a");
  EXPECT_EQ(list, "b;c");
  list = "abc";
  EXPECT_EQ(STRGetItem(";", list), "abc");
  EXPECT_EQ(list, "");
  list = ";x";
  EXPECT_EQ(STRGetItem(";", list), "");
  EXPECT_EQ(list, "x");
  list = "a<->b<->c";
  EXPECT_EQ(STRGetItem("<->", list), "a");
  EXPECT_EQ(list, "b<->c");
  list = "a;b";
  EXPECT_EQ(STRGetItem("", list), "a;b");  // an empty separator never occurs
  EXPECT_EQ(list, "");
}

TEST(StringUnit, PaddingNeverCuts) {
  EXPECT_EQ(STRAddTrailingBlanks("ab", 4), "ab  ");
  EXPECT_EQ(STRAddTrailingBlanks("abcde", 4), "abcde");
  EXPECT_EQ(STRAddLeadingBlanks("ab", 4), "  ab");
  EXPECT_EQ(STRAddLeadingBlanks("abcde", 4), "abcde");
  EXPECT_EQ(STRAddTrailingChars('0', "1", 3), "100");
  EXPECT_EQ(STRAddLeadingChars('0', "1", 3), "001");
  EXPECT_EQ(STRAddLeadingChars('0', "1", -5), "1");
  EXPECT_EQ(STRAddLeadingCharsAbsolute('0', "123", 2), "00123");
  EXPECT_EQ(STRAddLeadingCharsAbsolute('0', "123", 0), "123");
  EXPECT_EQ(STRAddLeadingCharsAbsolute('0', "123", -1), "123");
}

TEST(StringUnit, RemoveAllNonAlphaNumericKeepsTheLength) {
  EXPECT_EQ(STRRemoveAllNonAlphaNumeric("Error: x-1\r\n\xE4"), "Error  x 1   ");
}

TEST(StringUnit, PreformatXmlBreaksAfterEndTagsAndEmptyElements) {
  EXPECT_EQ(STRPreformatXML("<a>\r\n\t<b>x</b><c/><d e=\"1/2\">y</d></a>"),
            "<a><b>x</b>\r\n<c/>\r\n<d e=\"1/2\">\r\ny</d>\r\n</a>\r\n");
  EXPECT_EQ(STRPreformatXML("<?xml version=\"1.0\"?><a>"), "<?xml version=\"1.0\"?><a>");
  EXPECT_EQ(STRPreformatXML("\xC3\xA4<x/>"), "\xC3\xA4<x/>\r\n");  // bytes >= 128 are kept
  EXPECT_EQ(STRPreformatXML(""), "");
}

TEST(StringUnit, StringToLengthIsBigEndianUnsigned) {
  EXPECT_EQ(STRStringToLength("\x00\x00\x01\x02"s), 258u);
  EXPECT_EQ(STRStringToLength("\xFF\xFF\xFF\xFE\x00"s), 0xFFFFFFFEu);
  EXPECT_EQ(STRStringToLength("\x80\x00\x00\x00"s), 0x80000000u);
  EXPECT_EQ(STRStringToLength("\x01\x02\x03"s), 0u);  // fewer than 4 bytes
  EXPECT_EQ(STRStringToLength(""), 0u);
}

// The older behaviour lower-cased the whole result ("XABCX" gave "xyx");
// case-insensitive matching keeps the case of the source and the replacement.
TEST(StringUnit, ReplaceSubstringCaseInsensitiveKeepsCase) {
  EXPECT_EQ(STRReplaceSubstring("ABC", "y", "XABCX", false, 0), "XyX");
  EXPECT_EQ(STRReplaceSubstring("abc", "Y", "XABCX", false, 0), "XYX");
  EXPECT_EQ(STRReplaceSubstring("%HOME%", "/Home/Me", "%home%/Data/%Home%", false, 0),
            "/Home/Me/Data/%Home%");
  EXPECT_EQ(STRReplaceSubstring("%HOME%", "/Home/Me", "%home%/Data/%Home%", false, 2),
            "/Home/Me/Data//Home/Me");
  EXPECT_EQ(STRReplaceSubstring("%HOME%", "/Home/Me", "%home%/Data/%Home%", false, 1),
            "%home%/Data//Home/Me");
  EXPECT_EQ(STRReplaceSubstring("abc", "y", "XABCX", true, 0), "XABCX");
}

TEST(StringUnit, ReplaceSubstringModes) {
  EXPECT_EQ(STRReplaceSubstring("a", "b", "aXaXa", true, 0), "bXaXa");
  EXPECT_EQ(STRReplaceSubstring("a", "b", "aXaXa", true, 7), "bXaXa");  // other modes: first
  EXPECT_EQ(STRReplaceSubstring("a", "b", "aXaXa", true, -1), "bXaXa");
  EXPECT_EQ(STRReplaceSubstring("a", "b", "aXaXa", true, 1), "aXaXb");
  EXPECT_EQ(STRReplaceSubstring("a", "b", "aXaXa", true, 2), "bXbXb");
  EXPECT_EQ(STRReplaceSubstring("\r", " ", "x\r\ny\r", true, 2), "x \ny ");
  EXPECT_EQ(STRReplaceSubstring("$VALUE", "12", "a $VALUE b $VALUE", true, 2), "a 12 b 12");
  EXPECT_EQ(STRReplaceSubstring("q", "b", "aXaXa", true, 2), "aXaXa");
  EXPECT_EQ(STRReplaceSubstring("a", "b", "", true, 2), "");
  EXPECT_EQ(STRReplaceSubstring("", "b", "abc", true, 2), "abc");
  EXPECT_EQ(STRReplaceSubstring("abcd", "b", "abc", true, 0), "abc");
  EXPECT_EQ(STRReplaceSubstring("a", "", "aaa", true, 2), "");
}

TEST(StringUnit, ReplaceAllEndsWhenTheReplacementContainsTheSearchedText) {
  EXPECT_EQ(STRReplaceSubstring("a", "aa", "aXa", true, 2), "aaXaa");
  EXPECT_EQ(STRReplaceSubstring("a", "Ba", "AXa", false, 2), "BaXBa");
  EXPECT_EQ(STRReplaceSubstring("$VALUE", "[$VALUE]", "$VALUE", true, 2), "[$VALUE]");
  EXPECT_EQ(STRReplaceOccurrences("a", "aa", "aXa", true), "aaXaa");
}

TEST(StringUnit, ReplaceOccurrencesIsCaseSensitive) {
  EXPECT_EQ(STRReplaceOccurrences("ab", "x", "ABabab", false), "ABxab");
  EXPECT_EQ(STRReplaceOccurrences("ab", "x", "ABabab", true), "ABxx");
  EXPECT_EQ(STRReplaceOccurrences("", "x", "ab", true), "ab");
  EXPECT_EQ(STRReplaceOccurrences("ab", "x", "", true), "");
  // Resuming behind the inserted text: a match formed by a removal is not
  // replaced again (the older unit searched again from the start).
  EXPECT_EQ(STRReplaceOccurrences("ab", "", "aabb", true), "ab");
}

// Random differential against Python's str.replace / re.sub(IGNORECASE).
TEST(StringUnit, ReplaceSubstringMatchesPython) {
  std::mt19937 rng(20261208);
  const std::string alphabet = "aAbB";
  auto word = [&](size_t maxLen, size_t minLen) {
    std::string w(minLen + rng() % (maxLen - minLen + 1), ' ');
    for (char& c : w) c = alphabet[rng() % alphabet.size()];
    return w;
  };
  struct Case {
    std::string s, r, src;
    bool cs;
    int mode;
  };
  std::vector<Case> cases;
  std::ostringstream in;
  for (int i = 0; i < 400; ++i) {
    Case c{word(3, 1), word(3, 0), word(12, 0), rng() % 2 == 0, static_cast<int>(rng() % 3)};
    in << c.s << ',' << c.r << ',' << c.src << ',' << (c.cs ? 1 : 0) << ',' << c.mode << '\n';
    cases.push_back(c);
  }
  const std::string script = R"PY(
import re, sys
for line in sys.stdin.read().splitlines():
    s, r, src, cs, mode = line.split(',')
    flags = 0 if cs == '1' else re.IGNORECASE | re.ASCII
    pat = re.compile(re.escape(s), flags)
    if src == '':
        out = src
    elif mode == '2':
        out = pat.sub(lambda m: r, src)
    elif mode == '0':
        out = pat.sub(lambda m: r, src, count=1)
    else:
        ms = list(pat.finditer(src))
        # the last occurrence, overlapping ones included
        last = None
        for p in range(len(src) - len(s), -1, -1):
            if pat.fullmatch(src, p, p + len(s)):
                last = p
                break
        out = src if last is None else src[:last] + r + src[last + len(s):]
    print('[' + out + ']')
)PY";
  int status = 0;
  const std::string out = test::RunPython(script, in.str(), &status);
  ASSERT_EQ(status, 0);
  std::istringstream lines(out);
  std::string expected;
  for (const Case& c : cases) {
    ASSERT_TRUE(std::getline(lines, expected));
    EXPECT_EQ("[" + STRReplaceSubstring(c.s, c.r, c.src, c.cs, c.mode) + "]", expected)
        << c.s << " -> " << c.r << " in " << c.src << " cs=" << c.cs << " mode=" << c.mode;
    if (c.cs && c.mode != 1) {
      EXPECT_EQ("[" + STRReplaceOccurrences(c.s, c.r, c.src, c.mode == 2) + "]", expected);
    }
  }
}

TEST(StringUnit, IsNumeric) {
  EXPECT_TRUE(STRIsNumeric(""));
  EXPECT_TRUE(STRIsNumeric("0123456789"));
  EXPECT_FALSE(STRIsNumeric("12 "));
  EXPECT_FALSE(STRIsNumeric("-1"));
  EXPECT_FALSE(STRIsNumeric("1a"));
}

TEST(StringUnit, RemoveLabeledItem) {
  std::string list = "A=1;Key=abc;B=2";
  EXPECT_EQ(STRRemoveLabeledItem("Key", list), "abc");
  EXPECT_EQ(list, "A=1;;B=2");
  list = "A=1;B=";
  EXPECT_EQ(STRRemoveLabeledItem("B", list), "");
  EXPECT_EQ(list, "A=1;");
  list = "A=1;B=2";
  EXPECT_EQ(STRRemoveLabeledItem("C", list), "");
  EXPECT_EQ(list, "A=1;B=2");
  list = "XB=5;B=6";  // plain substring search: "B=" inside "XB=" matches first
  EXPECT_EQ(STRRemoveLabeledItem("B", list), "5");
  EXPECT_EQ(list, "X;B=6");
  list = "K=a=b";
  EXPECT_EQ(STRRemoveLabeledItem("K", list), "a=b");
  EXPECT_EQ(list, "");
}

TEST(StringUnit, GetLabeledItem) {
  std::string list = " ep2:TrmID = 123 ;plain;=v;", label, value = "old";
  STRGetLabeledItem(list, label, value);
  EXPECT_EQ(label, "ep2:TrmID");
  EXPECT_EQ(value, "123");
  EXPECT_EQ(list, "plain;=v;");
  STRGetLabeledItem(list, label, value);
  EXPECT_EQ(label, "plain");
  EXPECT_EQ(value, "");
  STRGetLabeledItem(list, label, value);
  EXPECT_EQ(label, "");
  EXPECT_EQ(value, "v");
  EXPECT_EQ(list, "");
  list = " x ";
  STRGetLabeledItem(list, label, value);
  EXPECT_EQ(label, " x ");  // without "=" the whole item, untrimmed
}

TEST(StringUnit, InsertSubstring) {
  EXPECT_EQ(STRInsertSubstring("AABBCC", " ", 2), "AA BB CC");
  EXPECT_EQ(STRInsertSubstring("AABBC", " ", 2), "AA BB C");
  EXPECT_EQ(STRInsertSubstring("AB", "--", 1), "A--B");
  EXPECT_EQ(STRInsertSubstring("AB", " ", 5), "AB");
  EXPECT_EQ(STRInsertSubstring("", " ", 2), "");
  EXPECT_EQ(STRInsertSubstring("AB", " ", 0), "AB");  // outside the contract: unchanged
  EXPECT_EQ(STRInsertSubstring("AB", " ", -3), "AB");
}

}  // namespace
}  // namespace kal

namespace kal {
namespace {

TEST(StringUnit, StringToHexIsCompactUpperCase) {
  EXPECT_EQ(STRStringToHex(std::string("\x01\xa2\x3c", 3)), "01A23C");
  EXPECT_EQ(STRStringToHex(""), "");
}

}  // namespace
}  // namespace kal
