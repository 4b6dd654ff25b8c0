#include "support/PrintLayout.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "common/TestSupport.h"
#include "support/StringGrid.h"

namespace kal {
namespace {

// Every byte 10 units wide, characters 20 high; at 600 dpi a line takes 30.
// A page 1000 wide ends text at 600 (10 characters from the left margin at
// 500); a page 1000 high takes lines at y = 400 ... 610 (8 lines).
class FixedCanvas final : public IPRSCanvas {
 public:
  struct Draw {
    int page, x, y;
    std::string text;
    bool operator==(const Draw&) const = default;
  };
  FixedCanvas(int width, int height, int dpi = 600) : width_(width), height_(height), dpi_(dpi) {}
  int PRSPageWidth() const override { return width_; }
  int PRSPageHeight() const override { return height_; }
  int PRSResolution() const override { return dpi_; }
  int PRSCharHeight() const override { return 20 * dpi_ / 600; }
  int PRSTextWidth(std::string_view text) const override {
    return static_cast<int>(text.size()) * 10 * dpi_ / 600;
  }
  void PRSDrawText(int x, int y, std::string_view text) override {
    draws.push_back({page, x, y, std::string(text)});
  }
  void PRSNewPage() override { ++page; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& d : draws) out.push_back(d.text);
    return out;
  }
  std::vector<Draw> draws;
  int page = 1;

 private:
  int width_, height_, dpi_;
};

class VectorTree final : public IPRSTreeReader {
 public:
  explicit VectorTree(std::vector<std::pair<int, std::string>> nodes) : nodes_(std::move(nodes)) {}
  void PRSForEachNode(const std::function<void(int, const std::string&)>& visit) const override {
    for (const auto& [level, text] : nodes_) visit(level, text);
  }

 private:
  std::vector<std::pair<int, std::string>> nodes_;
};

using Lines = std::vector<std::string>;
using Draw = FixedCanvas::Draw;

TEST(PrintLayout, LinesWrapAtTheMarginAndGiveBackTheCharacterAfterABlank) {
  struct Case {
    int x;
    std::string text;
    Lines pieces;
  };
  const Case cases[] = {
      {500, "abcdefghijklmnopqrstuvwxy", {"abcdefghij", "klmnopqrst", "uvwxy"}},
      // The tenth character follows a blank: it starts the next line.
      {500, "abcdefgh jklmnop", {"abcdefgh ", "jklmnop"}},
      {500, "", {""}},
      // At and past the margin every piece still holds one character.
      {600, "abc", {"a", "b", "c"}},
      {5000, "xy", {"x", "y"}},
      // Multi-byte characters are never split.
      {580, "\xC3\xA4\xC3\xB6", {"\xC3\xA4", "\xC3\xB6"}},
  };
  for (const Case& c : cases) {
    FixedCanvas canvas(1000, 100000);
    TPRSPrintLayout layout(canvas);
    int line = 0;
    layout.PrintLine(c.x, c.text, line);
    EXPECT_EQ(canvas.Texts(), c.pieces) << c.text;
    EXPECT_EQ(line, static_cast<int>(c.pieces.size()));
    for (size_t i = 0; i < canvas.draws.size(); ++i) {
      EXPECT_EQ(canvas.draws[i].x, c.x);
      EXPECT_EQ(canvas.draws[i].y, 400 + 30 * static_cast<int>(i));
    }
  }
}

TEST(PrintLayout, AMemoBreaksPagesAfterTheLineBelowTheBottomMargin) {
  FixedCanvas canvas(1000, 1000);
  TPRSPrintLayout layout(canvas);
  std::string memo;
  for (int i = 0; i < 18; ++i) memo += "L" + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
  layout.PrintMemoField(memo);
  ASSERT_EQ(canvas.draws.size(), 18u);
  EXPECT_EQ(canvas.draws[7], (Draw{1, 500, 610, "L7"}));
  EXPECT_EQ(canvas.draws[8], (Draw{2, 500, 400, "L8"}));
  EXPECT_EQ(canvas.draws[17], (Draw{3, 500, 430, "L17"}));
  EXPECT_EQ(layout.Pages(), 3);
}

TEST(PrintLayout, TreesIndentTwoCharacterHeightsPerLevelAndScaleWithResolution) {
  const VectorTree tree({{0, "root"}, {1, "child"}, {3, "deep"}, {40, "far"}});
  FixedCanvas canvas(2000, 100000);
  TPRSPrintLayout layout(canvas);
  layout.PrintTreeView(tree);
  // The deepest node starts past the margin: one character a line.
  EXPECT_EQ(canvas.draws, (std::vector<Draw>{{1, 500, 400, "root"},
                                             {1, 540, 430, "child"},
                                             {1, 620, 460, "deep"},
                                             {1, 2100, 490, "f"},
                                             {1, 2100, 520, "a"},
                                             {1, 2100, 550, "r"}}));
  // At 1200 dpi margins, gap and glyphs double.
  FixedCanvas fine(2000, 100000, 1200);
  TPRSPrintLayout fineLayout(fine);
  fineLayout.PrintTreeView(VectorTree({{0, "root"}, {1, "child"}}));
  EXPECT_EQ(fine.draws, (std::vector<Draw>{{1, 1000, 800, "root"}, {1, 1080, 860, "child"}}));
}

TEST(PrintLayout, GridColumnsShareTheWidthAndShortenCellsFromTheFront) {
  TStringGrid grid(3, 3, 0, 1);
  const Lines cells = {
      "No", "Name", "Text", "1", "abcdefghij", "short", "2", "x", "0123456789abcdefghij"};
  for (int i = 0; i < 9; ++i) grid.SetCell(i % 3, i / 3, cells[i]);

  struct Case {
    int pageWidth;
    std::vector<int> widths;
    std::vector<int> xs;  // column starts
    Lines row1;
  };
  const Case cases[] = {
      // 1300 - 900 - 2 * 30 = 340 shared 1:1:2 -> 85, 85, 170.
      {1300, {1, 1, 2}, {500, 615, 730}, {"1", "..efghij", "short"}},
      // Widths adding up to 0 share equally: 113 each.
      {1300, {0, 0, 0}, {500, 643, 786}, {"1", "abcdefghij", "short"}},
      // No room at all: each column is one character wide.
      {800, {5, 5, 5}, {500, 540, 580}, {"1", "..j", "..t"}},
  };
  for (const Case& c : cases) {
    FixedCanvas canvas(c.pageWidth, 100000);
    TPRSPrintLayout layout(canvas);
    layout.PrintStringGrid(grid, c.widths);
    ASSERT_EQ(canvas.draws.size(), 10u);
    // Heading row, the rule two lines above the first body row, the rows.
    EXPECT_EQ(canvas.draws[0].y, 400);
    EXPECT_EQ(canvas.draws[3].y, 430);
    EXPECT_EQ(canvas.draws[3].text,
              std::string(static_cast<size_t>(std::max(0, c.pageWidth - 900) / 10), '_'));
    for (int col = 0; col < 3; ++col) {
      EXPECT_EQ(canvas.draws[4 + col].x, c.xs[col]) << c.pageWidth;
      EXPECT_EQ(canvas.draws[4 + col].y, 490);
      EXPECT_EQ(canvas.draws[4 + col].text, c.row1[col]) << c.pageWidth;
    }
    EXPECT_EQ(canvas.draws[9].text.substr(0, 2), "..");
  }
}

TEST(PrintLayout, GridRowsContinueOnNewPages) {
  TStringGrid grid(2, 30, 0, 1);
  for (int r = 0; r < 30; ++r) grid.SetCell(0, r, "r" + std::to_string(r));
  FixedCanvas canvas(1300, 1000);
  TPRSPrintLayout layout(canvas);
  layout.PrintStringGrid(grid, {1, 1});
  // Page 1: heading at line 0, rule at 1, rows 1-5 at lines 3-7; later
  // pages take rows at lines 1-7.
  int page = 0, lastY = 0;
  for (const auto& d : canvas.draws)
    if (d.text == "r6") page = d.page, lastY = d.y;
  EXPECT_EQ(page, 2);
  EXPECT_EQ(lastY, 430);
  EXPECT_EQ(layout.Pages(), 5);
  EXPECT_EQ(canvas.page, 5);
}

TEST(PrintLayout, TreeTextHasThreeBlanksPerLevelAndCrLf) {
  const VectorTree tree({{0, "root"}, {1, "a"}, {3, "deep"}});
  EXPECT_EQ(PRSTreeText(tree), "root\r\n   a\r\n         deep\r\n");
  std::string memo;
  PrintMemoFieldToLogfile("one\ntwo\r\n\r\nthree", memo);
  EXPECT_EQ(memo, "one\r\ntwo\r\n\r\nthree\r\n");

  test::TempDir dir;
  std::string error = "old";
  EXPECT_EQ(PrintTreeViewToFile(tree, dir.file("tree.txt"), error), 0);
  EXPECT_EQ(error, "");
  EXPECT_EQ(test::ReadFile(dir.file("tree.txt")), PRSTreeText(tree));

  test::WriteFile(dir.file("plain"), "x");
  const std::string bad = dir.file("plain/tree.txt");
  EXPECT_EQ(PrintTreeViewToFile(tree, bad, error), ENOTDIR);
  EXPECT_NE(error.find(bad), std::string::npos) << error;
}

}  // namespace
}  // namespace kal
