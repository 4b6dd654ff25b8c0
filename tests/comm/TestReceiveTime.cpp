#include "comm/ReceiveTime.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kal {
namespace {

// The kept text is made again whenever the second changes, forwards or back.
TEST(ReceiveTime, TheTextIsThatOfTheSecondAsked) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  struct Case {
    std::time_t at;
    const char* text;
  };
  const Case cases[] = {{0, "00:00:00"},     {0, "00:00:00"},    {1, "00:00:01"},
                        {86399, "23:59:59"}, {3600, "01:00:00"}, {0, "00:00:00"}};
  TTHReceiveTime time;
  for (const Case& c : cases) EXPECT_EQ(time.THTTextAt(c.at), c.text) << c.at;
}

}  // namespace
}  // namespace kal
