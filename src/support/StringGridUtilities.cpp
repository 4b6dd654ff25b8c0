#include "support/StringGridUtilities.h"

#include "support/StringUnit.h"

namespace kal {

std::string USGStringGridRowToString(const IStringGrid& grid, int row, int firstCol, int lastCol,
                                     char separator) {
  std::string out;
  if (row < 0 || row >= grid.RowCount()) return out;
  for (int col = firstCol; col <= lastCol; ++col) {
    if (col > firstCol) out.push_back(separator);
    out += grid.Cell(col, row);
  }
  return out;
}

void USGStringToStringGridRow(std::string_view text, int row, int firstCol, int lastCol,
                              char separator, IStringGrid& grid) {
  if (row < 0) return;
  if (grid.RowCount() < row + 1) grid.SetRowCount(row + 1);
  std::string rest(text);
  const std::string sep(1, separator);
  for (int col = firstCol; col < lastCol; ++col) grid.SetCell(col, row, STRGetItem(sep, rest));
  grid.SetCell(lastCol, row, rest);
}

void USGClearStringGrid(IStringGrid& grid) {
  for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
}

}  // namespace kal
