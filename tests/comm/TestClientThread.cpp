#include "comm/ClientThread.h"

#include <gtest/gtest.h>

#include "comm/RecordingView.h"
#include "common/ScriptedPeer.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

class ClientThreadTest : public ::testing::Test {
 protected:
  ClientThreadTest() {
    config_.CFGSetCloseOnResponse(0);
    config_.CFGSetInterCharTimeout(2000);
  }

  // Connects to the peer and starts a receive thread on the connection.
  void Start(test::ScriptedPeer& peer) {
    const uint16_t port = peer.Port();
    ASSERT_NE(port, 0);
    in_addr a{};
    ASSERT_TRUE(PLTParseIPv4("127.0.0.1", a));
    const TPLTWakeEvent never;
    int fd = -1;
    ASSERT_EQ(PLTConnect(a, port, never, fd, 5000), 0);
    thread_ = std::make_unique<TTHCClientThread>(false, std::make_shared<TPLTStreamSocket>(fd, 1),
                                                 queue_, view_, synch_, config_, mailBox_, nullptr);
  }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return test::PumpUntil(queue_, done, limit);
  }
  bool Shown(size_t n) {
    return Pump([&] { return view_.shown.size() >= n; });
  }

  TPLTEventQueue queue_;
  test::RecordingView view_;
  TTERThreadSynch synch_;
  TCFGConfig config_{"/nonexistent/", "config.ini", nullptr};
  TTHXMailBox mailBox_;
  std::unique_ptr<TTHCClientThread> thread_;
};

TEST_F(ClientThreadTest, HeadersInPartsAreCompletedAndCoalescedFramesAreSplit) {
  test::ScriptedPeer peer("listen", {"s:0000", "w:80", "s:000568656c", "w:80", "s:6c6f",
                                     "s:00000000000000024142", "e"});
  Start(peer);
  ASSERT_TRUE(Shown(3));
  EXPECT_EQ(view_.shown, (Strings{"0000000568656C6C6F", "00000000", "000000024142"}));
  // Each frame: timers and time on the header, the status, then the display.
  const Strings first(view_.events.begin(), view_.events.begin() + 3);
  EXPECT_EQ(first, (Strings{"hangup", "time", "stop"}));
  EXPECT_TRUE(view_.Has("status Message received: 5 bytes"));
  EXPECT_TRUE(view_.Has("status Message received: 0 bytes"));
  EXPECT_EQ(view_.events.back(), "show");
  EXPECT_EQ(view_.time.size(), 8u);
  EXPECT_FALSE(thread_->THCbTerminated());
  EXPECT_EQ(synch_.TERThreadCount(), 1);
  thread_.reset();
  EXPECT_EQ(peer.Line(), "eof");
  EXPECT_EQ(synch_.TERThreadCount(), 0);
}

TEST_F(ClientThreadTest, ATrickleWithinTheCharacterTimeoutCompletesAStallDoesNot) {
  config_.CFGSetInterCharTimeout(400);
  test::ScriptedPeer peer(
      "listen", {"s:0000000341", "w:200", "s:42", "w:200", "s:43", "s:0000000a313233", "w:3000"});
  Start(peer);
  ASSERT_TRUE(Shown(2));
  EXPECT_EQ(view_.shown, (Strings{"00000003414243", "0000000A313233"}));
  EXPECT_TRUE(view_.Has("status Message received: 3 bytes"));
  EXPECT_TRUE(view_.Has("status Received bytes 3 of 10"));
  EXPECT_TRUE(view_.Has("message Character timeout while waiting for data from server"));
  EXPECT_FALSE(view_.Has("status Message received: 10 bytes"));
  EXPECT_FALSE(thread_->THCbTerminated());
}

TEST_F(ClientThreadTest, AnOversizedLengthIsRefusedThroughTheMailboxAndEndsTheConnection) {
  test::ScriptedPeer peer("listen", {"s:00989681", "e"});  // 10,000,001
  Start(peer);
  EXPECT_EQ(peer.Line(), "eof");
  ASSERT_TRUE(Pump([&] { return thread_->THCbTerminated(); }));
  EXPECT_TRUE(mailBox_.THXGetClientSocketErrorFlag());
  EXPECT_EQ(mailBox_.THXGetClientSocketErrorId(), 7011);
  EXPECT_EQ(mailBox_.THXGetClientSocketErrorText(), "Frame length exceeds limit: 10000001");
  EXPECT_TRUE(view_.shown.empty());
  // The thread raises its finished flag before it counts itself out.
  EXPECT_TRUE(Pump([&] { return synch_.TERThreadCount() == 0; }));
}

TEST_F(ClientThreadTest, AResetKeepsWhatCameAndReportsTheSocketError) {
  test::ScriptedPeer peer("listen", {"s:000000104142", "w:200", "x"});
  Start(peer);
  ASSERT_TRUE(Shown(1));
  ASSERT_TRUE(Pump([&] { return thread_->THCbTerminated(); }));
  EXPECT_EQ(view_.shown[0], "000000104142");
  EXPECT_FALSE(view_.Has("message Character timeout while waiting for data from server"));
  EXPECT_EQ(mailBox_.THXGetClientSocketErrorId(), 10054);
  EXPECT_EQ(mailBox_.THXGetClientSocketErrorText(),
            "Connection Reset by Peer -- A connection was forcibly closed by the remote host.");
}

TEST_F(ClientThreadTest, CloseOnResponseEndsAfterTheFirstFrameAndClosesTheClientSocket) {
  config_.CFGSetCloseOnResponse(1);
  test::ScriptedPeer peer("listen", {"s:00000001410000000142", "e"});
  const uint16_t port = peer.Port();
  TCTPClientSocketPPP client(queue_);
  std::unique_ptr<TTHCClientThread> thread;  // ends before the client socket goes
  bool disconnected = false;
  client.OnConnect = [&] {
    thread = std::make_unique<TTHCClientThread>(false, client.CTPTakeConnection(), queue_, view_,
                                                synch_, config_, mailBox_, &client);
  };
  client.OnDisconnect = [&] { disconnected = true; };
  client.SetAddress("127.0.0.1");
  client.SetPort(port);
  ASSERT_EQ(client.Open(), 0);
  ASSERT_TRUE(Pump([&] { return disconnected; }));
  EXPECT_EQ(peer.Line(), "eof");
  EXPECT_EQ(view_.shown, (Strings{"0000000141"}));
  EXPECT_TRUE(thread->THCbTerminated());
  EXPECT_FALSE(client.Active());
}

}  // namespace
}  // namespace kal
