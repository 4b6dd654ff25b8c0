#include "support/ui/FormPrintSelection.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kal {

const char* const TForm2::PRScItemTexts[PRScItems] = {
    "Source Window",
    "Send Message: XML Document",
    "Send Message: Data Stream",
    "Received Message: Reference Structure",
    "Received Message: Message Content",
    "Received Message: Header and Security Items",
    "Received Message: XML Document",
    "Received Message: Data Stream",
};

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm2");
  setWindowTitle("Printout Selection");
  auto* box = new QGroupBox("Print", this);
  box->setObjectName("RadioGroup1");
  auto* boxLayout = new QVBoxLayout(box);
  RadioGroup1_ = new QButtonGroup(this);
  for (int i = 0; i < PRScItems; ++i) {
    auto* radio = new QRadioButton(PRScItemTexts[i], box);
    radio->setObjectName(QString("RadioItem%1").arg(i));
    RadioGroup1_->addButton(radio, i);
    boxLayout->addWidget(radio);
  }
  RadioGroup1_->button(0)->setChecked(true);
  PRSiPrintSelection = RadioGroup1_->checkedId();

  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, [this] {
    PRSiPrintSelection = RadioGroup1_->checkedId();
    done(1);
  });
  connect(cancel, &QPushButton::clicked, this, [this] { done(-1); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addLayout(buttons);
}

}  // namespace kal
