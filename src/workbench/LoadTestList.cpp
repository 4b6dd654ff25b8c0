#include "workbench/LoadTestList.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/Descriptors.h"
#include "platform/EventPoster.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceRunner.h"

namespace kal {

namespace {

using namespace std::chrono;

double MsSince(steady_clock::time_point start) {
  return duration<double, std::milli>(steady_clock::now() - start).count();
}

// The panes show only the texts of the thread handled last, rendered once
// the hand-offs of a row are through.
class TPaneHold {
 public:
  explicit TPaneHold(ISEQLoadCore& load) : load_(load) { load_.SEQHoldPanes(true); }
  ~TPaneHold() { load_.SEQHoldPanes(false); }
  TPaneHold(const TPaneHold&) = delete;
  TPaneHold& operator=(const TPaneHold&) = delete;

 private:
  ISEQLoadCore& load_;
};

std::string WithoutDirectory(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

TSCLClientThreadList::TSCLClientThreadList(TPorts ports)
    : ports_(std::move(ports)), nextSeed_(ports_.seed) {}

TSCLClientThreadList::~TSCLClientThreadList() {
  SCLEmptyList();
}

void TSCLClientThreadList::SCLStart() {
  SCLEmptyList();
  SCLaSSTStatistics.SSTReset();
  phases_ = {};
}

void TSCLClientThreadList::SCLEmptyList() {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    outstanding_ = 0;
    onDone_ = nullptr;
  }
  // All are told first, so they end side by side.
  for (auto& t : threads_) t->SCTStop();
  for (auto& t : retired_) t->SCTStop();
  for (auto& t : threads_) t->SCTJoin();
  for (auto& t : retired_) t->SCTJoin();
  current_ = nullptr;
  threads_.clear();
  retired_.clear();
}

bool TSCLClientThreadList::SCLDescriptorsSuffice(int count, int& needed, int& available) {
  needed = static_cast<int>(
      std::min<int64_t>(int64_t{count} * SCLcDescriptorsPerThread + SCLcDescriptorReserve,
                        std::numeric_limits<int>::max()));
  available = PLTFreeDescriptors();
  return available >= needed;
}

int TSCLClientThreadList::SCLGenerateThreads(ISEQLoadCore& load, int count, const std::string& host,
                                             int port, int threadDelayMs, int responseTimeoutMs) {
  const uint64_t noted = ports_.memory ? ports_.memory() : 0;
  int made = 0;
  for (int i = 1; i <= count; ++i) {
    if (noted > 0 && ports_.memory() <= noted / 3) break;
    TSCTSettings settings{host, uint16_t(port >= 0 && port <= 65535 ? port : 0), threadDelayMs,
                          responseTimeoutMs, nextSeed_++};
    try {
      threads_.push_back(std::make_unique<TSCTSequenceClientThread>(
          i, std::move(settings), ports_.synch, load.SEQNewThreadLog(),
          [this](uint64_t generation) { ThreadDone(generation); }));
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
    made = i;
  }
  return made;
}

void TSCLClientThreadList::SCLSetSendDataStream(const std::string& stream) {
  if (current_ != nullptr) current_->SCTsSendDataStream = stream;
}

// ---- a row

bool TSCLClientThreadList::SCLSendRow(const TSCLSendRow& row, ISEQRunCore& core, ISEQLoadCore& load,
                                      TSQSRunStatus& status, const TSCLRowEvents& events,
                                      milliseconds deadline, std::function<void()> onDone) {
  const auto start = steady_clock::now();
  const std::string name = WithoutDirectory(row.file);
  TLSICounter counter = TLSICounter::Steady();
  const int64_t base = counter.now();
  std::optional<TPaneHold> hold(std::in_place, load);
  for (size_t i = 0; i < threads_.size(); ++i) {
    if (events.stopped && events.stopped()) {
      current_ = nullptr;
      load.SEQSetLogColumns(nullptr);
      return false;
    }
    TSCTSequenceClientThread& t = *threads_[i];
    current_ = &t;
    t.SCTResetStatistics();
    t.SCTLogItems().LUXReset();
    t.SCTLogStatistics().LSISetSendPerformanceBase(base);
    load.SEQSetLogColumns(&t.SCTLogItems());
    t.SCTsSendDataXMLDoc.clear();
    t.SCTsSendDataStream.clear();
    // A message file that cannot be read leaves the tree of the message
    // before: nothing is built from it. The failure, reported while this
    // thread is current, is the thread's error, and it sends nothing.
    if (!core.SEQLoadMessage(row.file)) {
      Failed(t, name);
      continue;
    }
    if (row.transfer) core.SEQTransferInputValues();
    status.SQSMessageSend("Thread " + std::to_string(i) + " " + name);
    core.SEQSetMessageVariant(row.addMsgNum, row.macOnly);
    const bool built = core.SEQCreateXmlDoc();
    // A thread keeps its identity from row to row.
    load.SEQSetIdentity(t.SCTaIdentity);
    t.SCTsSendDataXMLDoc = load.SEQBuiltXml();
    if (row.damageXml && events.damage) core.SEQDamageXmlText(events.damage);
    if (!built || load.SEQCreateDataStream(*this) != 0 || t.SCTsSendDataStream.empty()) {
      Failed(t, name);
      continue;
    }
    t.SCTaRecording = load.SEQCopyRecording();
    if (row.offline) {
      core.SEQRecordOffline();
    } else {
      if (row.damageStream && events.damage) events.damage(t.SCTsSendDataStream);
      t.SCTaIdentity = load.SEQGetIdentity();
    }
  }
  current_ = nullptr;
  load.SEQSetLogColumns(nullptr);
  hold.reset();
  phases_.build += MsSince(start);

  // All are released in one pass, so that they reach the server together.
  uint64_t generation = 0;
  {
    std::lock_guard lock(mutex_);
    generation = ++generation_;
    outstanding_ = int(threads_.size());
    onDone_ = std::move(onDone);
  }
  released_ = steady_clock::now();
  int skipped = 0;
  for (auto& t : threads_) {
    if (t->SCTGetThreadStatus() == SCTcError)
      ++skipped;  // its request could not be made
    else if (row.offline)
      t->SCTSetThreadStatus(SCTcResponseReceived);
    else if (!t->SCTSendStream(row.wait, row.disconnect, generation))
      ++skipped;  // its state says it failed; the collection takes it
  }
  bool now = row.offline || threads_.empty();
  if (!now && skipped > 0) {
    std::lock_guard lock(mutex_);
    outstanding_ -= skipped;
    now = outstanding_ <= 0;
  }
  if (now) {
    std::weak_ptr<int> alive = alive_;
    ports_.poster.PLTPost([this, alive, generation] {
      if (!alive.expired()) Fire(generation);
    });
    return true;
  }
  // One delayed call at a time watches the deadlines of all rows: rows
  // that end early would otherwise leave a pending timer each.
  deadline_ = steady_clock::now() + deadline;
  if (!deadlineWatched_) WatchDeadline(deadline);
  return true;
}

void TSCLClientThreadList::Failed(TSCTSequenceClientThread& t, const std::string& name) {
  if (t.SCTGetThreadStatus() != SCTcError)
    t.SCTSetError(
        0, "Thread: " + std::to_string(t.SCTThreadID()) + " " + name + ": no data stream to send");
}

void TSCLClientThreadList::WatchDeadline(milliseconds delay) {
  deadlineWatched_ = true;
  std::weak_ptr<int> alive = alive_;
  ports_.poster.PLTPostDelayed(delay, [this, alive] {
    if (alive.expired()) return;
    deadlineWatched_ = false;
    uint64_t generation = 0;
    {
      std::lock_guard lock(mutex_);
      if (!onDone_) return;  // no row waits
      generation = generation_;
    }
    const auto now = steady_clock::now();
    if (now >= deadline_)
      Fire(generation);
    else
      WatchDeadline(duration_cast<milliseconds>(deadline_ - now) + milliseconds(1));
  });
}

void TSCLClientThreadList::ThreadDone(uint64_t generation) {
  {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || --outstanding_ > 0) return;
  }
  std::weak_ptr<int> alive = alive_;
  ports_.poster.PLTPost([this, alive, generation] {
    if (!alive.expired()) Fire(generation);
  });
}

void TSCLClientThreadList::Fire(uint64_t generation) {
  std::function<void()> done;
  {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || !onDone_) return;
    done = std::move(onDone_);
    onDone_ = nullptr;
  }
  phases_.waiting += MsSince(released_);
  done();
}

void TSCLClientThreadList::SCLCollectRow(TSQSRunStatus& status, const TSCLRowEvents& events) {
  {
    // Reports of this row that come later are stale.
    std::lock_guard lock(mutex_);
    ++generation_;
    onDone_ = nullptr;
  }
  for (size_t i = 0; i < threads_.size();) {
    TSCTSequenceClientThread& t = *threads_[i];
    const TSCTState state = t.SCTGetThreadStatus();
    if (state == SCTcResponseReceived || state == SCTcExecuting) {
      ++i;
      continue;
    }
    if (state != SCTcError) {
      // Not done by the deadline: stopped, and counted as a time-out.
      t.SCTStop();
      t.SCTJoin();
      t.SCTSetError(TSCTSequenceClientThread::SCTcErrorTimeout,
                    "Thread: " + std::to_string(t.SCTThreadID()) +
                        " Timeout while waiting for server response");
    }
    if (events.failed) events.failed(t);
    SCLaSSTStatistics.SSTAddStatistics(t.SCTStatistics());
    Retire(i);
  }
  SCLAggregateStatistics(status);
}

bool TSCLClientThreadList::SCLReceiveRow(const std::string& file, ISEQRunCore& core,
                                         ISEQLoadCore& load, TSQSRunStatus& status,
                                         const TSCLRowEvents& events) {
  const auto start = steady_clock::now();
  double logged = 0;
  // The analysis clears the reference's links itself: one load serves the
  // row.
  if (!file.empty()) core.SEQLoadReference(file);
  bool completed = true;
  std::optional<TPaneHold> hold(std::in_place, load);
  for (auto& owned : threads_) {
    if (events.stopped && events.stopped()) {
      completed = false;
      break;
    }
    TSCTSequenceClientThread& t = *owned;
    t.SCTResetStatistics();
    load.SEQSetLogColumns(&t.SCTLogItems());
    if (events.analysing) events.analysing(t);
    std::string response = t.SCTGetResponseStream();
    if (!file.empty()) {
      load.SEQReceiveFrame(std::move(response));
      load.SEQPutRecording(t.SCTaRecording);
      core.SEQParseMessage();
      if (load.SEQLogsXmlTexts()) t.SCTsReceivedResponseXMLDoc = load.SEQReceivedXml();
      core.SEQAnalyseMessage();
      core.SEQDecryptSecurity();
    }
    const auto logStart = steady_clock::now();
    if (events.analysed) events.analysed(t);
    logged += MsSince(logStart);
    ++phases_.exchanges;
  }
  load.SEQSetLogColumns(nullptr);
  hold.reset();
  SCLAggregateStatistics(status);
  phases_.log += logged;
  phases_.receive += MsSince(start) - logged;
  return completed;
}

void TSCLClientThreadList::SCLAggregateStatistics(TSQSRunStatus& status) {
  for (auto& t : threads_) SCLaSSTStatistics.SSTAddStatistics(t->SCTStatistics());
  status.SQSAcceptStatistics(SCLaSSTStatistics);
}

void TSCLClientThreadList::SCLCountRowError(TSQSRunStatus& status) {
  SCLaSSTStatistics.SSTAcceptStatistics(false, false, 0, true);
  status.SQSAcceptStatistics(SCLaSSTStatistics);
}

void TSCLClientThreadList::Retire(size_t index) {
  threads_[index]->SCTStop();
  retired_.push_back(std::move(threads_[index]));
  threads_.erase(threads_.begin() + ptrdiff_t(index));
}

}  // namespace kal
