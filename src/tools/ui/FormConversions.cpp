#include "tools/ui/FormConversions.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

#include "support/HexUtilities.h"
#include "support/TraceLogger.h"
#include "support/ui/HexLineEdit.h"
#include "tools/Conversions.h"
#include "tools/ui/ToolWindowCommon.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

std::string Std(const QString& text) {
  return text.toStdString();
}

QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<QString> QsIf(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return Qs(*text);
}

}  // namespace

void CNVLiftLengthLimit(QLineEdit& field) {
  field.setMaxLength(std::numeric_limits<int>::max());
}

TCNVConverterForm::TCNVConverterForm(ICEXMainServices& services, const char* name,
                                     const TCaptions& captions, QWidget* parent)
    : QDialog(parent) {
  setObjectName(name);
  setWindowTitle(captions.title);
  services.CEXTrace().TDBSimpleAddString(name);

  Edit1_ = new HexLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Edit2_ = new QLineEdit(this);
  Edit2_->setObjectName("Edit2");
  for (QLineEdit* field : {static_cast<QLineEdit*>(Edit1_), Edit2_}) {
    CNVLiftLengthLimit(*field);
    field->setMinimumWidth(420);
  }
  connect(Edit1_, &QLineEdit::textChanged, this, [this] {
    if (!bEditing_) ConvertToSecond();
  });
  connect(Edit2_, &QLineEdit::textChanged, this, [this] {
    if (!bEditing_) ConvertToFirst();
  });

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(captions.label1, this), 0, 0);
  fields->addWidget(Edit1_, 0, 1);
  fields->addWidget(new QLabel(captions.label2, this), 1, 0);
  fields->addWidget(Edit2_, 1, 1);

  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* caption, const char* objectName, std::function<void()> handler) {
    buttons->addWidget(ToolButton(this, caption, std::move(handler), objectName));
  };
  button(captions.toSecond, "Button1", [this] { ConvertToSecond(); });
  button(captions.toFirst, "Button2", [this] { ConvertToFirst(); });
  buttons->addStretch();
  button("Close", "Close", [this] { close(); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
}

void TCNVConverterForm::ConvertToSecond() {
  Write(Edit2_, SecondFrom(Edit1_->text()));
}

void TCNVConverterForm::ConvertToFirst() {
  Write(Edit1_, FirstFrom(Edit2_->text()));
}

void TCNVConverterForm::Write(QLineEdit* field, const std::optional<QString>& text) {
  if (!text) return;
  bEditing_ = true;
  field->setText(*text);
  bEditing_ = false;
}

void TCNVConverterForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Edit1_->setFocus();
}

// ---- TForm22 ----------------------------------------------------------------

TForm22::TForm22(ICEXMainServices& services, QWidget* parent)
    : TCNVConverterForm(services, "TForm22",
                        {"Hex To Base64 Conversion", "Hex Value", "Base 64 Value", "Hex to Base64",
                         "Base64 to Hex"},
                        parent) {}

std::optional<QString> TForm22::SecondFrom(const QString& first) const {
  return QsIf(CNVHexToBase64(Std(first)));
}

std::optional<QString> TForm22::FirstFrom(const QString& second) const {
  return QsIf(CNVBase64ToHex(Std(second)));
}

// ---- TForm23 ----------------------------------------------------------------

TForm23::TForm23(ICEXMainServices& services, QWidget* parent)
    : TCNVConverterForm(services, "TForm23",
                        {"Hex to String Conversion", "Hex Value", "String Value", "Hex to String",
                         "String to Hex"},
                        parent) {}

std::optional<QString> TForm23::SecondFrom(const QString& first) const {
  return ToolLatin1Text(UTHHexToString(Std(first)));
}

std::optional<QString> TForm23::FirstFrom(const QString& second) const {
  return Qs(UTHStringToHex(ToolLatin1Bytes(second)));
}

// ---- TForm29 ----------------------------------------------------------------

TForm29::TForm29(ICEXMainServices& services, QWidget* parent)
    : TCNVConverterForm(services, "TForm29",
                        {"Hex to Integer Conversion", "Hex Value", "Integer Value",
                         "Hex to Integer", "Integer to Hex"},
                        parent) {}

std::optional<QString> TForm29::SecondFrom(const QString& first) const {
  return Qs(CNVHexToIntegerText(Std(first)));
}

std::optional<QString> TForm29::FirstFrom(const QString& second) const {
  return Qs(CNVIntegerToHexText(Std(second)));
}

}  // namespace kal
