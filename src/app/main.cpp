// Kalmore: ep2 interface tester.
#include "platform/Descriptors.h"
#include "tools/ui/FormTVREditor.h"
#include "tools/ui/ToolWindows.h"
#include "workbench/ui/ProgramStart.h"

int main(int argc, char** argv) {
  kal::PLTRaiseDescriptorLimit();
  // The EMV data-object editor, made at start for the element edit window,
  // and the windows of the "&Tools" menu.
  return kal::CEXRunProgram(
      argc, argv,
      [](kal::TTDBDebug& trace, QWidget* parent) {
        return static_cast<kal::IEDFEmvEditor*>(new kal::TFormTVREditor(&trace, parent));
      },
      kal::TOLMakeToolWindow);
}
