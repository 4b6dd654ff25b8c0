#include "ep2/ElementFormats.h"

#include <ctime>

namespace kal {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Reads `count` ASCII digits at `pos`; false when one of them is no digit.
bool ReadNumber(std::string_view s, size_t pos, size_t count, int& value) {
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(s[i])) return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValidDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  return day <= last;
}

// The year of the local clock. A check runs for every expiry date built or
// read, and turning the clock into local time costs more than the check, so
// the year is kept with the span of clock values it holds for (its first
// second up to the next year's, in local time) and worked out again only
// outside it.
int CurrentLocalYear() {
  struct TYear {
    std::time_t from = 1, until = 0;  // empty: nothing kept
    int year = 0;
  };
  thread_local TYear kept;
  const std::time_t now = std::time(nullptr);
  if (now >= kept.from && now < kept.until) return kept.year;
  std::tm parts{};
  if (localtime_r(&now, &parts) == nullptr) return 2000;
  std::tm first{};
  first.tm_year = parts.tm_year;
  first.tm_mday = 1;
  first.tm_isdst = -1;
  std::tm next = first;
  ++next.tm_year;
  kept = {std::mktime(&first), std::mktime(&next), parts.tm_year + 1900};
  if (kept.from == -1 || kept.until == -1 || now < kept.from || now >= kept.until)
    kept.until = kept.from;
  return parts.tm_year + 1900;
}

}  // namespace

int32_t CHKCheckFormatA(std::string_view s) {
  for (const char c : s)
    if (!IsLetter(c)) return kCHKErrorFormatA;
  return 0;
}

int32_t CHKCheckFormatAN(std::string_view s) {
  for (const char c : s)
    if (!IsLetter(c) && !IsDigit(c)) return kCHKErrorFormatAN;
  return 0;
}

int32_t CHKCheckFormatANS(std::string_view s) {
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 && c != 13 && c != 10 && c != 8) return kCHKErrorFormatANS;
  }
  return 0;
}

int32_t CHKCheckFormatN(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (!IsDigit(s[i]) && !(i == 0 && s[i] == '-')) return kCHKErrorFormatN;
  return 0;
}

int32_t CHKCheckFormatDate(std::string_view s) {
  int year, month, day;
  if (s.size() != 8 || !ReadNumber(s, 0, 4, year) || !ReadNumber(s, 4, 2, month) ||
      !ReadNumber(s, 6, 2, day) || !IsValidDate(year, month, day))
    return kCHKErrorFormatDate;
  return 0;
}

int CHKExpandTwoDigitYear(int twoDigitYear, int currentYear) {
  const int windowStart = currentYear - 50;
  // The first year of the window whose last two digits are the given ones.
  int year = windowStart - ((windowStart % 100) + 100) % 100 + twoDigitYear;
  if (year < windowStart) year += 100;
  return year;
}

int32_t CHKCheckFormatExpDate(std::string_view s, int currentYear) {
  int year, month, day;
  if (s.size() != 6 || !ReadNumber(s, 0, 2, year) || !ReadNumber(s, 2, 2, month) ||
      !ReadNumber(s, 4, 2, day) ||
      !IsValidDate(CHKExpandTwoDigitYear(year, currentYear), month, day))
    return kCHKErrorFormatDate;
  return 0;
}

int32_t CHKCheckFormatExpDate(std::string_view s) {
  // The length test comes first, so a wrong length never reads the clock.
  if (s.size() != 6) return kCHKErrorFormatDate;
  return CHKCheckFormatExpDate(s, CurrentLocalYear());
}

int32_t CHKCheckFormatTime(std::string_view s) {
  int hours, minutes, seconds;
  if (s.size() != 6 || !ReadNumber(s, 0, 2, hours) || !ReadNumber(s, 2, 2, minutes) ||
      !ReadNumber(s, 4, 2, seconds) || hours > 23 || minutes > 59 || seconds > 59)
    return kCHKErrorFormatTime;
  return 0;
}

int32_t CHKReplaceOccurences(std::string_view sOld, std::string_view sNew, std::string& s) {
  // An empty search text would match everywhere without moving the scan on.
  if (sOld.empty() || s.size() < sOld.size()) return 0;
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  while (pos < s.size()) {
    if (s.compare(pos, sOld.size(), sOld) == 0) {
      out.append(sNew);
      pos += sOld.size();
    } else {
      out.push_back(s[pos]);
      ++pos;
    }
  }
  s = std::move(out);
  return 0;
}

int32_t CHKReplaceXMLReserved(std::string& s) {
  (void)CHKReplaceOccurences("&", "&amp;", s);
  (void)CHKReplaceOccurences("<", "&lt;", s);
  (void)CHKReplaceOccurences(">", "&gt;", s);
  (void)CHKReplaceOccurences("'", "&apos;", s);
  (void)CHKReplaceOccurences("\"", "&quot;", s);
  return 0;
}

int32_t CHKInverseReplaceXMLReserved(std::string& s) {
  (void)CHKReplaceOccurences("&lt;", "<", s);
  (void)CHKReplaceOccurences("&gt;", ">", s);
  (void)CHKReplaceOccurences("&apos;", "'", s);
  (void)CHKReplaceOccurences("&quot;", "\"", s);
  (void)CHKReplaceOccurences("&amp;", "&", s);
  return 0;
}

}  // namespace kal
