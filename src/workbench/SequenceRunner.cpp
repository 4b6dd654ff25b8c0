#include "workbench/SequenceRunner.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "config/AlarmList.h"
#include "ep2/AttributeLetters.h"
#include "ep2/RandomSource.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "support/TraceLogger.h"
#include "workbench/LoadTestList.h"
#include "workbench/RunNotice.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceFile.h"

namespace kal {

namespace {

using namespace std::chrono;

// A number from 0 to n - 1 (n > 0).
uint32_t Random(ISECRandomSource& random, uint32_t n) {
  uint8_t b[4];
  random.SECFillRandom(b, sizeof b);
  const uint32_t v =
      uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return v % n;
}

// "hh:mm" or "hh:mm:ss" as seconds of the day.
std::optional<int64_t> TimeOfDay(const std::string& text) {
  int parts[3] = {0, 0, 0};
  int n = 0, digits = 0;
  for (char c : text) {
    if (c == ':') {
      if (digits == 0 || ++n > 2) return std::nullopt;
      digits = 0;
    } else if (c >= '0' && c <= '9' && digits < 2) {
      parts[n] = parts[n] * 10 + (c - '0');
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (n == 0 || digits == 0 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return int64_t(parts[0]) * 3600 + parts[1] * 60 + parts[2];
}

}  // namespace

TSEQRunner::TSEQRunner(TPorts ports)
    : core_(ports.core),
      grid_(ports.grid),
      settings_(ports.settings),
      status_(ports.status),
      notice_(ports.notice),
      clock_(ports.clock),
      random_(ports.random),
      threads_(ports.threads),
      load_(ports.load),
      trace_(ports.trace) {
  tick_ = ports.timers.CEXCreateTimer(true, [this] {
    ++busy_;
    Tick();
    --busy_;
    Drain();
  });
  pause_ = ports.timers.CEXCreateTimer(false, [this] {
    ++busy_;
    AfterPause();
    --busy_;
    Drain();
  });
}

TSEQRunner::~TSEQRunner() {
  if (SEQbRunning) notice_.CEXStopNotice();
  if (threads_ != nullptr) threads_->SCLEmptyList();
}

void TSEQRunner::SEQGenerateRandomErrors(std::string& text, ISECRandomSource& random) {
  if (text.size() <= 5) return;
  const uint32_t changes = Random(random, 10);
  for (uint32_t i = 0; i < changes; ++i) {
    const size_t p = Random(random, uint32_t(text.size() - 5)) + 5;  // 1-based
    const auto v = char(Random(random, 255));
    if (p >= 5 && p <= text.size()) text[p - 1] = v;
  }
}

// ---- the table

std::string TSEQRunner::Cell(int col, int row) const {
  return STRTrim(grid_.Cell(col, row));
}

bool TSEQRunner::Attrib(int row, char letter) const {
  return UCBAttributeIsSet(letter, grid_.Cell(SEQcColAttrib, row));
}

char TSEQRunner::GroupLetter(int row) const {
  if (Attrib(row, '1')) return '1';
  if (Attrib(row, '2')) return '2';
  return 0;
}

bool TSEQRunner::RowEmpty(int row) const {
  return SEQRowIsEmpty(grid_, row);
}

int TSEQRunner::LastRow() const {
  int last = grid_.RowCount() - 1;
  while (last >= 1 && RowEmpty(last)) --last;
  return last;
}

void TSEQRunner::SetRow(int row) {
  row_ = row;
  if (OnCurrentRow) OnCurrentRow(row);
}

bool TSEQRunner::SEQGroupEnd(int row) const {
  if (row < 0) row = row_;
  const char letter = GroupLetter(row);
  if (letter == 0 || row >= grid_.RowCount() - 1 || RowEmpty(row + 1)) return true;
  return GroupLetter(row + 1) != letter;
}

int TSEQRunner::SEQGroupSize() const {
  if (GroupLetter(row_) == 0) return 0;
  int first = row_;
  while (first > 1 && !SEQGroupEnd(first - 1) && GroupLetter(first - 1) == GroupLetter(row_))
    --first;
  int last = first;
  while (!SEQGroupEnd(last)) ++last;
  return last - first + 1;
}

void TSEQRunner::SEQRunNextGroupRow() {
  if (!SEQbRunning || SEQGroupEnd(row_)) return;
  SetRow(row_ + 1);
  if (const auto ref = Cell(SEQcColClient, row_); !ref.empty())
    static_cast<void>(core_.SEQLoadReference(SEQFilePath(ref)));
  if (const auto send = Cell(SEQcColServer, row_); !send.empty())
    static_cast<void>(core_.SEQLoadMessage(SEQFilePath(send)));
}

void TSEQRunner::SEQLoadNextServerReference() {
  if (!SEQbRunning || SEQGroupEnd(row_)) return;
  SetRow(row_ + 1);
  if (const auto ref = Cell(SEQcColServer, row_); !ref.empty())
    static_cast<void>(core_.SEQLoadReference(SEQFilePath(ref)));
}

// ---- waits

int64_t TSEQRunner::WaitBefore(int row) {
  const std::string cell = Cell(SEQcColDelay, row);
  int32_t n = 0;
  if (cell.empty() || (STRWholeNumber(cell, n) && n != 0)) return 0;
  const auto t = TimeOfDay(cell);
  if (!t) return 0;
  const auto now = clock_.CEXLocalNow();
  const auto sinceMidnight = duration_cast<milliseconds>(now - floor<days>(now)).count();
  const int64_t ms = *t * 1000 - sinceMidnight;
  return ms > 0 ? ms / 1000 : 0;
}

int TSEQRunner::DelayAfter(int row) const {
  int32_t n = 0;
  return STRWholeNumber(Cell(SEQcColDelay, row), n) && n > 0 ? n : 0;
}

void TSEQRunner::Wait(int64_t seconds, std::function<void()> then) {
  state_ = TState::Waiting;
  remaining_ = seconds;
  then_ = std::move(then);
  status_.SQSWaitingDelay(int(seconds));
  tick_->CEXStart(1000ms);
}

void TSEQRunner::Tick() {
  if (SEQbStopPressed || state_ != TState::Waiting) {
    tick_->CEXStop();
    return;
  }
  if (--remaining_ > 0) {
    status_.SQSWaitingDelay(int(remaining_));
    return;
  }
  tick_->CEXStop();
  state_ = TState::Handling;
  auto then = std::move(then_);
  then_ = nullptr;
  then();
}

// ---- events

void TSEQRunner::Post(TEvent event) {
  if (busy_ > 0) {
    pending_.push_back(event);
    return;
  }
  ++busy_;
  Dispatch(event);
  --busy_;
  Drain();
}

void TSEQRunner::Drain() {
  while (busy_ == 0 && !pending_.empty()) {
    const TEvent event = pending_.front();
    pending_.pop_front();
    ++busy_;
    Dispatch(event);
    --busy_;
  }
}

void TSEQRunner::Dispatch(TEvent event) {
  if (SEQbStopPressed) return;
  if (event == TEvent::Timeout) {
    // A time-out whose answer came already is stale.
    if (state_ != TState::Awaiting) return;
    NextRow(int(duration_cast<milliseconds>(clock_.CEXNow() - sendTime_).count()));
    return;
  }
  if (state_ == TState::Awaiting)
    HandleArrival();
  else if (!core_.SEQClientRole())
    ++heldArrivals_;  // a request that comes during a wait is answered after it
}

void TSEQRunner::SEQMessageAvailable() {
  Post(TEvent::Arrival);
}

void TSEQRunner::SEQRunNextRow() {
  Post(TEvent::Timeout);
}

void TSEQRunner::SEQStopPressed() {
  if (!SEQbRunning) return;
  Complete(TSQSRunStatus::SQScStoppedByUser);
}

TSEQErrorTaken TSEQRunner::SEQError(const std::string& errorText, bool groupFlag) {
  if (!SEQbRunning) return TSEQErrorTaken::NotRunning;
  if (groupFlag && !SEQGroupEnd(row_)) {
    SEQbGroupSelection = true;
    return TSEQErrorTaken::Held;
  }
  if (row_ == SEQiErrorLine) return TSEQErrorTaken::Taken;
  SEQiErrorLine = row_;
  if (multi_ && thread_ != nullptr) {
    // An error of a load-test thread's analysis is that thread's.
    thread_->SCTLogStatistics().LSISetErrorText(errorText);
    thread_->SCTStatistics().SSTAcceptStatistics(false, false, 0, true);
  }
  status_.SQSErrorFound();
  core_.SEQErrorAlarms().ALEAcceptError(errorText);
  ProcessAlarms();
  int32_t limit = 0;
  if (SEQbRunning && !settings_.permanentRun && STRWholeNumber(settings_.errorCount, limit) &&
      limit <= status_.SQSErrorCount()) {
    if (holdErrorStop_)
      errorStopDue_ = true;
    else
      Complete(SEQcErrorCount);
  }
  return TSEQErrorTaken::Taken;
}

// ---- the start

void TSEQRunner::SEQRunSequence(int startRow, bool resetCounters) {
  if (SEQbRunning) return;
  ++busy_;
  // Idle load-test threads listen to their list, not to the terminate
  // signal: they end before the main window's threads are waited for.
  if (threads_ != nullptr) threads_->SCLEmptyList();
  SEQRemoveEmptyLines(grid_);
  core_.SEQTerminateThreads();
  core_.SEQNewLogItems();
  SEQbStopPressed = false;
  SEQbRunning = true;
  SEQbGroupSelection = false;
  SEQiErrorLine = -1;
  pending_.clear();
  heldArrivals_ = 0;
  holdErrorStop_ = errorStopDue_ = false;
  if (resetCounters) {
    SEQiRuns = 0;
    status_.SQSReset();
  }
  notice_.CEXStartNotice([this](const std::string& text) { status_.SQSSetNote(text); });
  row_ = startRow < 1 ? 1 : startRow;
  multi_ = SEQIsMultiThread();
  if (multi_)
    SEQRunMultiThreadSequence();
  else
    StartLoop();
  --busy_;
  Drain();
}

void TSEQRunner::StartLoop() {
  for (;; ++row_) {
    if (SEQbStopPressed) return;
    if (row_ > LastRow()) {
      Complete(SEQcEmpty);
      return;
    }
    if (RowEmpty(row_)) continue;
    SetRow(row_);
    if (const int64_t wait = WaitBefore(row_); wait > 0) {
      Wait(wait, [this] {
        if (StartRow()) {
          ++row_;
          StartLoop();
        }
      });
      return;
    }
    if (!StartRow()) return;
  }
}

bool TSEQRunner::StartRow() {
  if (SEQbStopPressed) return false;
  const bool client = core_.SEQClientRole();
  const bool conf = Attrib(row_, 'C');
  bool started = false;
  referenceLoaded_ = false;
  const auto ref = Cell(client ? SEQcColServer : SEQcColClient, row_);
  if (ref.empty()) {
    if (Attrib(row_, 'D')) core_.SEQHangUp();
  } else if (conf) {
    core_.SEQLoadConfiguration(SEQFilePath(ref));
  } else if (core_.SEQLoadReference(SEQFilePath(ref))) {
    referenceLoaded_ = started = true;
  } else if (client) {
    return RowFailed();
  } else {
    // No request is awaited against a file that could not be read; the
    // next row's errors are its own.
    core_.SEQResetLogValues();
    return true;
  }
  const auto send = Cell(client ? SEQcColClient : SEQcColServer, row_);
  if (send.empty()) {
    started = true;
  } else if (conf) {
    core_.SEQLoadConfiguration(SEQFilePath(send));
  } else if (client && Attrib(row_, 'O')) {
    if (!RepeatSend()) return RowFailed();
    Await();
    return false;
  } else if (!core_.SEQLoadMessage(SEQFilePath(send))) {
    if (client) return RowFailed();
    core_.SEQResetLogValues();
    return true;
  } else {
    if (client) {
      SendRow(send);
      return false;
    }
    started = referenceLoaded_;
  }
  if (started) Await();
  return !started;
}

// ---- sending

void TSEQRunner::SendRow(const std::string& cell) {
  status_.SQSMessageSend(SEQFilePath(cell));
  sendTime_ = clock_.CEXNow();
  switch (GenerateAndSend()) {
    case TSent::Sent:
      Await();
      break;
    case TSent::Offline:
      NextRow(status_.SQSGetExecutionTime());
      break;
    case TSent::Failed:
      status_.SQSMessageNotSent();
      static_cast<void>(RowFailed());
      break;
  }
}

bool TSEQRunner::RowFailed() {
  passes_ = 0;
  NextRow(0);
  return false;
}

void TSEQRunner::Trace(const char* text) {
  if (trace_ != nullptr) trace_->TDBSimpleAddString(text);
}

TSEQRunner::TSent TSEQRunner::GenerateAndSend() {
  Trace("============   SEQGenerateAndSend");
  const bool g = Attrib(row_, 'G');
  core_.SEQSetMessageVariant(
      g ? (Attrib(row_, 'A') ? TSEQAddMsgNum::FromInput : TSEQAddMsgNum::New) : TSEQAddMsgNum::None,
      Attrib(row_, 'M'));
  int32_t port = 0;
  const auto portCell = Cell(SEQcColPort, row_);
  core_.SEQSetAddressAndPort(Cell(SEQcColAddress, row_),
                             STRWholeNumber(portCell, port) ? portCell : std::string());
  const TSEQDamage damage = [this](std::string& text) { SEQGenerateRandomErrors(text, random_); };
  // A failed build leaves nothing to send: no earlier stream goes out in
  // this message's place.
  if (!core_.SEQCreateXmlDoc()) return TSent::Failed;
  if (Attrib(row_, 'S')) core_.SEQDamageXmlText(damage);
  if (!core_.SEQCreateDataStream()) return TSent::Failed;
  if (Attrib(row_, 'R')) core_.SEQDamageStream(damage);
  core_.SEQSetCloseOnResponse(Attrib(row_, 'D'));
  if (Attrib(row_, 'F')) {
    core_.SEQRecordOffline();
    return TSent::Offline;
  }
  return core_.SEQSendDataStream() ? TSent::Sent : TSent::Failed;
}

bool TSEQRunner::RepeatSend() {
  status_.SQSMessageSend(SEQcRepeat);
  sendTime_ = clock_.CEXNow();
  if (core_.SEQSendDataStream()) return true;
  status_.SQSMessageNotSent();
  return false;
}

void TSEQRunner::Await() {
  if (SEQbStopPressed) return;
  state_ = TState::Awaiting;
  if (heldArrivals_ > 0) {
    --heldArrivals_;
    pending_.push_back(TEvent::Arrival);
  }
}

// ---- arrival and the next row

void TSEQRunner::HandleArrival() {
  state_ = TState::Handling;
  Trace("SEQMessageAvailable");
  status_.SQSMessageReceived(SEQsReceivedFileName);
  const int executionTime = status_.SQSGetExecutionTime();
  const bool client = core_.SEQClientRole();
  SEQbGroupSelection = false;
  core_.SEQParseMessage();
  core_.SEQAnalyseMessage();
  while (SEQbGroupSelection && !SEQGroupEnd(row_) && !SEQbStopPressed) {
    SEQbGroupSelection = false;
    if (client)
      SEQLoadNextServerReference();
    else
      SEQRunNextGroupRow();
    core_.SEQAnalyseMessage();
  }
  if (SEQbStopPressed) return;
  core_.SEQDecryptSecurity();
  SEQbGroupSelection = false;
  if (!core_.SEQLogHasError()) {
    core_.SEQWriteLog(executionTime);
    ProcessAlarms();
  }
  NextRow(executionTime);
}

void TSEQRunner::NextRow(int executionTimeMs) {
  if (SEQbStopPressed) return;
  executionTimeMs_ = executionTimeMs;
  if (const int delay = DelayAfter(row_); delay > 0)
    Wait(delay, [this] { AfterDelay(); });
  else
    AfterDelay();
}

void TSEQRunner::AfterDelay() {
  if (SEQbStopPressed) return;
  state_ = TState::Pausing;
  pause_->CEXStart(20ms);
}

void TSEQRunner::AfterPause() {
  if (SEQbStopPressed || state_ != TState::Pausing) return;
  state_ = TState::Handling;
  core_.SEQTimeAlarms().ALTAcceptExecutionTime(executionTimeMs_);
  ProcessAlarms();
  if (SEQbStopPressed) return;
  core_.SEQResetLogValues();
  passes_ = 0;
  if (core_.SEQClientRole())
    ClientStep();
  else
    ServerStep();
}

bool TSEQRunner::EndOfTable() {
  int32_t restarts = 0;
  if (!STRWholeNumber(settings_.restarts, restarts)) restarts = 0;
  const auto stopMoment = local_days(settings_.endDate) + settings_.endTime;
  // A whole pass that sent and awaited nothing would repeat for ever.
  if (++passes_ > 1) {
    Complete(SEQcEmpty);
    return false;
  }
  if ((restarts > SEQiRuns && stopMoment > clock_.CEXLocalNow()) || settings_.permanentRun) {
    row_ = 0;  // the first data row is next
    SEQiErrorLine = -1;
    ++SEQiRuns;
    status_.SQSAcceptRuncount(SEQiRuns + 1);
    return true;
  }
  Complete(restarts > SEQiRuns ? SEQcStopTime : SEQcRestarts);
  return false;
}

void TSEQRunner::ClientStep() {
  while (!SEQGroupEnd(row_)) ++row_;
  ClientNext();
}

void TSEQRunner::ClientNext() {
  for (;;) {
    if (SEQbStopPressed) return;
    if (row_ + 1 > LastRow() && !EndOfTable()) return;
    ++row_;
    if (RowEmpty(row_)) continue;
    SetRow(row_);
    if (const int64_t wait = WaitBefore(row_); wait > 0) {
      Wait(wait, [this] {
        if (ClientRow()) ClientNext();
      });
      return;
    }
    if (!ClientRow()) return;
  }
}

bool TSEQRunner::ClientRow() {
  if (SEQbStopPressed) return false;
  const bool conf = Attrib(row_, 'C');
  bool awaited = false;
  const auto expected = Cell(SEQcColServer, row_);
  if (conf) {
    if (!expected.empty()) core_.SEQLoadConfiguration(SEQFilePath(expected));
  } else if (!expected.empty()) {
    if (!core_.SEQLoadReference(SEQFilePath(expected))) return RowFailed();
    awaited = true;
  }
  const auto send = Cell(SEQcColClient, row_);
  if (send.empty() || conf) {
    if (conf && !send.empty()) core_.SEQLoadConfiguration(SEQFilePath(send));
    if (!awaited) return true;
    passes_ = 0;
    Await();
    return false;
  }
  passes_ = 0;
  if (Attrib(row_, 'O')) {
    if (!RepeatSend()) return RowFailed();
    Await();
    return false;
  }
  if (!core_.SEQLoadMessage(SEQFilePath(send))) return RowFailed();
  if (Attrib(row_, 'T')) core_.SEQTransferInputValues();
  SendRow(send);
  return false;
}

void TSEQRunner::ServerStep() {
  if (Attrib(row_, 'O')) {
    // The row stays current: every further request gets the same answer.
    static_cast<void>(RepeatSend());
    Await();
    return;
  }
  if (const auto send = Cell(SEQcColServer, row_); !send.empty()) {
    bool answered = false;
    if (core_.SEQLoadMessage(SEQFilePath(send))) {
      if (Attrib(row_, 'T')) core_.SEQTransferInputValues();
      status_.SQSMessageSend(SEQFilePath(send));
      sendTime_ = clock_.CEXNow();
      answered = GenerateAndSend() != TSent::Failed;
      if (!answered) status_.SQSMessageNotSent();
    }
    // The failure was the answer's error; the next request's are its own.
    if (!answered) core_.SEQResetLogValues();
  }
  while (!SEQGroupEnd(row_)) ++row_;
  ServerNext();
}

void TSEQRunner::ServerNext() {
  for (;;) {
    if (SEQbStopPressed) return;
    if (row_ + 1 > LastRow() && !EndOfTable()) return;
    ++row_;
    if (RowEmpty(row_)) continue;
    SetRow(row_);
    if (Attrib(row_, 'C')) {
      for (int col : {SEQcColClient, SEQcColServer})
        if (const auto cell = Cell(col, row_); !cell.empty())
          core_.SEQLoadConfiguration(SEQFilePath(cell));
      continue;
    }
    if (const auto ref = Cell(SEQcColClient, row_); !ref.empty()) {
      if (!core_.SEQLoadReference(SEQFilePath(ref))) {
        // No request is awaited against a file that could not be read.
        core_.SEQResetLogValues();
        continue;
      }
      passes_ = 0;
      Await();
      return;
    }
  }
}

// ---- alarms and the end

void TSEQRunner::ProcessAlarms() {
  for (TALMAlarmList* list : {static_cast<TALMAlarmList*>(&core_.SEQTimeAlarms()),
                              static_cast<TALMAlarmList*>(&core_.SEQErrorAlarms())}) {
    while (!SEQbStopPressed) {
      TALMAlarmItem* rule = list->ALMGetAlarm();
      if (rule == nullptr) break;
      if (core_.SEQWriteAlarm(*rule) != 0) {
        Complete(SEQcAlarmLog);
        return;
      }
      rule->ALMEmptyAlarmEventsList();
    }
  }
}

void TSEQRunner::Complete(const std::string& text) {
  SEQbStopPressed = true;
  SEQbRunning = false;
  tick_->CEXStop();
  pause_->CEXStop();
  state_ = TState::Idle;
  pending_.clear();
  heldArrivals_ = 0;
  holdErrorStop_ = errorStopDue_ = false;
  then_ = nullptr;
  status_.SQSCompleted(text);
  notice_.CEXStopNotice();
  if (multi_) {
    SEQLogSummary();
    load_->SEQPacePanes(false);
    multi_ = false;
    thread_ = nullptr;
    // Stopped threads are joined here; inside a list call, once it returns.
    if (listBusy_ > 0)
      emptyPending_ = true;
    else
      threads_->SCLEmptyList();
  }
  SetRow(1);
}

// ---- the load test

bool TSEQRunner::SEQIsMultiThread() const {
  if (threads_ == nullptr || load_ == nullptr || !core_.SEQClientRole()) return false;
  const int last = LastRow();
  for (int row = 1; row <= last; ++row)
    if (SEQThreadsInRow(row, false) > 0) return true;
  return false;
}

int TSEQRunner::SEQThreadsInRow(int row, bool atLeastOne) const {
  int32_t n = 0;
  if (!STRWholeNumber(Cell(SEQcColThreads, row), n) || n < 0) n = 0;
  return n == 0 && atLeastOne ? 1 : n;
}

void TSEQRunner::SEQGetIPAddressPort(int row, std::string& host, int& port) const {
  std::string configuredHost;
  int configuredPort = 0;
  load_->SEQConfiguredAddressPort(configuredHost, configuredPort);
  host.clear();
  for (int r = row; r >= 1 && host.empty(); --r) host = Cell(SEQcColAddress, r);
  if (host.empty()) host = configuredHost;
  const std::string cell = Cell(SEQcColPort, row);
  int32_t p = 0;
  port = cell.empty() ? configuredPort : (STRWholeNumber(cell, p) ? p : 0);
}

void TSEQRunner::SEQLogSummary() {
  if (load_ != nullptr) load_->SEQLogSummary(status_);
}

TSCTSequenceClientThread* TSEQRunner::SEQThreadInBuild() const {
  return SEQMultiThreadRunning() && threads_ != nullptr ? threads_->SCLThreadInBuild() : nullptr;
}

void TSEQRunner::SEQRunMultiThreadSequence() {
  load_->SEQPacePanes(true);
  threads_->SCLStart();
  MultiLoop();
}

void TSEQRunner::MultiLoop() {
  for (;; ++row_) {
    if (SEQbStopPressed) return;
    if (row_ > LastRow()) {
      if (!EndOfTable()) return;
      continue;  // from the first data row
    }
    if (RowEmpty(row_)) continue;
    SetRow(row_);
    if (Attrib(row_, 'C')) {
      if (const auto file = Cell(SEQcColClient, row_); !file.empty())
        core_.SEQLoadConfiguration(SEQFilePath(file));
      continue;
    }
    const int asked = SEQThreadsInRow(row_, false);
    if (asked > 0 || threads_->SCLGetEntriesCount() == 0) {
      threads_->SCLEmptyList();
      core_.SEQTerminateThreads();
      const int n = asked > 0 ? asked : 1;
      int needed = 0, available = 0;
      if (!TSCLClientThreadList::SCLDescriptorsSuffice(n, needed, available)) {
        // Running out of descriptors would take the program down: the row
        // does not run and counts as an error.
        const std::string text = SEQcDescriptorsShort + std::to_string(n) +
                                 " client threads: " + std::to_string(needed) + " needed, " +
                                 std::to_string(available) + " available";
        static_cast<void>(notice_.CEXNotice(text));
        static_cast<void>(SEQError(text, false));
        // The total the run shows keeps it.
        threads_->SCLCountRowError(status_);
        continue;
      }
      std::string host;
      int port = 0;
      SEQGetIPAddressPort(row_, host, port);
      const int made = threads_->SCLGenerateThreads(*load_, n, host, port, load_->SEQThreadDelay(),
                                                    load_->SEQResponseTimeout());
      if (made < n)
        status_.SQSSetNote("Thread count set to " + std::to_string(made) +
                           " due to low memory status");
    }
    if (Attrib(row_, 'O')) {
      static_cast<void>(notice_.CEXNotice(SEQcNoRepeat));
      continue;
    }
    if (MultiSendRow()) return;
  }
}

bool TSEQRunner::MultiSendRow() {
  const auto send = Cell(SEQcColClient, row_);
  if (send.empty() || threads_->SCLGetEntriesCount() == 0) return false;
  passes_ = 0;
  TSCLSendRow row;
  row.file = SEQFilePath(send);
  row.row = row_;
  row.wait = !Cell(SEQcColServer, row_).empty();
  row.disconnect = Attrib(row_, 'D');
  row.transfer = Attrib(row_, 'T');
  row.damageXml = Attrib(row_, 'S');
  row.damageStream = Attrib(row_, 'R');
  row.offline = Attrib(row_, 'F');
  row.addMsgNum = Attrib(row_, 'G')
                      ? (Attrib(row_, 'A') ? TSEQAddMsgNum::FromInput : TSEQAddMsgNum::New)
                      : TSEQAddMsgNum::None;
  row.macOnly = Attrib(row_, 'M');
  // Past this the threads that have not ended count as timed out: the
  // response time-out, the start delay and the connect attempts.
  const int64_t timeout = std::max(load_->SEQResponseTimeout(), 0);
  const int64_t attempt = std::min<int64_t>(std::max<int64_t>(timeout, 1),
                                            TSCTSequenceClientThread::SCTcConnectLimit.count());
  const int64_t connect = attempt * TSCTSequenceClientThread::SCTcConnectAttempts +
                          (TSCTSequenceClientThread::SCTcConnectAttempts - 1) *
                              TSCTSequenceClientThread::SCTcConnectPause.count();
  const milliseconds deadline(timeout + std::max(load_->SEQThreadDelay(), 0) + connect);
  state_ = TState::Threads;
  ++listBusy_;
  threads_->SCLSendRow(row, core_, *load_, status_, MultiEvents(), deadline, [this] {
    ++busy_;
    MultiRowDone();
    --busy_;
    Drain();
  });
  --listBusy_;
  AfterList();
  return true;
}

void TSEQRunner::MultiRowDone() {
  if (SEQbStopPressed || state_ != TState::Threads) return;
  state_ = TState::Handling;
  const TSCLRowEvents events = MultiEvents();
  ++listBusy_;
  // Threads that fail together all count and are all logged before "Stop
  // on error count" ends the run.
  holdErrorStop_ = true;
  threads_->SCLCollectRow(status_, events);
  if (!SEQbStopPressed) {
    // An F row was recorded without sending: there is no answer to analyse.
    const auto expected = Attrib(row_, 'F') ? std::string() : Cell(SEQcColServer, row_);
    threads_->SCLReceiveRow(expected.empty() ? std::string() : SEQFilePath(expected), core_, *load_,
                            status_, events);
  }
  holdErrorStop_ = false;
  --listBusy_;
  thread_ = nullptr;
  if (errorStopDue_ && !SEQbStopPressed) Complete(SEQcErrorCount);
  if (AfterList() || SEQbStopPressed) return;
  const auto next = [this] {
    state_ = TState::Handling;
    ++row_;
    MultiLoop();
  };
  if (const int delay = DelayAfter(row_); delay > 0)
    Wait(delay, next);
  else
    next();
}

TSCLRowEvents TSEQRunner::MultiEvents() {
  TSCLRowEvents events;
  events.stopped = [this] { return SEQbStopPressed; };
  events.failed = [this](TSCTSequenceClientThread& t) {
    thread_ = nullptr;  // counted by the thread itself
    static_cast<void>(SEQError(t.SCTErrorText(), false));
    load_->SEQWriteThreadLog(t, row_, status_.SQSErrorCount());
    SEQiErrorLine = 0;  // the next thread's error counts again
  };
  events.analysing = [this](TSCTSequenceClientThread& t) {
    SEQiErrorLine = 0;
    thread_ = &t;
  };
  events.analysed = [this](TSCTSequenceClientThread& t) {
    thread_ = nullptr;
    load_->SEQWriteThreadLog(t, row_, status_.SQSErrorCount());
    core_.SEQTimeAlarms().ALTAcceptExecutionTime(t.SCTLogStatistics().LSIGetExecutionTime());
    ProcessAlarms();
  };
  events.damage = [this](std::string& text) { SEQGenerateRandomErrors(text, random_); };
  return events;
}

bool TSEQRunner::AfterList() {
  if (!emptyPending_) return false;
  emptyPending_ = false;
  threads_->SCLEmptyList();
  return true;
}

}  // namespace kal
