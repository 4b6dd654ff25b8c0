#include "support/PrintLayout.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "support/StringGrid.h"

namespace kal {

namespace {

// Texts are UTF-8: a piece ends only at a character boundary.
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t NextChar(std::string_view text, size_t pos) {
  ++pos;
  while (pos < text.size() && IsContinuation(text[pos])) ++pos;
  return pos;
}

}  // namespace

int TPRSPrintLayout::Scaled(int nominal) const {
  const int dpi = canvas_.PRSResolution();
  if (dpi <= 0) return nominal;
  return static_cast<int>(static_cast<long long>(nominal) * dpi / PRScNominalDpi);
}

int TPRSPrintLayout::LineHeight() const {
  const int height = canvas_.PRSCharHeight();
  return (height > 0 ? height : 1) + Scaled(PRScLineGap);
}

void TPRSPrintLayout::NewPage() {
  canvas_.PRSNewPage();
  ++pages_;
}

void TPRSPrintLayout::PrintLine(int x, std::string_view text, int& lineCounter) {
  const int limit = canvas_.PRSPageWidth() - Scaled(PRScRight);
  const int bottom = canvas_.PRSPageHeight() - Scaled(PRScBottom);
  size_t pos = 0;
  do {
    const int y = lineCounter * LineHeight() + Scaled(PRScTop);
    // Characters go into the piece until the text ends or the piece reaches
    // the right margin; the first character always goes in, so text that
    // starts at or past the margin still moves on.
    size_t end = pos;
    while (end < text.size()) {
      end = NextChar(text, end);
      if (x + canvas_.PRSTextWidth(text.substr(pos, end - pos)) >= limit) break;
    }
    // A break right after a blank gives the last character back to the
    // next line, which then starts with it.
    if (end < text.size()) {
      size_t last = end - 1;
      while (last > pos && IsContinuation(text[last])) --last;
      if (last > pos && text[last - 1] == ' ') end = last;
    }
    canvas_.PRSDrawText(x, y, text.substr(pos, end - pos));
    pos = end;
    ++lineCounter;
    if (y > bottom) {
      NewPage();
      lineCounter = 0;
    }
  } while (pos < text.size());
}

void TPRSPrintLayout::PrintTreeView(const IPRSTreeReader& tree) {
  int line = 0;
  const int indent = 2 * canvas_.PRSCharHeight();
  tree.PRSForEachNode([&](int level, const std::string& text) {
    PrintLine(Scaled(PRScLeft) + level * indent, text, line);
  });
}

void TPRSPrintLayout::PrintMemoField(std::string_view text) {
  int line = 0;
  for (std::string_view l : PRSSplitLines(text)) PrintLine(Scaled(PRScLeft), l, line);
}

std::string TPRSPrintLayout::FitCell(const std::string& text, int width) const {
  if (text.empty() || canvas_.PRSTextWidth(text) <= width) return text;
  // Drop characters from the front until ".." and the rest fit, keeping at
  // least one character. The width shrinks as the front goes, so the first
  // fitting position is found by bisection.
  size_t lastChar = text.size() - 1;
  while (lastChar > 0 && IsContinuation(text[lastChar])) --lastChar;
  size_t lo = NextChar(text, 0), hi = lastChar;
  if (lo > hi) lo = hi;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    while (mid > lo && IsContinuation(text[mid])) --mid;
    if (canvas_.PRSTextWidth(".." + text.substr(mid)) <= width) {
      hi = mid;
    } else {
      lo = NextChar(text, mid);
    }
  }
  return ".." + text.substr(lo);
}

void TPRSPrintLayout::PrintStringGrid(const IStringGrid& grid,
                                      const std::vector<int>& columnWidths) {
  const int cols = grid.ColCount();
  const int left = Scaled(PRScLeft);
  const int gap = Scaled(PRScColumnGap);
  const int bottom = canvas_.PRSPageHeight() - Scaled(PRScBottom);
  const int lineHeight = LineHeight();
  const int top = Scaled(PRScTop);
  const int ruleWidth = canvas_.PRSPageWidth() - Scaled(900);

  std::vector<long long> weights(static_cast<size_t>(cols > 0 ? cols : 0), 0);
  long long total = 0;
  for (int c = 0; c < cols; ++c) {
    const int w = static_cast<size_t>(c) < columnWidths.size() ? columnWidths[c] : 0;
    weights[c] = w > 0 ? w : 0;
    total += weights[c];
  }
  if (total == 0) {
    for (auto& w : weights) w = 1;
    total = cols;
  }
  const long long available = static_cast<long long>(ruleWidth) - (cols - 1) * gap;
  const int minWidth = std::max(1, canvas_.PRSTextWidth("0"));
  std::vector<int> widths;
  for (int c = 0; c < cols; ++c) {
    const long long w = total > 0 ? weights[c] * available / total : 0;
    widths.push_back(static_cast<int>(std::max<long long>(w, minWidth)));
  }

  // As many "_" as needed to reach the rule's width.
  std::string rule;
  if (ruleWidth > 0) {
    const int underscore = std::max(1, canvas_.PRSTextWidth("_"));
    rule.assign(static_cast<size_t>(ruleWidth / underscore), '_');
    while (!rule.empty() && canvas_.PRSTextWidth(rule) >= ruleWidth) rule.pop_back();
    while (canvas_.PRSTextWidth(rule) < ruleWidth) rule.push_back('_');
  }

  int r = 0;
  const int firstBody = grid.FixedRows();
  for (int i = 0; i < grid.RowCount(); ++i) {
    int y = r * lineHeight + top;
    if (i == firstBody) {
      canvas_.PRSDrawText(left, y, rule);
      if (y > bottom) {
        NewPage();
        r = 0;
      }
      r += 2;
      y = r * lineHeight + top;
    }
    int x = left;
    for (int c = 0; c < cols; ++c) {
      canvas_.PRSDrawText(x, y, FitCell(grid.Cell(c, i), widths[c]));
      x += widths[c] + gap;
    }
    if (y > bottom) {
      NewPage();
      r = 0;
    }
    ++r;
  }
}

std::vector<std::string_view> PRSSplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

void PrintTreeViewToLogfile(const IPRSTreeReader& tree, std::string& out) {
  tree.PRSForEachNode([&](int level, const std::string& text) {
    out.append(static_cast<size_t>(level > 0 ? level : 0) * 3, ' ');
    out += text;
    out += "\r\n";
  });
}

std::string PRSTreeText(const IPRSTreeReader& tree) {
  std::string out;
  PrintTreeViewToLogfile(tree, out);
  return out;
}

void PrintMemoFieldToLogfile(std::string_view memo, std::string& out) {
  for (std::string_view line : PRSSplitLines(memo)) {
    out += line;
    out += "\r\n";
  }
}

int PrintTreeViewToFile(const IPRSTreeReader& tree, const std::string& fileName,
                        std::string& errorText) {
  errno = 0;
  if (PLTWriteFileAtomically(fileName, PRSTreeText(tree))) {
    errorText.clear();
    return 0;
  }
  const int code = errno != 0 ? errno : EIO;
  errorText = "Can not write file " + fileName + ": " + std::strerror(code);
  return code;
}

}  // namespace kal
