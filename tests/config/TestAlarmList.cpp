#include "config/AlarmList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/TestSupport.h"

namespace kal {
namespace {

using std::chrono::seconds;

// A clock the test moves by hand, starting at a fixed moment.
struct ManualClock {
  TALMTimePoint now = TALMTimePoint(seconds(1'780'000'000));
  TALMClock Clock() {
    return [this] { return now; };
  }
};

TEST(AlarmList, RuleLinesTakeTrimmedNumbersEmptyAsZeroAndDropNonIntegers) {
  struct Row {
    bool executionTime;
    const char* line;
    bool added;
    std::vector<int32_t> numbers;
    const char* text;
  };
  // clang-format off
  const Row rows[] = {
      {false, "3;60;Alarm at $TIME",  true,  {3, 60},        "Alarm at $TIME"},
      {false, " 2 ; 5 ; a;b ",        true,  {2, 5},         "a;b"},
      {false, ";;only text",          true,  {0, 0},         "only text"},
      {false, "4",                    true,  {4, 0},         ""},
      {false, "x;60;t",               false, {},             ""},
      {false, "3;1.5;t",              false, {},             ""},
      {false, "3;99999999999;t",      false, {},             ""},
      {true,  "2000;2;60;slow",       true,  {2000, 2, 60},  "slow"},
      {true,  "-1;;;",                true,  {-1, 0, 0},     ""},
      {true,  "20a0;1;1;x",           false, {},             ""},
  };
  // clang-format on
  for (const Row& r : rows) {
    TALEAlarmErrorList errors;
    TALTAlarmExecutionTimeList times;
    TALMAlarmList& list = r.executionTime ? static_cast<TALMAlarmList&>(times) : errors;
    EXPECT_EQ(list.ALMAddItem(r.line), r.added) << r.line;
    ASSERT_EQ(list.ALMGetItemCount(), r.added ? 1u : 0u) << r.line;
    if (!r.added) continue;
    const TALMAlarmItem& item = list.ALEGetItem(0);
    EXPECT_EQ(item.ALMGetLine(), r.line) << "written back unchanged";
    EXPECT_EQ(item.ALMGetText(), r.text) << r.line;
    const size_t counts = r.executionTime ? 1 : 0;
    if (r.executionTime) {
      EXPECT_EQ(static_cast<const TALTAlarmExecutionTime&>(item).ALTGetTimeLimit(), r.numbers[0]);
    }
    EXPECT_EQ(item.ALMGetNumOfOccurencies(), r.numbers[counts]) << r.line;
    EXPECT_EQ(item.ALMGetTimeFrame(), r.numbers[counts + 1]) << r.line;
  }
}

TEST(AlarmList, RulesFireOnTheirCountInsideTheSlidingWindow) {
  ManualClock clock;
  const TALMTimePoint start = clock.now;
  TALEAlarmErrorList list(clock.Clock());
  ASSERT_TRUE(list.ALMAddItem("3;60;three in a minute"));
  ASSERT_TRUE(list.ALMAddItem("0;60;never"));
  const auto errorAt = [&](int second) {
    clock.now = start + seconds(second);
    list.ALEAcceptError("error at " + std::to_string(second));
    return list.ALMGetAlarm();
  };
  EXPECT_EQ(errorAt(0), nullptr);
  EXPECT_EQ(errorAt(10), nullptr);
  EXPECT_EQ(errorAt(20), &list.ALEGetItem(0)) << "the third error within 60 s";
  // 61 s after the first: it has left the window, three remain.
  EXPECT_EQ(errorAt(61), &list.ALEGetItem(0));
  EXPECT_EQ(list.ALEGetItem(0).ALMGetEventCount(), 3u);
  // Re-armed, then two errors 31 s apart and a third 61 s after the first:
  // only two remain.
  list.ALEGetItem(0).ALMEmptyAlarmEventsList();
  EXPECT_EQ(errorAt(100), nullptr);
  EXPECT_EQ(errorAt(131), nullptr);
  EXPECT_EQ(errorAt(161), nullptr);
  EXPECT_EQ(list.ALEGetItem(0).ALMGetEventCount(), 2u);
  EXPECT_FALSE(list.ALEGetItem(1).ALMIsAlarm()) << "a threshold of 0 never fires";
  EXPECT_GT(list.ALEGetItem(1).ALMGetEventCount(), 0u);
}

TEST(AlarmList, ExecutionTimesCountAboveTheLimitAndTheFirstFiringRuleWins) {
  ManualClock clock;
  TALTAlarmExecutionTimeList list(clock.Clock());
  ASSERT_TRUE(list.ALMAddItem("2000;1;60;first"));
  ASSERT_TRUE(list.ALMAddItem("1000;1;60;second"));
  list.ALTAcceptExecutionTime(2000);
  EXPECT_EQ(list.ALEGetItem(0).ALMGetEventCount(), 0u) << "exactly the limit is not above it";
  EXPECT_EQ(list.ALMGetAlarm(), &list.ALEGetItem(1));
  list.ALTAcceptExecutionTime(2001);
  EXPECT_EQ(list.ALEGetItem(0).ALMGetEventCount(), 1u);
  EXPECT_EQ(list.ALMGetAlarm(), &list.ALEGetItem(0)) << "both fire: the earlier rule";
  EXPECT_EQ(list.ALEGetItem(0).ALMGenerateLogEntry(), "first");
}

TEST(AlarmList, EntriesFillDateTimeAndTheOldestErrorInOnePassEach) {
  ManualClock clock;
  TALEAlarmErrorList list(clock.Clock());
  ASSERT_TRUE(list.ALMAddItem("1;60;$DATE $TIME: $ERROR ($ERROR)"));
  ASSERT_TRUE(list.ALMAddItem("1;60;[$ERROR]"));
  list.ALEGetItem(1).ALMEmptyAlarmEventsList();
  EXPECT_EQ(list.ALEGetItem(1).ALMGenerateLogEntry(), "[]") << "no events: empty";
  list.ALEAcceptError("oldest $TIME $ERROR");
  list.ALEAcceptError("newer");
  const std::time_t t = std::chrono::system_clock::to_time_t(clock.now);
  const std::string stamp =
      test::RunPython("import datetime\nprint(datetime.datetime.fromtimestamp(" +
                          std::to_string(t) + ").strftime('%d.%m.%Y %H:%M:%S'), end='')",
                      "");
  EXPECT_EQ(list.ALEGetItem(0).ALMGenerateLogEntry(),
            stamp + ": oldest $TIME $ERROR (oldest $TIME $ERROR)");
}

TEST(AlarmList, TheLogAppendsLinesAndReportsEachFailingStep) {
  test::TempDir dir;
  ManualClock clock;
  TALEAlarmErrorList list(clock.Clock());
  ASSERT_TRUE(list.ALMAddItem("1;1;alarm $ERROR"));
  list.ALEAcceptError("E1");
  const TALMAlarmItem& item = list.ALEGetItem(0);
  std::string message;
  ASSERT_EQ(item.ALMWriteToAlarmLog(dir.file("alarm.txt"), message), 0) << message;
  ASSERT_EQ(item.ALMWriteToAlarmLog(dir.file("alarm.txt"), message), 0) << message;
  EXPECT_EQ(test::ReadFile(dir.file("alarm.txt")), "alarm E1\r\nalarm E1\r\n");

  test::WriteFile(dir.file("plain"), "");
  struct Row {
    std::string path;
    int32_t result;
    std::string message;
  };
  const auto numbered = [](const char* what, int code, const std::string& path) {
    return std::string(what) + ".  Error number " + std::to_string(code) + " File " + path;
  };
  const Row rows[] = {
      {"  ", 0, ""},
      {dir.file("plain/x.txt"), 1,
       "Can not create alarm log file (menu [admin], [alarming]): Filename=" +
           dir.file("plain/x.txt")},
      {dir.path(), 4, numbered("Error on opening file for append", EISDIR, dir.path())},
      {"/dev/full", 3, numbered("Error on writing alarm text", ENOSPC, "/dev/full")},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(item.ALMWriteToAlarmLog(r.path, message), r.result) << r.path;
    EXPECT_EQ(message, r.message) << r.path;
  }
}

}  // namespace
}  // namespace kal
