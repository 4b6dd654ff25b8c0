#include "ui/LoadTestWindow.h"

#include <time.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "support/ui/RowEditGrid.h"
#include "workbench/SequenceRun.h"
#include "workbench/WorkbenchPorts.h"
#include "workbench/ui/FormSequence.h"
#include "workbench/ui/MainForm.h"

namespace kal::bench {

namespace {

// One application for the process, offscreen, with a runtime folder of its
// own. It is never destroyed: destroyed among the statics at exit, it would
// run Qt's clean-up after Qt's own statics are gone.
void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static const std::string runtime = [] {
    char name[] = "/tmp/kal-bench-xdg-XXXXXX";
    if (::mkdtemp(name) == nullptr) LoadTestFail("runtime folder");
    return std::string(name);
  }();
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  static int argc = 1;
  static char name[] = "BenchLoadTest";
  static char* argv[] = {name, nullptr};
  static QApplication* const app = new QApplication(argc, argv);
  static_cast<void>(app);
}

TForm14* SequenceWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = qobject_cast<TForm14*>(w)) return f;
  LoadTestFail("no sequence window");
}

}  // namespace

void LoadTestFail(const std::string& text) {
  std::fprintf(stderr, "load test failed: %s\n", text.c_str());
  std::abort();
}

double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

TLoadRunFigures RunLoadTestOnMainWindow(const std::string& programDir,
                                        const std::function<void(TCEXMainWindow&)>& configure,
                                        const std::function<void(IStringGrid&)>& fill) {
  EnsureApplication();
  TFailingDialogs dialogs;
  TCEXNoLogin login;
  TForm1::TParts parts;
  parts.programDir = programDir;
  parts.dialogs = &dialogs;
  parts.login = &login;
  TForm1 form(std::move(parts));
  form.CEXSetErrorWindow(&dialogs);
  form.show();
  QApplication::processEvents();
  configure(form.CEXCore());
  TForm14* window = SequenceWindow();
  window->show();
  QApplication::processEvents();
  fill(window->SEQGridWidget());

  TSEQSequenceRun& run = window->SEQRun();
  TLoadRunFigures figures;
  const auto start = std::chrono::steady_clock::now();
  const double cpu = ThreadCpuMs();
  if (!run.SEQRunButton()) LoadTestFail("the run did not start");
  // A run that ends inside a call is noticed by this check, between
  // events; the timer only bounds the wait for the next one.
  QTimer tick;
  tick.start(100);
  const auto limit = start + std::chrono::minutes(10);
  while (run.SEQRunner().SEQRunning()) {
    if (std::chrono::steady_clock::now() > limit) LoadTestFail("the run hangs");
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  figures.guiCpuMs = ThreadCpuMs() - cpu;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const TSQSRunStatus& status = run.SEQStatus();
  figures.exchanges = std::stoll(status.SQSMessagesReceived());
  figures.errors = status.SQSErrorsFound();
  figures.completion = status.SQSCurrentAction();
  figures.phases = run.SEQThreadList().SCLPhaseTimes();
  window->hide();
  form.close();
  QApplication::processEvents();
  return figures;
}

}  // namespace kal::bench
