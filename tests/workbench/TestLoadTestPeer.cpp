// The load test against a python3 asyncio server (load_test_peer.py): a
// client thread meets every malformed answer with its code and text and
// closes its connection; the threads of a row reach the server together;
// "Stop" while the server is silent ends the run at once with every thread
// joined; the recording pairs each thread's request with its own response;
// a row of 50 threads sends the recorded frames; the panes show a row's
// last exchange once it has ended; a row the free descriptors cannot carry
// is an error, not a crash. The server's tallies of requests, bytes and
// closes, and the frames it received, are the oracle.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>
#include <string>

#include "comm/Frame.h"
#include "comm/ThreadSynch.h"
#include "platform/Descriptors.h"
#include "workbench/CounterLists.h"
#include "workbench/LoadTestHost.h"
#include "workbench/RecordingItemsList.h"
#include "workbench/RecordingLink.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

struct Tally {
  int requests = -1, bytes = 0, closes = 0, most = 0;
};

class Peer {
 public:
  explicit Peer(const std::string& mode, const std::string& file = "")
      : child_({KAL_PYTHON, test::SourceDir() + "/tests/workbench/load_test_peer.py", mode, file}) {
    const std::string line = child_.Line(30s);
    if (line.rfind("PORT ", 0) == 0) port_ = std::stoi(line.substr(5));
  }
  int port() const { return port_; }
  // Reads tallies until one satisfies `done` (the last one read when none
  // does within the bound, which only catches a hang).
  template <class F>
  Tally Await(F done) {
    Tally t;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done(t) && std::chrono::steady_clock::now() < deadline) {
      std::istringstream in(child_.Line(1s));
      std::string mark;
      Tally next;
      if (in >> mark >> next.requests >> next.bytes >> next.closes >> next.most && mark == "T")
        t = next;
    }
    return t;
  }

 private:
  test::ChildProcess child_;
  int port_ = 0;
};

struct AnswerCase {
  const char* mode;
  int responseTimeoutMs;
  int code;
  std::string text;
};

class LoadTestAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(LoadTestAnswers, EachGivesItsCodeAndTextAndTheConnectionCloses) {
  const AnswerCase& c = GetParam();
  Peer peer(c.mode);
  ASSERT_NE(peer.port(), 0);
  test::TempDir dir;
  TTERThreadSynch synch;
  std::promise<void> ended;
  const std::string request = THFMakeFrame("<request/>");
  {
    TSCTSequenceClientThread thread(
        1, {"127.0.0.1", uint16_t(peer.port()), 0, c.responseTimeoutMs, 1}, synch,
        std::make_unique<TLUXLogItemsList>(dir.path()), [&](uint64_t) { ended.set_value(); });
    thread.SCTsSendDataStream = request;
    ASSERT_TRUE(thread.SCTSendStream(true, false, 1));
    ASSERT_EQ(ended.get_future().wait_for(60s), std::future_status::ready);
    EXPECT_EQ(thread.SCTGetThreadStatus(), SCTcError);
    EXPECT_EQ(thread.SCTLogStatistics().LSIGetErrorID(), c.code);
    EXPECT_EQ(thread.SCTErrorText().rfind(c.text, 0), 0u) << thread.SCTErrorText();
    EXPECT_EQ(thread.SCTStatistics().SSTGetErrors(), 1);
    EXPECT_FALSE(thread.SCTConnected());
  }
  EXPECT_EQ(synch.TERThreadCount(), 0);
  if (std::string(c.mode) == "full") return;  // nothing was accepted
  const Tally t = peer.Await([](const Tally& t) { return t.closes == 1; });
  EXPECT_EQ(t.requests, 1);
  EXPECT_EQ(t.bytes, int(request.size()));
  EXPECT_EQ(t.closes, 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Peer, LoadTestAnswers, ::testing::Values(
    AnswerCase{"huge", 5000, 1001, "Thread: 1 Communication error: Frame length exceeds limit: 10000001"},
    AnswerCase{"zero", 5000, 1002, "Thread: 1 Empty length bytes"},
    AnswerCase{"partheader", 300, 1002, "Thread: 1 Empty length bytes"},
    AnswerCase{"headerclose", 5000, 0, "Connection closed by server (length bytes read) "},
    AnswerCase{"bodyclose", 5000, 0, "Connection closed by server (length bytes read) "},
    AnswerCase{"trickle", 300, 1000, "Thread: 1 Timeout while waiting for server response"},
    AnswerCase{"silent", 300, 1000, "Thread: 1 Timeout while waiting for server response"},
    // Every connect attempt times out against a full accept queue.
    AnswerCase{"full", 100, 0, "Connection failed"}),
    [](const auto& info) { return std::string(info.param.mode); });
// clang-format on

class LoadTestRun : public test::LoadTestFixture {};

TEST_F(LoadTestRun, TheThreadsOfARowReachTheServerTogether) {
  Peer peer("echo");
  ASSERT_NE(peer.port(), 0);
  StartLoad(peer.port(), 20000, 200);
  Rows({test::Threads("8")});
  host_.memoNotices = 0;
  ASSERT_TRUE(Run());
  EXPECT_EQ(status_.SQSMessagesReceived(), "8");
  EXPECT_EQ(status_.SQSErrorsFound(), "0");
  // The panes heard of the row's texts at most once a hand-off, not once a
  // thread.
  EXPECT_GE(host_.memoNotices, 1);
  EXPECT_LE(host_.memoNotices, 2);
  // The run's end closed every connection.
  const Tally t = peer.Await([](const Tally& t) { return t.closes == 8; });
  EXPECT_EQ(t.requests, 8);
  EXPECT_EQ(t.most, 8);
  EXPECT_EQ(t.closes, 8);
  EXPECT_GT(t.bytes, 8 * 100);
}

// Threads that fail together all count when they reach "Stop on error
// count": the status window, the log's entries and its summary agree.
TEST_F(LoadTestRun, ThreadsFailingTogetherAllCountAtTheErrorCountStop) {
  Peer peer("zero");
  ASSERT_NE(peer.port(), 0);
  StartLoad(peer.port(), 5000);
  test::WriteFile(dir_.file("logfile.ini"), "Error;$ERROR;40\r\n");
  logSettings_ = {TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeWatchdog, ";", "log.txt"};
  settings_.errorCount = "3";
  Rows({test::Threads("8"), test::Threads("8")});
  ASSERT_TRUE(Run());
  EXPECT_EQ(status_.SQSCurrentAction(), TSEQRunner::SEQcErrorCount);
  EXPECT_EQ(status_.SQSErrorsFound(), "8");
  const std::string log = test::ReadFile(dir_.file("log.0.txt"));
  int entries = 0;
  for (const std::string& line : test::SplitLines(log))
    entries += line.find("Empty length") != std::string::npos;
  EXPECT_EQ(entries, 8) << log;
  const size_t summary = log.find("Number of errors");
  ASSERT_NE(summary, std::string::npos) << log;
  EXPECT_EQ(std::stoi(log.substr(summary + 16)), 8) << log;
}

TEST_F(LoadTestRun, StopWhileTheServerIsSilentJoinsEveryThread) {
  Peer peer("silent");
  ASSERT_NE(peer.port(), 0);
  StartLoad(peer.port(), 60000);
  Rows({test::Threads("5")});
  runner_->SEQRunSequence(1, true);
  ASSERT_EQ(peer.Await([](const Tally& t) { return t.requests == 5; }).requests, 5);
  queue_.PLTPump();
  runner_->SEQStopPressed();
  EXPECT_FALSE(runner_->SEQRunning());
  EXPECT_EQ(core_->CEXThreadSynch().TERThreadCount(), 0);
  EXPECT_EQ(list_->SCLGetEntriesCount() + list_->SCLRetiredCount(), 0);
  EXPECT_EQ(status_.SQSCurrentAction(), TSQSRunStatus::SQScStoppedByUser);
  EXPECT_EQ(status_.SQSErrorsFound(), "0");
  EXPECT_TRUE(LogRecords().empty());
  EXPECT_EQ(peer.Await([](const Tally& t) { return t.closes == 5; }).closes, 5);
}

TEST_F(LoadTestRun, AnFRowRecordsWithoutSendingAndAnalysesNothing) {
  Peer peer("echo");
  ASSERT_NE(peer.port(), 0);
  StartLoad(peer.port(), 20000);
  Rows({test::Threads("3", "F"), test::Threads("", "")});
  ASSERT_TRUE(Run());
  EXPECT_TRUE(host_.analysisErrors.empty()) << host_.analysisErrors.front();
  EXPECT_EQ(status_.SQSErrorsFound(), "0");
  // Three entries of the F row, then three answered requests.
  EXPECT_EQ(LogRecords().size(), 6u);
  EXPECT_EQ(peer.Await([](const Tally& t) { return t.closes == 3; }).requests, 3);
}

// Each thread's request counts its amount up; the server answers with the
// amount as the authorisation code, so a block whose two values disagree
// holds another thread's request or response.
TEST_F(LoadTestRun, RecordingWithFiveThreadsPairsEachRequestWithItsOwnResponse) {
  Peer peer("authrsp");
  ASSERT_NE(peer.port(), 0);
  test::WriteFile(
      dir_.file("submission.ini"),
      "ep2:TrmID;9F1C;ep2:trm\r\nep2:AmtAuth;9F02;ep2:trx\r\nep2:AuthCode;;ep2:trx\r\n");
  test::WriteFile(dir_.file("Req.epm"),
                  "7.0.1\r\n3\r\nep2:authreq\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
                  "ep2:TrmID\r\nT0000042\r\nan\r\nM\r\n\r\n1\r\n2\r\n"
                  "ep2:AmtAuth\r\n1000\r\nn\r\nMA\r\n\r\n1\r\n3\r\n");
  test::WriteFile(dir_.file("RspRef.epm"),
                  "7.0.1\r\n3\r\nep2:authrsp\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
                  "ep2:TrmID\r\n\r\nan\r\nM\r\n\r\n1\r\n2\r\n"
                  "ep2:AuthCode\r\n\r\nan\r\nM\r\n\r\n1\r\n3\r\n");
  std::filesystem::create_directory(dir_.file("rec"));
  TRFLRecordingItemsList recording(dir_.path());
  StartLoad(peer.port(), 20000, 0, &recording);
  RFLLinkToCore(recording, *core_);
  core_->CEXConfiguration().CFGSetSequenceRecord(1);
  core_->CEXConfiguration().CFGSetDirRecord(dir_.file("rec"));
  // The build writes the counted amount back to the current message file.
  core_->CEXSetFileName(dir_.file("Req.epm"));
  test::LoadRow row = test::Threads("5");
  row.client = "Req.epm";
  row.server = "RspRef.epm";
  Rows({row});
  ASSERT_TRUE(Run());
  EXPECT_TRUE(host_.analysisErrors.empty()) << host_.analysisErrors.front();
  EXPECT_EQ(test::RunPython("import re, sys\n"
                            "for b in sys.stdin.read().split('</ep2:bdfin>')[:-1]:\n"
                            "    v = dict(re.findall(r'<ep2:(AmtAuth|AuthCode)>([^<]*)<', b))\n"
                            "    print(v.get('AmtAuth'), v.get('AuthCode'))\n",
                            test::ReadFile(dir_.file("rec/T0000042.xml"))),
            "1001 A1001\n1002 A1002\n1003 A1003\n1004 A1004\n1005 A1005\n");
}

// A message with a transaction counter (the terminal's, from 1) and 20
// items, as client message and reference.
const char* const kCountedMessage = "Counted.epm";
void WriteCountedMessage(const test::TempDir& dir) {
  std::string text =
      "7.0.1\r\n23\r\nep2:authreq\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
      "ep2:TrmID\r\nT0000042\r\nan\r\nM\r\n\r\n1\r\n2\r\n"
      "ep2:TrxSeqCnt\r\n1\r\nn\r\nMA\r\n\r\n1\r\n3\r\n";
  for (int i = 0; i < 20; ++i)
    text += "ep2:Item" + std::to_string(i) + "\r\nvalue " + std::to_string(i) +
            "\r\nans\r\nM\r\n\r\n1\r\n" + std::to_string(4 + i) + "\r\n";
  test::WriteFile(dir.file(kCountedMessage), text);
}

// The counter value a frame carries.
std::string CounterOf(const std::string& frame) {
  const std::string open = "<ep2:TrxSeqCnt>";
  const size_t at = frame.find(open);
  if (at == std::string::npos) return "";
  return frame.substr(at + open.size(), frame.find('<', at + open.size()) - at - open.size());
}

class LoadTestCounted : public test::LoadTestFixture {
 protected:
  void Start(int port) {
    WriteCountedMessage(dir_);
    StartLoad(port, 20000, 0, nullptr, &counters_);
  }
  test::LoadRow Row(std::string threads, std::string attrib = "M") {
    test::LoadRow row = test::Threads(std::move(threads), std::move(attrib));
    row.client = row.server = kCountedMessage;
    return row;
  }
  TCEXCounterLists counters_{dir_.path(), host_};
};

// The frames of a row of 50 threads (each frame's counter value, and so its
// length and MAC, masked, the values listed apart), the run's counts and the
// log's error and terminal columns equal those recorded in
// tests/data/workbench/load-row-50.txt.
TEST_F(LoadTestCounted, ARowOfFiftyThreadsSendsTheRecordedFrames) {
  Peer peer("record", dir_.file("frames.txt"));
  ASSERT_NE(peer.port(), 0);
  Start(peer.port());
  Rows({Row("50")});
  ASSERT_TRUE(Run());
  peer.Await([](const Tally& t) { return t.closes == 50; });
  std::map<std::string, int> masked;
  std::vector<int> values;
  for (const std::string& hex : test::SplitLines(test::ReadFile(dir_.file("frames.txt")))) {
    // Length, version, specification version, security mode, then the MAC.
    std::string frame = test::FromHex(hex);
    const std::string value = CounterOf(frame);
    values.push_back(std::atoi(value.c_str()));
    frame.replace(frame.find("<ep2:TrxSeqCnt>") + 15, value.size(), "#");
    frame.replace(0, 4, "LLLL");
    frame.replace(8, 8, "MMMMMMMM");
    ++masked[test::ToHex(frame)];
  }
  std::sort(values.begin(), values.end());
  std::ostringstream text;
  text << "frames\n";
  for (const auto& [frame, count] : masked) text << count << " " << frame << "\n";
  text << "counters";
  for (int v : values) text << " " << v;
  text << "\nsent " << status_.SQSMessagesSend() << " received " << status_.SQSMessagesReceived()
       << " errors " << status_.SQSErrorsFound() << "\nlog\n";
  std::map<std::string, int> records;
  for (const std::string& r : LogRecords()) ++records[r.substr(r.find('|') + 1)];
  for (const auto& [record, count] : records) text << count << " " << record << "\n";
  EXPECT_EQ(text.str(),
            test::ReadFile(std::string(KAL_TEST_DATA_DIR) + "/workbench/load-row-50.txt"));
}

// While the run waits out a row's delay, and once it has ended, the panes
// show the exchange handled last: the answer to the row's last request.
TEST_F(LoadTestCounted, ThePanesShowTheLastExchangeOfARowWhenItEnds) {
  Peer peer("echo");
  ASSERT_NE(peer.port(), 0);
  Start(peer.port());
  test::LoadRow first = Row("3");
  first.delay = "2";
  Rows({first, Row("")});
  std::string shown;  // the received XML pane as the form last read it
  host_.onMemos = [&] { shown = core_->CEXGetMemo(TCEXMemo::Memo2); };
  runner_->SEQRunSequence(1, true);
  ASSERT_TRUE(Pump([&] { return CounterOf(shown) == "3"; }));
  EXPECT_EQ(runner_->SEQCurrentRow(), 1);  // still in the row's delay
  ASSERT_TRUE(Pump([this] { return !runner_->SEQRunning(); }));
  EXPECT_EQ(CounterOf(shown), "6");
  EXPECT_EQ(status_.SQSErrorsFound(), "0");
}

// A row needs two descriptors a thread and a reserve for the rest of the
// program; in a process whose limit is too low for it the row is an error
// that names both numbers and does not run, and the next row runs. The
// program's start raises the soft limit to the hard one.
TEST_F(LoadTestCounted, ARowTheFreeDescriptorsCannotCarryIsAnErrorNotACrash) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // All in the child, whose peer must end before it does.
  const auto check = [this] {
    bool raised = false, ran = false;
    std::string expected;
    {
      Peer peer("echo");
      Start(peer.port());
      Rows({Row("200"), Row("2")});
      rlimit limit{};
      getrlimit(RLIMIT_NOFILE, &limit);
      const rlim_t hard = limit.rlim_max;
      limit.rlim_cur = 100;
      setrlimit(RLIMIT_NOFILE, &limit);
      raised = PLTRaiseDescriptorLimit() && getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
               limit.rlim_cur == hard;
      // Room for the second row's threads (68 descriptors), not for the
      // first's (464).
      limit.rlim_cur = limit.rlim_cur - rlim_t(PLTFreeDescriptors()) + 100;
      setrlimit(RLIMIT_NOFILE, &limit);
      expected = std::string(TSEQRunner::SEQcDescriptorsShort) +
                 "200 client threads: 464 needed, " + std::to_string(PLTFreeDescriptors()) +
                 " available";
      ran = Run();
    }
    std::fprintf(stderr, "raised %d ran %d note '%s' errors %s received %s\n", raised, ran,
                 status_.SQSNote().c_str(), status_.SQSErrorsFound().c_str(),
                 status_.SQSMessagesReceived().c_str());
    return raised && ran && status_.SQSNote() == expected && status_.SQSErrorsFound() == "1" &&
           status_.SQSMessagesReceived() == "2";
  };
  EXPECT_EXIT(std::exit(check() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kal
