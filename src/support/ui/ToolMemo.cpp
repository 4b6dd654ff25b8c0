#include "support/ui/ToolMemo.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTextCursor>

#include "support/MemoSearch.h"
#include "support/ui/FormSERSearch.h"

namespace kal {

TToolMemo::TToolMemo(TForm16* prompt, QWidget* parent) : QPlainTextEdit(parent), prompt_(prompt) {
  auto add = [this](const QString& caption, auto handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(caption);
    connect(action, &QAction::triggered, this, handler);
    actions_.append(action);
  };
  add("Cut", [this] { cut(); });
  add("Copy", [this] { copy(); });
  add("Paste", [this] { paste(); });
  add("Delete", [this] { textCursor().removeSelectedText(); });
  add("Select all", [this] { selectAll(); });
  add("Find", [this] { Find(); });
  add("Find Next", [this] { FindNext(); });
}

void TToolMemo::Find() {
  if (prompt_ == nullptr || prompt_->Execute() != TForm16::kOk) return;
  SearchFrom(0);
}

void TToolMemo::FindNext() {
  const QTextCursor cursor = textCursor();
  const auto start = static_cast<size_t>(cursor.selectionStart());
  const auto length = static_cast<size_t>(cursor.selectionEnd() - cursor.selectionStart());
  SearchFrom(MSRSearchStart(start, length));
}

void TToolMemo::SearchFrom(size_t from) {
  if (prompt_ == nullptr) return;
  const QString needle = prompt_->SearchText();
  if (needle.isEmpty()) return;
  const std::u16string text = toPlainText().toStdU16String();
  const auto hit = FindNextString(text, from, needle.toStdU16String());
  if (!hit) {
    const QString message = "String not found: " + needle;
    if (sink_) {
      sink_(message);
    } else {
      QMessageBox::information(this, windowTitle(), message);
    }
    return;
  }
  QTextCursor cursor = textCursor();
  cursor.setPosition(static_cast<int>(*hit));
  cursor.setPosition(static_cast<int>(*hit + static_cast<size_t>(needle.size())),
                     QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void TToolMemo::contextMenuEvent(QContextMenuEvent* event) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (int i = 0; i < actions_.size(); ++i) {
    if (i == 5) menu->addSeparator();
    menu->addAction(actions_[i]);
  }
  menu->popup(event->globalPos());
}

void TToolMemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
    Find();
    return;
  }
  if (event->key() == Qt::Key_F3 && event->modifiers() == Qt::NoModifier) {
    FindNext();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace kal
