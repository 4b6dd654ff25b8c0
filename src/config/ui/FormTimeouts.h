#pragma once

#include "config/ui/EditDialog.h"

class QCheckBox;

namespace kal {

class TCFGConfig;

// "Timeouts and Delays": the four time-outs of the configuration in ms.
class TForm13 final : public TCFGEditDialog {
  Q_OBJECT

 public:
  TForm13(TCFGConfig& config, TTDBDebug* trace, QWidget* parent = nullptr);

 protected:
  void CFGLoadConfigData() override;
  void CFGSaveConfigData() override;

 private:
  TCFGConfig& config_;
  QLineEdit *charTimeout_, *responseTimeout_, *hangUpTimeout_, *connectionDelay_;
};

// "Plug Ins": address, port and activation of the outgoing and the incoming
// plug-in. Only an edit sets the changed flag.
class TForm_PLGPlugIns final : public TCFGEditDialog {
  Q_OBJECT

 public:
  TForm_PLGPlugIns(TCFGConfig& config, TTDBDebug* trace, QWidget* parent = nullptr);

 protected:
  void CFGLoadConfigData() override;
  void CFGSaveConfigData() override;

 private:
  TCFGConfig& config_;
  QLineEdit *outAddress_, *outPort_, *inAddress_, *inPort_;
  QCheckBox *outActive_, *inActive_;
};

}  // namespace kal
