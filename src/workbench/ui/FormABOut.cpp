#include "workbench/ui/FormABOut.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "support/TraceLogger.h"

namespace kal {

TForm12::TForm12(TTDBDebug* trace, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm12");
  setWindowTitle("About Kalmore");
  if (trace != nullptr) trace->TDBSimpleAddString("TForm12");
  auto picture = [this](QStyle::StandardPixmap which, const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setPixmap(style()->standardIcon(which).pixmap(48, 48));
    return label;
  };
  auto text = [this](const QString& caption, const char* name) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    return label;
  };
  Version_ = text("", "Version");
  auto* ok = new QPushButton("ok", this);
  ok->setObjectName("Ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(picture(QStyle::SP_ComputerIcon, "Image1"), 0, 0, 3, 1);
  layout->addWidget(text("Kalmore", "ProductName"), 0, 1);
  layout->addWidget(text("ep2 developers test tool", "Comments"), 1, 1);
  layout->addWidget(Version_, 2, 1);
  layout->addWidget(picture(QStyle::SP_DriveNetIcon, "Image2"), 0, 2, 3, 1);
  layout->addWidget(ok, 3, 1, Qt::AlignHCenter);
}

void TForm12::showEvent(QShowEvent* event) {
  Version_->setText("Version 7.0.1");
  QDialog::showEvent(event);
}

}  // namespace kal
