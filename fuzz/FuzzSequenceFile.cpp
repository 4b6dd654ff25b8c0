// libFuzzer target for the sequence-file reader. Checks: no crash; the
// table keeps at least ten rows and an empty last row; field k of a line
// lands in column k; writing the table and reading it back gives the same
// text again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "config/AliasList.h"
#include "support/StringGrid.h"
#include "workbench/SequenceFile.h"

namespace {

using kal::fuzz::Check;

kal::TStringGrid Table() {
  kal::TStringGrid grid(kal::SEQcColCount, kal::SEQcMinRows, 1, 1);
  return grid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kal::TALUAliasList aliases("/nonexistent/");

  // A line's fields, joined again, are its text up to a seventh TAB.
  const std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
  const kal::TSEQFields fields = kal::SEQSplitLine(firstLine);
  size_t tabs = 0, end = 0;
  while (end < firstLine.size() && !(firstLine[end] == '\t' && tabs == 6))
    tabs += firstLine[end++] == '\t' ? 1 : 0;
  std::string joined;
  for (size_t k = 0; k <= tabs; ++k) joined += (k > 0 ? "\t" : "") + fields[k];
  Check(joined == firstLine.substr(0, end));
  for (size_t k = tabs + 1; k < fields.size(); ++k) Check(fields[k].empty());

  kal::TStringGrid grid = Table();
  kal::SEQLayOutText(grid, text, aliases);
  Check(grid.RowCount() >= kal::SEQcMinRows);
  Check(kal::SEQRowIsEmpty(grid, grid.RowCount() - 1));
  Check(grid.Cell(kal::SEQcColAttrib, grid.RowCount() - 1).empty());

  const std::string written = kal::SEQSequenceText(grid, aliases);
  kal::TStringGrid again = Table();
  kal::SEQLayOutText(again, written, aliases);
  Check(kal::SEQSequenceText(again, aliases) == written);
  return 0;
}
