#include "tools/ui/ToolWindows.h"

#include "tools/ui/FormConversions.h"
#include "tools/ui/FormDESEncryption.h"
#include "tools/ui/FormFormatXml.h"
#include "tools/ui/FormHashMAC.h"
#include "tools/ui/FormKeyFormatting.h"
#include "tools/ui/FormSessionKeyCryptogramm.h"
#include "tools/ui/FormTlvTools.h"

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
    case TCEXWindow::HexToBase64:
      return new TForm22(services, parent);
    case TCEXWindow::HexToString:
      return new TForm23(services, parent);
    case TCEXWindow::HexToInteger:
      return new TForm29(services, parent);
    case TCEXWindow::FormatXMLDocument:
      return new TForm24(services, parent);
    case TCEXWindow::TLVTools:
      return new TForm27(services, parent);
    default:
      return nullptr;
  }
}

}  // namespace kal
