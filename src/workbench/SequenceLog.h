#pragma once

// The sequence log file: the entry of one message (debug dump, watchdog line
// or delimited line) and the summary of a load test. GUI-free: the caller
// hands in the settings, the row, the cells and the pane texts it needs.
// Each entry is appended with CR LF and the file is closed after it.

#include <functional>
#include <string>

#include "workbench/LogItemsList.h"

namespace kal {

class IPRSTreeReader;

struct TSEQLogSettings {
  int logging = 0;            // "Logging": 0 none, 1 errors, 2 all
  int logType = 0;            // "Log file type": 0 debug, 1 watchdog, 2 delimited
  std::string delimiterItem;  // the selected "Delimitor" item text
  std::string fileName;       // the log file field; relative to the program folder
};

// What a debug entry shows of the row and of the main window's panes.
struct TSEQLogEntry {
  int row = 0;  // current grid row
  int errorCount = 0;
  std::string clientMessage, serverMessage;  // columns 1 and 2 of the row
  const IPRSTreeReader* sourceTree = nullptr;
  const IPRSTreeReader* referenceTree = nullptr;
  std::string sendXml, sendStream, receivedStream, receivedXml, headerSecurity, messageContent;
};

// The status window's figures for the summary, as shown.
struct TSEQLogFigures {
  std::string sent, received, errors, minTime, maxTime, averageTime;
  int errorCount = 0;
};

class TSEQLogWriter final {
 public:
  static constexpr int SEQcLogNone = 0, SEQcLogErrors = 1, SEQcLogAll = 2;
  static constexpr int SEQcTypeDebug = 0, SEQcTypeWatchdog = 1, SEQcTypeDelimited = 2;

  // `notice` gets a failure text, once per run; `programDir` ends with "/".
  TSEQLogWriter(std::string programDir, TLUXWallClock clock,
                std::function<void(const std::string&)> notice);

  // A run begins: the entry count starts at 0 and failures are noticed again.
  void SEQStartRun();
  int SEQiLogCount = 0;  // entries written in this run

  // Writes the message's entry when the settings ask for it; true when
  // written.
  bool SEQLog(const TSEQLogSettings& settings, const TLUXLogItemsList& columns,
              const TLSILogStatistics& statistics, const TSEQLogEntry& entry);
  // The summary of a load test (debug and watchdog logs, "Logging" all).
  bool SEQLogSummary(const TSEQLogSettings& settings, const TLUXLogItemsList& columns,
                     const TSEQLogFigures& figures);

  // The file of entry `count`: stem + "." + count div 100 + extension, the
  // extension starting at the last dot of the file's own name.
  static std::string SEQLogFileName(const std::string& field, int count);
  // The first character of the item text when above the blank, else TAB.
  static char SEQDelimiter(const std::string& item);
  static std::string SEQDebugEntry(int count, const std::string& dateTime,
                                   const TSEQLogEntry& entry);
  static std::string SEQSummary(const TSEQLogFigures& figures);

 private:
  // Opens (appending or anew with the type's title), writes and closes.
  bool Write(const TSEQLogSettings& settings, const TLUXLogItemsList& columns, int errorCount,
             const std::string& text);
  std::string Resolve(const std::string& name) const;

  std::string programDir_;
  TLUXWallClock clock_;
  std::function<void(const std::string&)> notice_;
  bool noticed_ = false;
};

}  // namespace kal
