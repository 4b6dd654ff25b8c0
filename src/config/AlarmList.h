#pragma once

// Alarm rules: while sequences run, every error and every response time is
// offered to two lists of rules. A rule fires when at least its threshold of
// events lies in its sliding window; the firing rule's text, with "$DATE",
// "$TIME" and "$ERROR" filled in, is appended as one line to the alarm log.
//
// Rule lines (one per configuration key, and one per dialog grid row with
// the columns joined by ";"): an error rule is "count;period;text", an
// execution-time rule "limit;count;period;text". The number items are taken
// from the left and trimmed; an empty one counts as 0; the text is the rest
// of the line (it may hold ";"). A line whose number items are not whole
// numbers adds no rule.
//
// Threads: the GUI thread only.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

using TALMTimePoint = std::chrono::system_clock::time_point;
// The wall clock of the rule windows and of "$DATE"/"$TIME" (injectable).
using TALMClock = std::function<TALMTimePoint()>;

struct TALMAlarmEvent {
  TALMTimePoint ALMaDateTime;
  std::string ALMsErrorText;
};

// One rule.
class TALMAlarmItem {
 public:
  static constexpr const char* ALMcExecutionTimeText = "Execution time exceeded";

  TALMAlarmItem(std::string line, int32_t occurrences, int32_t timeFrame, std::string text,
                const TALMClock& clock);
  virtual ~TALMAlarmItem() = default;

  // Drops the events at or before now - window length, then true when the
  // threshold is at least 1 and that many events remain.
  bool ALMIsAlarm();
  void ALMCleanupAlarmEvents();
  void ALMAddAlarmEvent(TALMAlarmEvent event) { events_.push_back(std::move(event)); }
  // Re-arms the rule.
  void ALMEmptyAlarmEventsList() { events_.clear(); }
  // The rule's text with "$DATE", "$TIME" (the local date and time of now,
  // "dd.MM.yyyy" and "HH:mm:ss") and "$ERROR" (the oldest event's error
  // text, empty without events) replaced, each in one pass that resumes
  // behind the inserted text.
  std::string ALMGenerateLogEntry() const;
  // Appends the log entry with CR LF to `path` (resolved as
  // TCFGConfig::CFGResolveFileName resolves AlarmLogFileName: aliases
  // expanded, relative names in the program folder; a blank path writes
  // nothing and gives 0). 0, or the failing step: 1 the file
  // cannot be created, 2 closing the new file failed, 4 opening for append
  // failed, 3 writing failed, 5 closing failed; `message` then holds the
  // text to show, with errno as the error number.
  [[nodiscard]] int32_t ALMWriteToAlarmLog(const std::string& path, std::string& message) const;
  const std::string& ALMGetLine() const { return ALMsLine; }

  int32_t ALMGetNumOfOccurencies() const { return ALMiNumOfOccurencies; }
  int32_t ALMGetTimeFrame() const { return ALMiTimeFrame; }
  const std::string& ALMGetText() const { return ALMsText; }
  size_t ALMGetEventCount() const { return events_.size(); }

 protected:
  TALMTimePoint Now() const { return clock_(); }

 private:
  std::string ALMsLine;
  int32_t ALMiNumOfOccurencies;
  int32_t ALMiTimeFrame;  // seconds
  std::string ALMsText;
  std::deque<TALMAlarmEvent> events_;  // oldest first
  const TALMClock& clock_;
};

class TALEAlarmErrorItem final : public TALMAlarmItem {
 public:
  using TALMAlarmItem::TALMAlarmItem;
};

class TALTAlarmExecutionTime final : public TALMAlarmItem {
 public:
  TALTAlarmExecutionTime(std::string line, int32_t limit, int32_t occurrences, int32_t timeFrame,
                         std::string text, const TALMClock& clock)
      : TALMAlarmItem(std::move(line), occurrences, timeFrame, std::move(text), clock),
        ALTiTimeLimit(limit) {}
  // True when `milliseconds` lies strictly above the limit.
  bool ALTExecutionTimeExceeded(int64_t milliseconds) const { return milliseconds > ALTiTimeLimit; }
  int32_t ALTGetTimeLimit() const { return ALTiTimeLimit; }

 private:
  int32_t ALTiTimeLimit;  // milliseconds
};

// The number items and the text of a rule line; false when a number item
// is not a whole number.
bool ALMParseRuleLine(std::string_view line, int numbers, std::vector<int32_t>& values,
                      std::string& text);

// A list of rules, owned, in order.
class TALMAlarmList {
 public:
  // A null clock takes the system clock.
  explicit TALMAlarmList(TALMClock clock = {});
  virtual ~TALMAlarmList() = default;
  TALMAlarmList(const TALMAlarmList&) = delete;
  TALMAlarmList& operator=(const TALMAlarmList&) = delete;

  void ALMEmptyList() { items_.clear(); }
  // Adds the rule of the line; false (nothing added) when it does not parse.
  virtual bool ALMAddItem(std::string_view line) = 0;
  size_t ALMGetItemCount() const { return items_.size(); }
  TALMAlarmItem& ALEGetItem(size_t index) { return *items_.at(index); }
  const TALMAlarmItem& ALEGetItem(size_t index) const { return *items_.at(index); }
  // The first rule in list order that fires, or null.
  TALMAlarmItem* ALMGetAlarm();
  // Every rule's line, in order.
  std::vector<std::string> ALMGetLines() const;
  // Empties the list and adds the lines that parse.
  void ALMSetLines(const std::vector<std::string>& lines);

 protected:
  TALMClock clock_;
  std::vector<std::unique_ptr<TALMAlarmItem>> items_;
};

class TALEAlarmErrorList final : public TALMAlarmList {
 public:
  using TALMAlarmList::TALMAlarmList;
  bool ALMAddItem(std::string_view line) override;
  // An event (now, text) for every rule.
  void ALEAcceptError(const std::string& errorText);
};

class TALTAlarmExecutionTimeList final : public TALMAlarmList {
 public:
  using TALMAlarmList::TALMAlarmList;
  bool ALMAddItem(std::string_view line) override;
  // An event (now, "Execution time exceeded") for every rule whose limit
  // lies strictly below `milliseconds`.
  void ALTAcceptExecutionTime(int64_t milliseconds);
};

}  // namespace kal
