#pragma once

// The sequence window's run: the status model of the run status window,
// the run's core over the main window's roads and the single-thread runner,
// with the buttons "Run Sequence" and "Continue Sequence" and the calls the
// main window's core makes into a visible sequence window. The Qt window
// (TForm14) owns one and forwards to it.
//
// Threads: the GUI thread only.

#include <functional>
#include <string>

#include "workbench/LoadTestCore.h"
#include "workbench/LoadTestList.h"
#include "workbench/Pacer.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceRunCore.h"
#include "workbench/SequenceRunner.h"

namespace kal {

class ICEXMessageFiles;
class ICEXRecordingList;
class TCEXMainWindow;
class TSEQSequenceEditor;

class TSEQSequenceRun final {
 public:
  static constexpr const char* SEQcUseRunButton =
      "Use Run Sequence button if multi client thread feature is used";

  // None is owned; every reference must outlive this.
  struct TPorts {
    TCEXMainWindow& main;
    ICEXMessageFiles& files;
    ICEXRecordingList& recording;
    TSEQSequenceEditor& editor;
    ICEXClock& clock;
    ICEXTimerFactory& timers;
  };
  explicit TSEQSequenceRun(TPorts ports);
  ~TSEQSequenceRun();
  TSEQSequenceRun(const TSEQSequenceRun&) = delete;
  TSEQSequenceRun& operator=(const TSEQSequenceRun&) = delete;

  // "Run Sequence": clears the main window's auto-run flag, stores changed
  // settings, checks the table and runs it from the first data row with
  // fresh counters. "Continue Sequence": from the current row, counters
  // kept; a load test only starts from its first row, so a table with
  // client threads is refused with SEQcUseRunButton. False when nothing
  // started (the message was shown).
  bool SEQRunButton();
  bool SEQContinueButton();
  // The window was activated: "-RUN" on the command line starts a run.
  void SEQActivated();

  // The calls of the main window's core.
  void SEQMessageAvailable() { runner_.SEQMessageAvailable(); }
  void SEQRunNextRow() { runner_.SEQRunNextRow(); }
  TSEQErrorTaken SEQLogError(int errorId, const std::string& errorText, bool groupFlag) {
    return core_.SEQLogError(runner_, errorId, errorText, groupFlag);
  }
  int SEQGroupSize() const { return runner_.SEQGroupSize(); }
  bool SEQGroupEnd() const { return runner_.SEQGroupEnd(-1); }
  void SEQRunNextGroupRow() { runner_.SEQRunNextGroupRow(); }
  void SEQLoadNextServerReference() { runner_.SEQLoadNextServerReference(); }

  TSQSRunStatus& SEQStatus() { return status_; }
  TSEQRunner& SEQRunner() { return runner_; }
  TSEQRunCore& SEQCore() { return core_; }
  const TSCLClientThreadList& SEQThreadList() const { return threads_; }

  // Shows the run status window when it is hidden (its showing resets the
  // status); null: none.
  std::function<void()> OnShowStatus;

 private:
  bool Start(int row, bool resetCounters);
  // The runner's current row goes to the table; a load test's rows go at
  // the main window's pace.
  void ShowCurrentRow(int row);

  TCEXMainWindow& main_;
  TSEQSequenceEditor& editor_;
  TSQSRunStatus status_;
  TSEQRunCore core_;
  // The load test: the hand-offs over the roads and the client threads
  // (stopped and joined first, as they go first).
  TSEQLoadCore load_;
  TSCLClientThreadList threads_;
  TSEQRunner runner_;
  int shownRow_ = 0;  // the row the table is to mark next
  TCEXPacer rowPacer_;
};

}  // namespace kal
