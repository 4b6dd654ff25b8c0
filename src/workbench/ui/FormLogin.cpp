#include "workbench/ui/FormLogin.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/TraceLogger.h"

namespace kal {

TForm19::TForm19(TTDBDebug* trace, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm19");
  setWindowTitle("Kalmore Login");
  Edit1_ = new QLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Edit2_ = new QLineEdit(this);
  Edit2_->setObjectName("Edit2");
  Edit2_->setEchoMode(QLineEdit::Password);
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QFormLayout;
  fields->addRow("User Name", Edit1_);
  fields->addRow("Password", Edit2_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  if (trace != nullptr) trace->TDBSimpleAddString("TForm19");
}

bool TForm19::AUUExecute(std::string& user, std::string& password) {
  Edit1_->clear();
  Edit2_->clear();
  Edit1_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  user = Edit1_->text().toStdString();
  password = Edit2_->text().toStdString();
  return true;
}

}  // namespace kal
