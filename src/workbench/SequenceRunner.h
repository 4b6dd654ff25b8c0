#pragma once

// The single-thread sequence run: plays the sequence table row by row on
// the GUI thread by driving the main window's core through ISEQRunCore. It
// is an event-driven state machine: waits are 1-second timer ticks, the
// pause before the next row a one-shot timer; arrivals, time-outs and
// "Stop" are events handled one at a time (an event that comes while a
// step runs is queued and handled after it). Nothing sleeps and no event
// loop is nested.
//
// Threads: the GUI thread only.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "workbench/MainWindowPorts.h"
#include "workbench/SequenceEditor.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class IStringGrid;
class ISECRandomSource;
class ISEQLoadCore;
class TSCLClientThreadList;
class TSCTSequenceClientThread;
struct TSCLRowEvents;
class TALEAlarmErrorList;
class TALMAlarmItem;
class TALTAlarmExecutionTimeList;
class TCEXRunNotice;
class TSQSRunStatus;
class TTDBDebug;

// "Add msgnum" of the message variant.
enum class TSEQAddMsgNum { None, New, FromInput };

// A change of a text at random (the S and R damage).
using TSEQDamage = std::function<void(std::string&)>;

// What the run needs of the main window's core, and nothing more.
class ISEQRunCore {
 public:
  virtual ~ISEQRunCore() = default;
  // The role of the communication settings.
  virtual bool SEQClientRole() const = 0;
  // Stops the main window's worker threads before a run.
  virtual void SEQTerminateThreads() = 0;
  // The file as the message to send (file name and caption follow), as the
  // reference (the next received message is compared with it), as the
  // current configuration. A message file that cannot be read gives false;
  // its text went to the run as the message's error, no box is shown.
  virtual bool SEQLoadMessage(const std::string& path) = 0;
  virtual bool SEQLoadReference(const std::string& path) = 0;
  virtual void SEQLoadConfiguration(const std::string& path) = 0;
  // "Hang Up".
  virtual void SEQHangUp() = 0;
  // The message variant; the form shows it.
  virtual void SEQSetMessageVariant(TSEQAddMsgNum addMsgNum, bool macOnly) = 0;
  // The row's address and port (either empty when the row names none); a
  // change closes the client socket.
  virtual void SEQSetAddressAndPort(const std::string& address, const std::string& port) = 0;
  // "Create XML Doc", "Create Data Stream", "Send Data Stream",
  // "Transfer Input Values", "Parse Message", "Analyse Message",
  // "Decrypt Security". The first three give false when they failed (the
  // failure went to the run): nothing was built, made or sent.
  virtual bool SEQCreateXmlDoc() = 0;
  // Changes the built XML text before the stream is made of it.
  virtual void SEQDamageXmlText(const TSEQDamage& damage) = 0;
  virtual bool SEQCreateDataStream() = 0;
  // Changes the frame bytes of the stream to send.
  virtual void SEQDamageStream(const TSEQDamage& damage) = 0;
  virtual bool SEQSendDataStream() = 0;
  virtual void SEQTransferInputValues() = 0;
  virtual void SEQParseMessage() = 0;
  virtual void SEQAnalyseMessage() = 0;
  virtual void SEQDecryptSecurity() = 0;
  // The configuration's temporary close-on-response flag.
  virtual void SEQSetCloseOnResponse(bool close) = 0;
  // The F row: the built message is recorded as answered ("ep2:authrsp")
  // under the current session key, without sending.
  virtual void SEQRecordOffline() = 0;
  // The log: a new log-column list for the run; whether the message's log
  // statistics hold an error; a log entry with the response time; the
  // per-message values back to their start.
  virtual void SEQNewLogItems() = 0;
  virtual bool SEQLogHasError() = 0;
  virtual void SEQWriteLog(int executionTimeMs) = 0;
  virtual void SEQResetLogValues() = 0;
  // The alarm rules of the configuration, and the write of a firing rule
  // to its alarm log (0, or the failure code of the write).
  virtual TALEAlarmErrorList& SEQErrorAlarms() = 0;
  virtual TALTAlarmExecutionTimeList& SEQTimeAlarms() = 0;
  virtual int32_t SEQWriteAlarm(const TALMAlarmItem& rule) = 0;
};

class TSEQRunner final {
 public:
  static constexpr const char* SEQcEmpty = "Sequence is empty";
  static constexpr const char* SEQcErrorCount = "Sequence completed due to error count";
  static constexpr const char* SEQcStopTime = "Sequence completed, stop time reached";
  static constexpr const char* SEQcRestarts = "Sequence completed, number of restarts reached";
  static constexpr const char* SEQcAlarmLog = "Sequence completed, alarm log not written";
  static constexpr const char* SEQcRepeat = "repeat sending";
  static constexpr const char* SEQcDescriptorsShort = "Not enough file descriptors for ";
  static constexpr const char* SEQcNoRepeat =
      "Message repeat is not available in Multi Client Thread mode";

  struct TPorts {
    ISEQRunCore& core;
    IStringGrid& grid;
    const TSEQRunSettings& settings;
    TSQSRunStatus& status;
    TCEXRunNotice& notice;
    ICEXClock& clock;
    ISECRandomSource& random;
    ICEXTimerFactory& timers;
    // The load test's threads and hand-offs; without them every run is
    // single-thread. The list must outlive the runner.
    TSCLClientThreadList* threads = nullptr;
    ISEQLoadCore* load = nullptr;
    // The trace of the run's steps; null: none.
    TTDBDebug* trace = nullptr;
  };
  explicit TSEQRunner(TPorts ports);
  ~TSEQRunner();

  // Starts at `startRow`; `resetCounters` for "Run Sequence" (runs, log
  // count, status window), not for "Continue Sequence". The caller has
  // checked the table.
  void SEQRunSequence(int startRow, bool resetCounters);
  // The core's events.
  void SEQMessageAvailable();
  // The response time-out: ignored unless an answer is awaited.
  void SEQRunNextRow();
  TSEQErrorTaken SEQError(const std::string& errorText, bool groupFlag);
  // "Stop": ends the run at once, waits included.
  void SEQStopPressed();

  // The load test: a run in the client role with a thread count in a row
  // (column 3) runs every row on client threads.
  bool SEQIsMultiThread() const;
  bool SEQMultiThreadRunning() const { return multi_ && SEQbRunning; }
  // The load-test thread whose request is being built, else null.
  TSCTSequenceClientThread* SEQThreadInBuild() const;
  // Column 3 as a whole number; blank or not a number gives 0, raised to 1
  // with `atLeastOne`.
  int SEQThreadsInRow(int row, bool atLeastOne) const;
  // The nearest "IP Address" at or above the row, else the configured
  // server; the row's own "IP Port" (0 when it is no number), else the
  // configured port.
  void SEQGetIPAddressPort(int row, std::string& host, int& port) const;
  // The summary of the run into the log.
  void SEQLogSummary();

  // Conditional groups.
  bool SEQGroupEnd(int row) const;
  int SEQGroupSize() const;
  void SEQRunNextGroupRow();
  void SEQLoadNextServerReference();

  // The received file name the status window counts.
  void SEQSetReceivedFileName(std::string name) { SEQsReceivedFileName = std::move(name); }

  bool SEQRunning() const { return SEQbRunning; }
  bool SEQStopRequested() const { return SEQbStopPressed; }
  int SEQCurrentRow() const { return row_; }
  int SEQRuns() const { return SEQiRuns; }
  bool SEQAwaiting() const { return state_ == TState::Awaiting; }
  bool SEQWaiting() const { return state_ == TState::Waiting; }

  // Told when the current row changes (the window marks it).
  std::function<void(int row)> OnCurrentRow;

  // N = Random(10) changes at p = Random(length - 5) + 5 (1-based) to
  // v = Random(255); texts of five characters or fewer stay.
  static void SEQGenerateRandomErrors(std::string& text, ISECRandomSource& random);

 private:
  enum class TState { Idle, Waiting, Pausing, Awaiting, Handling, Threads };
  enum class TEvent { Arrival, Timeout };
  // What became of a row's message: sent (an answer is awaited), recorded
  // off-line (F), or nothing went out (the failure is the row's error).
  enum class TSent { Sent, Offline, Failed };

  bool Attrib(int row, char letter) const;
  char GroupLetter(int row) const;
  bool RowEmpty(int row) const;
  int LastRow() const;
  std::string Cell(int col, int row) const;
  void SetRow(int row);
  // Seconds to wait before the row for its time of day (0: none), and
  // after it for its delay.
  int64_t WaitBefore(int row);
  int DelayAfter(int row) const;
  void Wait(int64_t seconds, std::function<void()> then);
  void Tick();

  void Post(TEvent event);
  void Drain();
  void Dispatch(TEvent event);

  // The loops over rows; a row step returns true when the row is passed
  // over (the loop goes on with the next row).
  void StartLoop();
  bool StartRow();
  void SendRow(const std::string& cell);
  TSent GenerateAndSend();
  // O: the last stream again; false when none went out.
  bool RepeatSend();
  // A client row whose file could not be read or whose message did not go
  // out: its error is logged, the run goes on after the row's delay.
  // False: the row is not passed over.
  bool RowFailed();
  void Trace(const char* text);
  void Await();
  void HandleArrival();
  void NextRow(int executionTimeMs);
  void AfterDelay();
  void AfterPause();
  void ClientStep();
  void ClientNext();
  bool ClientRow();
  void ServerStep();
  void ServerNext();
  // The end of the table: true when the run restarts.
  bool EndOfTable();
  void ProcessAlarms();
  void Complete(const std::string& text);

  // The load test: the row loop, a row's send (true while its threads
  // run), the end of its threads, and the list emptied once it is no
  // longer in use when the run ended meanwhile.
  void SEQRunMultiThreadSequence();
  void MultiLoop();
  bool MultiSendRow();
  void MultiRowDone();
  TSCLRowEvents MultiEvents();
  bool AfterList();

  ISEQRunCore& core_;
  IStringGrid& grid_;
  const TSEQRunSettings& settings_;
  TSQSRunStatus& status_;
  TCEXRunNotice& notice_;
  ICEXClock& clock_;
  ISECRandomSource& random_;
  TSCLClientThreadList* threads_;
  ISEQLoadCore* load_;
  TTDBDebug* trace_;
  std::unique_ptr<ICEXTimer> tick_;
  std::unique_ptr<ICEXTimer> pause_;

  TState state_ = TState::Idle;
  int busy_ = 0;
  std::deque<TEvent> pending_;
  int heldArrivals_ = 0;
  int passes_ = 0;
  int64_t remaining_ = 0;
  std::function<void()> then_;
  int executionTimeMs_ = 0;
  std::chrono::steady_clock::time_point sendTime_{};
  int row_ = 1;
  bool referenceLoaded_ = false;
  bool SEQbStopPressed = true;
  bool SEQbRunning = false;
  bool SEQbGroupSelection = false;
  int SEQiErrorLine = -1;
  int SEQiRuns = 0;
  std::string SEQsReceivedFileName;
  bool multi_ = false;
  // The load-test thread whose response is being analysed (its errors are
  // its own), the list calls in progress, and an emptying held back.
  TSCTSequenceClientThread* thread_ = nullptr;
  int listBusy_ = 0;
  bool emptyPending_ = false;
  // While a row's threads are collected and analysed, "Stop on error
  // count" waits for the row's end, so that every thread's error counts.
  bool holdErrorStop_ = false;
  bool errorStopDue_ = false;
};

}  // namespace kal
