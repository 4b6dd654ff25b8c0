#pragma once

#include "tools/ui/ToolWindowCommon.h"

class QButtonGroup;

namespace kal {

class TInfoWindow;
class TKeyPanelWidget;

// "DES Encryption/Decryption": Triple-DES strings under the key panel's
// key. The upper pair encrypts the text of "Plain Text ASCII " (one byte per
// character) and decrypts into it and "Plain Text HEX"; the lower pair
// works on "Plain Text HEX" and "Cipher Text HEX". "Padding" index 0
// ("Mandatory $80 (ep2 Elements)") passes the padding flag. Each
// computation uses a security object of its own; its steps go to the info
// window, after a note on any hex digits of key or text the hex reader left
// out.
class TForm28 final : public TToolWindow {
  Q_OBJECT

 public:
  explicit TForm28(ICEXMainServices& services, QWidget* parent = nullptr);

 private:
  enum class TPair { Ascii, Hex };
  void Encrypt(TPair pair);
  void Decrypt(TPair pair);
  // Runs one string operation; false with "Error " + code in `out`. The
  // steps follow the notes already in `memo` into the info window.
  bool Run(bool encrypt, const std::string& in, std::vector<std::string>& memo, std::string& out);

  TKeyPanelWidget* keyPanel_;
  QButtonGroup* padding_;
  HexLineEdit* plainAscii_;
  HexLineEdit* cipherAscii_;
  HexLineEdit* plainHex_;
  HexLineEdit* cipherHex_;
  TInfoWindow* info_;
};

}  // namespace kal
