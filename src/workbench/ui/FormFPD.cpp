#include "workbench/ui/FormFPD.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ep2/Ep2PublicKey.h"
#include "ep2/Ep2Security.h"
#include "support/ui/FieldWidths.h"

namespace kal {

namespace {

constexpr const char* kCaptions[10] = {"Public Key Owner Identifier",
                                       "Public Key Index",
                                       "Public Key Expiration Date",
                                       "Hash Algorithm Indicator",
                                       "Public Key Algorithm Indicator",
                                       "Public Key Modulus Length",
                                       "Public Key Exponent Length",
                                       "Public Key Modulus",
                                       "Public Key Exponent",
                                       "Hash Result"};

}  // namespace

TForm17::TForm17(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm17");
  setWindowTitle("Formatted Public Key Data");
  auto* form = new QFormLayout;
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setObjectName(QString("Edit%1").arg(i + 1));
    fields_[i]->setReadOnly(true);
    form->addRow(kCaptions[i], fields_[i]);
  }
  // A SHA-256 hash result at the longest; modulus and exponent are as long as
  // the RSA key and scroll.
  FLWFitText(*fields_[9], TFLWText::SpacedHex, TSECep2Security::SECcHashLength256);
  Status_ = new QLabel(this);
  Status_->setObjectName("Status");
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(2); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Status_);
  layout->addLayout(buttons);
}

void TForm17::FPDFill(const TEp2PublicKey& key, int result, const std::string& message) {
  const QString texts[10] = {QString::fromStdString(key.GetPublicKeyOwnerId()),
                             QString::number(key.GetPublicKeyIndex()),
                             QString::fromStdString(key.GetPublicKeyExpDate()),
                             QString::number(key.GetHashAlgorithmIndicator()),
                             QString::number(key.GetPublicKeyAlgorithmIndicator()),
                             QString::number(key.GetPublicKeyModulusLength()),
                             QString::number(key.GetPublicKeyExponentLength()),
                             QString::fromStdString(key.GetPublicKeyModulus()),
                             QString::fromStdString(key.GetPublicKeyExponent()),
                             QString::fromStdString(key.GetHashResult())};
  for (size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(texts[i]);
  if (result != 0) {
    Status_->setText(QString::fromStdString(message));
    Status_->setStyleSheet("color: red");
  } else {
    Status_->setText(QString::fromStdString(message) + " (Hash verification passed) ");
    Status_->setStyleSheet("color: green");
  }
}

int TForm17::FPDOpenForm(const TEp2PublicKey& key, int result, const std::string& message) {
  FPDFill(key, result, message);
  return exec();
}

}  // namespace kal
