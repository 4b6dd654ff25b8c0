// Resident memory of the server side while 50 connections each send an
// unfinished body of 4.9 MB, and after they close: the body buffers hold the
// bytes that arrived, and their memory goes back to the system when the
// connections end. Prints INFO lines in MB (before, during, after); no
// ratio, as there is no reference to compare with.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "RatioMain.h"
#include "comm/Frame.h"
#include "platform/MemoryStatus.h"
#include "platform/TcpServer.h"

namespace {

using namespace kal;
using namespace std::chrono_literals;

constexpr int kConnections = 50;
constexpr uint32_t kAnnounced = 4'900'000;
constexpr size_t kSent = kAnnounced - 1000;  // the body never completes
constexpr uint32_t kServerLimit = 5'000'000;

// Reads frames as a server connection does and counts the body bytes.
class BodyReader final : public IPLTConnectionHandler {
 public:
  BodyReader(std::shared_ptr<TPLTStreamSocket> socket, std::atomic<size_t>& bytes)
      : reader_(std::move(socket), kServerLimit), bytes_(bytes) {}
  int PLTOnExecute() override {
    const size_t before = reader_.THFFrame().THFBodyBytes();
    int code = 0;
    const TPLTReceive r = reader_.THFRead(100, std::span<const TPLTWakeEvent* const>(), code);
    if (r == TPLTReceive::kClosed || r == TPLTReceive::kFailed) return code != 0 ? code : 10054;
    bytes_ += reader_.THFFrame().THFBodyBytes() - before;
    return 0;
  }

 private:
  TTHFrameReader reader_;
  std::atomic<size_t>& bytes_;
};

int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

double MB(uint64_t bytes) {
  return static_cast<double>(bytes) / 1e6;
}

template <class Done>
bool WaitFor(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

void ServerMemory(benchmark::State& state) {
  PLTReturnLargeBlocksToSystem();
  for (auto _ : state) {
    std::atomic<size_t> bytes{0};
    TPLTTcpServer server;
    server.PLTSetBindAddress("127.0.0.1");
    server.PLTSetHandlerFactory([&bytes](std::shared_ptr<TPLTStreamSocket> socket) {
      return std::make_unique<BodyReader>(std::move(socket), bytes);
    });
    if (server.PLTActivate() != 0) {
      state.SkipWithError("server did not start");
      return;
    }
    const uint64_t before = PLTResidentBytes();
    const std::string frame = THFLengthBytes(kAnnounced) + std::string(kSent, 'b');
    std::vector<int> peers;
    for (int i = 0; i < kConnections; ++i) {
      const int fd = Connect(server.PLTBoundPort());
      if (fd < 0 || !SendAll(fd, frame)) {
        state.SkipWithError("a connection failed");
        return;
      }
      peers.push_back(fd);
    }
    if (!WaitFor([&] { return bytes.load() == kSent * kConnections; })) {
      state.SkipWithError("the bodies did not arrive");
      return;
    }
    const uint64_t during = PLTResidentBytes();
    for (const int fd : peers) close(fd);
    if (!WaitFor([&] { return server.PLTConnectionCount() == 0; })) {
      state.SkipWithError("the connections did not end");
      return;
    }
    std::this_thread::sleep_for(200ms);  // the accept thread reaps them
    const uint64_t after = PLTResidentBytes();
    server.PLTDeactivate();
    bench::Info(state, "server-memory/resident-1-before", MB(before), "MB");
    bench::Info(state, "server-memory/resident-2-with-50-unfinished-bodies", MB(during), "MB");
    bench::Info(state, "server-memory/resident-3-after-close", MB(after), "MB");
  }
}
BENCHMARK(ServerMemory)->Iterations(1)->UseRealTime();

}  // namespace
