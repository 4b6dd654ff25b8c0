#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "workbench/KeysDialog.h"

class QButtonGroup;

namespace kal {

class HexLineEdit;
class ICEXDialogs;
class TForm17;

// The dialog "Keys": the configured session key with its five variants, the
// RSA public and private key, the acquirer transaction-certificate
// data-object list and how the session key is obtained. Fields are loaded
// with their signals blocked on every activation, so only the user's edits,
// the radio group, "Random ..." and a successful import mark a change; any
// close saves a change, "Cancel" drops it. "Set Default" and "Set Default 24
// Byte Key" write the configuration at once. Every field has the hex pop-up
// menu.
class TForm5 final : public QDialog {
  Q_OBJECT

 public:
  TForm5(TCFGConfig& config, TSECep2Security& security, ICEXDialogs& dialogs,
         QWidget* parent = nullptr);
  ~TForm5() override;

  bool HasChanged() const { return bHasChanged_; }
  void done(int result) override;
  void reject() override { done(2); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void LoadConfigData();
  void SaveConfigData();
  void ImportFromFile();

  TKEYKeys keys_;
  TCEXPublicKeyFileChooser chooser_;
  std::unique_ptr<TForm17> form17_;
  std::array<HexLineEdit*, 11> edits_{};  // Edit1 .. Edit11
  QButtonGroup* RadioGroup1_;
  bool bHasChanged_ = false;
};

}  // namespace kal
