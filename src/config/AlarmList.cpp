#include "config/AlarmList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/DateTimeUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

// Replaces every `key` in `text`, resuming behind each inserted value, so
// a value that holds a key is never expanded again.
std::string ReplaceAll(const std::string& text, std::string_view key, std::string_view value) {
  std::string out;
  size_t from = 0;
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, from)) {
    out.append(text, from, at - from);
    out.append(value);
    from = at + key.size();
  }
  out.append(text, from);
  return out;
}

std::string ErrorNumberText(const char* what, int code, const std::string& path) {
  return std::string(what) + ".  Error number " + std::to_string(code) + " File " + path;
}

}  // namespace

TALMAlarmItem::TALMAlarmItem(std::string line, int32_t occurrences, int32_t timeFrame,
                             std::string text, const TALMClock& clock)
    : ALMsLine(std::move(line)),
      ALMiNumOfOccurencies(occurrences),
      ALMiTimeFrame(timeFrame),
      ALMsText(std::move(text)),
      clock_(clock) {}

void TALMAlarmItem::ALMCleanupAlarmEvents() {
  const TALMTimePoint limit = Now() - std::chrono::seconds(ALMiTimeFrame);
  // Events are kept oldest first: everything up to the newest one at or
  // before the limit goes.
  while (!events_.empty() && events_.front().ALMaDateTime <= limit) events_.pop_front();
}

bool TALMAlarmItem::ALMIsAlarm() {
  ALMCleanupAlarmEvents();
  return ALMiNumOfOccurencies >= 1 && events_.size() >= static_cast<size_t>(ALMiNumOfOccurencies);
}

std::string TALMAlarmItem::ALMGenerateLogEntry() const {
  const std::time_t now = std::chrono::system_clock::to_time_t(Now());
  const std::string stamp = UDTDateTimeTextAt(now);  // "dd.MM.yyyy HH:mm:ss"
  std::string entry = ReplaceAll(ALMsText, "$DATE", stamp.substr(0, 10));
  entry = ReplaceAll(entry, "$TIME", stamp.substr(11));
  return ReplaceAll(entry, "$ERROR", events_.empty() ? "" : events_.front().ALMsErrorText);
}

int32_t TALMAlarmItem::ALMWriteToAlarmLog(const std::string& path, std::string& message) const {
  const std::string entry = ALMGenerateLogEntry() + "\r\n";
  message.clear();
  if (STRTrim(path).empty()) return 0;
  int32_t result = 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      message = "Can not create alarm log file (menu [admin], [alarming]): Filename=" + path;
      return 1;
    }
    if (::close(fd) != 0) {
      message = ErrorNumberText("Error on closing file", errno, path);
      return 2;
    }
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    message = ErrorNumberText("Error on opening file for append", errno, path);
    return 4;
  }
  size_t done = 0;
  while (done < entry.size()) {
    const ssize_t n = ::write(fd, entry.data() + done, entry.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      message = ErrorNumberText("Error on writing alarm text", n < 0 ? errno : EIO, path);
      result = 3;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && result == 0) {
    message = ErrorNumberText("Error on closing file", errno, path);
    result = 5;
  }
  return result;
}

bool ALMParseRuleLine(std::string_view line, int numbers, std::vector<int32_t>& values,
                      std::string& text) {
  values.clear();
  std::string rest(line);
  for (int i = 0; i < numbers; ++i) {
    const std::string item = STRTrim(STRGetItem(";", rest));
    int32_t value = 0;
    if (!item.empty() && !STRWholeNumber(item, value)) return false;
    values.push_back(value);
  }
  text = STRTrim(rest);
  return true;
}

TALMAlarmList::TALMAlarmList(TALMClock clock) : clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

TALMAlarmItem* TALMAlarmList::ALMGetAlarm() {
  for (const auto& item : items_)
    if (item->ALMIsAlarm()) return item.get();
  return nullptr;
}

std::vector<std::string> TALMAlarmList::ALMGetLines() const {
  std::vector<std::string> lines;
  for (const auto& item : items_) lines.push_back(item->ALMGetLine());
  return lines;
}

void TALMAlarmList::ALMSetLines(const std::vector<std::string>& lines) {
  ALMEmptyList();
  for (const std::string& line : lines) static_cast<void>(ALMAddItem(line));
}

bool TALEAlarmErrorList::ALMAddItem(std::string_view line) {
  std::vector<int32_t> v;
  std::string text;
  if (!ALMParseRuleLine(line, 2, v, text)) return false;
  items_.push_back(
      std::make_unique<TALEAlarmErrorItem>(std::string(line), v[0], v[1], std::move(text), clock_));
  return true;
}

void TALEAlarmErrorList::ALEAcceptError(const std::string& errorText) {
  const TALMTimePoint now = clock_();
  for (const auto& item : items_) item->ALMAddAlarmEvent({now, errorText});
}

bool TALTAlarmExecutionTimeList::ALMAddItem(std::string_view line) {
  std::vector<int32_t> v;
  std::string text;
  if (!ALMParseRuleLine(line, 3, v, text)) return false;
  items_.push_back(std::make_unique<TALTAlarmExecutionTime>(std::string(line), v[0], v[1], v[2],
                                                            std::move(text), clock_));
  return true;
}

void TALTAlarmExecutionTimeList::ALTAcceptExecutionTime(int64_t milliseconds) {
  const TALMTimePoint now = clock_();
  for (const auto& item : items_) {
    auto& rule = static_cast<TALTAlarmExecutionTime&>(*item);
    if (rule.ALTExecutionTimeExceeded(milliseconds))
      rule.ALMAddAlarmEvent({now, TALMAlarmItem::ALMcExecutionTimeText});
  }
}

}  // namespace kal
