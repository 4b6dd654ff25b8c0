#pragma once

#include <QTableWidget>
#include <functional>

#include "support/StringGrid.h"

class QAction;
class QMenu;

namespace kal {

// The row-editing string grid: a table whose fixed rows and columns are part
// of the cells (as in IStringGrid), with whole-row selection by pressing or
// dragging over the fixed column, row commands on a pop-up menu ("Cut
// row(s)", "Copy row(s)", "Paste row(s)", "Delete row(s)", "Insert empty
// row", "Append empty row"), clipboard text with cells separated by TAB and
// rows ended by CR LF, and dragging selected rows onto another row to move
// them there. Every command that changes rows emits rowsEdited().
class TRowEditGrid final : public QTableWidget, public IStringGrid {
  Q_OBJECT

 public:
  enum TCommand { Cut, Copy, Paste, Delete, Insert, Append, CommandCount };

  explicit TRowEditGrid(QWidget* parent = nullptr);

  // IStringGrid
  int RowCount() const override { return rowCount(); }
  int ColCount() const override { return columnCount(); }
  void SetRowCount(int rows) override;
  void SetColCount(int cols) override;
  int FixedRows() const override { return fixedRows_; }
  int FixedCols() const override { return fixedCols_; }
  void SetFixedRows(int rows) override;
  void SetFixedCols(int cols) override;
  std::string Cell(int col, int row) const override;
  void SetCell(int col, int row, std::string_view text) override;

  // Deleting rows never takes the grid below this many rows.
  void SetMinRows(int rows) { minRows_ = rows; }
  // Where "Select row(s) first" goes; a message box when not set.
  void SetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

  // The whole rows selected, or -1 for both when none are.
  void SelectRows(int first, int last);
  int SelectedFirst() const { return selFirst_; }
  int SelectedLast() const { return selLast_; }

  void Execute(TCommand command);

  // An owner that runs the row commands itself: the hook gets each command
  // first and returns true when it handled it (the grid then only emits
  // rowsEdited()). The move hook gets every drop of dragged rows (the block
  // first..last and the row dropped on) and returns true with the block's
  // new first row when the rows moved.
  void SetCommandHook(std::function<bool(TCommand)> hook) { commandHook_ = std::move(hook); }
  void SetMoveHook(std::function<bool(int first, int last, int drop, int& newFirst)> hook) {
    moveHook_ = std::move(hook);
  }
  QAction* CommandAction(TCommand command) const { return actions_[command]; }

 signals:
  void rowsEdited();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ClearRowSelection();
  void StyleFixedCells();
  QTableWidgetItem* ItemAt(int col, int row);
  // The current data row (commands that act "at the current row").
  int CurrentDataRow() const;
  bool NeedRows();

  int fixedRows_ = 0, fixedCols_ = 0, minRows_ = 0;
  int selFirst_ = -1, selLast_ = -1;
  int pressRow_ = -1;
  bool selecting_ = false, dragging_ = false;
  QAction* actions_[CommandCount] = {};
  QMenu* menu_;
  std::function<void(const QString&)> message_;
  std::function<bool(TCommand)> commandHook_;
  std::function<bool(int, int, int, int&)> moveHook_;
};

}  // namespace kal
