#include "workbench/SequenceRun.h"

#include <chrono>

#include "support/MemoryUtilities.h"
#include "workbench/MainWindow.h"
#include "workbench/SequenceEditor.h"

namespace kal {

TSEQSequenceRun::TSEQSequenceRun(TPorts ports)
    : main_(ports.main),
      editor_(ports.editor),
      status_([&clock = ports.clock] { return clock.CEXNow(); }),
      core_(TSEQRunCore::TPorts{.main = ports.main,
                                .files = ports.files,
                                .recording = ports.recording,
                                .grid = ports.editor.SEQGrid(),
                                .settings = ports.editor.SEQSettings(),
                                .status = status_,
                                .currentRow = [this] { return runner_.SEQCurrentRow(); }}),
      load_(TSEQLoadCore::TPorts{.main = ports.main,
                                 .build = ports.main.CEXBuildRoad(),
                                 .stream = ports.main.CEXStreamRoad(),
                                 .receive = ports.main.CEXReceiveRoad(),
                                 .recording = ports.recording,
                                 .log = core_.SEQLogWriter(),
                                 .settings = [this] { return core_.SEQLogSettings(); }}),
      threads_(TSCLClientThreadList::TPorts{
          .poster = ports.main.CEXPoster(),
          .synch = ports.main.CEXThreadSynch(),
          .memory = [] { return UMEGetMemoryAvailable(); },
          .seed =
              static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())}),
      runner_(TSEQRunner::TPorts{.core = core_,
                                 .grid = ports.editor.SEQGrid(),
                                 .settings = ports.editor.SEQSettings(),
                                 .status = status_,
                                 .notice = ports.main.CEXRunNotice(),
                                 .clock = ports.clock,
                                 .random = ports.main.CEXRandomSource(),
                                 .timers = ports.timers,
                                 .threads = &threads_,
                                 .load = &load_,
                                 .trace = &ports.main.CEXTrace()}),
      rowPacer_(&ports.timers, TCEXViewState::CEXcPaceInterval,
                [this] { editor_.SEQSetStringgridRow(shownRow_); }) {
  runner_.OnCurrentRow = [this](int row) { ShowCurrentRow(row); };
  status_.OnStop = [this] { runner_.SEQStopPressed(); };
}

TSEQSequenceRun::~TSEQSequenceRun() {
  runner_.OnCurrentRow = nullptr;
  status_.OnStop = nullptr;
}

bool TSEQSequenceRun::SEQRunButton() {
  main_.CEXClearAutoRun();
  return Start(1, true);
}

bool TSEQSequenceRun::SEQContinueButton() {
  if (runner_.SEQRunning()) return false;
  if (runner_.SEQIsMultiThread()) {
    main_.CEXShowMessage(SEQcUseRunButton);
    return false;
  }
  return Start(editor_.SEQCurrentRow(), false);
}

void TSEQSequenceRun::ShowCurrentRow(int row) {
  shownRow_ = row;
  if (runner_.SEQMultiThreadRunning()) {
    rowPacer_.CEXRequest();
    return;
  }
  rowPacer_.CEXCancel();
  editor_.SEQSetStringgridRow(row);
}

void TSEQSequenceRun::SEQActivated() {
  if (main_.CEXAutoRun() && !runner_.SEQRunning()) static_cast<void>(SEQRunButton());
}

bool TSEQSequenceRun::Start(int row, bool resetCounters) {
  if (runner_.SEQRunning()) return false;
  editor_.SEQStoreIfChanged();
  if (!editor_.SEQCheckOk(editor_.SEQSettings())) return false;
  if (OnShowStatus) OnShowStatus();
  runner_.SEQRunSequence(row, resetCounters);
  return true;
}

}  // namespace kal
