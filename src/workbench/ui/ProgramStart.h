#pragma once

#include "workbench/ui/ProgramWindows.h"

#include <memory>

namespace kal {

class TForm1;
class TForm8;

// The error window of the main window, with its help.
std::unique_ptr<TForm8> CEXMakeErrorWindow(TForm1& form1);

// The program: the application titled "KALMORE", the main window and the
// windows that live beside it for the whole run, the message loop until the
// main window closes. SIGTERM is taken as the window's close request. Without
// a display it says so and returns 1. `makeEmvEditor` makes the EMV
// data-object editor of the element edit window (none: the window's button
// does nothing); `makeToolWindow` the windows of the "&Tools" menu (none:
// its commands do nothing).
int CEXRunProgram(int argc, char** argv, const TCEXEmvEditorFactory& makeEmvEditor = {},
                  const TCEXToolWindowFactory& makeToolWindow = {});

}  // namespace kal
