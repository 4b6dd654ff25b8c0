#pragma once

#include "config/ui/EditDialog.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QStackedWidget;

namespace kal {

class IPLTDialUpService;
class TCFGConfig;
class TCTPClientSocketPPP;
class TPLTTcpServer;
class TTCPCommParams;

// "Communication Settings": line type, the three line panels (this
// computer, TCP/IP over ethernet, TCP/IP over modem with its phone-book
// entries) and "Disconnect on server response". "Connect" stores the fields
// and connects the link; "Disconnect" and "Hang up" disconnect it. A
// failure is shown with its code and text. "Ok" ends with Accepted when it
// stored something, else Rejected.
class TForm9 final : public TCFGEditDialog {
  Q_OBJECT

 public:
  // The link's objects; none is owned, all outlive the dialog. `dialUp`,
  // `client` and `server` may be null.
  struct TLink {
    TTCPCommParams& comm;
    TCFGConfig& config;
    IPLTDialUpService* dialUp = nullptr;
    TCTPClientSocketPPP* client = nullptr;
    TPLTTcpServer* server = nullptr;
  };

  TForm9(TLink link, TTDBDebug* trace, QWidget* parent = nullptr);

 protected:
  void CFGLoadConfigData() override;
  void CFGSaveConfigData() override;
  bool CFGOkAccepts(bool stored) override { return stored; }

 private:
  void ConnectClick();
  void DisconnectClick();
  void ShowResult(int rc, const std::string& text);

  TLink link_;
  QButtonGroup* lineType_;
  QStackedWidget* panels_;
  QLineEdit* thisPort_;
  QButtonGroup* thisSide_;
  QLineEdit *ethernetPort_, *ethernetAddress_;
  QButtonGroup* ethernetSide_;
  QLineEdit *modemPort_, *modemAddress_, *modemPhone_, *modemUser_, *modemPassword_;
  QComboBox* phoneBook_;
  QButtonGroup* modemSide_;
  QCheckBox* closeOnResponse_;
};

}  // namespace kal
