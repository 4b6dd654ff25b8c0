#include "ep2/ElementFormats.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "common/TestSupport.h"

namespace kal {
namespace {

std::string Two(int v) {
  return std::string{char('0' + v / 10 % 10), char('0' + v % 10)};
}

// Months 00-13, 20, 99 and days 00-32, 40, 99: the calendar and just beyond.
const std::vector<int> kMonths = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 20, 99};
const std::vector<int> kDays = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                                24, 25, 26, 27, 28, 29, 30, 31, 32, 40, 99};
const char* kPyGrid =
    "import datetime\n"
    "months=list(range(14))+[20,99]\n"
    "days=list(range(33))+[40,99]\n"
    "def ok(f,*a):\n"
    "    try:\n"
    "        f(*a); return '1'\n"
    "    except ValueError: return '0'\n";

// The python script prints one line of 0/1 verdicts per row; each must match
// `check(value(row, col))` == 0. Returns the number of accepted values.
int Compare(const std::string& script, int rows, int cols,
            const std::function<std::string(int, int)>& value,
            const std::function<int32_t(const std::string&)>& check) {
  std::istringstream out(test::RunPython(kPyGrid + script, ""));
  std::string line;
  int accepted = 0;
  for (int r = 0; r < rows; ++r) {
    if (!std::getline(out, line) || line.size() != static_cast<size_t>(cols)) {
      ADD_FAILURE() << "python output ends early at row " << r;
      return -1;
    }
    for (int c = 0; c < cols; ++c) {
      const std::string v = value(r, c);
      if ((check(v) == 0) != (line[c] == '1')) {
        ADD_FAILURE() << v << " python says " << line[c];
        return -1;
      }
      accepted += line[c] == '1';
    }
  }
  return accepted;
}

int CompareDates(const std::string& years, int yearCount, bool twoDigit, int current) {
  return Compare(
      "for y in " + years +
          ":\n    for m in months: print(''.join(ok(datetime.date,y,m,d) for d in days))\n",
      yearCount * 16, 35,
      [&](int r, int c) {
        const int y = r / 16;
        return (twoDigit ? "" : Two(y / 100)) + Two(y) + Two(kMonths[r % 16]) + Two(kDays[c]);
      },
      [&](const std::string& v) {
        return twoDigit ? CHKCheckFormatExpDate(v, current) : CHKCheckFormatDate(v);
      });
}

TEST(ElementFormats, CalendarChecksAgreeWithPython) {
  // Every day of 0001-01-01 .. 9999-12-31 and nothing else.
  EXPECT_EQ(CompareDates("range(10000)", 10000, false, 0), 3652059);
  // Two-digit years in the window of the injected year: around century and
  // window edges, and a window that runs past 9999.
  for (int cur : {2026, 1999, 2000, 2049, 2050, 2051, 2100, 2150, 2151, 9960}) {
    const std::string window = "[next(y for y in range(" + std::to_string(cur - 50) + "," +
                               std::to_string(cur + 50) + ") if y%100==k) for k in range(100)]";
    EXPECT_GT(CompareDates(window, 100, true, cur), 0) << cur;
  }
  EXPECT_EQ(Compare(
                "for h in range(100):\n    for m in range(100):\n"
                "        print(''.join(ok(datetime.time,h,m,s) for s in range(100)))\n",
                10000, 100, [](int r, int c) { return Two(r / 100) + Two(r) + Two(c); },
                [](const std::string& v) { return CHKCheckFormatTime(v); }),
            86400);
  EXPECT_EQ(CHKCheckFormatExpDate("000229", 2026), 0);  // 2000 is a leap year
  EXPECT_EQ(CHKCheckFormatExpDate("000229", 2151), 4);  // 2200 is not
  EXPECT_EQ(CHKExpandTwoDigitYear(76, 2026) * 10000 + CHKExpandTwoDigitYear(75, 2026), 19762075);
  // Without an injected year the local clock gives it.
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  for (const char* v : {"000229", "960229", "991231", "251301"})
    EXPECT_EQ(CHKCheckFormatExpDate(v), CHKCheckFormatExpDate(v, parts.tm_year + 1900)) << v;
}

TEST(ElementFormats, CalendarFieldsTakeAsciiDigitsOnly) {
  // Any other byte in any place fails: blanks, signs, separators, bytes of
  // non-ASCII digits. Wrong lengths fail whatever they hold.
  for (int b = 0; b < 256; ++b) {
    if (b >= '0' && b <= '9') continue;
    for (size_t i = 0; i < 8; ++i) {
      std::string date = "20240229", exp = "240229", time = "235959";
      date[i] = static_cast<char>(b);
      ASSERT_EQ(CHKCheckFormatDate(date), 4) << i << " " << b;
      if (i >= 6) continue;
      exp[i] = time[i] = static_cast<char>(b);
      ASSERT_EQ(CHKCheckFormatExpDate(exp, 2026), 4) << i << " " << b;
      ASSERT_EQ(CHKCheckFormatTime(time), 5) << i << " " << b;
    }
  }
  for (const char* v : {"", "2024022", "202402290", "2024-02-29"})
    EXPECT_EQ(CHKCheckFormatDate(v), 4) << v;
  for (const char* v : {"", "24022", "2402290"}) {
    EXPECT_EQ(CHKCheckFormatExpDate(v), 4) << v;
    EXPECT_EQ(CHKCheckFormatTime(v), 5) << v;
  }
}

TEST(ElementFormats, CharacterClassChecks) {
  for (const char* v : {"ab1", "a b", "\xC3\xA9", "@", "[", "`", "{"})
    EXPECT_EQ(CHKCheckFormatA(v), 1) << v;
  for (const char* v : {"a-1", "/", ":", "\xC3\xA9"}) EXPECT_EQ(CHKCheckFormatAN(v), 2) << v;
  for (char c : {'\t', '\0', '\x1F'}) EXPECT_EQ(CHKCheckFormatANS(std::string("a") + c), 3);
  for (const char* v : {"5-", "1.5", "+5", "--5", " 5"}) EXPECT_EQ(CHKCheckFormatN(v), 6) << v;
  EXPECT_EQ(CHKCheckFormatA("") + CHKCheckFormatA("abcXYZ") + CHKCheckFormatAN("09azAZ") +
                CHKCheckFormatANS("a\r\n\bz \x7F\xFF") + CHKCheckFormatN("") +
                CHKCheckFormatN("-") + CHKCheckFormatN("-0123456789"),
            0);
}

TEST(ElementFormats, EscapingRoundTripsEveryText) {
  std::string s = "a<b & 'c'\"";
  EXPECT_EQ(CHKReplaceXMLReserved(s), 0);
  EXPECT_EQ(s, "a&lt;b &amp; &apos;c&apos;&quot;");
  s = "&amp;lt;";
  EXPECT_EQ(CHKInverseReplaceXMLReserved(s), 0);
  EXPECT_EQ(s, "&lt;");
  s = "aaaa";  // replaced text is not scanned again; an empty search text ends
  (void)CHKReplaceOccurences("aa", "a", s);
  (void)CHKReplaceOccurences("", "-", s);
  EXPECT_EQ(s, "aa");
  const std::vector<std::string> pieces = {"&",   "<",     ">", "'",     "\"",   "amp;", "lt;",
                                           "gt;", "quot;", ";", "&amp;", "&lt;", "x"};
  std::mt19937 rng(8);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = rng() % 8; n > 0; --n) text += pieces[rng() % pieces.size()];
    std::string t = text;
    (void)CHKReplaceXMLReserved(t);
    ASSERT_EQ(t.find_first_of("<>'\""), std::string::npos) << text;
    (void)CHKInverseReplaceXMLReserved(t);
    ASSERT_EQ(t, text);
  }
}

}  // namespace
}  // namespace kal
