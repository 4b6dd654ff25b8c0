#include "xml/XMLChars.h"

#include <gtest/gtest.h>
#include <libxml/chvalid.h>

#include <limits>

namespace kal {
namespace {

// libxml2's tables implement XML 1.0 Appendix B and production [2]; they were
// written apart from ours.
TEST(XMLChars, ClassesAgreeWithLibxml2OverTheBMP) {
  for (unsigned c = 0; c < 0x10000; ++c) {
    const char16_t w = static_cast<char16_t>(c);
    const bool letter = xmlIsBaseCharQ(c) || xmlIsIdeographicQ(c);
    const bool digit = xmlIsDigitQ(c);
    const bool nameStart = letter || c == '_' || c == ':';
    const bool name =
        nameStart || digit || c == '.' || c == '-' || xmlIsCombiningQ(c) || xmlIsExtenderQ(c);
    ASSERT_EQ(IsLetter(w), letter) << std::hex << c;
    ASSERT_EQ(IsDigit(w), digit) << std::hex << c;
    ASSERT_EQ(IsFirstNameChar(w), nameStart) << std::hex << c;
    ASSERT_EQ(IsNameChar(w), name) << std::hex << c;
    // Surrogate units are the halves of characters above U+FFFF, which are
    // characters too.
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    ASSERT_EQ(IsChar(w), xmlIsCharQ(c) || surrogate) << std::hex << c;
    ASSERT_EQ(IsWhite(w), xmlIsBlankQ(c)) << std::hex << c;
    ASSERT_EQ(IsDataChar(w), IsChar(w) && c != '<') << std::hex << c;
  }
}

TEST(XMLChars, NamesTokensAndTargets) {
  for (const char16_t* name : {u"a:b", u"ep2:Message", u"_x.y-z9", u"a\u00B7b", u"e\u0301"})
    EXPECT_TRUE(IsValidName(name));
  // Extenders and combining characters continue a name but cannot start one;
  // a character above U+FFFF is no name character.
  for (const char16_t* name : {u"", u"1a", u"a b", u"-a", u"\u00B7b", u"\u0301e", u"a\U0001F600"})
    EXPECT_FALSE(IsValidName(name));
  EXPECT_TRUE(IsValidToken(u"1a"));
  EXPECT_TRUE(IsValidToken(u"\u0301e"));
  EXPECT_FALSE(IsValidToken(u""));
  EXPECT_TRUE(IsValidPIData(u"xml-stylesheet"));
  for (const char16_t* target : {u"xml", u"XmL", u"", u"  ", u"1pi"})
    EXPECT_FALSE(IsValidPIData(target));

  std::vector<std::u16string> list;
  EXPECT_TRUE(AreValidNames(u"  a  b ", &list));
  EXPECT_EQ(list, (std::vector<std::u16string>{u"a", u"b"}));
  list.clear();
  EXPECT_FALSE(AreValidNames(u"\r\n\t", &list));
  EXPECT_EQ(list, std::vector<std::u16string>{u""});
  // A TAB inside is no separator; every piece is listed, valid or not.
  list.clear();
  EXPECT_FALSE(AreValidNames(u"a\tb 1c d", &list));
  EXPECT_EQ(list, (std::vector<std::u16string>{u"a\tb", u"1c", u"d"}));
  EXPECT_TRUE(AreValidTokens(u"1c -d"));
  EXPECT_FALSE(AreValidNames(u"1c -d"));
}

TEST(XMLChars, EscapingReplacesEverySpecialCharacter) {
  EXPECT_EQ(CharsToReference(u"a<b"), u"a&lt;b");
  EXPECT_EQ(CharsToReference(u"<>&\"'"), u"&lt;&gt;&amp;&quot;&apos;");
  // Text that looks like references is escaped as well, so that resolving
  // the references again gives the text back.
  EXPECT_EQ(CharsToReference(u"a&amp;b"), u"a&amp;amp;b");
  EXPECT_EQ(CharsToReference(u"R&D; x < y;"), u"R&amp;D; x &lt; y;");
  EXPECT_EQ(CharsToReference(u"&#60;"), u"&amp;#60;");
  EXPECT_EQ(CharToReference(u"<a&b;>", u'&'), u"<a&amp;b;>");
  EXPECT_EQ(CharToReference(u"<a&b>", u'<'), u"&lt;a&b>");
  EXPECT_EQ(CharToReference(u"<a&b>", u'x'), u"<a&b>");
  EXPECT_TRUE(EscapeReference(u'a').empty());
  EXPECT_EQ(EndPos(u"&amp;x", 1), 4u);
  EXPECT_EQ(EndPos(u"&a&b;", 1), std::u16string_view::npos);
}

TEST(XMLChars, HexStrToIntIsDefinedForEveryInput) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(HexStrToInt(u"1f"), 31);
  EXPECT_EQ(HexStrToInt(u""), 0);
  EXPECT_EQ(HexStrToInt(u"G"), 23);
  EXPECT_EQ(HexStrToInt(u"10FFFF"), 0x10FFFF);
  EXPECT_EQ(HexStrToInt(u"00000000000000000041"), 0x41);
  EXPECT_EQ(HexStrToInt(u"7FFFFFFF"), kMax);
  EXPECT_EQ(HexStrToInt(u"80000000"), kMax);
  EXPECT_EQ(LeadWhite(3) + LeadWhite(-5), u"   ");
  EXPECT_EQ(HexStrToInt(u"100000041"), kMax);  // does not wrap to "A"
  EXPECT_EQ(HexStrToInt(std::u16string(1000, u'f')), kMax);
  EXPECT_EQ(HexStrToInt(u"-"), -3);
  EXPECT_EQ(HexStrToInt(std::u16string(40, u'-')), kMin);
  EXPECT_EQ(HexStrToInt(std::u16string(40, u'\uFFFF')), kMax);
}

}  // namespace
}  // namespace kal
