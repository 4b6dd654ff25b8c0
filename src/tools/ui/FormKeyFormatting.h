#pragma once

#include <array>

#include "tools/KeyFormatting.h"
#include "tools/ui/ToolWindowCommon.h"

class QLabel;

namespace kal {

class TEp2PublicKey;

// "Key Formatting": one public-key record in its fields, as "Hex Value" and
// as "Base64 Value" (the two follow each other's changes; a busy flag keeps
// the follower's change from starting the other way). "Decompose" reads the
// hex value, "Import from File..." a key file; "Formatted Key" and "Export
// to File..." build the record from the fields; "Use Now" takes index,
// modulus and exponent into the configuration. The length fields follow
// every change of modulus and exponent. File dialogs go through the
// window's dialogs.
class TForm25 final : public TToolWindow {
  Q_OBJECT

 public:
  explicit TForm25(ICEXMainServices& services, QWidget* parent = nullptr);

 private:
  enum TField {
    OwnerId,
    Index,
    ExpDate,
    HashIndicator,
    KeyAlgorithmIndicator,
    ModulusLength,
    ExponentLength,
    Modulus,
    Exponent,
    HashResult,
    FieldCount
  };
  TKFMFields Fields() const;
  void ShowFields(const TEp2PublicKey& key);
  // The status label: `text` in red, or in green with " (Hash verification
  // passed) " appended when `result` is 0.
  void ShowStatus(int result, const std::string& text);
  void Decompose();
  void ImportFromFile();
  void FormattedKey();
  void ExportToFile();
  void UseNow();
  void SetHexValue(const std::string& hex);

  std::array<HexLineEdit*, FieldCount> fields_{};
  QLabel* status_;
  HexLineEdit* hexValue_;
  HexLineEdit* base64Value_;
  bool bEditing_ = false;
};

}  // namespace kal
