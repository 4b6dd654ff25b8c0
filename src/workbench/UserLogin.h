#pragma once

// The login the main window runs: the login dialog, then the user list read
// again from "users.ini" decides.

#include <string>

#include "workbench/UserAdmin.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

// The login dialog.
class IAUULoginDialog {
 public:
  virtual ~IAUULoginDialog() = default;
  // Shown modally with both fields empty; true when left with OK, the
  // fields' texts then in `user` and `password`.
  virtual bool AUUExecute(std::string& user, std::string& password) = 0;
};

class TAUULogin final : public ICEXLogin {
 public:
  // Neither is owned; both must outlive the login.
  TAUULogin(IAUULoginDialog& dialog, TAUSUserAdmin& admin) : dialog_(dialog), admin_(admin) {}

  bool CEXShowLoginDialog(std::string& user, std::string& password) override {
    return dialog_.AUUExecute(user, password);
  }
  void CEXReloadUsers() override { admin_.AUSLoadConfigData(); }
  bool CEXFindUser(const std::string& user, const std::string& password, bool& isAdmin) override {
    return admin_.AUSGetUserList().AUUFindUser(user, password, isAdmin);
  }

 private:
  IAUULoginDialog& dialog_;
  TAUSUserAdmin& admin_;
};

}  // namespace kal
