#include "workbench/SequenceFile.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "config/AliasList.h"
#include "platform/AtomicFile.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"

namespace kal {

const std::array<const char*, SEQcColCount> kSEQHeaders = {
    "",           "Client message", "Server message", "Client Threads", "Delay, Time",
    "IP Address", "IP Port",        "Attrib"};

TSEQFields SEQSplitLine(std::string_view line) {
  TSEQFields fields;
  for (size_t k = 0; k < fields.size(); ++k) {
    const size_t tab = line.find('\t');
    fields[k] = std::string(line.substr(0, tab));
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

bool SEQRowIsEmpty(const IStringGrid& grid, int row) {
  for (int c = SEQcColClient; c < SEQcColAttrib; ++c)
    if (!STRTrim(grid.Cell(c, row)).empty()) return false;
  return true;
}

void SEQRemoveEmptyLines(IStringGrid& grid) {
  if (grid.RowCount() < SEQcMinRows) grid.SetRowCount(SEQcMinRows);
  int last = grid.RowCount() - 1;
  if (!SEQRowIsEmpty(grid, last)) {
    grid.SetRowCount(last + 2);
    return;
  }
  grid.SetCell(SEQcColAttrib, last, "");
  // Empty rows above the last one go, as long as more than the minimum
  // remain.
  int rows = grid.RowCount();
  while (rows > SEQcMinRows && last - 1 >= grid.FixedRows() && SEQRowIsEmpty(grid, last - 1)) {
    --rows;
    --last;
  }
  if (rows < grid.RowCount()) {
    for (int c = 0; c < grid.ColCount(); ++c) grid.SetCell(c, last, "");
    grid.SetRowCount(rows);
  }
}

std::string SEQLineToString(const IStringGrid& grid, int row, const TALUAliasList& aliases) {
  std::string line;
  for (int c = SEQcColClient; c <= SEQcColAttrib; ++c) {
    std::string cell = grid.Cell(c, row);
    if (c == SEQcColClient || c == SEQcColServer)
      static_cast<void>(aliases.ALUFindAlias(true, cell));
    if (c > SEQcColClient) line += '\t';
    line += cell;
  }
  return line;
}

std::string SEQSequenceText(const IStringGrid& grid, const TALUAliasList& aliases) {
  // The rows up to the last one that is not empty, and one empty row.
  int last = grid.RowCount() - 1;
  while (last > 1 && SEQRowIsEmpty(grid, last - 1)) --last;
  std::string text;
  for (int r = 1; r < last; ++r) text += SEQLineToString(grid, r, aliases) + "\r\n";
  return text + "\t\t\t\t\t\t\r\n";
}

void SEQLayOutText(IStringGrid& grid, std::string_view text, const TALUAliasList& aliases) {
  const std::vector<std::string> lines = TextLines(text);
  // The grid is sized once: a widget grid restyles its cells on every size
  // change.
  const int rows = static_cast<int>(lines.size()) + 2;
  if (grid.RowCount() < rows) grid.SetRowCount(rows);
  for (int r = 1; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) grid.SetCell(c, r, "");
  for (size_t i = 0; i < lines.size(); ++i) {
    TSEQFields fields = SEQSplitLine(lines[i]);
    for (size_t k = 0; k < fields.size(); ++k) {
      static_cast<void>(aliases.ALUFindAlias(false, fields[k]));
      grid.SetCell(static_cast<int>(k) + 1, static_cast<int>(i) + 1, fields[k]);
    }
  }
  SEQRemoveEmptyLines(grid);
}

namespace {

std::string SystemError(const std::string& path, int code) {
  return path + ": " + std::strerror(code != 0 ? code : EIO);
}

}  // namespace

bool SEQLoadSequence(IStringGrid& grid, const std::string& path, const TALUAliasList& aliases,
                     std::string& error) {
  std::string text;
  errno = 0;
  if (!PLTReadFile(SEQFilePath(path), text, SEQcMaxFileBytes)) {
    error = SystemError(path, errno != 0 ? errno : EFBIG);
    return false;
  }
  SEQLayOutText(grid, text, aliases);
  return true;
}

bool SEQSaveSequence(const IStringGrid& grid, const std::string& path, const TALUAliasList& aliases,
                     std::string& error) {
  errno = 0;
  if (!PLTWriteFileAtomically(SEQFilePath(path), SEQSequenceText(grid, aliases))) {
    error = SystemError(path, errno);
    return false;
  }
  return true;
}

std::string SEQFilePath(std::string_view cell) {
  std::string path(cell);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

}  // namespace kal
