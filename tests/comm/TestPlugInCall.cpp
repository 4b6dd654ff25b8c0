#include "comm/PlugInCall.h"

#include <gtest/gtest.h>

#include "comm/LoopbackPeer.h"
#include "common/ScriptedPeer.h"
#include "common/TestSupport.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

class PlugInCallTest : public ::testing::Test {
 protected:
  PlugInCallTest() { config_.CFGSetServerResponseTimeout(5000); }

  void Out(uint16_t port, int32_t active = 1) {
    config_.CFGSetPluginOutIPAddress("127.0.0.1");
    config_.CFGSetPluginOutIPPort(port);
    config_.CFGSetActivatePluginOut(active);
  }
  // Runs an outgoing call of `doc` against a peer that reads the request
  // and then takes `steps`; the peer's report of the request goes to
  // `request`.
  int32_t Call(const std::vector<std::string>& steps, const std::string& doc = "<doc/>") {
    std::vector<std::string> all = {"f"};
    all.insert(all.end(), steps.begin(), steps.end());
    test::ScriptedPeer peer("listen", all);
    Out(peer.Port());
    const int32_t rc = PLGRunPlugin(config_, PLGcEncodingOutMessage, doc, result_, text_);
    request_ = test::FrameHex(peer.Line(1s));
    return rc;
  }

  TCFGConfig config_{"/nonexistent/", "config.ini", nullptr};
  std::string result_, text_, request_;
};

TEST_F(PlugInCallTest, TheRequestHasItsLayoutAndTheReplyReplacesTheDocument) {
  EXPECT_EQ(Call({"s:00000008200300003c612f3e"}, "0123456789"), 0);
  EXPECT_EQ(request_, "0000000E200300C830313233343536373839");
  EXPECT_EQ(result_, "<a/>");
  EXPECT_EQ(text_, "");
}

TEST_F(PlugInCallTest, IncomingDocumentsGoToTheInEndpointAndAnEchoKeepsThem) {
  test::SocatEcho echo;
  ASSERT_NE(echo.port(), 0);
  Out(test::UnusedPort());
  config_.CFGSetPluginInIPAddress("127.0.0.1");
  config_.CFGSetPluginInIPPort(echo.port());
  config_.CFGSetActivatePluginIn(1);
  const std::string doc = "<?xml version=\"1.0\"?><msg>\xC3\xA4</msg>";
  EXPECT_EQ(PLGRunPlugin(config_, PLGcEncodingInMessage, doc, result_, text_), 0) << text_;
  EXPECT_EQ(result_, doc);
}

TEST_F(PlugInCallTest, ReplyBodiesFollowTheFieldOffsets) {
  EXPECT_EQ(Call({"s:00000003010203"}), 4);
  EXPECT_EQ(text_, "Illegal response received from plug in: 01 02 03");
  EXPECT_EQ(result_, "<doc/>");
  EXPECT_EQ(Call({"s:0000000420030000"}), 0);
  EXPECT_EQ(result_, "");
  EXPECT_EQ(Call({"s:000000052003000041"}), 0);
  EXPECT_EQ(result_, "A");
  EXPECT_EQ(Call({"s:00000007200300ff3c782f3e"}), 9104);
  EXPECT_EQ(text_, "Plug in error detected, see log of plug in");
  EXPECT_EQ(result_, "<doc/>");
}

TEST_F(PlugInCallTest, BrokenOrMissingRepliesFailWithinTheTimeoutAndLeaveTheDocument) {
  config_.CFGSetServerResponseTimeout(300);
  EXPECT_EQ(Call({"s:00989681"}), 9103);  // 10,000,001
  EXPECT_EQ(text_, "TCP IP error on plugin communication: Frame length exceeds limit: 10000001");
  EXPECT_EQ(Call({"x"}), 9103);
  EXPECT_EQ(text_,
            "TCP IP error on plugin communication: Connection Reset by Peer -- A connection was "
            "forcibly closed by the remote host.");
  // The peers stay silent for a minute; the calls end with the 300 ms
  // time-out long before that, however loaded the machine is.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Call({"w:60000"}), 9101);
  EXPECT_EQ(text_, "Error while waiting for length bytes from plug in");
  EXPECT_EQ(Call({"s:0000000a2003", "w:60000"}), 9103);
  EXPECT_EQ(text_,
            "TCP IP error on plugin communication: Connection Timed Out -- The remote host failed "
            "to respond within the timeout period.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 50s);
  EXPECT_EQ(result_, "<doc/>");
}

TEST_F(PlugInCallTest, NoListenerIsAConnectionErrorAndAnInactivePlugInIsNotCalled) {
  const uint16_t port = test::UnusedPort();
  Out(port);
  EXPECT_EQ(PLGRunPlugin(config_, PLGcEncodingOutMessage, "<doc/>", result_, text_), 9102);
  EXPECT_EQ(text_, "Connection error on plugin call to 127.0.0.1/" + std::to_string(port) +
                       " :Connection Refused -- The target machine actively refused the attempt "
                       "to connect to it.");
  EXPECT_EQ(result_, "<doc/>");
  Out(port, 0);
  EXPECT_EQ(PLGRunPlugin(config_, PLGcEncodingOutMessage, "<doc/>", result_, text_), 0);
  EXPECT_EQ(result_, "<doc/>");
  EXPECT_EQ(text_, "");
}

}  // namespace
}  // namespace kal
