// The load test without widgets. RATIO loadtest-8x4k: a sequence of rows of
// 8 client threads without D (each thread keeps its connection), the 4 KB
// message of the build-road benchmark with the MAC only, a delimited log of
// every message, recording off, against a forking socat echo; against a
// plain client of 8 threads, each with one blocking connection to the same
// socat, sending the same frames (made on our road) and reading each framed
// answer, as many exchanges. INFO lines: both rates and the GUI thread's
// time per exchange by phase.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "BenchMessage.h"
#include "RatioMain.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "support/ErrorWindow.h"
#include "support/MemoryUtilities.h"
#include "support/StringGrid.h"
#include "workbench/CoreRunSteps.h"
#include "workbench/CounterLists.h"
#include "workbench/LoadTestCore.h"
#include "workbench/LoadTestList.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageFiles.h"
#include "workbench/NoTimers.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceFile.h"
#include "workbench/SequenceLog.h"
#include "workbench/SequenceRunner.h"

extern char** environ;

namespace {

using namespace kal;
using namespace kal::bench;

constexpr int kThreads = 8;
constexpr int kRows = 40;         // rows of one run
int64_t exchangesPerRun = 0;      // what the plain client makes too
std::vector<std::string> frames;  // captured from our road

[[noreturn]] void Fail(const std::string& text) {
  std::fprintf(stderr, "load test failed: %s\n", text.c_str());
  std::abort();
}

// socat echoing every connection in a process of its own.
class Socat {
 public:
  Socat() {
    char name[] = "/tmp/kal-bench-socat-XXXXXX";
    fd_ = ::mkstemp(name);
    if (fd_ < 0) Fail("socat log");
    ::unlink(name);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fd_, 2);
    const char* argv[] = {"socat",    "-d",
                          "-d",       "TCP4-LISTEN:0,bind=127.0.0.1,fork,reuseaddr,backlog=128",
                          "EXEC:cat", nullptr};
    if (::posix_spawnp(&pid_, "socat", &fa, nullptr, const_cast<char**>(argv), environ) != 0)
      Fail("socat");
    posix_spawn_file_actions_destroy(&fa);
    const std::string marker = "listening on AF=2 127.0.0.1:";
    for (int i = 0; i < 500 && port == 0; ++i) {
      char buf[4096];
      const ssize_t n = ::pread(fd_, buf, sizeof buf, 0);
      const std::string diag(buf, n > 0 ? size_t(n) : 0);
      const size_t at = diag.find(marker);
      if (at != std::string::npos && diag.find('\n', at) != std::string::npos)
        port = std::stoi(diag.substr(at + marker.size()));
      else
        ::poll(nullptr, 0, 20);
    }
    if (port == 0) Fail("no socat port");
  }
  ~Socat() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    ::close(fd_);
  }
  int port = 0;

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

Socat& Server() {
  static Socat socat;
  return socat;
}

class Host final : public ICEXView, public ICEXDialogs, public IERRErrorWindow {
 public:
  void CEXChanged(uint32_t) override {}
  bool CEXStatusTextFits(int, const std::string&) override { return true; }
  TCEXGeometry CEXGetGeometry() override { return {}; }
  void CEXCloseMainWindow() override {}
  void CEXShowMessage(const std::string& text) override { Fail(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  void ERRSetError(int code, const std::string& detail) override {
    Fail(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
};

void LoadTestOurs(benchmark::State& state) {
  Folder folder;
  Host host;
  kal::test::NoTimers timers;
  TCEXSystemClock clock;
  TPLTEventQueue queue;
  TSECSystemRandom random;
  TCEXNoLogin login;
  TCEXCounterLists counters(folder.path, host);
  TCEXMessageFiles files(host);
  TCEXMainWindow core(folder.path, TCEXMainWindow::TPorts{.view = host,
                                                          .dialogs = host,
                                                          .errorWindow = host,
                                                          .timers = timers,
                                                          .clock = clock,
                                                          .poster = queue,
                                                          .random = &random,
                                                          .messageFiles = files,
                                                          .counters = counters,
                                                          .login = login});
  files.CEXAttach(core);
  core.FormCreate();
  TCFGConfig& config = core.CEXConfiguration();
  config.CFGSetSessionKey("0123456789ABCDEFFEDCBA98765432100011223344556677");
  config.CFGSetSessionKeyFromInMessage(0);
  config.CFGSetEncodingInformation(1);
  config.CFGSetComponentID("12345678901");
  config.CFGSetPublicKeyOwnerID("OWNER000001");
  config.CFGSetServerResponseTimeout(20000);
  config.CFGSetThreadDelay(0);
  core.RadioGroup1Click(0);  // MAC only
  core.CEXSetAddMsgNum(2);

  AddBenchMessage(core.CEXSourceTree());
  const std::string message = folder.path + "bench.epm";
  core.CEXSetMessageFileName(message);
  if (!files.CEXSaveMessageSilently()) Fail("message file");
  std::filesystem::copy_file(message, folder.path + "reference.epm");
  std::FILE* columns = std::fopen((folder.path + "delimlogfile.ini").c_str(), "wb");
  std::fputs("Time;$TIME;8\r\nExec;$EXECTIME;8\r\nError;$ERROR;40\r\nTerminal;ep2:TrmID;10\r\n",
             columns);
  std::fclose(columns);

  TSCLClientThreadList list(
      {queue, core.CEXThreadSynch(), [] { return UMEGetMemoryAvailable(); }, 1});
  TSEQLogWriter log(folder.path, {}, [](const std::string& text) { Fail(text); });
  const TSEQLogSettings logSettings{TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeDelimited,
                                    ";", "log.csv"};
  TCEXNoRecordingList recording;
  TSEQLoadCore load({core, core.CEXBuildRoad(), core.CEXStreamRoad(), core.CEXReceiveRoad(),
                     recording, log, [&] { return logSettings; }});
  kal::test::CoreRunSteps steps(core, files);
  TStringGrid grid(SEQcColCount, kRows + 2, 1, 1);
  for (int r = 1; r <= kRows; ++r) {
    grid.SetCell(SEQcColClient, r, message);
    grid.SetCell(SEQcColServer, r, folder.path + "reference.epm");
    grid.SetCell(SEQcColThreads, r, r == 1 ? std::to_string(kThreads) : "");
    grid.SetCell(SEQcColAddress, r, "127.0.0.1");
    grid.SetCell(SEQcColPort, r, std::to_string(Server().port));
  }
  TSEQRunSettings settings;
  TSQSRunStatus status;
  TSEQRunner runner(
      {steps, grid, settings, status, core.CEXRunNotice(), clock, random, timers, &list, &load});

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    runner.SEQRunSequence(1, true);
    if (!queue.PLTPumpUntil([&] { return !runner.SEQRunning(); }, std::chrono::minutes(5)))
      Fail("the run hangs");
    if (status.SQSErrorsFound() != "0") Fail("errors: " + status.SQSErrorsFound());
  }
  exchangesPerRun = int64_t(kThreads) * kRows;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kal::bench::Info(state, "loadtest-ours-rate",
                   double(state.iterations() * exchangesPerRun) / seconds, "exchanges/s");
  const auto& phases = list.SCLPhaseTimes();
  const double n = double(phases.exchanges > 0 ? phases.exchanges : 1);
  kal::bench::Info(state, "loadtest-gui-build", phases.build / n, "ms/exchange");
  kal::bench::Info(state, "loadtest-gui-receive", phases.receive / n, "ms/exchange");
  kal::bench::Info(state, "loadtest-gui-log", phases.log / n, "ms/exchange");
  kal::bench::Info(state, "loadtest-gui-waiting", phases.waiting / n, "ms/exchange");
  state.SetItemsProcessed(state.iterations() * exchangesPerRun);

  // The plain client sends the frames our road makes.
  frames.clear();
  for (int i = 0; i < kThreads; ++i) {
    steps.SEQLoadMessage(message);
    core.CEXBuildRoad().Action_CreateXMLDocExecute();
    core.Action_CreateDataStreamExecute();
    frames.push_back(core.CEXDataStreamBytes());
  }
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
  if (frames.empty()) Fail("no frames");
  const int64_t perThread = exchangesPerRun / kThreads;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t, perThread] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(Server().port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Fail("connect");
        const std::string& frame = frames[size_t(t)];
        std::string answer(frame.size(), '\0');
        for (int64_t i = 0; i < perThread; ++i) {
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
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kal::bench::Info(state, "loadtest-plain-rate",
                   double(state.iterations() * exchangesPerRun) / seconds, "exchanges/s");
  state.SetItemsProcessed(state.iterations() * exchangesPerRun);
}

BENCHMARK(LoadTestOurs)->Name("loadtest-8x4k/ours")->UseRealTime()->Iterations(3);
BENCHMARK(PlainClient)->Name("loadtest-8x4k/ref")->UseRealTime()->Iterations(3);

}  // namespace
