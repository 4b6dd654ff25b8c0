#include "workbench/SequenceEditor.h"

#include <algorithm>

#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "support/GridRows.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "workbench/FilePaths.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::sys_days;

std::string Expanded(const TALUAliasList& aliases, std::string path) {
  static_cast<void>(aliases.ALUFindAlias(false, path));
  return path;
}

std::string Collapsed(const TALUAliasList& aliases, std::string path) {
  static_cast<void>(aliases.ALUFindAlias(true, path));
  return path;
}

// A numeric field as stored: blank 0, a whole number itself, anything else
// the stored value.
int32_t FieldValue(const std::string& text, int32_t stored) {
  if (STRTrim(text).empty()) return 0;
  int32_t v = stored;
  return STRWholeNumber(text, v) ? v : stored;
}

bool Blank(const std::string& text) {
  return STRTrim(text).empty();
}

// Blank, or a whole number.
bool NumericOrBlank(const std::string& text) {
  int32_t v = 0;
  return Blank(text) || STRWholeNumber(text, v);
}

}  // namespace

TSEQRunSettings SEQReadSettings(const TCFGConfig& config, const TALUAliasList& aliases) {
  TSEQRunSettings s;
  s.logErrors = config.CFGGetSequenceLogErrors();
  s.logType = config.CFGGetSequenceLogType();
  s.delimitor = config.CFGGetSequenceLogDelimitor();
  s.record = config.CFGGetSequenceRecord();
  s.logFileName = Expanded(aliases, config.CFGGetSequenceLogFileName());
  s.recordDirectory = Expanded(aliases, config.CFGGetDirRecord());
  s.failureRate = std::to_string(config.CFGGetIssuerScriptResultFailureRate());
  s.restarts = std::to_string(config.CFGGetSequenceRestart());
  s.errorCount = std::to_string(config.CFGGetSequenceErrorCount());
  s.threadDelay = std::to_string(config.CFGGetThreadDelay());
  s.endDate = config.CFGGetSequenceEndDate();
  s.endTime = config.CFGGetSequenceEndTime();
  s.permanentRun = config.CFGGetPermanentRun() != 0;
  return s;
}

void SEQSaveConfigData(const TSEQRunSettings& s, TCFGConfig& config, const TALUAliasList& aliases) {
  config.CFGSetSequenceLogErrors(s.logErrors);
  config.CFGSetSequenceLogType(s.logType);
  config.CFGSetSequenceLogDelimitor(s.delimitor);
  config.CFGSetSequenceRecord(s.record);
  config.CFGSetSequenceLogFileName(Collapsed(aliases, s.logFileName));
  config.CFGSetDirRecord(Collapsed(aliases, s.recordDirectory));
  config.CFGSetIssuerScriptResultFailureRate(
      FieldValue(s.failureRate, config.CFGGetIssuerScriptResultFailureRate()));
  config.CFGSetSequenceRestart(FieldValue(s.restarts, config.CFGGetSequenceRestart()));
  config.CFGSetSequenceErrorCount(FieldValue(s.errorCount, config.CFGGetSequenceErrorCount()));
  config.CFGSetThreadDelay(FieldValue(s.threadDelay, config.CFGGetThreadDelay()));
  config.CFGSetSequenceEndDate(s.endDate);
  config.CFGSetSequenceEndTime(s.endTime);
  config.CFGSetPermanentRun(s.permanentRun ? 1 : 0);
}

void SEQAdjustStopTime(TSEQRunSettings& s, std::chrono::year_month_day today,
                       std::chrono::seconds timeOfDay) {
  if (!s.endDate.ok() || sys_days(s.endDate) < sys_days(today)) s.endDate = today;
  const auto stop = sys_days(s.endDate) + s.endTime;
  const auto now = sys_days(today) + timeOfDay;
  if (stop < now) s.endTime = seconds(24 * 3600 - 1);
}

TSEQSequenceEditor::TSEQSequenceEditor(ICEXMainServices& main, ICEXDialogs& dialogs,
                                       IStringGrid& grid, IUCBCheckList& checks)
    : main_(main), dialogs_(dialogs), grid_(grid), checks_(checks) {
  grid_.SetColCount(SEQcColCount);
  if (grid_.RowCount() < SEQcMinRows) grid_.SetRowCount(SEQcMinRows);
  grid_.SetFixedRows(1);
  grid_.SetFixedCols(1);
  for (int c = 0; c < SEQcColCount; ++c) grid_.SetCell(c, 0, kSEQHeaders[static_cast<size_t>(c)]);
  SEQRemoveEmptyLines(grid_);
  SEQReadSettings();
}

void TSEQSequenceEditor::Show(const std::string& text) {
  dialogs_.CEXShowMessage(text);
}

// -------------------------------------------------------------------- files

void TSEQSequenceEditor::FileLoaded(const std::string& path) {
  SEQsFileName = path;
  TCFGConfig& config = main_.CEXConfiguration();
  config.CFGSetDirSequence(CEXDirectoryOf(path));
  config.CFGAddPickFileSeq(path);
  main_.SynchMenuItems();
}

bool TSEQSequenceEditor::SEQLoadSequence(const std::string& path) {
  std::string error;
  if (!kal::SEQLoadSequence(grid_, path, main_.CEXAliasList(), error)) {
    Show("Can not load sequence file " + error);
    return false;
  }
  FileLoaded(path);
  return true;
}

bool TSEQSequenceEditor::SEQSaveSequence(const std::string& path) {
  SEQRemoveEmptyLines(grid_);
  std::string error;
  if (!kal::SEQSaveSequence(grid_, path, main_.CEXAliasList(), error)) {
    Show("Can not save sequence file " + error);
    return false;
  }
  FileLoaded(path);
  return true;
}

bool TSEQSequenceEditor::SEQOpenSequence(const std::string& path) {
  if (!SEQLoadSequence(path)) return false;
  MoveTo(SEQcColClient, 1);
  UCBSetAttributes(grid_.Cell(SEQcColAttrib, 1), checks_);
  return true;
}

void TSEQSequenceEditor::SEQNew() {
  for (int r = 1; r < grid_.RowCount(); ++r)
    for (int c = 0; c < grid_.ColCount(); ++c) grid_.SetCell(c, r, "");
  SEQRemoveEmptyLines(grid_);
}

void TSEQSequenceEditor::SEQLoadCommand() {
  std::string chosen;
  if (!dialogs_.CEXOpenFile(
          {"Load Sequence File", "Kalmore Sequences (*.seq)|*.SEQ|All files (*.*)|*.*",
           main_.CEXConfiguration().CFGGetDirSequence(), "", "seq"},
          chosen))
    return;
  SEQOpenSequence(chosen);
}

void TSEQSequenceEditor::SEQSaveCommand() {
  if (!SEQsFileName.empty() && CEXFileExists(SEQFilePath(SEQsFileName)))
    SEQSaveSequence(SEQsFileName);
  else
    SEQSaveAsCommand();
}

void TSEQSequenceEditor::SEQSaveAsCommand() {
  std::string chosen;
  if (!dialogs_.CEXSaveFile(
          {"Save Sequence File", "'Kalmore sequence (*.seq)'|*.seq",
           main_.CEXConfiguration().CFGGetDirSequence(), CEXNameOf(SEQsFileName), "seq"},
          chosen))
    return;
  SEQSaveSequence(chosen);
}

// --------------------------------------------------------------------- rows

bool TSEQSequenceEditor::NeedRows(int first) {
  if (first >= 1) return true;
  Show(SEQcSelectRowsFirst);
  return false;
}

bool TSEQSequenceEditor::SEQCopyRows(int first, int last, std::string& clipboard) {
  if (!NeedRows(first)) return false;
  clipboard.clear();
  for (int r = first; r <= std::min(last, grid_.RowCount() - 1); ++r) {
    for (int c = SEQcColClient; c <= SEQcColAttrib; ++c) {
      if (c > SEQcColClient) clipboard += '\t';
      clipboard += grid_.Cell(c, r);
    }
    clipboard += "\r\n";
  }
  return true;
}

bool TSEQSequenceEditor::SEQCutRows(int first, int last, std::string& clipboard) {
  return SEQCopyRows(first, last, clipboard) && SEQDeleteRows(first, last);
}

bool TSEQSequenceEditor::SEQDeleteRows(int first, int last) {
  if (!NeedRows(first)) return false;
  USGDeleteRows(grid_, first, last, SEQcMinRows);
  SEQRemoveEmptyLines(grid_);
  return true;
}

void TSEQSequenceEditor::SEQPasteRows(std::string_view clipboard, int row) {
  row = std::clamp(row, 1, grid_.RowCount());
  std::string text(clipboard);
  // The rows from `row` down follow the pasted text; a last piece without
  // terminator stays a row of its own.
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
    text += "\r\n";
  std::string tail;
  if (row < grid_.RowCount() && SEQCopyRows(row, grid_.RowCount() - 1, tail)) text += tail;
  for (int r = row; r < grid_.RowCount(); ++r)
    for (int c = 0; c < grid_.ColCount(); ++c) grid_.SetCell(c, r, "");
  int col = SEQcColClient;
  size_t pos = 0;
  const auto put = [&](std::string_view piece) {
    if (row >= grid_.RowCount()) grid_.SetRowCount(row + 1);
    grid_.SetCell(col, row, piece);
  };
  while (pos < text.size()) {
    const size_t tab = text.find('\t', pos);
    const size_t crlf = text.find("\r\n", pos);
    const size_t end = std::min(tab, crlf);
    if (end == std::string::npos) {
      put(std::string_view(text).substr(pos));
      break;
    }
    put(std::string_view(text).substr(pos, end - pos));
    if (end == tab) {
      col = std::min(col + 1, static_cast<int>(SEQcColAttrib));
      pos = tab + 1;
    } else {
      col = SEQcColClient;
      ++row;
      pos = crlf + 2;
    }
  }
  SEQRemoveEmptyLines(grid_);
}

void TSEQSequenceEditor::SEQInsertRow(int row) {
  USGInsertEmptyRow(grid_, std::clamp(row, 1, grid_.RowCount() - 1));
}

void TSEQSequenceEditor::SEQAppendRow() {
  USGAppendEmptyRow(grid_);
}

bool TSEQSequenceEditor::SEQMoveRows(int first, int last, int drop, int& newFirst) {
  if (first < 1 || last < first || drop < 1 || drop >= grid_.RowCount()) return false;
  if (drop >= first && drop <= last + 1) return false;  // already directly above it
  const int count = last - first + 1;
  const int target = drop < first ? drop : drop - 1;
  if (!USGMoveRows(grid_, first, last, target)) return false;
  newFirst = drop < first ? drop : drop - count;
  SEQRemoveEmptyLines(grid_);
  return true;
}

// --------------------------------------------------------- the current cell

void TSEQSequenceEditor::MoveTo(int col, int row) {
  col_ = col;
  row_ = row;
  if (currentSink_) currentSink_(col, row);
}

void TSEQSequenceEditor::SEQCellSelected(int col, int row) {
  col_ = col;
  row_ = row;
  if (!SEQbRunning && row > 1 && row < grid_.RowCount() && SEQRowIsEmpty(grid_, row) &&
      grid_.Cell(SEQcColAttrib, row).empty())
    grid_.SetCell(SEQcColAttrib, row, grid_.Cell(SEQcColAttrib, row - 1));
  UCBSetAttributes(grid_.Cell(SEQcColAttrib, row), checks_);
}

void TSEQSequenceEditor::SEQSetStringgridRow(int row) {
  for (int r = 1; r < grid_.RowCount(); ++r) grid_.SetCell(SEQcColMarker, r, "");
  grid_.SetCell(SEQcColMarker, row, ">>");
  SEQiRowSelected = row;
  MoveTo(col_, row);
}

void TSEQSequenceEditor::SEQSelectNextFileField() {
  if (col_ <= SEQcColClient) {
    MoveTo(SEQcColServer, std::max(row_, 1));
    return;
  }
  const int next = std::max(row_, 0) + 1;
  if (grid_.RowCount() < next + 2) grid_.SetRowCount(next + 2);
  MoveTo(SEQcColClient, next);
  UCBSetAttributes(grid_.Cell(SEQcColAttrib, next), checks_);
}

void TSEQSequenceEditor::SEQSetFileField(int col, const std::string& path) {
  grid_.SetCell(col, row_, path);
  SEQRemoveEmptyLines(grid_);
}

bool TSEQSequenceEditor::SEQAttribIsSet(char letter) const {
  return UCBAttributeIsSet(letter, grid_.Cell(SEQcColAttrib, row_));
}

void TSEQSequenceEditor::SEQAttributesChanged() {
  if (row_ < 1 || row_ >= grid_.RowCount()) return;
  std::string letters;
  UCBGetAttributeString(checks_, letters);
  grid_.SetCell(SEQcColAttrib, row_, letters);
}

// -------------------------------------------------------- search and replace

bool TSEQSequenceEditor::Search(const std::string& text, bool fromCurrent, int& col,
                                int& row) const {
  const std::string needle = STRUpperCase(text);
  int c = std::clamp(col_, static_cast<int>(SEQcColClient), static_cast<int>(SEQcColAttrib));
  int r = std::max(row_, 1);
  if (!fromCurrent && ++c > SEQcColAttrib) {
    c = SEQcColClient;
    ++r;
  }
  for (; r < grid_.RowCount(); ++r, c = SEQcColClient) {
    for (; c <= SEQcColAttrib; ++c) {
      if (STRUpperCase(grid_.Cell(c, r)).find(needle) != std::string::npos) {
        col = c;
        row = r;
        return true;
      }
    }
  }
  return false;
}

bool TSEQSequenceEditor::SEQFind(const std::string& text) {
  int col = 0, row = 0;
  const bool found = Search(text, SEQbFindFirst, col, row);
  SEQbFindFirst = false;
  if (!found) {
    Show(SEQcNotFound + text + " found");
    return false;
  }
  MoveTo(col, row);
  return true;
}

bool TSEQSequenceEditor::SEQReplace(const std::string& text, const std::string& replacement) {
  int col = 0, row = 0;
  const bool found = Search(text, SEQbFindFirst, col, row);
  SEQbFindFirst = false;
  if (!found) {
    Show(SEQcNotFound + text + " found");
    return false;
  }
  grid_.SetCell(col, row, STRReplaceSubstring(text, replacement, grid_.Cell(col, row), false, 0));
  MoveTo(col, row);
  return true;
}

bool TSEQSequenceEditor::SEQReplaceAll(const std::string& text, const std::string& replacement) {
  const std::string needle = STRUpperCase(text);
  bool replaced = false;
  for (int r = 1; r < grid_.RowCount(); ++r) {
    for (int c = SEQcColClient; c <= SEQcColAttrib; ++c) {
      const std::string cell = grid_.Cell(c, r);
      if (needle.empty() || STRUpperCase(cell).find(needle) == std::string::npos) continue;
      grid_.SetCell(c, r, STRReplaceSubstring(text, replacement, cell, false, 2));
      replaced = true;
    }
  }
  if (!replaced) Show(SEQcNotFound + text + " found");
  SEQRemoveEmptyLines(grid_);
  return replaced;
}

// ------------------------------------------------------------------ checking

bool TSEQSequenceEditor::SEQCheckOk(const TSEQRunSettings& s) {
  const auto fail = [&](const std::string& text) {
    Show(text);
    return false;
  };
  for (int r = 1; r < grid_.RowCount(); ++r) {
    const std::string line = std::to_string(r);
    const std::string client = grid_.Cell(SEQcColClient, r);
    if (!Blank(client)) {
      if (!CEXFileExists(SEQFilePath(client)))
        return fail("Client file does not exist in line " + line);
      const std::string upper = STRUpperCase(client);
      const std::string attrib = grid_.Cell(SEQcColAttrib, r);
      if (upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".INI") == 0 &&
          attrib.find('C') == std::string::npos)
        grid_.SetCell(SEQcColAttrib, r, attrib + "C");
    }
    const std::string server = grid_.Cell(SEQcColServer, r);
    if (!Blank(server) && !CEXFileExists(SEQFilePath(server)))
      return fail("Server file does not exist in line " + line);
    const std::string delay = grid_.Cell(SEQcColDelay, r);
    if (!Blank(delay)) {
      int32_t v = 0;
      seconds t{0};
      const bool number = STRWholeNumber(delay, v);
      if ((number && v < 0) || (!number && !ParseTimeText(STRTrim(delay), t)))
        return fail("Delay must be numeric or a time expression in line " + line);
    }
    const std::string threads = grid_.Cell(SEQcColThreads, r);
    if (!Blank(threads)) {
      int32_t v = 0;
      if (!STRWholeNumber(threads, v) || v < 0)
        return fail("Number of client threads must be numeric or a time expression in line " +
                    line);
    }
    const std::string port = grid_.Cell(SEQcColPort, r);
    if (!Blank(port)) {
      int32_t v = 0;
      if (!STRWholeNumber(port, v) || v < 1 || v > 65535)
        return fail("IP port must be a number from 1 to 65535 in line " + line);
    }
  }
  if (s.logErrors != 0 && Blank(s.logFileName)) return fail("Please enter file name for log file");
  if (!NumericOrBlank(s.errorCount)) return fail("Stop on error count field must be numeric");
  if (!NumericOrBlank(s.restarts)) return fail("Number of restarts field must be numeric");
  if (!NumericOrBlank(s.threadDelay)) return fail("Thread delay field must be numeric");
  if (!NumericOrBlank(s.failureRate)) return fail("Issuer script failure rate must be numeric");
  return true;
}

// ------------------------------------------------------------- run settings

void TSEQSequenceEditor::SEQReadSettings() {
  settings_ = kal::SEQReadSettings(main_.CEXConfiguration(), main_.CEXAliasList());
  SEQbHasChanged = false;
}

void TSEQSequenceEditor::SEQStoreIfChanged() {
  if (!SEQbHasChanged) return;
  SEQSaveConfigData(settings_, main_.CEXConfiguration(), main_.CEXAliasList());
  SEQbHasChanged = false;
}

}  // namespace kal
