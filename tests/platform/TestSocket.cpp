#include "platform/Socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/SocketErrors.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

in_addr Loopback() {
  in_addr a{};
  a.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A connected pair over loopback: the connecting end and the accepted end.
struct Pair {
  Pair() {
    int lfd = -1, cfd = -1;
    uint16_t port = 0;
    TPLTWakeEvent cancel;
    EXPECT_EQ(PLTListen("127.0.0.1", 0, lfd, port), 0);
    EXPECT_EQ(PLTConnect(Loopback(), port, cancel, cfd), 0);
    pollfd p{lfd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
    client = std::make_unique<TPLTStreamSocket>(cfd, 1);
    serverFd = ::accept(lfd, nullptr, nullptr);
    server = std::make_unique<TPLTStreamSocket>(serverFd, 2);
    ::close(lfd);
  }
  // True once the accepted end has something to read (data or the end).
  bool ServerReadable() const {
    pollfd p{serverFd, POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1;
  }
  std::unique_ptr<TPLTStreamSocket> client, server;
  int serverFd = -1;
};

TEST(SocketErrors, PosixAndLookupErrorsMapOntoTheWindowsCodesAndTexts) {
  EXPECT_EQ(PLTSocketCodeFromErrno(0), 0);
  EXPECT_EQ(PLTSocketCodeFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(PLTSocketCodeFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(PLTSocketCodeFromErrno(EACCES), 10013);
  EXPECT_EQ(PLTSocketCodeFromErrno(ENOENT), PLTcOtherSocketError);
  EXPECT_EQ(PLTSocketCodeFromLookup(EAI_NONAME, 0), 11001);
  EXPECT_EQ(PLTSocketCodeFromLookup(EAI_SERVICE, 0), 10109);
  EXPECT_EQ(PLTSocketCodeFromLookup(EAI_SYSTEM, EMFILE), 10024);
  EXPECT_EQ(PLTSocketErrorText(0), "");
  EXPECT_EQ(PLTSocketErrorText(10059), "other socket error");
  EXPECT_EQ(PLTSocketErrorText(PLTcOtherSocketError), "other socket error");
  EXPECT_EQ(PLTSocketErrorText(10049),
            "Cannot Assign Requested Address -- The requested address is not valid (given the "
            "context of the function}.");
  EXPECT_EQ(PLTSystemErrorText(ECONNREFUSED), "Connection refused");
}

TEST(Socket, ALargeSendArrivesWholeAndInOrder) {
  Pair p;
  std::string data(8 * 1024 * 1024, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  std::string received;
  std::thread reader([&] {
    std::string buf(65536, '\0');
    size_t got = 0;
    int code = 0;
    while (received.size() < data.size() &&
           p.server->PLTReceive(buf.data(), buf.size(), 5000, got, code) == TPLTReceive::kData)
      received.append(buf, 0, got);
  });
  EXPECT_EQ(p.client->PLTSend(data), 0);
  reader.join();
  EXPECT_TRUE(received == data);
}

TEST(Socket, AReceiveEndsOnTimeoutWakeShutdownAndPeerClose) {
  Pair p;
  char buf[16];
  size_t got = 0;
  int code = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.server->PLTReceive(buf, sizeof buf, 50, got, code), TPLTReceive::kTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);

  // A wake event raised by another thread ends an unlimited wait; data
  // already waiting is taken first.
  TPLTWakeEvent wake;
  const TPLTWakeEvent* wakes[] = {&wake};
  std::thread raiser([&] {
    std::this_thread::sleep_for(30ms);
    wake.PLTSet();
  });
  EXPECT_EQ(p.server->PLTReceive(buf, sizeof buf, -1, got, code, wakes), TPLTReceive::kWoken);
  raiser.join();
  ASSERT_EQ(p.client->PLTSend("ab"), 0);
  std::this_thread::sleep_for(20ms);
  ASSERT_EQ(p.server->PLTReceive(buf, sizeof buf, -1, got, code, wakes), TPLTReceive::kData);
  EXPECT_EQ(std::string(buf, got), "ab");
  wake.PLTReset();
  EXPECT_FALSE(wake.PLTIsSet());

  std::thread closer([&] {
    std::this_thread::sleep_for(30ms);
    p.server->PLTShutdown();
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.server->PLTReceive(buf, sizeof buf, 5000, got, code), TPLTReceive::kClosed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  closer.join();
  EXPECT_FALSE(p.server->PLTConnected());
  EXPECT_EQ(p.client->PLTReceive(buf, sizeof buf, 5000, got, code), TPLTReceive::kClosed);
}

// A caller that just drained the socket waits first and reads after; the
// outcomes are those of the read-first order.
TEST(Socket, AReceiveThatWaitsFirstEndsAsOneThatReadsFirst) {
  struct Case {
    const char* what;
    bool data, wake, close;
    TPLTReceive expected;
  };
  // clang-format off
  const Case cases[] = {
      {"data waiting",             true,  false, false, TPLTReceive::kData},
      {"data before a raised wake", true, true,  false, TPLTReceive::kData},
      {"a raised wake",            false, true,  false, TPLTReceive::kWoken},
      {"nothing",                  false, false, false, TPLTReceive::kTimeout},
      {"the peer closed",          false, false, true,  TPLTReceive::kClosed},
  };
  // clang-format on
  for (const bool drained : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (drained ? ", drained" : ""));
      Pair p;
      TPLTWakeEvent wake;
      const TPLTWakeEvent* wakes[] = {&wake};
      if (c.data) {
        ASSERT_EQ(p.client->PLTSend("xyz"), 0);
      }
      if (c.close) p.client->PLTShutdown();
      if (c.data || c.close) {
        ASSERT_TRUE(p.ServerReadable());
      }
      if (c.wake) wake.PLTSet();
      char buf[16];
      size_t got = 0;
      int code = 0;
      const int timeoutMs = c.expected == TPLTReceive::kTimeout ? 20 : 5000;
      EXPECT_EQ(p.server->PLTReceive(buf, sizeof buf, timeoutMs, got, code, wakes, drained),
                c.expected);
      EXPECT_EQ(std::string(buf, got), c.data ? "xyz" : "");
    }
  }
}

TEST(Socket, ListenAndAddressFailuresGiveTheirCodes) {
  int fd = 0;
  uint16_t unused = 0;
  EXPECT_EQ(PLTListen("127.0.0.1", 65536, fd, unused), 10022);
  EXPECT_EQ(PLTListen("no address", 0, fd, unused), 10049);
  in_addr a{};
  ASSERT_TRUE(PLTParseIPv4("127.1", a));  // the short forms of the classic parser
  EXPECT_EQ(ntohl(a.s_addr), 0x7F000001u);
  EXPECT_FALSE(PLTParseIPv4("1..2", a));
  EXPECT_FALSE(PLTParseIPv4("", a));
}

}  // namespace
}  // namespace kal
