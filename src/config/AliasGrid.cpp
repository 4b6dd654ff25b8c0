#include "config/AliasGrid.h"

#include <algorithm>

namespace kal {

namespace {

bool RowEmpty(const IStringGrid& grid, int row) {
  for (int col = ALIcColAlias; col <= ALIcColAttrib; ++col)
    if (!grid.Cell(col, row).empty()) return false;
  return true;
}

}  // namespace

void ALISetupGrid(IStringGrid& grid) {
  grid.SetColCount(ALIcColAttrib + 1);
  if (grid.RowCount() < ALIcMinRows + 1) grid.SetRowCount(ALIcMinRows + 1);
  grid.SetFixedRows(1);
  grid.SetFixedCols(1);
  grid.SetCell(ALIcColAlias, 0, "Alias");
  grid.SetCell(ALIcColDirectory, 0, "Directory");
  grid.SetCell(ALIcColAttrib, 0, "Attrib");
}

void ALIRowsToGrid(IStringGrid& grid, const std::vector<TALUAliasRow>& rows) {
  for (int row = 1; row < grid.RowCount(); ++row)
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
  const int needed = static_cast<int>(rows.size()) + 1;
  if (grid.RowCount() < needed) grid.SetRowCount(needed);
  int row = 1;
  for (const TALUAliasRow& alias : rows) {
    grid.SetCell(ALIcColAlias, row, alias.alias);
    grid.SetCell(ALIcColDirectory, row, alias.directory);
    grid.SetCell(ALIcColAttrib, row, alias.attrib);
    ++row;
  }
  ALITrimRows(grid);
}

std::vector<TALUAliasRow> ALIGridToRows(const IStringGrid& grid) {
  std::vector<TALUAliasRow> rows;
  for (int row = 1; row < grid.RowCount(); ++row)
    rows.push_back({grid.Cell(ALIcColAlias, row), grid.Cell(ALIcColDirectory, row),
                    grid.Cell(ALIcColAttrib, row)});
  return rows;
}

void ALITrimRows(IStringGrid& grid) {
  int last = grid.RowCount() - 1;
  while (last >= 1 && RowEmpty(grid, last)) --last;
  // The last filled row, one empty row behind it, and never fewer rows than
  // the minimum.
  grid.SetRowCount(std::max(last + 2, ALIcMinRows + 1));
}

}  // namespace kal
