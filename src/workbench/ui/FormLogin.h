#pragma once

#include <QDialog>

#include "workbench/UserLogin.h"

class QLineEdit;

namespace kal {

class TTDBDebug;

// The login dialog "Kalmore Login": "User Name" (Edit1), "Password" (Edit2,
// shown as "*"), "Ok" (default) and "Cancel".
class TForm19 final : public QDialog, public IAUULoginDialog {
  Q_OBJECT

 public:
  // `trace` (not owned, may be null) gets the class name at creation.
  explicit TForm19(TTDBDebug* trace, QWidget* parent = nullptr);

  bool AUUExecute(std::string& user, std::string& password) override;

 private:
  QLineEdit* Edit1_;
  QLineEdit* Edit2_;
};

}  // namespace kal
