#include "workbench/ui/ProgramWindows.h"

#include "support/HelpContexts.h"
#include "support/ui/WindowHelp.h"
#include "workbench/ui/FormEditWindow.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/QtPorts.h"

namespace kal {

TCEXProgramWindows::TCEXProgramWindows() = default;

TCEXProgramWindows::~TCEXProgramWindows() {
  CEXDestroy();
}

void TCEXProgramWindows::CEXMake(TForm1& form1, ICEXDialogs* dialogs,
                                 const TCEXEmvEditorFactory& makeEmvEditor) {
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
}

void TCEXProgramWindows::CEXDestroy() {
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
    default:
      // The settings dialogs belong to the main window, which makes each on
      // first use.
      return form1_ != nullptr ? form1_->CEXOpenWindow(window, modal) : TCEXModalResult::None;
  }
}

}  // namespace kal
