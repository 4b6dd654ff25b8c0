#include "tools/ui/KeyPanelWidget.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "support/ui/FieldWidths.h"
#include "support/ui/HexLineEdit.h"
#include "tools/ui/ToolWindowCommon.h"

namespace kal {

TKeyPanelWidget::TKeyPanelWidget(TKPNKeyPanel panel, const char* defaultCaption,
                                 const QStringList& variantCaptions,
                                 const QStringList& useKeyCaptions, StepSink steps, QWidget* parent)
    : QGroupBox(parent), panel_(panel), steps_(std::move(steps)) {
  setObjectName("KeyPanel");
  auto* grid = new QGridLayout;
  key_ = new HexLineEdit(this);
  key_->setObjectName("Key");
  // Keys and their variants hold up to 24 bytes.
  FLWFitText(*key_, TFLWText::SpacedHex, TSECep2Security::SECcKeyLength24);
  grid->addWidget(new QLabel("Key (16 bytes hex)", this), 0, 0);
  grid->addWidget(key_, 0, 1);
  for (int i = 0; i < variantCaptions.size(); ++i) {
    auto* field = new HexLineEdit(this);
    field->setObjectName(QString("Variant%1").arg(i));
    FLWFitText(*field, TFLWText::SpacedHex, TSECep2Security::SECcKeyLength24);
    grid->addWidget(new QLabel(variantCaptions[i], this), i + 1, 0);
    grid->addWidget(field, i + 1, 1);
    variants_.push_back(field);
  }

  auto button = [this](const char* caption, std::function<void()> handler) {
    return ToolButton(this, caption, std::move(handler));
  };
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(button("Generate 16 Byte", [this] {
    key_->setText(QString::fromStdString(panel_.KPNRandomKey(16)));
  }));
  buttons->addWidget(button("Generate 24 Byte", [this] {
    key_->setText(QString::fromStdString(panel_.KPNRandomKey(24)));
  }));
  buttons->addWidget(button(defaultCaption, [this] {
    key_->setText(QString::fromStdString(TKPNKeyPanel::KPNDefaultKey(false)));
  }));
  buttons->addWidget(button("Default 24 Byte Key", [this] {
    key_->setText(QString::fromStdString(TKPNKeyPanel::KPNDefaultKey(true)));
  }));
  buttons->addWidget(button("Generate Variants", [this] {
    TSECMemo memo;
    const std::vector<std::string> texts =
        panel_.KPNVariants(key_->text().toStdString(), static_cast<int>(variants_.size()), &memo);
    for (size_t i = 0; i < variants_.size(); ++i)
      variants_[i]->setText(QString::fromStdString(texts[i]));
    if (steps_) steps_(memo);
  }));
  buttons->addStretch();

  auto* useKeyBox = new QGroupBox("Use key", this);
  auto* useKeyLayout = new QVBoxLayout(useKeyBox);
  useKey_ = new QButtonGroup(this);
  for (int i = 0; i < useKeyCaptions.size(); ++i) {
    auto* radio = new QRadioButton(useKeyCaptions[i], useKeyBox);
    radio->setObjectName(QString("UseKey%1").arg(i));
    useKey_->addButton(radio, i);
    useKeyLayout->addWidget(radio);
  }
  useKey_->button(0)->setChecked(true);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addLayout(buttons);
  layout->addWidget(useKeyBox);
}

std::string TKeyPanelWidget::ChosenKey(TSECMemo& notes) const {
  std::vector<std::string> fields;
  for (const HexLineEdit* field : variants_) fields.push_back(field->text().toStdString());
  const QAbstractButton* choice = useKey_->checkedButton();
  return TKPNKeyPanel::KPNChosenKey(useKey_->checkedId(), key_->text().toStdString(), fields,
                                    choice != nullptr ? choice->text().toStdString() : "", &notes);
}

}  // namespace kal
