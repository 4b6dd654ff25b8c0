#include "workbench/ui/ProgramStart.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "platform/ProgramDirectory.h"
#include "support/ui/ErrorForm.h"
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

}  // namespace

int CEXRunProgram(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fputs("Kalmore needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n", stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("KALMORE");

  TForm1::TParts parts;
  parts.programDir = PLTProgramDirectory();
  for (int i = 1; i < argc; ++i) parts.args.emplace_back(argv[i]);
  TForm1 form1(std::move(parts));
  TForm8 form8(&form1.CEXServices().CEXTrace());
  form1.CEXSetErrorWindow(&form8);

  // SIGTERM closes the main window the way the user would.
  if (pipe2(terminatePipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    auto* notifier = new QSocketNotifier(terminatePipe[0], QSocketNotifier::Read, &form1);
    QObject::connect(notifier, &QSocketNotifier::activated, &form1, [&form1] {
      char byte;
      while (read(terminatePipe[0], &byte, 1) > 0) {
      }
      form1.close();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
  }

  form1.show();
  const int result = QApplication::exec();
  form1.CEXSetErrorWindow(nullptr);
  return result;
}

}  // namespace kal
