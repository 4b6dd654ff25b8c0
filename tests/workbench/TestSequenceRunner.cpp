#include "workbench/SequenceRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/AlarmList.h"
#include "ep2/RandomSource.h"
#include "support/StringGrid.h"
#include "workbench/RunNotice.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceFile.h"

namespace kal {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

class ManualTimer final : public ICEXTimer {
 public:
  explicit ManualTimer(std::function<void()> f) : f_(std::move(f)) {}
  void CEXStart(milliseconds interval) override {
    active_ = true;
    interval_ = interval;
  }
  void CEXStop() override { active_ = false; }
  bool CEXActive() const override { return active_; }
  // The timer expires (a one-shot stops first).
  void Fire(bool repeating) {
    if (!repeating) active_ = false;
    f_();
  }
  milliseconds interval_{};

 private:
  std::function<void()> f_;
  bool active_ = false;
};

struct ManualTimers final : ICEXTimerFactory {
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating, std::function<void()> f) override {
    auto t = std::make_unique<ManualTimer>(std::move(f));
    (repeating ? tick : pause) = t.get();
    return t;
  }
  ManualTimer* tick = nullptr;
  ManualTimer* pause = nullptr;
};

struct FakeClock final : ICEXClock {
  steady_clock::time_point steady{};
  local_time<milliseconds> local = local_days{2026y / 12 / 9} + 10h;
  steady_clock::time_point CEXNow() override { return steady; }
  void CEXSleep(milliseconds) override { ADD_FAILURE() << "the run never sleeps"; }
  local_time<milliseconds> CEXLocalNow() override { return local; }
  void Advance(milliseconds d) {
    steady += d;
    local += d;
  }
};

// The core as the run sees it: every call is noted; the hooks stand for
// what the real core does meanwhile (errors reported by the analysis, an
// answer arriving during the send).
struct FakeCore final : ISEQRunCore {
  bool client = true;
  std::vector<std::string> calls;
  std::function<void()> onSend, onAnalyse;
  bool logHasError = false;
  std::vector<int> logged;
  std::string xml = "<ep2:message>0123456789</ep2:message>", stream = "\x00\x20<frame-bytes>";
  TALMTimePoint alarmNow{};
  TALEAlarmErrorList errorAlarms{[this] { return alarmNow; }};
  TALTAlarmExecutionTimeList timeAlarms{[this] { return alarmNow; }};
  int32_t writeResult = 0;
  std::vector<std::string> alarmLog;

  bool SEQClientRole() const override { return client; }
  void SEQTerminateThreads() override { calls.push_back("terminate"); }
  bool SEQLoadMessage(const std::string& p) override {
    calls.push_back("msg " + p);
    return true;
  }
  bool SEQLoadReference(const std::string& p) override {
    calls.push_back("ref " + p);
    return true;
  }
  void SEQLoadConfiguration(const std::string& p) override { calls.push_back("cfg " + p); }
  void SEQHangUp() override { calls.push_back("hangup"); }
  void SEQSetMessageVariant(TSEQAddMsgNum, bool) override {}
  void SEQSetAddressAndPort(const std::string& a, const std::string& p) override {
    if (!a.empty() || !p.empty()) calls.push_back("addr " + a + ":" + p);
  }
  bool SEQCreateXmlDoc() override { return true; }
  void SEQDamageXmlText(const TSEQDamage& d) override { d(xml); }
  bool SEQCreateDataStream() override { return true; }
  void SEQDamageStream(const TSEQDamage& d) override { d(stream); }
  bool SEQSendDataStream() override {
    calls.push_back("send");
    if (onSend) onSend();
    return true;
  }
  void SEQTransferInputValues() override { calls.push_back("transfer"); }
  void SEQParseMessage() override {}
  void SEQAnalyseMessage() override {
    calls.push_back("analyse");
    if (onAnalyse) onAnalyse();
  }
  void SEQDecryptSecurity() override {}
  void SEQSetCloseOnResponse(bool) override {}
  void SEQRecordOffline() override { calls.push_back("record"); }
  void SEQNewLogItems() override {}
  bool SEQLogHasError() override { return logHasError; }
  void SEQWriteLog(int ms) override { logged.push_back(ms); }
  void SEQResetLogValues() override { logHasError = false; }
  TALEAlarmErrorList& SEQErrorAlarms() override { return errorAlarms; }
  TALTAlarmExecutionTimeList& SEQTimeAlarms() override { return timeAlarms; }
  int32_t SEQWriteAlarm(const TALMAlarmItem& rule) override {
    alarmLog.push_back(rule.ALMGetText());
    return writeResult;
  }
};

struct Row {
  std::string client, server, delay, attrib;
};

struct RunnerTest : ::testing::Test {
  FakeCore core;
  TStringGrid grid{SEQcColCount, SEQcMinRows, 1, 1};
  TSEQRunSettings settings;
  FakeClock clock;
  TSQSRunStatus status{[this] { return clock.steady; }};
  TCEXRunNotice notice;
  TSECDeterministicRandom random;
  ManualTimers timers;
  std::unique_ptr<TSEQRunner> runner;
  std::vector<std::string> runNumbers;

  // Also called again by table-driven tests: every case starts afresh.
  void SetUp() override {
    runner.reset();
    core.calls.clear();
    core.onSend = core.onAnalyse = nullptr;
    core.logHasError = false;
    core.logged.clear();
    core.client = true;
    core.writeResult = 0;
    core.alarmLog.clear();
    grid = TStringGrid(SEQcColCount, SEQcMinRows, 1, 1);
    clock = FakeClock();
    settings = TSEQRunSettings();
    runNumbers.clear();
    settings.restarts = "0";
    settings.endDate = 2026y / 12 / 10;
    runner = std::make_unique<TSEQRunner>(
        TSEQRunner::TPorts{core, grid, settings, status, notice, clock, random, timers});
    status.OnChanged = [this] {
      if (runNumbers.empty() || runNumbers.back() != status.SQSRunNumber())
        runNumbers.push_back(status.SQSRunNumber());
    };
  }
  void Table(const std::vector<Row>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const int r = int(i) + 1;
      grid.SetCell(SEQcColClient, r, rows[i].client);
      grid.SetCell(SEQcColServer, r, rows[i].server);
      grid.SetCell(SEQcColDelay, r, rows[i].delay);
      grid.SetCell(SEQcColAttrib, r, rows[i].attrib);
    }
  }
  // An answer arrives and the pause before the next row passes.
  void Answer() {
    runner->SEQMessageAvailable();
    Pause();
  }
  void Pause() {
    if (timers.pause->CEXActive()) timers.pause->Fire(false);
  }
  // Wait ticks, one second each.
  void Tick(int n = 1) {
    for (int i = 0; i < n && timers.tick->CEXActive(); ++i) {
      clock.Advance(1s);
      timers.tick->Fire(true);
    }
  }
  // The requests sent, in order.
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (size_t i = 0; i + 1 < core.calls.size(); ++i)
      if (core.calls[i].rfind("msg ", 0) == 0 && core.calls[i + 1] == "send")
        out.push_back(core.calls[i].substr(4));
    return out;
  }
};

TEST_F(RunnerTest, ClientRunSendsEachRowAndLogsCleanAnswers) {
  Table({{"a.epm", "ra.epm", "", "D"}, {"b.epm", "rb.epm", "", ""}});
  runner->SEQRunSequence(1, true);
  EXPECT_EQ(core.calls, (std::vector<std::string>{"terminate", "ref ra.epm", "msg a.epm", "send"}));
  EXPECT_TRUE(runner->SEQAwaiting());
  clock.Advance(40ms);
  Answer();
  EXPECT_EQ(core.logged, std::vector<int>{40});
  EXPECT_EQ(Sent(), (std::vector<std::string>{"a.epm", "b.epm"}));
  Answer();
  EXPECT_FALSE(runner->SEQRunning());
  EXPECT_EQ(status.SQSCurrentAction(), TSEQRunner::SEQcRestarts);
  EXPECT_EQ(status.SQSMessagesSend(), "2");
  EXPECT_EQ(status.SQSErrorsFound(), "0");
  EXPECT_EQ(runner->SEQCurrentRow(), 1);
}

TEST_F(RunnerTest, ErrorCountEndsTheRunUnlessPermanent) {
  struct Case {
    bool permanent;
    bool running;
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    SCOPED_TRACE(c.permanent);
    SetUp();
    settings.errorCount = "3";
    settings.permanentRun = c.permanent;
    Table({{"a.epm", "r.epm", "", ""},
           {"b.epm", "r.epm", "", ""},
           {"c.epm", "r.epm", "", ""},
           {"d.epm", "r.epm", "", ""}});
    // Two errors of one row count once.
    core.onAnalyse = [&] {
      EXPECT_EQ(runner->SEQError("wrong value", false), TSEQErrorTaken::Taken);
      // Once the count ends the run, errors are no longer the run's.
      EXPECT_EQ(runner->SEQError("wrong value", false),
                runner->SEQRunning() ? TSEQErrorTaken::Taken : TSEQErrorTaken::NotRunning);
      core.logHasError = true;
    };
    runner->SEQRunSequence(1, true);
    for (int i = 0; i < 3; ++i) Answer();
    EXPECT_EQ(status.SQSErrorCount(), 3);
    EXPECT_EQ(runner->SEQRunning(), c.running);
    EXPECT_EQ(Sent().size(), c.permanent ? 4u : 3u);
    EXPECT_TRUE(core.logged.empty());  // logged by the core with their errors
    if (!c.permanent) {
      EXPECT_EQ(status.SQSCurrentAction(), TSEQRunner::SEQcErrorCount);
    }
  }
}

TEST_F(RunnerTest, RestartsAndStopTime) {
  struct Case {
    local_days endDate;
    std::vector<std::string> runs;
    size_t sends;
    const char* end;
  };
  const Case cases[] = {
      {local_days{2026y / 12 / 10}, {"1", "2", "3"}, 3, TSEQRunner::SEQcRestarts},
      {local_days{2026y / 12 / 8}, {"1"}, 1, TSEQRunner::SEQcStopTime},
  };
  for (const Case& c : cases) {
    SetUp();
    settings.restarts = "2";
    settings.endDate = year_month_day{c.endDate};
    Table({{"a.epm", "r.epm", "", ""}});
    runner->SEQRunSequence(1, true);
    for (int i = 0; i < 4 && runner->SEQRunning(); ++i) Answer();
    EXPECT_EQ(runNumbers, c.runs);
    EXPECT_EQ(Sent().size(), c.sends);
    EXPECT_EQ(status.SQSCurrentAction(), c.end);
  }
}

TEST_F(RunnerTest, DelaysAndTimesOfDay) {
  struct Case {
    std::string delay;
    int before, after;  // seconds waited before the row, after it
  };
  const Case cases[] = {{"5", 0, 5}, {"10:01", 60, 0}, {"09:59:00", 0, 0}, {"later", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delay);
    SetUp();
    Table({{"a.epm", "r.epm", c.delay, ""}, {"b.epm", "r.epm", "", ""}});
    runner->SEQRunSequence(1, true);
    if (c.before > 0) {
      EXPECT_EQ(status.SQSCurrentAction(), "Delay: " + std::to_string(c.before));
      Tick(c.before - 1);
      EXPECT_TRUE(Sent().empty());
      Tick();
    }
    ASSERT_EQ(Sent().size(), 1u);
    runner->SEQMessageAvailable();
    if (c.after > 0) {
      EXPECT_EQ(status.SQSCurrentAction(), "Delay: " + std::to_string(c.after));
      Tick(c.after - 1);
      EXPECT_TRUE(runner->SEQWaiting());
      Tick();
    }
    Pause();
    EXPECT_EQ(Sent().size(), 2u);
  }
}

TEST_F(RunnerTest, OfflineRowIsRecordedAndSkipped) {
  Table({{"a.epm", "r.epm", "", "F"}, {"b.epm", "r.epm", "", ""}});
  runner->SEQRunSequence(1, true);
  EXPECT_EQ(core.calls.back(), "record");
  Pause();
  EXPECT_EQ(Sent(), std::vector<std::string>{"b.epm"});
}

TEST_F(RunnerTest, PassThatSendsNothingEndsAPermanentRun) {
  settings.permanentRun = true;
  grid.SetCell(SEQcColAddress, 1, "127.0.0.1");  // a row with no message
  runner->SEQRunSequence(1, true);
  Answer();
  EXPECT_FALSE(runner->SEQRunning());
  EXPECT_EQ(status.SQSCurrentAction(), TSEQRunner::SEQcEmpty);
}

TEST_F(RunnerTest, StopEndsWaitsAtOnce) {
  for (const char* delay : {"10:05", "7"}) {
    SCOPED_TRACE(delay);
    SetUp();
    Table({{"a.epm", "r.epm", delay, ""}, {"b.epm", "r.epm", "", ""}});
    runner->SEQRunSequence(1, true);
    if (!runner->SEQWaiting()) runner->SEQMessageAvailable();
    ASSERT_TRUE(runner->SEQWaiting());
    runner->SEQStopPressed();
    EXPECT_FALSE(timers.tick->CEXActive());
    EXPECT_EQ(status.SQSCurrentAction(), TSQSRunStatus::SQScStoppedByUser);
    const auto calls = core.calls;
    Tick(600);
    Pause();
    EXPECT_EQ(core.calls, calls);
  }
}

TEST_F(RunnerTest, EventOrders) {
  Table({{"a.epm", "r.epm", "", ""}, {"b.epm", "r.epm", "3", ""}, {"c.epm", "r.epm", "", ""}});
  runner->SEQRunSequence(1, true);
  // The time-out comes first: the next row goes out.
  clock.Advance(5s);
  runner->SEQRunNextRow();
  Pause();
  EXPECT_EQ(Sent(), (std::vector<std::string>{"a.epm", "b.epm"}));
  // The answer comes first: its time-out is stale and does not start the
  // delay again.
  runner->SEQMessageAvailable();
  Tick();
  runner->SEQRunNextRow();
  EXPECT_EQ(status.SQSCurrentAction(), "Delay: 2");
  // An error handed off during the delay counts for the row.
  EXPECT_EQ(runner->SEQError("late", false), TSEQErrorTaken::Taken);
  EXPECT_EQ(status.SQSErrorCount(), 1);
  Tick(2);
  Pause();
  EXPECT_EQ(Sent(), (std::vector<std::string>{"a.epm", "b.epm", "c.epm"}));
  // An answer during the send (a local loop) waits for the send to end.
  SetUp();
  Table({{"a.epm", "r.epm", "", ""}, {"b.epm", "r.epm", "", ""}, {"c.epm", "r.epm", "", ""}});
  core.onSend = [&] {
    core.onSend = nullptr;
    runner->SEQMessageAvailable();
    EXPECT_EQ(core.calls.back(), "send");
  };
  runner->SEQRunSequence(1, true);
  EXPECT_EQ(core.calls.back(), "analyse");
  Pause();
  EXPECT_EQ(Sent().size(), 2u);
  // "Stop" during a send ends the run; its answer is not handled.
  core.onSend = [&] { runner->SEQStopPressed(); };
  runner->SEQMessageAvailable();
  Pause();
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_EQ(status.SQSCurrentAction(), TSQSRunStatus::SQScStoppedByUser);
  runner->SEQMessageAvailable();
  EXPECT_EQ(core.logged.size(), 2u);
}

TEST_F(RunnerTest, TimeoutGivesTheElapsedTimeToTheAlarms) {
  ASSERT_TRUE(core.timeAlarms.ALMAddItem("1000;1;60;slow"));
  Table({{"a.epm", "r.epm", "", ""}, {"b.epm", "r.epm", "", ""}});
  runner->SEQRunSequence(1, true);
  clock.Advance(1500ms);
  runner->SEQRunNextRow();
  Pause();
  EXPECT_EQ(core.alarmLog, std::vector<std::string>{"slow"});
  EXPECT_TRUE(runner->SEQRunning());
  // A failing alarm-log write stops the run.
  core.writeResult = 4;
  clock.Advance(1500ms);
  runner->SEQRunNextRow();
  Pause();
  EXPECT_EQ(status.SQSCurrentAction(), TSEQRunner::SEQcAlarmLog);
}

TEST_F(RunnerTest, ConditionalGroupTriesTheNextMemberInBothRoles) {
  for (bool client : {false, true}) {
    SCOPED_TRACE(client);
    SetUp();
    core.client = client;
    settings.errorCount = "1";
    Table({{"q1.epm", "a1.epm", "", "1"},
           {"q2.epm", "a2.epm", "", "1"},
           {"q3.epm", "a3.epm", "", ""}});
    // The first member does not match in a G value; the second does.
    core.onAnalyse = [&] {
      if (runner->SEQCurrentRow() == 1) {
        EXPECT_EQ(runner->SEQError("fixed value", true), TSEQErrorTaken::Held);
      }
    };
    runner->SEQRunSequence(1, true);
    Answer();
    EXPECT_EQ(status.SQSErrorCount(), 0);
    EXPECT_EQ(core.logged.size(), 1u);
    EXPECT_TRUE(runner->SEQRunning());
    const std::string reference = client ? "ref a2.epm" : "ref q2.epm";
    EXPECT_NE(std::find(core.calls.begin(), core.calls.end(), reference), core.calls.end());
    // The server answers with the matching member; the client goes on after
    // the group.
    EXPECT_EQ(Sent(), client ? (std::vector<std::string>{"q1.epm", "q3.epm"})
                             : (std::vector<std::string>{"a2.epm"}));
  }
}

TEST_F(RunnerTest, ServerStepLoadsTheConfigurationsOfTheCRowItMeets) {
  core.client = false;
  Table(
      {{"q1.epm", "a1.epm", "", ""}, {"c1.ini", "c2.ini", "", "C"}, {"q3.epm", "a3.epm", "", ""}});
  runner->SEQRunSequence(1, true);
  core.calls.clear();
  Answer();
  EXPECT_EQ(core.calls, (std::vector<std::string>{"analyse", "msg a1.epm", "send", "cfg c1.ini",
                                                  "cfg c2.ini", "ref q3.epm"}));
  EXPECT_TRUE(runner->SEQAwaiting());
}

TEST(SequenceRunnerDamage, ShortTextsStayAndTheEdgesAreKept) {
  TSECDeterministicRandom random;
  for (std::string text : {std::string(), std::string("12345")}) {
    const std::string before = text;
    TSEQRunner::SEQGenerateRandomErrors(text, random);
    EXPECT_EQ(text, before);
  }
  for (int i = 0; i < 50; ++i) {
    std::string text(40, 'x');
    TSEQRunner::SEQGenerateRandomErrors(text, random);
    EXPECT_EQ(text.substr(0, 4), "xxxx");
    EXPECT_EQ(text.back(), 'x');
  }
  // Random words of all ones: 5 changes, each at position 15 (1-based) to
  // 0, as values run from 0 to 254.
  TSECDeterministicRandom ones(std::string(4, '\xff'));
  std::string text(40, 'x'), expected = text;
  expected[14] = '\0';
  TSEQRunner::SEQGenerateRandomErrors(text, ones);
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace kal
