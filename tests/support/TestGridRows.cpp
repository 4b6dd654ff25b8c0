#include "support/GridRows.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

// A grid with a heading row and column; data row r holds "r<r>" in column 1.
TStringGrid Numbered(int rows) {
  TStringGrid g(3, rows, 1, 1);
  for (int r = 1; r < rows; ++r) g.SetCell(1, r, "r" + std::to_string(r));
  return g;
}

std::string Column1(const TStringGrid& g) {
  std::string out;
  for (int r = 1; r < g.RowCount(); ++r) out += (g.Cell(1, r).empty() ? "-" : g.Cell(1, r)) + " ";
  return out;
}

TEST(GridRows, TextHasTabsBetweenCellsAndCrLfAfterEachRow) {
  TStringGrid g = Numbered(4);
  g.SetCell(0, 2, "#");
  g.SetCell(2, 2, "x y");
  EXPECT_EQ(USGRowsToText(g, 2, 3), "#\tr2\tx y\r\n\tr3\t\r\n");
  EXPECT_EQ(USGRowsToText(g, 3, 2), USGRowsToText(g, 2, 3));
  // The heading row and rows past the end are not data.
  EXPECT_EQ(USGRowsToText(g, 0, 1), "\tr1\t\r\n");
  EXPECT_EQ(USGRowsToText(g, 4, 9), "");
}

TEST(GridRows, PasteFollowsTheSeparatorsAndAddsRows) {
  TStringGrid g = Numbered(3);
  USGPasteText(g, "a\tb\tc\td\r\n\te\r\nlast", 2);
  EXPECT_EQ(g.RowCount(), 5);
  EXPECT_EQ(g.Cell(0, 2), "a");
  EXPECT_EQ(g.Cell(2, 2), "c");  // "d" falls beyond the last column
  EXPECT_EQ(g.Cell(0, 3), "");
  EXPECT_EQ(g.Cell(1, 3), "e");
  EXPECT_EQ(g.Cell(0, 4), "last");
  EXPECT_EQ(g.Cell(1, 1), "r1");

  // A copy pasted elsewhere reproduces the rows; a paste never reaches the
  // heading row.
  TStringGrid h = Numbered(3);
  USGPasteText(h, USGRowsToText(g, 2, 4), 0);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(h.Cell(c, r + 1), g.Cell(c, r + 2));
  EXPECT_EQ(h.Cell(1, 0), "");
}

TEST(GridRows, AnUnterminatedLastPieceMustBeShort) {
  TStringGrid g = Numbered(2);
  USGPasteText(g, "x\t" + std::string(256, 'L'), 1);
  EXPECT_EQ(g.Cell(0, 1), "x");
  EXPECT_EQ(g.Cell(1, 1), "r1");
  USGPasteText(g, "x\t" + std::string(255, 'L'), 1);
  EXPECT_EQ(g.Cell(1, 1), std::string(255, 'L'));
  USGPasteText(g, std::string(300, 'M') + "\r\n", 1);
  EXPECT_EQ(g.Cell(0, 1), std::string(300, 'M'));
}

TEST(GridRows, DeleteMovesRowsUpAndKeepsTheMinimum) {
  TStringGrid g = Numbered(6);
  USGDeleteRows(g, 2, 3, 0);
  EXPECT_EQ(Column1(g), "r1 r4 r5 ");
  USGDeleteRows(g, 1, 3, 4);
  EXPECT_EQ(Column1(g), "- - - ");
  USGDeleteRows(g, 0, 0, 0);  // the heading row is never deleted
  EXPECT_EQ(g.RowCount(), 4);
}

TEST(GridRows, InsertAndAppendAddEmptyRows) {
  TStringGrid g = Numbered(3);
  USGInsertEmptyRow(g, 1);
  EXPECT_EQ(Column1(g), "- r1 r2 ");
  USGAppendEmptyRow(g);
  EXPECT_EQ(Column1(g), "- r1 r2 - ");
  USGInsertEmptyRow(g, 0);
  EXPECT_EQ(g.RowCount(), 5);
}

TEST(GridRows, MoveTakesTheBlockToTheTarget) {
  TStringGrid g = Numbered(7);
  EXPECT_TRUE(USGMoveRows(g, 4, 5, 1));  // up: the block starts at the target
  EXPECT_EQ(Column1(g), "r4 r5 r1 r2 r3 r6 ");
  EXPECT_TRUE(USGMoveRows(g, 1, 2, 5));  // down: the block ends at the target
  EXPECT_EQ(Column1(g), "r1 r2 r3 r4 r5 r6 ");
  EXPECT_FALSE(USGMoveRows(g, 2, 4, 3));
  EXPECT_FALSE(USGMoveRows(g, 2, 4, 0));
  EXPECT_FALSE(USGMoveRows(g, 2, 4, 7));
  EXPECT_EQ(Column1(g), "r1 r2 r3 r4 r5 r6 ");
}

}  // namespace
}  // namespace kal
