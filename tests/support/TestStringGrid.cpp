#include "support/StringGrid.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(StringGrid, StartsEmpty) {
  TStringGrid g;
  EXPECT_EQ(g.RowCount(), 0);
  EXPECT_EQ(g.ColCount(), 0);
  EXPECT_EQ(g.Cell(0, 0), "");
  g.SetCell(0, 0, "x");  // outside: ignored
  EXPECT_EQ(g.Cell(0, 0), "");
}

TEST(StringGrid, CellsAreColumnFirstAndSurviveResizing) {
  TStringGrid g(3, 2, 1, 1);
  EXPECT_EQ(g.FixedCols(), 1);
  EXPECT_EQ(g.FixedRows(), 1);
  g.SetCell(2, 1, "c2r1");
  g.SetCell(0, 1, "c0r1");
  EXPECT_EQ(g.Cell(2, 1), "c2r1");
  EXPECT_EQ(g.Cell(1, 2), "");
  g.SetRowCount(5);
  g.SetColCount(4);
  EXPECT_EQ(g.Cell(2, 1), "c2r1");
  EXPECT_EQ(g.Cell(0, 1), "c0r1");
  g.SetCell(3, 4, "last");
  EXPECT_EQ(g.Cell(3, 4), "last");
  g.SetColCount(2);
  EXPECT_EQ(g.Cell(2, 1), "");
  EXPECT_EQ(g.Cell(0, 1), "c0r1");
  g.SetColCount(3);
  EXPECT_EQ(g.Cell(2, 1), "");  // dropped cells come back empty
  g.SetRowCount(-1);
  EXPECT_EQ(g.RowCount(), 0);
  EXPECT_EQ(g.Cell(-1, -1), "");
}

}  // namespace
}  // namespace kal
