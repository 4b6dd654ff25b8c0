#include "support/StringGrid.h"

namespace kal {

TStringGrid::TStringGrid(int cols, int rows, int fixedCols, int fixedRows) {
  Resize(cols, rows);
  SetFixedCols(fixedCols);
  SetFixedRows(fixedRows);
}

void TStringGrid::SetRowCount(int rows) {
  Resize(cols_, rows);
}
void TStringGrid::SetColCount(int cols) {
  Resize(cols, rows_);
}

void TStringGrid::Resize(int cols, int rows) {
  if (cols < 0) cols = 0;
  if (rows < 0) rows = 0;
  if (cols == cols_) {
    cells_.resize(static_cast<size_t>(cols) * static_cast<size_t>(rows));
    rows_ = rows;
    return;
  }
  std::vector<std::string> cells(static_cast<size_t>(cols) * static_cast<size_t>(rows));
  for (int r = 0; r < rows && r < rows_; ++r)
    for (int c = 0; c < cols && c < cols_; ++c)
      cells[static_cast<size_t>(r) * cols + c] =
          std::move(cells_[static_cast<size_t>(r) * cols_ + c]);
  cells_ = std::move(cells);
  cols_ = cols;
  rows_ = rows;
}

std::string TStringGrid::Cell(int col, int row) const {
  if (!Inside(col, row)) return {};
  return cells_[static_cast<size_t>(row) * cols_ + col];
}

void TStringGrid::SetCell(int col, int row, std::string_view text) {
  if (!Inside(col, row)) return;
  cells_[static_cast<size_t>(row) * cols_ + col] = std::string(text);
}

}  // namespace kal
