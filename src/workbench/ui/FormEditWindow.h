#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "workbench/ElementEdit.h"
#include "workbench/MainWindowPorts.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;

namespace kal {

class TUCBCheckListBox;

// The element edit window ("Edit Window"): not modal, on top of the other
// windows, made once and kept for the run. It maps the fields of its core
// (TEDFElementEdit) onto the widgets and follows the selection of the source
// tree while it is visible. Programmatic writes never count as user edits:
// the fields are written under QSignalBlocker and only textEdited and
// idClicked reach the core.
class TForm3 final : public QDialog, public ICEXSourceSelectionListener {
  Q_OBJECT

 public:
  TForm3(ICEXMainServices& main, ICEXDialogs& dialogs, TEDFElementEdit::THooks hooks,
         QWidget* parent = nullptr);
  ~TForm3() override;

  // The EMV data-object editor "EMV Editor..." opens (not owned).
  void SetEmvEditor(IEDFEmvEditor* editor) { emvEditor_ = editor; }
  TEDFElementEdit& Core() { return *core_; }

  // ICEXSourceSelectionListener
  bool CEXListenerVisible() const override { return isVisible(); }
  void CEXSourceSelectionChanged(TXMLTreeNode* node) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Runs a command of the core, then shows its fields.
  template <class F>
  void Run(F&& command);
  void ShowFields();

  ICEXMainServices& main_;
  IEDFEmvEditor* emvEditor_ = nullptr;
  // The editor port forwarding to emvEditor_, so that it may be set later.
  class TEditorLink;
  std::unique_ptr<TEditorLink> editorLink_;
  QLineEdit* EditTag_;
  QLineEdit* EditValue_;
  QLineEdit* EditTLVTag_;
  QButtonGroup* types_;
  TUCBCheckListBox* CheckListBox1_;
  QPushButton* Button1_;  // "Add Element"
  QPushButton* Button2_;  // "Add Container"
  std::unique_ptr<TEDFElementEdit> core_;
  bool running_ = false;  // a command runs: selection reports wait for its end
};

}  // namespace kal
