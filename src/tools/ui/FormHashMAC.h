#pragma once

#include "tools/ui/ToolWindowCommon.h"

class QButtonGroup;
class QPlainTextEdit;

namespace kal {

class TInfoWindow;
class TKeyPanelWidget;

// "Hash and MAC Computation": "Compute Hash" takes the hash ("Hash
// Algorithm" index + 1: SHA-1 or SHA-256) of the data memo's hex bytes into
// "Hash"; "Compute MAC" takes the retail MAC of the bytes of "Hash" under
// the key panel's key into "MAC". Each computation uses a security object of
// its own; its steps go to the info window, after a note on any hex digits
// of data, hash or key the hex reader left out.
class TForm26 final : public TToolWindow {
  Q_OBJECT

 public:
  explicit TForm26(ICEXMainServices& services, QWidget* parent = nullptr);

 private:
  void ComputeHash();
  void ComputeMac();

  TKeyPanelWidget* keyPanel_;
  QPlainTextEdit* data_;
  QButtonGroup* algorithm_;
  HexLineEdit* hash_;
  HexLineEdit* mac_;
  TInfoWindow* info_;
};

}  // namespace kal
