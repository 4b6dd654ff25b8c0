#pragma once

#include <QListWidget>

#include "ep2/AttributeLetters.h"

namespace kal {

// A list with one check box per item (the attribute lists of the sequence,
// element and security-item windows). Each item's text begins with its
// letter. checksClicked() comes when the user ticks or clears an item, never
// when the program sets the checks.
class TUCBCheckListBox final : public QListWidget, public IUCBCheckList {
  Q_OBJECT

 public:
  explicit TUCBCheckListBox(QWidget* parent = nullptr);

  // Adds an unchecked item.
  void UCBAddItem(const QString& text);

  // IUCBCheckList
  int Count() const override { return count(); }
  std::string ItemText(int index) const override;
  bool Checked(int index) const override;
  void SetChecked(int index, bool checked) override;

 signals:
  void checksClicked();

 private:
  bool setting_ = false;
};

}  // namespace kal
