#include "support/ui/FormSERSearch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kal {

TForm16::TForm16(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm16");
  setWindowTitle("Search text");
  setModal(true);
  Label1_ = new QLabel("Search text", this);
  Label1_->setObjectName("Label1");
  Edit1_ = new QLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Ok_ = new QPushButton("Ok", this);
  Ok_->setObjectName("Ok");
  Ok_->setDefault(true);
  Cancel_ = new QPushButton("Cancel", this);
  Cancel_->setObjectName("Cancel");
  connect(Ok_, &QPushButton::clicked, this, [this] { done(kOk); });
  connect(Cancel_, &QPushButton::clicked, this, [this] { done(kCancel); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Ok_);
  buttons->addWidget(Cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1_);
  layout->addWidget(Edit1_);
  layout->addLayout(buttons);
}

int TForm16::Execute() {
  return exec();
}

QString TForm16::SearchText() const {
  return Edit1_->text();
}

void TForm16::reject() {
  done(kCancel);
}

void TForm16::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Edit1_->setFocus();
  Edit1_->selectAll();
}

}  // namespace kal
