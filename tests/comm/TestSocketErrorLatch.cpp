#include "comm/SocketErrorLatch.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Socket.h"
#include "platform/SocketErrors.h"

namespace kal {
namespace {

TEST(SocketErrorLatch, TheFirstErrorWinsAndReadingClearsIt) {
  RRSInitSocketError();
  RRSSocketErrors(10061);
  RRSSocketErrors(10054);
  int code = 0;
  std::string text;
  RRSGetLastSocketError(code, text);
  EXPECT_EQ(code, 10061);
  EXPECT_EQ(text,
            "Connection Refused -- The target machine actively refused the attempt to connect to "
            "it.");
  RRSGetLastSocketError(code, text);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(text, "");

  // Installed as the socket layer's hook.
  EXPECT_TRUE(PLTReportSocketError(10059));
  RRSGetLastSocketError(code, text);
  EXPECT_EQ(code, 10059);
  EXPECT_EQ(text, "other socket error");
  RRSSocketErrorText(0, text);
  EXPECT_EQ(text, "");
}

TEST(SocketErrorLatch, ConcurrentErrorsLatchExactlyOneWithItsOwnText) {
  RRSInitSocketError();
  std::vector<std::thread> threads;
  const int codes[] = {10053, 10054, 10060, 10061};
  for (const int c : codes)
    threads.emplace_back([c] {
      for (int i = 0; i < 1000; ++i) RRSSocketErrors(c);
    });
  for (auto& t : threads) t.join();
  int code = 0;
  std::string text;
  RRSGetLastSocketError(code, text);
  EXPECT_NE(std::find(std::begin(codes), std::end(codes), code), std::end(codes));
  EXPECT_EQ(text, PLTSocketErrorText(code));
}

TEST(SocketErrorLatch, TheSystemErrorTextIsCutTo100Characters) {
  std::string text = "x";
  int code = -1;
  PLTSetLastSystemError(0, "");
  RRSWindowsErrorText(code, text);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(text, "");
  PLTSetLastSystemError(10054, std::string(150, 'r'));
  RRSWindowsErrorText(code, text);
  EXPECT_EQ(code, 10054);
  EXPECT_EQ(text, "Error 10054: " + std::string(100, 'r'));
}

}  // namespace
}  // namespace kal
