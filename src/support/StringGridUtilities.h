#pragma once

// String-grid rows as separated text (unit USGStringGridUtilities).

#include <string>
#include <string_view>

#include "support/StringGrid.h"

namespace kal {

// If the row exists, the cells from `firstCol` to `lastCol` joined by
// `separator`; else empty.
std::string USGStringGridRowToString(const IStringGrid& grid, int row, int firstCol, int lastCol,
                                     char separator);

// Grows the row count to row + 1 if needed; columns `firstCol` up to, not
// including, `lastCol` get successive items of `text` (STRGetItem with the
// separator), and `lastCol` gets the whole rest, separators included. Cells
// outside the grid's columns are not stored (the grid ignores them).
void USGStringToStringGridRow(std::string_view text, int row, int firstCol, int lastCol,
                              char separator, IStringGrid& grid);

// Empties the cells of every non-fixed row; the row count stays.
void USGClearStringGrid(IStringGrid& grid);

}  // namespace kal
