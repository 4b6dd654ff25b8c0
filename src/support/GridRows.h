#pragma once

// Row commands of the row-editing grid, on any IStringGrid: rows as
// clipboard text (cells separated by TAB, each row ended by CR LF), paste,
// delete, insert, append and move. Rows are counted as in the grid (fixed
// rows included); a range is `first` to `last`, both included. The commands
// work on data rows only and never shrink the grid below `minRows` rows.

#include <string>
#include <string_view>

#include "support/StringGrid.h"

namespace kal {

// The rows first..last (clipped to the data rows): every cell of a row,
// separated by TAB, the row ended by CR LF.
std::string USGRowsToText(const IStringGrid& grid, int first, int last);

// Writes `text` into the grid from `row` on, starting in the first column: a
// TAB moves to the next column, CR LF to the first column of the next row.
// Rows are added as needed. A last piece without a separator is written only
// when it is shorter than 256 characters. Cells beyond the last column are
// dropped.
void USGPasteText(IStringGrid& grid, std::string_view text, int row);

// Removes the rows; the rows below move up. Rows that would take the grid
// below `minRows` stay as empty rows at the end.
void USGDeleteRows(IStringGrid& grid, int first, int last, int minRows);

// Inserts an empty row at `row` (a data row, or the row count to append).
void USGInsertEmptyRow(IStringGrid& grid, int row);
void USGAppendEmptyRow(IStringGrid& grid);

// Moves the rows first..last so that they start at `target` when it lies
// above them and end at `target` when it lies below; targets inside the
// range or outside the data rows change nothing. True when rows moved.
bool USGMoveRows(IStringGrid& grid, int first, int last, int target);

}  // namespace kal
