#include "platform/EventPoster.h"

#include <gtest/gtest.h>

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
  TPLTEventQueue queue;
  std::vector<std::string> order;
  queue.PLTPostDelayed(60ms, [&] { order.push_back("late"); });
  queue.PLTPost([&] {
    order.push_back("first");
    // Posted while pumping: runs in the same pump.
    queue.PLTPost([&] { order.push_back("nested"); });
  });
  EXPECT_EQ(queue.PLTPump(), 2u);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "nested"}));
  EXPECT_EQ(queue.PLTPending(), 1u);

  // Waiting for something that does not come ends at the time limit.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(queue.PLTPumpUntil([&] { return order.size() == 4; }, 20ms));
  EXPECT_EQ(order.size(), 2u);
  EXPECT_TRUE(queue.PLTPumpUntil([&] { return order.size() == 3; }, 5s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
  EXPECT_EQ(order.back(), "late");
}

}  // namespace
}  // namespace kal
