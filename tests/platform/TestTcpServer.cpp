#include "platform/TcpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SocketErrors.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

// Echoes what arrives (or fails every pass with `failWith`) and logs its
// events with the connection's id.
class EchoHandler final : public IPLTConnectionHandler {
 public:
  EchoHandler(std::shared_ptr<TPLTStreamSocket> s, std::function<void(std::string)> log, int fail)
      : socket_(std::move(s)), log_(std::move(log)), failWith_(fail) {}
  void PLTOnConnect() override { log_("connect " + Id()); }
  int PLTOnExecute() override {
    if (failWith_ != 0) return failWith_;
    char buf[4096];
    size_t got = 0;
    int code = 0;
    const TPLTReceive r = socket_->PLTReceive(buf, sizeof buf, 1000, got, code);
    if (r == TPLTReceive::kData) return socket_->PLTSend(std::string_view(buf, got));
    return r == TPLTReceive::kFailed ? code : 0;
  }
  void PLTOnDisconnect() override { log_("disconnect " + Id()); }
  void PLTOnException(int code, const std::string& text) override {
    log_("exception " + std::to_string(code) + " " + text);
  }

 private:
  std::string Id() const { return std::to_string(socket_->PLTId()); }
  std::shared_ptr<TPLTStreamSocket> socket_;
  std::function<void(std::string)> log_;
  int failWith_;
};

class TcpServerTest : public ::testing::Test {
 protected:
  void Start(int failWith = 0) {
    server_.PLTSetBindAddress("127.0.0.1");
    server_.PLTSetHandlerFactory([this, failWith](std::shared_ptr<TPLTStreamSocket> s) {
      return std::make_unique<EchoHandler>(
          std::move(s),
          [this](std::string line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
          },
          failWith);
    });
    ASSERT_EQ(server_.PLTActivate(), 0);
    ASSERT_NE(server_.PLTBoundPort(), 0);
  }
  std::unique_ptr<TPLTStreamSocket> Dial() {
    in_addr a{};
    a.s_addr = htonl(INADDR_LOOPBACK);
    TPLTWakeEvent cancel;
    int fd = -1;
    EXPECT_EQ(PLTConnect(a, server_.PLTBoundPort(), cancel, fd), 0);
    return std::make_unique<TPLTStreamSocket>(fd, 0);
  }
  static std::string Echo(TPLTStreamSocket& s, const std::string& text) {
    EXPECT_EQ(s.PLTSend(text), 0);
    std::string back(text.size(), '\0');
    size_t got = 0;
    int code = 0;
    if (s.PLTReceive(back.data(), back.size(), 5000, got, code) != TPLTReceive::kData) return "";
    return back.substr(0, got);
  }
  static bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 2500 && !done(); ++i) std::this_thread::sleep_for(2ms);
    return done();
  }
  uint64_t CurrentId() {
    auto c = server_.PLTCurrentConnection();
    return c ? c->PLTId() : 0;
  }
  bool Logged(const std::string& line) {
    std::lock_guard lock(mutex_);
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

  std::mutex mutex_;
  std::vector<std::string> log_;
  TPLTTcpServer server_;
};

TEST_F(TcpServerTest, TheNewestOfOverlappingConnectionsIsTheCurrentResponder) {
  Start();
  auto a = Dial();
  ASSERT_TRUE(WaitFor([&] { return CurrentId() != 0; }));
  const uint64_t idA = CurrentId();
  auto b = Dial();
  ASSERT_TRUE(WaitFor([&] { return CurrentId() != idA && CurrentId() != 0; }));
  const uint64_t idB = CurrentId();
  EXPECT_EQ(Echo(*b, "from b"), "from b");
  EXPECT_EQ(Echo(*a, "from a"), "from a");
  EXPECT_EQ(server_.PLTConnectionCount(), 2u);

  // The newest ends: no responder is left, the older connection still works.
  b->PLTShutdown();
  ASSERT_TRUE(WaitFor([&] { return Logged("disconnect " + std::to_string(idB)); }));
  EXPECT_EQ(CurrentId(), 0u);
  EXPECT_EQ(Echo(*a, "still"), "still");

  // A second listener on the port fails with a code.
  TPLTTcpServer second;
  second.PLTSetBindAddress("127.0.0.1");
  second.PLTSetDefaultPort(server_.PLTBoundPort());
  EXPECT_EQ(second.PLTActivate(), PLTcSocketAddressInUse);
  EXPECT_FALSE(second.PLTActive());

  // Deactivation ends the open connection and joins its thread; the port
  // can be listened on again at once.
  const uint16_t port = server_.PLTBoundPort();
  server_.PLTDeactivate();
  EXPECT_TRUE(Logged("disconnect " + std::to_string(idA)));
  EXPECT_EQ(server_.PLTConnectionCount(), 0u);
  EXPECT_EQ(Echo(*a, "gone"), "");
  server_.PLTSetDefaultPort(port);
  EXPECT_EQ(server_.PLTActivate(), 0);
}

TEST_F(TcpServerTest, AFailingPassReportsTheExceptionAndEndsTheConnection) {
  Start(PLTcSocketConnectionReset);
  auto a = Dial();
  char c;
  size_t got = 0;
  int code = 0;
  EXPECT_EQ(a->PLTReceive(&c, 1, 5000, got, code), TPLTReceive::kClosed);
  ASSERT_TRUE(WaitFor([&] { return server_.PLTConnectionCount() == 0; }));
  std::lock_guard lock(mutex_);
  ASSERT_EQ(log_.size(), 3u);
  EXPECT_EQ(log_[1], "exception 10054 " + PLTSocketErrorText(10054));
  EXPECT_EQ(log_[2].rfind("disconnect ", 0), 0u);
}

size_t OpenDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Waits for `done` up to a bound meant only for a hang.
bool WaitLong(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  return done();
}

// The socket of a connection is released when the connection ends, not when
// the next one arrives.
TEST_F(TcpServerTest, FinishedConnectionsReleaseTheirDescriptorsAtOnce) {
  Start();
  const size_t before = OpenDescriptors();
  std::vector<std::unique_ptr<TPLTStreamSocket>> peers;
  for (int i = 0; i < 20; ++i) peers.push_back(Dial());
  for (auto& p : peers) EXPECT_EQ(Echo(*p, "x"), "x");
  EXPECT_EQ(server_.PLTConnectionCount(), 20u);
  peers.clear();
  EXPECT_TRUE(WaitLong([&] { return OpenDescriptors() <= before; }))
      << OpenDescriptors() << " descriptors open, " << before << " before";
}

// Connections beyond the limit are closed at once and reported; once one
// ends, a new connection is served again.
TEST_F(TcpServerTest, AtMostTheLimitOfConnectionsIsServed) {
  std::atomic<size_t> refused{0};
  server_.PLTSetRefusedHandler([&](size_t served) {
    EXPECT_EQ(served, TPLTTcpServer::PLTcMaxConnections);
    ++refused;
  });
  Start();
  std::vector<std::unique_ptr<TPLTStreamSocket>> peers;
  for (size_t i = 0; i < TPLTTcpServer::PLTcMaxConnections; ++i) peers.push_back(Dial());
  ASSERT_TRUE(
      WaitLong([&] { return server_.PLTConnectionCount() == TPLTTcpServer::PLTcMaxConnections; }));
  auto extra = Dial();
  char c;
  size_t got = 0;
  int code = 0;
  EXPECT_EQ(extra->PLTReceive(&c, 1, 60000, got, code), TPLTReceive::kClosed);
  EXPECT_EQ(refused.load(), 1u);
  EXPECT_EQ(server_.PLTConnectionCount(), TPLTTcpServer::PLTcMaxConnections);

  peers.pop_back();
  ASSERT_TRUE(
      WaitLong([&] { return server_.PLTConnectionCount() < TPLTTcpServer::PLTcMaxConnections; }));
  auto next = Dial();
  EXPECT_EQ(Echo(*next, "served"), "served");
  EXPECT_EQ(refused.load(), 1u);
}

}  // namespace
}  // namespace kal
