#pragma once

// The GUI-free core of the sequence window: the table's commands (files,
// rows, search and replace, the current row, the attribute list), the check
// before a run and the run settings the configuration keeps in its
// Sequence section. The Qt window (TForm14) binds its widgets to it.
//
// Threads: the GUI thread only.

#include <chrono>
#include <functional>
#include <string>

#include "workbench/SequenceFile.h"

namespace kal {

class ICEXDialogs;
class ICEXMainServices;
class IStringGrid;
class IUCBCheckList;
class TALUAliasList;
class TCFGConfig;

// The run settings as the window's controls hold them.
struct TSEQRunSettings {
  int logErrors = 0;                      // "Logging": none, errors, all
  int logType = 0;                        // "Log file type": debug, watchdog, delimitor separated
  int delimitor = 0;                      // "Delimitor" item index (0-8)
  int record = 0;                         // "Submission File Recording": none, transactions
  std::string logFileName;                // "Log File", aliases expanded
  std::string recordDirectory;            // "Recording Directory", aliases expanded
  std::string failureRate;                // "Issuer Script Failure Rate [0..10000 of 10000]"
  std::string restarts;                   // "Number of restarts"
  std::string errorCount;                 // "Stop on error count"
  std::string threadDelay;                // "Thread delay [ms]"
  std::chrono::year_month_day endDate{};  // "Stop after time": the day
  std::chrono::seconds endTime{0};        // and the time of day
  bool permanentRun = false;              // "Permanent run"
  bool operator==(const TSEQRunSettings&) const = default;
};

// The settings from the configuration (the two paths with aliases expanded).
TSEQRunSettings SEQReadSettings(const TCFGConfig& config, const TALUAliasList& aliases);
// Stores the settings: the two paths with a directory a two-way alias names
// turned back into the alias; a numeric field that is blank stores 0, one
// that is no whole number keeps the stored value.
void SEQSaveConfigData(const TSEQRunSettings& settings, TCFGConfig& config,
                       const TALUAliasList& aliases);
// When the window is shown: a stop date before today becomes today; a stop
// moment already past makes the stop time 23:59:59.
void SEQAdjustStopTime(TSEQRunSettings& settings, std::chrono::year_month_day today,
                       std::chrono::seconds timeOfDay);

class TSEQSequenceEditor final {
 public:
  static constexpr const char* SEQcSelectRowsFirst = "Select row(s) first";
  static constexpr const char* SEQcNotFound = "no (more) occurences of ";

  // `grid` and `checks` are the window's table and attribute list; none is
  // owned. The grid gets its columns, header and minimum rows here.
  TSEQSequenceEditor(ICEXMainServices& main, ICEXDialogs& dialogs, IStringGrid& grid,
                     IUCBCheckList& checks);

  // ---- files
  // Loads the file into the table (the sequence directory and the recent
  // files follow). A failure shows the file name and the system's text and
  // leaves the table. True when loaded.
  bool SEQLoadSequence(const std::string& path);
  bool SEQSaveSequence(const std::string& path);
  // SEQOpenSequence without showing: loads and sets the checks from the
  // first data row.
  bool SEQOpenSequence(const std::string& path);
  // "New", "Load Sequence", "Save Sequence", "Save Sequence as...".
  void SEQNew();
  void SEQLoadCommand();
  void SEQSaveCommand();
  void SEQSaveAsCommand();
  const std::string& SEQGetFileName() const { return SEQsFileName; }

  // ---- rows (first..last are grid rows; -1 when no whole rows are
  // selected, which shows "Select row(s) first")
  // The rows as clipboard text (cells joined by TAB, each row ended by CR
  // LF); false without a selection.
  bool SEQCopyRows(int first, int last, std::string& clipboard);
  bool SEQCutRows(int first, int last, std::string& clipboard);
  bool SEQDeleteRows(int first, int last);
  // Inserts the clipboard rows at `row`: the rows from there down move
  // below the pasted text; a trailing piece without terminator is placed
  // whatever its length.
  void SEQPasteRows(std::string_view clipboard, int row);
  void SEQInsertRow(int row);
  void SEQAppendRow();
  // Moves the block so that it lands directly above the drop row; a drop
  // inside the block or outside the data rows does nothing. True when moved,
  // `newFirst` then the block's first row.
  bool SEQMoveRows(int first, int last, int drop, int& newFirst);

  // ---- the current cell
  // A cell was selected (by the user or a command); an empty row below the
  // first data row takes the attribute cell of the row above while no run
  // is in progress; the checks show the row's attributes.
  void SEQCellSelected(int col, int row);
  int SEQCurrentCol() const { return col_; }
  int SEQCurrentRow() const { return row_; }
  // Told when a command moves the current cell.
  void SEQSetCurrentCellSink(std::function<void(int col, int row)> sink) {
    currentSink_ = std::move(sink);
  }
  // Makes the row current and marks it ">>" in column 0.
  void SEQSetStringgridRow(int row);
  // The load file window's step: from column 1 to column 2 of the row; from
  // column 2 or beyond to column 1 of the next row (rows are added so that
  // one stays below), which becomes current.
  void SEQSelectNextFileField();
  // Writes `path` into column `col` of the current row.
  void SEQSetFileField(int col, const std::string& path);
  bool SEQAttribIsSet(char letter) const;
  // The checks were clicked (or the grid was left): the current row's
  // attribute cell becomes the letters of the ticked items in list order.
  void SEQAttributesChanged();

  // ---- search and replace (case-insensitive on cell text)
  void SEQStartSearch() { SEQbFindFirst = true; }
  bool SEQFind(const std::string& text);
  bool SEQReplace(const std::string& text, const std::string& replacement);
  bool SEQReplaceAll(const std::string& text, const std::string& replacement);

  // ---- the check before a run: true, or false with the first failure shown
  bool SEQCheckOk(const TSEQRunSettings& settings);

  // ---- run settings
  TSEQRunSettings& SEQSettings() { return settings_; }
  // A control changed: the settings are stored with "Ok".
  void SEQSettingChanged() { SEQbHasChanged = true; }
  bool SEQHasChanged() const { return SEQbHasChanged; }
  // Reads the settings again (at creation) and applies the stop-time rule.
  void SEQReadSettings();
  void SEQShown(std::chrono::year_month_day today, std::chrono::seconds timeOfDay) {
    SEQAdjustStopTime(settings_, today, timeOfDay);
  }
  // "Ok" (and closing, and a run start): stores the settings when changed.
  void SEQStoreIfChanged();
  // "Cancel": forgets the change.
  void SEQCancel() { SEQbHasChanged = false; }

  bool SEQRunning() const { return SEQbRunning; }
  int SEQRowSelected() const { return SEQiRowSelected; }
  IStringGrid& SEQGrid() { return grid_; }

 private:
  bool NeedRows(int first);
  void Show(const std::string& text);
  void MoveTo(int col, int row);
  void FileLoaded(const std::string& path);
  bool Search(const std::string& text, bool fromCurrent, int& col, int& row) const;

  ICEXMainServices& main_;
  ICEXDialogs& dialogs_;
  IStringGrid& grid_;
  IUCBCheckList& checks_;
  std::function<void(int, int)> currentSink_;
  TSEQRunSettings settings_;
  std::string SEQsFileName;
  int col_ = SEQcColClient, row_ = 1;
  int SEQiRowSelected = 1;
  bool SEQbFindFirst = true;
  bool SEQbHasChanged = false;
  bool SEQbRunning = false;
};

}  // namespace kal
