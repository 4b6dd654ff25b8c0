#include "comm/ServerThread.h"

#include <gtest/gtest.h>

#include "comm/ClientThread.h"
#include "comm/RecordingView.h"
#include "common/ScriptedPeer.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

class ServerThreadTest : public ::testing::Test {
 protected:
  // The connection events of the main window around the handler: one loop
  // per pass; failures are posted to the test's thread.
  class Handler final : public IPLTConnectionHandler {
   public:
    Handler(ServerThreadTest& t, std::shared_ptr<TPLTStreamSocket> s)
        : test_(t),
          thread_(std::move(s), t.queue_, t.view_, t.config_, t.synch_, t.mailBox_, &t.server_) {}
    int PLTOnExecute() override {
      std::string text;
      const int rc = thread_.THRClientExecute(text);
      if (rc != 0)
        test_.queue_.PLTPost(
            [t = &test_, rc, text] { t->failures_.push_back(std::to_string(rc) + " " + text); });
      return rc;
    }

   private:
    ServerThreadTest& test_;
    TTHRServerThread thread_;
  };

  ServerThreadTest() {
    config_.CFGSetCloseOnResponse(0);
    config_.CFGSetInterCharTimeout(2000);
    server_.PLTSetBindAddress("127.0.0.1");
    server_.PLTSetHandlerFactory([this](std::shared_ptr<TPLTStreamSocket> s) {
      return std::make_unique<Handler>(*this, std::move(s));
    });
    port_ = std::to_string(server_.PLTActivate() == 0 ? server_.PLTBoundPort() : 0);
  }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return test::PumpUntil(queue_, done, limit);
  }
  bool Shown(size_t n) {
    return Pump([&] { return view_.shown.size() >= n; });
  }
  void Reply(const std::string& body) {
    mailBox_.THXSetSendstring(THFMakeFrame(body));
    mailBox_.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  }
  // Waits until `n` connection loops run.
  bool Loops(int n) {
    return Pump([&] { return synch_.TERThreadCount() == n; });
  }

  TPLTEventQueue queue_;
  test::RecordingView view_;
  TTERThreadSynch synch_;
  TCFGConfig config_{"/nonexistent/", "config.ini", nullptr};
  TTHXMailBox mailBox_;
  Strings failures_;
  std::string port_;
  TPLTTcpServer server_;  // last: its connection threads end first
};

TEST_F(ServerThreadTest, FramesInPartsAndTogetherAreShownAndTheMailboxReplyIsSent) {
  // The gap inside the first header is far above the old 10 ms header wait.
  test::ScriptedPeer peer(port_, {"s:0000", "w:80", "s:0003414243", "s:000000015a00000000", "f",
                                  "s:0000000131", "f", "e"});
  ASSERT_TRUE(Shown(3));
  EXPECT_EQ(view_.shown, (Strings{"00000003414243", "000000015A", "00000000"}));
  EXPECT_EQ(view_.events.front(), "time");
  Reply("reply");
  ASSERT_TRUE(Pump([&] { return mailBox_.THXGetSendState() == TTHXMailBox::THXcStateSended; }));
  EXPECT_EQ(peer.Line(), "connected");
  EXPECT_EQ(test::FrameHex(peer.Line()), "000000057265706C79");

  // With close on response the connection ends after the next reply.
  ASSERT_TRUE(Shown(4));
  config_.CFGSetCloseOnResponse(1);
  Reply("");
  EXPECT_EQ(test::FrameHex(peer.Line()), "00000000");
  EXPECT_EQ(peer.Line(), "eof");
  EXPECT_TRUE(Loops(0));
  EXPECT_TRUE(failures_.empty());
}

TEST_F(ServerThreadTest, TheReplyGoesToTheCurrentConnectionOnly) {
  test::ScriptedPeer older(port_, {"e"});
  ASSERT_EQ(older.Line(), "connected");
  ASSERT_TRUE(Loops(1));
  test::ScriptedPeer newer(port_, {"f"});
  ASSERT_EQ(newer.Line(), "connected");
  ASSERT_TRUE(Loops(2));
  Reply("only once");
  EXPECT_EQ(test::FrameHex(newer.Line()), "000000096F6E6C79206F6E6365");
  ASSERT_TRUE(Pump([&] { return mailBox_.THXGetSendState() == TTHXMailBox::THXcStateSended; }));
  // The newer connection is gone; nothing more reaches the older one.
  ASSERT_TRUE(Loops(1));
  Reply("stale");
  EXPECT_EQ(older.Line(300ms), "");
  server_.PLTDeactivate();
  EXPECT_EQ(older.Line(), "eof");
}

TEST_F(ServerThreadTest, AStalledBodyIsShownAsFarAsItCameAndAnOversizedLengthEndsTheConnection) {
  config_.CFGSetInterCharTimeout(300);
  test::ScriptedPeer peer(port_, {"s:0000000a3132", "w:1000", "s:004c4b41", "e"});  // 5,000,001
  ASSERT_TRUE(Shown(1));
  EXPECT_EQ(view_.shown[0], "0000000A3132");
  EXPECT_EQ(peer.Line(), "connected");
  EXPECT_EQ(peer.Line(), "eof");
  ASSERT_TRUE(Pump([&] { return !failures_.empty(); }));
  EXPECT_EQ(failures_, (Strings{"7011 Frame length exceeds limit: 5000001"}));
  EXPECT_EQ(view_.shown.size(), 1u);
}

TEST_F(ServerThreadTest, TheTerminateSignalStopsEveryThreadAtOnce) {
  test::ScriptedPeer a(port_, {"e"}), b(port_, {"e"}), c(port_, {"e"});
  test::ScriptedPeer listener("listen", {"e"});
  in_addr loopback{};
  ASSERT_TRUE(PLTParseIPv4("127.0.0.1", loopback));
  int fd = -1;
  ASSERT_EQ(PLTConnect(loopback, listener.Port(), TPLTWakeEvent(), fd, 5000), 0);
  TTHCClientThread client(false, std::make_shared<TPLTStreamSocket>(fd, 1), queue_, view_, synch_,
                          config_, mailBox_, nullptr);
  ASSERT_TRUE(Loops(4));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(synch_.TERTerminateAll());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(synch_.TERTerminate());
  EXPECT_TRUE(client.THCbTerminated());
  for (test::ScriptedPeer* p : {&a, &b, &c}) {
    EXPECT_EQ(p->Line(), "connected");
    EXPECT_EQ(p->Line(), "eof");
  }
  EXPECT_EQ(listener.Line(), "eof");

  // The signal is down again: new connections work.
  test::ScriptedPeer d(port_, {"s:0000000178", "e"});
  ASSERT_TRUE(Shown(1));
  EXPECT_EQ(view_.shown[0], "0000000178");
}

}  // namespace
}  // namespace kal
