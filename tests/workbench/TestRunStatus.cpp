#include "workbench/RunStatus.h"

#include <gtest/gtest.h>

#include "workbench/RunStatistics.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  TSQSRunStatus::TNow Now() {
    return [this] { return now; };
  }
};

TEST(RunStatus, ResponseTimesGiveMinMaxAndTruncatedAverage) {
  FakeClock clock;
  TSQSRunStatus status(clock.Now());
  int changes = 0;
  status.OnChanged = [&] { ++changes; };
  status.SQSReset();
  EXPECT_EQ(status.SQSRunNumber(), "1");
  EXPECT_EQ(status.SQSMinTime(), "");
  EXPECT_EQ(status.SQSAverageTime(), "");

  // A receipt before any send counts and names the file, nothing else.
  status.SQSMessageReceived("/dir/early.epm");
  EXPECT_EQ(status.SQSCurrentAction(), "Received: early.epm");
  EXPECT_EQ(status.SQSMessagesReceived(), "1");
  EXPECT_EQ(status.SQSMinTime(), "");
  EXPECT_EQ(status.SQSMaxTime(), "");
  EXPECT_EQ(status.SQSAverageTime(), "");
  EXPECT_EQ(status.SQSMessagesSend(), "0");

  for (auto ms : {10ms, 30ms, 20ms}) {
    status.SQSMessageSend("/seq/req.epm");
    EXPECT_EQ(status.SQSCurrentAction(), "Send: req.epm");
    clock.now += ms;
    status.SQSMessageReceived("rsp.epm");
    EXPECT_EQ(status.SQSGetExecutionTime(), ms.count());
  }
  EXPECT_EQ(status.SQSMinTime(), "10");
  EXPECT_EQ(status.SQSMaxTime(), "30");
  EXPECT_EQ(status.SQSAverageTime(), "20");
  EXPECT_EQ(status.SQSMessagesSend(), "3");
  EXPECT_EQ(status.SQSMessagesReceived(), "4");
  EXPECT_GT(changes, 7);

  status.SQSWaitingDelay(5);
  EXPECT_EQ(status.SQSCurrentAction(), "Delay: 5");
  status.SQSErrorFound();
  EXPECT_EQ(status.SQSErrorCount(), 1);
  status.SQSSetNote("threads reduced");
  EXPECT_EQ(status.SQSNote(), "threads reduced");

  // A load test's totals replace the counts; an average over 7 and 8 is 7.
  TSSTStatistics totals;
  totals.SSTAcceptStatistics(true, true, 7, false);
  totals.SSTAcceptStatistics(true, true, 8, true);
  totals.SSTAcceptStatistics(true, true, 0, false);
  status.SQSAcceptStatistics(totals);
  EXPECT_EQ(status.SQSMessagesReceived(), "3");
  EXPECT_EQ(status.SQSErrorsFound(), "1");
  EXPECT_EQ(status.SQSMinTime(), "7");
  EXPECT_EQ(status.SQSAverageTime(), "7");
}

TEST(RunStatus, StopTellsTheRunAndCloseStaysEnabledAfterTheFirstCompletion) {
  TSQSRunStatus status;
  int stops = 0;
  status.OnStop = [&] { ++stops; };
  status.SQSReset();
  EXPECT_TRUE(status.SQSStopEnabled());
  EXPECT_FALSE(status.SQSCloseEnabled());
  status.SQSStopPressed();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(status.SQSCurrentAction(), "Sequence completed, stopped by user");
  EXPECT_FALSE(status.SQSStopEnabled());
  EXPECT_TRUE(status.SQSCloseEnabled());
  status.SQSReset();  // the next run
  EXPECT_TRUE(status.SQSStopEnabled());
  EXPECT_TRUE(status.SQSCloseEnabled());
}

}  // namespace
}  // namespace kal
