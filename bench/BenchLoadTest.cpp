// The load test as a user runs it. RATIO loadtest-8x4k: Kalmore's main
// window (TForm1, offscreen) with its sequence window runs a table of rows
// with "M" (the MAC only, security mode 1), 8 client threads kept from row
// to row, the 4 KB message of the build-road benchmark with its transaction
// counter, a delimited log line per message, recording off; the reference is
// a plain client of 8 threads, each with one blocking connection, sending the
// same frames and reading each framed answer. Both talk to the same echo
// server in this process (a thread per connection, answering at once), each
// for kExchanges exchanges. RATIO loadtest-8x4k-core: the same run on the
// main window's core without the window. INFO lines: the rates, the GUI
// thread's CPU time per exchange and its time by phase, the rate of rows
// without "M" (security mode 2, one RSA private step per answer), and the
// time the core takes to build the messages of one row of 1,000 threads.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchMessage.h"
#include "RatioMain.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "platform/AtomicFile.h"
#include "platform/Descriptors.h"
#include "platform/EventPoster.h"
#include "support/StringGrid.h"
#include "ui/LoadTestWindow.h"
#include "workbench/CounterLists.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageFiles.h"
#include "workbench/NoTimers.h"
#include "workbench/SequenceEditor.h"
#include "workbench/SequenceFile.h"
#include "workbench/SequenceRun.h"
#include "workbench/SequenceRunHost.h"

namespace {

using namespace kal;
using namespace kal::bench;

constexpr int kThreads = 8;
constexpr int kExchanges = 24000;      // of each side
constexpr int kMode2Exchanges = 1600;  // of the mode-2 figure
constexpr int kWideRow = 1000;         // threads of the widest row

[[noreturn]] void Fail(const std::string& text) {
  LoadTestFail(text);
}

// An echo server on 127.0.0.1: one thread per connection sends back what it
// reads, at once.
class EchoServer {
 public:
  EchoServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_, 1024) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      Fail("echo server");
    port = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~EchoServer() {
    ::shutdown(listen_, SHUT_RDWR);
    acceptor_.join();
    std::lock_guard lock(mutex_);
    for (auto& c : connections_) ::shutdown(c->fd, SHUT_RDWR);
    for (auto& c : connections_) Close(*c);
    ::close(listen_);
  }
  int port = 0;

 private:
  struct Connection {
    int fd = -1;
    std::atomic<bool> ended{false};
    std::thread thread;
  };
  static void Close(Connection& c) {
    c.thread.join();
    ::close(c.fd);
  }
  void Accept() {
    for (;;) {
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      std::lock_guard lock(mutex_);
      // Connections that have ended are joined and closed here.
      for (size_t i = 0; i < connections_.size();) {
        if (connections_[i]->ended) {
          Close(*connections_[i]);
          connections_.erase(connections_.begin() + ptrdiff_t(i));
        } else {
          ++i;
        }
      }
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      Connection* raw = c.get();
      c->thread = std::thread([raw] { Echo(*raw); });
      connections_.push_back(std::move(c));
    }
  }
  static void Echo(Connection& c) {
    std::vector<char> buf(65536);
    for (;;) {
      const ssize_t n = ::recv(c.fd, buf.data(), buf.size(), 0);
      if (n <= 0) break;
      for (ssize_t sent = 0; sent < n;) {
        const ssize_t m = ::send(c.fd, buf.data() + sent, size_t(n - sent), MSG_NOSIGNAL);
        if (m <= 0) {
          c.ended = true;
          return;
        }
        sent += m;
      }
    }
    c.ended = true;
  }

  int listen_ = -1;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> connections_;
};

EchoServer& Server() {
  static EchoServer server;
  return server;
}

// A program folder: the configuration (a client, a delimited log of every
// message), the message, its reference and the log columns.
struct ProgramFolder {
  ProgramFolder() {
    TXMLMessageTree tree;
    AddBenchMessage(tree);
    std::string text, error;
    if (CEXMessageText(tree, nullptr, text, error) != 0) Fail(error);
    Write("bench.epm", text);
    Write("reference.epm", text);
    Write("delimlogfile.ini",
          "Time;$TIME;8\r\nExec;$EXECTIME;8\r\nError;$ERROR;40\r\nTerminal;ep2:TrmID;10\r\n");
    Write("config.ini",
          "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\n"
          "EthernetIPAddr=127.0.0.1\r\nEthernetIPPortNr=" +
              std::to_string(Server().port) +
              "\r\n[Sequence]\r\nSequenceLogErrors=2\r\nSequenceLogType=2\r\n"
              "SequenceLogDelimitor=3\r\nSequenceLogFileName=log.csv\r\nThreadDelay=0\r\n");
  }
  void Write(const std::string& name, const std::string& text) const {
    if (!PLTWriteFileAtomically(folder.path + name, text)) Fail(name);
  }
  Folder folder;
};

// What the configuration file leaves out: the keys and identities.
void Configure(TCEXMainWindow& core) {
  TCFGConfig& config = core.CEXConfiguration();
  config.CFGSetSessionKey("0123456789ABCDEFFEDCBA98765432100011223344556677");
  config.CFGSetSessionKeyFromInMessage(0);
  config.CFGSetEncodingInformation(1);
  config.CFGSetComponentID("12345678901");
  config.CFGSetPublicKeyOwnerID("OWNER000001");
  config.CFGSetServerResponseTimeout(20000);
  config.CFGSetThreadDelay(0);
}

// The table: `exchanges / threads` rows of the message, the first with the
// thread count.
std::function<void(IStringGrid&)> Table(const ProgramFolder& program, int exchanges,
                                        const std::string& attrib, int threads = kThreads) {
  return [&program, exchanges, attrib, threads](IStringGrid& grid) {
    const int rows = exchanges / threads;
    grid.SetRowCount(rows + 2);
    for (int r = 1; r <= rows; ++r) {
      grid.SetCell(SEQcColClient, r, program.folder.path + "bench.epm");
      grid.SetCell(SEQcColServer, r, program.folder.path + "reference.epm");
      grid.SetCell(SEQcColThreads, r, r == 1 ? std::to_string(threads) : "");
      grid.SetCell(SEQcColAddress, r, "127.0.0.1");
      grid.SetCell(SEQcColPort, r, std::to_string(Server().port));
      grid.SetCell(SEQcColAttrib, r, attrib);
    }
  };
}

// ---- the core without the window

// The host of a core without its window: nothing is drawn, any box or error
// ends the benchmark, and it is a visible sequence window that hands the
// core's calls to its run.
class HostPorts : public TFailingDialogs, public ICEXView, public ICEXSequenceWindow {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {}; }
  void CEXCloseMainWindow() override {}
  void SEQLoadSequenceFile(const std::string&) override {}
};
using Host = kal::test::SequenceRunHost<HostPorts>;

// The main window's core on a program folder, configured, on a pumped queue.
struct Core {
  explicit Core(const std::string& programDir)
      : counters(programDir, host),
        files(host),
        core(programDir, TCEXMainWindow::TPorts{.view = host,
                                                .dialogs = host,
                                                .errorWindow = host,
                                                .timers = timers,
                                                .clock = clock,
                                                .poster = queue,
                                                .messageFiles = files,
                                                .counters = counters,
                                                .login = login,
                                                .sequenceWindow = &host}) {
    files.CEXAttach(core);
    core.FormCreate();
    Configure(core);
  }
  ~Core() {
    host.run = nullptr;
    core.FormDestroy();
  }
  Host host;
  kal::test::NoTimers timers;
  TCEXSystemClock clock;
  TPLTEventQueue queue;
  TCEXNoLogin login;
  TCEXCounterLists counters;
  TCEXMessageFiles files;
  TCEXMainWindow core;
};

TLoadRunFigures RunLoadTestOnCore(const std::string& programDir,
                                  const std::function<void(IStringGrid&)>& fill) {
  Core c(programDir);
  TCEXNoRecordingList recording;
  TStringGrid grid(SEQcColCount, SEQcMinRows, 1, 1);
  kal::test::NoChecks checks;
  TSEQSequenceEditor editor(c.core, c.host, grid, checks);
  TSEQSequenceRun run({c.core, c.files, recording, editor, c.clock, c.timers});
  c.host.run = &run;
  fill(grid);

  TLoadRunFigures figures;
  const auto start = std::chrono::steady_clock::now();
  const double cpu = ThreadCpuMs();
  if (!run.SEQRunButton()) Fail("the run did not start");
  if (!c.queue.PLTPumpUntil([&] { return !run.SEQRunner().SEQRunning(); },
                            std::chrono::minutes(10)))
    Fail("the run hangs");
  figures.guiCpuMs = ThreadCpuMs() - cpu;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.exchanges = std::stoll(run.SEQStatus().SQSMessagesReceived());
  figures.errors = run.SEQStatus().SQSErrorsFound();
  figures.completion = run.SEQStatus().SQSCurrentAction();
  figures.phases = run.SEQThreadList().SCLPhaseTimes();
  return figures;
}

// ---- the figures

void Report(benchmark::State& state, const std::string& prefix, const TLoadRunFigures& f,
            int expected) {
  if (f.errors != "0" || f.exchanges != expected)
    Fail(prefix + ": " + std::to_string(f.exchanges) + " exchanges, errors " + f.errors + ", " +
         f.completion);
  const double n = double(f.exchanges);
  Info(state, prefix + "-rate", n / f.seconds, "exchanges/s");
  Info(state, prefix + "-gui-cpu", f.guiCpuMs / n, "ms/exchange");
  Info(state, prefix + "-gui-build", f.phases.build / n, "ms/exchange");
  Info(state, prefix + "-gui-receive", f.phases.receive / n, "ms/exchange");
  Info(state, prefix + "-gui-log", f.phases.log / n, "ms/exchange");
  Info(state, prefix + "-gui-waiting", f.phases.waiting / n, "ms/exchange");
}

void LoadTestWindow(benchmark::State& state) {
  for (auto _ : state) {
    ProgramFolder program;
    const TLoadRunFigures f =
        RunLoadTestOnMainWindow(program.folder.path, Configure, Table(program, kExchanges, "M"));
    state.SetIterationTime(f.seconds);
    Report(state, "loadtest-window", f, kExchanges);
  }
  state.SetItemsProcessed(state.iterations() * kExchanges);
  // Rows without "M": the complete security header, whose session-key
  // cryptogram each answer opens with the private key.
  ProgramFolder program;
  const TLoadRunFigures f =
      RunLoadTestOnMainWindow(program.folder.path, Configure, Table(program, kMode2Exchanges, ""));
  if (f.errors != "0" || f.exchanges != kMode2Exchanges) Fail("mode 2: errors " + f.errors);
  Info(state, "loadtest-window-mode2-rate", double(f.exchanges) / f.seconds, "exchanges/s");
}

void LoadTestCore(benchmark::State& state) {
  for (auto _ : state) {
    ProgramFolder program;
    const TLoadRunFigures f =
        RunLoadTestOnCore(program.folder.path, Table(program, kExchanges, "M"));
    state.SetIterationTime(f.seconds);
    Report(state, "loadtest-core", f, kExchanges);
  }
  state.SetItemsProcessed(state.iterations() * kExchanges);
  // One row of 1,000 threads, as the program runs it with its descriptor
  // limit raised.
  PLTRaiseDescriptorLimit();
  ProgramFolder program;
  const TLoadRunFigures f =
      RunLoadTestOnCore(program.folder.path, Table(program, kWideRow, "M", kWideRow));
  if (f.errors != "0" || f.exchanges != kWideRow) Fail("wide row: errors " + f.errors);
  Info(state, "loadtest-core-1000-row-build", f.phases.build / 1000, "s");
}

// ---- the plain client

// The frames of the threads' first row, made on a core as the run makes
// them (each thread's own transaction counter value).
const std::vector<std::string>& Frames() {
  static const std::vector<std::string> frames = [] {
    ProgramFolder program;
    Core c(program.folder.path);
    TCEXMainWindow& core = c.core;
    core.RadioGroup1Click(0);  // MAC only
    core.CEXSetAddMsgNum(2);   // no message number
    std::vector<std::string> out;
    for (int i = 0; i < kThreads; ++i) {
      if (!c.files.CEXReadMessageFile(program.folder.path + "bench.epm")) Fail("message file");
      core.CEXBuildRoad().Action_CreateXMLDocExecute();
      core.Action_CreateDataStreamExecute();
      out.push_back(core.CEXDataStreamBytes());
    }
    return out;
  }();
  return frames;
}

bool ReadAll(int fd, char* p, size_t n) {
  while (n > 0) {
    const ssize_t got = ::recv(fd, p, n, 0);
    if (got <= 0) return false;
    p += got;
    n -= size_t(got);
  }
  return true;
}

void PlainClient(benchmark::State& state) {
  const std::vector<std::string>& frames = Frames();
  constexpr int perThread = kExchanges / kThreads;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&frame = frames[size_t(t)]] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(Server().port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Fail("connect");
        std::string answer;
        for (int i = 0; i < perThread; ++i) {
          if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != ssize_t(frame.size()))
            Fail("send");
          char head[4];
          if (!ReadAll(fd, head, 4)) Fail("read");
          const size_t n = size_t(uint8_t(head[0])) << 24 | size_t(uint8_t(head[1])) << 16 |
                           size_t(uint8_t(head[2])) << 8 | size_t(uint8_t(head[3]));
          answer.resize(n);
          if (!ReadAll(fd, answer.data(), n)) Fail("read");
        }
        ::close(fd);
      });
    }
    for (auto& t : threads) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Info(state, "loadtest-plain-rate", kExchanges / seconds, "exchanges/s");
  }
  state.SetItemsProcessed(state.iterations() * kExchanges);
}

BENCHMARK(LoadTestWindow)->Name("loadtest-8x4k/ours")->UseManualTime()->Iterations(1);
BENCHMARK(PlainClient)->Name("loadtest-8x4k/ref")->UseManualTime()->Iterations(3);
BENCHMARK(LoadTestCore)->Name("loadtest-8x4k-core/ours")->UseManualTime()->Iterations(1);
BENCHMARK(PlainClient)->Name("loadtest-8x4k-core/ref")->UseManualTime()->Iterations(3);

}  // namespace
