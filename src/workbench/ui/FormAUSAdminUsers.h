#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "workbench/UserAdmin.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;

namespace kal {

class TCFGConfig;
class TRowEditGrid;

// The user administration dialog "User Administrator": "Activate Login"
// (CheckBox1), the user grid (StringGrid1), the attribute list
// (CheckListBox1), "Ok" and "Cancel". The user list behind it is the one
// the login checks.
class TForm18 final : public QDialog {
  Q_OBJECT

 public:
  // `trace` (not owned, may be null) gets the class name and the load steps.
  TForm18(std::string fileName, TTDBDebug* trace, QWidget* parent = nullptr);
  ~TForm18() override;

  // The configuration that holds UseLogin (not owned; set before showing).
  void AUSSetConfig(TCFGConfig* config) { config_ = config; }
  // Where refusals and write errors go; a message box when not set.
  void AUSSetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

  void AUSLoadConfigData() { admin_->AUSLoadConfigData(); }
  TAUUUserList& AUSGetUserList() { return admin_->AUSGetUserList(); }
  TAUSUserAdmin& AUSAdmin() { return *admin_; }
  TRowEditGrid& AUSGrid() { return *StringGrid1_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OkClick();
  void CancelClick();
  void ShowChecks(const std::string& attributes);
  void ChecksChanged(QListWidgetItem* item);
  void Message(const QString& text);

  QCheckBox* CheckBox1_;
  TRowEditGrid* StringGrid1_;
  QListWidget* CheckListBox1_;
  std::unique_ptr<TAUSUserAdmin> admin_;
  TCFGConfig* config_ = nullptr;
  std::function<void(const QString&)> message_;
  bool showingChecks_ = false;
};

}  // namespace kal
