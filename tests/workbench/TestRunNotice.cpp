#include "workbench/RunNotice.h"

#include <gtest/gtest.h>

#include "workbench/ConnectionPeer.h"
#include "workbench/CoreHost.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

class RunNoticeTest : public test::CoreOnQueueTest {};

// A run has the notice on: a character time-out of the receive thread and a
// message of the core reach it once each, without a message box; outside
// the run, messages are boxes again.
TEST_F(RunNoticeTest, DuringARunMessagesGoToTheNoticeOnceEach) {
  test::ConnectionPeer peer("listen", {"f", "s:0000000341", "w:5000", "c"});
  const int port = std::stoi(peer.Line());
  TCEXMainWindow& core =
      StartCore(test::TcpClientIni(std::to_string(port)) +
                "[Timeout]\r\nConnectionDelay=0\r\nCloseOnResponse=0\r\nInterCharTimeout=300\r\n");
  std::vector<std::string> notes;
  core.CEXRunNotice().CEXStartNotice([&](const std::string& text) { notes.push_back(text); });

  core.CEXSetMemo(TCEXMemo::Memo6, "00 00 00 04 3C 61 2F 3E");
  core.CEXExecute(TCEXAction::SendDataStream);
  const std::string timeout = "Character timeout while waiting for data from server";
  ASSERT_TRUE(Pump([&] { return !notes.empty(); }));
  core.CEXShowMessage("Modem answers: NO CARRIER");
  core.CEXShowMessage("Modem answers: NO CARRIER");
  core.CEXShowMessage(timeout);
  EXPECT_EQ(notes, (std::vector<std::string>{timeout, "Modem answers: NO CARRIER"}));
  EXPECT_TRUE(host_.messages.empty());

  core.CEXRunNotice().CEXStopNotice();
  core.CEXShowMessage("after the run");
  EXPECT_EQ(host_.messages, (std::vector<std::string>{"after the run"}));
  EXPECT_EQ(notes.size(), 2u);
}

}  // namespace
}  // namespace kal
