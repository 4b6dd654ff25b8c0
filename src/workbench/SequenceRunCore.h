#pragma once

// The sequence run's core over the main window's roads: what TSEQRunner
// asks of ISEQRunCore, done with the main window's actions, its message
// files, its stream road and its recording list, plus the run's log (its
// column list, log writer and statistics) and the error hand-off of a
// running sequence.
//
// Threads: the GUI thread only.

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "workbench/RunStatistics.h"
#include "workbench/SequenceLog.h"
#include "workbench/SequenceRunner.h"

namespace kal {

class ICEXMessageFiles;
class ICEXRecordingList;
class IStringGrid;
class TCEXMainWindow;
class TLUXLogItemsList;
class TSQSRunStatus;

// The "Delimitor" items of the sequence window, in list order.
inline constexpr const char* SEQcDelimiterItems[] = {"  Tab",        ", Comma", ". Period",
                                                     "; Semi-colon", ": Colon", "+ Plus",
                                                     "* Asterisk",   "/ Slash", "\\ Backslash"};

class TSEQRunCore final : public ISEQRunCore {
 public:
  // None is owned; every reference must outlive this. `currentRow` gives
  // the run's current grid row (for the debug log entry).
  struct TPorts {
    TCEXMainWindow& main;
    ICEXMessageFiles& files;
    ICEXRecordingList& recording;
    IStringGrid& grid;
    const TSEQRunSettings& settings;
    TSQSRunStatus& status;
    std::function<int()> currentRow;
    TLUXWallClock wallClock = [] { return std::time(nullptr); };
  };
  explicit TSEQRunCore(TPorts ports);
  ~TSEQRunCore() override;
  TSEQRunCore(const TSEQRunCore&) = delete;
  TSEQRunCore& operator=(const TSEQRunCore&) = delete;

  // The error hand-off while the sequence window shows: the first error of
  // a message goes to the run; unless the run holds it back for the next
  // group member, the message's log statistics take it, the log line is
  // written and the run statistics count it. A later error of the same
  // message changes nothing.
  TSEQErrorTaken SEQLogError(TSEQRunner& runner, int errorId, const std::string& errorText,
                             bool groupFlag);

  // The run's log columns (null before the first run) and statistics.
  const TLUXLogItemsList* SEQLogItems() const { return logItems_.get(); }
  const TSSTStatistics& SEQStatistics() const { return statistics_; }
  // The log writer and the sequence window's log settings, shared with the
  // load test's per-thread log lines.
  TSEQLogWriter& SEQLogWriter() { return writer_; }
  TSEQLogSettings SEQLogSettings() const;

  // ISEQRunCore
  bool SEQClientRole() const override;
  void SEQTerminateThreads() override;
  bool SEQLoadMessage(const std::string& path) override;
  bool SEQLoadReference(const std::string& path) override;
  void SEQLoadConfiguration(const std::string& path) override;
  void SEQHangUp() override;
  void SEQSetMessageVariant(TSEQAddMsgNum addMsgNum, bool macOnly) override;
  void SEQSetAddressAndPort(const std::string& address, const std::string& port) override;
  bool SEQCreateXmlDoc() override;
  void SEQDamageXmlText(const TSEQDamage& damage) override;
  bool SEQCreateDataStream() override;
  void SEQDamageStream(const TSEQDamage& damage) override;
  bool SEQSendDataStream() override;
  void SEQTransferInputValues() override;
  void SEQParseMessage() override;
  void SEQAnalyseMessage() override;
  void SEQDecryptSecurity() override;
  void SEQSetCloseOnResponse(bool close) override;
  void SEQRecordOffline() override;
  void SEQNewLogItems() override;
  bool SEQLogHasError() override;
  void SEQWriteLog(int executionTimeMs) override;
  void SEQResetLogValues() override;
  TALEAlarmErrorList& SEQErrorAlarms() override;
  TALTAlarmExecutionTimeList& SEQTimeAlarms() override;
  int32_t SEQWriteAlarm(const TALMAlarmItem& rule) override;

 private:
  void Log();
  // Reads a message file for the run; a failure goes to the run notice and
  // is the message's error.
  bool Read(const std::string& path, bool referenceTree);

  TPorts ports_;
  TCEXMainWindow& main_;
  TSEQLogWriter writer_;
  std::unique_ptr<TLUXLogItemsList> logItems_;
  TSSTStatistics statistics_;
};

}  // namespace kal
