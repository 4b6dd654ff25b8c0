#include "support/ui/RowEditGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>

#include "support/GridRows.h"

namespace kal {

TRowEditGrid::TRowEditGrid(QWidget* parent) : QTableWidget(parent), menu_(new QMenu(this)) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  static const char* const captions[CommandCount] = {"Cut row(s)",       "Copy row(s)",
                                                     "Paste row(s)",     "Delete row(s)",
                                                     "Insert empty row", "Append empty row"};
  for (int i = 0; i < CommandCount; ++i) {
    actions_[i] = menu_->addAction(captions[i]);
    const auto command = static_cast<TCommand>(i);
    connect(actions_[i], &QAction::triggered, this, [this, command] { Execute(command); });
  }
}

void TRowEditGrid::SetRowCount(int rows) {
  setRowCount(std::max(rows, 0));
  StyleFixedCells();
}

void TRowEditGrid::SetColCount(int cols) {
  setColumnCount(std::max(cols, 0));
  StyleFixedCells();
}

void TRowEditGrid::SetFixedRows(int rows) {
  fixedRows_ = std::max(rows, 0);
  StyleFixedCells();
}

void TRowEditGrid::SetFixedCols(int cols) {
  fixedCols_ = std::max(cols, 0);
  StyleFixedCells();
}

std::string TRowEditGrid::Cell(int col, int row) const {
  const QTableWidgetItem* it = item(row, col);
  return it == nullptr ? std::string() : it->text().toStdString();
}

void TRowEditGrid::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount()) return;
  ItemAt(col, row)->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QTableWidgetItem* TRowEditGrid::ItemAt(int col, int row) {
  QTableWidgetItem* it = item(row, col);
  if (it == nullptr) {
    it = new QTableWidgetItem;
    if (row < fixedRows_ || col < fixedCols_) {
      it->setFlags(Qt::ItemIsEnabled);
      it->setBackground(palette().button());
    } else {
      it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    }
    setItem(row, col, it);
  }
  return it;
}

void TRowEditGrid::StyleFixedCells() {
  // Every cell has an item; fixed cells are headings: shown like buttons and
  // never edited.
  for (int r = 0; r < rowCount(); ++r) {
    for (int c = 0; c < columnCount(); ++c) {
      const bool fixed = r < fixedRows_ || c < fixedCols_;
      QTableWidgetItem* it = ItemAt(c, r);
      const Qt::ItemFlags flags =
          fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
      if (it->flags() == flags) continue;
      it->setFlags(flags);
      it->setBackground(fixed ? palette().button() : palette().base());
    }
  }
}

void TRowEditGrid::SelectRows(int first, int last) {
  if (first > last) std::swap(first, last);
  first = std::max(first, fixedRows_);
  last = std::min(last, rowCount() - 1);
  clearSelection();
  if (first > last || columnCount() <= fixedCols_) {
    selFirst_ = selLast_ = -1;
    return;
  }
  selFirst_ = first;
  selLast_ = last;
  setRangeSelected(QTableWidgetSelectionRange(first, fixedCols_, last, columnCount() - 1), true);
}

void TRowEditGrid::ClearRowSelection() {
  selFirst_ = selLast_ = -1;
}

int TRowEditGrid::CurrentDataRow() const {
  return std::max(currentRow(), fixedRows_);
}

bool TRowEditGrid::NeedRows() {
  if (selFirst_ >= 0) return true;
  if (message_)
    message_("Select row(s) first");
  else
    QMessageBox::information(this, QApplication::applicationName(), "Select row(s) first");
  return false;
}

void TRowEditGrid::Execute(TCommand command) {
  if (command != CommandCount && commandHook_ && commandHook_(command)) {
    StyleFixedCells();
    emit rowsEdited();
    return;
  }
  switch (command) {
    case Copy:
    case Cut:
      if (!NeedRows()) return;
      QApplication::clipboard()->setText(
          QString::fromStdString(USGRowsToText(*this, selFirst_, selLast_)));
      if (command == Copy) break;
      [[fallthrough]];
    case Delete:
      if (command == Delete && !NeedRows()) return;
      USGDeleteRows(*this, selFirst_, selLast_, minRows_);
      ClearRowSelection();
      clearSelection();
      break;
    case Paste:
      USGPasteText(*this, QApplication::clipboard()->text().toStdString(), CurrentDataRow());
      break;
    case Insert:
      USGInsertEmptyRow(*this, CurrentDataRow());
      break;
    case Append:
      USGAppendEmptyRow(*this);
      break;
    case CommandCount:
      return;
  }
  StyleFixedCells();
  emit rowsEdited();
}

void TRowEditGrid::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid() && index.column() < fixedCols_ &&
      index.row() >= fixedRows_) {
    pressRow_ = index.row();
    if (selFirst_ >= 0 && pressRow_ >= selFirst_ && pressRow_ <= selLast_) {
      dragging_ = true;  // pressed on selected rows: a release elsewhere moves them
    } else {
      selecting_ = true;
      SelectRows(pressRow_, pressRow_);
    }
    event->accept();
    return;
  }
  if (event->button() == Qt::LeftButton) ClearRowSelection();
  QTableWidget::mousePressEvent(event);
}

void TRowEditGrid::mouseMoveEvent(QMouseEvent* event) {
  if (selecting_) {
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) SelectRows(pressRow_, row);
    event->accept();
    return;
  }
  if (dragging_) {
    event->accept();
    return;
  }
  QTableWidget::mouseMoveEvent(event);
}

void TRowEditGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_) {
    dragging_ = false;
    const int target = rowAt(event->position().toPoint().y());
    const int count = selLast_ - selFirst_;
    int first = -1;
    if (moveHook_) {
      if (target >= 0 && moveHook_(selFirst_, selLast_, target, first)) {
        StyleFixedCells();
        SelectRows(first, first + count);
        emit rowsEdited();
      }
    } else if (target >= 0 && USGMoveRows(*this, selFirst_, selLast_, target)) {
      first = target < selFirst_ ? target : target - count;
      SelectRows(first, first + count);
      emit rowsEdited();
    }
    event->accept();
    return;
  }
  if (selecting_) {
    selecting_ = false;
    event->accept();
    return;
  }
  QTableWidget::mouseReleaseEvent(event);
}

void TRowEditGrid::contextMenuEvent(QContextMenuEvent* event) {
  menu_->popup(event->globalPos());
}

}  // namespace kal
