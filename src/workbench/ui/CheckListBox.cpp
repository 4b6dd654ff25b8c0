#include "workbench/ui/CheckListBox.h"

namespace kal {

TUCBCheckListBox::TUCBCheckListBox(QWidget* parent) : QListWidget(parent) {
  connect(this, &QListWidget::itemChanged, this, [this] {
    if (!setting_) emit checksClicked();
  });
}

void TUCBCheckListBox::UCBAddItem(const QString& text) {
  setting_ = true;
  auto* it = new QListWidgetItem(text, this);
  it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  it->setCheckState(Qt::Unchecked);
  setting_ = false;
}

std::string TUCBCheckListBox::ItemText(int index) const {
  const QListWidgetItem* it = item(index);
  return it == nullptr ? std::string() : it->text().toStdString();
}

bool TUCBCheckListBox::Checked(int index) const {
  const QListWidgetItem* it = item(index);
  return it != nullptr && it->checkState() == Qt::Checked;
}

void TUCBCheckListBox::SetChecked(int index, bool checked) {
  QListWidgetItem* it = item(index);
  if (it == nullptr) return;
  setting_ = true;
  it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  setting_ = false;
}

}  // namespace kal
