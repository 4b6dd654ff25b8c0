#include "comm/MailBox.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace kal {
namespace {

TEST(MailBox, ARequestIsTakenOnceAndMarkedSentAfterItsWrite) {
  TTHXMailBox box;
  std::string frame;
  uint64_t ticket = 0;
  EXPECT_FALSE(box.THXTakeSendRequest(frame, ticket));
  box.THXSetSendstring("abc");
  box.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  EXPECT_TRUE(box.THXSendRequestEvent().PLTIsSet());
  ASSERT_TRUE(box.THXTakeSendRequest(frame, ticket));
  EXPECT_EQ(frame, "abc");
  EXPECT_FALSE(box.THXSendRequestEvent().PLTIsSet());
  EXPECT_FALSE(box.THXTakeSendRequest(frame, ticket)) << "a second connection takes it again";
  box.THXSendDone(ticket, true);
  EXPECT_EQ(box.THXGetSendState(), TTHXMailBox::THXcStateSended);
}

TEST(MailBox, AFailedWriteLeavesTheRequestPendingAndANewerRequestIsNotMarkedSent) {
  TTHXMailBox box;
  std::string frame;
  uint64_t first = 0, second = 0;
  box.THXSetSendstring("one");
  box.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  ASSERT_TRUE(box.THXTakeSendRequest(frame, first));
  box.THXSendDone(first, false);
  EXPECT_TRUE(box.THXSendPending());
  EXPECT_TRUE(box.THXSendRequestEvent().PLTIsSet());

  ASSERT_TRUE(box.THXTakeSendRequest(frame, first));
  box.THXSetSendstring("two");
  box.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  box.THXSendDone(first, true);
  EXPECT_EQ(box.THXGetSendState(), TTHXMailBox::THXcStateSendRequest);
  ASSERT_TRUE(box.THXTakeSendRequest(frame, second));
  EXPECT_EQ(frame, "two");

  box.THXSetSendState(TTHXMailBox::THXcStateIdle);
  box.THXSendDone(second, true);
  EXPECT_EQ(box.THXGetSendState(), TTHXMailBox::THXcStateIdle);
  EXPECT_FALSE(box.THXSendRequestEvent().PLTIsSet());
}

// A request's raise comes after the lock is let go, so it may come after a
// connection took the request. The connection's settled look lowers such a
// raise (else its next wait would end at once, again and again) and keeps
// the raise of a request that waits.
TEST(MailBox, ASettledLookLowersOnlyARaiseWithoutAWaitingRequest) {
  enum Step { kRequest, kTake, kIdle };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    bool pending;
  };
  const Case cases[] = {
      {"a request waits", {kRequest}, true},
      {"the request was taken", {kRequest, kTake}, false},
      {"the request was withdrawn", {kRequest, kIdle}, false},
      {"no request yet", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTHXMailBox box;
    std::string frame;
    uint64_t ticket = 0;
    for (const Step step : c.steps) {
      if (step == kRequest) box.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
      if (step == kTake) {
        ASSERT_TRUE(box.THXTakeSendRequest(frame, ticket));
      }
      if (step == kIdle) box.THXSetSendState(TTHXMailBox::THXcStateIdle);
    }
    // The late raise of the request's own thread.
    const uint64_t one = 1;
    ASSERT_EQ(::write(box.THXSendRequestEvent().PLTFd(), &one, sizeof one), 8);
    EXPECT_EQ(box.THXSendPendingSettled(), c.pending);
    EXPECT_EQ(box.THXSendRequestEvent().PLTIsSet(), c.pending);
  }
}

TEST(MailBox, ATakenFrameStaysAsItWasWhenANewerSendStringComes) {
  TTHXMailBox box;
  box.THXSetSendstring("one");
  box.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  std::shared_ptr<const std::string> frame;
  uint64_t ticket = 0;
  ASSERT_TRUE(box.THXTakeSendRequest(frame, ticket));
  box.THXSetSendstring("two");
  EXPECT_EQ(*frame, "one");
  EXPECT_EQ(box.THXGetSendString(), "two");
}

TEST(MailBox, TheFirstClientSocketErrorStaysUntilTheFlagIsCleared) {
  TTHXMailBox box;
  EXPECT_TRUE(box.THXReportClientSocketError(10054, "reset"));
  EXPECT_FALSE(box.THXReportClientSocketError(7011, "too long"));
  EXPECT_EQ(box.THXGetClientSocketErrorId(), 10054);
  EXPECT_EQ(box.THXGetClientSocketErrorText(), "reset");
  box.THXSetClientSocketErrorFlag(false);
  EXPECT_TRUE(box.THXReportClientSocketError(7011, "too long"));
  EXPECT_EQ(box.THXGetClientSocketErrorId(), 7011);
}

}  // namespace
}  // namespace kal
