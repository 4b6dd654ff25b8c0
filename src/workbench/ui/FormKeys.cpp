#include "workbench/ui/FormKeys.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ep2/Ep2Security.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/HexLineEdit.h"
#include "workbench/ui/FormFPD.h"

namespace kal {

namespace {

// clang-format off
constexpr const char* kCaptions[11] = {
    "Session Key (HEX)", "Session Key Variant TC", "Session Key Variant MAC Send",
    "Session Key Variant MAC Receive", "Session Key Variant Encryption", "Session Key Variant PIN",
    "Public Key Modulus (HEX)", "Public Key Exponent (HEX)", "Private Key Modulus (HEX)",
    "Private Key Exponent (HEX)", "Acquirer Transaction Certificate Data Object List (HEX)"};
// clang-format on

// The fields behind configuration values: Edit1 and Edit7 to Edit11.
constexpr int kStored[] = {0, 6, 7, 8, 9, 10};

// The session key and its five variants, Edit1 to Edit6, hold up to 24 bytes
// as spaced hex. The RSA values are as long as the modulus (hundreds of
// digits) and scroll within the width the keys give the column.
constexpr int kKeyFields = 6;

}  // namespace

TForm5::TForm5(TCFGConfig& config, TSECep2Security& security, ICEXDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      keys_(config, security),
      chooser_(dialogs),
      form17_(std::make_unique<TForm17>(this)) {
  setObjectName("TForm5");
  setWindowTitle("Keys");
  auto* grid = new QGridLayout;
  for (int i = 0; i < 11; ++i) {
    edits_[i] = new HexLineEdit(this);
    edits_[i]->setObjectName(QString("Edit%1").arg(i + 1));
    if (i < kKeyFields)
      FLWFitText(*edits_[i], TFLWText::SpacedHex, TSECep2Security::SECcKeyLength24);
    grid->addWidget(new QLabel(kCaptions[i], this), i, 0);
    grid->addWidget(edits_[i], i, 1);
  }
  for (int i : kStored) {
    connect(edits_[i], &QLineEdit::textEdited, this, [this] { bHasChanged_ = true; });
  }

  auto* group = new QGroupBox("Session Key Generation", this);
  auto* groupLayout = new QVBoxLayout(group);
  RadioGroup1_ = new QButtonGroup(this);
  const char* items[] = {"Use Configured Value", "From Incoming Message", "Generate Random "};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(items[i], group);
    radio->setObjectName(QString("RadioGroup1_%1").arg(i));
    RadioGroup1_->addButton(radio, i);
    groupLayout->addWidget(radio);
  }
  connect(RadioGroup1_, &QButtonGroup::idClicked, this, [this] { bHasChanged_ = true; });

  auto button = [this](const char* caption, auto handler) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(caption);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
  };
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(button("Random 16 Bytes", [this] {
    edits_[0]->setText(QString::fromStdString(keys_.KEYRandomKey(16)));
    bHasChanged_ = true;
  }));
  buttons->addWidget(button("Random 24 Bytes", [this] {
    edits_[0]->setText(QString::fromStdString(keys_.KEYRandomKey(24)));
    bHasChanged_ = true;
  }));
  buttons->addWidget(button("Session Key Variants", [this] {
    const auto variants = keys_.KEYVariants(edits_[0]->text().toStdString());
    for (size_t i = 0; i < variants.size(); ++i)
      edits_[1 + i]->setText(QString::fromStdString(variants[i]));
  }));
  buttons->addWidget(button("Set Default", [this] {
    keys_.KEYSetDefault(false);
    LoadConfigData();
  }));
  buttons->addWidget(button("Set Default 24 Byte Key", [this] {
    keys_.KEYSetDefault(true);
    LoadConfigData();
  }));
  buttons->addWidget(button("Import from File", [this] { ImportFromFile(); }));
  buttons->addStretch();
  auto* ok = button("Ok", [this] {
    SaveConfigData();
    done(1);
  });
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(button("Cancel", [this] {
    bHasChanged_ = false;
    done(2);
  }));

  auto* left = new QVBoxLayout;
  left->addLayout(grid);
  left->addWidget(group);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);
}

TForm5::~TForm5() = default;

void TForm5::showEvent(QShowEvent* event) {
  bHasChanged_ = false;
  LoadConfigData();
  QDialog::showEvent(event);
}

void TForm5::done(int result) {
  if (bHasChanged_) SaveConfigData();
  bHasChanged_ = false;
  QDialog::done(result);
}

void TForm5::LoadConfigData() {
  const TKEYValues v = keys_.KEYLoad();
  const std::string* texts[] = {&v.sessionKey,     &v.publicModulus,   &v.publicExponent,
                                &v.privateModulus, &v.privateExponent, &v.atc};
  for (size_t k = 0; k < std::size(kStored); ++k) {
    const QSignalBlocker quiet(edits_[kStored[k]]);
    edits_[kStored[k]]->setText(QString::fromStdString(*texts[k]));
  }
  const QSignalBlocker quiet(RadioGroup1_);
  if (QAbstractButton* b = RadioGroup1_->button(v.sessionKeyMode)) {
    b->setChecked(true);
  } else if (QAbstractButton* checked = RadioGroup1_->checkedButton()) {
    RadioGroup1_->setExclusive(false);
    checked->setChecked(false);
    RadioGroup1_->setExclusive(true);
  }
}

void TForm5::SaveConfigData() {
  auto text = [this](int i) { return edits_[i]->text().toStdString(); };
  keys_.KEYSave({text(0), text(6), text(7), text(8), text(9), text(10), RadioGroup1_->checkedId()});
}

void TForm5::ImportFromFile() {
  TEp2PublicKey key(&chooser_);
  key.SetShowFileDialog(true);
  std::string data;
  std::string message;
  const int result = key.ImportFile(data, message);
  if (form17_->FPDOpenForm(key, result, message) != 1 || result != 0) return;
  edits_[6]->setText(QString::fromStdString(key.GetPublicKeyModulus()));
  edits_[7]->setText(QString::fromStdString(key.GetPublicKeyExponent()));
  keys_.KEYTakeImported(key);
  bHasChanged_ = true;
}

}  // namespace kal
