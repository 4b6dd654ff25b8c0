#include "workbench/RunStatistics.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "common/TestSupport.h"

namespace kal {
namespace {

// min, max, count and truncated mean of the timed receipts (above 0), as
// python3 computes them from the numbers on standard input.
std::string PythonFigures(const std::vector<int>& times) {
  std::ostringstream in;
  for (int t : times) in << t << '\n';
  return test::RunPython(
      "import sys\n"
      "t = [int(x) for x in sys.stdin.read().split() if int(x) > 0]\n"
      "print(min(t), max(t), len(t), sum(t) // len(t))\n",
      in.str());
}

std::string Figures(const TSSTStatistics& s) {
  return std::to_string(s.SSTGetMinResponseTime()) + " " +
         std::to_string(s.SSTGetMaxResponseTime()) + " " + std::to_string(s.SSTGetTimedReceipts()) +
         " " + std::to_string(s.SSTGetAverageResponseTime()) + "\n";
}

TEST(SSTStatistics, ThreadTotalsMatchPythonOverRandomTimesAndLongRuns) {
  std::mt19937 rng(20261209);
  struct Case {
    int threads, perThread, maxTime;
  };
  for (const Case c : {Case{4, 5000, 60000}, Case{1, 100000, 60000}, Case{3, 700, 3}}) {
    std::vector<std::vector<int>> times(c.threads);
    std::vector<int> all;
    for (auto& list : times) {
      std::uniform_int_distribution<int> time(0, c.maxTime);
      for (int i = 0; i < c.perThread; ++i) list.push_back(i % 7 == 0 ? 0 : time(rng));
      all.insert(all.end(), list.begin(), list.end());
    }
    // Each thread counts into its own statistics; the totals add them.
    std::vector<TSSTStatistics> own(c.threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < c.threads; ++t)
      workers.emplace_back([&, t] {
        for (int ms : times[t]) own[t].SSTAcceptStatistics(true, true, ms, ms % 11 == 1);
      });
    for (auto& w : workers) w.join();
    TSSTStatistics total;
    for (const auto& s : own) total.SSTAddStatistics(s);
    EXPECT_EQ(Figures(total), PythonFigures(all));
    EXPECT_EQ(total.SSTGetMessagesSend(), c.threads * c.perThread);
    EXPECT_EQ(total.SSTGetMessagesReceived(), c.threads * c.perThread);
  }

  // The longest runs stay exact: 100,000 receipts of 60 s.
  TSSTStatistics longRun;
  for (int i = 0; i < 100000; ++i) longRun.SSTAcceptStatistics(false, true, 60000, false);
  EXPECT_EQ(longRun.SSTGetAverageResponseTime(), 60000);
}

TEST(SSTStatistics, AReceiptWithoutTimeCountsButChangesNoTime) {
  TSSTStatistics s;
  s.SSTAcceptStatistics(true, true, 0, true);
  EXPECT_EQ(s.SSTGetMessagesReceived(), 1);
  EXPECT_EQ(s.SSTGetErrors(), 1);
  EXPECT_EQ(s.SSTGetMinResponseTime(), TSSTStatistics::SSTcNoMinimum);
  EXPECT_EQ(s.SSTGetMaxResponseTime(), 0);
  EXPECT_EQ(s.SSTGetAverageResponseTime(), 0);
}

TEST(LSILogStatistics, KeepsTheFirstErrorAndMeasuresStampsFromTheBase) {
  int64_t ticks = 0;
  TLSILogStatistics s(TLSICounter{[&] { return ticks; }, 4000});
  s.LSISetErrorText("Time-out: no answer");
  s.LSISetErrorID(7007);
  s.LSISetErrorText("second error");
  EXPECT_EQ(s.LSIGetErrorText(), "Time out  no answer");
  EXPECT_TRUE(s.LSIError());

  ticks = 1000;
  s.LSISetSendPerformanceBase();
  ticks = 5000;
  s.LSISetSendPerformanceCounter();
  ticks = 500;  // before the base
  s.LSISetConnectedCounter();
  EXPECT_EQ(s.LSIComputeSendCounter(), 1000);
  EXPECT_EQ(s.LSIComputeConnectedCounter(), 0);

  s.LSIReset();
  EXPECT_EQ(s.LSIGetErrorText(), "");
  EXPECT_FALSE(s.LSIError());
  s.LSISetErrorText("next message");
  EXPECT_EQ(s.LSIGetErrorText(), "next message");
}

}  // namespace
}  // namespace kal
