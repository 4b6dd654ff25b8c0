#include "workbench/ui/ProgramWindows.h"

#include "support/HelpContexts.h"
#include "support/ui/WindowHelp.h"
#include "workbench/ui/FormEditWindow.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/QtPorts.h"

namespace kal {

namespace {

// The help context of each tool window.
int32_t ToolHelpContext(TCEXWindow window) {
  switch (window) {
    case TCEXWindow::DESEncryption:
      return HPTcHelpDes;
    case TCEXWindow::HashAndMAC:
      return HPTcHelpHashMac;
    case TCEXWindow::SessionKeyCrypt:
      return HPTcHelpSessionKey;
    case TCEXWindow::TLVTools:
      return HPTcHelpTlvTools;
    default:  // Key Formatting and the conversions
      return HPTcHelpConversionTools;
  }
}

}  // namespace

TCEXProgramWindows::TCEXProgramWindows() = default;

TCEXProgramWindows::~TCEXProgramWindows() {
  CEXDestroy();
}

void TCEXProgramWindows::CEXMake(TForm1& form1, ICEXDialogs* dialogs,
                                 const TCEXEmvEditorFactory& makeEmvEditor,
                                 const TCEXToolWindowFactory& makeToolWindow) {
  if (dialogs == nullptr) {
    dialogs_ = std::make_unique<TCEXQtDialogs>(&form1);
    dialogs = dialogs_.get();
  }
  form1_ = &form1;
  TCEXMainWindow& core = form1.CEXCore();
  TEDFElementEdit::THooks hooks;
  hooks.selectLine = [&core](int line) { core.CEXSetSelectedSourceLine(line); };
  hooks.markChanged = [&core] { core.CEXSetHasChanged(true); };
  form3_ = std::make_unique<TForm3>(form1.CEXServices(), *dialogs, std::move(hooks));
  HPTAttachHelp(*form3_, core.CEXHelp(), HPTcHelpEditWindow);
  if (makeEmvEditor) {
    IEDFEmvEditor* editor = makeEmvEditor(form1.CEXServices().CEXTrace(), form3_.get());
    form3_->SetEmvEditor(editor);
    // The editor is a Qt child of the edit window.
    for (QWidget* child :
         form3_->findChildren<QWidget*>("TFormTVREditor", Qt::FindDirectChildrenOnly))
      HPTAttachHelp(*child, HPTcHelpEmvEditor);
  }
  if (makeToolWindow) {
    for (const TCEXWindow window : kCEXToolWindows) {
      if (QWidget* tool = makeToolWindow(window, form1.CEXServices(), &form1)) {
        tools_[window].reset(tool);
        HPTAttachHelp(*tool, core.CEXHelp(), ToolHelpContext(window));
      }
    }
  }
}

QWidget* TCEXProgramWindows::ToolWindow(TCEXWindow window) const {
  const auto it = tools_.find(window);
  return it != tools_.end() ? it->second.get() : nullptr;
}

void TCEXProgramWindows::CEXDestroy() {
  tools_.clear();
  form3_.reset();
  dialogs_.reset();
  form1_ = nullptr;
}

TCEXModalResult TCEXProgramWindows::CEXOpenWindow(TCEXWindow window, bool modal) {
  switch (window) {
    case TCEXWindow::EditWindow:
      if (form3_ == nullptr) return TCEXModalResult::None;
      if (modal)
        return form3_->exec() == QDialog::Accepted ? TCEXModalResult::OK : TCEXModalResult::Cancel;
      form3_->show();
      form3_->raise();
      form3_->activateWindow();
      return TCEXModalResult::None;
    case TCEXWindow::HexToBase64:
    case TCEXWindow::HexToString:
    case TCEXWindow::HexToInteger:
    case TCEXWindow::FormatXMLDocument:
    case TCEXWindow::KeyFormatting:
    case TCEXWindow::DESEncryption:
    case TCEXWindow::HashAndMAC:
    case TCEXWindow::SessionKeyCrypt:
    case TCEXWindow::TLVTools: {
      // Tool windows are never modal.
      QWidget* tool = ToolWindow(window);
      if (tool == nullptr) return TCEXModalResult::None;
      tool->show();
      tool->raise();
      tool->activateWindow();
      return TCEXModalResult::None;
    }
    default:
      // The settings dialogs belong to the main window, which makes each on
      // first use.
      return form1_ != nullptr ? form1_->CEXOpenWindow(window, modal) : TCEXModalResult::None;
  }
}

}  // namespace kal
