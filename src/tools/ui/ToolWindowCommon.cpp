#include "tools/ui/ToolWindowCommon.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/ui/FormSERSearch.h"
#include "support/ui/HexLineEdit.h"
#include "support/ui/PrintCanvas.h"
#include "workbench/ui/QtPorts.h"

namespace kal {

TToolPrintMemo::TToolPrintMemo(TForm16* prompt, QWidget* parent) : TToolMemo(prompt, parent) {
  print_ = new QAction("Print", this);
  print_->setObjectName("Print");
  connect(print_, &QAction::triggered, this, [this] { static_cast<void>(Print()); });
}

int TToolPrintMemo::Print() {
  QPrinter printer;
  const bool chosen = choice_ ? choice_(printer) : PRSChoosePrinter(printer, this);
  if (!chosen) return 0;
  return PRSPrintMemoField(printer, toPlainText().toStdString());
}

void TToolPrintMemo::contextMenuEvent(QContextMenuEvent* event) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const QList<QAction*>& actions = MemoActions();
  for (int i = 0; i < actions.size(); ++i) {
    if (i == 5) menu->addSeparator();
    menu->addAction(actions[i]);
  }
  menu->addAction(print_);
  menu->popup(event->globalPos());
}

TInfoWindow::TInfoWindow(TForm16* prompt, QWidget* parent) : QGroupBox("Info Window", parent) {
  setObjectName("InfoWindow");
  memo_ = new TToolPrintMemo(prompt, this);
  memo_->setObjectName("InfoMemo");
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* clear = new QPushButton("Clear", this);
  clear->setObjectName("Clear");
  connect(clear, &QPushButton::clicked, memo_, &QPlainTextEdit::clear);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(memo_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(clear);
  layout->addLayout(row);
}

void TInfoWindow::Append(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  memo_->appendPlainText(QString::fromStdString(text));
}

TToolWindow::TToolWindow(ICEXMainServices& services, const char* objectName, const char* title,
                         QWidget* parent)
    : QDialog(parent),
      services_(services),
      qtDialogs_(std::make_unique<TCEXQtDialogs>(this)),
      dialogs_(qtDialogs_.get()),
      prompt_(new TForm16(this)) {
  setObjectName(objectName);
  setWindowTitle(title);
  setModal(false);
}

TToolWindow::~TToolWindow() = default;

QPushButton* TToolWindow::Button(const char* caption, std::function<void()> handler,
                                 const char* name) {
  return ToolButton(this, caption, std::move(handler), name);
}

HexLineEdit* TToolWindow::HexField(const char* name) {
  auto* field = new HexLineEdit(this);
  field->setObjectName(name);
  return field;
}

QPushButton* TToolWindow::CloseButton() {
  return Button("Close", [this] { close(); });
}

QPushButton* ToolButton(QWidget* owner, const char* caption, std::function<void()> handler,
                        const char* name) {
  auto* button = new QPushButton(caption, owner);
  button->setObjectName(name != nullptr ? name : caption);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, owner,
                   [handler = std::move(handler)] { handler(); });
  return button;
}

QString ToolLatin1Text(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToolLatin1Bytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace kal
