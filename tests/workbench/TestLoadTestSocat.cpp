// The load test against socat: an echo server whose answers are the
// requests themselves (so they analyse clean against the request's
// reference), a server that never answers and one that closes at once.
// The connections are counted with iproute2's ss, the log read with
// python3's csv module.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "comm/LoopbackPeer.h"
#include "workbench/LoadTestHost.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::Threads;

// Established connections to `port` on this machine.
int Connections(uint16_t port) {
  int status = 0;
  const std::string out = test::RunCommand(
      "ss -tnH state established '( dport = :" + std::to_string(port) + " )'", "", &status);
  EXPECT_EQ(status, 0) << out;
  return int(test::SplitLines(out).size());
}

struct SocatCase {
  const char* name;
  const char* server;  // socat's second address
  int responseTimeoutMs;
  std::vector<test::LoadRow> rows;
  int sent, received, errors;
  // Each error's text in the log holds this (letters and digits kept).
  std::string errorText;
  // Connections when the row becomes current (row: count).
  std::map<int, int> connections;
};

class LoadTestSocat : public test::LoadTestFixture,
                      public ::testing::WithParamInterface<SocatCase> {};

TEST_P(LoadTestSocat, RowsRunOnTheirThreads) {
  const SocatCase& c = GetParam();
  test::SocatEcho socat("TCP4-LISTEN:0,bind=127.0.0.1,fork,reuseaddr,backlog=128", c.server);
  ASSERT_NE(socat.port(), 0);
  StartLoad(socat.port(), c.responseTimeoutMs);
  Rows(c.rows);
  std::map<int, int> seen;
  runner_->OnCurrentRow = [&](int row) {
    if (c.connections.count(row) > 0 && runner_->SEQRunning())
      seen[row] = Connections(socat.port());
  };
  ASSERT_TRUE(Run()) << status_.SQSCurrentAction() << " / " << status_.SQSNote() << " row "
                     << runner_->SEQCurrentRow() << " errors " << host_.errors.size()
                     << (host_.errors.empty() ? "" : host_.errors.front());
  EXPECT_EQ(seen, c.connections);

  // The list's total, the status window and the log agree.
  const TSSTStatistics& total = list_->SCLStatistics();
  EXPECT_EQ(total.SSTGetMessagesSend(), c.sent);
  EXPECT_EQ(total.SSTGetMessagesReceived(), c.received);
  EXPECT_EQ(total.SSTGetErrors(), c.errors);
  EXPECT_EQ(status_.SQSMessagesSend(), std::to_string(c.sent));
  EXPECT_EQ(status_.SQSMessagesReceived(), std::to_string(c.received));
  EXPECT_EQ(status_.SQSErrorsFound(), std::to_string(c.errors));
  EXPECT_TRUE(host_.analysisErrors.empty()) << host_.analysisErrors.front();
  const auto records = LogRecords();
  ASSERT_EQ(int(records.size()), c.sent);
  int errors = 0, answered = 0;
  std::string errorRecords;
  for (const std::string& record : records) {
    const auto exec = record.substr(0, record.find('|'));
    const auto rest = record.substr(exec.size() + 1);
    const auto error = rest.substr(0, rest.find('|'));
    EXPECT_EQ(exec.find_first_not_of("0123456789"), std::string::npos) << record;
    if (!error.empty()) {
      ++errors;
      errorRecords += record + "\n";
      EXPECT_NE(error.find(c.errorText), std::string::npos) << error;
    } else {
      ++answered;
      EXPECT_EQ(rest.substr(rest.find('|') + 1), "T0000042") << record;
    }
  }
  EXPECT_EQ(errors, c.errors) << errorRecords;
  EXPECT_EQ(answered, c.received);
  if (c.received > 0) {
    EXPECT_EQ(status_.SQSMinTime(), std::to_string(total.SSTGetMinResponseTime()));
    EXPECT_EQ(status_.SQSAverageTime(), std::to_string(total.SSTGetAverageResponseTime()));
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Socat, LoadTestSocat, ::testing::Values(
    // 1, 5 and 50 threads; a blank count reuses the 5 threads and their
    // connections; D closes each connection after its answer, and the 50
    // threads connect anew in the next row.
    SocatCase{"Echo", "EXEC:cat", 20000,
              {Threads("1"), Threads("5"), Threads(""), Threads("50", "D"), Threads("", "D"), Threads("")},
              161, 161, 0, "",
              {{3, 5}, {4, 5}, {5, 0}, {6, 0}}},
    // No answer: five time-outs, the threads dropped; the blank count of the
    // next row makes one thread.
    SocatCase{"Silent", "EXEC:'sleep 30'", 300,
              {Threads("5"), Threads("")},
              6, 0, 6, "Timeout while waiting for server response", {}},
    // Closed at once: the error, and the run goes on with the next row.
    SocatCase{"Closing", "EXEC:true", 20000,
              {Threads("2"), Threads("3")},
              5, 0, 5, "Connection closed by server", {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace kal
