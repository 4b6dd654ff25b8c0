#include "workbench/UserSession.h"

#include "config/Config.h"

namespace kal {

void TCEXUserSession::Action_LogoutExecute() {
  if (ports_.config.CFGGetUseLogin() >= 1) {
    for (;;) {
      std::string user, password;
      if (!ports_.login.CEXShowLoginDialog(user, password)) {
        // Nobody is logged in any more: no rights stay behind should the
        // window not close.
        isAdmin_ = false;
        ports_.view.CEXCloseMainWindow();
        break;
      }
      ports_.login.CEXReloadUsers();
      bool isAdmin = false;
      if (ports_.login.CEXFindUser(user, password, isAdmin)) {
        isAdmin_ = isAdmin;
        break;
      }
      ports_.dialogs.CEXShowMessage("Login information is not valid. Please retry");
    }
  } else {
    isAdmin_ = true;
  }
  ApplyRights();
  SynchMenuItems();
}

void TCEXUserSession::CEXFirstLogin() {
  if (loginDone_) return;
  loginDone_ = true;
  Action_LogoutExecute();
}

void TCEXUserSession::ApplyRights() {
  ports_.actions.ApplyRights(isAdmin_);
  ports_.viewState.CEXChanged(CEXpActions);
}

void TCEXUserSession::SynchMenuItems() {
  if (ports_.actions.SynchMenuItems(ports_.config, ports_.sequences, isAdmin_))
    ports_.viewState.CEXChanged(CEXpRecentFiles);
}

}  // namespace kal
