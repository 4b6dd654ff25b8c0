#include "comm/Timeout.h"

#include <gtest/gtest.h>

#include <thread>

namespace kal {
namespace {

using namespace std::chrono_literals;

TEST(Timeout, AnUnarmedDeadlineHasPassedAnArmedOneExpiresOnTime) {
  TTIMTimeout t;
  EXPECT_TRUE(t.TIMTimeout());
  t.TIMSetTimer(200);
  EXPECT_FALSE(t.TIMTimeout());
  std::this_thread::sleep_until(t.TIMDeadline());
  EXPECT_TRUE(t.TIMTimeout());
  t.TIMSetTimer(0);
  EXPECT_TRUE(t.TIMTimeout());
}

}  // namespace
}  // namespace kal
