#pragma once

// A GUI-free string grid: the part of a string-grid control that the grid
// helpers and GUI-free code use. The Qt grid widget implements
// IStringGrid; TStringGrid keeps the cells in memory.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class IStringGrid {
 public:
  virtual ~IStringGrid() = default;

  virtual int RowCount() const = 0;
  virtual int ColCount() const = 0;
  // Growing adds empty cells; shrinking drops the cells outside. Negative
  // counts act as 0.
  virtual void SetRowCount(int rows) = 0;
  virtual void SetColCount(int cols) = 0;

  // Fixed (heading) rows and columns at the top and the left.
  virtual int FixedRows() const = 0;
  virtual int FixedCols() const = 0;
  virtual void SetFixedRows(int rows) = 0;
  virtual void SetFixedCols(int cols) = 0;

  // Cells are addressed column first, as Cells[col, row]; counted from 0.
  // Reading outside the grid gives an empty text; writing outside is ignored.
  virtual std::string Cell(int col, int row) const = 0;
  virtual void SetCell(int col, int row, std::string_view text) = 0;
};

class TStringGrid final : public IStringGrid {
 public:
  TStringGrid() = default;
  TStringGrid(int cols, int rows, int fixedCols = 0, int fixedRows = 0);

  int RowCount() const override { return rows_; }
  int ColCount() const override { return cols_; }
  void SetRowCount(int rows) override;
  void SetColCount(int cols) override;
  int FixedRows() const override { return fixedRows_; }
  int FixedCols() const override { return fixedCols_; }
  void SetFixedRows(int rows) override { fixedRows_ = rows < 0 ? 0 : rows; }
  void SetFixedCols(int cols) override { fixedCols_ = cols < 0 ? 0 : cols; }
  std::string Cell(int col, int row) const override;
  void SetCell(int col, int row, std::string_view text) override;

 private:
  bool Inside(int col, int row) const { return col >= 0 && row >= 0 && col < cols_ && row < rows_; }
  void Resize(int cols, int rows);

  int cols_ = 0, rows_ = 0, fixedCols_ = 0, fixedRows_ = 0;
  std::vector<std::string> cells_;  // row-major, rows_ * cols_
};

}  // namespace kal
