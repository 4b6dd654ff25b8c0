#include "config/ui/EditDialog.h"

#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "config/DialogFields.h"
#include "support/TraceLogger.h"

namespace kal {

TCFGEditDialog::TCFGEditDialog(const char* className, TTDBDebug* trace, bool loadingMarksChanged,
                               QWidget* parent)
    : QDialog(parent), loadingMarksChanged_(loadingMarksChanged) {
  setObjectName(className);
  if (trace != nullptr) trace->TDBSimpleAddString(className);
}

QPushButton* TCFGEditDialog::CFGOkButton() {
  auto* button = new QPushButton("Ok", this);
  button->setObjectName("Ok");
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &TCFGEditDialog::OkClick);
  return button;
}

QPushButton* TCFGEditDialog::CFGCancelButton() {
  auto* button = new QPushButton("Cancel", this);
  button->setObjectName("Cancel");
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &TCFGEditDialog::CancelClick);
  return button;
}

QLineEdit* TCFGEditDialog::CFGTextField(const char* name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  connect(edit, &QLineEdit::textChanged, this, [this] { CFGMarkChanged(); });
  return edit;
}

QLineEdit* TCFGEditDialog::CFGNumberField(const char* name, const char* message, int32_t min,
                                          int32_t max) {
  QLineEdit* edit = CFGTextField(name);
  numbers_.push_back({edit, message, min, max});
  const TNumberField field = numbers_.back();
  connect(edit, &QLineEdit::editingFinished, this, [this, field] { CheckNumber(field); });
  return edit;
}

bool TCFGEditDialog::CheckNumber(const TNumberField& field) {
  int32_t value = 0;
  if (CFGParseDialogNumber(field.edit->text().toStdString(), field.min, field.max, value))
    return true;
  CFGMessage(field.message);
  field.edit->setText("0");
  return false;
}

int32_t TCFGEditDialog::CFGNumber(QLineEdit* edit) {
  for (const TNumberField& field : numbers_) {
    if (field.edit != edit) continue;
    int32_t value = 0;
    if (CheckNumber(field))
      CFGParseDialogNumber(edit->text().toStdString(), field.min, field.max, value);
    return value;
  }
  return 0;
}

void TCFGEditDialog::CFGFitLayout() {
  if (layout() != nullptr) setMinimumSize(layout()->minimumSize());
}

void TCFGEditDialog::CFGMessage(const QString& text) {
  if (message_)
    message_(text);
  else
    QMessageBox::information(this, windowTitle(), text);
}

void TCFGEditDialog::showEvent(QShowEvent* event) {
  changed_ = false;
  loading_ = !loadingMarksChanged_;
  CFGLoadConfigData();
  loading_ = false;
  if (loadingMarksChanged_) changed_ = true;
  QDialog::showEvent(event);
}

void TCFGEditDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    CancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TCFGEditDialog::OkClick() {
  const bool stored = changed_;
  if (stored) CFGSaveConfigData();
  changed_ = false;
  if (CFGOkAccepts(stored))
    accept();
  else
    QDialog::reject();
}

void TCFGEditDialog::CancelClick() {
  changed_ = false;
  cancelling_ = true;
  reject();
  cancelling_ = false;
}

void TCFGEditDialog::reject() {
  // Closing by the title bar stores what was edited.
  if (!cancelling_ && changed_) {
    CFGSaveConfigData();
    changed_ = false;
  }
  QDialog::reject();
}

}  // namespace kal
