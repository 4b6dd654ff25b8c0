#include "support/ui/HexLineEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>

#include "support/HexUtilities.h"

namespace kal {

HexLineEdit::HexLineEdit(QWidget* parent) : QLineEdit(parent) {
  auto add = [this](const QString& caption, auto handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(caption);
    connect(action, &QAction::triggered, this, handler);
    actions_.append(action);
  };
  add("Compress", [this] { Replace(QString(text()).remove(QChar(' '))); });
  add("Expand",
      [this] { Replace(QString::fromStdString(UTHExpandHexString(text().toStdString()))); });
  add("Cut", [this] {
    QApplication::clipboard()->setText(text());
    Replace(QString());
  });
  add("&Copy", [this] { QApplication::clipboard()->setText(text()); });
  add("&Paste", [this] {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data != nullptr && data->hasText()) Replace(data->text());
  });
  add("&Delete", [this] {
    if (hasSelectedText()) {
      del();
      emit textEdited(text());
    } else {
      Replace(QString());
    }
  });
  add("Select all", [this] { selectAll(); });
}

QMenu* HexLineEdit::CreateHexMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (int i = 0; i < actions_.size(); ++i) {
    menu->addAction(actions_[i]);
    if (i == 1) menu->addSeparator();
  }
  return menu;
}

void HexLineEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateHexMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void HexLineEdit::Replace(const QString& text) {
  if (text == this->text()) return;
  setText(text);
  emit textEdited(this->text());
}

}  // namespace kal
