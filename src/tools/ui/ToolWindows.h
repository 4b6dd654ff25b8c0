#pragma once

#include "workbench/MainWindowPorts.h"

class QWidget;

namespace kal {

class ICEXMainServices;

// Makes the window of the "&Tools" menu for `window` over `parent` (which
// owns it); null for a window not made here. The program start hands this
// to the main window's window port.
QWidget* TOLMakeToolWindow(TCEXWindow window, ICEXMainServices& services, QWidget* parent);

}  // namespace kal
