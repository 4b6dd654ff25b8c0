#pragma once

// Help for a window in one call: the window gets its hidden help control,
// made now through the help port, and F1 shows the topic of its help
// context. The window owns its help (a child object named "HelpControl").

#include <cstdint>

#include "support/HelpPort.h"

class QWidget;

namespace kal {

// `withF1` false leaves F1 to the window (the main window's "&Content").
THPTWindowHelp& HPTAttachHelp(QWidget& window, THPTHelpPort& port, int32_t context,
                              bool withF1 = true);
// The same through the port of the nearest parent (or its parent ...) that
// has help; nothing when none has (the window then has no help). This is
// the call for a window made by another window.
THPTWindowHelp* HPTAttachHelp(QWidget& window, int32_t context);
// The help attached to a window; null: none.
THPTWindowHelp* HPTWindowHelpOf(const QWidget& window);

}  // namespace kal
