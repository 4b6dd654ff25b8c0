#include "comm/ThreadSynch.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kal {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ThreadSynch, TerminateAllReturnsWhenTheLastThreadCountsOut) {
  TTERThreadSynch synch;
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) {
    synch.TERIncThreadCount("worker");
    threads.emplace_back([&synch, i] {
      while (!synch.TERTerminate()) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(50ms * (i + 1));
      synch.TERDecThreadCount("worker");
    });
  }
  const auto start = Clock::now();
  EXPECT_TRUE(synch.TERTerminateAll());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 140ms);
  EXPECT_LT(took, 2s);
  EXPECT_TRUE(synch.TERAllTerminated());
  EXPECT_FALSE(synch.TERTerminate());
  EXPECT_FALSE(synch.TERTerminateEvent().PLTIsSet());
  for (std::thread& t : threads) t.join();
}

TEST(ThreadSynch, AThreadThatNeverEndsKeepsItsCountAfterTheBound) {
  TTERThreadSynch synch;
  synch.TERIncThreadCount("stuck");
  const auto start = Clock::now();
  EXPECT_FALSE(synch.TERTerminateAll(300ms));
  EXPECT_GE(Clock::now() - start, 300ms);
  EXPECT_EQ(synch.TERThreadCount(), 1);
  EXPECT_FALSE(synch.TERTerminate());

  synch.TERSetTerminate();
  EXPECT_TRUE(synch.TERTerminateEvent().PLTIsSet());
  synch.TERResetTerminate();
  EXPECT_EQ(synch.TERThreadCount(), 1);
  EXPECT_FALSE(synch.TERTerminateEvent().PLTIsSet());
}

}  // namespace
}  // namespace kal
