#include "tools/ui/FormDESEncryption.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/ui/HexLineEdit.h"
#include "tools/HexInput.h"
#include "tools/KeyPanel.h"
#include "tools/ui/KeyPanelWidget.h"
#include "workbench/MainServices.h"

namespace kal {

TForm28::TForm28(ICEXMainServices& services, QWidget* parent)
    : TToolWindow(services, "TForm28", "DES Encryption/Decryption", parent) {
  info_ = new TInfoWindow(SearchPrompt(), this);
  keyPanel_ = new TKeyPanelWidget(
      TKPNKeyPanel(services.CEXSecurity(), services.CEXRandomSource()), "Default Key",
      {"Session Key Variant TC", "Session Key Variant MAC Send", "Session Key Variant MAC Receive",
       "Session Key Variant Encryption", "Session Key Variant PIN",
       "Session Key Variant Key Encription"},
      {"Plain key", "Variant TC", "Variant MAC Send", "Variant MAC Receive", "Variant Encryption",
       "Variant PIN", "Variant Key Encryption"},
      [this](const TSECMemo& memo) { info_->Append(memo); }, this);

  auto* paddingBox = new QGroupBox("Padding", this);
  auto* paddingLayout = new QVBoxLayout(paddingBox);
  padding_ = new QButtonGroup(this);
  const char* paddings[] = {"Mandatory $80 (ep2 Elements)", "No Padding"};
  for (int i = 0; i < 2; ++i) {
    auto* radio = new QRadioButton(paddings[i], paddingBox);
    radio->setObjectName(QString("Padding%1").arg(i));
    padding_->addButton(radio, i);
    paddingLayout->addWidget(radio);
  }
  padding_->button(0)->setChecked(true);

  plainAscii_ = HexField("PlainTextASCII");
  cipherAscii_ = HexField("CipherTextASCII");
  plainHex_ = HexField("PlainTextHEX");
  cipherHex_ = HexField("CipherTextHEX");
  auto* pairs = new QGridLayout;
  pairs->addWidget(new QLabel("Plain Text ASCII ", this), 0, 0);
  pairs->addWidget(plainAscii_, 0, 1);
  pairs->addWidget(Button(
                       "Tripple DES Encrypt", [this] { Encrypt(TPair::Ascii); }, "EncryptASCII"),
                   0, 2);
  pairs->addWidget(new QLabel("Cipher Text ASCII", this), 1, 0);
  pairs->addWidget(cipherAscii_, 1, 1);
  pairs->addWidget(Button(
                       "Tripple DES Decrypt", [this] { Decrypt(TPair::Ascii); }, "DecryptASCII"),
                   1, 2);
  pairs->addWidget(new QLabel("Plain Text HEX", this), 2, 0);
  pairs->addWidget(plainHex_, 2, 1);
  pairs->addWidget(Button(
                       "Tripple DES Encrypt", [this] { Encrypt(TPair::Hex); }, "EncryptHEX"),
                   2, 2);
  pairs->addWidget(new QLabel("Cipher Text HEX", this), 3, 0);
  pairs->addWidget(cipherHex_, 3, 1);
  pairs->addWidget(Button(
                       "Tripple DES Decrypt", [this] { Decrypt(TPair::Hex); }, "DecryptHEX"),
                   3, 2);

  auto* middle = new QHBoxLayout;
  middle->addLayout(pairs, 1);
  middle->addWidget(paddingBox);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(CloseButton());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(keyPanel_);
  layout->addLayout(middle);
  layout->addWidget(info_, 1);
  layout->addLayout(bottom);
}

bool TForm28::Run(bool encrypt, const std::string& in, TSECMemo& memo, std::string& out) {
  TSECep2Security security(4000, Services().CEXRandomSource());
  std::string key = keyPanel_->ChosenKey(memo);
  const bool padding = padding_->checkedId() == 0;
  const int rc = encrypt ? security.SECDESEncryptString(in, key, padding, &memo, out)
                         : security.SECDESDecryptString(in, key, padding, &memo, out);
  SecureWipe(key);
  info_->Append(memo);
  if (rc == 0) return true;
  out = KPNErrorText(rc);
  return false;
}

void TForm28::Encrypt(TPair pair) {
  TSECMemo memo;
  const std::string plain =
      pair == TPair::Ascii ? ToolLatin1Bytes(plainAscii_->text())
                           : HXIReadHex(plainHex_->text().toStdString(), "Plain Text HEX", &memo);
  std::string cipher;
  if (Run(true, plain, memo, cipher)) cipher = UTHStringToHex(cipher);
  (pair == TPair::Ascii ? cipherAscii_ : cipherHex_)->setText(QString::fromStdString(cipher));
}

void TForm28::Decrypt(TPair pair) {
  const bool ascii = pair == TPair::Ascii;
  TSECMemo memo;
  const std::string cipher = HXIReadHex((ascii ? cipherAscii_ : cipherHex_)->text().toStdString(),
                                        ascii ? "Cipher Text ASCII" : "Cipher Text HEX", &memo);
  std::string plain;
  const bool ok = Run(false, cipher, memo, plain);
  if (pair == TPair::Hex) {
    plainHex_->setText(QString::fromStdString(ok ? UTHStringToHex(plain) : plain));
    return;
  }
  // The error text goes into the text field; the hex field is emptied.
  plainAscii_->setText(ok ? ToolLatin1Text(plain) : QString::fromStdString(plain));
  plainHex_->setText(ok ? QString::fromStdString(UTHStringToHex(plain)) : QString());
}

}  // namespace kal
