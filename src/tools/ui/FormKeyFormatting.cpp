#include "tools/ui/FormKeyFormatting.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ep2/Ep2PublicKey.h"
#include "ep2/Ep2Security.h"
#include "support/Base64.h"
#include "support/HexUtilities.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/HexLineEdit.h"
#include "workbench/KeysDialog.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

// clang-format off
constexpr const char* kFieldNames[] = {
    "OwnerId", "Index", "ExpDate", "HashIndicator", "KeyAlgorithmIndicator", "ModulusLength",
    "ExponentLength", "Modulus", "Exponent", "HashResult"};
constexpr const char* kFieldCaptions[] = {
    "Public Key Owner Identifier", "Public Key Index", "Public Key Expiration Date",
    "Hash Algorithm Indicator", "Public Key Algorithm Indicator", "Public Key Modulus Length",
    "Public Key Exponent Length", "Public Key Modulus", "Public Key Exponent", "Hash Result"};
// clang-format on

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TForm25::TForm25(ICEXMainServices& services, QWidget* parent)
    : TToolWindow(services, "TForm25", "Key Formatting", parent) {
  auto* grid = new QGridLayout;
  for (int i = 0; i < FieldCount; ++i) {
    fields_[i] = HexField(kFieldNames[i]);
    // A SHA-256 hash result at the longest; modulus, exponent and the record
    // are as long as the RSA key and scroll.
    if (i == HashResult)
      FLWFitText(*fields_[i], TFLWText::SpacedHex, TSECep2Security::SECcHashLength256);
    grid->addWidget(new QLabel(kFieldCaptions[i], this), i, 0);
    grid->addWidget(fields_[i], i, 1);
  }
  // The length fields follow modulus and exponent.
  for (const auto& [text, length] :
       {std::pair{Modulus, ModulusLength}, std::pair{Exponent, ExponentLength}}) {
    connect(fields_[text], &QLineEdit::textChanged, this, [this, length](const QString& hex) {
      fields_[length]->setText(QString::number(KFMHexPairs(hex.toStdString())));
    });
  }
  status_ = new QLabel(this);
  status_->setObjectName("Status");
  grid->addWidget(status_, FieldCount, 0, 1, 2);
  hexValue_ = HexField("HexValue");
  base64Value_ = HexField("Base64Value");
  grid->addWidget(new QLabel("Hex Value", this), FieldCount + 1, 0);
  grid->addWidget(hexValue_, FieldCount + 1, 1);
  grid->addWidget(new QLabel("Base64 Value", this), FieldCount + 2, 0);
  grid->addWidget(base64Value_, FieldCount + 2, 1);
  connect(hexValue_, &QLineEdit::textChanged, this, [this](const QString& hex) {
    if (bEditing_) return;
    std::string base64;
    if (TUTBase64().EncodeData(UTHHexToString(hex.toStdString()), base64)) return;
    bEditing_ = true;
    base64Value_->setText(Text(base64));
    bEditing_ = false;
  });
  connect(base64Value_, &QLineEdit::textChanged, this, [this](const QString& base64) {
    if (bEditing_) return;
    std::string bytes;
    if (TUTBase64().DecodeData(base64.toStdString(), bytes) != TUTBase64::UTBcOk) return;
    bEditing_ = true;
    hexValue_->setText(Text(UTHStringToCompactHex(bytes)));
    bEditing_ = false;
  });

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(Button("Decompose", [this] { Decompose(); }));
  buttons->addWidget(Button("Import from File...", [this] { ImportFromFile(); }));
  buttons->addWidget(Button("Formatted Key", [this] { FormattedKey(); }));
  buttons->addWidget(Button("Export to File...", [this] { ExportToFile(); }));
  buttons->addWidget(Button("Use Now", [this] { UseNow(); }));
  buttons->addStretch();
  buttons->addWidget(CloseButton());
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addLayout(buttons);
}

TKFMFields TForm25::Fields() const {
  auto text = [this](TField f) { return fields_[f]->text().toStdString(); };
  return {text(OwnerId),
          text(Index),
          text(ExpDate),
          text(HashIndicator),
          text(KeyAlgorithmIndicator),
          text(ModulusLength),
          text(ExponentLength),
          text(Modulus),
          text(Exponent),
          text(HashResult)};
}

void TForm25::ShowFields(const TEp2PublicKey& key) {
  const TKFMFields f = KFMFieldsOf(key);
  const std::string* texts[] = {
      &f.ownerId,       &f.index,          &f.expDate, &f.hashIndicator, &f.keyAlgorithmIndicator,
      &f.modulusLength, &f.exponentLength, &f.modulus, &f.exponent,      &f.hashResult};
  for (int i = 0; i < FieldCount; ++i) fields_[i]->setText(Text(*texts[i]));
  // The record's own lengths, not the ones its modulus and exponent give.
  fields_[ModulusLength]->setText(Text(f.modulusLength));
  fields_[ExponentLength]->setText(Text(f.exponentLength));
}

void TForm25::ShowStatus(int result, const std::string& text) {
  if (result != 0) {
    status_->setStyleSheet("color: red");
    status_->setText(Text(text));
  } else {
    status_->setStyleSheet("color: green");
    status_->setText(Text(text + " (Hash verification passed) "));
  }
}

void TForm25::SetHexValue(const std::string& hex) {
  hexValue_->setText(Text(hex));
}

void TForm25::Decompose() {
  TEp2PublicKey key;
  std::string text;
  const int result = key.ParsePublicKeyData(hexValue_->text().toStdString(), text);
  ShowFields(key);
  ShowStatus(result, text);
}

void TForm25::ImportFromFile() {
  TCEXPublicKeyFileChooser chooser(Dialogs());
  TEp2PublicKey key(&chooser);
  key.SetShowFileDialog(true);
  std::string data, text;
  const int result = key.ImportFile(data, text);
  ShowStatus(result, text);
  // A cancelled file dialog leaves the fields as they are.
  if (key.GetFileName().empty()) return;
  ShowFields(key);
  SetHexValue(data);
}

void TForm25::FormattedKey() {
  TEp2PublicKey key;
  KFMStoreFields(Fields(), key);
  std::string data, text;
  if (key.ComputeFormattedKey(data, text) < 1) {
    SetHexValue(data);
  } else {
    Dialogs().CEXShowMessage(text);
  }
  fields_[HashResult]->setText(Text(key.GetHashResult()));
}

void TForm25::ExportToFile() {
  TCEXPublicKeyFileChooser chooser(Dialogs());
  TEp2PublicKey key(&chooser);
  key.SetShowFileDialog(true);
  KFMStoreFields(Fields(), key);
  std::string data, text;
  static_cast<void>(key.ExportFile(data, text));
  // A record that could not be built (or a cancelled dialog) leaves the hex
  // value as it is.
  if (!data.empty()) SetHexValue(data);
  Dialogs().CEXShowMessage(text);
  fields_[HashResult]->setText(Text(key.GetHashResult()));
}

void TForm25::UseNow() {
  const std::string message =
      KFMUseNow(Services().CEXConfiguration(), fields_[Index]->text().toStdString(),
                fields_[Modulus]->text().toStdString(), fields_[Exponent]->text().toStdString());
  if (!message.empty()) Dialogs().CEXShowMessage(message);
}

}  // namespace kal
