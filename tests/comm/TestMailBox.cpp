#include "comm/MailBox.h"

#include <gtest/gtest.h>

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
