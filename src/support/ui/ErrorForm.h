#pragma once

#include <QDialog>

#include "support/ErrorWindow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kal {

class TTDBDebug;

// The error window "Error Message Window": the code in Edit1, the text in
// Memo1, closed with "Ok".
class TForm8 final : public QDialog, public IERRErrorWindow {
  Q_OBJECT

 public:
  // `trace` (not owned, may be null) gets the class name at creation and a
  // line with the code and the text each time the window opens.
  explicit TForm8(TTDBDebug* trace, QWidget* parent = nullptr);

  void ERRSetError(int code, const std::string& detail) override;
  void ERRSetErrorMessage(int code, const std::string& text) override;

 private:
  void Show(int code, const std::string& text);

  QLabel* Label1_;
  QLabel* Label2_;
  QLineEdit* Edit1_;
  QPlainTextEdit* Memo1_;
  QPushButton* Ok_;
  TTDBDebug* trace_;
};

}  // namespace kal
