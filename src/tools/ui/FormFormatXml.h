#pragma once

#include <QDialog>
#include <functional>

#include "tools/ui/ToolWindowCommon.h"

class QPrinter;
class QStatusBar;

namespace kal {

class ICEXMainServices;
class TForm16;

// "Format XML Document": a memo, "Format XML", "Print...", "Close" and a
// status bar showing the caret's "Line n Column m" after a click or a key
// release in the memo. "Format XML" replaces the memo with the formatted
// document, or shows the parser's message and leaves the memo as it was.
// The memo's "Print" prints on the default printer (a PDF file where none
// exists); "Print..." asks in the printer set-up dialog first.
class TForm24 final : public QDialog {
  Q_OBJECT

 public:
  // Prepares the printer; `setup` is true for "Print...". False: nothing is
  // printed.
  using TPrinterChoice = std::function<bool(QPrinter& printer, bool setup)>;
  using TMessageSink = std::function<void(const QString&)>;

  explicit TForm24(ICEXMainServices& services, QWidget* parent = nullptr);

  void FormatXml();
  void PrintMemo(bool setup);

  // Seams: where messages and the printer choice go (message boxes and the
  // printer dialogs when not set).
  void SetMessageSink(TMessageSink sink);
  void SetPrinterChoice(TPrinterChoice choice);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ShowCaretPosition();

  TForm16* prompt_;
  TToolPrintMemo* Memo1_;
  QStatusBar* StatusBar1_;
  TMessageSink sink_;
  TPrinterChoice choice_;
};

}  // namespace kal
