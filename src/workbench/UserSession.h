#pragma once

// The login of the main window and what it gives the user: the rights in
// the action table and the recent-file entries of the menus. The GUI
// thread only.

#include <string>

#include "workbench/ActionTable.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class TCFGConfig;

class TCEXUserSession final {
 public:
  // None is owned; every reference must outlive the session.
  // `sequences`: there is a sequence window (its recent files are listed).
  struct TPorts {
    ICEXView& view;
    TCEXViewState& viewState;
    ICEXDialogs& dialogs;
    ICEXLogin& login;
    const TCFGConfig& config;
    TCEXActionTable& actions;
    bool sequences;
  };

  explicit TCEXUserSession(TPorts ports) : ports_(ports) {}

  // The login when the configuration asks for one (retried until a user
  // is found or the dialog is cancelled, which closes the window), else
  // the administrator; then the rights and the recent files follow.
  void Action_LogoutExecute();
  // The first activation logs in; later ones do nothing.
  void CEXFirstLogin();
  // A new window: the next activation logs in again.
  void CEXResetLogin() { loginDone_ = false; }
  bool CEXUserIsAdmin() const { return isAdmin_; }
  // The recent-file entries from the configuration's pick lists.
  void SynchMenuItems();

 private:
  void ApplyRights();  // the user's rights in the action table

  TPorts ports_;
  bool isAdmin_ = false;
  bool loginDone_ = false;
};

}  // namespace kal
