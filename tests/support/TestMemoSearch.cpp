#include "support/MemoSearch.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/TestSupport.h"

namespace kal {
namespace {

struct SearchCase {
  std::u16string text;
  std::u16string needle;
  size_t from;
};

std::string CodePoints(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += std::to_string(static_cast<unsigned>(c)) + ",";
  return out;
}

// Each case against python3 re.search(re.escape(t), s[from:], re.IGNORECASE)
// on ASCII, Latin-1 and Cyrillic texts, every needle also searched from each
// position of its text.
TEST(MemoSearch, FindsWhatPythonIgnoreCaseFinds) {
  const std::vector<std::pair<std::u16string, std::vector<std::u16string>>> texts = {
      {u"Session key: 01 A2 FF\nsession KEY variant\nMAC send",
       {u"KEY", u"session k", u"a2 ff", u"\n", u"xyz"}},
      {u"Caf\u00e9 \u00c9T\u00c9 \u00fcber \u00dcBER \u00e0\u00c0 \u00ff\u0178 \u00b5\u03bc",
       {u"\u00e9t\u00e9", u"\u00fcber", u"\u00c0\u00e0", u"\u0178\u00ff", u"\u039c\u00b5",
        u"caf\u00c9"}},
      {u"\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440 \u0401\u043b\u043a\u0430 "
       u"\u0451\u041b\u041a\u0410 \u0406\u0456",
       {u"\u043f\u0420\u0418\u0432\u0415\u0442", u"\u041c\u0418\u0420", u"\u0451\u043b\u043a\u0430",
        u"\u0456\u0406", u"\u0438\u0440 \u0451"}},
  };
  std::vector<SearchCase> cases;
  for (const auto& [text, needles] : texts) {
    for (const auto& needle : needles) {
      for (size_t from = 0; from <= text.size(); from += 3) cases.push_back({text, needle, from});
    }
  }
  std::ostringstream input;
  for (const auto& c : cases) {
    input << CodePoints(c.text) << ";" << CodePoints(c.needle) << ";" << c.from << "\n";
  }
  const std::string out = test::RunPython(
      "import re, sys\n"
      "dec = lambda f: ''.join(chr(int(x)) for x in f.split(',') if x)\n"
      "for line in sys.stdin:\n"
      "    s, t, f = line.rstrip('\\n').split(';')\n"
      "    s, t, f = dec(s), dec(t), int(f)\n"
      "    m = re.search(re.escape(t), s[f:], re.IGNORECASE)\n"
      "    print(m.start() + f if m else -1)\n",
      input.str());
  const auto expected = test::SplitLines(out);
  ASSERT_EQ(expected.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto hit = FindNextString(cases[i].text, cases[i].from, cases[i].needle);
    EXPECT_EQ(hit ? static_cast<long>(*hit) : -1L, std::stol(expected[i])) << "case " << i;
  }
}

TEST(MemoSearch, EmptyNeedleOrStartBehindTheTextFindsNothing) {
  EXPECT_FALSE(FindNextString(u"abc", 0, u""));
  EXPECT_FALSE(FindNextString(u"abc", 4, u"a"));
  EXPECT_FALSE(FindNextString(u"", 0, u"a"));
  EXPECT_EQ(MSRSearchStart(5, 0), 0u);
  EXPECT_EQ(MSRSearchStart(5, 3), 8u);
}

}  // namespace
}  // namespace kal
