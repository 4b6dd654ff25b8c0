#include "config/ui/FormMessageHeader.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "config/Config.h"
#include "config/DialogFields.h"
#include "config/ui/DialogWidgets.h"
#include "support/ui/FieldWidths.h"

namespace kal {

namespace {

constexpr const char* kNumeric = "Value must be numeric";
// The component secret is a 16-byte key.
constexpr int kComponentSecretBytes = 16;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TForm7::TForm7(TCFGConfig& config, TTDBDebug* trace, QWidget* parent)
    : TCFGEditDialog("TForm7", trace, true, parent), config_(config) {
  setWindowTitle("Message Header Parameters");
  auto changed = [this] { CFGMarkChanged(); };

  auto* mandatory = new QGroupBox("Mandatory Header Items");
  auto* mandatoryForm = new QFormLayout(mandatory);
  componentId_ = CFGTextField("Edit1");
  componentSecret_ = CFGTextField("Edit2");
  FLWFitText(*componentSecret_, TFLWText::SpacedHex, kComponentSecretBytes);
  versionNumber_ = CFGTextField("Edit3");
  specVersion_ = CFGTextField("Edit4");
  mandatoryForm->addRow("Sender Identifier (n or an)", componentId_);
  mandatoryForm->addRow("Component Secret (hex)", componentSecret_);
  mandatoryForm->addRow("Version Number (hex)", versionNumber_);
  mandatoryForm->addRow("Version ep2 Specification (hex)", specVersion_);
  auto* encodingBox = new QGroupBox("Encoding Information");
  encoding_ = CFGRadioGroup(encodingBox, "RadioGroup1",
                            {"no security extension or MAC are present",
                             "security extension and MAC (Variant Send) are present",
                             "security extension and MAC (Variant Receive) are present"},
                            changed);
  mandatoryForm->addRow(encodingBox);
  auto* senderBox = new QGroupBox("Sender Identifier Type");
  senderType_ = CFGRadioGroup(senderBox, "RadioGroup2",
                              {"acquirer (n11)", "service center (n11)", "terminal (an8)",
                               "PMS (n11)", "POS ID (n11)", "user value"},
                              changed);
  userSenderType_ = CFGNumberField("Edit5", kNumeric, 0, 255);
  userSenderLength_ = CFGNumberField("Edit6", kNumeric, 0, 255);
  auto* senderForm = new QFormLayout;
  senderForm->addRow("User value", userSenderType_);
  senderForm->addRow("User value length", userSenderLength_);
  static_cast<QVBoxLayout*>(senderBox->layout())->addLayout(senderForm);
  mandatoryForm->addRow(senderBox);

  auto* secure = new QGroupBox("Header Items for Secure Communication Lines ");
  auto* secureForm = new QFormLayout(secure);
  auto* ownerBox = new QGroupBox("Public Key Owner Identifier Type");
  ownerType_ = CFGRadioGroup(
      ownerBox, "RadioGroup3",
      {"PMS (n11)", "service center (n11)", "acquirer (n11)", "user value (n11)"}, changed);
  userOwnerType_ = CFGNumberField("Edit7", kNumeric, 0, 255);
  userOwnerLength_ = CFGNumberField("Edit8", kNumeric, 0, 255);
  auto* ownerForm = new QFormLayout;
  ownerForm->addRow("User value", userOwnerType_);
  ownerForm->addRow("User value length", userOwnerLength_);
  static_cast<QVBoxLayout*>(ownerBox->layout())->addLayout(ownerForm);
  secureForm->addRow(ownerBox);
  ownerId_ = CFGTextField("Edit9");
  keyIndex_ = CFGNumberField("Edit10", "Public key index must be numeric", 0, 255);
  secureForm->addRow("Public Key Owner Identifier (n)", ownerId_);
  secureForm->addRow("Public Key Index", keyIndex_);
  upgrade_ = new QCheckBox("Upgrade configuration files of version 10 to 20");
  upgrade_->setObjectName("CheckBox1");
  connect(upgrade_, &QCheckBox::toggled, this, changed);
  secureForm->addRow(upgrade_);

  auto* xml = new QGroupBox("XML Header Items");
  auto* xmlForm = new QFormLayout(xml);
  xmlHeader_ = CFGTextField("Edit11");
  xmlAttrib_ = CFGTextField("Edit12");
  xmlValue_ = CFGTextField("Edit13");
  xmlForm->addRow("XML message header", xmlHeader_);
  xmlForm->addRow("XML header attribute", xmlAttrib_);
  xmlForm->addRow("XML header value", xmlValue_);

  auto* columns = new QHBoxLayout;
  columns->addWidget(mandatory);
  auto* right = new QVBoxLayout;
  right->addWidget(secure);
  right->addWidget(xml);
  right->addStretch(1);
  columns->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CFGOkButton());
  buttons->addWidget(CFGCancelButton());
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(buttons);
  CFGFitLayout();
}

void TForm7::CFGLoadConfigData() {
  const TCFGConfig& c = config_;
  componentId_->setText(Q(c.CFGGetComponentID()));
  componentSecret_->setText(Q(c.CFGGetComponentSecret()));
  versionNumber_->setText(Q(c.CFGGetVersionNumber()));
  specVersion_->setText(Q(c.CFGGetSpecVersionNumber()));
  const int encoding = c.CFGGetEncodingInformation();
  CFGSelectRadio(encoding_, encoding <= 2 ? encoding : -1);
  CFGSelectRadio(senderType_, CFGIdTypeItem(c, TCFGIdType::Sender));
  userSenderType_->setText(QString::number(c.CFGGetUserSenderIDType()));
  userSenderLength_->setText(QString::number(c.CFGGetUserSenderIDLength()));
  CFGSelectRadio(ownerType_, CFGIdTypeItem(c, TCFGIdType::Owner));
  userOwnerType_->setText(QString::number(c.CFGGetUserPublicKeyOwnerIDType()));
  userOwnerLength_->setText(QString::number(c.CFGGetUserPublicKeyOwnerIDLength()));
  ownerId_->setText(Q(c.CFGGetPublicKeyOwnerID()));
  keyIndex_->setText(QString::number(c.CFGGetPublicKeyIndex()));
  upgrade_->setChecked(c.CFGGetUpgrade1020() != 0);
  xmlHeader_->setText(Q(c.CFGGetMessageHeader()));
  xmlAttrib_->setText(Q(c.CFGGetMessageHeaderAttribute()));
  xmlValue_->setText(Q(c.CFGGetMessageHeaderAttributeValue()));
}

void TForm7::CFGSaveConfigData() {
  TCFGConfig& c = config_;
  c.CFGSetComponentID(componentId_->text().toStdString());
  c.CFGSetComponentSecret(componentSecret_->text().toStdString());
  c.CFGSetVersionNumber(versionNumber_->text().toStdString());
  c.CFGSetSpecVersionNumber(specVersion_->text().toStdString());
  // An encoding outside the three items stays as stored when none is chosen.
  if (encoding_->checkedId() >= 0)
    c.CFGSetEncodingInformation(static_cast<uint8_t>(encoding_->checkedId()));
  CFGStoreIdType(c, TCFGIdType::Sender, senderType_->checkedId(),
                 static_cast<uint8_t>(CFGNumber(userSenderType_)),
                 static_cast<uint8_t>(CFGNumber(userSenderLength_)));
  CFGStoreIdType(c, TCFGIdType::Owner, ownerType_->checkedId(),
                 static_cast<uint8_t>(CFGNumber(userOwnerType_)),
                 static_cast<uint8_t>(CFGNumber(userOwnerLength_)));
  c.CFGSetPublicKeyOwnerID(ownerId_->text().toStdString());
  c.CFGSetPublicKeyIndex(static_cast<uint8_t>(CFGNumber(keyIndex_)));
  c.CFGSetUpgrade1020(upgrade_->isChecked() ? 1 : 0);
  c.CFGSetMessageHeader(xmlHeader_->text().toStdString());
  c.CFGSetMessageHeaderAttribute(xmlAttrib_->text().toStdString());
  c.CFGSetMessageHeaderAttributeValue(xmlValue_->text().toStdString());
}

}  // namespace kal
