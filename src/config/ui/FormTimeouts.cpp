#include "config/ui/FormTimeouts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/Config.h"

namespace kal {

namespace {

constexpr const char* kNumeric = "Value must be numeric";

QHBoxLayout* OkCancel(QPushButton* ok, QPushButton* cancel) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  return buttons;
}

}  // namespace

TForm13::TForm13(TCFGConfig& config, TTDBDebug* trace, QWidget* parent)
    : TCFGEditDialog("TForm13", trace, true, parent), config_(config) {
  setWindowTitle("Timeouts and Delays");
  charTimeout_ = CFGNumberField("Edit1", kNumeric);
  responseTimeout_ = CFGNumberField("Edit2", kNumeric);
  hangUpTimeout_ = CFGNumberField("Edit3", kNumeric);
  connectionDelay_ = CFGNumberField("Edit4", kNumeric);
  auto* form = new QFormLayout;
  form->addRow("Character timeout [ms]", charTimeout_);
  form->addRow("Response message timeout [ms]", responseTimeout_);
  form->addRow("Modem hang up timeout [ms]", hangUpTimeout_);
  form->addRow("Delay after establishing connection [ms]", connectionDelay_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(OkCancel(CFGOkButton(), CFGCancelButton()));
  CFGFitLayout();
}

void TForm13::CFGLoadConfigData() {
  charTimeout_->setText(QString::number(config_.CFGGetInterCharTimeout()));
  responseTimeout_->setText(QString::number(config_.CFGGetServerResponseTimeout()));
  hangUpTimeout_->setText(QString::number(config_.CFGGetHangUpTimeout()));
  connectionDelay_->setText(QString::number(config_.CFGGetConnectionDelay()));
}

void TForm13::CFGSaveConfigData() {
  config_.CFGSetInterCharTimeout(CFGNumber(charTimeout_));
  config_.CFGSetServerResponseTimeout(CFGNumber(responseTimeout_));
  config_.CFGSetHangUpTimeout(CFGNumber(hangUpTimeout_));
  config_.CFGSetConnectionDelay(CFGNumber(connectionDelay_));
}

TForm_PLGPlugIns::TForm_PLGPlugIns(TCFGConfig& config, TTDBDebug* trace, QWidget* parent)
    : TCFGEditDialog("TForm_PLGPlugIns", trace, false, parent), config_(config) {
  setWindowTitle("Plug Ins");
  auto group = [this](const char* caption, const char* address, const char* port,
                      const char* active, QLineEdit*& addressField, QLineEdit*& portField,
                      QCheckBox*& activeBox) {
    auto* box = new QGroupBox(caption);
    auto* form = new QFormLayout(box);
    addressField = CFGTextField(address);
    portField = CFGNumberField(port, kNumeric);
    activeBox = new QCheckBox("Activate", box);
    activeBox->setObjectName(active);
    connect(activeBox, &QCheckBox::toggled, this, [this] { CFGMarkChanged(); });
    form->addRow("IP Address", addressField);
    form->addRow("IP Port", portField);
    form->addRow(activeBox);
    return box;
  };
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      group("Outgoing Message:", "Edit1", "Edit2", "CheckBox1", outAddress_, outPort_, outActive_));
  layout->addWidget(
      group("Incoming Message:", "Edit3", "Edit4", "CheckBox2", inAddress_, inPort_, inActive_));
  layout->addLayout(OkCancel(CFGOkButton(), CFGCancelButton()));
  CFGFitLayout();
}

void TForm_PLGPlugIns::CFGLoadConfigData() {
  outAddress_->setText(QString::fromStdString(config_.CFGGetPluginOutIPAddress()));
  outPort_->setText(QString::number(config_.CFGGetPluginOutIPPort()));
  outActive_->setChecked(config_.CFGGetActivatePluginOut() != 0);
  inAddress_->setText(QString::fromStdString(config_.CFGGetPluginInIPAddress()));
  inPort_->setText(QString::number(config_.CFGGetPluginInIPPort()));
  inActive_->setChecked(config_.CFGGetActivatePluginIn() != 0);
}

void TForm_PLGPlugIns::CFGSaveConfigData() {
  config_.CFGSetPluginOutIPAddress(outAddress_->text().toStdString());
  config_.CFGSetPluginOutIPPort(CFGNumber(outPort_));
  config_.CFGSetActivatePluginOut(outActive_->isChecked() ? 1 : 0);
  config_.CFGSetPluginInIPAddress(inAddress_->text().toStdString());
  config_.CFGSetPluginInIPPort(CFGNumber(inPort_));
  config_.CFGSetActivatePluginIn(inActive_->isChecked() ? 1 : 0);
}

}  // namespace kal
