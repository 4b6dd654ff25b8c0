#include "tools/ui/FormHashMAC.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/HexLineEdit.h"
#include "tools/HexInput.h"
#include "tools/KeyPanel.h"
#include "tools/ui/KeyPanelWidget.h"
#include "workbench/MainServices.h"

namespace kal {

TForm26::TForm26(ICEXMainServices& services, QWidget* parent)
    : TToolWindow(services, "TForm26", "Hash and MAC Computation", parent) {
  info_ = new TInfoWindow(SearchPrompt(), this);
  keyPanel_ = new TKeyPanelWidget(
      TKPNKeyPanel(services.CEXSecurity(), services.CEXRandomSource()), "Default 16 Byte Key",
      {"Session Key Variant TC", "Session Key Variant MAC Send", "Session Key Variant MAC Receive",
       "Session Key Variant Encryption", "Session Key Variant PIN"},
      {"Plain key", "Variant TC", "Variant MAC Send", "Variant MAC Receive", "Variant Encryption",
       "Variant PIN"},
      [this](const TSECMemo& memo) { info_->Append(memo); }, this);

  data_ = new QPlainTextEdit(this);
  data_->setObjectName("Data");
  auto* algorithmBox = new QGroupBox("Hash Algorithm", this);
  auto* algorithmLayout = new QVBoxLayout(algorithmBox);
  algorithm_ = new QButtonGroup(this);
  const char* algorithms[] = {"SHA-1", "SHA-256 (ep2 Version 6.3.0 and above)"};
  for (int i = 0; i < 2; ++i) {
    auto* radio = new QRadioButton(algorithms[i], algorithmBox);
    radio->setObjectName(QString("HashAlgorithm%1").arg(i));
    algorithm_->addButton(radio, i);
    algorithmLayout->addWidget(radio);
  }
  algorithm_->button(0)->setChecked(true);

  hash_ = HexField("Hash");
  mac_ = HexField("MAC");
  // A SHA-256 hash; a retail MAC is one DES block.
  FLWFitText(*hash_, TFLWText::SpacedHex, TSECep2Security::SECcHashLength256);
  FLWFitText(*mac_, TFLWText::SpacedHex, TSECep2Security::SECcDESBlocklength);
  auto* results = new QGridLayout;
  results->addWidget(new QLabel("Hash", this), 0, 0);
  results->addWidget(hash_, 0, 1);
  results->addWidget(Button("Compute Hash", [this] { ComputeHash(); }), 0, 2);
  results->addWidget(new QLabel("MAC", this), 1, 0);
  results->addWidget(mac_, 1, 1);
  results->addWidget(Button("Compute MAC", [this] { ComputeMac(); }), 1, 2);

  auto* dataRow = new QHBoxLayout;
  dataRow->addWidget(data_, 1);
  dataRow->addWidget(algorithmBox);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(CloseButton());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(keyPanel_);
  layout->addLayout(dataRow);
  layout->addLayout(results);
  layout->addWidget(info_, 1);
  layout->addLayout(bottom);
}

void TForm26::ComputeHash() {
  TSECMemo notes;
  const std::string data = HXIReadHex(data_->toPlainText().toStdString(), "Data", &notes);
  const std::string digest = TSECep2Security::SECGetHash(data, algorithm_->checkedId() + 1);
  info_->Append(notes);
  hash_->setText(QString::fromStdString(UTHStringToHex(digest)));
}

void TForm26::ComputeMac() {
  TSECep2Security security(4000, Services().CEXRandomSource());
  TSECMemo memo;
  std::string key = keyPanel_->ChosenKey(memo);
  const std::string hash = HXIReadHex(hash_->text().toStdString(), "Hash", &memo);
  std::string mac;
  const int rc = security.SECComputeMac(key, hash, &memo, mac);
  SecureWipe(key);
  info_->Append(memo);
  mac_->setText(QString::fromStdString(rc == 0 ? UTHStringToHex(mac) : KPNErrorText(rc)));
}

}  // namespace kal
