#pragma once

// Plain-text printing: the layout of wrapped lines, trees, memos and string
// grids on pages, drawn through a canvas that measures and draws text, and
// the tree and memo text-file writers. The Qt printer implements the canvas;
// tests use a fixed-width one.
//
// Units: the canvas's device units. Margins (top 400, left 500, right and
// bottom 400), the line gap (10) and the grid's column gap (30) are given for
// a nominal 600 dpi and scaled to the canvas's resolution.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

class IStringGrid;

class IPRSCanvas {
 public:
  virtual ~IPRSCanvas() = default;
  virtual int PRSPageWidth() const = 0;
  virtual int PRSPageHeight() const = 0;
  // Dots per inch of the device.
  virtual int PRSResolution() const = 0;
  // Height of a character of the font in use (device units, above 0).
  virtual int PRSCharHeight() const = 0;
  virtual int PRSTextWidth(std::string_view text) const = 0;
  // Draws UTF-8 text with its top left corner at (x, y).
  virtual void PRSDrawText(int x, int y, std::string_view text) = 0;
  virtual void PRSNewPage() = 0;
};

// A tree read in tree order (every node, collapsed or not): the level (0 for
// a top-level node) and the text of each.
class IPRSTreeReader {
 public:
  virtual ~IPRSTreeReader() = default;
  virtual void PRSForEachNode(
      const std::function<void(int level, const std::string& text)>& visit) const = 0;
};

// Lays out one document on a canvas. Page counts include the first page.
class TPRSPrintLayout final {
 public:
  static constexpr int PRScNominalDpi = 600;
  static constexpr int PRScTop = 400, PRScLeft = 500, PRScRight = 400, PRScBottom = 400;
  static constexpr int PRScLineGap = 10, PRScColumnGap = 30;

  explicit TPRSPrintLayout(IPRSCanvas& canvas) : canvas_(canvas) {}

  // One logical line from x, wrapped at the right margin; every printed
  // piece holds at least one character. `lineCounter` is the line on the
  // page, in and out.
  void PrintLine(int x, std::string_view text, int& lineCounter);
  void PrintTreeView(const IPRSTreeReader& tree);
  // Each line of the memo text (CR LF, LF or CR separated).
  void PrintMemoField(std::string_view text);
  // The grid as a table; `columnWidths` gives the relative width of each
  // column (missing ones count 0; all 0 gives equal shares).
  void PrintStringGrid(const IStringGrid& grid, const std::vector<int>& columnWidths);

  int Pages() const { return pages_; }
  // A nominal 600 dpi length in device units.
  int Scaled(int nominal) const;
  int LineHeight() const;

 private:
  void NewPage();
  // A cell text that fits `width`: unchanged, or ".." + its end.
  std::string FitCell(const std::string& text, int width) const;

  IPRSCanvas& canvas_;
  int pages_ = 1;
};

// One line per node: three blanks per level, the node text, CR LF.
std::string PRSTreeText(const IPRSTreeReader& tree);
// Appends the tree's lines, or the memo's lines as they are (each ended with
// CR LF), to `out`.
void PrintTreeViewToLogfile(const IPRSTreeReader& tree, std::string& out);
void PrintMemoFieldToLogfile(std::string_view memo, std::string& out);
// Writes the tree's text to a file, whole and atomically. 0, or the system
// error number with `errorText` set.
[[nodiscard]] int PrintTreeViewToFile(const IPRSTreeReader& tree, const std::string& fileName,
                                      std::string& errorText);

// The lines of a text split at CR LF, LF or CR, as a memo holds them: a
// final line break adds no empty line; an empty text has no lines.
std::vector<std::string_view> PRSSplitLines(std::string_view text);

}  // namespace kal
