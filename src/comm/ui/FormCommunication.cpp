#include "comm/ui/FormCommunication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include "comm/CommParams.h"
#include "comm/PhoneBook.h"
#include "config/Config.h"
#include "config/ui/DialogWidgets.h"

namespace kal {

namespace {

constexpr const char* kPortNumeric = "IP port number must be numeric";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QLineEdit* edit) {
  return edit->text().toStdString();
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TForm9::TForm9(TLink link, TTDBDebug* trace, QWidget* parent)
    : TCFGEditDialog("TForm9", trace, true, parent), link_(link) {
  setWindowTitle("Communication Settings");
  auto changed = [this] { CFGMarkChanged(); };

  auto* lineBox = new QGroupBox("Communication Line");
  lineType_ =
      CFGRadioGroup(lineBox, "RadioGroup1",
                    {"This computer", "TCP/IP over ethernet", "TCP/IP over modem"}, changed);
  panels_ = new QStackedWidget;
  panels_->setObjectName("Panels");
  connect(lineType_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) panels_->setCurrentIndex(id);
  });

  // This computer.
  auto* thisPanel = new QWidget;
  thisPanel->setObjectName("Panel1");
  auto* thisForm = new QFormLayout(thisPanel);
  thisPort_ = CFGNumberField("Edit1", kPortNumeric);
  thisForm->addRow("Server IP port", thisPort_);
  auto* thisSideBox = new QGroupBox("Kalmore side");
  thisSide_ =
      CFGRadioGroup(thisSideBox, "RadioGroup2", {"Client", "Server", "Both (Demo)"}, changed);
  thisForm->addRow(thisSideBox);
  panels_->addWidget(thisPanel);

  // TCP/IP over ethernet.
  auto* ethernetPanel = new QWidget;
  ethernetPanel->setObjectName("Panel2");
  auto* ethernetForm = new QFormLayout(ethernetPanel);
  ethernetPort_ = CFGNumberField("Edit2", kPortNumeric);
  ethernetAddress_ = CFGTextField("Edit3");
  ethernetForm->addRow("Server IP port", ethernetPort_);
  ethernetForm->addRow("Server IP address or URL", ethernetAddress_);
  auto* ethernetSideBox = new QGroupBox("Kalmore side");
  ethernetSide_ = CFGRadioGroup(ethernetSideBox, "RadioGroup3", {"Client", "Server"}, changed);
  ethernetForm->addRow(ethernetSideBox);
  auto* ethernetButtons = new QHBoxLayout;
  QPushButton* connect1 = Button(ethernetPanel, "Button1", "Connect");
  QPushButton* disconnect1 = Button(ethernetPanel, "Button2", "Disconnect");
  ethernetButtons->addWidget(connect1);
  ethernetButtons->addWidget(disconnect1);
  ethernetForm->addRow(ethernetButtons);
  panels_->addWidget(ethernetPanel);

  // TCP/IP over modem.
  auto* modemPanel = new QWidget;
  modemPanel->setObjectName("Panel3");
  auto* modemForm = new QFormLayout(modemPanel);
  modemPort_ = CFGNumberField("Edit4", kPortNumeric);
  modemAddress_ = CFGTextField("Edit5");
  modemPhone_ = CFGTextField("Edit6");
  modemUser_ = CFGTextField("Edit7");
  modemPassword_ = CFGTextField("Edit8");
  modemPassword_->setEchoMode(QLineEdit::Password);
  phoneBook_ = new QComboBox;
  phoneBook_->setObjectName("ComboBox1");
  connect(phoneBook_, &QComboBox::currentIndexChanged, this, changed);
  modemForm->addRow("Server IP port", modemPort_);
  modemForm->addRow("Server IP address", modemAddress_);
  modemForm->addRow("Server phone number", modemPhone_);
  modemForm->addRow("User ID", modemUser_);
  modemForm->addRow("Password", modemPassword_);
  modemForm->addRow("Phone book entry", phoneBook_);
  auto* modemSideBox = new QGroupBox("Kalmore side");
  modemSide_ = CFGRadioGroup(modemSideBox, "RadioGroup4", {"Client", "Server"}, changed);
  modemForm->addRow(modemSideBox);
  auto* modemButtons = new QHBoxLayout;
  QPushButton* connect2 = Button(modemPanel, "Button3", "Connect");
  QPushButton* hangUp = Button(modemPanel, "Button4", "Hang up");
  modemButtons->addWidget(connect2);
  modemButtons->addWidget(hangUp);
  modemForm->addRow(modemButtons);
  panels_->addWidget(modemPanel);

  closeOnResponse_ = new QCheckBox("Disconnect on server response");
  closeOnResponse_->setObjectName("CheckBox1");
  connect(closeOnResponse_, &QCheckBox::toggled, this, changed);

  for (QPushButton* button : {connect1, connect2})
    connect(button, &QPushButton::clicked, this, &TForm9::ConnectClick);
  for (QPushButton* button : {disconnect1, hangUp})
    connect(button, &QPushButton::clicked, this, &TForm9::DisconnectClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CFGOkButton());
  buttons->addWidget(CFGCancelButton());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lineBox);
  layout->addWidget(panels_);
  layout->addWidget(closeOnResponse_);
  layout->addLayout(buttons);
  CFGFitLayout();
}

void TForm9::CFGLoadConfigData() {
  const TTCPCommParams& c = link_.comm;
  CFGSelectRadio(lineType_, c.TCPGetCommType());
  panels_->setCurrentIndex(std::clamp(c.TCPGetCommType(), 0, 2));
  thisPort_->setText(QString::number(c.TCPGetThisComputerIPPortNr()));
  CFGSelectRadio(thisSide_, c.TCPGetThisComputerClientServer());
  ethernetPort_->setText(QString::number(c.TCPGetEthernetIPPortNr()));
  ethernetAddress_->setText(Q(c.TCPGetEthernetIPAddr()));
  CFGSelectRadio(ethernetSide_, c.TCPGetEthernetClientServer());
  modemPort_->setText(QString::number(c.TCPGetModemIPPortNr()));
  modemAddress_->setText(Q(c.TCPGetModemIPAddr()));
  modemPhone_->setText(Q(c.TCPGetModemPhoneNr()));
  modemUser_->setText(Q(c.TCPGetModemUserID()));
  modemPassword_->setText(Q(c.TCPGetModemPassword()));
  CFGSelectRadio(modemSide_, c.TCPGetModemClientServer());
  const TCPPhoneBookChoice choice = TCPListPhoneBook(link_.dialUp, c.TCPGetPhonebookEntry());
  phoneBook_->clear();
  for (const std::string& item : choice.items) phoneBook_->addItem(Q(item));
  phoneBook_->setCurrentIndex(choice.selected);
  closeOnResponse_->setChecked(link_.config.CFGGetCloseOnResponse() != 0);
  if (!choice.error.empty()) CFGMessage(Q(choice.error));
}

void TForm9::CFGSaveConfigData() {
  TTCPCommParams& c = link_.comm;
  // A choice left empty keeps what is stored.
  if (lineType_->checkedId() >= 0) c.TCPSetCommType(lineType_->checkedId());
  c.TCPSetThisComputerIPPortNr(CFGNumber(thisPort_));
  if (thisSide_->checkedId() >= 0) c.TCPSetThisComputerClientServer(thisSide_->checkedId());
  c.TCPSetEthernetIPPortNr(CFGNumber(ethernetPort_));
  c.TCPSetEthernetIPAddr(S(ethernetAddress_));
  if (ethernetSide_->checkedId() >= 0) c.TCPSetEthernetClientServer(ethernetSide_->checkedId());
  c.TCPSetModemIPPortNr(CFGNumber(modemPort_));
  c.TCPSetModemIPAddr(S(modemAddress_));
  c.TCPSetModemPhoneNr(S(modemPhone_));
  c.TCPSetModemUserID(S(modemUser_));
  c.TCPSetModemPassword(S(modemPassword_));
  c.TCPSetPhonebookEntry(TCPPhoneBookValue(phoneBook_->currentText().toStdString()));
  if (modemSide_->checkedId() >= 0) c.TCPSetModemClientServer(modemSide_->checkedId());
  link_.config.CFGSetCloseOnResponse(closeOnResponse_->isChecked() ? 1 : 0);
}

void TForm9::ConnectClick() {
  CFGSaveConfigData();
  std::string text;
  const int rc = link_.comm.TCPConnect(link_.client, link_.server, &text);
  ShowResult(rc, text);
}

void TForm9::DisconnectClick() {
  std::string text;
  const int rc = link_.comm.TCPDisconnectModem(link_.client, link_.server, &text);
  ShowResult(rc, text);
}

void TForm9::ShowResult(int rc, const std::string& text) {
  if (rc == 0) return;
  CFGMessage(QString("Error %1: %2").arg(rc).arg(Q(text)));
}

}  // namespace kal
