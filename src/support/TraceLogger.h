#pragma once

// The program-wide trace logger TTDBDebug (unit TDBDebug). Lines are time-stamped ("dd.MM.yyyy
// HH:mm:ss", local time) and go to an optional sink (the on-screen trace list) and, while file
// logging is on, to one of two alternating files: from the base name
// "<path>DEBUG.TXT" the files "<path>DEBUG1.TXT" and "<path>DEBUG2.TXT",
// swapped every 20000 lines, each emptied when it becomes current.
//
// Thread-safe as a whole: every member may be called from any thread; one
// lock orders the sink, the file and the counters, so lines are never torn
// and the sink sees them in file order.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

// Receives every trace line as it is made (CR and LF still in it). Called
// under the logger's lock, from whatever thread traces: an implementation
// must not call back into the logger, and a GUI list hands the line to the
// GUI thread.
class ITDBTraceSink {
 public:
  virtual ~ITDBTraceSink() = default;
  virtual void TDBTraceClear() = 0;  // the logger clears the list when it is created
  virtual void TDBTraceLine(const std::string& line) = 0;
};

// An in-memory trace list with the rule of the on-screen list: a list that
// already holds more than 1000 lines is cleared before the next line.
class TTDBTraceList final : public ITDBTraceSink {
 public:
  static constexpr size_t kMaxLines = 1000;
  void TDBTraceClear() override { lines_.clear(); }
  void TDBTraceLine(const std::string& line) override;
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

class TTDBDebug final {
 public:
  static constexpr int kLinesPerFile = 20000;
  static constexpr int kIdCount = 81;

  // Without a trace list, as the main window creates it.
  TTDBDebug();
  // With a trace list (not owned; must outlive the logger); it is cleared.
  explicit TTDBDebug(ITDBTraceSink* traceList);
  TTDBDebug(const TTDBDebug&) = delete;
  TTDBDebug& operator=(const TTDBDebug&) = delete;

  // Formatted line: the date-time text padded with blanks on the left to 20
  // and on the right to 24 characters, the label padded on the right to 40
  // (longer texts are not cut), then the value. Id and level are accepted and
  // filter nothing.
  void TDBAddString(int id, int level, std::string_view label, std::string_view value);
  // Simple line: date-time text, three TABs, text.
  void TDBSimpleAddString(std::string_view text);

  // Marks all 81 trace ids valid (entry i := i + 1).
  void TDBEnableAllID();

  // Starts a new current file from a base name path + name + extension: the
  // file path + name + <current file number> + extension is created or
  // emptied. An empty name reuses the base of the current file. Failure
  // switches file logging off.
  void TDBLogToFile(const std::string& fileName);
  void TDBEnableLogToFile(bool on);

  // Traces " RAM Verbrauch: " + bytes in use + " Speicherblocks, Diff= " +
  // change since the last dump (id and level 0) and remembers the figure.
  void TDBDumpMemoryUsage(std::string_view label);

  // Where the memory dump reads the bytes in use; PLTHeapBytesInUse unless
  // replaced (tests give a fake).
  using TDBMemoryProbe = std::function<uint64_t()>;
  void TDBSetMemoryProbe(TDBMemoryProbe probe);

  // State, for callers and tests.
  bool TDBIsLoggingToFile() const;
  std::string TDBCurrentFileName() const;
  int TDBEntryNumber() const;
  int TDBValidID(int id) const;  // 0 for an id outside 0..80

  // The pure line formats (no time taken): exposed for tests.
  static std::string TDBFormatLine(std::string_view dateTime, std::string_view label,
                                   std::string_view value);
  static std::string TDBFormatSimpleLine(std::string_view dateTime, std::string_view text);

 private:
  void OutputLocked(const std::string& line);
  void WriteToFileLocked(const std::string& line);
  void SwapFileLocked();
  void LogToFileLocked(const std::string& fileName);

  mutable std::mutex mutex_;
  ITDBTraceSink* const traceList_;
  std::array<int, kIdCount> validId_{};
  bool writeToFile_ = false;
  std::string fileName_;
  int entryNumber_ = 0;
  int file_ = 1;
  uint64_t lastMemoryStatus_ = 0;
  TDBMemoryProbe memoryProbe_;
};

}  // namespace kal
