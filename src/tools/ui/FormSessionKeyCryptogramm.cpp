#include "tools/ui/FormSessionKeyCryptogramm.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/Config.h"
#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/HexLineEdit.h"
#include "tools/HexInput.h"
#include "tools/KeyPanel.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// The field's bytes; digits the hex reader left out are noted under the
// field's caption.
std::string Bytes(const HexLineEdit* field, TSECMemo& notes) {
  return HXIReadHex(field->text().toStdString(), field->accessibleName().toStdString(), &notes);
}

bool Blank(const HexLineEdit* field) {
  return field->text().trimmed().isEmpty();
}

}  // namespace

TFormCRYSessionKeyCryptogramm::TFormCRYSessionKeyCryptogramm(ICEXMainServices& services,
                                                             QWidget* parent)
    : TToolWindow(services, "TFormCRYSessionKeyCryptogramm", "Session Key Cryptogramm", parent) {
  info_ = new TInfoWindow(SearchPrompt(), this);
  auto* grid = new QGridLayout;
  int row = 0;
  auto field = [&](const char* caption, const char* name) {
    HexLineEdit* f = HexField(name);
    f->setAccessibleName(caption);
    grid->addWidget(new QLabel(caption, this), row, 0);
    grid->addWidget(f, row, 1);
    ++row;
    return f;
  };
  cryptogramm_ = field("Cryptogramm (Hex)", "Cryptogramm");
  leadingByte_ = field("Leading Byte", "LeadingByte");
  senderId_ = field("Sender Identifier", "SenderId");
  senderAscii_ = field("ASCII", "SenderAscii");
  sessionKey_ = field("Session Key", "SessionKey");
  componentSecret_ = field("Component Secret", "ComponentSecret");
  rsaEncrypted_ = field("RSA Encrypted Cryptogramm (Hex)", "RsaEncrypted");
  seed_ = field("Seed", "Seed");
  oaepEncoded_ = field("RSAES_OAEP Encoded Cryptogramm (Hex)", "OaepEncoded");
  leadingByte_->setText("7F");
  // The plain cryptogram and the seed (as long as a SHA-256 hash) are of
  // fixed length; the RSA results are as long as the modulus and scroll.
  FLWFitText(*cryptogramm_, TFLWText::SpacedHex,
             static_cast<int>(TSECep2Security::SECcMinCryptogrammLength));
  FLWFitText(*seed_, TFLWText::SpacedHex, TSECep2Security::SECcHashLength256);

  auto* variantBox = new QGroupBox("RSA Variant", this);
  auto* variantLayout = new QVBoxLayout(variantBox);
  variant_ = new QButtonGroup(this);
  const char* variants[] = {"RSA", "RSAES-OAEP"};
  for (int i = 0; i < 2; ++i) {
    auto* radio = new QRadioButton(variants[i], variantBox);
    radio->setObjectName(QString("RSAVariant%1").arg(i));
    variant_->addButton(radio, i);
    variantLayout->addWidget(radio);
  }
  variant_->button(0)->setChecked(true);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(variantBox);
  buttons->addWidget(Button("Fill Values", [this] { FillValues(); }));
  buttons->addWidget(Button("Clear Values", [this] { ClearValues(); }));
  buttons->addWidget(Button("Parse", [this] { Parse(); }));
  buttons->addWidget(Button("Generate Cryptogramm", [this] { GenerateCryptogramm(); }));
  buttons->addWidget(Button("Generate Random", [this] { GenerateRandom(); }));
  buttons->addWidget(Button("Encrypt RSA", [this] { EncryptRsa(); }));
  buttons->addWidget(Button("Decrypt RSA", [this] { DecryptRsa(); }));
  encode_ = Button("Encode RSAES OAEP", [this] { EncodeOaep(); });
  decode_ = Button("Decode RSAES OAEP", [this] { DecodeOaep(); });
  buttons->addWidget(encode_);
  buttons->addWidget(decode_);
  buttons->addWidget(
      Button("Test RSA Lab", [this] { RunEncodingTest(kSKCFixedValues.testRsaLab, false); }));
  buttons->addWidget(
      Button("Test ep2 Spec", [this] { RunEncodingTest(kSKCFixedValues.testEp2Spec, true); }));
  buttons->addStretch();
  buttons->addWidget(CloseButton());
  const auto follow = [this] {
    encode_->setEnabled(Oaep());
    decode_->setEnabled(Oaep());
  };
  connect(variant_, &QButtonGroup::idToggled, this, follow);
  follow();

  auto* left = new QVBoxLayout;
  left->addLayout(grid);
  left->addWidget(info_, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);
}

void TFormCRYSessionKeyCryptogramm::showEvent(QShowEvent* event) {
  FillValues();
  TToolWindow::showEvent(event);
}

bool TFormCRYSessionKeyCryptogramm::Oaep() const {
  return variant_->checkedId() == 1;
}

void TFormCRYSessionKeyCryptogramm::SetSender(const std::string& bytes) {
  senderId_->setText(Text(UTHStringToHex(bytes)));
  senderAscii_->setText(ToolLatin1Text(bytes));
}

void TFormCRYSessionKeyCryptogramm::FillValues() {
  const TCFGConfig& config = Services().CEXConfiguration();
  leadingByte_->setText("7F");
  SetSender(config.CFGGetComponentID());
  sessionKey_->setText(Text(config.CFGGetSessionKey()));
  componentSecret_->setText(Text(config.CFGGetComponentSecret()));
  seed_->setText(kSKCFixedValues.defaultSeed);
}

void TFormCRYSessionKeyCryptogramm::ClearValues() {
  for (HexLineEdit* f :
       {cryptogramm_, leadingByte_, senderId_, senderAscii_, sessionKey_, componentSecret_, seed_})
    f->clear();
}

void TFormCRYSessionKeyCryptogramm::Parse() {
  TSKCFields fields;
  const std::string message = SKCSplitCryptogramm(cryptogramm_->text().toStdString(), fields);
  if (!message.empty()) {
    Dialogs().CEXShowMessage(message);
    return;
  }
  leadingByte_->setText(Text(fields.leadingByte));
  senderId_->setText(Text(fields.senderId));
  senderAscii_->setText(ToolLatin1Text(UTHHexToString(fields.senderId)));
  sessionKey_->setText(Text(fields.sessionKey));
  componentSecret_->setText(Text(fields.componentSecret));
}

void TFormCRYSessionKeyCryptogramm::GenerateCryptogramm() {
  const TSKCFields fields{leadingByte_->text().toStdString(), senderId_->text().toStdString(),
                          sessionKey_->text().toStdString(),
                          componentSecret_->text().toStdString()};
  cryptogramm_->setText(Text(SKCJoinCryptogramm(fields)));
}

void TFormCRYSessionKeyCryptogramm::GenerateRandom() {
  TSECep2Security security(4000, Services().CEXRandomSource());
  security.SECInitRandomgenerator();
  seed_->setText(Text(UTHStringToHex(security.SECGetRandomNumber(32))));
}

int TFormCRYSessionKeyCryptogramm::ModulusLength() const {
  const std::string modulus =
      UTHHexToString(Services().CEXConfiguration().CFGGetPublicKeyModulus());
  const size_t first = modulus.find_first_not_of('\0');
  return first == std::string::npos ? 0 : static_cast<int>(modulus.size() - first);
}

void TFormCRYSessionKeyCryptogramm::EncryptRsa() {
  const TCFGConfig& config = Services().CEXConfiguration();
  if (!Oaep() && Blank(cryptogramm_)) GenerateCryptogramm();
  TSECMemo notes;
  std::string plain = Bytes(Oaep() ? oaepEncoded_ : cryptogramm_, notes);
  info_->Append(notes);
  TSECep2Security security(4000, Services().CEXRandomSource());
  std::string encrypted;
  const int rc =
      security.SECRSAEncryptString(plain, UTHHexToString(config.CFGGetPublicKeyExponent()),
                                   UTHHexToString(config.CFGGetPublicKeyModulus()), encrypted);
  SecureWipe(plain);
  if (rc != 0) {
    Dialogs().CEXShowMessage("Cryptogramm encription failed");
    return;
  }
  rsaEncrypted_->setText(Text(UTHStringToHex(encrypted)));
}

void TFormCRYSessionKeyCryptogramm::DecryptRsa() {
  if (Blank(rsaEncrypted_)) return;
  const TCFGConfig& config = Services().CEXConfiguration();
  TSECMemo notes;
  const std::string encrypted = Bytes(rsaEncrypted_, notes);
  info_->Append(notes);
  TSECep2Security security(4000, Services().CEXRandomSource());
  std::string plain;
  const int rc =
      security.SECRSADecryptString(encrypted, UTHHexToString(config.CFGGetPrivateKeyExponent()),
                                   UTHHexToString(config.CFGGetPrivateKeyModulus()), Oaep(), plain);
  if (rc != 0) {
    Dialogs().CEXShowMessage("Cryptogramm decription failed");
    return;
  }
  if (Oaep()) {
    oaepEncoded_->setText(Text("00 " + UTHStringToHex(plain)));
  } else {
    cryptogramm_->setText(Text(UTHStringToHex(plain)));
  }
  SecureWipe(plain);
}

void TFormCRYSessionKeyCryptogramm::EncodeOaep() {
  TSECep2Security security(4000, Services().CEXRandomSource());
  TSECMemo memo;
  const std::string message = Bytes(cryptogramm_, memo);
  const std::string seed = Bytes(seed_, memo);
  std::string encoded;
  const int rc =
      security.SECComputeEncodedMessage(&memo, message, seed, 2, ModulusLength(), encoded);
  info_->Append(memo);
  oaepEncoded_->setText(Text(rc == 0 ? "00 " + UTHStringToHex(encoded) : KPNErrorText(rc)));
}

void TFormCRYSessionKeyCryptogramm::DecodeOaep() {
  TSECep2Security security(4000, Services().CEXRandomSource());
  TSECMemo memo;
  const std::string encoded = Bytes(oaepEncoded_, memo);
  std::string seed, message;
  const int rc =
      security.SECComputeDecodedMessage(&memo, encoded, 2, ModulusLength(), seed, message);
  info_->Append(memo);
  if (rc != 0) {
    cryptogramm_->setText(Text(KPNErrorText(rc)));
    return;
  }
  cryptogramm_->setText(Text(UTHStringToHex(message)));
  seed_->setText(Text(UTHStringToHex(seed)));
}

void TFormCRYSessionKeyCryptogramm::RunEncodingTest(const TSKCEncodingTest& test,
                                                    bool zeroInFront) {
  TSECep2Security security(4000, Services().CEXRandomSource());
  TSECMemo memo;
  std::string encoded;
  const int rc = security.SECComputeEncodedMessage(&memo, UTHHexToString(test.message),
                                                   UTHHexToString(test.seed), test.hashAlgorithm,
                                                   test.encodedLength, encoded);
  info_->Append(memo);
  std::string text = rc == 0 ? UTHStringToHex(encoded) : KPNErrorText(rc);
  if (rc == 0 && zeroInFront) text.insert(0, "00 ");
  oaepEncoded_->setText(Text(text));
}

}  // namespace kal
