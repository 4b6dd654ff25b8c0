#include "support/StringGridUtilities.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(StringGridUtilities, TextToRowPutsTheRestIntoTheLastColumn) {
  TStringGrid g(3, 1);
  USGStringToStringGridRow("a;b;c;d", 0, 0, 2, ';', g);
  EXPECT_EQ(g.Cell(0, 0), "a");
  EXPECT_EQ(g.Cell(1, 0), "b");
  EXPECT_EQ(g.Cell(2, 0), "c;d");
}

TEST(StringGridUtilities, TextToRowGrowsTheRows) {
  TStringGrid g(4, 1, 0, 1);
  USGStringToStringGridRow("x|y", 3, 1, 3, '|', g);
  EXPECT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.Cell(1, 3), "x");
  EXPECT_EQ(g.Cell(2, 3), "y");
  EXPECT_EQ(g.Cell(3, 3), "");  // items ran out
  USGStringToStringGridRow("p", 1, 0, 0, '|', g);
  EXPECT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.Cell(0, 1), "p");
}

TEST(StringGridUtilities, RowToTextJoinsTheColumns) {
  TStringGrid g(4, 2);
  USGStringToStringGridRow("a;;c;d", 1, 0, 3, ';', g);
  EXPECT_EQ(USGStringGridRowToString(g, 1, 0, 3, ';'), "a;;c;d");
  EXPECT_EQ(USGStringGridRowToString(g, 1, 1, 2, ','), ",c");
  EXPECT_EQ(USGStringGridRowToString(g, 1, 2, 2, ','), "c");
  EXPECT_EQ(USGStringGridRowToString(g, 2, 0, 3, ';'), "");  // no such row
  EXPECT_EQ(USGStringGridRowToString(g, -1, 0, 3, ';'), "");
  EXPECT_EQ(USGStringGridRowToString(g, 0, 0, 3, ';'), ";;;");
}

TEST(StringGridUtilities, RoundTrip) {
  TStringGrid g(5, 1);
  const std::string text = "1;two;;four;five;six";
  USGStringToStringGridRow(text, 0, 0, 4, ';', g);
  EXPECT_EQ(USGStringGridRowToString(g, 0, 0, 4, ';'), text);
}

TEST(StringGridUtilities, ClearEmptiesNonFixedRowsOnly) {
  TStringGrid g(2, 3, 1, 1);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 2; ++c) g.SetCell(c, r, "v");
  USGClearStringGrid(g);
  EXPECT_EQ(g.RowCount(), 3);
  EXPECT_EQ(g.Cell(0, 0), "v");
  EXPECT_EQ(g.Cell(1, 0), "v");
  for (int r = 1; r < 3; ++r)
    for (int c = 0; c < 2; ++c) EXPECT_EQ(g.Cell(c, r), "") << c << "," << r;
}

}  // namespace
}  // namespace kal
