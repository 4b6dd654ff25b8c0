// Round trip of a 4 KB frame over the test link on loopback: our client
// socket and client receive thread, a server connection thread, the mailbox
// hand-off to a responder thread and back ("link-roundtrip-4k/ours"),
// against the same loop built from plain blocking sockets with the thread
// hand-offs made with condition variables ("link-roundtrip-4k/ref"). Each
// prints its median round trip as an INFO line; the ratio compares the
// medians.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "comm/ClientSocketPPP.h"
#include "comm/ClientThread.h"
#include "comm/Frame.h"
#include "comm/MailBox.h"
#include "comm/ServerThread.h"
#include "comm/ThreadSynch.h"
#include "config/Config.h"
#include "platform/EventPoster.h"
#include "platform/TcpServer.h"

namespace {

using namespace kal;
using Clock = std::chrono::steady_clock;

constexpr size_t kBody = 4096;
constexpr int kRoundTrips = 3000;
constexpr int kWarmUp = 200;

std::string Body(char fill) {
  std::string b(kBody, fill);
  for (size_t i = 0; i < b.size(); i += 7) b[i] = static_cast<char>(i);
  return b;
}

void Fail(benchmark::State& state, const char* what) {
  state.SkipWithError(what);
  std::fprintf(stderr, "BenchLink: %s\n", what);
}

// Prints the median round trip and gives it as the rate (round trips per
// second at the median) that the RATIO line compares: on a shared machine a
// few trips slowed by other work would otherwise decide the ratio.
void Report(benchmark::State& state, const char* name, std::vector<double>& micros) {
  std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
  const double median = micros[micros.size() / 2];
  state.counters["items_per_second"] = benchmark::Counter(1e6 / median);
  std::printf("INFO %s median round trip %.1f us\n", name, median);
  std::fflush(stdout);
}

// ---- ours ----

// The client's GUI side: counts the frames shown.
struct ClientView final : ITHReceiveView {
  void THShowReceived(const std::string& frame) override {
    ++arrived;
    last = frame;
  }
  void THSetReceiveTime(const std::string&) override {}
  int arrived = 0;
  std::string last;
};

// The server's GUI side: answers every frame through the mailbox.
struct ResponderView final : ITHReceiveView {
  explicit ResponderView(TTHXMailBox& box) : mailBox(box) {}
  void THShowReceived(const std::string&) override {
    mailBox.THXSetSendstring(reply);
    mailBox.THXSetSendState(TTHXMailBox::THXcStateSendRequest);
  }
  void THSetReceiveTime(const std::string&) override {}
  TTHXMailBox& mailBox;
  std::string reply = THFMakeFrame(Body('r'));
};

class ServerHandler final : public IPLTConnectionHandler {
 public:
  template <typename... A>
  explicit ServerHandler(A&&... a) : thread_(std::forward<A>(a)...) {}
  int PLTOnExecute() override {
    std::string text;
    return thread_.THRClientExecute(text);
  }

 private:
  TTHRServerThread thread_;
};

void RoundTripOurs(benchmark::State& state) {
  TCFGConfig config("/nonexistent/", "config.ini", nullptr);
  config.CFGSetCloseOnResponse(0);
  TTERThreadSynch synch;
  TTHXMailBox mailBox;
  TPLTEventQueue gui, responderQueue;
  ClientView clientView;
  ResponderView responderView(mailBox);

  std::atomic<bool> stop{false};
  std::thread responder([&] {
    while (!stop.load())
      responderQueue.PLTPumpUntil([&] { return stop.load(); }, std::chrono::milliseconds(100));
  });
  std::optional<TPLTTcpServer> server(std::in_place);
  server->PLTSetBindAddress("127.0.0.1");
  server->PLTSetHandlerFactory([&](std::shared_ptr<TPLTStreamSocket> s) {
    return std::make_unique<ServerHandler>(std::move(s), responderQueue, responderView, config,
                                           synch, mailBox, &*server);
  });
  std::unique_ptr<TTHCClientThread> receiver;
  {
    TCTPClientSocketPPP client(gui);
    client.OnConnect = [&] {
      receiver = std::make_unique<TTHCClientThread>(false, client.CTPTakeConnection(), gui,
                                                    clientView, synch, config, mailBox, &client);
    };
    client.SetAddress("127.0.0.1");
    const std::string request = THFMakeFrame(Body('q'));
    std::vector<double> micros;
    micros.reserve(kRoundTrips);
    if (server->PLTActivate() != 0) {
      Fail(state, "no listener");
    } else {
      client.SetPort(server->PLTBoundPort());
      if (client.Open() != 0 ||
          !gui.PLTPumpUntil([&] { return receiver != nullptr; }, std::chrono::seconds(10))) {
        Fail(state, "no connection");
      } else {
        auto roundTrip = [&] {
          const int want = clientView.arrived + 1;
          if (client.CTPSendText(request) != 0) return false;
          return gui.PLTPumpUntil([&] { return clientView.arrived == want; },
                                  std::chrono::seconds(10));
        };
        bool ok = true;
        for (int i = 0; i < kWarmUp && ok; ++i) ok = roundTrip();
        for (auto _ : state) {
          const auto t0 = Clock::now();
          if (!ok || !(ok = roundTrip())) break;
          micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        if (!ok || clientView.last != responderView.reply)
          Fail(state, "round trip failed");
        else
          Report(state, "link-roundtrip-4k/ours", micros);
      }
    }
    receiver.reset();
    client.Close();
  }
  server.reset();
  stop.store(true);
  responderQueue.PLTPost([] {});
  responder.join();
}

// ---- reference ----

bool SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool RecvAll(int fd, char* out, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = ::recv(fd, out + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

// A frame read with blocking calls.
bool RecvFrame(int fd, std::string& frame) {
  char header[4];
  if (!RecvAll(fd, header, 4)) return false;
  const uint32_t length = THFLengthOf(std::string_view(header, 4));
  if (length > 10000000) return false;
  frame.assign(header, 4);
  frame.resize(4 + length);
  return RecvAll(fd, frame.data() + 4, length);
}

// One value handed from one thread to another.
struct HandOff {
  std::mutex mutex;
  std::condition_variable cv;
  std::optional<std::string> value;
  bool closed = false;
  void Put(std::string v) {
    {
      std::lock_guard lock(mutex);
      value = std::move(v);
    }
    cv.notify_one();
  }
  bool Take(std::string& v) {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return value.has_value() || closed; });
    if (!value) return false;
    v = std::move(*value);
    value.reset();
    return true;
  }
  void Close() {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    cv.notify_all();
  }
};

void RoundTripRef(benchmark::State& state) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    ::close(listener);
    return Fail(state, "no listener");
  }
  const int client = ::socket(AF_INET, SOCK_STREAM, 0);
  if (::connect(client, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(client);
    ::close(listener);
    return Fail(state, "no connection");
  }
  const int server = ::accept(listener, nullptr, nullptr);
  HandOff toResponder, toServer, toMain;
  const std::string reply = THFMakeFrame(Body('r'));

  std::thread serverThread([&] {
    std::string frame;
    while (RecvFrame(server, frame)) {
      toResponder.Put(std::move(frame));
      if (!toServer.Take(frame) || !SendAll(server, frame)) break;
    }
    toResponder.Close();
  });
  std::thread responder([&] {
    std::string frame;
    while (toResponder.Take(frame)) toServer.Put(reply);
    toServer.Close();
  });
  std::thread receiver([&] {
    std::string frame;
    while (RecvFrame(client, frame)) toMain.Put(std::move(frame));
    toMain.Close();
  });

  const std::string request = THFMakeFrame(Body('q'));
  std::vector<double> micros;
  micros.reserve(kRoundTrips);
  std::string got;
  auto roundTrip = [&] { return SendAll(client, request) && toMain.Take(got); };
  bool ok = true;
  for (int i = 0; i < kWarmUp && ok; ++i) ok = roundTrip();
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!ok || !(ok = roundTrip())) break;
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  ::shutdown(client, SHUT_RDWR);
  ::shutdown(server, SHUT_RDWR);
  serverThread.join();
  responder.join();
  receiver.join();
  ::close(client);
  ::close(server);
  ::close(listener);
  if (!ok || got != reply) return Fail(state, "round trip failed");
  Report(state, "link-roundtrip-4k/ref", micros);
}

BENCHMARK(RoundTripOurs)->Name("link-roundtrip-4k/ours")->Iterations(kRoundTrips)->UseRealTime();
BENCHMARK(RoundTripRef)->Name("link-roundtrip-4k/ref")->Iterations(kRoundTrips)->UseRealTime();

}  // namespace
