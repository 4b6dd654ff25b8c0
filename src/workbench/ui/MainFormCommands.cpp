#include "workbench/ui/MainFormCommands.h"

#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QTextCursor>

#include "support/HelpContexts.h"
#include "support/ui/FormPrintSelection.h"
#include "support/ui/FormSERSearch.h"
#include "support/ui/PrintCanvas.h"
#include "support/ui/WindowHelp.h"

namespace kal {

TCEXFormCommands::TCEXFormCommands(QWidget* parent, const std::array<QPlainTextEdit*, 6>& memos,
                                   TMemoCut cut)
    : parent_(parent), memos_(memos), cut_(std::move(cut)) {}

TCEXFormCommands::~TCEXFormCommands() = default;

int TCEXFormCommands::CEXChoosePrintout(const std::string& caption) {
  if (!form2_) {
    form2_ = std::make_unique<TForm2>(parent_);
    HPTAttachHelp(*form2_, HPTcHelpPrintSelection);
  }
  form2_->setWindowTitle(QString::fromStdString(caption));
  return form2_->exec() == 1 ? form2_->PRSiPrintSelection : -1;
}

bool TCEXFormCommands::CEXChoosePrinter() {
  if (chooser_) return chooser_(printer_);
  // Without a printer the output goes to a PDF file the user picks.
  if (QPrinterInfo::availablePrinterNames().isEmpty()) return PRSChoosePrinter(printer_, parent_);
  QPrintDialog dialog(&printer_, parent_);
  return dialog.exec() == QDialog::Accepted;
}

void TCEXFormCommands::CEXPrintSetup() {
  QPageSetupDialog dialog(&printer_, parent_);
  dialog.setObjectName("PrinterSetupDialog1");
  static_cast<void>(dialog.exec());
}

void TCEXFormCommands::CEXPrintTree(const IPRSTreeReader& tree) {
  static_cast<void>(PRSPrintTreeView(printer_, tree));
}

void TCEXFormCommands::CEXPrintMemo(std::string_view text) {
  static_cast<void>(PRSPrintMemoField(printer_, text));
}

bool TCEXFormCommands::CEXAskSearchText() {
  if (!form16_) form16_ = std::make_unique<TForm16>(parent_);
  return form16_->Execute() == TForm16::kOk;
}

std::string TCEXFormCommands::CEXSearchText() const {
  return form16_ ? form16_->SearchText().toStdString() : std::string();
}

QPlainTextEdit* TCEXFormCommands::Memo(TCEXMemo memo) const {
  return memos_.at(static_cast<size_t>(memo) - 1);
}

bool TCEXFormCommands::CEXMemoFocused(TCEXMemo memo) const {
  return Memo(memo)->hasFocus();
}

TCEXMemoShown TCEXFormCommands::CEXMemoShown(TCEXMemo memo) const {
  const QPlainTextEdit* edit = Memo(memo);
  QString text = edit->toPlainText();
  // The note behind a cut text is the form's, not the text's.
  if (cut_ && cut_(static_cast<int>(memo) - 1))
    text.truncate(std::max<qsizetype>(text.lastIndexOf('\n'), 0));
  const QTextCursor cursor = edit->textCursor();
  return {text.toStdU16String(), static_cast<size_t>(cursor.selectionStart()),
          static_cast<size_t>(cursor.selectionEnd() - cursor.selectionStart())};
}

void TCEXFormCommands::CEXSelectInMemo(TCEXMemo memo, size_t start, size_t length) {
  QPlainTextEdit* edit = Memo(memo);
  QTextCursor cursor(edit->document());
  cursor.setPosition(static_cast<int>(start));
  cursor.setPosition(static_cast<int>(start + length), QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
  edit->ensureCursorVisible();
}

}  // namespace kal
