#include "tools/ui/ToolWindows.h"

#include "tools/ui/FormDESEncryption.h"
#include "tools/ui/FormHashMAC.h"
#include "tools/ui/FormKeyFormatting.h"
#include "tools/ui/FormSessionKeyCryptogramm.h"

namespace kal {

QWidget* TOLMakeToolWindow(TCEXWindow window, ICEXMainServices& services, QWidget* parent) {
  switch (window) {
    case TCEXWindow::KeyFormatting:
      return new TForm25(services, parent);
    case TCEXWindow::DESEncryption:
      return new TForm28(services, parent);
    case TCEXWindow::HashAndMAC:
      return new TForm26(services, parent);
    case TCEXWindow::SessionKeyCrypt:
      return new TFormCRYSessionKeyCryptogramm(services, parent);
    // The conversion windows: TForm22 (HexToBase64), TForm23 (HexToString),
    // TForm29 (HexToInteger), TForm24 (FormatXMLDocument) and TForm27
    // (TLVTools) are made here once they exist.
    default:
      return nullptr;
  }
}

}  // namespace kal
