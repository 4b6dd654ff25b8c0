#include "platform/EventPoster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kal {
namespace {

using namespace std::chrono_literals;

TEST(EventQueue, CallsFromManyThreadsRunOnThePumpingThreadInPostingOrder) {
  TPLTEventQueue queue;
  constexpr int kThreads = 4, kCalls = 500;
  std::vector<std::vector<int>> seen(kThreads);
  bool wrongThread = false;
  const auto pumper = std::this_thread::get_id();
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i)
        queue.PLTPost([&, t, i] {
          wrongThread |= std::this_thread::get_id() != pumper;
          seen[t].push_back(i);
        });
    });
  size_t total = 0;
  const bool done = queue.PLTPumpUntil(
      [&] {
        total = 0;
        for (const auto& s : seen) total += s.size();
        return total == kThreads * kCalls;
      },
      10s);
  for (auto& p : posters) p.join();
  ASSERT_TRUE(done);
  EXPECT_FALSE(wrongThread);
  for (const auto& s : seen)
    for (int i = 0; i < kCalls; ++i) ASSERT_EQ(s[i], i);
}

TEST(EventQueue, DelayedCallsWaitForTheirTimeAndOvertakeNothingDue) {
  using Clock = std::chrono::steady_clock;
  TPLTEventQueue queue;
  std::vector<std::string> order;
  Clock::time_point lateRan{};
  // Taken before the post, so that the delay is measured from no later
  // than the post itself, however slowly this thread runs.
  const Clock::time_point posted = Clock::now();
  queue.PLTPostDelayed(60ms, [&] {
    order.push_back("late");
    lateRan = Clock::now();
  });
  queue.PLTPost([&] {
    order.push_back("first");
    // Posted while pumping: runs in the same pump.
    queue.PLTPost([&] { order.push_back("nested"); });
  });
  queue.PLTPump();
  // Only a pump that ended before the delay could be due finds the delayed
  // call waiting; a stalled thread may come later.
  if (Clock::now() - posted < 60ms) {
    EXPECT_EQ(order, (std::vector<std::string>{"first", "nested"}));
    EXPECT_EQ(queue.PLTPending(), 1u);
  }
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], "first");

  // Waiting for something that does not come ends at the time limit.
  EXPECT_FALSE(queue.PLTPumpUntil([] { return false; }, 20ms));
  EXPECT_TRUE(queue.PLTPumpUntil([&] { return order.size() == 3; }, 5s));
  EXPECT_EQ(std::count(order.begin(), order.end(), "late"), 1);
  EXPECT_GE(lateRan - posted, 60ms);
}

}  // namespace
}  // namespace kal
