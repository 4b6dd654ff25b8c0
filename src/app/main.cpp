// Kalmore: ep2 interface tester.
#include "tools/ui/FormTVREditor.h"
#include "workbench/ui/ProgramStart.h"

int main(int argc, char** argv) {
  // The EMV data-object editor, made at start for the element edit window.
  return kal::CEXRunProgram(argc, argv, [](kal::TTDBDebug& trace, QWidget* parent) {
    return static_cast<kal::IEDFEmvEditor*>(new kal::TFormTVREditor(&trace, parent));
  });
}
