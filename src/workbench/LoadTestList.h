#pragma once

// The client threads of a load test and the GUI thread's side of a row:
// every thread's request is built on the main window's roads and handed to
// its thread, all threads are released in one pass, and once every thread
// has ended its exchange (a call posted to the GUI thread) or the row's
// deadline has passed, the responses are parsed, analysed and logged one
// thread at a time.
//
// Threads that failed are dropped from the list into a retired list, where
// they stay, stopped, until SCLEmptyList joins them: no thread object is
// freed while it runs. The list never touches the terminate signal; its
// threads count in it, so the program's shutdown waits for them, and the
// list's owner empties it before the shutdown does.
//
// Threads: the GUI thread, except the end-of-exchange report.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "workbench/LoadTestThread.h"
#include "workbench/RunStatistics.h"
#include "workbench/StreamRoad.h"

namespace kal {

class IPLTEventPoster;
class ISEQRunCore;
class TSQSRunStatus;
class TTERThreadSynch;
enum class TSEQAddMsgNum;

// What a load-test row needs of the main window's core beyond ISEQRunCore:
// the typed hand-offs of each thread's request and response, the identity
// and recording state of each thread's transaction, its log columns, and
// the settings of the threads.
class ISEQLoadCore {
 public:
  virtual ~ISEQLoadCore() = default;
  // "Create Data Stream" with the stream handed to `taker`; 0 or the code.
  virtual int SEQCreateDataStream(ICEXDataStreamTaker& taker) = 0;
  // A response arrived: the received panes are cleared and the frame
  // (length bytes and body) goes to the receive road.
  virtual void SEQReceiveFrame(std::string frame) = 0;
  // The sender id, public-key owner id and component secret of the build.
  virtual TSCTIdentity SEQGetIdentity() = 0;
  virtual void SEQSetIdentity(const TSCTIdentity& identity) = 0;
  // The XML texts of the built and of the parsed received message, and
  // whether the log entries carry them (the received one is written out
  // for its pane, otherwise only when it is shown).
  virtual std::string SEQBuiltXml() = 0;
  virtual std::string SEQReceivedXml() = 0;
  virtual bool SEQLogsXmlTexts() = 0;
  // The recording state of the transaction in work, copied out and put back.
  virtual TRFLRecordingState SEQCopyRecording() = 0;
  virtual void SEQPutRecording(const TRFLRecordingState& state) = 0;
  // A thread's own log columns (fresh from the column files), and the
  // columns the roads feed (null: none).
  virtual std::unique_ptr<TLUXLogItemsList> SEQNewThreadLog() = 0;
  virtual void SEQSetLogColumns(TLUXLogItemsList* columns) = 0;
  // A log entry of one thread's message, and the summary of the run.
  virtual void SEQWriteThreadLog(const TSCTSequenceClientThread& thread, int row,
                                 int errorCount) = 0;
  virtual void SEQLogSummary(const TSQSRunStatus& status) = 0;
  // While held, the panes hear of their texts once, at the release; while
  // paced (the whole run), at most a few times a second.
  virtual void SEQHoldPanes(bool hold) = 0;
  virtual void SEQPacePanes(bool paced) = 0;
  // "ThreadDelay", "ServerResponseTimeout" (ms) and the configured server.
  virtual int SEQThreadDelay() = 0;
  virtual int SEQResponseTimeout() = 0;
  virtual void SEQConfiguredAddressPort(std::string& host, int& port) = 0;
};

// A load-test row as the list builds and sends it.
struct TSCLSendRow {
  std::string file;           // the client message
  int row = 0;                // grid row
  bool wait = true;           // a response is expected
  bool disconnect = false;    // D
  bool transfer = false;      // T
  bool damageXml = false;     // S
  bool damageStream = false;  // R
  bool offline = false;       // F
  TSEQAddMsgNum addMsgNum{};
  bool macOnly = false;
};

// What the run does with each thread in a row.
struct TSCLRowEvents {
  std::function<bool()> stopped;
  // A thread failed: the run counts and logs its error.
  std::function<void(TSCTSequenceClientThread&)> failed;
  // A thread's response is about to be analysed / was analysed.
  std::function<void(TSCTSequenceClientThread&)> analysing;
  std::function<void(TSCTSequenceClientThread&)> analysed;
  // Random damage of a text (S and R).
  std::function<void(std::string&)> damage;
};

class TSCLClientThreadList final : public ICEXDataStreamTaker {
 public:
  struct TPorts {
    IPLTEventPoster& poster;
    TTERThreadSynch& synch;
    // Available physical memory in bytes (UMEGetMemoryAvailable).
    std::function<uint64_t()> memory;
    // The seed of the first thread's random source (the next get the
    // following numbers).
    uint64_t seed = 0;
  };

  explicit TSCLClientThreadList(TPorts ports);
  // Empties the list.
  ~TSCLClientThreadList() override;
  TSCLClientThreadList(const TSCLClientThreadList&) = delete;
  TSCLClientThreadList& operator=(const TSCLClientThreadList&) = delete;

  // A run begins: the list is emptied and the total reset.
  void SCLStart();
  // Stops every thread, retired ones included, joins and frees them.
  void SCLEmptyList();
  // A thread holds two descriptors (its socket and its wake event); the
  // rest of the program keeps a reserve (files, logs, the window system).
  static constexpr int SCLcDescriptorsPerThread = 2;
  static constexpr int SCLcDescriptorReserve = 64;
  // False when the process has fewer free descriptors than `count` threads
  // and the reserve need; `needed` and `available` say how many.
  static bool SCLDescriptorsSuffice(int count, int& needed, int& available);
  // Makes up to `count` threads while the available memory stays above a
  // third of what it was at the start; a thread that cannot be made counts
  // as low memory. Returns how many were made.
  int SCLGenerateThreads(ISEQLoadCore& load, int count, const std::string& host, int port,
                         int threadDelayMs, int responseTimeoutMs);
  int SCLGetEntriesCount() const { return int(threads_.size()); }
  TSCTSequenceClientThread& SCLThread(int i) { return *threads_[size_t(i)]; }
  int SCLRetiredCount() const { return int(retired_.size()); }

  // The thread being prepared takes the stream "Create Data Stream" made.
  void SCLSetSendDataStream(const std::string& stream) override;
  // The thread whose request is being built (null between builds): an
  // error reported meanwhile is that thread's.
  TSCTSequenceClientThread* SCLThreadInBuild() const { return current_; }

  // Builds every thread's request and releases them all; `onDone` runs on
  // the GUI thread once every thread has ended its exchange, or when
  // `deadline` has passed. An F row sends nothing and calls it at once.
  // False when the run stopped while building.
  bool SCLSendRow(const TSCLSendRow& row, ISEQRunCore& core, ISEQLoadCore& load,
                  TSQSRunStatus& status, const TSCLRowEvents& events,
                  std::chrono::milliseconds deadline, std::function<void()> onDone);
  // After the release: threads that failed, or had not ended (counted as
  // time-outs), are handed to `events.failed`, added to the total and
  // retired; then every thread's statistics go into the total.
  void SCLCollectRow(TSQSRunStatus& status, const TSCLRowEvents& events);
  // Parses, analyses and logs each thread's response against `file` (none
  // when blank); then the total. False when the run stopped.
  bool SCLReceiveRow(const std::string& file, ISEQRunCore& core, ISEQLoadCore& load,
                     TSQSRunStatus& status, const TSCLRowEvents& events);
  // Adds every thread's statistics to the total and shows it.
  void SCLAggregateStatistics(TSQSRunStatus& status);
  // A row that could not run counts as an error in the total.
  void SCLCountRowError(TSQSRunStatus& status);
  const TSSTStatistics& SCLStatistics() const { return SCLaSSTStatistics; }

  // The GUI thread's time in the phases of a row, summed (ms).
  struct TPhaseTimes {
    double build = 0, receive = 0, log = 0, waiting = 0;
    int64_t exchanges = 0;
  };
  const TPhaseTimes& SCLPhaseTimes() const { return phases_; }

 private:
  // On a worker: its exchange ended; the last one of the row posts Fire.
  void ThreadDone(uint64_t generation);
  // On the GUI thread: the row's threads are done, or its deadline passed.
  void Fire(uint64_t generation);
  // Posts the call that fires the row in flight once `deadline_` has passed.
  void WatchDeadline(std::chrono::milliseconds delay);
  void Retire(size_t index);
  // A thread's request could not be made: unless an error was reported
  // for it meanwhile, it gets one that says so.
  static void Failed(TSCTSequenceClientThread& t, const std::string& name);

  TPorts ports_;
  std::vector<std::unique_ptr<TSCTSequenceClientThread>> threads_;
  std::vector<std::unique_ptr<TSCTSequenceClientThread>> retired_;
  TSCTSequenceClientThread* current_ = nullptr;  // the thread being prepared
  TSSTStatistics SCLaSSTStatistics;
  uint64_t nextSeed_;
  int nextId_ = 0;
  // The row in flight: its generation and the threads still exchanging.
  std::mutex mutex_;
  uint64_t generation_ = 0;
  int outstanding_ = 0;
  std::function<void()> onDone_;
  std::chrono::steady_clock::time_point released_{};
  // The deadline of the row in flight, and whether a delayed call watches it.
  std::chrono::steady_clock::time_point deadline_{};
  bool deadlineWatched_ = false;
  TPhaseTimes phases_;
  // Posted calls run only while the list exists.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace kal
