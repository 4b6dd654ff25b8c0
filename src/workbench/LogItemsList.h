#pragma once

// The columns of the sequence logs: "logfile.ini" (fixed-width columns of
// the watchdog log) and "delimlogfile.ini" (delimited columns), and their
// values for the message in work. The roads feed them through
// ICEXLogColumns; the log writer reads the lines.
//
// Threads: every load-test thread has its own list; all lists share one
// process-wide lock, held by each member below for its whole run.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/LogPorts.h"
#include "workbench/RunStatistics.h"

namespace kal {

struct TLUXLogItem {
  std::string LUXsName;   // column title, as written in the file
  std::string LUXsTag;    // column variable ("$TIME", ...) or element name, trimmed
  std::string LUXsValue;  // value for the current message
  bool LUXbValueIsSet = false;
  int LUXiLength = 0;   // width in characters (fixed-width log)
  int LUXiLogType = 0;  // LUXcFixedWidth or LUXcDelimited
};

// Wall-clock seconds for "$DATE" and "$TIME".
using TLUXWallClock = std::function<std::time_t()>;

// Column lines "title;variable;width": lines trimmed, blank lines skipped,
// further items ignored, a width that is not a whole number gives 0.
std::vector<TLUXLogItem> LUXReadColumnDefinitions(std::string_view text, int logType);

// A value for a delimited line: quoted (inner quotes doubled) when it holds
// the delimiter, a double quote, CR or LF.
std::string LUXQuoteDelimited(std::string_view value, char delimiter);

class TLUXLogItemsList final : public ICEXLogColumns {
 public:
  static constexpr int LUXcFixedWidth = 0;
  static constexpr int LUXcDelimited = 1;
  static constexpr const char* LUXcFixedWidthFile = "logfile.ini";
  static constexpr const char* LUXcDelimitedFile = "delimlogfile.ini";

  // Reads both column files from `programDir` (ending with "/"). Without
  // "delimlogfile.ini" the delimited columns are those of "logfile.ini".
  explicit TLUXLogItemsList(const std::string& programDir,
                            TLSICounter counter = TLSICounter::Steady(), TLUXWallClock clock = {});

  // Every column fed by `tag` takes the value unless it has one for this
  // message already.
  void LUXAcceptItem(std::string_view tag, std::string_view value) override;
  // The next message: every value and flag is cleared and the statistics
  // reset, so no line shows a value of the message before.
  void LUXReset();
  TLSILogStatistics& LUXGetLSILogStatistics() { return statistics_; }
  const TLSILogStatistics& LUXGetLSILogStatistics() const { return statistics_; }

  void LUXEmptyList();
  void LUXAddItem(TLUXLogItem item);
  std::vector<TLUXLogItem> LUXItems() const;

  // Fixed-width line: each value trimmed, right-aligned in its width (never
  // cut), then three blanks. Title line: each trimmed title centred.
  std::string LUXGenerateFixWidthString(const TLSILogStatistics& statistics) const;
  std::string LUXGenerateWatchdogTitleLine() const;
  // Delimited line: one delimiter between neighbouring columns.
  std::string LUXGenerateDelimitorSeparatedString(const TLSILogStatistics& statistics,
                                                  char delimiter) const;
  std::string LUXGenerateDelimitorSeparatedTitleLine(char delimiter) const;

 private:
  std::string ValueLocked(const TLUXLogItem& item, const TLSILogStatistics& statistics) const;
  // The delimited columns' texts, quoted, one delimiter between neighbours;
  // `text` is called under the columns' lock.
  std::string DelimitedLine(char delimiter,
                            const std::function<std::string(const TLUXLogItem&)>& text) const;

  TLSILogStatistics statistics_;
  TLUXWallClock clock_;
  std::vector<TLUXLogItem> items_;  // fixed-width columns first, in file order
};

}  // namespace kal
