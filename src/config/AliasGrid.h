#pragma once

// The aliases dialog's grid: a header row, a selection column and the
// columns "Alias", "Directory" and "Attrib", at least ALIcMinRows data rows
// with one empty row at the end.

#include <string>
#include <vector>

#include "config/AliasList.h"
#include "support/StringGrid.h"

namespace kal {

constexpr int ALIcMinRows = 9;
constexpr int ALIcColAlias = 1;
constexpr int ALIcColDirectory = 2;
constexpr int ALIcColAttrib = 3;

// Columns, fixed row and column, captions.
void ALISetupGrid(IStringGrid& grid);
// Clears the data rows and fills them from `rows`, then trims.
void ALIRowsToGrid(IStringGrid& grid, const std::vector<TALUAliasRow>& rows);
// Every data row, empty ones included.
std::vector<TALUAliasRow> ALIGridToRows(const IStringGrid& grid);
// Drops trailing empty rows down to the minimum, leaving one empty row at
// the end.
void ALITrimRows(IStringGrid& grid);

}  // namespace kal
