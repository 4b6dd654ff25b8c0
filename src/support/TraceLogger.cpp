#include "support/TraceLogger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/MemoryStatus.h"
#include "support/DateTimeUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

// Splits "<path><name><ext>" the way the RTL does: the extension starts at
// the last "." of the part behind the last "/".
void SplitFileName(const std::string& full, std::string& path, std::string& name,
                   std::string& ext) {
  const size_t slash = full.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  path = full.substr(0, nameStart);
  const std::string file = full.substr(nameStart);
  const size_t dot = file.rfind('.');
  if (dot == std::string::npos) {
    name = file;
    ext.clear();
  } else {
    name = file.substr(0, dot);
    ext = file.substr(dot);
  }
}

// Writes all of `data` with one write() where the kernel allows it (O_APPEND
// makes each write land whole at the end).
bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void TTDBTraceList::TDBTraceLine(const std::string& line) {
  if (lines_.size() > kMaxLines) lines_.clear();
  lines_.push_back(line);
}

TTDBDebug::TTDBDebug() : TTDBDebug(nullptr) {}

TTDBDebug::TTDBDebug(ITDBTraceSink* traceList)
    : traceList_(traceList), memoryProbe_(PLTHeapBytesInUse) {
  if (traceList_ != nullptr) traceList_->TDBTraceClear();
}

std::string TTDBDebug::TDBFormatLine(std::string_view dateTime, std::string_view label,
                                     std::string_view value) {
  std::string line = STRAddTrailingBlanks(STRAddLeadingBlanks(dateTime, 20), 24);
  line += STRAddTrailingBlanks(label, 40);
  line += value;
  return line;
}

std::string TTDBDebug::TDBFormatSimpleLine(std::string_view dateTime, std::string_view text) {
  std::string line(dateTime);
  line += "\t\t\t";
  line += text;
  return line;
}

void TTDBDebug::TDBAddString(int /*id*/, int /*level*/, std::string_view label,
                             std::string_view value) {
  const std::string line = TDBFormatLine(UDTDateTimeText(), label, value);
  std::lock_guard lock(mutex_);
  OutputLocked(line);
}

void TTDBDebug::TDBSimpleAddString(std::string_view text) {
  const std::string line = TDBFormatSimpleLine(UDTDateTimeText(), text);
  std::lock_guard lock(mutex_);
  OutputLocked(line);
}

void TTDBDebug::TDBEnableAllID() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kIdCount; ++i) validId_[i] = i + 1;
}

void TTDBDebug::TDBLogToFile(const std::string& fileName) {
  std::lock_guard lock(mutex_);
  LogToFileLocked(fileName);
}

void TTDBDebug::TDBEnableLogToFile(bool on) {
  std::lock_guard lock(mutex_);
  writeToFile_ = on;
}

void TTDBDebug::TDBDumpMemoryUsage(std::string_view label) {
  const std::string dateTime = UDTDateTimeText();
  std::lock_guard lock(mutex_);
  const uint64_t inUse = memoryProbe_();
  const int64_t diff = static_cast<int64_t>(inUse - lastMemoryStatus_);
  const std::string value =
      " RAM Verbrauch: " + std::to_string(inUse) + " Speicherblocks, Diff= " + std::to_string(diff);
  OutputLocked(TDBFormatLine(dateTime, label, value));
  lastMemoryStatus_ = inUse;
}

void TTDBDebug::TDBSetMemoryProbe(TDBMemoryProbe probe) {
  std::lock_guard lock(mutex_);
  memoryProbe_ = probe ? std::move(probe) : TDBMemoryProbe(PLTHeapBytesInUse);
}

bool TTDBDebug::TDBIsLoggingToFile() const {
  std::lock_guard lock(mutex_);
  return writeToFile_;
}

std::string TTDBDebug::TDBCurrentFileName() const {
  std::lock_guard lock(mutex_);
  return fileName_;
}

int TTDBDebug::TDBEntryNumber() const {
  std::lock_guard lock(mutex_);
  return entryNumber_;
}

int TTDBDebug::TDBValidID(int id) const {
  std::lock_guard lock(mutex_);
  return (id >= 0 && id < kIdCount) ? validId_[id] : 0;
}

void TTDBDebug::OutputLocked(const std::string& line) {
  if (traceList_ != nullptr) traceList_->TDBTraceLine(line);
  WriteToFileLocked(line);
}

void TTDBDebug::WriteToFileLocked(const std::string& line) {
  if (!writeToFile_) return;
  std::string text = STRReplaceSubstring("\r", " ", line, true, kSTRReplaceAll);
  text = STRReplaceSubstring("\n", " ", text, true, kSTRReplaceAll);
  text += "\r\n";
  // One open, one write and one close per line: the file is complete after
  // every line, whatever happens to the process afterwards.
  const int fd = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    writeToFile_ = false;
    return;
  }
  const bool written = WriteAll(fd, text);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    writeToFile_ = false;
    return;
  }
  if (++entryNumber_ >= kLinesPerFile) SwapFileLocked();
}

void TTDBDebug::SwapFileLocked() {
  file_ = file_ == 1 ? 2 : 1;
  LogToFileLocked("");
}

void TTDBDebug::LogToFileLocked(const std::string& fileName) {
  std::string path, name, ext;
  if (fileName.empty()) {
    // The base of the current file: its name less the last character (1 or 2).
    SplitFileName(fileName_, path, name, ext);
    if (!name.empty()) name.pop_back();
  } else {
    SplitFileName(fileName, path, name, ext);
  }
  entryNumber_ = 0;
  if (path.empty() && name.empty() && ext.empty()) {
    // No base name at all (never given one): nowhere to write.
    fileName_.clear();
    writeToFile_ = false;
    return;
  }
  fileName_ = path + name + std::to_string(file_) + ext;
  const int fd = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    writeToFile_ = false;
    return;
  }
  if (::close(fd) != 0) writeToFile_ = false;
}

}  // namespace kal
