#include "workbench/ui/ProgramStart.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "platform/MemoryStatus.h"
#include "platform/ProgramDirectory.h"
#include "support/HelpContexts.h"
#include "support/ui/ErrorForm.h"
#include "support/ui/WindowHelp.h"
#include "workbench/ui/MainForm.h"

namespace kal {

namespace {

int terminatePipe[2] = {-1, -1};

void OnTerminateSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the GUI thread reads the pipe.
  [[maybe_unused]] const ssize_t n = write(terminatePipe[1], &byte, 1);
}

bool HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Once the program is terminated nobody answers a box: a dialog that opens
// then (a close step's message, one more of the start) is rejected as soon
// as its loop runs, so nothing waits on it.
class TRejectDialogs final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (event->type() == QEvent::Show && dialog != nullptr && dialog->isWindow())
      QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
  }
};

// Ends every event loop, a modal window's too: every dialog and message box
// is rejected (so the code that opened it sees a cancel) and the
// application's loop ends. Before that loop runs, exiting it does nothing;
// the start checks for itself whether the program was terminated.
void EndProgram(const QWidget* mainWindow) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(w);
    if (w != mainWindow && dialog != nullptr && dialog->isVisible()) dialog->reject();
  }
  // exit, not quit: quit asks the windows first and can be refused.
  QApplication::exit(0);
}

}  // namespace

std::unique_ptr<TForm8> CEXMakeErrorWindow(TForm1& form1) {
  auto form8 = std::make_unique<TForm8>(&form1.CEXServices().CEXTrace(), &form1);
  HPTAttachHelp(*form8, HPTcHelpErrorWindow);
  return form8;
}

int CEXRunProgram(int argc, char** argv, const TCEXEmvEditorFactory& makeEmvEditor,
                  const TCEXToolWindowFactory& makeToolWindow) {
  // SIGTERM closes the main window the way the user would, without
  // questions, and ends the program whatever windows are open. The handler
  // is in place first; the signal is handled in the first event loop that
  // runs, a message box's of the start as well as the application's.
  const bool caught = pipe2(terminatePipe, O_CLOEXEC | O_NONBLOCK) == 0;
  if (caught) {
    struct sigaction action {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
  }
  if (!HasDisplay()) {
    std::fputs("Kalmore needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n", stderr);
    return 1;
  }
  PLTReturnLargeBlocksToSystem();
  QApplication app(argc, argv);
  QApplication::setApplicationName("KALMORE");

  TForm1* mainForm = nullptr;
  bool terminated = false;
  if (caught) {
    auto* notifier = new QSocketNotifier(terminatePipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, &mainForm, &terminated] {
      char byte;
      while (read(terminatePipe[0], &byte, 1) > 0) {
      }
      if (!terminated) app.installEventFilter(new TRejectDialogs(&app));
      terminated = true;
      if (mainForm != nullptr && mainForm->isVisible()) mainForm->CEXTerminate();
      EndProgram(mainForm);
    });
  }

  TForm1::TParts parts;
  parts.programDir = PLTProgramDirectory();
  for (int i = 1; i < argc; ++i) parts.args.emplace_back(argv[i]);
  // The windows beside the main window: the port exists before the main
  // window, the windows after it, and they go before it.
  TCEXProgramWindows windows;
  parts.windows = &windows;
  TForm1 form1(std::move(parts));
  windows.CEXMake(form1, nullptr, makeEmvEditor, makeToolWindow);
  // The error window belongs to the main window.
  const std::unique_ptr<TForm8> form8 = CEXMakeErrorWindow(form1);
  form1.CEXSetErrorWindow(form8.get());
  mainForm = &form1;
  // Closing the main window ends the program, whatever else is open.
  QObject::connect(&form1, &TForm1::mainWindowClosed, &app, [&form1] { EndProgram(&form1); });

  int result = 0;
  if (terminated) {
    // Terminated while the start was still building the window.
    static_cast<void>(form1.CEXTerminate());
  } else {
    // The first show reads the command line's files; a box it opens may see
    // the program terminated and the window closed.
    form1.show();
    if (!terminated) result = QApplication::exec();
  }
  windows.CEXDestroy();
  form1.CEXSetErrorWindow(nullptr);
  return result;
}

}  // namespace kal
