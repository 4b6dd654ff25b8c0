#pragma once

// A load test run as a user runs it: Kalmore's main window (TForm1,
// offscreen) on a program folder, its sequence window shown, the table
// filled, "Run Sequence" pressed and the Qt event loop run until the run
// has ended. Free of Qt, so the benchmark itself stays without it.

#include <cstdint>
#include <functional>
#include <string>

#include "support/ErrorWindow.h"
#include "support/StringGrid.h"
#include "workbench/LoadTestList.h"
#include "workbench/MainWindowPorts.h"

namespace kal {
class TCEXMainWindow;
}

namespace kal::bench {

// Ends the benchmark with `text` on stderr: a run that shows a box or an
// error measures nothing.
[[noreturn]] void LoadTestFail(const std::string& text);

// Dialogs and error window that end the benchmark when anything is shown.
class TFailingDialogs : public ICEXDialogs, public IERRErrorWindow {
 public:
  void CEXShowMessage(const std::string& text) override { LoadTestFail(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override { LoadTestFail(text); }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  void ERRSetError(int code, const std::string& detail) override {
    LoadTestFail(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
};

// What a run took.
struct TLoadRunFigures {
  double seconds = 0;      // from the start of the run to its end (wall clock)
  double guiCpuMs = 0;     // CPU time of the GUI thread in that span
  int64_t exchanges = 0;   // messages received
  std::string errors;      // the run status's "Errors found"
  std::string completion;  // the run status's last action
  TSCLClientThreadList::TPhaseTimes phases;
};

// CPU time of the calling thread (ms).
double ThreadCpuMs();

// Runs the table `fill` writes into the sequence window's grid on a main
// window over `programDir` (its config.ini written); `configure` sets the
// core up after the window's first activation has read the configuration.
// Any message box or error window aborts the process with its text.
TLoadRunFigures RunLoadTestOnMainWindow(const std::string& programDir,
                                        const std::function<void(TCEXMainWindow&)>& configure,
                                        const std::function<void(IStringGrid&)>& fill);

}  // namespace kal::bench
