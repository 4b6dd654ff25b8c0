#include "support/DateTimeUtilities.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace kal {
namespace {

// Runs the checks in UTC so that a moment has known local parts.
class DateTimeUtilities : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(DateTimeUtilities, PartsHaveLeadingZeros) {
  std::string y, mo, d, h, mi, s;
  UDTDateTimeStringsAt(1234567, y, mo, d, h, mi, s);  // 1970-01-15 06:56:07 UTC
  EXPECT_EQ(y, "1970");
  EXPECT_EQ(mo, "01");
  EXPECT_EQ(d, "15");
  EXPECT_EQ(h, "06");
  EXPECT_EQ(mi, "56");
  EXPECT_EQ(s, "07");
  UDTDateTimeStringsAt(1798761599, y, mo, d, h, mi, s);  // 2026-12-31 23:59:59 UTC
  EXPECT_EQ(y + mo + d + h + mi + s, "20261231235959");
}

TEST_F(DateTimeUtilities, TextIsDayMonthYearHourMinuteSecond) {
  EXPECT_EQ(UDTDateTimeTextAt(1234567), "15.01.1970 06:56:07");
  EXPECT_EQ(UDTDateTimeTextAt(1798761599), "31.12.2026 23:59:59");
}

TEST_F(DateTimeUtilities, LocalTimeIsUsed) {
  setenv("TZ", "CET-1", 1);  // one hour east of UTC, no summer time
  tzset();
  EXPECT_EQ(UDTDateTimeTextAt(1798761599), "01.01.2027 00:59:59");
}

TEST_F(DateTimeUtilities, CurrentTimeHasTheFixedShape) {
  const std::time_t before = std::time(nullptr);
  const std::string text = UDTDateTimeText();
  const std::time_t after = std::time(nullptr);
  const std::string shape = "00.00.0000 00:00:00";
  ASSERT_EQ(text.size(), shape.size()) << text;
  for (size_t i = 0; i < text.size(); ++i)
    EXPECT_TRUE(shape[i] == '0' ? (text[i] >= '0' && text[i] <= '9') : text[i] == shape[i]) << text;
  EXPECT_TRUE(text == UDTDateTimeTextAt(before) || text == UDTDateTimeTextAt(after)) << text;
  std::string y, mo, d, h, mi, s;
  UDTDateTimeStrings(y, mo, d, h, mi, s);
  EXPECT_EQ(y.size(), 4u);
  for (const std::string* p : {&mo, &d, &h, &mi, &s}) EXPECT_EQ(p->size(), 2u);
}

}  // namespace
}  // namespace kal
