// The load test against a python3 asyncio server (load_test_peer.py): a
// client thread meets every malformed answer with its code and text and
// closes its connection; the threads of a row reach the server together;
// "Stop" while the server is silent ends the run at once with every thread
// joined; the recording pairs each thread's request with its own response.
// The server's tallies of requests, bytes and closes are the oracle.

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <sstream>
#include <string>

#include "comm/Frame.h"
#include "comm/ThreadSynch.h"
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
  explicit Peer(const std::string& mode)
      : child_({KAL_PYTHON, test::SourceDir() + "/tests/workbench/load_test_peer.py", mode}) {
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
  // The panes heard of the row's texts once a hand-off, not once a thread.
  EXPECT_EQ(host_.memoNotices, 2);
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

}  // namespace
}  // namespace kal
