#include "tools/ui/FormFormatXml.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "support/TraceLogger.h"
#include "support/ui/FormSERSearch.h"
#include "support/ui/PrintCanvas.h"
#include "tools/Conversions.h"
#include "tools/ui/ToolWindowCommon.h"
#include "workbench/MainServices.h"

namespace kal {

TForm24::TForm24(ICEXMainServices& services, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm24");
  setWindowTitle("Format XML Document");
  services.CEXTrace().TDBSimpleAddString("TForm24");

  prompt_ = new TForm16(this);
  Memo1_ = new TToolPrintMemo(prompt_, this);
  Memo1_->setObjectName("Memo1");
  Memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);  // a memo line is a text line
  Memo1_->setMinimumSize(560, 360);
  Memo1_->installEventFilter(this);
  Memo1_->viewport()->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* caption, const char* objectName, std::function<void()> handler) {
    buttons->addWidget(ToolButton(this, caption, std::move(handler), objectName));
  };
  button("Format XML", "FormatXML", [this] { FormatXml(); });
  button("Print...", "PrintDialog", [this] { PrintMemo(true); });
  buttons->addStretch();
  button("Close", "Close", [this] { close(); });

  StatusBar1_ = new QStatusBar(this);
  StatusBar1_->setObjectName("StatusBar1");
  StatusBar1_->setSizeGripEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo1_);
  layout->addLayout(buttons);
  layout->addWidget(StatusBar1_);
}

void TForm24::SetMessageSink(TMessageSink sink) {
  sink_ = sink;
  Memo1_->SetMessageSink(std::move(sink));
}

void TForm24::FormatXml() {
  const TCNVXmlResult result = CNVFormatXmlDocument(Memo1_->toPlainText().toStdString());
  const QString text = QString::fromStdString(result.text);
  switch (result.status) {
    case TCNVXmlFormat::Empty:
      return;
    case TCNVXmlFormat::Formatted:
      Memo1_->setPlainText(text);
      return;
    case TCNVXmlFormat::Failed:
      if (sink_) {
        sink_(text);
      } else {
        QMessageBox::information(this, windowTitle(), text);
      }
      return;
  }
}

void TForm24::SetPrinterChoice(TPrinterChoice choice) {
  choice_ = std::move(choice);
  // The memo's own "Print" asks the same choice, without the set-up dialog.
  if (choice_) {
    Memo1_->SetPrinterChoice([this](QPrinter& printer) { return choice_(printer, false); });
  } else {
    Memo1_->SetPrinterChoice({});
  }
}

void TForm24::PrintMemo(bool setup) {
  if (!setup) {
    static_cast<void>(Memo1_->Print());
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  bool chosen = false;
  if (choice_) {
    chosen = choice_(printer, true);
  } else {
    QPrintDialog dialog(&printer, this);
    chosen = dialog.exec() == QDialog::Accepted;
  }
  if (!chosen) return;
  static_cast<void>(PRSPrintMemoField(printer, Memo1_->toPlainText().toStdString()));
}

void TForm24::ShowCaretPosition() {
  const QTextCursor cursor = Memo1_->textCursor();
  StatusBar1_->showMessage(
      QString("Line %1 Column %2").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1));
}

bool TForm24::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1_->viewport() && event->type() == QEvent::MouseButtonPress) {
    // The caret moves when the memo handles the press, after this filter.
    QMetaObject::invokeMethod(this, &TForm24::ShowCaretPosition, Qt::QueuedConnection);
  } else if ((watched == Memo1_->viewport() && event->type() == QEvent::MouseButtonRelease) ||
             (watched == Memo1_ && event->type() == QEvent::KeyRelease)) {
    ShowCaretPosition();
  }
  return QDialog::eventFilter(watched, event);
}

void TForm24::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Memo1_->setFocus();
}

}  // namespace kal
