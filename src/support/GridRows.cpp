#include "support/GridRows.h"

#include <algorithm>
#include <vector>

namespace kal {

namespace {

using Row = std::vector<std::string>;

Row ReadRow(const IStringGrid& grid, int row) {
  Row cells(static_cast<size_t>(std::max(grid.ColCount(), 0)));
  for (int c = 0; c < grid.ColCount(); ++c) cells[static_cast<size_t>(c)] = grid.Cell(c, row);
  return cells;
}

void WriteRow(IStringGrid& grid, int row, const Row& cells) {
  for (int c = 0; c < grid.ColCount(); ++c)
    grid.SetCell(c, row, c < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(c)] : "");
}

// The data rows from `from` to the end.
std::vector<Row> ReadTail(const IStringGrid& grid, int from) {
  std::vector<Row> rows;
  for (int r = from; r < grid.RowCount(); ++r) rows.push_back(ReadRow(grid, r));
  return rows;
}

void WriteTail(IStringGrid& grid, int from, const std::vector<Row>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) WriteRow(grid, from + static_cast<int>(i), rows[i]);
}

// Clips first..last to the data rows; false when nothing is left.
bool Clip(const IStringGrid& grid, int& first, int& last) {
  if (first > last) std::swap(first, last);
  first = std::max(first, grid.FixedRows());
  last = std::min(last, grid.RowCount() - 1);
  return first <= last;
}

}  // namespace

std::string USGRowsToText(const IStringGrid& grid, int first, int last) {
  std::string text;
  if (!Clip(grid, first, last)) return text;
  for (int r = first; r <= last; ++r) {
    for (int c = 0; c < grid.ColCount(); ++c) {
      if (c > 0) text += '\t';
      text += grid.Cell(c, r);
    }
    text += "\r\n";
  }
  return text;
}

void USGPasteText(IStringGrid& grid, std::string_view text, int row) {
  row = std::max(row, grid.FixedRows());
  int col = 0;
  size_t pos = 0;
  const auto put = [&](std::string_view piece) {
    if (row >= grid.RowCount()) grid.SetRowCount(row + 1);
    grid.SetCell(col, row, piece);
  };
  while (pos < text.size()) {
    const size_t tab = text.find('\t', pos);
    const size_t crlf = text.find("\r\n", pos);
    if (tab == std::string_view::npos && crlf == std::string_view::npos) {
      const std::string_view last = text.substr(pos);
      if (last.size() < 256) put(last);
      return;
    }
    if (tab < crlf) {
      put(text.substr(pos, tab - pos));
      ++col;
      pos = tab + 1;
    } else {
      put(text.substr(pos, crlf - pos));
      col = 0;
      ++row;
      pos = crlf + 2;
    }
  }
}

void USGDeleteRows(IStringGrid& grid, int first, int last, int minRows) {
  if (!Clip(grid, first, last)) return;
  std::vector<Row> tail = ReadTail(grid, first);
  tail.erase(tail.begin(), tail.begin() + (last - first + 1));
  const int rows = std::max(first + static_cast<int>(tail.size()), minRows);
  grid.SetRowCount(rows);
  tail.resize(static_cast<size_t>(rows - first));
  WriteTail(grid, first, tail);
}

void USGInsertEmptyRow(IStringGrid& grid, int row) {
  if (row < grid.FixedRows() || row > grid.RowCount()) return;
  std::vector<Row> tail = ReadTail(grid, row);
  tail.insert(tail.begin(), Row());
  grid.SetRowCount(grid.RowCount() + 1);
  WriteTail(grid, row, tail);
}

void USGAppendEmptyRow(IStringGrid& grid) {
  USGInsertEmptyRow(grid, grid.RowCount());
}

bool USGMoveRows(IStringGrid& grid, int first, int last, int target) {
  if (!Clip(grid, first, last)) return false;
  if (target < grid.FixedRows() || target >= grid.RowCount()) return false;
  if (target >= first && target <= last) return false;
  const int from = std::min(first, target);
  std::vector<Row> tail = ReadTail(grid, from);
  const auto begin = tail.begin() + (first - from);
  const auto end = tail.begin() + (last - from + 1);
  if (target < first)
    std::rotate(tail.begin() + (target - from), begin, end);
  else
    std::rotate(begin, end, tail.begin() + (target - from + 1));
  WriteTail(grid, from, tail);
  return true;
}

}  // namespace kal
