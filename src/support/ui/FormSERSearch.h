#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kal {

// The modal search prompt "Search text": the find commands and the tool
// memos ask for their text here. The field keeps the last text between uses;
// "Ok" gives 1, "Cancel" (and the close box) 2.
class TForm16 final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  explicit TForm16(QWidget* parent = nullptr);

  // Shows the prompt modally and returns 1 or 2.
  int Execute();
  QString SearchText() const;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* Label1_;
  QLineEdit* Edit1_;
  QPushButton* Ok_;
  QPushButton* Cancel_;
};

}  // namespace kal
