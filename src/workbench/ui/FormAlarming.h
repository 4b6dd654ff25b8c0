#pragma once

#include <QDialog>

class QLineEdit;

namespace kal {

class ICEXDialogs;
class ICEXMainServices;
class TRowEditGrid;

// The dialog "Alarming": the error rules (StringGrid1) and the response-time
// rules (StringGrid2) with the row editing of the shared grid, and the alarm
// log file (Edit1, "..." picks a file). "Ok" stores the file name (a
// directory a two-way alias names turned back into the alias) and rebuilds
// both rule lists from the grids; rows left empty are skipped.
class TForm20 final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int cMinRows = 5;  // rows below the header row

  TForm20(ICEXMainServices& main, ICEXDialogs& dialogs, QWidget* parent = nullptr);

  TRowEditGrid& ErrorGrid() { return *StringGrid1_; }
  TRowEditGrid& TimeGrid() { return *StringGrid2_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OkClick();

  ICEXMainServices& main_;
  ICEXDialogs& dialogs_;
  TRowEditGrid* StringGrid1_;
  TRowEditGrid* StringGrid2_;
  QLineEdit* Edit1_;
};

}  // namespace kal
