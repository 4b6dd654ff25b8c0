#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "workbench/MainWindowPorts.h"
#include "workbench/SecurityItems.h"

class QLineEdit;
class QPushButton;

namespace kal {

class ICEXDialogs;
class TCEXMainWindow;
class TUCBCheckListBox;

// "Security Items": plaintext and result fields of the session-key
// cryptogram and the encrypted PIN, PAN, track 2 and track 2 equivalent
// rows, each with its compute, "Add Element" and "Modify" buttons, and the
// attribute list (F, M, V, S). The computations are TSKISecurityItems'; the
// window follows the source-tree selection while it is visible, and Add and
// Modify act on the selection at click time (without a fitting one they run
// the activation again and change nothing).
class TForm6 final : public QDialog, public ICEXSourceSelectionListener {
  Q_OBJECT

 public:
  TForm6(TCEXMainWindow& main, ICEXDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm6() override;

  // Sets the buttons and fields from the selected source node.
  void Activate();

  bool CEXListenerVisible() const override { return isVisible(); }
  void CEXSourceSelectionChanged(TXMLTreeNode* node) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyActivation(const TXMLTreeNode* node);
  void AddElement(TSKIRow row);
  void ModifyElement(TSKIRow row);
  void FastSelectNext();
  std::string Attributes() const;
  static std::string Text(const QLineEdit* edit);

  TCEXMainWindow& main_;
  ICEXDialogs& dialogs_;
  std::unique_ptr<TSKISecurityItems> items_;
  QLineEdit* Edit3_;  // plaintext cryptogram
  std::array<QLineEdit*, kSKIRowCount> plain_{};
  std::array<QLineEdit*, kSKIRowCount> result_{};
  std::array<QPushButton*, kSKIRowCount> add_{};
  std::array<QPushButton*, kSKIRowCount> modify_{};
  TUCBCheckListBox* CheckListBox1_;
};

}  // namespace kal
