#pragma once

#include "config/ui/EditDialog.h"

class QButtonGroup;
class QCheckBox;

namespace kal {

class TCFGConfig;

// "Message Header Parameters": the header items of the configuration (ids,
// secret, versions, encoding information, identifier types with their user
// values, public key index, upgrade flag, XML header items).
class TForm7 final : public TCFGEditDialog {
  Q_OBJECT

 public:
  // `config` (not owned) outlives the dialog.
  TForm7(TCFGConfig& config, TTDBDebug* trace, QWidget* parent = nullptr);

 protected:
  void CFGLoadConfigData() override;
  void CFGSaveConfigData() override;

 private:
  TCFGConfig& config_;
  QLineEdit *componentId_, *componentSecret_, *versionNumber_, *specVersion_;
  QButtonGroup *encoding_, *senderType_, *ownerType_;
  QLineEdit *userSenderType_, *userSenderLength_, *userOwnerType_, *userOwnerLength_;
  QLineEdit *ownerId_, *keyIndex_;
  QCheckBox* upgrade_;
  QLineEdit *xmlHeader_, *xmlAttrib_, *xmlValue_;
};

}  // namespace kal
