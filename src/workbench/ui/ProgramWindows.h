#pragma once

#include <functional>
#include <map>
#include <memory>

#include "workbench/MainWindowPorts.h"

class QWidget;

namespace kal {

class ICEXMainServices;
class IEDFEmvEditor;
class TCEXQtDialogs;
class TForm1;
class TForm3;
class TTDBDebug;

// Makes the EMV data-object editor as a Qt child of `parent` (which owns
// it). The program start hands it in, since the editor lives in a higher
// layer than the workbench.
using TCEXEmvEditorFactory = std::function<IEDFEmvEditor*(TTDBDebug& trace, QWidget* parent)>;

// Makes the tool window `window` (one of kCEXToolWindows) over the main
// window `parent`; null for a window it does not make (its command then does
// nothing). The tool windows live in a higher layer too.
using TCEXToolWindowFactory =
    std::function<QWidget*(TCEXWindow window, ICEXMainServices& services, QWidget* parent)>;

// The windows the main window's commands open, made at program start beside
// the main window and kept for the run. It is the main window's window port
// before the windows exist: CEXMake makes them once the main window does,
// and CEXDestroy removes them before the main window goes. Windows it does
// not make itself (the settings dialogs) it leaves to the main window.
class TCEXProgramWindows final : public ICEXWindows {
 public:
  TCEXProgramWindows();
  ~TCEXProgramWindows() override;

  // `dialogs` null: message boxes over the main window. The tool windows are
  // made here too, each once, and shown without waiting.
  void CEXMake(TForm1& form1, ICEXDialogs* dialogs, const TCEXEmvEditorFactory& makeEmvEditor,
               const TCEXToolWindowFactory& makeToolWindow = {});
  void CEXDestroy();

  TForm3* EditWindow() const { return form3_.get(); }
  // The tool window made for `window`; null when there is none.
  QWidget* ToolWindow(TCEXWindow window) const;

  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override;

 private:
  TForm1* form1_ = nullptr;
  std::unique_ptr<TCEXQtDialogs> dialogs_;
  std::unique_ptr<TForm3> form3_;
  std::map<TCEXWindow, std::unique_ptr<QWidget>> tools_;
};

}  // namespace kal
