#pragma once

#include <QDialog>

class QButtonGroup;

namespace kal {

// "Printout Selection": which of the main window's views to print. "Ok"
// (default) stores the chosen index in PRSiPrintSelection and closes with
// 1; "Cancel" closes with -1 and leaves the field as it was.
class TForm2 final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int PRScItems = 8;
  static const char* const PRScItemTexts[PRScItems];

  explicit TForm2(QWidget* parent = nullptr);

  int PRSiPrintSelection = 0;

 private:
  QButtonGroup* RadioGroup1_;
};

}  // namespace kal
