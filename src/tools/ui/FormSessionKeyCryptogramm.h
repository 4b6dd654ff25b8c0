#pragma once

#include "tools/CryptogramFields.h"
#include "tools/ui/ToolWindowCommon.h"

class QButtonGroup;

namespace kal {

class TInfoWindow;

// "Session Key Cryptogramm": a session-key cryptogram built from its fields
// or split into them, encrypted and decrypted under the configured RSA keys
// ("RSA Variant" "RSA" or "RSAES-OAEP"), OAEP encoding and decoding with
// the seed field, and the two fixed encoding self-tests. Every computation
// uses a security object of its own; its steps go to the info window,
// after a note on any hex digits of its input the hex reader left out. The
// fields are filled from the configuration each time the window is shown
// and by "Fill Values".
class TFormCRYSessionKeyCryptogramm final : public TToolWindow {
  Q_OBJECT

 public:
  explicit TFormCRYSessionKeyCryptogramm(ICEXMainServices& services, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool Oaep() const;
  void FillValues();
  void ClearValues();
  void Parse();
  void GenerateCryptogramm();
  void GenerateRandom();
  void EncryptRsa();
  void DecryptRsa();
  void EncodeOaep();
  void DecodeOaep();
  void RunEncodingTest(const TSKCEncodingTest& test, bool zeroInFront);
  // The configured public modulus length in bytes (leading zero bytes not
  // counted).
  int ModulusLength() const;
  void SetSender(const std::string& bytes);

  HexLineEdit* cryptogramm_;
  HexLineEdit* leadingByte_;
  HexLineEdit* senderId_;
  HexLineEdit* senderAscii_;
  HexLineEdit* sessionKey_;
  HexLineEdit* componentSecret_;
  HexLineEdit* rsaEncrypted_;
  HexLineEdit* seed_;
  HexLineEdit* oaepEncoded_;
  QButtonGroup* variant_;
  QPushButton* encode_;
  QPushButton* decode_;
  TInfoWindow* info_;
};

}  // namespace kal
