#pragma once

// The main window's commands that open windows, show help, print, change
// the view or search: one table from the action to what it does. The GUI
// thread only.

#include <functional>
#include <utility>

#include "workbench/ActionTable.h"
#include "workbench/MainWindowPorts.h"

namespace kal {

class THPTHelpPort;
class TCEXPrintouts;
class TCEXSearches;
class TCEXSourceSelection;
class TCEXViewState;

class TCEXWindowCommands final {
 public:
  // None is owned; every reference must outlive the commands.
  struct TPorts {
    // Opens the parameter dialogs, the tool windows and the other windows.
    ICEXWindows& windows;
    THPTHelpPort& help;
    TCEXPrintouts& printouts;
    TCEXSearches& searches;
    // The zoom of the panes.
    TCEXViewState& view;
    // Whether the source tree has the focus (the searches look there then).
    const TCEXSourceSelection& selection;
    // After "Ok" of "Communication...": the listener follows the settings.
    std::function<void()> startServer;
    // After "Message Header...": "Security header" follows the settings.
    std::function<void()> updateSecurityHeader;
  };

  explicit TCEXWindowCommands(TPorts ports) : ports_(std::move(ports)) {}

  // Whether `action` is one of these commands.
  static bool CEXHandles(TCEXAction action);
  // Runs `action`; false (and nothing done) when it is not one of these.
  bool CEXRun(TCEXAction action);

 private:
  TPorts ports_;
};

}  // namespace kal
