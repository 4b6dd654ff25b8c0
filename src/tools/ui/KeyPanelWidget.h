#pragma once

#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "tools/KeyPanel.h"

class QButtonGroup;

namespace kal {

class HexLineEdit;

// The key panel of the DES and the hash and MAC windows: the key field
// "Key (16 bytes hex)" ("Key"), "Generate 16 Byte" and "Generate 24 Byte"
// (random keys from the main window's security object), the two default-key
// buttons, "Generate Variants" into the variant fields ("Variant0", ...) and
// the radio group "Use key" ("UseKey0", ...; item 0 the key itself).
class TKeyPanelWidget final : public QGroupBox {
  Q_OBJECT

 public:
  using StepSink = std::function<void(const TSECMemo&)>;

  // `defaultCaption` names the 16-byte default button; the variant fields
  // follow `variantCaptions`; `steps` gets the steps of the variants.
  TKeyPanelWidget(TKPNKeyPanel panel, const char* defaultCaption,
                  const QStringList& variantCaptions, const QStringList& useKeyCaptions,
                  StepSink steps, QWidget* parent);

  // The key bytes of the "Use key" choice; key digits the hex reader left
  // out are noted in `notes`.
  std::string ChosenKey(TSECMemo& notes) const;

 private:
  TKPNKeyPanel panel_;
  StepSink steps_;
  HexLineEdit* key_;
  std::vector<HexLineEdit*> variants_;
  QButtonGroup* useKey_;
};

}  // namespace kal
