#include "support/ui/ErrorForm.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "support/ErrorTable.h"
#include "support/TraceLogger.h"

namespace kal {

TForm8::TForm8(TTDBDebug* trace, QWidget* parent) : QDialog(parent), trace_(trace) {
  setObjectName("TForm8");
  setWindowTitle("Error Message Window");

  Label1_ = new QLabel("Error Message", this);
  Label1_->setObjectName("Label1");
  QFont bold = Label1_->font();
  bold.setBold(true);
  Label1_->setFont(bold);
  Label2_ = new QLabel("Error ID", this);
  Label2_->setObjectName("Label2");
  Edit1_ = new QLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Edit1_->setReadOnly(true);
  Memo1_ = new QPlainTextEdit(this);
  Memo1_->setObjectName("Memo1");
  Memo1_->setReadOnly(true);
  Ok_ = new QPushButton("Ok", this);
  Ok_->setObjectName("Ok");
  Ok_->setDefault(true);
  connect(Ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* idRow = new QHBoxLayout;
  idRow->addWidget(Label2_);
  idRow->addWidget(Edit1_, 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(Ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1_);
  layout->addLayout(idRow);
  layout->addWidget(Memo1_, 1);
  layout->addLayout(buttonRow);
  resize(480, 300);

  // Opens centred on the screen rather than over whichever window is active.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  if (trace != nullptr) trace->TDBSimpleAddString("TForm8");
}

void TForm8::ERRSetError(int code, const std::string& detail) {
  Show(code, TERRErrorTable::ERRComposeText(code, detail));
}

void TForm8::ERRSetErrorMessage(int code, const std::string& text) {
  Show(code, text);
}

void TForm8::Show(int code, const std::string& text) {
  Edit1_->setText(QString::number(code));
  Memo1_->setPlainText(QString::fromStdString(text));
  // A call made while the window is up (from a timer or a link event during
  // the modal loop) only replaces what it shows.
  if (isVisible()) return;
  if (trace_ != nullptr)
    trace_->TDBSimpleAddString("Error window " + std::to_string(code) + ": " + text);
  exec();
}

}  // namespace kal
